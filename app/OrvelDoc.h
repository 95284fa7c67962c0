// The program's one document type: one open drawing with its edit context.
// The context names the nine tools, the undo history whose current snapshot
// is the drawing, the selection, zoom and scroll position; the document
// creates it, imports a file on open, numbers the titles and writes HPGL on
// Save and Save As. It handles Save (32903), Save As (57604) and Close
// (57602) in the command chain of its window.
//
// The modified flag compares the context's change count with its value at
// the open or the last successful save, so closing and quitting ask before
// edits are dropped.
#pragma once
#include "qtplatform/CommandRouter.h"
#include "importexport/FileReadTrans.h"
#include "model/DocContext.h"

#include <array>
#include <functional>
#include <string>

class CDocState;

class COrvelDoc : public CommandMap {
public:
    // Makes the tool of an index (0 to 8) as the tool table orders them.
    using ToolFactory = CDocState* (*)(int index);
    // Asks for the file to save to, starting in `folder`: the chosen path and
    // whether the HPGL filter (the first) was the one selected; false when
    // cancelled.
    using SaveNameChooser = std::function<bool(const std::string& folder, std::string& path, bool& firstFilter)>;

    COrvelDoc();
    ~COrvelDoc() override;
    COrvelDoc(const COrvelDoc&) = delete;
    COrvelDoc& operator=(const COrvelDoc&) = delete;

    DOCCONTEXT& Context() { return m_ctx; }
    const DOCCONTEXT& Context() const { return m_ctx; }

    // A new document: the plug-in hand-over is imported by the first new
    // document of a run only.
    bool OnNewDocument();
    // Imports the file into this document (placed at the world origin) and
    // titles it "<path without its extension><n>.wcvr". False, nothing
    // reported here, when the import fails (`why`, when given, tells why):
    // the document is then dropped.
    bool OnOpenDocument(const std::string& path, ImportFailure* why = nullptr);

    // Save and Save As alike: asks for a name every time (no overwrite
    // question of its own: the writer asks), remembers its folder, adds
    // ".plt" when the HPGL filter was chosen and the name lacks it, and
    // writes the drawing. True when the file was written.
    bool OnFileSave();
    // Close: asks about unsaved changes, then closes the document's window.
    void OnFileClose();
    // Asks whether to save unsaved changes: Yes saves (a failed or cancelled
    // save keeps the document open), No drops them, Cancel keeps it open.
    // True when the document may close.
    bool SaveModified();

    bool IsModified() const;
    void SetModifiedFlag(bool modified = true);

    // The title the window shows.
    const std::u16string& GetTitle() const { return m_title; }
    void SetTitle(const std::u16string& title) { m_title = title; }

    // How the document's window is closed (set by the window).
    void SetCloseHandler(std::function<void()> close) { m_close = std::move(close); }

    // The tools' maker; null restores the program's (CreateDocTool).
    static void SetToolFactory(ToolFactory factory);
    // The save dialog; null restores the program's file dialog.
    static void SetSaveNameChooser(SaveNameChooser chooser);
    // The program's save dialog: filter "PLT-HPGL Plotter File(*.plt)", no
    // overwrite question.
    static bool AskSaveName(const std::string& folder, std::string& path, bool& firstFilter);
    // The title numbers of new and of opened documents start again at 0.
    static void ResetTitleCountersForTesting();

private:
    void InitContext();
    // The plug-in hand-over import of the first new document.
    void ImportHandOver();

    DOCCONTEXT m_ctx;
    std::array<CDocState*, kToolCount> m_tools{};
    std::u16string m_title;
    std::uint64_t m_savedChangeCount = 0;
    bool m_forcedModified = false;
    std::function<void()> m_close;
};
