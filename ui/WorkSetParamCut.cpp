#include "WorkSetParamCut.h"

#include "qtplatform/NumberEdit.h"
#include "XPButton.h"
#include "platform/Prompt.h"
#include "settings/WorkParams.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include <cmath>

namespace {

constexpr int kDelayRangeText = 37;

struct Text {
    int id;
    int entry;
    const char* text;
};
constexpr Text kTexts[] = {
    {1129, 23, "Air"},        {1130, 24, "Automatic Air"},         {1134, 25, "Start Delay (s)"},
    {1135, 26, "End Delay (s)"}, {1131, 27, "Dot Mode"},           {1132, 28, "Dot Interval (mm)"},
    {1133, 29, "Dot Time (s)"}, {1073, 21, "OK"},                   {1256, 34, "Delay After Work (s)"},
    {1258, 36, "Delay Power (%)"},
};

} // namespace

CWorkSetParamCut::CWorkSetParamCut(const WorkParams& rec, QWidget* parent)
    : CDialogBase(IDD, u"phase10:layer-param", parent)
{
    m_bCuiqi = rec.m_b_cuiqi;
    m_bAutoCuiqi = rec.m_b_auto_cuiqi;
    m_dStDelay = rec.m_b_st_delay / 1000.0;
    m_dEdDelay = rec.m_b_ed_delay / 1000.0;
    m_bHitPoint = rec.m_b_hit_point;
    m_dHitDis = rec.m_b_hit_dis;
    m_dHitTime = rec.m_b_hit_time;
    m_bAfterWork = rec.m_b_delay_after_work;
    m_dAfterWorkV = rec.m_b_delay_after_work_v;
    m_bDelayLsrAct = rec.m_b_delay_lsr_act;
    m_dDelayLaser = rec.m_b_delay_laser;

    setWindowTitle(QStringLiteral("Cut"));
    auto* layout = new QGridLayout(this);
    auto check = [&](int id, int row) {
        auto* box = new QCheckBox(this);
        box->setObjectName(QString::number(id));
        layout->addWidget(box, row, 0);
    };
    auto label = [&](int id, int row) {
        auto* text = new QLabel(this);
        text->setObjectName(QString::number(id));
        layout->addWidget(text, row, 0);
    };
    check(IDC_CUIQI, 0);
    check(IDC_AUTO_CUIQI, 1);
    label(1134, 2);
    layout->addWidget(MakeNumberEdit(IDC_ST_DELAY, this), 2, 1);
    label(1135, 3);
    layout->addWidget(MakeNumberEdit(IDC_ED_DELAY, this), 3, 1);
    check(IDC_HIT_POINT, 4);
    label(1132, 5);
    layout->addWidget(MakeNumberEdit(IDC_HIT_DIS, this), 5, 1);
    label(1133, 6);
    layout->addWidget(MakeNumberEdit(IDC_HIT_TIME, this), 6, 1);
    check(IDC_AFTER_WORK, 7);
    layout->addWidget(MakeNumberEdit(IDC_AFTER_WORK_V, this), 7, 1);
    check(IDC_DELAY_LSR_ACT, 8);
    layout->addWidget(MakeNumberEdit(IDC_DELAY_LASER, this), 8, 1);
    auto* ok = new CXPButton(QStringLiteral("OK"), this);
    ok->setObjectName(QString::number(IDC_OK));
    ok->setDefault(true);
    layout->addWidget(ok, 9, 1);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    for (const Text& t : kTexts) {
        QWidget* w = findChild<QWidget*>(QString::number(t.id));
        if (auto* l = qobject_cast<QLabel*>(w))
            l->setText(QString::fromLatin1(t.text));
        else if (auto* b = qobject_cast<QAbstractButton*>(w))
            b->setText(QString::fromLatin1(t.text));
    }
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QLineEdit* CWorkSetParamCut::Edit(int id) const
{
    return findChild<QLineEdit*>(QString::number(id));
}

QCheckBox* CWorkSetParamCut::Check(int id) const
{
    return findChild<QCheckBox*>(QString::number(id));
}

void CWorkSetParamCut::OnInitDialog()
{
    SetTitleFromSection(1);
    for (const Text& t : kTexts)
        SetTextFromSection(findChild<QWidget*>(QString::number(t.id)), t.entry);
    Check(IDC_CUIQI)->setChecked(m_bCuiqi != 0);
    Check(IDC_AUTO_CUIQI)->setChecked(m_bAutoCuiqi != 0);
    Check(IDC_HIT_POINT)->setChecked(m_bHitPoint != 0);
    Check(IDC_AFTER_WORK)->setChecked(m_bAfterWork != 0);
    Check(IDC_DELAY_LSR_ACT)->setChecked(m_bDelayLsrAct != 0);
    Edit(IDC_ST_DELAY)->setText(NumberText(m_dStDelay));
    Edit(IDC_ED_DELAY)->setText(NumberText(m_dEdDelay));
    Edit(IDC_HIT_DIS)->setText(NumberText(m_dHitDis));
    Edit(IDC_HIT_TIME)->setText(NumberText(m_dHitTime));
    Edit(IDC_AFTER_WORK_V)->setText(NumberText(m_dAfterWorkV));
    Edit(IDC_DELAY_LASER)->setText(NumberText(m_dDelayLaser));
}

bool CWorkSetParamCut::DelayMilliseconds(double seconds, std::uint16_t& ms)
{
    const double t = std::trunc(seconds * 1000.0);
    if (!std::isfinite(t) || t < 0.0 || t > 65535.0)
        return false;
    ms = static_cast<std::uint16_t>(t);
    return true;
}

bool CWorkSetParamCut::OnOK()
{
    double st = 0, ed = 0, dis = 0, time = 0, after = 0, laser = 0;
    if (!TakeNumberEdit(Edit(IDC_ST_DELAY), st) || !TakeNumberEdit(Edit(IDC_ED_DELAY), ed) ||
        !TakeNumberEdit(Edit(IDC_HIT_DIS), dis) || !TakeNumberEdit(Edit(IDC_HIT_TIME), time) ||
        !TakeNumberEdit(Edit(IDC_AFTER_WORK_V), after) || !TakeNumberEdit(Edit(IDC_DELAY_LASER), laser))
        return false;
    // The delays are held in 16 bits of milliseconds: a value outside that
    // would come back as another delay, so it is refused like a non-number.
    std::uint16_t ms = 0;
    for (int id : {IDC_ST_DELAY, IDC_ED_DELAY}) {
        if (!DelayMilliseconds(id == IDC_ST_DELAY ? st : ed, ms)) {
            plat::MessageBox(SectionText(kDelayRangeText), std::u16string(), plat::MB_OK | plat::MB_ICONWARNING);
            Edit(id)->setFocus();
            Edit(id)->selectAll();
            return false;
        }
    }
    m_bCuiqi = Check(IDC_CUIQI)->isChecked() ? 1 : 0;
    m_bAutoCuiqi = Check(IDC_AUTO_CUIQI)->isChecked() ? 1 : 0;
    m_bHitPoint = Check(IDC_HIT_POINT)->isChecked() ? 1 : 0;
    m_bAfterWork = Check(IDC_AFTER_WORK)->isChecked() ? 1 : 0;
    m_bDelayLsrAct = Check(IDC_DELAY_LSR_ACT)->isChecked() ? 1 : 0;
    m_dStDelay = st;
    m_dEdDelay = ed;
    m_dHitDis = dis;
    m_dHitTime = time;
    m_dAfterWorkV = after;
    m_dDelayLaser = laser;
    return true;
}

void CWorkSetParamCut::StoreInto(WorkParams& rec) const
{
    rec.m_b_cuiqi = static_cast<std::uint8_t>(m_bCuiqi);
    rec.m_b_auto_cuiqi = static_cast<std::uint8_t>(m_bAutoCuiqi);
    DelayMilliseconds(m_dStDelay, rec.m_b_st_delay);
    DelayMilliseconds(m_dEdDelay, rec.m_b_ed_delay);
    rec.m_b_hit_point = static_cast<std::uint16_t>(m_bHitPoint);
    rec.m_b_hit_dis = m_dHitDis;
    rec.m_b_hit_time = m_dHitTime;
    rec.m_b_delay_after_work = static_cast<std::uint8_t>(m_bAfterWork);
    rec.m_b_delay_after_work_v = m_dAfterWorkV;
    rec.m_b_delay_lsr_act = static_cast<std::uint16_t>(m_bDelayLsrAct);
    rec.m_b_delay_laser = m_dDelayLaser;
}
