#include "ParamScaleSlot.h"

#include "qtplatform/NumberEdit.h"
#include "XPButton.h"
#include "settings/LanguageTable.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>

namespace {
constexpr char16_t kSection[] = u"phase20:scale-slot";
constexpr int kRadioIds[3] = {CParamScaleSlot::IDC_INWARD, CParamScaleSlot::IDC_OUTWARD,
                              CParamScaleSlot::IDC_AUTOMATIC};
} // namespace

CParamScaleSlot::Remembered& CParamScaleSlot::Stored()
{
    static Remembered values;
    return values;
}

CParamScaleSlot::CParamScaleSlot(QWidget* parent)
    : CDialogBase(IDD, kSection, parent), m_dDistance(Stored().distance), m_bDeleteSource(Stored().deleteSource),
      m_nMode(Stored().mode)
{
    setWindowTitle(QStringLiteral("Contour Offset"));
    auto* grid = new QGridLayout(this);
    auto* label = new QLabel(QStringLiteral("Distance (mm)"), this);
    label->setObjectName(QString::number(IDC_DISTANCE_LABEL));
    m_distance = MakeNumberEdit(IDC_DISTANCE, this);
    m_delete = new QCheckBox(QStringLiteral("Delete original"), this);
    m_delete->setObjectName(QString::number(IDC_DELETE_SOURCE));
    grid->addWidget(label, 0, 0);
    grid->addWidget(m_distance, 0, 1);
    grid->addWidget(m_delete, 1, 0, 1, 2);
    const char* texts[3] = {"Inward", "Outward", "Automatic"};
    auto* radios = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        m_radios[i] = new QRadioButton(QString::fromLatin1(texts[i]), this);
        m_radios[i]->setObjectName(QString::number(kRadioIds[i]));
        // The mode decides which radio is ticked, not the group.
        m_radios[i]->setAutoExclusive(false);
        radios->addWidget(m_radios[i]);
        const auto mode = static_cast<std::uint8_t>(i);
        connect(m_radios[i], &QRadioButton::clicked, this, [this, mode] {
            m_nMode = mode;
            ShowMode();
        });
    }
    grid->addLayout(radios, 2, 0, 1, 2);
    auto* ok = new CXPButton(QStringLiteral("OK"), this);
    ok->setObjectName(QString::number(IDC_OK));
    ok->setDefault(true);
    auto* cancel = new CXPButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QString::number(IDC_CANCEL));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 3, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QRadioButton* CParamScaleSlot::Radio(int id) const
{
    for (int i = 0; i < 3; ++i) {
        if (kRadioIds[i] == id)
            return m_radios[i];
    }
    return nullptr;
}

void CParamScaleSlot::OnInitDialog()
{
    if (FindLanguageSection(RegisteredLanguageTable(), kSection) >= 0) {
        SetTitleFromSection(0);
        SetTextFromSection(findChild<QLabel*>(QString::number(IDC_DISTANCE_LABEL)), 1);
        SetTextFromSection(m_delete, 2);
        for (int i = 0; i < 3; ++i)
            SetTextFromSection(m_radios[i], 3 + i);
        SetTextFromSection(findChild<QWidget*>(QString::number(IDC_OK)), 6);
        SetTextFromSection(findChild<QWidget*>(QString::number(IDC_CANCEL)), 7);
    }
    m_distance->setText(NumberText(m_dDistance));
    m_delete->setChecked(m_bDeleteSource != 0);
    ShowMode();
}

void CParamScaleSlot::ShowMode()
{
    // Any mode beyond outward shows as automatic.
    const int ticked = m_nMode == 0 ? 0 : m_nMode == 1 ? 1 : 2;
    for (int i = 0; i < 3; ++i)
        m_radios[i]->setChecked(i == ticked);
}

bool CParamScaleSlot::OnOK()
{
    double distance = m_dDistance;
    if (!TakeNumberEdit(m_distance, distance))
        return false;
    m_dDistance = distance;
    m_bDeleteSource = m_delete->isChecked() ? 1 : 0;
    Stored() = Remembered{m_dDistance, m_bDeleteSource, m_nMode};
    return true;
}
