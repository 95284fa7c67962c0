#include "MachineManage.h"

#include "ParamDlg.h"
#include "ParamTechnology.h"
#include "SetMachineCoor.h"
#include "XPButton.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "platform/Prompt.h"
#include "platform/ViewWindow.h"
#include "settings/LanguageTable.h"
#include "settings/MachineNode.h"
#include "settings/MachineTech.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"
#include "settings/TransThreadInfo.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpressionValidator>
#include <QTableWidget>

#include <cstdio>

namespace {

constexpr char16_t kSection[] = u"phase9:mac-info";
constexpr char16_t kMenuSection[] = u"phase12:mac-right-menu";
constexpr char16_t kErrorSection[] = u"phase15:error-hint";
constexpr int kLinkUnusableText = 5;

// Columns: header entry and width.
constexpr int kColumnEntry[4] = {1, 2, 4, 5};
constexpr int kColumnWidth[4] = {80, 80, 110, 50};
constexpr int kTypeEntry = 9;

// Closes a machine's connection without waiting for its thread.
void CloseConnection(MachineNode& machine)
{
    machine.m_session->m_waitOnStop = 0;
    DestroyTransThreadInfo(machine.m_session);
    machine.m_session = nullptr;
    machine.m_online = 0;
}

QLabel* MakeLabel(int id, const char* text, QWidget* parent)
{
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setObjectName(QString::number(id));
    return label;
}

} // namespace

CMachineManage::CMachineManage(DOCCONTEXT* context, QWidget* parent)
    : CDialogBase(IDD, kSection, parent), m_context(context)
{
    setWindowTitle(QStringLiteral("Machine Info"));
    auto* grid = new QGridLayout(this);

    m_list = new QTableWidget(0, 4, this);
    m_list->setObjectName(QString::number(IDC_LIST));
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSortingEnabled(false);
    m_list->horizontalHeader()->setSectionsMovable(true);
    m_list->verticalHeader()->hide();
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    const char* headers[4] = {"Name", "Type", "IP", "Link"};
    for (int c = 0; c < 4; ++c) {
        auto* header = new QTableWidgetItem(QString::fromLatin1(headers[c]));
        header->setTextAlignment(Qt::AlignCenter);
        m_list->setHorizontalHeaderItem(c, header);
        m_list->setColumnWidth(c, kColumnWidth[c]);
    }
    grid->addWidget(m_list, 0, 0, 1, 3);

    grid->addWidget(MakeLabel(IDC_NAME_LABEL, "Name", this), 1, 0);
    m_name = new QLineEdit(this);
    m_name->setObjectName(QString::number(IDC_NAME));
    grid->addWidget(m_name, 1, 1);
    grid->addWidget(MakeLabel(IDC_TYPE_LABEL, "Type", this), 2, 0);
    m_type = new QComboBox(this);
    m_type->setObjectName(QString::number(IDC_TYPE));
    m_type->addItems({QStringLiteral("Ordinary"), QStringLiteral("Camera")});
    grid->addWidget(m_type, 2, 1);
    grid->addWidget(MakeLabel(IDC_ADDRESS_LABEL, "IP", this), 3, 0);
    m_address = new QLineEdit(this);
    m_address->setObjectName(QString::number(IDC_ADDRESS));
    // An address control: four numbers 0 .. 255.
    const QString octet = QStringLiteral("(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])");
    m_address->setValidator(new QRegularExpressionValidator(
        QRegularExpression(octet + QStringLiteral("(\\.") + octet + QStringLiteral("){3}")), m_address));
    grid->addWidget(m_address, 3, 1);

    const struct {
        int id;
        const char* text;
        int row, column;
    } buttons[] = {{IDC_SAVE, "Save", 1, 2},
                   {IDC_WORK_AREA, "Work Area", 2, 2},
                   {IDC_TECHNOLOGY, "Process", 3, 2},
                   {IDC_PARAMETERS, "Parameters", 4, 2}};
    for (const auto& b : buttons) {
        auto* button = new CXPButton(QString::fromLatin1(b.text), this);
        button->setObjectName(QString::number(b.id));
        grid->addWidget(button, b.row, b.column);
    }

    m_menu = new QMenu(this);
    const char* commands[3] = {"Connect", "Disconnect", "Delete"};
    for (int k = 0; k < 3; ++k) {
        QAction* action = m_menu->addAction(QString::fromLatin1(commands[k]));
        action->setData(ID_CONNECT + k);
        // Queued: the command runs once the menu has closed.
        connect(action, &QAction::triggered, this,
                [this, id = ID_CONNECT + k] { QMetaObject::invokeMethod(this, [this, id] { RunCommand(id); }, Qt::QueuedConnection); });
    }

    connect(Button(IDC_SAVE), &QPushButton::clicked, this, [this] { OnSave(); });
    connect(Button(IDC_WORK_AREA), &QPushButton::clicked, this, [this] { OnWorkArea(); });
    connect(Button(IDC_TECHNOLOGY), &QPushButton::clicked, this, [this] { OnTechnology(); });
    connect(Button(IDC_PARAMETERS), &QPushButton::clicked, this, [this] { OnParameters(); });
    connect(m_list, &QTableWidget::cellClicked, this, [this](int row, int) { LoadRow(row); });
    connect(m_list, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_menu->exec(m_list->viewport()->mapToGlobal(at)); });
    // A link that ends or comes back shows in the link column at once.
    m_linkWatch = WatchMachineLinks([this] {
        const int row = SelectedRow();
        RefreshList();
        SelectRow(row);
    });
}

