// The download dialogs: the job header as the progress dialog fills it, the
// job name preset, the three ways out (send, save a .out file, send a saved
// one) against the fake controller, and every end that must not pass for a
// finished transfer.
#include "HeldStep.h"
#include "MachineStage.h"
#include "../support/ManyLines.h"

#include "qtplatform/QtMessagePoster.h"
#include "machinecomm/Vantrel.h"
#include "model/DocContext.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/CodePage.h"
#include "platform/Messages.h"
#include "platform/TextFile.h"
#include "platform/WorkFolder.h"
#include "settings/MachineTech.h"
#include "settings/TransThreadInfo.h"
#include "ui/PathOptDlg.h"
#include "ui/TransLoadNameDlg.h"
#include "ui/TransLoadProcessDlg.h"
#include "ui/WorkDownloadSet.h"
#include "ui/XPButton.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTimer>
#include <QProgressBar>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QRadioButton>
#include <QStatusBar>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <optional>

namespace {

using plat::Bytes;
using plat::FakeController;

std::string JobName(const WORKHEAD& h)
{
    return std::string(h.m_jobName, strnlen(h.m_jobName, sizeof h.m_jobName));
}

TEST(DownloadHeader, JobNameArrayAndFeedAreFilledAsTheControllerReadsThem)
{
    std::tm moment{};
    moment.tm_year = 126;
    moment.tm_mon = 11;
    moment.tm_mday = 8;
    moment.tm_hour = 14;
    moment.tm_min = 5;
    moment.tm_sec = 9;
    EXPECT_EQ(CTransLoadNameDlg::NameAt(timegm(&moment)), u"08140509");

    CDocListNode doc;
    DOCCONTEXT context;
    context.m_pCurrent = &doc;
    WORKHEAD h;
    for (auto [path, name] : {std::pair{"JOB.OUT", "JOB"}, {"/work/abcdefghij.out", "abcdefgh"}, {"x.out", "x"},
                              {".out", ".out"}, {"a\\b\\job.Out", "job.Out"}}) {
        CTransLoadProcessDlg::FillHeader(h, context, path);
        EXPECT_EQ(JobName(h), name) << path;
        EXPECT_STREQ(h.m_filePath, path);
    }
    // No document array, no feed: a single copy, feed fields zero.
    EXPECT_EQ(h.m_arrayUse, 0u);
    EXPECT_EQ(h.m_arrayCountX, 1u);
    EXPECT_EQ(h.m_arrayCountY, 1u);
    EXPECT_EQ(h.m_feedCount, 0);
    EXPECT_EQ(h.m_posPoint, 2);
    EXPECT_EQ(h.m_originCorner, 0);

    doc.m_pArray = new ARRAYREC;
    doc.m_pArray->m_dDx = 1200.0;
    CTransLoadProcessDlg::FillHeader(h, context, "a.out");
    EXPECT_EQ(h.m_arrayUse, 0u) << "1 x 1 is no array";
    EXPECT_EQ(h.m_pitchX, 0.0);
    doc.m_pArray->m_nCols = 2;
    doc.m_pArray->m_dDy = 350.0;
    doc.m_pFeed = new FEEDREPEAT{3, 12.5, 1500};
    CTransLoadProcessDlg::FillHeader(h, context, "a.out");
    EXPECT_EQ(h.m_arrayUse, 1u);
    EXPECT_EQ(h.m_arrayCountX, 1u);
    EXPECT_EQ(h.m_arrayCountY, 2u);
    EXPECT_DOUBLE_EQ(h.m_pitchX, 120.0);
    EXPECT_DOUBLE_EQ(h.m_pitchY, 35.0);
    EXPECT_EQ(h.m_feedCount, 3);
    EXPECT_EQ(h.m_feedLength, 12.5);
    EXPECT_EQ(h.m_feedDelay, 2) << "the delay goes over in whole seconds, the nearest";
    for (auto [ms, seconds] : {std::pair{2500, 3}, {2499, 2}, {0, 0}, {-1500, -2}, {2147483647, 2147484}}) {
        doc.m_pFeed->m_nDelayMs = ms;
        CTransLoadProcessDlg::FillHeader(h, context, "a.out");
        EXPECT_EQ(h.m_feedDelay, seconds) << ms;
    }

    // A path that does not fit the field with its terminator is not cut into it.
    CTransLoadProcessDlg::FillHeader(h, context, std::string(150, 'p'));
    EXPECT_EQ(h.m_filePath[0], '\0');
    CTransLoadProcessDlg::FillHeader(h, context, std::string(149, 'p'));
    EXPECT_EQ(std::strlen(h.m_filePath), 149u);
}

TEST(DownloadHeader, AnEmptyJobNameBecomesX)
{
    CDialogBase::SetModalAnswerForTesting([](CDialogBase& d) {
        auto& dialog = static_cast<CTransLoadNameDlg&>(d);
        dialog.NameEdit()->clear();
        dialog.OkButton()->click();
        return dialog.result() == QDialog::Accepted ? 1 : 2;
    });
    std::u16string name;
    EXPECT_TRUE(CWorkDownloadSet::AskJobName(name));
    CDialogBase::SetModalAnswerForTesting({});
    EXPECT_EQ(name, u"x");
}

class Download : public plat::MachineStage {
protected:
    void SetUp() override
    {
        MachineStage::SetUp();
        plat::SetMessagePoster(&m_poster);
        CTransLoadProcessDlg::SetTimeoutForTesting(15000);
    }
    void TearDown() override
    {
        CTransLoadProcessDlg::SetTimeoutForTesting(0);
        CWorkDownloadSet::SetFileChooserForTesting({});
        CWorkDownloadSet::SetDialogsForTesting({}, {});
        CloseMachineConnections(g_settings.m_pMachines, false);
        plat::SetMessagePoster(nullptr);
        MachineStage::TearDown();
    }
    bool Run(int mode, const std::string& path)
    {
        return CWorkDownloadSet::RunTransfer(m_context, mode, plat::Utf8ToUtf16(path), 0);
    }
    std::u16string LastMessage() const
    {
        return m_prompt.m_shown.empty() ? std::u16string() : m_prompt.m_shown.back().text;
    }
    std::string Root() const { return m_program->Root(); }

