#include "PathOptDlg.h"
#include "PathPreviewDlg.h"
#include "model/DocContext.h"

#include "XPButton.h"
#include "platform/NumText.h"
#include "settings/LanguageTable.h"
#include "settings/MachineNode.h"
#include "settings/MachineTech.h"
#include "settings/SoftwareSettings.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace {

constexpr char16_t kSection[] = u"phase11:edit-right-menu";

struct ModeRadio {
    int id;
    std::uint8_t mode;
    int entry;
    const char* text;
};
constexpr ModeRadio kModes[] = {
    {CPathOptDlg::IDC_FAST, 0, 23, "Fast Path"},
    {CPathOptDlg::IDC_H_TWO_WAY, 1, 24, "Horizontal, Both Ways"},
    {CPathOptDlg::IDC_ORDER, 2, 40, "Drawing Order"},
    {CPathOptDlg::IDC_H_ONE_WAY, 3, 16, "Horizontal, One Way"},
    {CPathOptDlg::IDC_V_ONE_WAY, 4, 56, "Vertical, One Way"},
    {CPathOptDlg::IDC_V_TWO_WAY, 5, 57, "Vertical, Both Ways"},
};
constexpr int kCornerEntries[] = {45, 46, 47, 48};
constexpr const char* kCornerTexts[] = {"Top Left", "Top Right", "Bottom Left", "Bottom Right"};
constexpr int kJointEntries[] = {20, 21, 22};
constexpr const char* kJointTexts[] = {"Nearest Start", "Smooth Start", "The Object's Own Start"};

// The dropped list as wide as its widest item, its edges and a scroll bar.
void SetDroppedWidth(QComboBox* list)
{
    const QFontMetrics metrics(list->view()->font());
    int widest = 0;
    for (int i = 0; i < list->count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(list->itemText(i)));
    const QStyle* style = list->style();
    const int edge = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, list);
    const int scrollBar = style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
    list->view()->setMinimumWidth(widest + 2 * edge + scrollBar);
}

} // namespace

