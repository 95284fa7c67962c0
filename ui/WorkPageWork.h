// The work and machine control page: the machines and their connection, the
// job controls and the layer list of the active document.
// Page 150 of the work panel; its texts come from "phase3:work-tool".
//
// The page chooses the current machine and, for a serial machine, the COM
// port, keeps one open connection to the current machine, and drives a job:
// download, start, pause and continue, stop, the job's frame, positioning,
// and jogging with its seven motion buttons. Every command goes to the
// machine shown: a command first closes a connection another machine holds
// and opens the shown machine's (see ConnectOnly).
//
// The dialogs it opens (download, preview, machine manager, job name and
// transfer progress, run frame) come from their own modules through
// SetDialogs; a button whose dialog is missing stays disabled.
#pragma once
#include "WorkPageBase.h"
#include "qtplatform/QtMessagePoster.h"

#include <cstdint>
#include <QPoint>

#include <functional>
#include <string>
#include <vector>

class CGeoBox;
class CMyButton;
class QTableWidget;
class CXPButton;
class QBoxLayout;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
struct MachineNode;
struct SoftwareSettings;

class CWorkPageWork : public WorkPageBase, public PostedMessageTarget {
public:
    static constexpr int IDD = 150;

    // Controls of template 150, named by their ids.
    enum : int {
        IDC_LAYER_LIST = 1010,
        IDC_START = 1028,
        IDC_STOP = 1030,
        IDC_PAUSE = 1031,
        IDC_RUN_FRAME = 1032,
        IDC_DEVICE_INFO = 1033,
        IDC_DOWNLOAD = 1040,
        IDC_LAYER_UP = 1042,
        IDC_PREVIEW = 1043,
        IDC_PORT_SEARCH = 1044,
        IDC_LAYER_DOWN = 1047,
        IDC_ADDRESS = 1064,
        IDC_AXIS_SWITCH = 1073,
        IDC_STEP = 1111,
        IDC_MACHINES = 1153,
        IDC_PORTS = 1154,
        IDC_NETWORK = 1186,
        IDC_AXIS_PLUS = 1187,
        IDC_AXIS_MINUS = 1188,
        IDC_UP = 1189,
        IDC_DOWN = 1190,
        IDC_LEFT = 1191,
        IDC_RIGHT = 1192,
        IDC_POSITIONING = 1193,
        IDC_SHOT = 1194,
        IDC_PRECISE = 1256,
        IDC_LASER = 1258,
    };

    // The run frame dialog's values: laser during the trace, the four
    // powers in percent, the speed in mm/s and the margin in mm.
    struct RunFrameSettings {
        std::uint32_t laser = 0;
        double minPower1 = 20.0;
        double maxPower1 = 30.0;
        double minPower2 = 20.0;
        double maxPower2 = 30.0;
        double speed = 200.0;
        double margin = 0.0;
    };

    // The modal dialogs the page opens.
    struct Dialogs {
        // The download dialog with the document.
        std::function<void(DOCCONTEXT&)> download;
        // The work preview with the document.
        std::function<void(DOCCONTEXT&)> preview;
        // The machine manager; the context may be null.
        std::function<void(DOCCONTEXT*)> machineManager;
        // The job name dialog: the name typed; false on Cancel.
        std::function<bool(std::u16string& name)> jobName;
        // The transfer progress dialog (mode 0 sends to the machine) with the
        // document, the .out path and the start-after flag: true only when
        // it was accepted (the whole job went over).
        std::function<bool(DOCCONTEXT&, int mode, const std::u16string& path, std::uint8_t startAfter)> transfer;
        // The run frame dialog preset with the settings; false on Cancel,
        // else the settings hold the dialog's values.
        std::function<bool(RunFrameSettings&)> runFrame;
        // Makes the select tool the view's current tool command.
        std::function<void(plat::ViewWindow*)> selectTool;
        // The layer parameter dialog for a layer: true on OK. Without one
        // the page runs CWorkSetParameter itself.
        std::function<bool(DOCCONTEXT&, int layer)> layerParams;
    };
    // The dialogs of every page; each page enables its buttons by them when
    // it is set up and whenever a document binds it.
    static void SetDialogs(Dialogs dialogs);
    static const Dialogs& GetDialogs();

    explicit CWorkPageWork(QWidget* parent = nullptr);
    ~CWorkPageWork() override;
    CWorkPageWork(const CWorkPageWork&) = delete;
    CWorkPageWork& operator=(const CWorkPageWork&) = delete;

    // Binds the page to the active document (null: none), hands the context
    // to the motion buttons, refills the machine list (with a document) and
    // connects a network machine that has no connection yet.
    void FillDeviceList(DOCCONTEXT* context, plat::ViewWindow* view);
    // Rebuilds the layer list from the document: one row per layer in the
    // order the layers first occur. Empty without a document. Never changes
    // the document: a layer without a parameter record shows "No Output".
    void RefreshLayerList();
    // Selects exactly the objects of the selected row's layer, under the
    // select tool.
    void OnLayerClick();
    // The layer parameter dialog of the selected row's layer; on OK the
    // objects' output switches follow the layer records, WorkParam.par is
    // written and the rows are rebuilt.
    void OnLayerDblClk();
    // Moves the selected row's layer one row up or down in the drawing's
    // object order, as one undo step.
    void OnMoveLayerUp();
    void OnMoveLayerDown();
    // Dragging a row: begins on a row, follows the cursor (global
    // coordinates), and on release moves the layer onto the row under it.
    void OnBeginDrag(int row);
    void OnDragMove(const QPoint& global);
    void OnDragDrop(const QPoint& global);
    bool IsDragging() const { return m_bDragging != 0; }

