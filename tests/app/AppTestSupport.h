// Shared code of the application tests: a scratch program folder with the
// shipped language files, a recording prompt, and waiting on the event loop.
#pragma once
#include "platform/Folders.h"
#include "platform/Prompt.h"
#include "platform/TextFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRgb>
#include <QString>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace plat {

// Hex-coded names of the shipped language files.
inline constexpr const char* kEnglishFile = "0045006e0067006c006900730068.txt";
inline constexpr const char* kChineseFile = "4e2d6587002d7b804f53.txt";

// The paper's colour in every rendered image.
inline constexpr QRgb kWhite = 0xFFFFFF;

// A program folder of its own: Language/ with the shipped files, the pointer
// file naming `language` (nothing when empty), and workPath.txt naming
// <root>/work/, so the parameter folder is <root>/.
class ScratchProgram {
public:
    explicit ScratchProgram(const std::string& language = kEnglishFile)
    {
        const std::string shipped = ProgramFolder() + "Language/";
        char pattern[] = "/tmp/brenvik-program-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        m_root = std::string(made != nullptr ? made : "/tmp") + "/";
        std::filesystem::create_directories(m_root + "Language");
        for (const char* file : {kEnglishFile, kChineseFile})
            std::filesystem::copy_file(shipped + file, m_root + "Language/" + file);
        if (!language.empty())
            Write("Language/Language", language + "\r\n");
        Write("workPath.txt", m_root + "work/\r\n");
        SetProgramFolderForTesting(m_root);
    }
    ~ScratchProgram()
    {
        SetProgramFolderForTesting("");
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    ScratchProgram(const ScratchProgram&) = delete;
    ScratchProgram& operator=(const ScratchProgram&) = delete;

    const std::string& Root() const { return m_root; }
    void Write(const std::string& relative, const std::string& bytes) const
    {
        EXPECT_TRUE(WriteWholeFile(m_root + relative, bytes)) << relative;
    }
    bool Exists(const std::string& relative) const { return std::filesystem::exists(m_root + relative); }

private:
    std::string m_root;
};

// Registers a recording prompt for the scope.
class ScopedRecordingPrompt {
public:
    ScopedRecordingPrompt() { SetPrompt(&m_prompt); }
    ~ScopedRecordingPrompt() { SetPrompt(nullptr); }
    RecordingPrompt m_prompt;
};

// Spins the event loop until the condition holds or the time is up.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// The longest time between two firings of a 10 ms timer while it runs.
class LoopWatch {
public:
    LoopWatch()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_since.restart());
        });
        m_since.start();
        m_timer.start(10);
    }
    qint64 Longest() const { return m_longest; }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
};

// Steps taken in turn from the event loop, also inside the menus and
// dialogs they wait for: each is called every 10 ms until it returns true.
class EventSteps {
public:
    explicit EventSteps(std::vector<std::function<bool()>> steps) : m_steps(std::move(steps))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            while (m_next < m_steps.size() && m_steps[m_next]())
                ++m_next;
            if (Done())
                m_timer.stop();
        });
        m_timer.start(10);
    }
    bool Done() const { return m_next == m_steps.size(); }
    std::size_t Taken() const { return m_next; }

private:
    std::vector<std::function<bool()>> m_steps;
    std::size_t m_next = 0;
    QTimer m_timer;
};

} // namespace plat
