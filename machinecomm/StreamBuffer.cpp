#include "StreamBuffer.h"

#include "platform/LargeBlock.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

// From here on a huge-page block: below it the granule's rounding would
// waste more than the faults cost.
constexpr std::size_t kLargeFrom = std::size_t{1} << 20;

} // namespace

bool CStreamBuffer::Reserve(std::size_t bytes, std::size_t keep)
{
    if (bytes <= m_capacity)
        return true;
    std::uint8_t* data = nullptr;
    std::size_t capacity = bytes;
    bool large = false;
    if (bytes < kLargeFrom) {
        if (!m_large) {
            // The heap may grow the block in place.
            data = static_cast<std::uint8_t*>(std::realloc(m_data, bytes));
            if (data == nullptr)
                return false;
            m_data = data;
            m_capacity = bytes;
            return true;
        }
        data = static_cast<std::uint8_t*>(std::malloc(bytes));
    } else {
        const std::size_t granule = plat::kLargeBlockGranule;
        capacity = (bytes + granule - 1) / granule * granule;
        data = static_cast<std::uint8_t*>(plat::TakeScratchBlock(capacity));
        large = true;
    }
    if (data == nullptr)
        return false;
    if (keep > 0 && m_data != nullptr)
        std::memcpy(data, m_data, keep < m_capacity ? keep : m_capacity);
    Release();
    m_data = data;
    m_capacity = capacity;
    m_large = large;
    return true;
}

void CStreamBuffer::Swap(CStreamBuffer& other) noexcept
{
    std::swap(m_data, other.m_data);
    std::swap(m_capacity, other.m_capacity);
    std::swap(m_large, other.m_large);
}

void CStreamBuffer::Release()
{
    if (m_large)
        plat::GiveScratchBlock(m_data, m_capacity);
    else
        std::free(m_data);
    m_data = nullptr;
    m_capacity = 0;
    m_large = false;
}