    QtMessagePoster m_poster;
};

TEST_F(Download, ASentJobIsAcceptedAndOnlyTheConnectionTheDialogMadeIsClosed)
{
    ASSERT_TRUE(Run(0, "job.out"));
    EXPECT_TRUE(m_prompt.m_shown.empty());
    ASSERT_FALSE(m_fake.Packets().empty());
    EXPECT_EQ(Machine(0).m_session, nullptr);
    EXPECT_EQ(Machine(0).m_online, 0);

    ASSERT_TRUE(OpenMachineConnection(Machine(0), g_settings));
    CTransThreadInfo* earlier = Machine(0).m_session;
    const std::size_t before = m_fake.Packets().size();
    ASSERT_TRUE(Run(0, "job.out"));
    EXPECT_GT(m_fake.Packets().size(), before);
    EXPECT_EQ(Machine(0).m_session, earlier);
}

TEST_F(Download, ASavedWorkFileIsWholeAndSendingItPassesTheStreamUnchanged)
{
    const std::string out = Root() + "job.out";
    ASSERT_TRUE(Run(1, out));
    EXPECT_TRUE(m_fake.Packets().empty()) << "saving needs no link";
    std::string saved;
    ASSERT_TRUE(plat::ReadWholeFile(out, saved));
    ASSERT_FALSE(saved.empty());

    ASSERT_TRUE(Run(2, out));
    const std::vector<Bytes> sent = Payloads(m_fake);
    ASSERT_FALSE(sent.empty());
    Bytes stream(saved.begin(), saved.end());
    for (auto& b : stream)
        b ^= 0x39;
    EXPECT_EQ(sent.back(), stream);
    EXPECT_EQ(sent.size(), 1u) << "no frame goes with a saved file";

    m_prompt.m_shown.clear();
    m_program->Write("empty.out", "");
    EXPECT_FALSE(Run(2, Root() + "empty.out"));
    EXPECT_EQ(LastMessage(), ErrorText(21));
    EXPECT_FALSE(Run(2, Root() + "missing.out"));
    EXPECT_EQ(sent.size(), Payloads(m_fake).size());
}

// The job is built from the moment the dialog opens (its first step comes
// within the start delay), while the transfer, which writes the work file,
// still waits the half second the dialog gives itself.
TEST_F(Download, TheJobIsBuiltFromTheOpeningAndTheTransferWaitsForTheStartDelay)
{
    const std::string out = Root() + "job.out";
    QElapsedTimer opened;
    std::atomic<qint64> firstStep{-1};
    plat::WorkControl::SetStepHookForTesting([&](plat::WorkControl&, int) {
        qint64 none = -1;
        firstStep.compare_exchange_strong(none, opened.elapsed());
    });
    qint64 fileSeen = -1;
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (fileSeen < 0 && std::filesystem::exists(out))
            fileSeen = opened.elapsed();
    });
    watch.start();
    opened.start();
    EXPECT_TRUE(Run(1, out));
    watch.stop();
    plat::WorkControl::SetStepHookForTesting({});
    // The delay's timer is a coarse one: it may end up to 5 % early, at
    // 475 ms.
    EXPECT_GE(firstStep.load(), 0);
    EXPECT_LT(firstStep.load(), 475);
    EXPECT_GE(fileSeen, 475);
}

