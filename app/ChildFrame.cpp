#include "ChildFrame.h"

#include "HyRulerBar.h"
#include "MainFrame.h"
#include "OrvelDoc.h"
#include "OrvelView.h"
#include "qtplatform/Resources.h"
#include "settings/LanguageTable.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QMdiArea>
#include <QMenu>

#include <string_view>

namespace {

constexpr std::u16string_view kMainMenu = u"phase0:main-menu";

// Texts of the document menu by language entry: top-level menus by their
// position after the maximised window's system menu (1 to 7), items by id.
struct TopEntry {
    int position;
    int entry;
};
constexpr TopEntry kTopEntries[] = {{1, 0}, {2, 11}, {3, 17}, {4, 21}, {5, 41}, {6, 26}, {7, 31}};
struct ItemEntry {
    plat::UINT id;
    int entry;
};
constexpr ItemEntry kItemEntries[] = {
    {32902, 1},  {32901, 2},  {57602, 3},  {32903, 4},  {57604, 5},  {57607, 6},  {57609, 7},  {57606, 8},
    {57616, 9},  {57665, 10}, {32784, 36}, {32907, 12}, {32906, 13}, {32904, 14}, {32905, 15}, {32908, 16},
    {32886, 19}, {32870, 20}, {32864, 22}, {32865, 23}, {32927, 42}, {32928, 43}, {32929, 44}, {32930, 45},
    {32931, 46}, {32932, 47}, {32933, 48}, {32934, 49}, {32935, 50}, {32936, 51}, {57648, 27}, {57650, 28},
    {57651, 29}, {57649, 30}, {57664, 32}, {32916, 40}};

} // namespace

CChildFrame::CChildFrame(std::unique_ptr<COrvelDoc> document, CMainFrame* mainFrame)
    : m_mainFrame(mainFrame), m_document(std::move(document))
{
    setAttribute(Qt::WA_DeleteOnClose);
    m_client = new QWidget(this);
    auto* grid = new QGridLayout(m_client);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    m_vertRuler = new CHyRulerBar(m_client);
    m_vertRuler->Init(this, 1.0, true);
    m_horzRuler = new CHyRulerBar(m_client);
    m_horzRuler->Init(this, 1.0, false);
    m_view = new COrvelView(m_document.get(), m_client);
    grid->addWidget(m_vertRuler, 0, 0, 2, 1);
    grid->addWidget(m_horzRuler, 0, 1);
    grid->addWidget(m_view, 1, 1);
    setWidget(m_client);
    // Focus given to the window's contents goes to the view.
    m_client->setFocusProxy(m_view);
    ShowRulers(m_rulersShown != 0);
    // The program's icon on the window's system menu, not the toolkit's.
    setWindowIcon(IconResource(128));

    m_document->SetCloseHandler([this] { CloseWithoutAsking(); });
    connect(this, &QMdiSubWindow::windowStateChanged, this, [this](Qt::WindowStates before, Qt::WindowStates now) {
        if ((now & Qt::WindowActive) && !(before & Qt::WindowActive))
            ActivateFrame();
    });
}

CChildFrame::~CChildFrame()
{
    m_view->OnDestroy(IsLastDocumentWindow());
    // The view and rulers go before the document they show.
    QWidget* client = widget();
    setWidget(nullptr);
    delete client;
    m_view = nullptr;
    m_document.reset();
}

bool CChildFrame::IsLastDocumentWindow() const
{
    // A closed window may have left the document area already.
    const QMdiArea* area = m_mainFrame != nullptr ? m_mainFrame->MdiArea() : mdiArea();
    if (area == nullptr)
        return true;
    for (QMdiSubWindow* window : area->subWindowList()) {
        if (window != this && dynamic_cast<CChildFrame*>(window) != nullptr)
            return false;
    }
    return true;
}

void CChildFrame::ActivateFrame()
{
    if (!isMaximized())
        showMaximized();
    ApplyMenuTexts();
    m_view->OnActivateView(true);
}

void CChildFrame::ApplyMenuTexts()
{
    if (m_mainFrame == nullptr)
        return;
    const auto& table = m_mainFrame->m_langText;
    for (const TopEntry& e : kTopEntries) {
        const std::u16string& text = LanguageText(table, kMainMenu, e.entry);
        if (QMenu* menu = m_mainFrame->TopMenu(129, e.position - 1); menu != nullptr && !text.empty())
            menu->setTitle(QString::fromStdU16String(text));
    }
    for (const ItemEntry& e : kItemEntries) {
        const std::u16string& text = LanguageText(table, kMainMenu, e.entry);
        if (!text.empty())
            m_mainFrame->SetItemText(e.id, text);
    }
}

void CChildFrame::SetRulerMarker(const plat::POINT& client)
{
    m_vertRuler->DrawMarker(client);
    m_horzRuler->DrawMarker(client);
}

void CChildFrame::SetVertRulerPos(int position)
{
    m_vertRuler->SetOffset(position, true);
}

void CChildFrame::SetHorzRulerPos(int position)
{
    m_horzRuler->SetOffset(position, true);
}

void CChildFrame::SetRulerScale(double zoom)
{
    m_vertRuler->SetScale(zoom);
    m_horzRuler->SetScale(zoom);
    update();
}

void CChildFrame::ShowRulers(bool show)
{
    m_rulersShown = show ? 1 : 0;
    m_vertRuler->setVisible(show);
    m_horzRuler->setVisible(show);
}

plat::LPARAM CChildFrame::SendMessage(plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam)
{
    if (msg == kMsgPaletteIndex)
        m_view->SendMessage(msg, wParam, lParam);
    return 0;
}

void CChildFrame::CloseWithoutAsking()
{
    m_closeAsked = true;
    close();
}

void CChildFrame::AppendCommandTargets(std::vector<CommandTarget*>& chain)
{
    chain.push_back(m_view);
    chain.push_back(m_document.get());
    chain.push_back(this);
}

void CChildFrame::ModalLoopEnded()
{
    if (!m_closeAfterModal)
        return;
    m_closeAfterModal = false;
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void CChildFrame::closeEvent(QCloseEvent* event)
{
    // The view's menu or dialog is still on the stack, over this window.
    if (m_view != nullptr && m_view->InModalLoop()) {
        m_closeAfterModal = true;
        event->ignore();
        return;
    }
    if (!m_closeAsked && m_document != nullptr && !m_document->SaveModified()) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
}
