#include "OrvelDoc.h"

#include "ImportRun.h"
#include "qtplatform/FrameworkText.h"
#include "qtplatform/Resources.h"
#include "importexport/FileReadTrans.h"
#include "importexport/FileTransPlt.h"
#include "model/DocListNode.h"
#include "tools/DocTools.h"
#include "model/DocState.h"
#include "platform/CodePage.h"
#include "platform/Folders.h"
#include "platform/Prompt.h"
#include "platform/RecordPool.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"

#include <QApplication>
#include <QFileDialog>

namespace {

constexpr const char16_t* kNewTitle = u"temp";
constexpr const char16_t* kTitleEnd = u".wcvr";
constexpr const char* kPltFilter = "PLT-HPGL Plotter File(*.plt)";
// The tool that an open with a selection resets, and its mode.
constexpr int kSelectTool = 0;
constexpr std::uint32_t kSelectMode = 1;

// Process-wide title numbers: one for new documents, one for opened files.
int g_newCount = 0;
int g_openCount = 0;

COrvelDoc::ToolFactory g_toolFactory = &CreateDocTool;
COrvelDoc::SaveNameChooser g_saveChooser;

std::u16string Number(int n)
{
    const std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
}

// The path without the extension of its file name.
std::string WithoutExtension(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path;
    return path.substr(0, dot);
}

bool EndsWith(const std::string& s, const std::string& end)
{
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

} // namespace

COrvelDoc::COrvelDoc()
{
    InitContext();
    On(cmd::FileSave, [this] { OnFileSave(); });
    On(cmd::FileSaveAs, [this] { OnFileSave(); });
    On(cmd::FileClose, [this] { OnFileClose(); });
}

COrvelDoc::~COrvelDoc()
{
    for (CDocState*& tool : m_tools) {
        delete tool;
        tool = nullptr;
    }
    for (CDocState*& tool : m_ctx.m_pTools)
        tool = nullptr;
    CDocListNode* oldest = m_ctx.m_pCurrent;
    while (oldest != nullptr && oldest->m_pOlder != nullptr)
        oldest = oldest->m_pOlder;
    CDocState::DeleteHistoryChain(oldest);
    m_ctx.m_pCurrent = nullptr;
    m_ctx.m_strTitle.clear();
    // A large drawing leaves its records' blocks behind otherwise.
    plat::ReleaseFreeMemory();
}

void COrvelDoc::InitContext()
{
    m_ctx.m_pDC = nullptr;
    m_ctx.m_pView = nullptr;
    m_ctx.m_bFlag = 0;
    m_ctx.m_strTitle = kNewTitle + Number(g_newCount++) + kTitleEnd;
    m_ctx.m_pSettings = &g_settings;
    for (int i = 0; i < kToolCount; ++i) {
        m_tools[static_cast<std::size_t>(i)] = g_toolFactory(i);
        m_ctx.m_pTools[i] = m_tools[static_cast<std::size_t>(i)];
    }
    m_ctx.m_nTool = kSelectTool;
    m_ctx.m_pCurrent = new CDocListNode;
    m_ctx.m_rcSelect.SetEmpty();
    m_ctx.m_dZoom = 1.0;
    m_ctx.m_dZoomPrev = 1.0;
    // Before the first mouse event a zoom step centres on the machine origin,
    // as after an open.
    m_ctx.m_ptMouse.Set(kWorldOrigin, kWorldOrigin);
    m_ctx.m_ptScroll = {0, 0};
    m_ctx.m_bCtrl = 0;
    m_ctx.m_bShift = 0;
    m_ctx.m_bResizeFlag = 0;
}

bool COrvelDoc::OnNewDocument()
{
    if (g_settings.m_bImportHandOver != 0) {
        ImportHandOver();
        // Cleared whether or not a hand-over was found: only the first new
        // document of a run looks for one.
        g_settings.m_bImportHandOver = 0;
    }
    SetModifiedFlag(false);
    return true;
}

void COrvelDoc::ImportHandOver()
{
    // What a plug-in handed over in the work folder (cad.param or
    // cor.param) becomes the first document's drawing.
    CFileReadTrans reader;
    reader.ReadPluginParam(&m_ctx, CReadParamFile().GetWorkPath());
}

bool COrvelDoc::OnOpenDocument(const std::string& path, ImportFailure* why)
{
    m_ctx.m_ptMouse.Set(kWorldOrigin, kWorldOrigin);
    if (!ImportFile(m_ctx, path, true, why))
        return false;
    if (!m_ctx.m_rcSelect.IsEmpty() && m_ctx.m_pTools[kSelectTool] != nullptr)
        m_ctx.m_pTools[kSelectTool]->Reset(kSelectMode, &m_ctx);
    m_ctx.m_strTitle = plat::Utf8ToUtf16(WithoutExtension(path)) + Number(g_openCount++) + kTitleEnd;
    m_ctx.m_bFlag = 0;
    SetModifiedFlag(false);
    return true;
}

bool COrvelDoc::OnFileSave()
{
    const CReadParamFile files;
    files.ReadSoftwareParam(g_settings);
    std::string path;
    bool firstFilter = true;
    const SaveNameChooser& choose = g_saveChooser ? g_saveChooser : SaveNameChooser(&AskSaveName);
    if (!choose(g_settings.open_file_dir, path, firstFilter) || path.empty())
        return false;
    g_settings.open_file_dir = plat::FolderOf(path);
    files.WriteSoftwareParam(g_settings);
    if (firstFilter && !EndsWith(path, ".plt") && !EndsWith(path, ".PLT"))
        path += ".plt";
    CFileTransPlt writer;
    if (!writer.ExportPlt(path, &m_ctx))
        return false;
    SetModifiedFlag(false);
    return true;
}

void COrvelDoc::OnFileClose()
{
    if (!SaveModified())
        return;
    if (m_close)
        m_close();
}

bool COrvelDoc::SaveModified()
{
    if (!IsModified())
        return true;
    const QString text = FrameworkString(FrameworkText::SaveChanges).arg(QString::fromStdU16String(m_title));
    switch (plat::MessageBox(text.toStdU16String(), std::u16string(), plat::MB_YESNOCANCEL | plat::MB_ICONWARNING)) {
    case plat::IDYES:
        return OnFileSave();
    case plat::IDNO:
        return true;
    default:
        return false;
    }
}

bool COrvelDoc::IsModified() const
{
    return m_forcedModified || m_ctx.m_nChangeCount != m_savedChangeCount;
}

void COrvelDoc::SetModifiedFlag(bool modified)
{
    m_forcedModified = modified;
    if (!modified)
        m_savedChangeCount = m_ctx.m_nChangeCount;
}

void COrvelDoc::SetToolFactory(ToolFactory factory)
{
    g_toolFactory = factory != nullptr ? factory : &CreateDocTool;
}

void COrvelDoc::SetSaveNameChooser(SaveNameChooser chooser)
{
    g_saveChooser = std::move(chooser);
}

bool COrvelDoc::AskSaveName(const std::string& folder, std::string& path, bool& firstFilter)
{
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QString filter = QString::fromLatin1(kPltFilter);
    dialog.setNameFilters({filter});
    dialog.setDirectory(QString::fromStdString(folder));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    path = dialog.selectedFiles().front().toStdString();
    firstFilter = dialog.selectedNameFilter() == filter;
    return true;
}

void COrvelDoc::ResetTitleCountersForTesting()
{
    g_newCount = 0;
    g_openCount = 0;
}
