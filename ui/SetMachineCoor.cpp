#include "SetMachineCoor.h"

#include "qtplatform/NumberEdit.h"
#include "XPButton.h"
#include "platform/Prompt.h"
#include "settings/LanguageTable.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

#include <cmath>

namespace {

constexpr char16_t kSection[] = u"phase7:mac-frame";
constexpr int kBadSizeText = 12;

// Corner buttons by corner value.
constexpr int kCornerIds[4] = {CSetMachineCoor::IDC_TOP_RIGHT, CSetMachineCoor::IDC_TOP_LEFT,
                               CSetMachineCoor::IDC_BOTTOM_RIGHT, CSetMachineCoor::IDC_BOTTOM_LEFT};

QLabel* MakeLabel(int id, const char* text, QWidget* parent)
{
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setObjectName(QString::number(id));
    return label;
}

void MakeRed(QWidget* control)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
    control->setPalette(palette);
}

bool UsableSize(const QLineEdit* edit, double& value)
{
    double read = 0.0;
    if (!ReadNumberEdit(edit, read) || !(read >= CSetMachineCoor::kMinSize && read <= CSetMachineCoor::kMaxSize))
        return false;
    value = read;
    return true;
}

} // namespace

CSetMachineCoor::CSetMachineCoor(std::uint8_t origin, std::uint8_t point, double xsize, double ysize,
                                 QWidget* parent)
    : CDialogBase(IDD, kSection, parent),
      m_orign(origin <= 3 ? origin : 0),
      m_dot(point <= 8 ? point : 8),
      m_xsize(xsize),
      m_ysize(ysize)
{
    setWindowTitle(QStringLiteral("Set Machine Coordinate"));
    auto* grid = new QGridLayout(this);

    auto* area = MakeLabel(IDC_AREA_LABEL, "Work Area", this);
    MakeRed(area);
    grid->addWidget(area, 0, 0, 1, 2);
    grid->addWidget(MakeLabel(IDC_XSIZE_LABEL, "X (mm)", this), 1, 0);
    m_xEdit = MakeNumberEdit(IDC_XSIZE, this);
    grid->addWidget(m_xEdit, 1, 1);
    grid->addWidget(MakeLabel(IDC_YSIZE_LABEL, "Y (mm)", this), 2, 0);
    m_yEdit = MakeNumberEdit(IDC_YSIZE, this);
    grid->addWidget(m_yEdit, 2, 1);

    auto* origins = new QGroupBox(QStringLiteral("Origin"), this);
    origins->setObjectName(QString::number(IDC_ORIGIN_GROUP));
    auto* originGrid = new QGridLayout(origins);
    m_corners = new QButtonGroup(this);
    const char* cornerTexts[4] = {"Top Right", "Top Left", "Bottom Right", "Bottom Left"};
    for (int corner = 0; corner < 4; ++corner) {
        auto* button = new QRadioButton(QString::fromLatin1(cornerTexts[corner]), origins);
        button->setObjectName(QString::number(kCornerIds[corner]));
        m_corners->addButton(button, corner);
        // Top row left to right, then the bottom row.
        originGrid->addWidget(button, corner / 2, corner == 0 || corner == 2 ? 1 : 0);
    }
    grid->addWidget(origins, 3, 0, 1, 2);
    auto* warning = MakeLabel(IDC_WARNING, "The coordinate setting must match the machine.", this);
    warning->setWordWrap(true);
    MakeRed(warning);
    grid->addWidget(warning, 4, 0, 1, 2);

    auto* points = new QGroupBox(QStringLiteral("Positioning Point"), this);
    points->setObjectName(QString::number(IDC_POINT_GROUP));
    auto* pointGrid = new QGridLayout(points);
    m_points = new QButtonGroup(this);
    for (int p = 0; p < 9; ++p) {
        auto* button = new QRadioButton(points);
        button->setObjectName(QString::number(IDC_FIRST_POINT + p));
        m_points->addButton(button, p);
        // Row 0 is min y, drawn at the bottom.
        pointGrid->addWidget(button, 2 - p / 3, p % 3);
    }
    grid->addWidget(points, 0, 2, 5, 1);

    m_ok = new CXPButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QString::number(IDC_OK));
    m_ok->setDefault(true);
    grid->addWidget(m_ok, 5, 2, Qt::AlignRight);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_corners, &QButtonGroup::idClicked, this, [this](int corner) { m_orign = static_cast<std::uint8_t>(corner); });
    connect(m_points, &QButtonGroup::idClicked, this, [this](int p) { m_dot = static_cast<std::uint8_t>(p); });
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}

QAbstractButton* CSetMachineCoor::CornerButton(int corner) const { return m_corners->button(corner); }
QAbstractButton* CSetMachineCoor::PointButton(int point) const { return m_points->button(point); }
QLabel* CSetMachineCoor::Label(int id) const { return findChild<QLabel*>(QString::number(id)); }

void CSetMachineCoor::OnInitDialog()
{
    // Only the section itself gives texts: without it the lookup would fall
    // back on the table's first strings, which belong to other windows.
    if (FindLanguageSection(RegisteredLanguageTable(), kSection) >= 0) {
        SetTitleFromSection(11);
        SetTextFromSection(Label(IDC_XSIZE_LABEL), 8);
        SetTextFromSection(Label(IDC_YSIZE_LABEL), 9);
        for (int corner = 0; corner < 4; ++corner) {
            // Entries 1 .. 4: top left, top right, bottom left, bottom right.
            static constexpr int kEntry[4] = {2, 1, 4, 3};
            SetTextFromSection(m_corners->button(corner), kEntry[corner]);
        }
        SetTextFromSection(Label(IDC_WARNING), 5);
        SetTextFromSection(findChild<QGroupBox*>(QString::number(IDC_POINT_GROUP)), 6);
        SetTextFromSection(m_ok, 7);
        SetTextFromSection(Label(IDC_AREA_LABEL), 0);
        SetTextFromSection(findChild<QGroupBox*>(QString::number(IDC_ORIGIN_GROUP)), 10);
    }
    m_xEdit->setText(NumberText(m_xsize));
    m_yEdit->setText(NumberText(m_ysize));
    m_corners->button(m_orign)->setChecked(true);
    m_points->button(m_dot)->setChecked(true);
}

bool CSetMachineCoor::OnOK()
{
    double x = 0.0;
    double y = 0.0;
    QLineEdit* bad = !UsableSize(m_xEdit, x) ? m_xEdit : !UsableSize(m_yEdit, y) ? m_yEdit : nullptr;
    if (bad != nullptr) {
        plat::MessageBox(SectionText(kBadSizeText), std::u16string(), plat::MB_OK | plat::MB_ICONWARNING);
        bad->setFocus();
        bad->selectAll();
        return false;
    }
    m_xsize = x;
    m_ysize = y;
    return true;
}