CMachineManage::~CMachineManage()
{
    UnwatchMachineLinks(m_linkWatch);
}

CXPButton* CMachineManage::Button(int id) const { return findChild<CXPButton*>(QString::number(id)); }

SoftwareSettings& CMachineManage::Settings() const
{
    return SettingsOf(m_context);
}

QString CMachineManage::AddressText(std::uint32_t address)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>(address >> 24), static_cast<int>(address >> 16 & 0xFF),
                  static_cast<int>(address >> 8 & 0xFF), static_cast<int>(address & 0xFF));
    return QString::fromLatin1(text);
}

std::optional<std::uint32_t> CMachineManage::ParseAddress(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    std::uint32_t address = 0;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return std::nullopt;
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return std::nullopt;
        }
        const int value = part.toInt();
        if (value > 255)
            return std::nullopt;
        address = address << 8 | static_cast<std::uint32_t>(value);
    }
    return address;
}

void CMachineManage::OnInitDialog()
{
    const auto table = RegisteredLanguageTable();
    if (FindLanguageSection(table, kSection) >= 0) {
        SetTitleFromSection(0);
        for (int c = 0; c < 4; ++c) {
            const std::u16string text = SectionText(kColumnEntry[c]);
            if (!text.empty())
                m_list->horizontalHeaderItem(c)->setText(QString::fromStdU16String(text));
        }
        SetTextFromSection(Button(IDC_SAVE), 6);
        SetTextFromSection(findChild<QLabel*>(QString::number(IDC_NAME_LABEL)), 7);
        SetTextFromSection(findChild<QLabel*>(QString::number(IDC_TYPE_LABEL)), 8);
        for (int t = 0; t < 2; ++t) {
            const std::u16string text = SectionText(kTypeEntry + t);
            if (!text.empty())
                m_type->setItemText(t, QString::fromStdU16String(text));
        }
        SetTextFromSection(Button(IDC_TECHNOLOGY), 11);
        SetTextFromSection(findChild<QLabel*>(QString::number(IDC_ADDRESS_LABEL)), 12);
        SetTextFromSection(Button(IDC_WORK_AREA), 13);
        SetTextFromSection(Button(IDC_PARAMETERS), 14);
    }
    if (FindLanguageSection(table, kMenuSection) >= 0) {
        const QList<QAction*> actions = m_menu->actions();
        for (int k = 0; k < actions.size(); ++k) {
            const std::u16string text = LanguageText(table, kMenuSection, k);
            if (!text.empty())
                actions[k]->setText(QString::fromStdU16String(text));
        }
    }
    RefreshList();
    if (m_context == nullptr)
        return;

    const int start = Settings().m_nCurMachine < 1 ? 0 : Settings().m_nCurMachine;
    if (start >= 2 && start - 2 < m_list->rowCount())
        m_list->scrollToItem(m_list->item(start - 2, 0), QAbstractItemView::PositionAtTop);
    m_list->setFocus();
    SelectRow(start);
    LoadRow(start);
}

