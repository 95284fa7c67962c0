// Helpers shared by the link tests: a recording poster registered for the
// test, environment variables set for its duration, bounded waits, and the
// fake controller on the network.
#pragma once
#include "CommState.h"
#include "Vantrel.h"
#include "platform/Messages.h"

#include "FakeController.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace plat {

constexpr HWND kMainWindow = 0x1000;
constexpr HWND kAnswerWindow = 0x2000;
constexpr HWND kTransferWindow = 0x3000;
constexpr std::uint32_t kLoopback = 0x7F000001; // 127.0.0.1, first octet high

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name)
    {
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { ::unsetenv(m_name); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
};

inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

inline long long MillisecondsOf(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

// Every link test starts with machine type 0 registered on kMainWindow and
// leaves no thread behind.
class LinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetMessagePoster(&poster);
        SetMainFramWnd(kMainWindow, 0);
    }
    void TearDown() override
    {
        VqEtCommThrd(0);
        SetMessagePoster(nullptr);
    }
    std::size_t Posted(UINT msg, HWND window) const
    {
        std::size_t n = 0;
        for (const auto& m : poster.Messages())
            n += (m.msg == msg && m.window == window) ? 1 : 0;
        return n;
    }
    bool WaitForPost(UINT msg, HWND window, std::size_t count, int timeoutMs) const
    {
        return WaitUntil([&] { return Posted(msg, window) >= count; }, timeoutMs);
    }
    // The messages msg posted to window, as (wParam, lParam).
    std::vector<std::pair<WPARAM, LPARAM>> PostedTo(UINT msg, HWND window) const
    {
        std::vector<std::pair<WPARAM, LPARAM>> all;
        for (const auto& m : poster.Messages())
            if (m.msg == msg && m.window == window)
                all.emplace_back(m.wParam, m.lParam);
        return all;
    }
    // The transfer messages posted to kTransferWindow.
    std::vector<std::pair<WPARAM, LPARAM>> Progress() const { return PostedTo(WM_TRANS_PROGRESS, kTransferWindow); }
    // Waits for a transfer's last message: 100 % or a failure.
    bool WaitForTransferEnd(int timeoutMs) const
    {
        return WaitUntil(
            [&] {
                const auto p = Progress();
                return !p.empty() && (p.back() == std::pair<WPARAM, LPARAM>{2, 100} ||
                                      p.back().first == TRANS_PROGRESS_FAILED);
            },
            timeoutMs);
    }
    static Bytes TakeAnswers()
    {
        Bytes all(CByteRing::kSize);
        all.resize(GetAnswerBytes(all.data(), 0, true));
        return all;
    }

    RecordingPoster poster;
};

// A link test with the fake controller listening on 127.0.0.1 and the link's
// port pointed at it.
class NetLinkTest : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        ASSERT_TRUE(fake.Start());
        port = std::make_unique<ScopedEnv>("VANTREL_PORT", std::to_string(fake.Port()));
    }
    void TearDown() override
    {
        LinkTest::TearDown();
        port.reset();
    }
    // After the script: its first steps may concern the first connection.
    void StartLink() { ASSERT_TRUE(VqStCommThrd(1, kLoopback)); }

    FakeController fake;
    std::unique_ptr<ScopedEnv> port;
};

} // namespace plat
