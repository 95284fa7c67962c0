#include "WorkPageWork.h"

#include "MyButton.h"
#include "XPButton.h"
#include "qtplatform/Resources.h"
#include "machinecomm/OnlineOperate.h"
#include "machinecomm/Vantrel.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "platform/NumText.h"
#include "platform/Prompt.h"
#include "settings/LanguageTable.h"
#include "settings/MachineNode.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"
#include "settings/TransThreadInfo.h"
#include "settings/WorkParams.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace {

constexpr std::u16string_view kErrorSection = u"phase15:error-hint";
constexpr int kLinkUnusableText = 5;
constexpr int kNothingToOutputText = 6;
constexpr int kOnlineText = 34;
constexpr int kOfflineText = 35;
constexpr int kPortCount = 100;
constexpr int kFirstListedPort = 3;
constexpr int kJogButtonSize = 36;
constexpr int kJogSpacing = 4;

// Template texts, shown where the language table has none.
struct ControlText {
    int id;
    int entry;
    const char* text;
};
constexpr ControlText kTexts[] = {
    {1035, 1, "Device"},      {1033, 2, "Device Info"}, {1059, 3, "Machine:"},     {1061, 4, "Port:"},
    {1044, 5, "Search Ports"}, {1034, 6, "Parameters"}, {1041, 13, "Work"},        {1032, 14, "Run Frame"},
    {1193, 15, "Positioning"}, {1043, 16, "Preview"},   {1039, 17, "Control"},     {1028, 18, "Start"},
    {1031, 19, "Pause"},       {1030, 20, "Stop"},      {1040, 23, "Download"},    {1186, 24, "Network"},
    {1256, 40, "Precise Move"}, {1258, 41, "Laser"},    {1194, 42, "Shot"},
};

// Frame anchors (ox, oy) by origin corner (0, 1, 2, other) and positioning
// point (0 to 7, other).
struct Anchor {
    double x, y;
};
constexpr Anchor kAnchors[4][9] = {
    {{1, 0}, {0.5, 0}, {0, 0}, {1, 0.5}, {0.5, 0.5}, {0, 0.5}, {1, 1}, {0.5, 1}, {0, 1}},
    {{0, 0}, {0.5, 0}, {1, 0}, {0, 0.5}, {0.5, 0.5}, {1, 0.5}, {0, 1}, {0.5, 1}, {1, 1}},
    {{1, 1}, {0.5, 1}, {0, 1}, {1, 0.5}, {0.5, 0.5}, {0, 0.5}, {1, 0}, {0.5, 0}, {0, 0}},
    {{0, 1}, {0.5, 1}, {1, 1}, {0, 0.5}, {0.5, 0.5}, {1, 0.5}, {0, 0}, {0.5, 0}, {1, 0}},
};

// The motion buttons' ids, and their kinds in normal and precise mode.
constexpr std::array<int, 7> kJogIds = {1190, 1189, 1192, 1191, 1188, 1187, 1194};
struct ArrowKind {
    int id;
    std::uint32_t kind;
};
constexpr ArrowKind kArrowKinds[] = {{1191, 1}, {1192, 2}, {1189, 3}, {1190, 4}};
constexpr std::uint32_t kShotKind = 22;
constexpr std::uint32_t kAxisSwitchKind = 21;
constexpr std::uint32_t kPreciseOffset = 10;

CWorkPageWork::Dialogs g_dialogs;

void ShowError(int entry)
{
    plat::MessageBox(LanguageText(RegisteredLanguageTable(), kErrorSection, entry));
}

// "%d.%d.%d.%d", most significant byte first.
QString AddressText(std::uint32_t ip)
{
    return QStringLiteral("%1.%2.%3.%4").arg(ip >> 24).arg((ip >> 16) & 0xFF).arg((ip >> 8) & 0xFF).arg(ip & 0xFF);
}

// The number after the first three characters of a port item ("COM7").
int PortNumberOf(const QString& item)
{
    return static_cast<int>(plat::ParseInt(item.mid(3).toStdString()));
}

