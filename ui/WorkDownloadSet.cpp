#include "WorkDownloadSet.h"

#include "PathOptDlg.h"
#include "TransLoadNameDlg.h"
#include "TransLoadProcessDlg.h"
#include "XPButton.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "platform/Prompt.h"
#include "settings/LanguageTable.h"
#include "settings/MachineNode.h"
#include "settings/MachineTech.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"
#include "settings/TransThreadInfo.h"
#include "settings/WorkParams.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QMainWindow>
#include <QStatusBar>

#include <algorithm>

namespace {

constexpr std::u16string_view kErrorSection = u"phase15:error-hint";
constexpr int kLinkUnusableText = 5;
constexpr int kNothingToOutputText = 6;
constexpr int kWrongExtensionText = 10;

CWorkDownloadSet::FileChooser g_chooser;
CWorkDownloadSet::NameAsker g_nameAsker;
CWorkDownloadSet::Transfer g_transfer;

void ShowError(int entry)
{
    plat::MessageBox(LanguageText(RegisteredLanguageTable(), kErrorSection, entry));
}

bool ChooseFile(QWidget* parent, bool save, const QString& filter, std::u16string& path)
{
    if (g_chooser)
        return g_chooser(save, filter, path);
    const QString chosen = save ? QFileDialog::getSaveFileName(parent, QString(), QString(), filter)
                                : QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
    if (chosen.isEmpty())
        return false;
    path = chosen.toStdU16String();
    return true;
}

// The extension after the last dot of the file name, lower-cased, without
// the dot; empty without one.
std::u16string LowerExtension(const std::u16string& path)
{
    const std::size_t slash = path.find_last_of(u"/\\");
    const std::size_t dot = path.find_last_of(u'.');
    if (dot == std::u16string::npos || (slash != std::u16string::npos && dot < slash))
        return {};
    return QString::fromStdU16String(path.substr(dot + 1)).toLower().toStdU16String();
}

// A finished transfer says so on the main window's status bar, for a while.
void ShowDone(const std::u16string& text)
{
    constexpr int kShownMs = 10000;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* main = qobject_cast<QMainWindow*>(window)) {
            main->statusBar()->showMessage(QString::fromStdU16String(text), kShownMs);
            return;
        }
    }
}

} // namespace

void CWorkDownloadSet::SetFileChooserForTesting(FileChooser chooser)
{
    g_chooser = std::move(chooser);
}

void CWorkDownloadSet::SetDialogsForTesting(NameAsker name, Transfer transfer)
{
    g_nameAsker = std::move(name);
    g_transfer = std::move(transfer);
}

bool CWorkDownloadSet::AskJobName(std::u16string& name)
{
    CTransLoadNameDlg dialog;
    if (dialog.DoModal() != plat::IDOK)
        return false;
    name = dialog.m_name;
    return true;
}

bool CWorkDownloadSet::RunTransfer(DOCCONTEXT& context, int mode, const std::u16string& path,
                                   std::uint8_t startAfter)
{
    CTransLoadProcessDlg dialog(context, static_cast<std::uint8_t>(mode), path, startAfter);
    if (dialog.DoModal() != plat::IDOK)
        return false;
    ShowDone(dialog.DoneText());
    return true;
}

CWorkDownloadSet::CWorkDownloadSet(DOCCONTEXT& context, QWidget* parent)
    : CDialogBase(IDD, u"phase3:work-tool", parent), m_context(context)
{
    setWindowTitle(QStringLiteral("Download"));
    auto* grid = new QGridLayout(this);
    auto button = [&](int id, const char* text, int row, int column) {
        auto* b = new CXPButton(QString::fromLatin1(text), this);
        b->setObjectName(QString::number(id));
        grid->addWidget(b, row, column);
        return b;
    };
    connect(button(IDC_DOWNLOAD, "Download", 0, 0), &QPushButton::clicked, this, [this] { OnDownload(); });
    connect(button(IDC_SEND_FILE, "Download Work File", 1, 0), &QPushButton::clicked, this,
            [this] { OnSendFile(); });
    connect(button(IDC_SAVE_FILE, "Save Work File", 2, 0), &QPushButton::clicked, this, [this] { OnSaveFile(); });
    m_usePath = new QCheckBox(QStringLiteral("Optimise Paths"), this);
    m_usePath->setObjectName(QString::number(IDC_USE_PATH));
    grid->addWidget(m_usePath, 3, 0);
    connect(button(IDC_PATH_OPTIONS, "<<", 3, 1), &QPushButton::clicked, this, [this] { OnPathOptions(); });
    grid->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_usePath, &QCheckBox::clicked, this, [this] { OnUsePath(); });
}

CWorkDownloadSet::~CWorkDownloadSet()
{
    if (m_context.m_pSettings != nullptr)
        CReadParamFile().WriteSoftwareParam(*m_context.m_pSettings);
}

CXPButton* CWorkDownloadSet::Button(int id) const
{
    return findChild<CXPButton*>(QString::number(id));
}