    // Unlinks the selected objects, in their order, and inserts them into
    // the rest of the list before the layer of row `target` (the rows being
    // the layers in order of first occurrence, counted by layer changes);
    // past the last change they go to the end. One undo step first. The
    // internal clipboard is not touched. Returns false (and changes nothing)
    // when nothing is selected; `box` gets the moved objects' box.
    static bool MoveSelectionToRow(DOCCONTEXT* ctx, int target, CGeoBox& box);
    // The layers of the rows, in order, for a snapshot's objects.
    static std::vector<int> LayersInOrder(const DOCCONTEXT* ctx);
    // The serial port failed: every machine connection closes, the port list
    // empties and the COM port number becomes 0.
    void OnPortError();

    // Control handlers.
    void OnStart();
    void OnPauseContinue();
    void OnStop();
    void OnRunFrame();
    void OnPositioning();
    void OnDownload();
    void OnPreview();
    void OnDeviceInfo();
    void OnDeviceChange();
    void OnNetworkBox();
    void OnPortSearch();
    void OnPortChange();
    void OnAxisSwitch();
    void OnPreciseBox();
    void OnLaserBox();
    void OnStepChange();
    // Kinds and texts of the third-axis buttons for the axis and the mode.
    void UpdateAxisButtons();
    // Enables the buttons of the dialogs that are there.
    void UpdateDialogButtons();

    // A job's box (world units) as the frame in millimetres around the
    // positioning point: width w and height h placed by the anchor of the
    // origin corner and positioning point.
    struct FrameBox {
        double xmin, xmax, ymin, ymax;
    };
    static FrameBox BuildFramePath(const CGeoBox& box, std::uint8_t originCorner, std::uint8_t positioningPoint);

    CMyButton* JogButton(int id) const;
    CXPButton* Button(int id) const;
    // The place of the layer list and its two buttons.
    QBoxLayout* LayerArea() const { return m_layerArea; }
    QTableWidget* LayerList() const { return m_layerList; }
    plat::HWND Handle() const { return m_hWnd; }

    void OnPostedMessage(plat::UINT, plat::WPARAM, plat::LPARAM) override {}

    std::int32_t m_bPrecise = 0;
    std::int32_t m_bLaser = 0;
    double m_dStep = 0.0;
    std::uint32_t m_frameLaser = 0;
    double m_frameMinPower1 = 20.0;
    double m_frameMaxPower1 = 30.0;
    double m_frameMinPower2 = 20.0;
    double m_frameMaxPower2 = 30.0;
    double m_frameSpeed = 200.0;
    double m_frameMargin = 0.0;
    std::uint8_t m_runState = 0; // 0 idle, 1 paused, 2 running
    std::uint8_t m_axis = 0;     // third axis: 0 Z, 1 U, 2 V

protected:
    void OnInitDialog() override;
    // Up and Down from every control of the page move the layer; the list's
    // mouse events make the drag.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // While dragging the page holds the mouse.
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildControls();
    // The layer list and its Up and Down buttons in their group, and the
    // list's headers and texts from the language table.
    void BuildLayerArea(QGroupBox* parameters);
    void InitLayerList();
    // The jog buttons and the boxes below them in their group.
    void BuildJogBlock(QGroupBox* jog);
    // A control named by its template id.
    static QWidget* Named(QWidget* widget, int id);
    // A button of template id `id` that runs its command when clicked.
    CXPButton* CommandButton(int id, QWidget* parent);
    // Column widths and the least size of the layer list from its texts.
    void FitLayerList();
    // Sizes the jog buttons for their texts in the page's font.
    void FitJogButtons();
    SoftwareSettings& Settings() const;
    // The current machine, null for a negative index, an empty list or an
    // index past the end.
    MachineNode* CurrentMachine() const;
    // The current machine when its link allows commands and holds the only
    // connection; null otherwise (after the message of an unusable link).
    MachineNode* MachineForCommand();
    void ShowMachine(const MachineNode* machine);
    // "Online" while the machine holds a connection whose link runs, else
    // "Offline".
    void ShowLinkState(const MachineNode* machine);
    // A command's VQ_OnlineOperate result: 0 (no link could be had) says
    // that the machine is offline. True when it was sent.
    bool Sent(const MachineNode& machine, std::uint32_t result);
    void WriteMachineList() const;
    void SetPortControlsEnabled(bool enabled);
    // The layer of a row, read back from its column 0 text; -1 without.
    int RowLayer(int row) const;
    int SelectedRow() const;
    void MoveLayerTo(int target);
    bool RunLayerDialog(DOCCONTEXT& ctx, int layer);
    void InstallKeyFilter(QWidget* widget);

    plat::HWND m_hWnd = 0;
    int m_linkWatch = 0;
    QLabel* m_linkState = nullptr;
    QComboBox* m_machines = nullptr;
    QComboBox* m_ports = nullptr;
    QLineEdit* m_address = nullptr;
    QCheckBox* m_network = nullptr;
    QCheckBox* m_precise = nullptr;
    QCheckBox* m_laser = nullptr;
    QLineEdit* m_step = nullptr;
    QBoxLayout* m_layerArea = nullptr;
    QTableWidget* m_layerList = nullptr;

    // Drag state.
    std::int32_t m_bDragging = 0;
    std::int32_t m_nDragIndex = -1;
    QWidget* m_dragImage = nullptr;
    QTableWidget* m_pDropList = nullptr;
    QPoint m_pressPos;
    int m_pressRow = -1;
};
