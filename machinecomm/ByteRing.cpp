#include "ByteRing.h"

#include <algorithm>
#include <cstring>

std::uint32_t CByteRing::WaitingLocked() const
{
    return m_write >= m_read ? m_write - m_read : m_write + kSize - m_read;
}

std::uint32_t CByteRing::Waiting() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return WaitingLocked();
}

void CByteRing::CopyOut(std::uint32_t from, std::uint8_t* buffer, std::uint32_t n) const
{
    if (n == 0)
        return;
    const std::uint32_t first = std::min(n, kSize - from);
    std::memcpy(buffer, m_bytes.data() + from, first);
    std::memcpy(buffer + first, m_bytes.data(), n - first);
}

bool CByteRing::PutLocked(const std::uint8_t* data, std::uint32_t n)
{
    if (n >= kSize - WaitingLocked())
        return false;
    if (n == 0)
        return true;
    const std::uint32_t first = std::min(n, kSize - m_write);
    std::memcpy(m_bytes.data() + m_write, data, first);
    std::memcpy(m_bytes.data(), data + first, n - first);
    m_write = (m_write + n) % kSize;
    m_putTotal += n;
    return true;
}

bool CByteRing::Put(const std::uint8_t* data, std::uint32_t n)
{
    std::lock_guard<std::mutex> lock(m_lock);
    return PutLocked(data, n);
}

bool CByteRing::Put(const std::uint8_t* data, std::uint32_t n, plat::HWND window,
                    std::uint64_t* mark)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!PutLocked(data, n))
        return false;
    m_notify.store(window);
    if (mark != nullptr)
        *mark = m_putTotal;
    return true;
}

std::uint32_t CByteRing::Get(std::uint8_t* buffer, std::uint32_t max, std::uint64_t* mark)
{
    std::lock_guard<std::mutex> lock(m_lock);
    const std::uint32_t n = std::min(max, WaitingLocked());
    CopyOut(m_read, buffer, n);
    m_read = (m_read + n) % kSize;
    m_takenTotal += n;
    if (mark != nullptr)
        *mark = m_takenTotal;
    return n;
}

std::uint32_t CByteRing::TakePacket(std::uint8_t* buffer, std::uint32_t max, std::uint32_t header,
                                    std::uint32_t lengthAt, std::uint64_t* mark)
{
    std::lock_guard<std::mutex> lock(m_lock);
    const std::uint32_t waiting = WaitingLocked();
    std::uint32_t n = waiting;
    if (waiting >= header && lengthAt + 1 < header) {
        const std::uint32_t hi = m_bytes[(m_read + lengthAt) % kSize];
        const std::uint32_t lo = m_bytes[(m_read + lengthAt + 1) % kSize];
        n = std::min(waiting, header + (hi << 8 | lo));
    }
    n = std::min(n, max);
    CopyOut(m_read, buffer, n);
    m_read = (m_read + n) % kSize;
    m_takenTotal += n;
    if (mark != nullptr)
        *mark = m_takenTotal;
    return n;
}

std::uint32_t CByteRing::ReadHeld(std::uint8_t* buffer, std::uint32_t n, bool consume)
{
    std::lock_guard<std::mutex> lock(m_lock);
    const std::uint32_t waiting = WaitingLocked();
    if (n == 0)
        n = waiting;
    if (n == 0 || n > waiting)
        return 0;
    CopyOut(m_read, buffer, n);
    if (consume) {
        m_read = (m_read + n) % kSize;
        m_takenTotal += n;
    }
    return n;
}

std::uint32_t CByteRing::Read(std::uint8_t* buffer, std::uint32_t n, bool consume)
{
    if (!TryLockReader())
        return 0;
    const std::uint32_t result = ReadHeld(buffer, n, consume);
    UnlockReader();
    return result;
}

std::uint32_t CByteRing::Generation() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_generation;
}

bool CByteRing::Consume(std::uint32_t n, std::uint32_t generation)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (generation != m_generation || n > WaitingLocked())
        return false;
    m_read = (m_read + n) % kSize;
    m_takenTotal += n;
    return true;
}

void CByteRing::Clear()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_takenTotal = m_putTotal;
    m_write = 0;
    m_read = 0;
    ++m_generation;
}

void CByteRing::Reset()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_takenTotal = m_putTotal;
    m_bytes.fill(0);
    m_write = 0;
    m_read = 0;
    ++m_generation;
}
