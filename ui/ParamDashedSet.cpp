#include "ParamDashedSet.h"

#include "qtplatform/NumberEdit.h"
#include "XPButton.h"
#include "settings/LanguageTable.h"

#include <QGridLayout>
#include <QLabel>

namespace {
constexpr char16_t kSection[] = u"phase11:edit-right-menu";
}

CParamDashedSet::CParamDashedSet(double solid, double gap, QWidget* parent)
    : CDialogBase(IDD, kSection, parent), m_dSolid(solid), m_dGap(gap)
{
    setWindowTitle(QStringLiteral("Dashed Lines"));
    auto* grid = new QGridLayout(this);
    auto* solidLabel = new QLabel(QStringLiteral("Solid (mm)"), this);
    solidLabel->setObjectName(QString::number(IDC_SOLID_LABEL));
    auto* gapLabel = new QLabel(QStringLiteral("Gap (mm)"), this);
    gapLabel->setObjectName(QString::number(IDC_GAP_LABEL));
    m_solid = MakeNumberEdit(IDC_SOLID, this);
    m_gap = MakeNumberEdit(IDC_GAP, this);
    m_ok = new CXPButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QString::number(IDC_OK));
    m_ok->setDefault(true);
    grid->addWidget(solidLabel, 0, 0);
    grid->addWidget(m_solid, 0, 1);
    grid->addWidget(gapLabel, 1, 0);
    grid->addWidget(m_gap, 1, 1);
    grid->addWidget(m_ok, 2, 1, Qt::AlignRight);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}

void CParamDashedSet::OnInitDialog()
{
    if (FindLanguageSection(RegisteredLanguageTable(), kSection) >= 0) {
        SetTitleFromSection(49);
        SetTextFromSection(findChild<QLabel*>(QString::number(IDC_SOLID_LABEL)), 50);
        SetTextFromSection(findChild<QLabel*>(QString::number(IDC_GAP_LABEL)), 51);
        SetTextFromSection(m_ok, 52);
    }
    m_solid->setText(NumberText(m_dSolid));
    m_gap->setText(NumberText(m_dGap));
}

bool CParamDashedSet::OnOK()
{
    double solid = m_dSolid, gap = m_dGap;
    if (!TakeNumberEdit(m_solid, solid) || !TakeNumberEdit(m_gap, gap))
        return false;
    m_dSolid = solid;
    m_dGap = gap;
    return true;
}
