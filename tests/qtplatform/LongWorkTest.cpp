// Work on a thread of its own: the messages and import questions it asks go
// to the interface thread's prompt and dialogs and their answers come back;
// once it is cancelled nothing of it reaches the interface any more, and
// what it still asks is answered without a word.
#include "AppTestSupport.h"
#include "qtplatform/LongWork.h"
#include "platform/ImportOptions.h"

#include <QThread>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// Notes on which thread each message was asked; answers Yes.
class ThreadPrompt : public plat::Prompt {
public:
    int MessageBox(const std::u16string& text, const std::u16string&, unsigned) override
    {
        texts.push_back(text);
        onInterfaceThread.push_back(QThread::currentThread() == qApp->thread());
        return plat::IDYES;
    }
    std::vector<std::u16string> texts;
    std::vector<bool> onInterfaceThread;
};

} // namespace

TEST(LongWork, QuestionsAreAskedOnTheInterfaceThreadAndCancelledWorkIsAnsweredSilently)
{
    ThreadPrompt prompt;
    plat::SetPrompt(&prompt);
    plat::RecordingImportOptions options;
    options.m_setUnit = true;
    options.m_unit = 2;
    plat::SetImportOptions(&options);

    LongWork work;
    int answer = 0;
    std::uint8_t unit = 1;
    int progressSeen = -1;
    bool finished = false;
    bool succeeded = false;
    work.Start(
        [&] {
            answer = plat::MessageBox(u"replace?", std::u16string(), plat::MB_YESNO);
            plat::GetImportOptions().AskDimensions(unit);
            return plat::WorkStep(500);
        },
        [&](bool ok) {
            finished = true;
            succeeded = ok;
        },
        [&](int permille) { progressSeen = permille; });
    ASSERT_TRUE(plat::WaitFor([&] { return finished; }));
    EXPECT_TRUE(succeeded);
    EXPECT_EQ(answer, plat::IDYES);
    EXPECT_EQ(prompt.texts, std::vector<std::u16string>{u"replace?"});
    EXPECT_EQ(prompt.onInterfaceThread, std::vector<bool>{true});
    EXPECT_EQ(options.m_dimensionsShown, std::vector<std::uint8_t>{1});
    EXPECT_EQ(unit, 2);
    EXPECT_EQ(progressSeen, 500);

    std::atomic<bool> release{false};
    std::atomic<int> late{0};
    bool lateFinished = false;
    work.Start(
        [&] {
            while (!release)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            late = plat::MessageBox(u"late", std::u16string(), plat::MB_OKCANCEL);
            std::uint8_t lateUnit = 1;
            return plat::GetImportOptions().AskDimensions(lateUnit) == plat::IDOK;
        },
        [&](bool) { lateFinished = true; });
    work.Cancel();
    EXPECT_FALSE(work.Running());
    release = true;
    LongWork::JoinCancelled();
    QCoreApplication::processEvents();
    EXPECT_EQ(late, plat::IDCANCEL);
    EXPECT_EQ(prompt.texts.size(), 1u);
    EXPECT_EQ(options.m_dimensionsShown.size(), 1u);
    EXPECT_FALSE(lateFinished);
    plat::SetImportOptions(nullptr);
    plat::SetPrompt(nullptr);
}