TEST_F(Download, AFeedDelayOf2Point5SecondsGoesOutAs3)
{
    m_doc.m_pFeed = new FEEDREPEAT{1, 10.0, 2500};
    const std::string out = Root() + "feed.out";
    ASSERT_TRUE(Run(1, out));
    std::string saved;
    ASSERT_TRUE(plat::ReadWholeFile(out, saved));
    Bytes stream(saved.begin(), saved.end());
    for (auto& b : stream)
        b ^= 0x39;
    // One feed of 10 mm (10000 um = 4E 10 in 7-bit groups), then the delay:
    // E0 0C and 3 in five groups.
    const Bytes feed = {0xE0, 0x05, 0, 0, 0, 0, 1, 0, 0, 0, 0x4E, 0x10, 0xE0, 0x0C, 0, 0, 0, 0, 3};
    EXPECT_NE(std::search(stream.begin(), stream.end(), feed.begin(), feed.end()), stream.end());
}

TEST_F(Download, AFinishedSendOrSaveSaysSoOnTheStatusBarOnceTheDialogHasClosed)
{
    QMainWindow main;
    ASSERT_TRUE(Run(0, "job.out"));
    EXPECT_EQ(main.statusBar()->currentMessage(), QStringLiteral("The job was sent to A at 127.0.0.1."));
    const std::string out = Root() + "job.out";
    ASSERT_TRUE(Run(1, out));
    EXPECT_EQ(main.statusBar()->currentMessage(), QString::fromStdString("The work file was saved: " + out));

    main.statusBar()->clearMessage();
    m_fake.Script({FakeController::ResetConnection()});
    EXPECT_FALSE(Run(0, "job.out"));
    EXPECT_TRUE(main.statusBar()->currentMessage().isEmpty());
}

TEST_F(Download, SavePathsThatCannotBeWrittenAreRefused)
{
    EXPECT_FALSE(Run(1, Root() + "no/such/folder/job.out"));
    EXPECT_EQ(LastMessage(), plat::Utf8ToUtf16(Root() + "no/such/folder/job.out could not be written."));
    EXPECT_FALSE(std::filesystem::exists(Root() + "no/such/folder/job.out"));

    // 149 bytes fit the field with its terminator, 150 do not.
    const std::string fits = Root() + std::string(149 - Root().size() - 4, 'n') + ".out";
    ASSERT_EQ(fits.size(), 149u);
    ASSERT_TRUE(Run(1, fits));
    EXPECT_TRUE(std::filesystem::exists(fits));
    m_prompt.m_shown.clear();
    const std::string tooLong = Root() + std::string(150 - Root().size() - 4, 'n') + ".out";
    EXPECT_FALSE(Run(1, tooLong));
    EXPECT_EQ(LastMessage(), ErrorText(18));
    EXPECT_FALSE(std::filesystem::exists(tooLong));
}

