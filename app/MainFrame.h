// The main window: a QMainWindow around the document area (QMdiArea), with
// seven toolbars, the status bar and its progress bar, and the property and
// path-tool controls. Its construction sets the settings block up, loads the
// language table and makes the work and file folders; Create builds the
// window; destruction frees the process-wide lists and empties the folders.
//
// Commands go through its router: the work panel first, then the active
// document window's targets (view, document, child frame), the frame itself
// and the application. Keys go through its key router.
#pragma once
#include "qtplatform/CommandRouter.h"
#include "qtplatform/KeyRouter.h"
#include "qtplatform/QtMessagePoster.h"
#include "qtplatform/QtProgress.h"
#include "ui/WorkPanel.h"
#include "settings/LanguageTable.h"

#include <QMainWindow>
#include <QUrl>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

class CColorPaletteBar;
class QLabel;
class QLineEdit;
class QComboBox;
class QPushButton;
class QMdiArea;
class QMenu;
class QProgressBar;
class QTimer;
class QToolBar;
class RecentFileList;

class CMainFrame : public QMainWindow, public CommandMap, public PostedMessageTarget, public KeyRouteTarget {
    Q_OBJECT

public:
    static constexpr int kPaneCount = 4;
    static constexpr int kToolbarId = 59392;   // every toolbar's window id
    static constexpr int kStatusBarId = 59393;
    static constexpr int kProgressId = 3111;
    // Toolbars in the order of their creation.
    static constexpr std::array<int, 7> kToolbars = {130, 128, 196, 238, 180, 189, 210};

    CMainFrame();
    ~CMainFrame() override;
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // Builds the window. False when a toolbar or its images cannot be made;
    // the frame must not be shown then.
    bool Create();

    // The language table of this run.
    std::array<std::u16string, kLanguageTableSize> m_langText;
    // Id of the control that last took the focus from the view (0: none).
    int m_nFocusEditId = 0;

    plat::HWND Handle() const { return m_hWnd; }
    QMdiArea* MdiArea() const { return m_mdiArea; }
    // The colour bar docked along the bottom.
    CColorPaletteBar* PaletteBar() const { return m_paletteBar; }
    CommandRouter& Router() { return *m_router; }

    // The one action of a command, shared by menus and toolbars.
    QAction* Action(plat::UINT id);
    QToolBar* ToolBar(int resourceId) const;
    QLabel* StatusPane(int pane) const;
    void SetPaneText(int pane, const QString& text);
    // The status bar's count of the objects in the drawing and of those
    // selected, in the language of the table.
    QString ObjectCountText(std::uint32_t objects, std::uint32_t selected) const;
    QProgressBar* ProgressBar() const { return m_progressBar; }
    // Beside the progress control: shown while long work can be cancelled.
    QPushButton* WorkCancelButton() const { return m_workCancel; }
    // Property bar edits 32853 (position) and 32831 (size), upper or lower,
    // and the angle edit 32855.
    QLineEdit* PropertyEdit(int id, bool lower = false) const;
    QComboBox* AssistCombo() const { return m_assistCombo; }
    QPushButton* PathToolButton(int id) const;
    // The proportion toggle's images: off (the toolbar's) and on (bitmap 217).
    QIcon ProportionIcon(bool on) const;

    // The docked work panel, first in the command chain. A panel whose window
    // is a dock widget is docked at the right edge (right only; it may be
    // floated); its window is the frame's child from then on.
    void SetWorkPanel(WorkPanel* panel);
    // The work panel's pages, for the view; null without a panel.
    WorkPanelPages* PanelPages() const { return m_workPanel != nullptr ? m_workPanel->Pages() : nullptr; }
    // The application: last in the command chain.
    void SetAppTarget(CommandTarget* app) { m_appTarget = app; }
    void SetRecentFileList(RecentFileList* list) { m_recentFiles = list; }
    // Asked before the window closes; false keeps it open (unsaved work).
    void SetCloseGuard(std::function<bool()> guard) { m_closeGuard = std::move(guard); }
    bool WasClosed() const { return m_closed; }

    // Help, command 32916 and F1.
    void OnHelp();
    using UrlOpener = std::function<bool(const QUrl&)>;
    void SetUrlOpenerForTesting(UrlOpener opener) { m_openUrl = std::move(opener); }

    // Every command's state, as the 100 ms timer refreshes it.
    void UpdateCommandStates();

    // The menu bar shows menu 128 while no document window is open, 129 (the
    // document menu) while one is.
    int ShownMenu() const { return m_shownMenu; }
    // Top-level menu `position` (from 0) of menu 128 or 129; null if none.
    QMenu* TopMenu(int menuId, int position) const;
    // Sets a menu item's text, keeping the key shown after it.
    void SetItemText(plat::UINT id, const std::u16string& text);

    // The work and file folders this run made (empty when not made).
    const std::string& WorkFolder() const { return m_workFolder; }
    const std::string& FileFolder() const { return m_fileFolder; }

    void OnPostedMessage(plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam) override;
    bool PreTranslateFrameKey(const VirtualKey& key) override;
    void RunAccelerator(plat::UINT id) override;

signals:
    void closed();
    void closeCancelled();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::vector<CommandTarget*> CommandChain();
    bool CreateToolBars();
    void CreateStatusBar();
    void CreatePropertyBar();
    void CreatePaletteBar();
    void CreateMenus();
    void BuildMenu(int menuId);
    void ShowMenu(int menuId);
    void UpdateMenuForDocuments();
    void ApplyMenuTexts();
    void RefreshRecentFileItems(QMenu* fileMenu);
    void RefreshWindowItems(QMenu* windowMenu);
    void UpdatePaneWidths(int width);
    // A pane's width: its designed one, or what its widest text needs.
    int PaneWidth(int pane) const;
    std::u16string MenuText(int entry) const;
    bool AnyToolBarVisible() const;

    plat::HWND m_hWnd = 0;
    QMdiArea* m_mdiArea = nullptr;
    CColorPaletteBar* m_paletteBar = nullptr;
    CommandRouter* m_router = nullptr;
    KeyRouter* m_keyRouter = nullptr;
    QTimer* m_updateTimer = nullptr;
    std::map<plat::UINT, QAction*> m_actions;
    std::map<int, QToolBar*> m_toolBars;
    std::array<QLabel*, kPaneCount> m_panes{};
    QProgressBar* m_progressBar = nullptr;
    QPushButton* m_workCancel = nullptr;
    std::unique_ptr<QtProgress> m_progress;
    std::map<int, std::array<QLineEdit*, 2>> m_propertyEdits;
    QComboBox* m_assistCombo = nullptr;
    std::map<int, QPushButton*> m_pathButtons;
    QIcon m_proportionOn;
    QIcon m_proportionOff;
    std::map<int, std::vector<QMenu*>> m_menus;
    // The Window menu's list of open documents, with its separator.
    std::vector<QAction*> m_windowItems;
    int m_shownMenu = 0;

    WorkPanel* m_workPanel = nullptr;
    CommandTarget* m_appTarget = nullptr;
    RecentFileList* m_recentFiles = nullptr;
    std::function<bool()> m_closeGuard;
    UrlOpener m_openUrl;
    bool m_closed = false;

    std::string m_workFolder;
    std::string m_fileFolder;
};