void PutInt32(std::uint8_t* at, std::int32_t value)
{
    const auto u = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(u >> (8 * i));
}

// The run frame record: the laser byte, the frame with its margin and the
// speed in micrometres, the four powers in hundredths of a percent.
std::array<std::uint8_t, 37> RunFramePayload(const CWorkPageWork::FrameBox& f,
                                              const CWorkPageWork::RunFrameSettings& s)
{
    std::array<std::uint8_t, 37> out{};
    out[0] = s.laser != 0 ? 1 : 0;
    auto times = [](double v, double factor) { return CMyButton::RoundForController(v * factor); };
    const std::int32_t values[9] = {times(f.xmin - s.margin, 1000.0), times(f.xmax + s.margin, 1000.0),
                                    times(f.ymin - s.margin, 1000.0), times(f.ymax + s.margin, 1000.0),
                                    times(s.speed, 1000.0),           times(s.minPower1, 100.0),
                                    times(s.maxPower1, 100.0),        times(s.minPower2, 100.0),
                                    times(s.maxPower2, 100.0)};
    for (int i = 0; i < 9; ++i)
        PutInt32(out.data() + 1 + 4 * i, values[i]);
    return out;
}

} // namespace

void CWorkPageWork::SetDialogs(Dialogs dialogs)
{
    g_dialogs = std::move(dialogs);
}

const CWorkPageWork::Dialogs& CWorkPageWork::GetDialogs()
{
    return g_dialogs;
}

CWorkPageWork::CWorkPageWork(QWidget* parent) : WorkPageBase(IDD, u"phase3:work-tool", parent)
{
    if (QtMessagePoster* poster = QtMessagePoster::Current())
        m_hWnd = poster->RegisterWindow(this);
    BuildControls();
    m_linkWatch = WatchMachineLinks([this] { ShowLinkState(CurrentMachine()); });
}

CWorkPageWork::~CWorkPageWork()
{
    UnwatchMachineLinks(m_linkWatch);
    delete m_dragImage;
    if (QtMessagePoster* poster = QtMessagePoster::Current(); poster != nullptr && m_hWnd != 0)
        poster->UnregisterWindow(m_hWnd);
}

QWidget* CWorkPageWork::Named(QWidget* widget, int id)
{
    widget->setObjectName(QString::number(id));
    return widget;
}

CXPButton* CWorkPageWork::CommandButton(int id, QWidget* parent)
{
    auto* b = new CXPButton(parent);
    Named(b, id);
    connect(b, &QPushButton::clicked, this, [this, id] {
        switch (id) {
        case IDC_START: OnStart(); break;
        case IDC_PAUSE: OnPauseContinue(); break;
        case IDC_STOP: OnStop(); break;
        case IDC_RUN_FRAME: OnRunFrame(); break;
        case IDC_POSITIONING: OnPositioning(); break;
        case IDC_DOWNLOAD: OnDownload(); break;
        case IDC_PREVIEW: OnPreview(); break;
        case IDC_DEVICE_INFO: OnDeviceInfo(); break;
        case IDC_PORT_SEARCH: OnPortSearch(); break;
        case IDC_AXIS_SWITCH: OnAxisSwitch(); break;
        default: break;
        }
    });
    return b;
}

