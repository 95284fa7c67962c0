#include "ParamPageMachineResolution.h"

#include "MachineParamPage.h"
#include "XPButton.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>

namespace {

constexpr double kLeast = 1e-5;
// What a measured length loses at its two ends, in millimetres.
constexpr double kMeasureLoss = 0.2;

QLabel* MakeLabel(int id, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::number(id));
    return label;
}

} // namespace

CParamPageMachineResolution::CParamPageMachineResolution(double resolution, QWidget* parent)
    : CDialogBase(IDD, u"phase13:param-dialog", parent), m_resolution(resolution)
{
    setWindowTitle(QStringLiteral("Resolution Calculator"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(MakeLabel(IDC_TITLE, this), 0, 0, 1, 3);
    grid->addWidget(MakeLabel(IDC_A_LABEL, this), 1, 0);
    m_a = new QLineEdit(this);
    m_a->setObjectName(QString::number(IDC_A));
    grid->addWidget(m_a, 1, 1);
    auto* mm = MakeLabel(IDC_MM, this);
    mm->setText(QStringLiteral("mm"));
    grid->addWidget(mm, 1, 2);
    grid->addWidget(MakeLabel(IDC_B_LABEL, this), 2, 0);
    m_b = new QLineEdit(this);
    m_b->setObjectName(QString::number(IDC_B));
    grid->addWidget(m_b, 2, 1);
    auto* mode = new CXPButton(this);
    mode->setObjectName(QString::number(IDC_MODE));
    grid->addWidget(mode, 3, 0);
    auto* compute = new CXPButton(QStringLiteral("Calculate"), this);
    compute->setObjectName(QString::number(IDC_COMPUTE));
    grid->addWidget(compute, 3, 1);
    connect(mode, &QPushButton::clicked, this, [this] { OnToggleMode(); });
    connect(compute, &QPushButton::clicked, this, [this] { OnCompute(); });
    ShowMode();
}

CXPButton* CParamPageMachineResolution::Button(int id) const
{
    return findChild<CXPButton*>(QString::number(id));
}

void CParamPageMachineResolution::OnInitDialog()
{
    SetTitleFromSection(41);
    SetTextFromSection(Button(IDC_COMPUTE), 45);
    ShowMode();
}

void CParamPageMachineResolution::ShowMode()
{
    const bool measured = m_mode == 0;
    const struct {
        int id;
        int entry;
        const char* text;
    } texts[] = {{IDC_TITLE, measured ? 46 : 42, measured ? "By Measurement" : "By Pulses"},
                 {IDC_A_LABEL, measured ? 47 : 43, measured ? "Set Length" : "Pulses"},
                 {IDC_B_LABEL, measured ? 48 : 44, measured ? "Measured Length" : "Distance (um)"},
                 {IDC_MODE, measured ? 42 : 46, measured ? "By Pulses" : "By Measurement"}};
    for (const auto& t : texts) {
        QWidget* w = findChild<QWidget*>(QString::number(t.id));
        if (auto* label = qobject_cast<QLabel*>(w))
            label->setText(QString::fromLatin1(t.text));
        else if (auto* button = qobject_cast<QPushButton*>(w))
            button->setText(QString::fromLatin1(t.text));
        SetTextFromSection(w, t.entry);
    }
    findChild<QLabel*>(QString::number(IDC_MM))->setVisible(measured);
    // One width in both modes: that of the pulse caption.
    CXPButton* mode = Button(IDC_MODE);
    std::u16string widest = SectionText(42);
    const QString caption = widest.empty() ? QStringLiteral("By Pulses") : QString::fromStdU16String(widest);
    const int edge = style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    mode->setMinimumWidth(QFontMetrics(mode->font()).horizontalAdvance(caption) + 2 * edge + 14);
}

void CParamPageMachineResolution::OnToggleMode()
{
    m_mode = m_mode == 0 ? 1 : 0;
    ShowMode();
}

void CParamPageMachineResolution::OnCompute()
{
    double a = 0.0;
    double b = 0.0;
    if (!CMachineParamPage::ReadNumber(m_a->text(), a) || !CMachineParamPage::ReadNumber(m_b->text(), b))
        return;
    if (m_mode == 0) {
        // The divisor itself must be clear of zero, not only B.
        const double measured = b - kMeasureLoss;
        m_resolution = measured > kLeast ? (a - kMeasureLoss) * m_resolution / measured : 0.0;
    } else {
        m_resolution = b > kLeast ? a * 1000.0 / b : 0.0;
    }
    QDialog::accept();
}
