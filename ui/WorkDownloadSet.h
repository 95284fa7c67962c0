// The download dialog (dialog 212): sends the document's job to the current
// machine, sends a .out work file saved earlier, or saves the job as a work
// file, through the job name and transfer progress dialogs; and holds the
// path optimisation switch. Closing it writes software.par.
#pragma once
#include "qtplatform/DialogBase.h"

#include <cstdint>
#include <functional>
#include <string>

class CXPButton;
class QCheckBox;
struct DOCCONTEXT;

class CWorkDownloadSet : public CDialogBase {
public:
    static constexpr int IDD = 212;
    static constexpr int IDC_PATH_OPTIONS = 1403;
    static constexpr int IDC_SAVE_FILE = 1075;
    static constexpr int IDC_SEND_FILE = 1074;
    static constexpr int IDC_DOWNLOAD = 1073;
    static constexpr int IDC_USE_PATH = 1256;

    // Asks for a work file: `save` for the save chooser, else the open one;
    // the filter as shown. False on Cancel, else the path chosen.
    using FileChooser = std::function<bool(bool save, const QString& filter, std::u16string& path)>;
    static void SetFileChooserForTesting(FileChooser chooser);

    // The job name dialog (false on Cancel) and the transfer progress dialog
    // (true when accepted); the real dialogs unless a test sets others.
    using NameAsker = std::function<bool(std::u16string& name)>;
    using Transfer = std::function<bool(DOCCONTEXT&, int mode, const std::u16string& path, std::uint8_t startAfter)>;
    static void SetDialogsForTesting(NameAsker name, Transfer transfer);
    // The real job name and progress dialogs, for the work page.
    static bool AskJobName(std::u16string& name);
    static bool RunTransfer(DOCCONTEXT& context, int mode, const std::u16string& path, std::uint8_t startAfter);

    CWorkDownloadSet(DOCCONTEXT& context, QWidget* parent = nullptr);
    ~CWorkDownloadSet() override;

    void OnDownload();
    void OnSendFile();
    void OnSaveFile();
    void OnUsePath();
    // The path options dialog with the settings' path options and the
    // current machine's technology switches; OK stores them and writes
    // software.par and the machine's technology file.
    void OnPathOptions();

    std::int32_t m_bUsePath = 0;

    CXPButton* Button(int id) const;
    QCheckBox* UsePathCheck() const { return m_usePath; }

protected:
    void OnInitDialog() override;

private:
    // The link check of the sends: false (after the message) when the
    // current machine cannot be reached; true without a machine list entry.
    bool LinkUsable() const;

    DOCCONTEXT& m_context;
    QCheckBox* m_usePath;
};
