// A document window in the main frame's document area: the drawing view with
// a vertical ruler on the left (the window's whole height) and a horizontal
// ruler along the top, always maximised. It owns its document. At each
// activation it writes the document menu's texts from the language table and
// hands the document to the work panel through its view; it passes the
// palette's colour message on to the view.
#pragma once
#include "qtplatform/CommandRouter.h"
#include "platform/Win.h"

#include <QMdiSubWindow>
#include <QPointer>

#include <memory>

class CHyRulerBar;
class CMainFrame;
class COrvelDoc;
class COrvelView;

class CChildFrame : public QMdiSubWindow, public CommandChainSource, public CommandMap {
public:
    static constexpr plat::UINT kMsgPaletteIndex = plat::WM_USER + 101;

    // The window of a document, for the main frame's document area.
    CChildFrame(std::unique_ptr<COrvelDoc> document, CMainFrame* mainFrame);
    ~CChildFrame() override;
    CChildFrame(const CChildFrame&) = delete;
    CChildFrame& operator=(const CChildFrame&) = delete;

    COrvelDoc* Document() const { return m_document.get(); }
    CMainFrame* MainFrame() const { return m_mainFrame; }
    COrvelView* View() const { return m_view; }
    CHyRulerBar* VerticalRuler() const { return m_vertRuler; }
    CHyRulerBar* HorizontalRuler() const { return m_horzRuler; }

    // Maximised, then the document menu's texts; the view is activated.
    void ActivateFrame();
    // The mouse at a client point of the view: both rulers' markers follow.
    void SetRulerMarker(const plat::POINT& client);
    void SetVertRulerPos(int position);
    void SetHorzRulerPos(int position);
    void SetRulerScale(double zoom);
    // Both rulers shown (the default) or hidden.
    void ShowRulers(bool show);
    bool RulersShown() const { return m_rulersShown != 0; }

    // A message sent to the window: the palette index goes on to the view.
    plat::LPARAM SendMessage(plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam);

    // Closes the window without asking about unsaved changes (asked already).
    void CloseWithoutAsking();
    // The view's last menu or dialog has ended: a close asked for meanwhile
    // goes ahead.
    void ModalLoopEnded();

    // The view, the document, then this window.
    void AppendCommandTargets(std::vector<CommandTarget*>& chain) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ApplyMenuTexts();
    bool IsLastDocumentWindow() const;

    QPointer<CMainFrame> m_mainFrame;
    std::unique_ptr<COrvelDoc> m_document;
    QWidget* m_client = nullptr;
    COrvelView* m_view = nullptr;
    CHyRulerBar* m_vertRuler = nullptr;
    CHyRulerBar* m_horzRuler = nullptr;
    std::uint8_t m_rulersShown = 1;
    bool m_closeAsked = false;
    bool m_closeAfterModal = false;
};
