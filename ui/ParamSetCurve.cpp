#include "ParamSetCurve.h"

#include "XPButton.h"
#include "model/DocContext.h"
#include "model/DocListNode.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

namespace {

constexpr char16_t kSection[] = u"phase8:soft-version";
constexpr const char* kPrecisions[] = {"Highest", "High", "Medium", "Low", "Lowest"};
constexpr int kPrecisionCount = 5;

QComboBox* MakeCombo(int id, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::number(id));
    return combo;
}

// Selects a stored index, or nothing when it is outside the list.
void SelectIndex(QComboBox* combo, std::uint8_t index)
{
    combo->setCurrentIndex(index < combo->count() ? index : -1);
}

// The selection as the settings keep it; an empty selection keeps the value.
std::uint8_t SelectedIndex(const QComboBox* combo, std::uint8_t current)
{
    return combo->currentIndex() >= 0 ? static_cast<std::uint8_t>(combo->currentIndex()) : current;
}

} // namespace

CParamSetCurve::CParamSetCurve(DOCCONTEXT* context, std::function<void()> rebuildLayerList, QWidget* parent)
    : CDialogBase(IDD, kSection, parent), m_pContext(context), m_rebuildLayerList(std::move(rebuildLayerList))
{
    m_circleShowBefore = Settings().circle_show;
    m_speedUnitsBefore = Settings().speed_units;

    setWindowTitle(QStringLiteral("Curve Settings"));
    auto* grid = new QGridLayout(this);
    m_import = MakeCombo(IDC_IMPORT, this);
    m_show = MakeCombo(IDC_SHOW, this);
    m_export = MakeCombo(IDC_EXPORT, this);
    m_speedUnit = MakeCombo(IDC_SPEED_UNIT, this);
    const struct {
        int labelId;
        const char* text;
        QComboBox* combo;
    } rows[4] = {{IDC_IMPORT_LABEL, "Import precision", m_import},
                 {IDC_SHOW_LABEL, "Display precision", m_show},
                 {IDC_EXPORT_LABEL, "Export precision", m_export},
                 {IDC_SPEED_UNIT_LABEL, "Speed unit", m_speedUnit}};
    for (int row = 0; row < 4; ++row) {
        m_labels[row] = new QLabel(QString::fromLatin1(rows[row].text), this);
        m_labels[row]->setObjectName(QString::number(rows[row].labelId));
        grid->addWidget(m_labels[row], row, 0);
        grid->addWidget(rows[row].combo, row, 1);
    }
    for (QComboBox* combo : {m_import, m_show, m_export})
        for (const char* text : kPrecisions)
            combo->addItem(QString::fromLatin1(text));
    m_speedUnit->addItems({QStringLiteral("mm/s"), QStringLiteral("m/min")});
    m_ok = new CXPButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QString::number(IDC_OK));
    m_ok->setDefault(true);
    grid->addWidget(m_ok, 4, 1, Qt::AlignRight);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}

SoftwareSettings& CParamSetCurve::Settings() const
{
    return SettingsOf(m_pContext);
}

QComboBox* CParamSetCurve::Combo(int id) const
{
    switch (id) {
    case IDC_SHOW:
        return m_show;
    case IDC_IMPORT:
        return m_import;
    case IDC_EXPORT:
        return m_export;
    case IDC_SPEED_UNIT:
        return m_speedUnit;
    default:
        return nullptr;
    }
}

void CParamSetCurve::OnInitDialog()
{
    SetTitleFromSection(5);
    SetTextFromSection(m_labels[0], 6);
    SetTextFromSection(m_labels[1], 7);
    SetTextFromSection(m_labels[2], 8);
    SetTextFromSection(m_labels[3], 14);
    SetTextFromSection(m_ok, 3);
    for (QComboBox* combo : {m_import, m_show, m_export}) {
        for (int k = 0; k < kPrecisionCount; ++k) {
            const std::u16string text = SectionText(9 + k);
            if (!text.empty())
                combo->setItemText(k, QString::fromStdU16String(text));
        }
    }
    for (int k = 0; k < 2; ++k) {
        const std::u16string text = SectionText(15 + k);
        if (!text.empty())
            m_speedUnit->setItemText(k, QString::fromStdU16String(text));
    }
    const SoftwareSettings& s = Settings();
    SelectIndex(m_import, s.circle_import);
    SelectIndex(m_show, s.circle_show);
    SelectIndex(m_export, s.circle_export);
    SelectIndex(m_speedUnit, s.speed_units);
}

bool CParamSetCurve::OnOK()
{
    SoftwareSettings& s = Settings();
    s.circle_import = SelectedIndex(m_import, s.circle_import);
    s.circle_show = SelectedIndex(m_show, s.circle_show);
    s.circle_export = SelectedIndex(m_export, s.circle_export);
    s.speed_units = SelectedIndex(m_speedUnit, s.speed_units);
    // A write failure of software.par stays silent, as for every option.
    CReadParamFile().WriteSoftwareParam(s);

    if (s.circle_show != m_circleShowBefore && m_pContext != nullptr && m_pContext->m_pCurrent != nullptr &&
        m_pContext->m_pView != nullptr) {
        CGeoBox box;
        m_pContext->m_pCurrent->GetAllObjectsRect(box);
        if (!box.IsEmpty())
            m_pContext->m_pView->InvalidateRect(nullptr, true);
    }
    if (s.speed_units != m_speedUnitsBefore && m_rebuildLayerList)
        m_rebuildLayerList();
    return true;
}
