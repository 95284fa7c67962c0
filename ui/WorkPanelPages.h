// What the drawing view asks of the work panel's pages. The view hands its
// document's edit context and itself to the pages when it becomes active,
// takes them back when the last document closes, and after an edit has the
// pages that show the drawing refreshed. The work panel implements it; the
// view reaches it through CMainFrame::PanelPages(), null while the frame has
// no panel.
//
// Tabs: 0 work and machine control (page 150), 1 array (151), 2 output
// (192); the optional pages, light-guide plate (206), manual order (219)
// and nesting (224), follow in the order they were switched on.
#pragma once

struct DOCCONTEXT;

namespace plat {
class ViewWindow;
}

class WorkPanelPages {
public:
    static constexpr int kWorkPage = 150;
    static constexpr int kArrayPage = 151;
    static constexpr int kOutputPage = 192;
    static constexpr int kLightGuidePage = 206;
    static constexpr int kOrderPage = 219;
    static constexpr int kNestPage = 224;

    virtual ~WorkPanelPages() = default;

    // Index of the tab shown.
    virtual int CurrentTab() const = 0;

    // A view became active: the machine control page takes the context and
    // refills its device list, the output and array pages and the optional
    // pages that are present take the context (the manual order page also
    // rebuilds its list); then the page shown is refreshed (tab 0 the layer
    // list, 1 the array page from the selection, 2 the output page from the
    // document).
    virtual void SetOwner(DOCCONTEXT* context, plat::ViewWindow* view) = 0;
    // A document's view is closing (any of them): a nesting run on that
    // document ends without a result, and the pages that work on their own
    // let go of it.
    virtual void OnViewClosing(DOCCONTEXT* /*context*/) {}
    // The last document has closed: every page loses the context, the
    // device list is refilled without a document and the layer list and the
    // manual order list are emptied.
    virtual void ClearOwner() = 0;

    // After a change of the selection or of the drawing: the array page
    // from the selection when tab 1 is shown, the output page from the
    // document when tab 2 is shown; any other tab needs nothing.
    virtual void RefreshSelectionPage() = 0;
    // The machine control page's layer list, rebuilt from the drawing.
    virtual void RefreshLayerList() = 0;
    // The manual order list, rebuilt while its page is present.
    virtual void RefreshOrderList() = 0;

    // Switches an optional page on: the page takes the context first, then
    // comes as a further tab titled with entry 0 of its language section,
    // selected and shown (the manual order page rebuilds its list). A page
    // already present takes the context and is selected. False for any
    // other page id or when the tab control is full.
    virtual bool AddOptionalPage(int pageId, DOCCONTEXT* context, plat::ViewWindow* view) = 0;
    // Switches an optional page off: its tab goes (the page keeps its values
    // for the next switch-on), tab 0 is selected and the machine control
    // page shown. False, changing nothing, for a page that is not present.
    virtual bool RemoveOptionalPage(int pageId) = 0;
};
