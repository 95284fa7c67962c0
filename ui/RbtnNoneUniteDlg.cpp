#include "RbtnNoneUniteDlg.h"

#include "qtplatform/NumberEdit.h"
#include "XPButton.h"
#include "settings/LanguageTable.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>

namespace {
constexpr char16_t kSection[] = u"phase11:edit-right-menu";
}

CRbtnNoneUniteDlg::CRbtnNoneUniteDlg(QWidget* parent) : CDialogBase(IDD, kSection, parent)
{
    setWindowTitle(QStringLiteral("Unite Adjacent Curves"));
    auto* grid = new QGridLayout(this);
    auto* label = new QLabel(QStringLiteral("Reference distance (mm)"), this);
    label->setObjectName(QString::number(IDC_DISTANCE_LABEL));
    m_distance = MakeNumberEdit(IDC_DISTANCE, this);
    m_crossings = new QCheckBox(QStringLiteral("Delete crossings"), this);
    m_crossings->setObjectName(QString::number(IDC_DELETE_CROSSINGS));
    auto* ok = new CXPButton(QStringLiteral("OK"), this);
    ok->setObjectName(QString::number(IDC_OK));
    ok->setDefault(true);
    grid->addWidget(label, 0, 0);
    grid->addWidget(m_distance, 0, 1);
    grid->addWidget(m_crossings, 1, 0, 1, 2);
    grid->addWidget(ok, 2, 1, Qt::AlignRight);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void CRbtnNoneUniteDlg::OnInitDialog()
{
    if (FindLanguageSection(RegisteredLanguageTable(), kSection) >= 0) {
        SetTitleFromSection(14);
        SetTextFromSection(findChild<QLabel*>(QString::number(IDC_DISTANCE_LABEL)), 15);
        SetTextFromSection(m_crossings, 55);
        SetTextFromSection(findChild<QWidget*>(QString::number(IDC_OK)), 10);
    }
    m_crossings->setChecked(m_bDeleteCrossings != 0);
    m_distance->setText(NumberText(m_dDistance));
}

bool CRbtnNoneUniteDlg::OnOK()
{
    double distance = m_dDistance;
    if (!TakeNumberEdit(m_distance, distance))
        return false;
    m_dDistance = distance;
    m_bDeleteCrossings = m_crossings->isChecked() ? 1 : 0;
    return true;
}