void CMachineManage::RefreshList()
{
    m_list->setRowCount(0);
    int row = 0;
    for (const MachineNode* m = Settings().m_pMachines; m != nullptr; m = m->m_next, ++row) {
        m_list->insertRow(row);
        auto* name = new QTableWidgetItem(QString::fromStdU16String(m->Name()));
        name->setData(Qt::UserRole, row);
        m_list->setItem(row, 0, name);
        const std::u16string type = LanguageText(RegisteredLanguageTable(), kSection, kTypeEntry + m->m_mac_type);
        m_list->setItem(row, 1, new QTableWidgetItem(QString::fromStdU16String(type)));
        m_list->setItem(row, 2, new QTableWidgetItem(AddressText(m->m_ip)));
        const char* link = m->m_online == 0 ? "NULL" : m->m_link_type != 0 ? "IP" : "COM";
        m_list->setItem(row, 3, new QTableWidgetItem(QString::fromLatin1(link)));
        for (int c = 0; c < 4; ++c)
            m_list->item(row, c)->setTextAlignment(Qt::AlignCenter);
    }
}

void CMachineManage::LoadRow(int row)
{
    const MachineNode* m = MachineAt(Settings().m_pMachines, row);
    if (m == nullptr) {
        m_name->clear();
        m_address->clear();
        m_type->setCurrentIndex(0);
        return;
    }
    m_name->setText(QString::fromStdU16String(m->Name()));
    m_address->setText(AddressText(m->m_ip));
    m_type->setCurrentIndex(m->m_mac_type <= 1 ? m->m_mac_type : 0);
}

