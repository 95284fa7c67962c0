#include "TechParamSetDlg.h"

#include "qtplatform/NumberEdit.h"
#include "XPButton.h"

#include <QGridLayout>
#include <QLabel>

namespace {

constexpr char16_t kSection[] = u"phase13:param-dialog";

// Label entry and unit text of each row, by kind; entry -1 hides the row.
struct RowText {
    int entry;
    const char* unit;
};
constexpr RowText kRows[3][3] = {
    {{4, "mm/s"}, {5, "mm"}, {-1, ""}},
    {{11, "mm"}, {4, "mm/s"}, {-1, ""}},
    {{4, "mm/s"}, {52, "mm"}, {53, "mm"}},
};

} // namespace

CTechParamSetDlg::CTechParamSetDlg(std::uint8_t kind, double value1, double value2, double value3,
                                   QWidget* parent)
    : CDialogBase(IDD, kSection, parent), m_dValue1(value1), m_dValue2(value2), m_dValue3(value3), m_nKind(kind)
{
    // The template's own texts, kept where the language table has none.
    setWindowTitle(QStringLiteral("Technology Row"));
    const char* labels[3] = {"Speed", "Gap", "Compensation"};
    const int editIds[3] = {IDC_VALUE1, IDC_VALUE2, IDC_VALUE3};
    const int labelIds[3] = {IDC_LABEL1, IDC_LABEL2, IDC_LABEL3};
    const int unitIds[3] = {IDC_UNIT1, IDC_UNIT2, IDC_UNIT3};
    auto* grid = new QGridLayout(this);
    for (int row = 0; row < 3; ++row) {
        m_labels[row] = new QLabel(QString::fromLatin1(labels[row]), this);
        m_labels[row]->setObjectName(QString::number(labelIds[row]));
        m_edits[row] = MakeNumberEdit(editIds[row], this);
        m_units[row] = new QLabel(QStringLiteral("mm"), this);
        m_units[row]->setObjectName(QString::number(unitIds[row]));
        grid->addWidget(m_labels[row], row, 0);
        grid->addWidget(m_edits[row], row, 1);
        grid->addWidget(m_units[row], row, 2);
    }
    m_ok = new CXPButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QString::number(IDC_OK));
    m_ok->setDefault(true);
    grid->addWidget(m_ok, 3, 1, 1, 2, Qt::AlignRight);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}

void CTechParamSetDlg::OnInitDialog()
{
    SetTitleFromSection(57);
    SetTextFromSection(m_ok, 50);
    // An unknown kind shows the rows of the cut repair table, which has them all.
    const RowText* rows = kRows[m_nKind < 3 ? m_nKind : 2];
    const double values[3] = {m_dValue1, m_dValue2, m_dValue3};
    for (int row = 0; row < 3; ++row) {
        const bool shown = rows[row].entry >= 0;
        m_labels[row]->setVisible(shown);
        m_edits[row]->setVisible(shown);
        m_units[row]->setVisible(shown);
        if (!shown)
            continue;
        SetTextFromSection(m_labels[row], rows[row].entry);
        m_units[row]->setText(QString::fromLatin1(rows[row].unit));
        m_edits[row]->setText(NumberText(values[row]));
    }
}

bool CTechParamSetDlg::OnOK()
{
    double read[3] = {m_dValue1, m_dValue2, m_dValue3};
    for (int row = 0; row < 3; ++row) {
        if (m_edits[row]->isHidden())
            continue;
        if (!ReadNumberEdit(m_edits[row], read[row])) {
            m_edits[row]->setFocus();
            m_edits[row]->selectAll();
            return false;
        }
    }
    m_dValue1 = read[0];
    m_dValue2 = read[1];
    m_dValue3 = read[2];
    return true;
}
