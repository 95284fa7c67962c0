#include "WorkSetParamCarve.h"

#include "qtplatform/NumberEdit.h"
#include "XPButton.h"
#include "settings/WorkParams.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>

namespace {

struct Text {
    int id;
    int entry;
    const char* text;
};
constexpr Text kTexts[] = {
    {1129, 23, "Air"}, {1130, 24, "Automatic Air"}, {1073, 21, "OK"},
    {1131, 30, "Spot Compensation"}, {1132, 34, "Delay After Work (s)"},
};

} // namespace

CWorkSetParamCarve::CWorkSetParamCarve(const WorkParams& rec, QWidget* parent)
    : CDialogBase(IDD, u"phase10:layer-param", parent)
{
    m_bCuiqi = rec.m_s_cuiqi;
    m_bAutoCuiqi = rec.m_s_auto_cuiqi;
    m_bDiameterUse = rec.m_s_diameter_use;
    m_dDiameter = rec.m_s_diameter;
    m_bAfterWork = rec.m_s_delay_after_work;
    m_dAfterWorkV = rec.m_s_delay_after_work_v;

    setWindowTitle(QStringLiteral("Scan"));
    auto* layout = new QGridLayout(this);
    auto check = [&](int id, int row) {
        auto* box = new QCheckBox(this);
        box->setObjectName(QString::number(id));
        layout->addWidget(box, row, 0);
    };
    check(IDC_CUIQI, 0);
    check(IDC_AUTO_CUIQI, 1);
    check(IDC_DIAMETER_USE, 2);
    layout->addWidget(MakeNumberEdit(IDC_DIAMETER, this), 2, 1);
    check(IDC_AFTER_WORK, 3);
    layout->addWidget(MakeNumberEdit(IDC_AFTER_WORK_V, this), 3, 1);
    auto* ok = new CXPButton(QStringLiteral("OK"), this);
    ok->setObjectName(QString::number(IDC_OK));
    ok->setDefault(true);
    layout->addWidget(ok, 4, 1);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    for (const Text& t : kTexts) {
        if (auto* b = findChild<QAbstractButton*>(QString::number(t.id)))
            b->setText(QString::fromLatin1(t.text));
    }
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QLineEdit* CWorkSetParamCarve::Edit(int id) const
{
    return findChild<QLineEdit*>(QString::number(id));
}

QCheckBox* CWorkSetParamCarve::Check(int id) const
{
    return findChild<QCheckBox*>(QString::number(id));
}

void CWorkSetParamCarve::OnInitDialog()
{
    SetTitleFromSection(2);
    for (const Text& t : kTexts)
        SetTextFromSection(findChild<QWidget*>(QString::number(t.id)), t.entry);
    Check(IDC_CUIQI)->setChecked(m_bCuiqi != 0);
    Check(IDC_AUTO_CUIQI)->setChecked(m_bAutoCuiqi != 0);
    Check(IDC_DIAMETER_USE)->setChecked(m_bDiameterUse != 0);
    Check(IDC_AFTER_WORK)->setChecked(m_bAfterWork != 0);
    Edit(IDC_DIAMETER)->setText(NumberText(m_dDiameter));
    Edit(IDC_AFTER_WORK_V)->setText(NumberText(m_dAfterWorkV));
}

bool CWorkSetParamCarve::OnOK()
{
    double diameter = 0, after = 0;
    if (!TakeNumberEdit(Edit(IDC_DIAMETER), diameter) || !TakeNumberEdit(Edit(IDC_AFTER_WORK_V), after))
        return false;
    m_bCuiqi = Check(IDC_CUIQI)->isChecked() ? 1 : 0;
    m_bAutoCuiqi = Check(IDC_AUTO_CUIQI)->isChecked() ? 1 : 0;
    m_bDiameterUse = Check(IDC_DIAMETER_USE)->isChecked() ? 1 : 0;
    m_bAfterWork = Check(IDC_AFTER_WORK)->isChecked() ? 1 : 0;
    m_dDiameter = diameter;
    m_dAfterWorkV = after;
    return true;
}

void CWorkSetParamCarve::StoreInto(WorkParams& rec) const
{
    rec.m_s_cuiqi = static_cast<std::uint8_t>(m_bCuiqi);
    rec.m_s_auto_cuiqi = static_cast<std::uint8_t>(m_bAutoCuiqi);
    rec.m_s_diameter_use = static_cast<std::uint8_t>(m_bDiameterUse);
    rec.m_s_diameter = m_dDiameter;
    rec.m_s_delay_after_work = static_cast<std::uint8_t>(m_bAfterWork);
    rec.m_s_delay_after_work_v = m_dAfterWorkV;
}
