#include "WorkAutoArray.h"

#include "WorkPageSet.h"
#include "XPButton.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

// Virtual counts end in a record of 16-bit counts.
constexpr std::uint32_t kMaxVirtualCount = 0xFFFF;
constexpr std::uint32_t kMaxRealCount = 0xFFFFFFFF;

} // namespace

CWorkAutoArray::CWorkAutoArray(std::uint32_t mode, double areaW, double areaH, double spaceX, double spaceY,
                               double itemW, double itemH, CWorkPageSet* page, QWidget* parent)
    : CDialogBase(IDD, u"phase5:array-tool", parent), m_nMode(mode), m_dAreaW(areaW), m_dAreaH(areaH),
      m_dSpaceX(spaceX), m_dSpaceY(spaceY), m_dItemW(itemW), m_dItemH(itemH), m_pPage(page)
{
    setWindowTitle(QStringLiteral("Auto Fill"));
    auto* layout = new QGridLayout(this);
    const struct {
        int label;
        const char* text;
        int edit;
        double value;
    } rows[] = {{1184, "Area Width (mm)", IDC_AREA_W, areaW},
                {1186, "Area Height (mm)", IDC_AREA_H, areaH},
                {1188, "Horizontal Spacing (mm)", IDC_SPACE_X, spaceX},
                {1189, "Vertical Spacing (mm)", IDC_SPACE_Y, spaceY}};
    int row = 0;
    for (const auto& r : rows) {
        auto* label = new QLabel(QString::fromLatin1(r.text), this);
        label->setObjectName(QString::number(r.label));
        auto* edit = new QLineEdit(QString::number(r.value, 'g', 15), this);
        edit->setObjectName(QString::number(r.edit));
        layout->addWidget(label, row, 0);
        layout->addWidget(edit, row, 1);
        ++row;
        connect(edit, &QLineEdit::textEdited, this, [this] { Compute(true); });
    }
    auto* apply = new CXPButton(QStringLiteral("Apply"), this);
    apply->setObjectName(QString::number(IDC_APPLY));
    apply->setDefault(true);
    layout->addWidget(apply, row, 1, Qt::AlignRight);
    connect(apply, &QPushButton::clicked, this, &QDialog::accept);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QLineEdit* CWorkAutoArray::Edit(int id) const { return findChild<QLineEdit*>(QString::number(id)); }

void CWorkAutoArray::OnInitDialog()
{
    SetTitleFromSection(5);
    for (const auto& [id, entry] : {std::pair{1184, 6}, {1186, 7}, {1188, 10}, {1189, 11}, {IDC_APPLY, 14}})
        SetTextFromSection(findChild<QWidget*>(QString::number(id)), entry);
    if (m_nMode == kModeVirtual) {
        if (QWidget* apply = findChild<QWidget*>(QString::number(IDC_APPLY)))
            apply->hide();
    }
    Compute(false);
}

bool CWorkAutoArray::OnOK()
{
    Compute(false);
    return true;
}

void CWorkAutoArray::Compute(bool live)
{
    m_dAreaW = CWorkPageSet::ReadLength(Edit(IDC_AREA_W));
    m_dAreaH = CWorkPageSet::ReadLength(Edit(IDC_AREA_H));
    m_dSpaceX = CWorkPageSet::ReadLength(Edit(IDC_SPACE_X));
    m_dSpaceY = CWorkPageSet::ReadLength(Edit(IDC_SPACE_Y));
    const std::uint32_t most = m_nMode == kModeVirtual ? kMaxVirtualCount : kMaxRealCount;
    m_nCountX = CWorkPageSet::FillCount(m_dAreaW, m_dItemW, m_dSpaceX, m_nCountX, most);
    m_nCountY = CWorkPageSet::FillCount(m_dAreaH, m_dItemH, m_dSpaceY, m_nCountY, most);
    if (!live || m_nMode != kModeVirtual || m_pPage == nullptr || (m_nCountX < 2 && m_nCountY < 2))
        return;
    m_pPage->m_dVirtGapX = m_dSpaceX;
    m_pPage->m_dVirtGapY = m_dSpaceY;
    m_pPage->m_dFillW = m_dAreaW;
    m_pPage->m_dFillH = m_dAreaH;
    m_pPage->m_nVirtCols = m_nCountX;
    m_pPage->m_nVirtRows = m_nCountY;
    m_pPage->ShowFields();
    m_pPage->VirtualArray();
}