CPathOptDlg::CPathOptDlg(QWidget* parent) : CDialogBase(IDD, kSection, parent)
{
    setWindowTitle(QStringLiteral("Path Options"));
    auto named = [](QWidget* w, int id) {
        w->setObjectName(QString::number(id));
        return w;
    };
    auto* grid = new QGridLayout(this);

    auto* modes = static_cast<QGroupBox*>(named(new QGroupBox(QStringLiteral("Path Options"), this), 1395));
    auto* m = new QGridLayout(modes);
    int row = 0;
    for (const ModeRadio& r : kModes) {
        auto* radio = static_cast<QRadioButton*>(named(new QRadioButton(QString::fromLatin1(r.text), modes), r.id));
        radio->setAutoExclusive(false);
        m->addWidget(radio, row / 2, row % 2);
        ++row;
        const std::uint8_t mode = r.mode;
        connect(radio, &QRadioButton::clicked, this, [this, mode] { OnMode(mode); });
    }
    grid->addWidget(modes, 0, 0, 1, 2);

    auto* corner = static_cast<QGroupBox*>(named(new QGroupBox(QStringLiteral("Start Corner"), this), 1391));
    auto* c = new QVBoxLayout(corner);
    auto* corners = static_cast<QComboBox*>(named(new QComboBox(corner), IDC_START_CORNER));
    for (const char* t : kCornerTexts)
        corners->addItem(QString::fromLatin1(t));
    c->addWidget(corners);
    grid->addWidget(corner, 1, 0);

    auto* joint = static_cast<QGroupBox*>(named(new QGroupBox(QStringLiteral("Joint Point"), this), 1393));
    auto* j = new QVBoxLayout(joint);
    auto* joints = static_cast<QComboBox*>(named(new QComboBox(joint), IDC_JOINT_POINT));
    for (const char* t : kJointTexts)
        joints->addItem(QString::fromLatin1(t));
    j->addWidget(joints);
    grid->addWidget(joint, 1, 1);

    grid->addWidget(named(new QLabel(QStringLiteral("Line Spacing (mm)"), this), 1402), 2, 0);
    grid->addWidget(named(new QLineEdit(this), IDC_LINE_SPACING), 2, 1);
    auto check = [&](int id, const char* text, int r, int col) {
        auto* box = static_cast<QCheckBox*>(named(new QCheckBox(QString::fromLatin1(text), this), id));
        grid->addWidget(box, r, col);
        return box;
    };
    check(IDC_BY_LAYER, "Optimise by Layer", 3, 0);
    check(IDC_IN_OUT, "Inside to Outside", 3, 1);
    check(IDC_CLOSE_USE, "Closing Compensation (mm)", 4, 0);
    grid->addWidget(named(new QLineEdit(this), IDC_CLOSE_REPAY), 4, 1);
    check(IDC_DISLOC_USE, "Dislocation Handling", 5, 0);

    auto* ok = new CXPButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    auto* cancel = new CXPButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("2"));
    m_preview = new CXPButton(QStringLiteral("Preview"), this);
    m_preview->setObjectName(QString::number(IDC_PREVIEW));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_preview);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 6, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_preview, &QPushButton::clicked, this, [this] { OnPreview(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(corners, &QComboBox::activated, this,
            [this](int i) { m_nStartCorner = static_cast<std::uint8_t>(std::max(i, 0)); });
    connect(joints, &QComboBox::activated, this,
            [this](int i) { m_nJointPoint = static_cast<std::uint8_t>(std::max(i, 0)); });
    connect(Check(IDC_BY_LAYER), &QCheckBox::clicked, this, [this](bool on) { m_bByLayer = on ? 1 : 0; });
    connect(Check(IDC_IN_OUT), &QCheckBox::clicked, this, [this](bool on) { m_bInOut = on ? 1 : 0; });
    connect(Check(IDC_CLOSE_USE), &QCheckBox::clicked, this, [this](bool on) {
        m_bCloseUse = on ? 1 : 0;
        Edit(IDC_CLOSE_REPAY)->setEnabled(on);
    });
    connect(Check(IDC_DISLOC_USE), &QCheckBox::clicked, this, [this](bool on) { m_bDislocUse = on ? 1 : 0; });
    connect(Edit(IDC_LINE_SPACING), &QLineEdit::textEdited, this,
            [this] { Normalise(Edit(IDC_LINE_SPACING), kMinLineSpacing, m_dLineSpacing); });
    connect(Edit(IDC_CLOSE_REPAY), &QLineEdit::textEdited, this,
            [this] { Normalise(Edit(IDC_CLOSE_REPAY), 0.0, m_dCloseRepay); });
}

QLineEdit* CPathOptDlg::Edit(int id) const
{
    return findChild<QLineEdit*>(QString::number(id));
}

QComboBox* CPathOptDlg::List(int id) const
{
    return findChild<QComboBox*>(QString::number(id));
}

QCheckBox* CPathOptDlg::Check(int id) const
{
    return findChild<QCheckBox*>(QString::number(id));
}

QRadioButton* CPathOptDlg::Radio(int id) const
{
    return findChild<QRadioButton*>(QString::number(id));
}

void CPathOptDlg::OnInitDialog()
{
    // Only the section itself gives texts: without it the lookup would fall
    // back on the table's first strings, which belong to other windows.
    if (FindLanguageSection(RegisteredLanguageTable(), kSection) >= 0) {
        SetTitleFromSection(17);
        SetTextFromSection(findChild<QWidget*>(QStringLiteral("1395")), 17);
        SetTextFromSection(findChild<QWidget*>(QStringLiteral("1391")), 27);
        SetTextFromSection(findChild<QWidget*>(QStringLiteral("1393")), 25);
        for (const ModeRadio& r : kModes)
            SetTextFromSection(Radio(r.id), r.entry);
        SetTextFromSection(Check(IDC_BY_LAYER), 18);
        SetTextFromSection(Check(IDC_IN_OUT), 19);
        SetTextFromSection(Check(IDC_CLOSE_USE), 41);
        SetTextFromSection(Check(IDC_DISLOC_USE), 37);
        SetTextFromSection(findChild<QWidget*>(QStringLiteral("1402")), 26);
        SetTextFromSection(findChild<QWidget*>(QStringLiteral("1")), 28);
        SetTextFromSection(findChild<QWidget*>(QStringLiteral("2")), 29);
        SetTextFromSection(m_preview, 54);
        auto fill = [&](QComboBox* list, const int* entries, int n) {
            for (int i = 0; i < n; ++i) {
                const std::u16string text = SectionText(entries[i]);
                if (!text.empty())
                    list->setItemText(i, QString::fromStdU16String(text));
            }
        };
        fill(List(IDC_START_CORNER), kCornerEntries, 4);
        fill(List(IDC_JOINT_POINT), kJointEntries, 3);
    }
    SetDroppedWidth(List(IDC_START_CORNER));
    SetDroppedWidth(List(IDC_JOINT_POINT));

    if (m_nPathMode > 5)
        m_nPathMode = MODE_FAST;
    ApplyLayout();
    List(IDC_START_CORNER)->setCurrentIndex(std::min<int>(m_nStartCorner, 3));
    List(IDC_JOINT_POINT)->setCurrentIndex(std::min<int>(m_nJointPoint, 2));
    Edit(IDC_LINE_SPACING)->setText(QString::fromStdString(plat::FormatFixed(m_dLineSpacing, 2)));
    Edit(IDC_CLOSE_REPAY)->setText(QString::fromStdString(plat::FormatFixed(m_dCloseRepay, 2)));
    Check(IDC_BY_LAYER)->setChecked(m_bByLayer != 0);
    Check(IDC_IN_OUT)->setChecked(m_bInOut != 0);
    Check(IDC_CLOSE_USE)->setChecked(m_bCloseUse != 0);
    Check(IDC_DISLOC_USE)->setChecked(m_bDislocUse != 0);
    Edit(IDC_CLOSE_REPAY)->setEnabled(m_bCloseUse != 0);
}

void CPathOptDlg::OnMode(std::uint8_t mode)
{
    m_nPathMode = mode;
    ApplyLayout();
}

void CPathOptDlg::ApplyLayout()
{
    for (const ModeRadio& r : kModes)
        Radio(r.id)->setChecked(r.mode == m_nPathMode);
    const bool fast = m_nPathMode == MODE_FAST;
    const bool order = m_nPathMode == MODE_DRAWING_ORDER;
    List(IDC_START_CORNER)->setEnabled(!order);
    List(IDC_JOINT_POINT)->setEnabled(fast);
    Check(IDC_BY_LAYER)->setEnabled(fast);
    Check(IDC_IN_OUT)->setEnabled(fast);
    Edit(IDC_LINE_SPACING)->setEnabled(!fast && !order);
}

double CPathOptDlg::TwoDecimals(const QString& text, double minimum)
{
    // The leading number of the text, as typed so far. Digits beyond the
    // second decimal are dropped from the text itself, so that a value typed
    // with two decimals is read exactly as typed (1.15 stays 1.15).
    std::string typed = text.trimmed().toStdString();
    if (typed.find_first_of("eE") == std::string::npos) {
        const std::size_t dot = typed.find('.');
        if (dot != std::string::npos && typed.size() > dot + 3)
            typed.resize(dot + 3);
    }
    double value = plat::ParseDouble(typed);
    if (!std::isfinite(value))
        return minimum;
    if (typed.find_first_of("eE") != std::string::npos)
        value = std::trunc(value * 100.0) * 0.01;
    return std::max(value, minimum);
}

void CPathOptDlg::Normalise(QLineEdit* edit, double minimum, double& member)
{
    const QString text = edit->text();
    if (text.isEmpty())
        return;
    const int caret = edit->cursorPosition();
    member = TwoDecimals(text, minimum);
    // A decimal point just typed stays until its digits follow.
    if (caret > 0 && caret <= text.size() && text.at(caret - 1) == u'.')
        return;
    // A plain number with at most two decimals, at or above the minimum,
    // stays as it was typed.
    static const QRegularExpression plain(QStringLiteral("^[0-9]+(\\.[0-9]{0,2})?$"));
    if (plain.match(text).hasMatch() && plat::ParseDouble(text.toStdString()) == member)
        return;
    const QString shown = QString::fromStdString(plat::FormatFixed(member, 2));
    edit->setText(shown);
    edit->setCursorPosition(std::min(caret, static_cast<int>(shown.size())));
}

void CPathOptDlg::TakeValues()
{
    m_nStartCorner = static_cast<std::uint8_t>(std::max(List(IDC_START_CORNER)->currentIndex(), 0));
    m_nJointPoint = static_cast<std::uint8_t>(std::max(List(IDC_JOINT_POINT)->currentIndex(), 0));
    m_bByLayer = Check(IDC_BY_LAYER)->isChecked() ? 1 : 0;
    m_bInOut = Check(IDC_IN_OUT)->isChecked() ? 1 : 0;
    m_bCloseUse = Check(IDC_CLOSE_USE)->isChecked() ? 1 : 0;
    m_bDislocUse = Check(IDC_DISLOC_USE)->isChecked() ? 1 : 0;
    if (!Edit(IDC_CLOSE_REPAY)->text().isEmpty())
        m_dCloseRepay = TwoDecimals(Edit(IDC_CLOSE_REPAY)->text(), 0.0);
}

bool CPathOptDlg::OnOK()
{
    TakeValues();
    m_dLineSpacing = std::max(TwoDecimals(Edit(IDC_LINE_SPACING)->text(), kMinLineSpacing), kMinLineSpacing);
    return true;
}

void CPathOptDlg::StoreValues(SoftwareSettings& s, CMachineTech* tech) const
{
    s.path_mode = m_nPathMode;
    s.path_work_pos = m_nStartCorner;
    s.path_meta_pos = m_nJointPoint;
    s.path_hight = m_dLineSpacing;
    s.path_width = m_dPathWidth;
    s.path_by_layer = m_bByLayer;
    s.path_in_out = m_bInOut;
    if (tech != nullptr) {
        tech->m_close_use = m_bCloseUse;
        tech->m_close_repay = m_dCloseRepay;
        tech->m_disloc_use = m_bDislocUse;
    }
}

void CPathOptDlg::OnPreview()
{
    if (m_pContext == nullptr || m_pContext->m_pSettings == nullptr)
        return;
    SoftwareSettings& s = *m_pContext->m_pSettings;
    MachineNode* machine = GetCurrentMachine(s);
    CMachineTech* tech = machine != nullptr ? machine->m_tech : nullptr;
    // The preview shows the order these values give; the stored settings
    // are put back afterwards.
    const auto saved = std::tuple(s.use_path, s.path_mode, s.path_work_pos, s.path_in_out, s.path_meta_pos,
                                  s.path_by_layer, s.path_width, s.path_hight);
    const auto savedTech = tech != nullptr ? std::tuple(tech->m_close_use, tech->m_close_repay, tech->m_disloc_use)
                                           : std::tuple(std::uint8_t{}, 0.0, std::uint8_t{});
    const std::uint8_t startCorner = m_nStartCorner;

    TakeValues();
    s.use_path = 1;
    StoreValues(s, tech);
    {
        CPathPreviewDlg preview(*m_pContext, this);
        preview.DoModal();
    }
    std::tie(s.use_path, s.path_mode, s.path_work_pos, s.path_in_out, s.path_meta_pos, s.path_by_layer,
             s.path_width, s.path_hight) = saved;
    if (tech != nullptr)
        std::tie(tech->m_close_use, tech->m_close_repay, tech->m_disloc_use) = savedTech;
    m_nStartCorner = startCorner;
}
