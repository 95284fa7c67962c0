#include "ParamFontType.h"

#include "qtplatform/NumberEdit.h"
#include "XPButton.h"
#include "settings/LanguageTable.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>

#include <charconv>
#include <cmath>
#include <utility>

namespace {

constexpr char16_t kSection[] = u"phase2:draw-tool";
constexpr int kTitleEntry = 5;
constexpr int kHeightEntry = 6;
constexpr int kOkEntry = 7;
constexpr int kCancelEntry = 8;
constexpr int kSpacingEntry = 9;
constexpr int kCharMapEntry = 11;

const QString kTrueType = QStringLiteral("TrueType");
const QString kCharMapProgram = QStringLiteral("gucharmap");

CParamFontType::Launcher& TestLauncher()
{
    static CParamFontType::Launcher launcher;
    return launcher;
}

QLineEdit* MakeEdit(int id, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::number(id));
    return edit;
}

} // namespace

CParamFontType::CParamFontType(std::u16string type, std::u16string face, std::u16string text, double height,
                               double spacing, QWidget* parent)
    : CDialogBase(IDD, kSection, parent), m_font_type(std::move(type)), m_font_name(std::move(face)),
      m_font_text(std::move(text)), m_font_high(height), m_font_inter(spacing)
{
    // The template's own texts, kept when the language file lacks the section.
    setWindowTitle(QStringLiteral("Text"));
    m_kind = new QComboBox(this);
    m_kind->setObjectName(QString::number(IDC_KIND));
    m_face = new QComboBox(this);
    m_face->setObjectName(QString::number(IDC_FACE));
    m_text = MakeEdit(IDC_TEXT, this);
    m_heightLabel = new QLabel(QStringLiteral("Height (mm)"), this);
    m_heightLabel->setObjectName(QString::number(IDC_HEIGHT_LABEL));
    m_height = MakeEdit(IDC_HEIGHT, this);
    m_spacingLabel = new QLabel(QStringLiteral("Spacing (mm)"), this);
    m_spacingLabel->setObjectName(QString::number(IDC_SPACING_LABEL));
    m_spacing = MakeEdit(IDC_SPACING, this);
    m_charMap = new CXPButton(QStringLiteral("Character Map..."), this);
    m_charMap->setObjectName(QString::number(IDC_CHARMAP));
    m_ok = new CXPButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QString::number(IDC_OK));
    m_ok->setDefault(true);
    m_cancel = new CXPButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QString::number(IDC_CANCEL));

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_kind, 0, 0);
    grid->addWidget(m_face, 0, 1, 1, 3);
    grid->addWidget(m_text, 1, 0, 1, 4);
    grid->addWidget(m_heightLabel, 2, 0);
    grid->addWidget(m_height, 2, 1);
    grid->addWidget(m_spacingLabel, 2, 2);
    grid->addWidget(m_spacing, 2, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_charMap);
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    grid->addLayout(buttons, 3, 0, 1, 4);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_charMap, &QPushButton::clicked, this, [this] { OnCharMap(); });
    connect(m_kind, &QComboBox::activated, this, [this](int index) { OnKindChanged(index); });
}

QString CParamFontType::FamilyOf(const QString& item)
{
    // Qt names a family that several foundries make "Family [Foundry]".
    if (item.endsWith(QLatin1Char(']'))) {
        const qsizetype open = item.lastIndexOf(QStringLiteral(" ["));
        if (open > 0)
            return item.left(open);
    }
    return item;
}

QString CParamFontType::ShownNumber(double value)
{
    char buf[40];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    return ec == std::errc() ? QString::fromLatin1(buf, end - buf) : QString();
}

void CParamFontType::SetLauncherForTesting(Launcher launcher)
{
    TestLauncher() = std::move(launcher);
}

void CParamFontType::OnInitDialog()
{
    // Only the section itself gives texts: without it the lookup would fall
    // back on the table's first strings, which belong to other windows.
    if (FindLanguageSection(RegisteredLanguageTable(), kSection) >= 0) {
        SetTitleFromSection(kTitleEntry);
        SetTextFromSection(m_heightLabel, kHeightEntry);
        SetTextFromSection(m_ok, kOkEntry);
        SetTextFromSection(m_cancel, kCancelEntry);
        SetTextFromSection(m_spacingLabel, kSpacingEntry);
        SetTextFromSection(m_charMap, kCharMapEntry);
    }
    m_kind->clear();
    m_kind->addItem(kTrueType);
    m_kind->setCurrentIndex(m_kind->findText(QString::fromStdU16String(m_font_type)));
    FillFaces();
    SelectFace();
    m_text->setText(QString::fromStdU16String(m_font_text));
    m_height->setText(ShownNumber(m_font_high));
    m_spacing->setText(ShownNumber(m_font_inter));
}

void CParamFontType::FillFaces()
{
    for (const QString& family : QFontDatabase::families()) {
        if (m_face->findText(family, Qt::MatchExactly) < 0)
            m_face->addItem(family);
    }
}

void CParamFontType::SelectFace()
{
    if (m_face->count() == 0)
        return;
    const QString face = QString::fromStdU16String(m_font_name);
    int index = m_face->findText(face, Qt::MatchExactly);
    for (int k = 0; index < 0 && k < m_face->count(); ++k) {
        if (FamilyOf(m_face->itemText(k)) == face)
            index = k;
    }
    if (index < 0 && !face.isEmpty()) {
        // A face that is not installed: the one fontconfig gives instead,
        // which is also the one the outlines will come from.
        const QString match = QFontInfo(QFont(face)).family();
        index = m_face->findText(match, Qt::MatchExactly);
        for (int k = 0; index < 0 && k < m_face->count(); ++k) {
            if (FamilyOf(m_face->itemText(k)) == match)
                index = k;
        }
    }
    // Never no selection: OK would give an empty face and place nothing.
    m_face->setCurrentIndex(index >= 0 ? index : 0);
}

void CParamFontType::OnKindChanged(int index)
{
    m_font_type = m_kind->currentText().toStdU16String();
    if (index == 0) {
        FillFaces();
        SelectFace();
    } else {
        m_face->clear();
    }
}

void CParamFontType::OnCharMap()
{
    if (TestLauncher())
        TestLauncher()(kCharMapProgram);
    else
        QProcess::startDetached(kCharMapProgram, {});
}

bool CParamFontType::OnOK()
{
    double height = 0.0;
    double spacing = 0.0;
    for (auto [edit, value] : {std::pair{m_height, &height}, std::pair{m_spacing, &spacing}}) {
        if (!ReadLeadingNumber(edit->text(), *value)) {
            edit->setFocus();
            edit->selectAll();
            return false;
        }
    }
    m_font_type = m_kind->currentText().toStdU16String();
    m_font_name = FamilyOf(m_face->currentText()).toStdU16String();
    m_font_text = m_text->text().toStdU16String();
    m_font_high = height;
    m_font_inter = spacing;
    return true;
}
