#include "ParamDeleteRepeat.h"

#include "qtplatform/NumberEdit.h"
#include "XPButton.h"
#include "settings/LanguageTable.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

namespace {
constexpr char16_t kSection[] = u"phase21:delete-repeat";
}

CParamDeleteRepeat::CParamDeleteRepeat(QWidget* parent) : CDialogBase(IDD, kSection, parent)
{
    setWindowTitle(QStringLiteral("Delete Overlapping Lines"));
    auto* grid = new QGridLayout(this);
    m_within = new QCheckBox(QStringLiteral("Within one layer only"), this);
    m_within->setObjectName(QString::number(IDC_WITHIN_LAYER));
    auto* label = new QLabel(QStringLiteral("Tolerance (mm)"), this);
    label->setObjectName(QString::number(IDC_TOLERANCE_LABEL));
    m_tolerance = MakeNumberEdit(IDC_TOLERANCE, this);
    auto* ok = new CXPButton(QStringLiteral("OK"), this);
    ok->setObjectName(QString::number(IDC_OK));
    ok->setDefault(true);
    auto* cancel = new CXPButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QString::number(IDC_CANCEL));
    grid->addWidget(m_within, 0, 0, 1, 2);
    grid->addWidget(label, 1, 0);
    grid->addWidget(m_tolerance, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 2, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CParamDeleteRepeat::OnInitDialog()
{
    if (FindLanguageSection(RegisteredLanguageTable(), kSection) >= 0) {
        SetTitleFromSection(0);
        SetTextFromSection(m_within, 1);
        SetTextFromSection(findChild<QLabel*>(QString::number(IDC_TOLERANCE_LABEL)), 2);
        SetTextFromSection(findChild<QWidget*>(QString::number(IDC_OK)), 3);
        SetTextFromSection(findChild<QWidget*>(QString::number(IDC_CANCEL)), 4);
    }
    m_within->setChecked(m_bWithinLayer != 0);
    m_tolerance->setText(NumberText(m_dTolerance));
}

bool CParamDeleteRepeat::OnOK()
{
    double tolerance = m_dTolerance;
    if (!TakeNumberEdit(m_tolerance, tolerance))
        return false;
    m_dTolerance = tolerance;
    m_bWithinLayer = m_within->isChecked() ? 1 : 0;
    return true;
}
