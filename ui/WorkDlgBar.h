// The work panel: the bar docked at the right edge of the main frame (it may
// be floated) that holds the operator's job pages as tabs of one tab control
// (1027): the work and machine control, array and output pages always, the
// light-guide plate, manual order and nesting pages while the view has them
// switched on. Its contents (dialog 149, 185 x 337 dialog units) scroll when
// the frame is too short for them: 10 pixels a line, a quarter of their
// height a page, back to the top whenever the frame changes its size.
//
// The panel owns its six pages; an optional page switched off is hidden, not
// destroyed, and comes back with its values. It handles no command of its
// own and gives the view its pages (WorkPanelPages).
#pragma once
#include "ui/WorkPanel.h"

#include <QDockWidget>

#include <memory>

class CMyTabCtrl;
class CWorkPageBarrier;
class CWorkPageExport;
class CWorkPageMetaList;
class CWorkPageNest;
class CWorkPageSet;
class CWorkPageWork;
class QScrollArea;
class WorkPageBase;

class CWorkDlgBar : public QDockWidget, public WorkPanel, public WorkPanelPages {
public:
    static constexpr int IDD = 149;
    static constexpr int IDC_TAB = 1027;
    static constexpr int kWidthUnits = 185;
    static constexpr int kHeightUnits = 337;
    static constexpr int kLineStep = 10;

    explicit CWorkDlgBar(QWidget* parent = nullptr);
    ~CWorkDlgBar() override;
    CWorkDlgBar(const CWorkDlgBar&) = delete;
    CWorkDlgBar& operator=(const CWorkDlgBar&) = delete;

    // WorkPanel
    QWidget* PanelWidget() override { return this; }
    void OnPortError() override;
    void OnFrameResized() override;
    WorkPanelPages* Pages() override { return this; }
    bool OnCommand(plat::UINT) override { return false; }
    bool OnUpdateCommand(CmdUI&) override { return false; }

    // WorkPanelPages
    int CurrentTab() const override;
    void SetOwner(DOCCONTEXT* context, plat::ViewWindow* view) override;
    void OnViewClosing(DOCCONTEXT* context) override;
    void ClearOwner() override;
    void RefreshSelectionPage() override;
    void RefreshLayerList() override;
    void RefreshOrderList() override;
    bool AddOptionalPage(int pageId, DOCCONTEXT* context, plat::ViewWindow* view) override;
    bool RemoveOptionalPage(int pageId) override;

    CMyTabCtrl* TabCtrl() const { return m_tab; }
    QScrollArea* ScrollArea() const { return m_scroll; }
    // The contents: the dialog's area that scrolls.
    QWidget* Contents() const { return m_contents; }

    CWorkPageWork& PageWork() const { return *m_pageWork; }
    CWorkPageSet& PageSet() const { return *m_pageSet; }
    CWorkPageExport& PageExport() const { return *m_pageExport; }
    CWorkPageBarrier& PageBarrier() const { return *m_pageBarrier; }
    CWorkPageMetaList& PageMetaList() const { return *m_pageMetaList; }
    CWorkPageNest& PageNest() const { return *m_pageNest; }

private:
    bool IsPresent(int pageId) const;
    WorkPageBase* OptionalPage(int pageId) const;

    QScrollArea* m_scroll = nullptr;
    QWidget* m_contents = nullptr;
    CMyTabCtrl* m_tab = nullptr;
    // Destroyed before the tab control, which only refers to them.
    std::unique_ptr<CWorkPageWork> m_pageWork;
    std::unique_ptr<CWorkPageExport> m_pageExport;
    std::unique_ptr<CWorkPageSet> m_pageSet;
    std::unique_ptr<CWorkPageBarrier> m_pageBarrier;
    std::unique_ptr<CWorkPageMetaList> m_pageMetaList;
    std::unique_ptr<CWorkPageNest> m_pageNest;
};
