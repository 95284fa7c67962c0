#include "CommState.h"

#include <chrono>

std::atomic<std::uint8_t> SCRAMBLEBYTE{0x39};

namespace {
CommState g_comm;
}

CommState& Comm()
{
    return g_comm;
}

CommState::~CommState()
{
    if (transferThread.joinable()) {
        transferStop.store(true);
        transferThread.join();
    }
    if (commThread.joinable()) {
        stop.store(true);
        commThread.join();
    }
}

bool PutSendBytes(const std::uint8_t* data, std::uint32_t n, plat::HWND window,
                  std::uint64_t* mark)
{
    return g_comm.sendRing.Put(data, n, window, mark);
}

std::uint32_t GetSendBytes(std::uint8_t* buffer, std::uint32_t max, std::uint64_t* mark)
{
    return g_comm.sendRing.Get(buffer, max, mark);
}

std::uint32_t GetSendBytesLen()
{
    return g_comm.sendRing.Waiting();
}

std::uint32_t GetSendFreeSpace()
{
    return g_comm.sendRing.Free();
}

void ClearSendRing()
{
    g_comm.sendRing.Clear();
}

bool PutAnswerBytes(const std::uint8_t* data, std::uint32_t n)
{
    return n != 0 && g_comm.answerRing.Put(data, n);
}

std::uint32_t GetAnswerBytes(std::uint8_t* buffer, std::uint32_t n, bool consume)
{
    return g_comm.answerRing.Read(buffer, n, consume);
}

std::uint32_t GetAnswerBytesLen()
{
    return g_comm.answerRing.Waiting();
}

std::uint32_t AnswerRingGeneration()
{
    return g_comm.answerRing.Generation();
}

bool ConsumeAnswerBytes(std::uint32_t n, std::uint32_t generation)
{
    return g_comm.answerRing.Consume(n, generation);
}

void ClearAnswerRing()
{
    g_comm.answerRing.Clear();
}

void ResetRings()
{
    g_comm.sendRing.Reset();
    g_comm.answerRing.Reset();
}

bool SleepUnlessStopped(int ms)
{
    constexpr int kSliceMs = 10;
    for (int slept = 0; slept < ms; slept += kSliceMs) {
        if (g_comm.stop.load())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
    }
    return !g_comm.stop.load();
}