void CWorkPageWork::BuildControls()
{
    auto named = &CWorkPageWork::Named;
    auto button = [this](int id, QWidget* parent) { return CommandButton(id, parent); };
    auto group = [&](int id) { return static_cast<QGroupBox*>(named(new QGroupBox(this), id)); };

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(4, 4, 4, 4);
    page->setSpacing(4);

    QGroupBox* device = group(1035);
    auto* d = new QGridLayout(device);
    d->addWidget(named(new QLabel(device), 1059), 0, 0);
    m_machines = static_cast<QComboBox*>(named(new QComboBox(device), IDC_MACHINES));
    d->addWidget(m_machines, 0, 1, 1, 2);
    m_network = static_cast<QCheckBox*>(named(new QCheckBox(device), IDC_NETWORK));
    d->addWidget(m_network, 1, 0);
    m_address = static_cast<QLineEdit*>(named(new QLineEdit(device), IDC_ADDRESS));
    m_address->setReadOnly(true);
    d->addWidget(m_address, 1, 1, 1, 2);
    d->addWidget(named(new QLabel(device), 1061), 2, 0);
    m_ports = static_cast<QComboBox*>(named(new QComboBox(device), IDC_PORTS));
    d->addWidget(m_ports, 2, 1);
    d->addWidget(button(IDC_PORT_SEARCH, device), 2, 2);
    d->addWidget(button(IDC_DEVICE_INFO, device), 3, 0, 1, 3);
    m_linkState = new QLabel(device);
    m_linkState->setObjectName(QStringLiteral("linkState"));
    d->addWidget(m_linkState, 4, 0, 1, 3);
    page->addWidget(device);

    // The layer list and its two buttons go here.
    QGroupBox* parameters = group(1034);
    BuildLayerArea(parameters);
    page->addWidget(parameters, 1);

    QGroupBox* work = group(1041);
    auto* w = new QGridLayout(work);
    w->addWidget(button(IDC_RUN_FRAME, work), 0, 0);
    w->addWidget(button(IDC_POSITIONING, work), 0, 1);
    w->addWidget(button(IDC_PREVIEW, work), 1, 0);
    w->addWidget(button(IDC_DOWNLOAD, work), 1, 1);
    page->addWidget(work);

    QGroupBox* control = group(1039);
    auto* c = new QHBoxLayout(control);
    for (int id : {IDC_START, IDC_PAUSE, IDC_STOP})
        c->addWidget(button(id, control));
    page->addWidget(control);

    QGroupBox* jog = group(1045);
    BuildJogBlock(jog);
    page->addWidget(jog);

    for (const ControlText& t : kTexts) {
        QWidget* control = findChild<QWidget*>(QString::number(t.id));
        if (auto* label = qobject_cast<QLabel*>(control))
            label->setText(QString::fromLatin1(t.text));
        else if (auto* b = qobject_cast<QAbstractButton*>(control))
            b->setText(QString::fromLatin1(t.text));
        else if (auto* g = qobject_cast<QGroupBox*>(control))
            g->setTitle(QString::fromLatin1(t.text));
    }
    m_step->setText(QStringLiteral("0"));

    connect(m_machines, &QComboBox::activated, this, [this] { OnDeviceChange(); });
    connect(m_ports, &QComboBox::activated, this, [this] { OnPortChange(); });
    connect(m_network, &QCheckBox::clicked, this, [this] { OnNetworkBox(); });
    connect(m_precise, &QCheckBox::clicked, this, [this] { OnPreciseBox(); });
    connect(m_laser, &QCheckBox::clicked, this, [this] { OnLaserBox(); });
    connect(m_step, &QLineEdit::textChanged, this, [this] { OnStepChange(); });

    // Up and Down reach the layer list from whichever control has the focus.
    InstallKeyFilter(this);
}

