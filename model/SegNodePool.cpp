// The one allocator of output path segments and path records. A raster scan
// makes a segment per run of pixels, easily ten million for one image, and a
// drawing of a million lines a path record per line; they come from record
// pools (see platform/RecordPool.h).
#include "SegNodePool.h"

#include "machinecomm/VantrelRecords.h"
#include "platform/RecordPool.h"

#include <algorithm>
#include <type_traits>

// The bin gives records back without running a destructor.
static_assert(std::is_trivially_destructible_v<SEGNODE> && std::is_trivially_destructible_v<PATHREC>);

namespace {

thread_local PathRecordStock* t_stock = nullptr;

} // namespace

#if BRENVIK_RECORD_POOL

namespace {

// Blocks of 16 MiB, about 233,000 segments or 190,000 records each.
using SegmentPool = plat::RecordPool<sizeof(SEGNODE), alignof(SEGNODE), 8 * plat::kLargeBlockGranule>;
using RecordPool = plat::RecordPool<sizeof(PATHREC), alignof(PATHREC), 8 * plat::kLargeBlockGranule>;

// Never destroyed: records may still be freed while static objects go.
SegmentPool& Segments()
{
    static SegmentPool* pool = new SegmentPool;
    return *pool;
}

RecordPool& Records()
{
    static RecordPool* pool = new RecordPool;
    return *pool;
}

template <typename Pool>
void* TakeFrom(Pool& pool, void** slots, std::size_t& left, std::size_t batch)
{
    if (left == 0) {
        pool.TakeMany(slots, batch);
        // Handed out from the back: the first taken, usually the lowest
        // address, goes first.
        std::reverse(slots, slots + batch);
        left = batch;
    }
    return slots[--left];
}

} // namespace

PathRecordStock::~PathRecordStock()
{
    t_stock = m_outer;
    if (m_segmentsLeft != 0)
        Segments().GiveMany(m_segments, m_segmentsLeft);
    if (m_recordsLeft != 0)
        Records().GiveMany(m_records, m_recordsLeft);
}

void* PathRecordStock::TakeSegment()
{
    return TakeFrom(Segments(), m_segments, m_segmentsLeft, kBatch);
}

void* PathRecordStock::TakeRecord()
{
    return TakeFrom(Records(), m_records, m_recordsLeft, kBatch);
}

PathRecordBin::~PathRecordBin()
{
    if (m_segmentCount != 0)
        Segments().GiveMany(m_segments, m_segmentCount);
    if (m_recordCount != 0)
        Records().GiveMany(m_records, m_recordCount);
}

void PathRecordBin::Free(SEGNODE* segment)
{
    if (segment == nullptr)
        return;
    m_segments[m_segmentCount++] = segment;
    if (m_segmentCount == kBatch) {
        Segments().GiveMany(m_segments, kBatch);
        m_segmentCount = 0;
    }
}

void PathRecordBin::Free(PATHREC* record)
{
    if (record == nullptr)
        return;
    m_records[m_recordCount++] = record;
    if (m_recordCount == kBatch) {
        Records().GiveMany(m_records, kBatch);
        m_recordCount = 0;
    }
}

// Nothing derives from SEGNODE or PATHREC, so every request is one record.
void* SEGNODE::operator new(std::size_t)
{
    if (PathRecordStock* stock = t_stock)
        return stock->TakeSegment();
    return Segments().Take();
}

void SEGNODE::operator delete(void* p) noexcept
{
    if (p != nullptr)
        Segments().Give(p);
}

void* PATHREC::operator new(std::size_t)
{
    if (PathRecordStock* stock = t_stock)
        return stock->TakeRecord();
    return Records().Take();
}

void PATHREC::operator delete(void* p) noexcept
{
    if (p != nullptr)
        Records().Give(p);
}

#else

// Builds that check memory take every record from the heap.
PathRecordStock::~PathRecordStock()
{
    t_stock = m_outer;
}

PathRecordBin::~PathRecordBin() = default;

void PathRecordBin::Free(SEGNODE* segment)
{
    delete segment;
}

void PathRecordBin::Free(PATHREC* record)
{
    delete record;
}

void* PathRecordStock::TakeSegment()
{
    return ::operator new(sizeof(SEGNODE));
}

void* PathRecordStock::TakeRecord()
{
    return ::operator new(sizeof(PATHREC));
}

void* SEGNODE::operator new(std::size_t size)
{
    return ::operator new(size);
}

void SEGNODE::operator delete(void* p) noexcept
{
    ::operator delete(p);
}

void* PATHREC::operator new(std::size_t size)
{
    return ::operator new(size);
}

void PATHREC::operator delete(void* p) noexcept
{
    ::operator delete(p);
}

#endif

PathRecordStock::PathRecordStock() : m_outer(t_stock)
{
    t_stock = this;
}
