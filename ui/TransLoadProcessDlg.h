// The transfer progress dialog (dialog 185): fills the job header, has the
// job built from the document (off the interface thread, on copies: the
// window goes on and Cancel works meanwhile), hands it to the current
// machine's connection and shows the progress the transfer thread posts
// back, the build taking the bar's first half. Mode 0 sends the
// document's job to the machine, mode 1 saves it as a .out work file, mode 2
// sends a .out file saved earlier.
//
// DoModal gives IDOK only when the transfer reported 100 % with no failure
// (for a saved file: the file has the length the transfer announced); every
// other end (nothing generated, a refusal, a failure, the time-out, Cancel)
// gives IDCANCEL. A connection the dialog opened is closed again at the end;
// one that existed before stays.
#pragma once
#include "qtplatform/DialogBase.h"
#include "qtplatform/QtMessagePoster.h"
#include "machinecomm/VantrelRecords.h"

#include <cstdint>
#include <string>

class CJobBuild;
class QProgressBar;
class QTimer;
class CXPButton;
struct DOCCONTEXT;
struct MachineNode;
struct SoftwareSettings;

class CTransLoadProcessDlg : public CDialogBase, public PostedMessageTarget {
public:
    static constexpr int IDD = 185;
    static constexpr int IDC_CANCEL = 1073;
    static constexpr int IDC_PROGRESS = 1123;

    enum : std::uint8_t { MODE_SEND = 0, MODE_SAVE = 1, MODE_SEND_FILE = 2 };

    // A work file path must fit the header's 150-byte field with its
    // terminating zero.
    static constexpr std::size_t kMaxPathBytes = 149;

    CTransLoadProcessDlg(DOCCONTEXT& context, std::uint8_t mode, std::u16string path, std::uint8_t startAfter,
                         QWidget* parent = nullptr);
    ~CTransLoadProcessDlg() override;
    CTransLoadProcessDlg(const CTransLoadProcessDlg&) = delete;
    CTransLoadProcessDlg& operator=(const CTransLoadProcessDlg&) = delete;

    // The header's initial fill from the document's current snapshot: all
    // zero, the path's bytes (when they fit), the object-array byte, the
    // document array (rows into the X count), the feed repeat and the job
    // name, origin corner 0, positioning point 2.
    static void FillHeader(WORKHEAD& header, const DOCCONTEXT& context, const std::string& pathUtf8);

    // The operator message of a transfer the machine's connection did not
    // start, by the result its TransFile gave, or of one that ended with a
    // TRANS_ERROR_* code (while saving a work file when `saving`). Messages
    // about the link name the machine and its address, one about a work
    // file that could not be written its path. A value no message covers
    // is shown with its number.
    static std::u16string RefusalText(std::uint32_t result);
    static std::u16string FailureText(plat::LPARAM code, bool saving, const MachineNode& machine,
                                      const SoftwareSettings& settings, const std::u16string& path);

    // Time without progress after the start that ends the transfer; 60 s
    // unless a test shortens it (0 restores the default).
    static void SetTimeoutForTesting(int ms);

    const WORKHEAD& Header() const { return m_header; }
    // What the status bar says once the dialog has closed accepted: the job
    // was sent to the machine (with its address), or the work file saved.
    std::u16string DoneText() const;
    // The window the transfer reports to.
    plat::HWND Handle() const { return m_hWnd; }
    QProgressBar* ProgressBar() const { return m_progress; }
    bool Building() const;
    CXPButton* CancelButton() const { return m_cancel; }

    void OnPostedMessage(plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam) override;

protected:
    void OnInitDialog() override;
    // Escape and the window's close box cancel like the button.
    void reject() override;

private:
    void RunJob();
    void OnJobBuilt(bool ok, WORKHEAD& built);
    // Hands the job (or the work file) to the machine's connection.
    void Transfer();
    // Transfer, at once when the start delay has passed, else when it has.
    void TransferWhenDue();
    void Finish();
    void OnCancel();
    // A message (entry of "phase15:error-hint"), the dialog's own
    // connection closed, then rejected.
    void Fail(int entry);
    void FailWith(const std::u16string& text);
    // The message of a transfer that ended with TRANS_ERROR_* code.
    void FailTransfer(plat::LPARAM code);
    void CloseOwnConnection();
    void StopTimers();

    DOCCONTEXT& m_context;
    std::uint8_t m_mode;
    std::u16string m_path;
    std::string m_pathUtf8;
    std::uint8_t m_startAfter;
    WORKHEAD m_header;
    MachineNode* m_pMachine = nullptr;
    std::uint8_t m_connectionExisted = 0;
    plat::HWND m_hWnd = 0;
    bool m_ended = false;        // accepted, rejected or about to be
    bool m_transferring = false; // TransFile took the job
    bool m_jobReady = false;     // built (or a work file), awaiting the start delay
    long long m_announced = -1;  // byte count of the stream (wParam 1)
    int m_percent = 0;
    QProgressBar* m_progress = nullptr;
    CJobBuild* m_build = nullptr;
    // Percent of the bar the job's building takes (none for a work file).
    static constexpr int kBuildShare = 50;
    int m_buildShare = 0;
    CXPButton* m_cancel = nullptr;
    QTimer* m_startTimer = nullptr;
    QTimer* m_closeTimer = nullptr;
    QTimer* m_watchdog = nullptr;
};