// Every result the machine's connection gives for a transfer it did not
// start, and every code a transfer ends with, has a message of its own; a
// value none covers is shown with its number.
TEST_F(Download, EveryRefusalAndFailureCodeShowsItsOwnMessage)
{
    const std::pair<std::uint32_t, std::u16string> refusals[] = {
        {TRANS_BUSY, u"Another transfer is still running; nothing was sent or saved. Try again once it has ended."},
        {TRANS_BAD_REQUEST, u"The machine link refused the job's request; nothing was sent or saved."},
        {TRANS_NO_THREAD, u"The transfer could not be started: the system could not make a thread for it. "
                          u"Nothing was sent or saved."},
        {TRANS_FILE_UNUSABLE, u"The work file could not be read, or is too large to send; nothing was sent."},
        {99, u"The transfer failed. Error code: 99"},
    };
    for (const auto& [result, text] : refusals)
        EXPECT_EQ(CTransLoadProcessDlg::RefusalText(result), text) << result;

    const std::u16string link = u"A at 127.0.0.1";
    const std::pair<plat::LPARAM, std::u16string> failures[] = {
        {TRANS_ERROR_MEMORY, u"There is not enough memory for the job's data; nothing was sent."},
        {TRANS_ERROR_JOB, u"The job is too large for the controller; nothing was sent."},
        {TRANS_ERROR_FILE, u"/w/job.out could not be written."},
        {TRANS_ERROR_LINK, u"The link to " + link + u" ended; the job was not sent whole."},
        {TRANS_ERROR_STOPPED, u"The link to " + link + u" ended; the job was not sent whole."},
        {TRANS_ERROR_NO_ANSWER,
         u"No answer from the controller of " + link + u" within 2 s; the job was not sent whole."},
        {TRANS_ERROR_CLOSED,
         u"The controller of " + link + u" closed the connection before answering; the job was not sent whole."},
        {TRANS_ERROR_RESET, u"The controller of " + link + u" reset the connection; the job was not sent whole."},
        {TRANS_ERROR_EXCHANGE,
         u"The controller of " + link + u" answered a different exchange; the job was not sent whole."},
        {TRANS_ERROR_NO_CONNECTION,
         u"No connection to the controller of " + link + u" could be made within 3 s; the job was not sent whole."},
        {11, u"The transfer failed. Error code: 11"},
    };
    for (const auto& [code, text] : failures) {
        EXPECT_EQ(CTransLoadProcessDlg::FailureText(code, false, Machine(0), g_settings, u"/w/job.out"), text)
            << code;
    }
    // Saving, a job too long for a stream is too long for a work file.
    EXPECT_EQ(CTransLoadProcessDlg::FailureText(TRANS_ERROR_JOB, true, Machine(0), g_settings, u"/w/job.out"),
              u"The job is too large for a work file; nothing was saved.");
    EXPECT_EQ(CTransLoadProcessDlg::FailureText(TRANS_ERROR_FILE, true, Machine(0), g_settings, u"/w/job.out"),
              u"/w/job.out could not be written.");
}

TEST_F(Download, NothingToSendNoMachineOrAnotherMachinesLinkRejectWithoutSending)
{
    // An object on a layer without parameters makes a job without layers.
    m_doc.m_pFirst->m_nLayer = 999;
    EXPECT_FALSE(Run(0, "job.out"));
    EXPECT_EQ(LastMessage(), ErrorText(6));
    m_doc.m_pFirst->m_nLayer = 1;

    g_settings.m_nCurMachine = 3;
    EXPECT_FALSE(Run(1, Root() + "job.out"));
    EXPECT_EQ(LastMessage(), ErrorText(5));
    g_settings.m_nCurMachine = 0;

    // B's link stays up only while a controller answers it: without one it
    // ends at once, and A's link could start beside it.
    FakeController fakeB;
    ASSERT_TRUE(fakeB.Start("127.0.0.2", m_fake.Port()));
    MachineNode& other = AddMachine(u"B", 1, plat::kLoopbackB);
    ASSERT_TRUE(OpenMachineConnection(other, g_settings));
    EXPECT_FALSE(Run(0, "job.out"));
    EXPECT_EQ(Machine(0).m_session, nullptr);
    EXPECT_TRUE(m_fake.Packets().empty());
    EXPECT_TRUE(Run(1, Root() + "job.out"));
    EXPECT_TRUE(std::filesystem::exists(Root() + "job.out"));
    EXPECT_NE(other.m_session, nullptr);
}

