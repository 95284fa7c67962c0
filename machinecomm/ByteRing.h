// A byte ring of 65,535 bytes between the library's threads. One byte always
// stays free, so a full ring and an empty one differ. Every operation takes
// the ring's lock: several producers (commands of the user interface, the
// transfer thread) write the send ring while the transport reads it and the
// user interface may clear it, and a block must go in or out whole.
#pragma once
#include "platform/Win.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

class CByteRing {
public:
    static constexpr std::uint32_t kSize = 65535;

    // Copies n bytes in when n is smaller than the free space; else false and
    // nothing changes. The window form also records the window of the
    // accepted block (none included), which is how the send ring knows whom
    // to tell about an answer.
    bool Put(const std::uint8_t* data, std::uint32_t n);
    bool Put(const std::uint8_t* data, std::uint32_t n, plat::HWND window,
             std::uint64_t* mark = nullptr);

    // Takes up to max bytes.
    std::uint32_t Get(std::uint8_t* buffer, std::uint32_t max, std::uint64_t* mark = nullptr);

    // Takes one packet framed as the network link frames it: a header of
    // `header` bytes whose big-endian 16-bit payload length sits at
    // `lengthAt`, then the payload. Takes fewer bytes only when fewer wait
    // (then all of them) or when the frame is longer than max.
    std::uint32_t TakePacket(std::uint8_t* buffer, std::uint32_t max, std::uint32_t header,
                             std::uint32_t lengthAt, std::uint64_t* mark = nullptr);

    // Marks: the count of bytes ever put in, up to the end of a block (Put),
    // and of bytes ever taken out (Get, TakePacket), so a writer can tell
    // when its block has been taken. A clear counts the bytes it drops as
    // taken.

    // The reader side of the answer ring: n bytes (0 = all waiting) copied
    // out, and taken off the ring only when consume is set. Returns 0 when
    // fewer than n bytes (or none) wait, or when another reader is inside.
    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t n, bool consume);

    // The reader's busy flag, for a reader whose copy, parse and consume must
    // be one step: while it is held every other Read is refused. ReadHeld is
    // Read for the holder.
    bool TryLockReader() { return !m_readerBusy.exchange(true); }
    void UnlockReader() { m_readerBusy.store(false); }
    std::uint32_t ReadHeld(std::uint8_t* buffer, std::uint32_t n, bool consume);

    // Counts clears, so a reader that copied bytes out and consumes them later
    // can tell that the ring was emptied in between.
    std::uint32_t Generation() const;
    // Takes n bytes off the ring only when it was not cleared since
    // `generation` was read and at least n bytes wait.
    bool Consume(std::uint32_t n, std::uint32_t generation);

    std::uint32_t Waiting() const;
    std::uint32_t Free() const { return kSize - Waiting(); }
    plat::HWND NotifyWindow() const { return m_notify.load(); }

    void Clear();  // both indices to 0
    void Reset();  // indices and every byte to 0

private:
    std::uint32_t WaitingLocked() const;
    bool PutLocked(const std::uint8_t* data, std::uint32_t n);
    void CopyOut(std::uint32_t from, std::uint8_t* buffer, std::uint32_t n) const;

    mutable std::mutex m_lock;
    std::array<std::uint8_t, kSize> m_bytes{};
    std::uint32_t m_write = 0;
    std::uint32_t m_read = 0;
    std::uint32_t m_generation = 0;
    std::uint64_t m_putTotal = 0;
    std::uint64_t m_takenTotal = 0;
    std::atomic<plat::HWND> m_notify{0};
    std::atomic<bool> m_readerBusy{false};
};
