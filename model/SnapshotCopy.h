// A copy of a document's current snapshot made a slice at a time, so that
// the interface thread that makes it goes on between slices (long work is
// then done on the copy). Every change of the drawing moves the context's
// change count first; when the count or the current snapshot has moved
// between two slices, the copy starts again.
#pragma once
#include <cstddef>
#include <cstdint>

class CDocData;
class CDocListNode;
struct DOCCONTEXT;

class CSnapshotCopy {
public:
    explicit CSnapshotCopy(const DOCCONTEXT& ctx);
    ~CSnapshotCopy();
    CSnapshotCopy(const CSnapshotCopy&) = delete;
    CSnapshotCopy& operator=(const CSnapshotCopy&) = delete;

    // Copies up to `objects` more objects; true once the copy is whole.
    bool Step(std::size_t objects);
    // Objects copied and in all, as far as known.
    std::size_t Copied() const { return m_copied; }
    std::size_t Total() const { return m_total; }
    // The whole copy (null before), the caller's.
    CDocListNode* Take();

private:
    // Counting an object costs a small part of copying it.
    static constexpr std::size_t kCountsPerCopy = 8;

    void Restart();

    const DOCCONTEXT& m_ctx;
    const CDocListNode* m_source = nullptr;
    std::uint64_t m_changes = 0;
    CDocListNode* m_copy = nullptr;
    const CDocData* m_next = nullptr;
    const CDocData* m_counting = nullptr;
    CDocData* m_tail = nullptr;
    std::size_t m_copied = 0;
    std::size_t m_total = 0;
    bool m_whole = false;
};