// A controller that drops the connection the link opened is left behind for
// a fresh one; one that resets the connection or cuts its answer off part
// way through a job of several blocks fails the transfer, said with the
// machine and its address, and the connection the transfer opened goes.
TEST_F(Download, ATransferTheControllerResetsOrCutsOffIsAFailureNeverASuccess)
{
    for (int i = 0; i < 60; ++i)
        AddRect(i * 2.0, 0.0, i * 2.0 + 1.5, 50.0 + i);
    m_fake.Script({FakeController::CloseOnAccept()});
    EXPECT_TRUE(Run(0, "job.out"));
    EXPECT_FALSE(m_fake.Packets().empty());

    m_fake.Script({FakeController::ResetConnection()});
    EXPECT_FALSE(Run(0, "job.out"));
    EXPECT_EQ(LastMessage(), u"The controller of A at 127.0.0.1 reset the connection; the job was not sent whole.");
    EXPECT_EQ(Machine(0).m_session, nullptr);

    const std::size_t before = m_fake.Packets().size();
    m_fake.Script({FakeController::Answering({}), FakeController::CutOff({})});
    EXPECT_FALSE(Run(0, "job.out"));
    EXPECT_EQ(LastMessage(),
              u"The controller of A at 127.0.0.1 closed the connection before answering; the job was not sent whole.");
    EXPECT_EQ(m_fake.Packets().size(), before + 2) << "the job goes no further than the cut";
    EXPECT_EQ(Machine(0).m_session, nullptr);
}

// The job of a download is built off the interface thread: held at a step
// of its ordering, the window goes on and its bar shows the build in the
// bar's first half (the build at 100 + 620 x 0.9 = 658 thousandths: 32 %).
// Cancel returns without waiting for the build, which is still held; the
// document, its history and its change count are as they were, nothing was
// sent and the work folder holds what it held.
TEST_F(Download, CancelWhileTheJobIsBuiltReturnsAtOnceAndLeavesEverythingAsItWas)
{
    CDocState::PushHistory(&m_context);
    CDocListNode* older = m_doc.m_pOlder;
    const std::uint64_t changes = m_context.m_nChangeCount;
    const CDocData* first = m_doc.m_pFirst;
    const auto listing = [] {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(CReadParamFile().GetWorkPath(), ec))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::string> before = listing();
    HeldStep hold(620);
    CTransLoadProcessDlg* dialog = nullptr;
    int ticks = 0;
    bool stillHeld = false;
    plat::EventSteps steps({
        [&] {
            dialog = dynamic_cast<CTransLoadProcessDlg*>(QApplication::activeModalWidget());
            return dialog != nullptr && hold.Reached();
        },
        [&] { return ++ticks >= 5 && dialog->ProgressBar()->value() == 32 && dialog->Building(); },
        [&] {
            dialog->CancelButton()->click();
            stillHeld = hold.Holding();
            return true;
        },
    });
    EXPECT_FALSE(Run(0, "job.out"));
    EXPECT_TRUE(steps.Done()) << steps.Taken();
    EXPECT_TRUE(stillHeld) << "Cancel waited for the build";
    hold.Release();
    EXPECT_EQ(m_context.m_nChangeCount, changes);
    EXPECT_EQ(m_context.m_pCurrent, &m_doc);
    EXPECT_EQ(m_doc.m_pOlder, older);
    EXPECT_EQ(m_doc.m_pFirst, first);
    EXPECT_TRUE(m_fake.Packets().empty());
    EXPECT_EQ(listing(), before);
    EXPECT_TRUE(m_prompt.m_shown.empty());
    m_doc.m_pOlder = nullptr;
    older->m_pNewer = nullptr;
    CDocState::DeleteHistoryChain(older);
}

