// Base of the work panel's pages: a child dialog of the panel's tab control
// that works on the document of the active view. The view hands the page
// its document's edit context and itself through the page's owner setter.
#pragma once
#include "qtplatform/DialogBase.h"
#include "model/GeoBox.h"

struct DOCCONTEXT;

namespace plat {
class ViewWindow;
}

class WorkPageBase : public CDialogBase {
public:
    WorkPageBase(int templateId, std::u16string_view section, QWidget* parent = nullptr);

    // The owner: the active document's edit context and its view; null
    // while no document is open.
    DOCCONTEXT* Context() const { return m_pContext; }
    plat::ViewWindow* View() const { return m_pView; }

protected:
    void StoreOwner(DOCCONTEXT* context, plat::ViewWindow* view);
    // Repaints a world area of the drawing in the context's view, with
    // erasing: the document's array columns added to the right, in client
    // pixels, grown by 15. Nothing without a context or view, or for an
    // empty area.
    void RepaintArea(const CGeoBox& world) const;

    // A page has no OK or Cancel: Enter and Escape do nothing, and the page
    // never closes itself.
    void keyPressEvent(QKeyEvent* event) override;
    void accept() override {}
    void reject() override {}

private:
    DOCCONTEXT* m_pContext = nullptr;
    plat::ViewWindow* m_pView = nullptr;
};
