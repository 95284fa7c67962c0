#include "ShowGridDlg.h"

#include "qtplatform/NumberEdit.h"
#include "XPButton.h"
#include "settings/LanguageTable.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>

namespace {
constexpr char16_t kSection[] = u"phase26:show-grid";
}

CShowGridDlg::CShowGridDlg(QWidget* parent) : CDialogBase(IDD, kSection, parent)
{
    // The template's own texts, kept when the language file lacks the section.
    setWindowTitle(QStringLiteral("Show grid"));
    auto* grid = new QGridLayout(this);
    m_show = new QCheckBox(QStringLiteral("Show gird"), this);
    m_show->setObjectName(QString::number(IDC_SHOW));
    m_label = new QLabel(QStringLiteral("Length"), this);
    m_label->setObjectName(QString::number(IDC_LENGTH_LABEL));
    m_length = MakeNumberEdit(IDC_LENGTH, this);
    m_ok = new CXPButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QString::number(IDC_OK));
    m_ok->setDefault(true);
    grid->addWidget(m_show, 0, 0, 1, 3);
    grid->addWidget(m_label, 1, 0);
    grid->addWidget(m_length, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("mm"), this), 1, 2);
    grid->addWidget(m_ok, 2, 1, 1, 2, Qt::AlignRight);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}

void CShowGridDlg::OnInitDialog()
{
    // Only the section itself gives texts: without it the lookup would fall
    // back on the table's first strings, which belong to other windows.
    if (FindLanguageSection(RegisteredLanguageTable(), kSection) >= 0) {
        SetTitleFromSection(0);
        SetTextFromSection(m_show, 1);
        SetTextFromSection(m_label, 2);
        SetTextFromSection(m_ok, 3);
    }
    m_show->setChecked(m_bShowGrid != 0);
    m_length->setText(NumberText(m_dLength));
}

bool CShowGridDlg::OnOK()
{
    double length = m_dLength;
    if (!ReadNumberEdit(m_length, length)) {
        m_length->setFocus();
        m_length->selectAll();
        return false;
    }
    m_dLength = length;
    m_bShowGrid = m_show->isChecked() ? 1 : 0;
    return true;
}