// A job of a million entities: while the dialog, once shown, copies the
// drawing and builds the job, a 10 ms timer never waits 100 ms (the link is
// made before the dialog shows), and Cancel, pressed once
// the bar has moved, ends the dialog within 100 ms with nothing sent and the
// document and its change count as they were.
TEST_F(Download, AMillionEntityJobKeepsTheLoopTurningAndCancelEndsItAtOnce)
{
    AddManyLines(m_doc, kManyLines, 1);
    const std::uint64_t changes = m_context.m_nChangeCount;
    const CDocData* first = m_doc.m_pFirst;
    CTransLoadProcessDlg* dialog = nullptr;
    QElapsedTimer sinceCancel;
    int barSeen = 0;
    std::optional<plat::LoopWatch> loop;
    plat::EventSteps steps({
        [&] {
            dialog = dynamic_cast<CTransLoadProcessDlg*>(QApplication::activeModalWidget());
            if (dialog != nullptr && !loop)
                loop.emplace();
            return dialog != nullptr && dialog->Building() && dialog->ProgressBar()->value() > 0;
        },
        [&] {
            barSeen = dialog->ProgressBar()->value();
            sinceCancel.start();
            dialog->CancelButton()->click();
            return true;
        },
    });
    const bool sent = Run(0, "job.out");
    const qint64 longest = loop ? loop->Longest() : -1;
    loop.reset();
    const qint64 cancelTook = sinceCancel.isValid() ? sinceCancel.elapsed() : -1;
    LongWork::JoinCancelled();
    EXPECT_TRUE(steps.Done()) << steps.Taken();
    EXPECT_FALSE(sent);
    EXPECT_GT(barSeen, 0);
    EXPECT_GE(longest, 0);
    EXPECT_LT(longest, 100);
    EXPECT_GE(cancelTook, 0);
    EXPECT_LT(cancelTook, 100);
    EXPECT_EQ(m_context.m_nChangeCount, changes);
    EXPECT_EQ(m_context.m_pCurrent, &m_doc);
    EXPECT_EQ(m_doc.m_pFirst, first);
    EXPECT_TRUE(m_fake.Packets().empty());
}

TEST_F(Download, TheDownloadDialogChecksExtensionsAndKeepsThePathSwitch)
{
    std::vector<std::pair<int, std::u16string>> transfers;
    CWorkDownloadSet::SetDialogsForTesting(
        [](std::u16string& name) {
            name = u"x";
            return true;
        },
        [&](DOCCONTEXT&, int mode, const std::u16string& path, std::uint8_t) {
            transfers.emplace_back(mode, path);
            return true;
        });
    std::u16string chosen;
    CWorkDownloadSet::SetFileChooserForTesting([&](bool, const QString&, std::u16string& path) {
        path = chosen;
        return true;
    });
    g_settings.use_path = 0;
    CWorkDownloadSet dialog(m_context);
    CDialogBase::SetModalAnswerForTesting([](CDialogBase&) { return 2; });
    dialog.DoModal();
    CDialogBase::SetModalAnswerForTesting({});
    EXPECT_FALSE(dialog.Button(CWorkDownloadSet::IDC_PATH_OPTIONS)->isEnabled());
    dialog.UsePathCheck()->click();
    EXPECT_EQ(g_settings.use_path, 1);
    EXPECT_TRUE(dialog.Button(CWorkDownloadSet::IDC_PATH_OPTIONS)->isEnabled());

    dialog.OnDownload();
    for (const char16_t* path : {u"/w/job", u"/w/job.txt", u"/w/JOB.OUT"}) {
        chosen = path;
        dialog.OnSaveFile();
    }
    EXPECT_EQ(LastMessage(), ErrorText(10));
    for (const char16_t* path : {u"/w/a.txt", u"/w/b.Out"}) {
        chosen = path;
        dialog.OnSendFile();
    }
    const std::vector<std::pair<int, std::u16string>> expected = {
        {0, u"x.out"}, {1, u"/w/job.out"}, {1, u"/w/JOB.OUT"}, {2, u"/w/b.Out"}};
    EXPECT_EQ(transfers, expected);

    // An unreachable machine: no send, the save still goes.
    transfers.clear();
    Machine(0).m_ip = 0;
    dialog.OnDownload();
    dialog.OnSendFile();
    EXPECT_EQ(LastMessage(), ErrorText(5));
    chosen = u"/w/c.out";
    dialog.OnSaveFile();
    EXPECT_EQ(transfers, (std::vector<std::pair<int, std::u16string>>{{1, u"/w/c.out"}}));
}