void CWorkPageWork::BuildJogBlock(QGroupBox* jog)
{
    // The jog block: the arrows around the spot-shot button, the third axis
    // in a column of its own beside them, and the boxes in rows below, so
    // no check box or text ever shares a button's place.
    auto* jogRows = new QVBoxLayout(jog);
    auto* pad = new QGridLayout;
    pad->setSpacing(kJogSpacing);
    auto jogButton = [&](QPushButton* b, int id, int row, int column) {
        Named(b, id);
        b->setFixedSize(kJogButtonSize, kJogButtonSize);
        pad->addWidget(b, row, column);
    };
    jogButton(new CMyButton(jog), IDC_UP, 0, 1);
    jogButton(new CMyButton(jog), IDC_LEFT, 1, 0);
    jogButton(new CMyButton(jog), IDC_SHOT, 1, 1);
    jogButton(new CMyButton(jog), IDC_RIGHT, 1, 2);
    jogButton(new CMyButton(jog), IDC_DOWN, 2, 1);
    jogButton(new CMyButton(jog), IDC_AXIS_PLUS, 0, 4);
    jogButton(CommandButton(IDC_AXIS_SWITCH, jog), IDC_AXIS_SWITCH, 1, 4);
    jogButton(new CMyButton(jog), IDC_AXIS_MINUS, 2, 4);
    pad->setColumnMinimumWidth(3, kJogButtonSize / 2);
    auto* padRow = new QHBoxLayout;
    padRow->addStretch(1);
    padRow->addLayout(pad);
    padRow->addStretch(1);
    jogRows->addLayout(padRow);
    m_precise = static_cast<QCheckBox*>(Named(new QCheckBox(jog), IDC_PRECISE));
    m_laser = static_cast<QCheckBox*>(Named(new QCheckBox(jog), IDC_LASER));
    m_step = static_cast<QLineEdit*>(Named(new QLineEdit(jog), IDC_STEP));
    auto* boxes = new QGridLayout;
    boxes->addWidget(m_precise, 0, 0);
    boxes->addWidget(m_step, 0, 1);
    boxes->addWidget(m_laser, 1, 0);
    boxes->setColumnStretch(1, 1);
    jogRows->addLayout(boxes);
}

void CWorkPageWork::InstallKeyFilter(QWidget* widget)
{
    for (QWidget* child : widget->findChildren<QWidget*>())
        child->installEventFilter(this);
}

void CWorkPageWork::OnInitDialog()
{
    InitLayerList();
    for (const ControlText& t : kTexts)
        SetTextFromSection(findChild<QWidget*>(QString::number(t.id)), t.entry);
    for (const ArrowKind& a : kArrowKinds)
        JogButton(a.id)->m_kind = a.kind;
    JogButton(IDC_SHOT)->m_kind = kShotKind;
    Button(IDC_AXIS_SWITCH)->m_kind = kAxisSwitchKind;
    m_axis = 0;
    UpdateAxisButtons();
    FitJogButtons();
    m_step->setEnabled(m_precise->isChecked());
    UpdateDialogButtons();
    OnPortSearch();
}

void CWorkPageWork::FitJogButtons()
{
    // Square buttons wide enough for the spot-shot text and every label the
    // third-axis buttons take.
    QPushButton* shot = JogButton(IDC_SHOT);
    int side = std::max(kJogButtonSize, ButtonWidthForText(*shot, shot->text()));
    for (const char* label : {"Z+", "Z-", "U+", "U-", "V+", "V-"})
        side = std::max(side, ButtonWidthForText(*shot, QString::fromLatin1(label)));
    for (int id : kJogIds)
        JogButton(id)->setFixedSize(side, side);
    Button(IDC_AXIS_SWITCH)->setFixedSize(side, side);
}

CMyButton* CWorkPageWork::JogButton(int id) const
{
    return findChild<CMyButton*>(QString::number(id));
}

CXPButton* CWorkPageWork::Button(int id) const
{
    return findChild<CXPButton*>(QString::number(id));
}

SoftwareSettings& CWorkPageWork::Settings() const
{
    return SettingsOf(Context());
}

MachineNode* CWorkPageWork::CurrentMachine() const
{
    return CMyButton::CurrentMachine(Settings());
}

MachineNode* CWorkPageWork::MachineForCommand()
{
    SoftwareSettings& settings = Settings();
    MachineNode* machine = CurrentMachine();
    if (machine == nullptr)
        return nullptr;
    if (!MachineLinkUsable(*machine, settings)) {
        ShowError(kLinkUnusableText);
        return nullptr;
    }
    return ConnectOnly(settings.m_pMachines, *machine, settings) ? machine : nullptr;
}

