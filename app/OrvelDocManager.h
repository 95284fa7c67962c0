// The program's document manager: every document in a window of its own in
// the main frame's document area. New (and Window, New Window) make an empty
// document; Open imports a file into a new document, titles it, lists it
// among the recent files and shows it fitted; a failed import leaves no
// window. Before the program ends every document with unsaved changes asks.
#pragma once
#include "DocumentManager.h"

#include <functional>
#include <memory>
#include <vector>

class CChildFrame;
class CMainFrame;
class COrvelApp;
class COrvelDoc;
class RecentFileList;

class OrvelDocManager : public DocumentManager {
public:
    using FrameSource = std::function<CMainFrame*()>;
    using RecentSource = std::function<RecentFileList*()>;

    // The frame (and the recent-file list, when there is one) are asked for
    // at each use: the application makes them after the manager.
    explicit OrvelDocManager(FrameSource frame, RecentSource recent = {});
    // The application's frame and recent-file list.
    explicit OrvelDocManager(COrvelApp& app);

    void NewDocument() override;
    using DocumentManager::OpenDocumentFile;
    bool OpenDocumentFile(const std::string& path) override;
    ImportFailure LastOpenFailure() const override { return m_lastFailure; }
    bool SaveAllModified() override;

    // The open document windows, oldest first.
    std::vector<CChildFrame*> Frames() const;

private:
    CChildFrame* ShowDocument(std::unique_ptr<COrvelDoc> document);

    FrameSource m_frame;
    RecentSource m_recent;
    ImportFailure m_lastFailure = ImportFailure::None;
};