void CWorkDownloadSet::OnInitDialog()
{
    SetTitleFromSection(23);
    SetTextFromSection(Button(IDC_DOWNLOAD), 21);
    SetTextFromSection(Button(IDC_SEND_FILE), 22);
    SetTextFromSection(Button(IDC_SAVE_FILE), 37);
    SetTextFromSection(m_usePath, 44);
    m_bUsePath = m_context.m_pSettings != nullptr ? m_context.m_pSettings->use_path : 0;
    m_usePath->setChecked(m_bUsePath != 0);
    Button(IDC_PATH_OPTIONS)->setEnabled(m_bUsePath != 0);
}

void CWorkDownloadSet::OnUsePath()
{
    m_bUsePath = m_usePath->isChecked() ? 1 : 0;
    if (m_context.m_pSettings != nullptr)
        m_context.m_pSettings->use_path = static_cast<std::uint8_t>(m_bUsePath);
    Button(IDC_PATH_OPTIONS)->setEnabled(m_bUsePath != 0);
}

bool CWorkDownloadSet::LinkUsable() const
{
    const SoftwareSettings* settings = m_context.m_pSettings;
    if (settings == nullptr || settings->m_pMachines == nullptr || settings->m_nCurMachine < 0)
        return false;
    const MachineNode* machine = MachineAt(settings->m_pMachines, settings->m_nCurMachine);
    if (machine != nullptr && !MachineLinkUsable(*machine, *settings)) {
        ShowError(kLinkUnusableText);
        return false;
    }
    return true;
}

void CWorkDownloadSet::OnDownload()
{
    if (!LinkUsable())
        return;
    const SoftwareSettings& settings = *m_context.m_pSettings;
    bool output = false;
    for (const CDocData* o = m_context.m_pCurrent != nullptr ? m_context.m_pCurrent->m_pFirst : nullptr;
         o != nullptr && !output; o = o->m_pNext) {
        const WorkParams* layer = FindLayerParams(settings.m_pLayers, o->m_nLayer);
        output = layer != nullptr && (layer->m_border != 0 || layer->m_sweep != 0);
    }
    if (!output) {
        ShowError(kNothingToOutputText);
        return;
    }
    std::u16string name;
    if (!(g_nameAsker ? g_nameAsker(name) : AskJobName(name)))
        return;
    const std::u16string path = name + u".out";
    g_transfer ? g_transfer(m_context, CTransLoadProcessDlg::MODE_SEND, path, 0)
               : RunTransfer(m_context, CTransLoadProcessDlg::MODE_SEND, path, 0);
}

void CWorkDownloadSet::OnSendFile()
{
    if (!LinkUsable())
        return;
    std::u16string path;
    if (!ChooseFile(this, false, QStringLiteral("OUT-Work Files (*.out)"), path))
        return;
    if (LowerExtension(path) != u"out")
        return;
    g_transfer ? g_transfer(m_context, CTransLoadProcessDlg::MODE_SEND_FILE, path, 0)
               : RunTransfer(m_context, CTransLoadProcessDlg::MODE_SEND_FILE, path, 0);
}

void CWorkDownloadSet::OnSaveFile()
{
    std::u16string path;
    if (!ChooseFile(this, true, QStringLiteral("OUT-Work File (*.out)"), path))
        return;
    const std::u16string extension = LowerExtension(path);
    if (extension.empty()) {
        if (!path.empty() && path.back() != u'.')
            path += u".out";
        else
            path += u"out";
    } else if (extension != u"out") {
        ShowError(kWrongExtensionText);
        return;
    }
    g_transfer ? g_transfer(m_context, CTransLoadProcessDlg::MODE_SAVE, path, 0)
               : RunTransfer(m_context, CTransLoadProcessDlg::MODE_SAVE, path, 0);
}

void CWorkDownloadSet::OnPathOptions()
{
    SoftwareSettings* settings = m_context.m_pSettings;
    if (settings == nullptr)
        return;
    MachineNode* machine = MachineAt(settings->m_pMachines, settings->m_nCurMachine);
    CMachineTech* tech = machine != nullptr ? machine->m_tech : nullptr;

    CPathOptDlg dialog(this);
    dialog.m_pContext = &m_context;
    dialog.m_nPathMode = settings->path_mode;
    dialog.m_nStartCorner = settings->path_work_pos;
    dialog.m_nJointPoint = settings->path_meta_pos;
    dialog.m_dLineSpacing = std::max(settings->path_hight, CPathOptDlg::kMinLineSpacing);
    dialog.m_dPathWidth = settings->path_width;
    dialog.m_bByLayer = settings->path_by_layer;
    dialog.m_bInOut = settings->path_in_out;
    if (tech != nullptr) {
        dialog.m_bCloseUse = tech->m_close_use;
        dialog.m_dCloseRepay = tech->m_close_repay;
        dialog.m_bDislocUse = tech->m_disloc_use;
    }
    if (dialog.DoModal() != plat::IDOK)
        return;
    dialog.StoreValues(*settings, tech);
    const CReadParamFile files;
    files.WriteSoftwareParam(*settings);
    if (tech != nullptr)
        files.WriteTechParam(*tech);
}
