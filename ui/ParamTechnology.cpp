#include "ParamTechnology.h"

#include "TechParamSetDlg.h"
#include "XPButton.h"
#include "platform/Prompt.h"
#include "settings/MachineTech.h"
#include "settings/ReadParamFile.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>

namespace {

constexpr char16_t kSection[] = u"phase13:param-dialog";
constexpr int kSaveFailed = 103;
// Rows whose first values lie this close are one row.
constexpr double kSameRow = 0.001;

// The values of a row of each table, in column order.
struct Values {
    double v[3] = {0.0, 0.0, 0.0};
};

Values Get(const CARVEREPAIR& r) { return {{r.speed, r.inter, 0.0}}; }
Values Get(const SPEEDLIMIT& r) { return {{r.frame, r.speed, 0.0}}; }
Values Get(const CUTREPAIR& r) { return {{r.speed, r.x_rt, r.y_rt}}; }
void Set(CARVEREPAIR& r, const Values& x) { r.speed = x.v[0], r.inter = x.v[1]; }
void Set(SPEEDLIMIT& r, const Values& x) { r.frame = x.v[0], r.speed = x.v[1]; }
void Set(CUTREPAIR& r, const Values& x) { r.speed = x.v[0], r.x_rt = x.v[1], r.y_rt = x.v[2]; }
void Append(CMachineTech& t, CARVEREPAIR*, const Values& x) { t.AppendCarveRepair(x.v[0], x.v[1]); }
void Append(CMachineTech& t, SPEEDLIMIT*, const Values& x) { t.AppendSpeedLimit(x.v[0], x.v[1]); }
void Append(CMachineTech& t, CUTREPAIR*, const Values& x) { t.AppendCutRepair(x.v[0], x.v[1], x.v[2]); }

template <class Row>
Row* RowAt(Row* head, int index)
{
    for (; head != nullptr && index > 0; --index)
        head = head->next;
    return index == 0 ? head : nullptr;
}

// Stores the entered row: over the row with the same first value, or as a
// new row, the table then sorted by first value (exchanging values, so the
// rows themselves stay where they are).
template <class Row>
void StoreRow(CMachineTech& tech, Row*& head, const Values& entered)
{
    for (Row* r = head; r != nullptr; r = r->next) {
        if (std::fabs(Get(*r).v[0] - entered.v[0]) <= kSameRow) {
            Set(*r, entered);
            return;
        }
    }
    Append(tech, static_cast<Row*>(nullptr), entered);
    for (Row* a = head; a != nullptr; a = a->next) {
        for (Row* b = a->next; b != nullptr; b = b->next) {
            if (Get(*b).v[0] < Get(*a).v[0]) {
                const Values held = Get(*a);
                Set(*a, Get(*b));
                Set(*b, held);
            }
        }
    }
}

template <class Row>
void RemoveRow(Row*& head, Row* row)
{
    if (row->prev != nullptr)
        row->prev->next = row->next;
    else
        head = row->next;
    if (row->next != nullptr)
        row->next->prev = row->prev;
    delete row;
}

template <class Row>
void FillList(QTableWidget* list, const Row* head, int columns)
{
    list->setRowCount(0);
    for (const Row* r = head; r != nullptr; r = r->next) {
        const int row = list->rowCount();
        list->insertRow(row);
        const Values x = Get(*r);
        for (int c = 0; c < columns; ++c) {
            char text[64];
            std::snprintf(text, sizeof text, c == 0 ? "%0.2f" : "%0.4f", x.v[c]);
            list->setItem(row, c, new QTableWidgetItem(QString::fromLatin1(text)));
        }
    }
}

int SelectedRow(const QTableWidget* list)
{
    const auto rows = list->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

struct TableLayout {
    int list, group, add, remove, use;
    int groupEntry;
    int columns;
    int columnEntry[3];
    int columnWidth[3];
    const char* groupText;
};
constexpr TableLayout kTables[3] = {
    {1086, 1087, 1074, 1075, 1088, 3, 2, {4, 5, 0}, {50, 90, 0}, "Carve repair"},
    {1089, 1090, 1076, 1077, 1091, 10, 2, {11, 4, 0}, {70, 70, 0}, "Speed limit"},
    {1093, 1094, 1078, 1079, 1095, 51, 3, {4, 52, 53}, {50, 90, 90}, "Cut repair"},
};

} // namespace

CParamTechnology::CParamTechnology(QWidget* parent) : CDialogBase(IDD, kSection, parent)
{
    setWindowTitle(QStringLiteral("Process Technology"));
    auto* layout = new QVBoxLayout(this);
    for (int t = 0; t < 3; ++t) {
        const TableLayout& k = kTables[t];
        auto* group = new QGroupBox(QString::fromLatin1(k.groupText), this);
        group->setObjectName(QString::number(k.group));
        m_groups[t] = group;
        auto* grid = new QGridLayout(group);
        auto* list = new QTableWidget(0, k.columns, group);
        list->setObjectName(QString::number(k.list));
        list->setShowGrid(true);
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->horizontalHeader()->setSectionsMovable(true);
        list->verticalHeader()->hide();
        for (int c = 0; c < k.columns; ++c) {
            list->setHorizontalHeaderItem(c, new QTableWidgetItem());
            list->setColumnWidth(c, k.columnWidth[c]);
        }
        m_lists[t] = list;
        m_adds[t] = new CXPButton(QStringLiteral("Add"), group);
        m_adds[t]->setObjectName(QString::number(k.add));
        m_deletes[t] = new CXPButton(QStringLiteral("Delete"), group);
        m_deletes[t]->setObjectName(QString::number(k.remove));
        m_checks[t] = new QCheckBox(QStringLiteral("Enable"), group);
        m_checks[t]->setObjectName(QString::number(k.use));
        grid->addWidget(list, 0, 0, 3, 1);
        grid->addWidget(m_adds[t], 0, 1);
        grid->addWidget(m_deletes[t], 1, 1);
        grid->addWidget(m_checks[t], 2, 1);
        layout->addWidget(group);
        const auto table = static_cast<Table>(t);
        connect(m_adds[t], &QPushButton::clicked, this, [this, table] { AddRow(table); });
        connect(m_deletes[t], &QPushButton::clicked, this, [this, table] { DeleteRow(table); });
    }
    m_save = new CXPButton(QStringLiteral("Save"), this);
    m_save->setObjectName(QString::number(IDC_SAVE));
    layout->addWidget(m_save, 0, Qt::AlignRight);
    connect(m_save, &QPushButton::clicked, this, [this] { Save(); });
}

void CParamTechnology::SetTechnology(CMachineTech* tech)
{
    m_pTech = tech;
    if (tech != nullptr)
        m_use = {tech->m_carve_use, tech->m_limit_use, tech->m_cut_use};
}

void CParamTechnology::OnInitDialog()
{
    SetTitleFromSection(1);
    for (int t = 0; t < 3; ++t) {
        const TableLayout& k = kTables[t];
        const std::u16string title = SectionText(k.groupEntry);
        if (!title.empty())
            static_cast<QGroupBox*>(m_groups[t])->setTitle(QString::fromStdU16String(title));
        for (int c = 0; c < k.columns; ++c) {
            const std::u16string text = SectionText(k.columnEntry[c]);
            m_lists[t]->horizontalHeaderItem(c)->setText(QString::fromStdU16String(text));
        }
        SetTextFromSection(m_adds[t], 7);
        SetTextFromSection(m_deletes[t], 8);
        SetTextFromSection(m_checks[t], 9);
        m_checks[t]->setChecked(m_use[t] != 0);
        Refill(static_cast<Table>(t));
    }
    SetTextFromSection(m_save, 12);
}

void CParamTechnology::Refill(Table table)
{
    if (m_pTech == nullptr)
        return;
    switch (table) {
    case kCarve:
        FillList(m_lists[table], m_pTech->m_pCarveRepair, 2);
        break;
    case kLimit:
        FillList(m_lists[table], m_pTech->m_pSpeedLimit, 2);
        break;
    case kCut:
        FillList(m_lists[table], m_pTech->m_pCutRepair, 3);
        break;
    }
}

void CParamTechnology::AddRow(Table table)
{
    if (m_pTech == nullptr)
        return;
    const int selected = SelectedRow(m_lists[table]);
    Values prefill;
    switch (table) {
    case kCarve:
        if (const auto* r = RowAt(m_pTech->m_pCarveRepair, selected))
            prefill = Get(*r);
        break;
    case kLimit:
        if (const auto* r = RowAt(m_pTech->m_pSpeedLimit, selected))
            prefill = Get(*r);
        break;
    case kCut:
        if (const auto* r = RowAt(m_pTech->m_pCutRepair, selected))
            prefill = Get(*r);
        break;
    }
    CTechParamSetDlg dlg(static_cast<std::uint8_t>(table), prefill.v[0], prefill.v[1], prefill.v[2], this);
    if (dlg.DoModal() != plat::IDOK)
        return;
    const Values entered{{dlg.m_dValue1, dlg.m_dValue2, dlg.m_dValue3}};
    switch (table) {
    case kCarve:
        StoreRow(*m_pTech, m_pTech->m_pCarveRepair, entered);
        break;
    case kLimit:
        StoreRow(*m_pTech, m_pTech->m_pSpeedLimit, entered);
        break;
    case kCut:
        StoreRow(*m_pTech, m_pTech->m_pCutRepair, entered);
        break;
    }
    Refill(table);
}

void CParamTechnology::DeleteRow(Table table)
{
    if (m_pTech == nullptr)
        return;
    const int selected = SelectedRow(m_lists[table]);
    if (selected < 0)
        return;
    switch (table) {
    case kCarve:
        if (auto* r = RowAt(m_pTech->m_pCarveRepair, selected))
            RemoveRow(m_pTech->m_pCarveRepair, r);
        break;
    case kLimit:
        if (auto* r = RowAt(m_pTech->m_pSpeedLimit, selected))
            RemoveRow(m_pTech->m_pSpeedLimit, r);
        break;
    case kCut:
        if (auto* r = RowAt(m_pTech->m_pCutRepair, selected))
            RemoveRow(m_pTech->m_pCutRepair, r);
        break;
    }
    Refill(table);
}

void CParamTechnology::Save()
{
    if (m_pTech == nullptr)
        return;
    m_pTech->m_carve_use = m_checks[kCarve]->isChecked() ? 1 : 0;
    m_pTech->m_limit_use = m_checks[kLimit]->isChecked() ? 1 : 0;
    m_pTech->m_cut_use = m_checks[kCut]->isChecked() ? 1 : 0;
    // A file that could not be written is said so, and the dialog stays for
    // another try: closing as if saved would lose the tables at the next start.
    if (!CReadParamFile().WriteTechParam(*m_pTech)) {
        plat::MessageBox(SectionText(kSaveFailed), std::u16string(), plat::MB_OK | plat::MB_ICONWARNING);
        return;
    }
    QDialog::accept();
}
