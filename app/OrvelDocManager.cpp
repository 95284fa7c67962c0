#include "OrvelDocManager.h"

#include "ChildFrame.h"
#include "MainFrame.h"
#include "OrvelApp.h"
#include "OrvelDoc.h"
#include "OrvelView.h"
#include "RecentFileList.h"

#include <QMdiArea>

OrvelDocManager::OrvelDocManager(FrameSource frame, RecentSource recent)
    : m_frame(std::move(frame)), m_recent(std::move(recent))
{
}

OrvelDocManager::OrvelDocManager(COrvelApp& app)
    : OrvelDocManager([&app] { return app.MainFrame(); }, [&app] { return app.RecentFiles(); })
{
}

std::vector<CChildFrame*> OrvelDocManager::Frames() const
{
    std::vector<CChildFrame*> frames;
    CMainFrame* main = m_frame ? m_frame() : nullptr;
    if (main == nullptr || main->MdiArea() == nullptr)
        return frames;
    for (QMdiSubWindow* window : main->MdiArea()->subWindowList(QMdiArea::CreationOrder)) {
        if (auto* frame = dynamic_cast<CChildFrame*>(window))
            frames.push_back(frame);
    }
    return frames;
}

CChildFrame* OrvelDocManager::ShowDocument(std::unique_ptr<COrvelDoc> document)
{
    CMainFrame* main = m_frame ? m_frame() : nullptr;
    if (main == nullptr || main->MdiArea() == nullptr)
        return nullptr;
    auto* frame = new CChildFrame(std::move(document), main);
    main->MdiArea()->addSubWindow(frame);
    frame->View()->OnInitialUpdate();
    main->MdiArea()->setActiveSubWindow(frame);
    return frame;
}

void OrvelDocManager::NewDocument()
{
    auto document = std::make_unique<COrvelDoc>();
    if (document->OnNewDocument())
        ShowDocument(std::move(document));
}

bool OrvelDocManager::OpenDocumentFile(const std::string& path)
{
    CMainFrame* main = m_frame ? m_frame() : nullptr;
    if (main == nullptr)
        return false;
    // Titles and the recent files name the file by its whole path.
    const std::string whole = AbsoluteFileName(path);
    auto document = std::make_unique<COrvelDoc>();
    m_lastFailure = ImportFailure::None;
    if (!document->OnOpenDocument(whole, &m_lastFailure))
        return false;
    if (ShowDocument(std::move(document)) == nullptr)
        return false;
    if (RecentFileList* recent = m_recent ? m_recent() : nullptr)
        recent->Add(whole);
    return true;
}

bool OrvelDocManager::SaveAllModified()
{
    for (CChildFrame* frame : Frames()) {
        if (!frame->Document()->SaveModified())
            return false;
    }
    return true;
}