void CWorkPageWork::ShowMachine(const MachineNode* machine)
{
    if (machine != nullptr) {
        m_address->setText(AddressText(machine->m_ip));
        m_network->setChecked(machine->m_link_type != 0);
    } else {
        m_address->setText(QStringLiteral("0"));
        m_network->setChecked(false);
    }
    ShowLinkState(machine);
}

void CWorkPageWork::ShowLinkState(const MachineNode* machine)
{
    const bool online = machine != nullptr && machine->m_session != nullptr && machine->m_online != 0;
    m_linkState->setText(
        QString::fromStdU16String(LanguageText(RegisteredLanguageTable(), kErrorSection, online ? kOnlineText : kOfflineText)));
}

bool CWorkPageWork::Sent(const MachineNode& machine, std::uint32_t result)
{
    ShowLinkState(&machine);
    if (result != 0)
        return true;
    plat::MessageBox(MachineLinkText(kMachineOfflineText, machine, Settings()));
    return false;
}

void CWorkPageWork::WriteMachineList() const
{
    const SoftwareSettings& settings = Settings();
    CReadParamFile().WriteMacInfo(settings.m_pMachines, settings.m_nCurMachine);
}

void CWorkPageWork::SetPortControlsEnabled(bool enabled)
{
    m_ports->setEnabled(enabled);
    Button(IDC_PORT_SEARCH)->setEnabled(enabled);
}

void CWorkPageWork::UpdateDialogButtons()
{
    Button(IDC_DOWNLOAD)->setEnabled(static_cast<bool>(g_dialogs.download));
    Button(IDC_PREVIEW)->setEnabled(static_cast<bool>(g_dialogs.preview));
    Button(IDC_DEVICE_INFO)->setEnabled(static_cast<bool>(g_dialogs.machineManager));
    Button(IDC_START)->setEnabled(g_dialogs.jobName && g_dialogs.transfer);
    Button(IDC_RUN_FRAME)->setEnabled(static_cast<bool>(g_dialogs.runFrame));
}

void CWorkPageWork::FillDeviceList(DOCCONTEXT* context, plat::ViewWindow* view)
{
    StoreOwner(context, view);
    for (int id : kJogIds) {
        // A hold must not lose its stop with the document it was pressed on.
        CMyButton* button = JogButton(id);
        if (button->m_context != context)
            button->SendOwedStop();
        button->m_context = context;
    }
    UpdateDialogButtons();

    SoftwareSettings& settings = Settings();
    if (context != nullptr) {
        m_machines->clear();
        int count = 0;
        for (const MachineNode* m = settings.m_pMachines; m != nullptr; m = m->m_next, ++count)
            m_machines->addItem(QString::fromStdU16String(m->Name()));
        if (settings.m_nCurMachine < 0 || settings.m_nCurMachine >= count)
            settings.m_nCurMachine = 0;
        m_machines->setCurrentIndex(settings.m_nCurMachine < count ? settings.m_nCurMachine : -1);
    }
    MachineNode* machine = CurrentMachine();
    ShowMachine(machine);
    SetPortControlsEnabled(!m_network->isChecked());
    // A serial machine connects only by a port search or a port choice.
    if (machine != nullptr && machine->m_session == nullptr && machine->m_link_type != 0)
        OpenMachineConnection(*machine, settings);
    ShowLinkState(machine);
}

void CWorkPageWork::keyPressEvent(QKeyEvent* event)
{
    if (!eventFilter(this, event))
        WorkPageBase::keyPressEvent(event);
}