int CMachineManage::SelectedRow() const
{
    const auto rows = m_list->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

MachineNode* CMachineManage::SelectedMachine(int* row) const
{
    const int selected = SelectedRow();
    if (row != nullptr)
        *row = selected;
    return MachineAt(Settings().m_pMachines, selected);
}

void CMachineManage::SelectRow(int row)
{
    if (row >= 0 && row < m_list->rowCount())
        m_list->selectRow(row);
    else
        m_list->clearSelection();
}

void CMachineManage::RunCommand(int id)
{
    if (id == ID_CONNECT)
        OnConnect();
    else if (id == ID_DISCONNECT)
        OnDisconnect();
    else if (id == ID_DELETE)
        OnDelete();
}

void CMachineManage::WriteMachineList() const
{
    // A write that fails is not reported here.
    CReadParamFile().WriteMacInfo(Settings().m_pMachines, Settings().m_nCurMachine);
}

void CMachineManage::OnSave()
{
    // The name as an entry stores it, so that a name that was cut finds its
    // machine again.
    MachineNode probe;
    probe.SetName(m_name->text().toStdU16String());
    const std::u16string name = probe.Name();
    const int typeIndex = m_type->currentIndex();
    const auto type = static_cast<std::uint8_t>(typeIndex == 1 ? 1 : 0);
    const std::optional<std::uint32_t> address = ParseAddress(m_address->text());
    if (!address) {
        // An address the control holds only in part is not one to store.
        m_address->setFocus();
        m_address->selectAll();
        return;
    }

    SoftwareSettings& settings = Settings();
    int row = 0;
    MachineNode* found = settings.m_pMachines;
    MachineNode* last = nullptr;
    for (; found != nullptr && found->Name() != name; found = found->m_next, ++row)
        last = found;
    if (found != nullptr) {
        found->m_mac_type = type;
        found->m_ip = *address;
    } else {
        auto* m = new MachineNode;
        m->SetName(name);
        m->m_mac_type = type;
        m->m_ip = *address;
        m->m_tech = new CMachineTech(name);
        m->m_prev = last;
        if (last != nullptr) {
            last->m_next = m;
        } else {
            settings.m_pMachines = m;
            settings.m_nCurMachine = 0;
        }
    }
    RefreshList();
    WriteMachineList();
    SelectRow(row);
}

void CMachineManage::OnConnect()
{
    if (SelectedRow() < 0)
        return;
    SoftwareSettings& settings = Settings();
    MachineNode* machine = SelectedMachine();
    if (machine == nullptr) {
        RefreshList();
        return;
    }
    // Checked before anything closes: a link that cannot work must not cost
    // the machine that is connected its connection.
    if (!MachineLinkUsable(*machine, settings)) {
        plat::MessageBox(LanguageText(RegisteredLanguageTable(), kErrorSection, kLinkUnusableText), std::u16string(),
                         plat::MB_OK | plat::MB_ICONWARNING);
        return;
    }
    for (MachineNode* m = settings.m_pMachines; m != nullptr; m = m->m_next) {
        if (m->m_session != nullptr)
            CloseConnection(*m);
    }
    // A link that does not start leaves the machine offline.
    OpenMachineConnection(*machine, settings, 1);
    const int row = SelectedRow();
    RefreshList();
    SelectRow(row);
}

void CMachineManage::OnDisconnect()
{
    int row = -1;
    MachineNode* machine = SelectedMachine(&row);
    if (machine == nullptr || machine->m_session == nullptr)
        return;
    CloseConnection(*machine);
    RefreshList();
    SelectRow(row);
}

void CMachineManage::OnDelete()
{
    int row = -1;
    MachineNode* machine = SelectedMachine(&row);
    if (machine == nullptr)
        return;
    SoftwareSettings& settings = Settings();
    if (machine->m_prev != nullptr)
        machine->m_prev->m_next = machine->m_next;
    else
        settings.m_pMachines = machine->m_next;
    if (machine->m_next != nullptr)
        machine->m_next->m_prev = machine->m_prev;
    machine->ReleaseMembers();
    delete machine;
    RefreshList();

    if (settings.m_pMachines == nullptr) {
        // The file still holds the machine (or the reader makes its default
        // one): the list comes back as stored, and the file stays as it is.
        settings.m_nCurMachine = 0;
        settings.m_pMachines = CReadParamFile().ReadMacInfo(nullptr);
        RefreshList();
        return;
    }
    const int select = row < m_list->rowCount() ? row : m_list->rowCount() - 1;
    SelectRow(select);
    settings.m_nCurMachine = select;
    WriteMachineList();
}

void CMachineManage::OnWorkArea()
{
    MachineNode* machine = SelectedMachine();
    if (machine == nullptr)
        return;
    CSetMachineCoor dlg(machine->m_orign, machine->m_dot, machine->m_xsize, machine->m_ysize, this);
    if (dlg.DoModal() != plat::IDOK)
        return;
    machine->m_orign = dlg.m_orign;
    machine->m_dot = dlg.m_dot;
    // The dialog keeps the sizes within 1 .. 100000 mm.
    machine->m_xsize = static_cast<std::int32_t>(dlg.m_xsize + 0.5);
    machine->m_ysize = static_cast<std::int32_t>(dlg.m_ysize + 0.5);
    WriteMachineList();
    if (m_context == nullptr)
        return;

    // The origin corner turns array pitches, so every box changes; the
    // selection box is the union of the selected objects' boxes.
    m_context->m_rcSelect.SetEmpty();
    if (m_context->m_pCurrent != nullptr) {
        for (CDocData* obj = m_context->m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
            obj->RecalcBoundRect(m_context);
            if (obj->IsSelected() != 0)
                m_context->m_rcSelect.Union(obj->m_rcBound);
        }
    }
    if (m_context->m_pView != nullptr)
        m_context->m_pView->InvalidateRect(nullptr, true);
}

void CMachineManage::OnTechnology()
{
    MachineNode* machine = SelectedMachine();
    if (machine == nullptr || machine->m_tech == nullptr)
        return;
    CParamTechnology dlg(this);
    dlg.SetTechnology(machine->m_tech);
    dlg.DoModal();
}

void CMachineManage::OnParameters()
{
    int row = -1;
    const MachineNode* machine = SelectedMachine(&row);
    if (row < 0)
        return;
    // The dialog opens all the same: loading and exporting need no link.
    if (machine != nullptr && !MachineLinkUsable(*machine, Settings()))
        plat::MessageBox(LanguageText(RegisteredLanguageTable(), kErrorSection, kLinkUnusableText));
    CParamDlg dlg(m_context, row, this);
    dlg.DoModal();
    RefreshList();
    SelectRow(row);
}
