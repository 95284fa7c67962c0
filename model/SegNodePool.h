// Segments and path records for code that makes them by the million on
// several threads at once.
#pragma once
#include <cstddef>

struct SEGNODE;
struct PATHREC;

// While one lives on a thread, the segments and path records that thread
// makes with new come from batches taken under one pool lock each instead
// of one lock per record, so that threads building paths side by side do
// not queue for the lock. Those it handed out are freed like any other;
// those it still holds go back when it ends. Stocks nest: the innermost
// one serves.
class PathRecordStock {
public:
    PathRecordStock();
    ~PathRecordStock();
    PathRecordStock(const PathRecordStock&) = delete;
    PathRecordStock& operator=(const PathRecordStock&) = delete;

    // The memory of one segment or record (the operators new of the two).
    void* TakeSegment();
    void* TakeRecord();

private:
    static constexpr std::size_t kBatch = 256;
    void* m_segments[kBatch];
    void* m_records[kBatch];
    std::size_t m_segmentsLeft = 0; // slots [0, left) not handed out yet
    std::size_t m_recordsLeft = 0;
    PathRecordStock* m_outer = nullptr;
};

// Segments and path records being freed by the million: they go back to
// their pools in batches, under one lock each instead of one per record.
// Only the records themselves go: what they point to stays. Those still
// held go when it ends.
class PathRecordBin {
public:
    PathRecordBin() = default;
    ~PathRecordBin();
    PathRecordBin(const PathRecordBin&) = delete;
    PathRecordBin& operator=(const PathRecordBin&) = delete;

    void Free(SEGNODE* segment);
    void Free(PATHREC* record);

private:
    static constexpr std::size_t kBatch = 256;
    void* m_segments[kBatch];
    void* m_records[kBatch];
    std::size_t m_segmentCount = 0;
    std::size_t m_recordCount = 0;
};