TEST_F(Download, PathOptionsKeepTwoTypedDecimalsFollowTheModeAndAreStoredOnOk)
{
    g_settings.use_path = 1;
    g_settings.path_hight = 0.2;
    g_settings.path_mode = CPathOptDlg::MODE_FAST;
    Machine(0).m_tech = new CMachineTech(u"A");
    const std::string softwareFile = plat::ParamFolder() + "software.par";
    std::filesystem::remove(softwareFile);
    std::vector<QString> shown;
    CDialogBase::SetModalAnswerForTesting([&](CDialogBase& d) {
        auto& dialog = static_cast<CPathOptDlg&>(d);
        QLineEdit* spacing = dialog.Edit(CPathOptDlg::IDC_LINE_SPACING);
        shown.push_back(spacing->text());
        dialog.Radio(CPathOptDlg::IDC_H_ONE_WAY)->click();
        EXPECT_TRUE(spacing->isEnabled());
        for (const char* typed : {"0.3", "1.239", "2.", "1.15"}) {
            spacing->clear();
            QTest::keyClicks(spacing, QString::fromLatin1(typed));
            shown.push_back(spacing->text());
        }
        dialog.Radio(CPathOptDlg::IDC_ORDER)->click();
        EXPECT_FALSE(dialog.List(CPathOptDlg::IDC_START_CORNER)->isEnabled());
        EXPECT_FALSE(dialog.List(CPathOptDlg::IDC_JOINT_POINT)->isEnabled());
        EXPECT_FALSE(dialog.Radio(CPathOptDlg::IDC_FAST)->isChecked());
        dialog.Check(CPathOptDlg::IDC_CLOSE_USE)->click();
        EXPECT_TRUE(dialog.Edit(CPathOptDlg::IDC_CLOSE_REPAY)->isEnabled());
        dialog.Check(CPathOptDlg::IDC_CLOSE_USE)->click();
        EXPECT_FALSE(dialog.Edit(CPathOptDlg::IDC_CLOSE_REPAY)->isEnabled());
        dialog.Check(CPathOptDlg::IDC_DISLOC_USE)->click();
        static_cast<QDialog&>(dialog).accept();
        return dialog.result() == QDialog::Accepted ? 1 : 2;
    });
    {
        CWorkDownloadSet download(m_context);
        download.OnPathOptions();
    }
    CDialogBase::SetModalAnswerForTesting({});
    EXPECT_EQ(shown, (std::vector<QString>{"0.50", "0.50", "1.23", "2.", "1.15"}));
    EXPECT_EQ(g_settings.path_mode, CPathOptDlg::MODE_DRAWING_ORDER);
    EXPECT_EQ(g_settings.path_hight, 1.15);
    EXPECT_EQ(Machine(0).m_tech->m_disloc_use, 1);
    EXPECT_EQ(Machine(0).m_tech->m_close_use, 0);
    EXPECT_TRUE(std::filesystem::exists(softwareFile));
    EXPECT_TRUE(std::filesystem::exists(plat::TechFilePath(u"A")));

    // Cancel stores nothing.
    CDialogBase::SetModalAnswerForTesting([](CDialogBase& d) {
        static_cast<CPathOptDlg&>(d).Radio(CPathOptDlg::IDC_FAST)->click();
        return 2;
    });
    CWorkDownloadSet(m_context).OnPathOptions();
    CDialogBase::SetModalAnswerForTesting({});
    EXPECT_EQ(g_settings.path_mode, CPathOptDlg::MODE_DRAWING_ORDER);
}

} // namespace