bool CWorkPageWork::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        // With Alt held the keys are system keys and pass on.
        if ((key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) && !(key->modifiers() & Qt::AltModifier)) {
            if (key->key() == Qt::Key_Up)
                OnMoveLayerUp();
            else
                OnMoveLayerDown();
            return true;
        }
        break;
    }
    case QEvent::MouseButtonPress:
        if (watched == m_layerList->viewport() && m_bDragging == 0) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton) {
                m_pressPos = mouse->position().toPoint();
                m_pressRow = m_layerList->rowAt(m_pressPos.y());
            }
        }
        break;
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (m_bDragging != 0) {
            OnDragMove(mouse->globalPosition().toPoint());
            return true;
        }
        if (watched == m_layerList->viewport() && (mouse->buttons() & Qt::LeftButton) && m_pressRow >= 0 &&
            (mouse->position().toPoint() - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
            const int row = m_pressRow;
            m_pressRow = -1;
            OnBeginDrag(row);
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        m_pressRow = -1;
        if (m_bDragging != 0 && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            OnDragDrop(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
            return true;
        }
        break;
    default:
        break;
    }
    return WorkPageBase::eventFilter(watched, event);
}

void CWorkPageWork::OnPortError()
{
    CloseMachineConnections(Settings().m_pMachines, false);
    m_ports->clear();
    Settings().m_nComPort = 0;
    ShowLinkState(CurrentMachine());
}

void CWorkPageWork::OnDeviceChange()
{
    SoftwareSettings& settings = Settings();
    const int selected = m_machines->currentIndex();
    if (selected < 0 || selected == settings.m_nCurMachine)
        return;
    settings.m_nCurMachine = selected;
    WriteMachineList();
    MachineNode* machine = CurrentMachine();
    ShowMachine(machine);
    CloseMachineConnections(settings.m_pMachines, true);
    if (machine != nullptr)
        OpenMachineConnection(*machine, settings);
    ShowLinkState(machine);
}

void CWorkPageWork::OnNetworkBox()
{
    m_network->setEnabled(false);
    SetPortControlsEnabled(false);
    SoftwareSettings& settings = Settings();
    // An empty list has nothing selected: the index stays.
    if (m_machines->currentIndex() >= 0)
        settings.m_nCurMachine = m_machines->currentIndex();
    WriteMachineList();
    MachineNode* machine = CurrentMachine();
    if (machine == nullptr) {
        m_network->setEnabled(true);
        SetPortControlsEnabled(true);
        return;
    }
    // Opening closes the machine's connection first.
    const bool network = m_network->isChecked();
    machine->m_link_type = network ? 1 : 0;
    SetPortControlsEnabled(!network);
    OpenMachineConnection(*machine, settings);
    WriteMachineList();
    m_network->setEnabled(true);
    ShowLinkState(machine);
}

void CWorkPageWork::OnPortSearch()
{
    SetPortControlsEnabled(false);
    SoftwareSettings& settings = Settings();
    CloseMachineConnections(settings.m_pMachines, false);
    unsigned char present[kPortCount] = {};
    CReadParamFile().ProbeComPorts(present, kPortCount);
    m_ports->clear();
    for (int port = kFirstListedPort; port <= kPortCount; ++port) {
        if (present[port - 1] != 0)
            m_ports->addItem(QStringLiteral("COM%1").arg(port));
    }
    m_ports->setCurrentIndex(m_ports->count() > 0 ? 0 : -1);
    settings.m_nComPort = m_ports->count() > 0 ? PortNumberOf(m_ports->itemText(0)) : 0;
    MachineNode* machine = CurrentMachine();
    if (machine != nullptr && !m_network->isChecked() && settings.m_nComPort >= 2)
        OpenMachineConnection(*machine, settings);
    SetPortControlsEnabled(true);
    ShowLinkState(machine);
}

void CWorkPageWork::OnPortChange()
{
    if (Context() == nullptr || m_ports->currentIndex() < 0)
        return;
    SoftwareSettings& settings = Settings();
    settings.m_nComPort = PortNumberOf(m_ports->currentText()) & 0xFF;
    SetPortControlsEnabled(false);
    if (MachineNode* machine = CurrentMachine())
        OpenMachineConnection(*machine, settings);
    SetPortControlsEnabled(true);
    ShowLinkState(CurrentMachine());
}

void CWorkPageWork::OnStart()
{
    DOCCONTEXT* context = Context();
    SoftwareSettings& settings = Settings();
    if (context == nullptr || settings.m_nCurMachine < 0 || settings.m_pMachines == nullptr)
        return;
    MachineNode* machine = CurrentMachine();
    if (machine == nullptr || !MachineLinkUsable(*machine, settings)) {
        ShowError(kLinkUnusableText);
        return;
    }
    bool output = false;
    for (const CDocData* o = context->m_pCurrent != nullptr ? context->m_pCurrent->m_pFirst : nullptr;
         o != nullptr && !output; o = o->m_pNext) {
        const WorkParams* layer = FindLayerParams(settings.m_pLayers, o->m_nLayer);
        output = layer != nullptr && (layer->m_border != 0 || layer->m_sweep != 0);
    }
    if (!output) {
        ShowError(kNothingToOutputText);
        return;
    }
    if (!g_dialogs.jobName || !g_dialogs.transfer)
        return;
    // A start whose connection cannot be had sends nothing.
    if (!ConnectOnly(settings.m_pMachines, *machine, settings))
        return;
    std::u16string name;
    if (!g_dialogs.jobName(name))
        return;
    if (g_dialogs.transfer(*context, 0, name + u".out", 1))
        m_runState = 2;
    ShowLinkState(machine);
}

void CWorkPageWork::OnPauseContinue()
{
    if (Context() == nullptr || m_runState == 0)
        return;
    MachineNode* machine = MachineForCommand();
    if (machine == nullptr)
        return;
    if (!Sent(*machine, VQ_OnlineOperate(machine->m_link_type, m_runState == 2 ? OP_PAUSE : OP_CONTINUE, nullptr,
                                         0, m_hWnd)))
        return;
    m_runState = m_runState == 2 ? 1 : 2;
}

void CWorkPageWork::OnStop()
{
    if (Context() == nullptr)
        return;
    MachineNode* machine = MachineForCommand();
    if (machine == nullptr)
        return;
    if (Sent(*machine, VQ_OnlineOperate(machine->m_link_type, OP_STOP, nullptr, 0, m_hWnd)))
        m_runState = 0;
}

void CWorkPageWork::OnPositioning()
{
    if (Context() == nullptr)
        return;
    if (MachineNode* machine = MachineForCommand())
        Sent(*machine, VQ_OnlineOperate(machine->m_link_type, OP_POSITION, nullptr, 0, m_hWnd));
}

CWorkPageWork::FrameBox CWorkPageWork::BuildFramePath(const CGeoBox& box, std::uint8_t originCorner,
                                                      std::uint8_t positioningPoint)
{
    const double w = box.Width() / 10.0;
    const double h = box.Height() / 10.0;
    const Anchor a = kAnchors[originCorner < 3 ? originCorner : 3][positioningPoint < 8 ? positioningPoint : 8];
    return {-a.x * w, w - a.x * w, -a.y * h, h - a.y * h};
}

void CWorkPageWork::OnRunFrame()
{
    DOCCONTEXT* context = Context();
    if (context == nullptr || context->m_pCurrent == nullptr)
        return;
    SoftwareSettings& settings = Settings();
    MachineNode* machine = CurrentMachine();
    if (machine == nullptr)
        return;
    if (!MachineLinkUsable(*machine, settings)) {
        ShowError(kLinkUnusableText);
        return;
    }
    CGeoBox box;
    context->m_pCurrent->GetObjectsRect(box, 0);
    if (box.IsEmpty() || !g_dialogs.runFrame)
        return;
    FrameBox frame = BuildFramePath(box, machine->m_orign, machine->m_dot);
    // The array pitches are world units (0.1 mm); the frame is millimetres.
    if (const ARRAYREC* array = context->m_pCurrent->m_pArray) {
        if (array->m_nRows >= 2) {
            const double extent = (array->m_nRows - 1) * (array->m_dDy / 10.0);
            (array->m_dDy > 0 ? frame.ymax : frame.ymin) += extent;
        }
        if (array->m_nCols >= 2) {
            const double extent = (array->m_nCols - 1) * (array->m_dDx / 10.0);
            (array->m_dDx > 0 ? frame.xmax : frame.xmin) += extent;
        }
    }

    RunFrameSettings values;
    values.laser = m_frameLaser;
    values.minPower1 = m_frameMinPower1;
    values.maxPower1 = m_frameMaxPower1;
    values.minPower2 = m_frameMinPower2;
    values.maxPower2 = m_frameMaxPower2;
    values.speed = m_frameSpeed;
    values.margin = m_frameMargin;
    if (!g_dialogs.runFrame(values))
        return;
    m_frameLaser = values.laser;
    m_frameMinPower1 = values.minPower1;
    m_frameMaxPower1 = values.maxPower1;
    m_frameMinPower2 = values.minPower2;
    m_frameMaxPower2 = values.maxPower2;
    m_frameSpeed = values.speed;
    m_frameMargin = values.margin;

    if (!ConnectOnly(settings.m_pMachines, *machine, settings))
        return;
    const std::array<std::uint8_t, 37> payload = RunFramePayload(frame, values);
    Sent(*machine, VQ_OnlineOperate(machine->m_link_type, OP_RUN_FRAME, payload.data(), 0, 0));
}

void CWorkPageWork::OnDownload()
{
    if (Context() == nullptr || !g_dialogs.download)
        return;
    g_dialogs.download(*Context());
    m_runState = 0;
    ShowLinkState(CurrentMachine());
}

void CWorkPageWork::OnPreview()
{
    if (Context() != nullptr && g_dialogs.preview)
        g_dialogs.preview(*Context());
}

void CWorkPageWork::OnDeviceInfo()
{
    if (g_dialogs.machineManager)
        g_dialogs.machineManager(Context());
    ShowLinkState(CurrentMachine()); // the manager connects and disconnects
}

void CWorkPageWork::OnAxisSwitch()
{
    m_axis = static_cast<std::uint8_t>((m_axis + 1) % 3);
    UpdateAxisButtons();
}

void CWorkPageWork::UpdateAxisButtons()
{
    static constexpr const char* kNames[3] = {"Z", "U", "V"};
    const std::uint8_t axis = m_axis < 3 ? m_axis : 0;
    const std::uint32_t offset = m_bPrecise != 0 ? kPreciseOffset : 0;
    CMyButton* plus = JogButton(IDC_AXIS_PLUS);
    CMyButton* minus = JogButton(IDC_AXIS_MINUS);
    plus->m_kind = 5 + 2 * axis + offset;
    minus->m_kind = 6 + 2 * axis + offset;
    plus->setText(QString::fromLatin1(kNames[axis]) + QLatin1Char('+'));
    minus->setText(QString::fromLatin1(kNames[axis]) + QLatin1Char('-'));
    plus->update();
    minus->update();
}

void CWorkPageWork::OnPreciseBox()
{
    m_bPrecise = m_precise->isChecked() ? 1 : 0;
    const std::uint32_t offset = m_bPrecise != 0 ? kPreciseOffset : 0;
    for (const ArrowKind& a : kArrowKinds) {
        JogButton(a.id)->m_kind = a.kind + offset;
        JogButton(a.id)->update();
    }
    UpdateAxisButtons();
    m_step->setEnabled(m_bPrecise != 0);
}

void CWorkPageWork::OnLaserBox()
{
    m_bLaser = m_laser->isChecked() ? 1 : 0;
    for (int id : kJogIds) {
        if (id != IDC_SHOT)
            JogButton(id)->m_laser = static_cast<std::uint8_t>(m_bLaser);
    }
}

void CWorkPageWork::OnStepChange()
{
    // Read the C way; text that is no number is 0.
    m_dStep = plat::ParseDouble(m_step->text().toStdString());
    for (int id : kJogIds) {
        if (id != IDC_SHOT)
            JogButton(id)->m_step = m_dStep;
    }
}
