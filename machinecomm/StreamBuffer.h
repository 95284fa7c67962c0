// Memory for the bytes of a job stream. Small amounts come from the heap;
// large ones are huge-page blocks taken from the platform's scratch blocks
// and given back to them, so that filling tens of megabytes costs a handful
// of page faults instead of one per 4 KiB, and the next job of that size
// reuses the block without any. Contents are undefined until written.
#pragma once
#include <cstddef>
#include <cstdint>

class CStreamBuffer {
public:
    CStreamBuffer() = default;
    CStreamBuffer(const CStreamBuffer&) = delete;
    CStreamBuffer& operator=(const CStreamBuffer&) = delete;
    ~CStreamBuffer() { Release(); }

    // Room for at least bytes, of which the first keep are carried over.
    // False when the memory cannot be had; the old block then stays.
    bool Reserve(std::size_t bytes, std::size_t keep);
    void Release();
    void Swap(CStreamBuffer& other) noexcept;

    std::uint8_t* Data() const { return m_data; }
    std::size_t Capacity() const { return m_capacity; }

private:
    std::uint8_t* m_data = nullptr;
    std::size_t m_capacity = 0;
    bool m_large = false; // a scratch block, else the heap's
};
