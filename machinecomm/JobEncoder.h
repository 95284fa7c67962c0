// The job encoder: a job (WORKHEAD with its ring of WORKLAYER, PATHREC paths
// and SEGNODE segments) turned into the body of the controller's job stream,
// with the size estimate that sizes its buffer and the frame trace command.
// Lengths are the job's millimetres, written as micrometres.
#pragma once
#include "ByteLanguage.h"
#include "StreamBuffer.h"
#include "TechReader.h"
#include "VantrelRecords.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <vector>

// Millimetres to micrometres, clamped to 32 bits (NaN gives 0). RoundHalfUp
// is trunc(v x 1000 + 0.5); RoundHalfAway rounds halves away from zero.
std::int32_t RoundHalfUp(double mm);
std::int32_t RoundHalfAway(double mm);

// EncodeJob results besides a byte count.
constexpr std::int64_t kEncodeOverflow = -1; // did not fit: retry with a larger buffer
constexpr std::int64_t kEncodeInvalid = -2;  // a work mode beyond 8: no stream for it

// The largest work mode with a start code.
constexpr std::uint32_t kWorkModeMax = 8;

// Estimate of the body's bytes, exact except for power blocks, counted as 3
// where a segment may write 6: not an upper bound. A transfer does not size
// anything by it (its parts grow as they are written). Also closes every
// open segment, path and layer list into a ring and sets each path's closed
// flag by exact equality of its last end and first start.
std::uint64_t CalcJobSize(WORKHEAD& head);

// Links an open list of the job's layers into a ring, as CalcJobSize does.
void CloseLayerRing(WORKHEAD& head);
// Links a layer's open path list into a ring, its last path given.
void CloseLayerPaths(const WORKLAYER& layer, PATHREC& last);

// Speed cap of a closed path of frame W x H (micrometres) at layer speed S
// (speed x 1000) from the technology table's rows. apply is set only when the
// table gives a limit below S: the table never raises a speed. Computed in
// 64 bits; two rows of equal frame do not apply.
struct SpeedLimit {
    bool apply = false;
    std::int32_t limit = 0;
};
SpeedLimit LookupSpeedLimit(const std::vector<SpeedLimitRow>& rows, std::int64_t w,
                            std::int64_t h, std::int64_t s);

// The closing overlap of a closed path: the first segment's start moved back
// by half the overlap (at most 5 mm) along the first side, and the last
// segment's end moved on by it along the last side (back toward the side's
// start for a negative overlap). A segment shorter than 0.001 mm takes its
// neighbour's direction; without one nothing moves.
void ExtendClosedStart(double overlap, SEGNODE& first);
void ExtendClosedEnd(double overlap, SEGNODE& last);

// The frame trace command of a job: C5 00 00, then four axis moves around
// the job's extents in the order its origin corner gives. Writes
// kFrameTraceSize bytes.
constexpr std::uint32_t kFrameTraceSize = 35;
void WriteFrameTrace(const WORKHEAD& head, std::uint8_t* out);

// The band offset each layer of a job begins with: fed every layer in ring
// order (those without output too), it gives the gap of the last band change
// since the previous layer with output, rounded to micrometres, or 0 when
// that layer writes none.
class CBandOffsets {
public:
    std::int32_t Next(const WORKHEAD& head, const WORKLAYER& layer);

private:
    bool m_started = false;
    bool m_pending = false;
    double m_gap = 0.0;
    std::uint32_t m_band = 0;
};

// What is in force on the controller where a piece of a layer ends and the
// next begins: the grey power the last C2 set and whether a speed cap is.
struct PieceCarry {
    std::int32_t power = 0;
    bool capped = false;
};

// Paths per piece of a long layer: enough for a piece's bytes to start in a
// huge-page block, few enough for the pieces to spread over the processors.
constexpr std::size_t kPiecePaths = 32768;

// A layer's paths in list order, in the pieces it is encoded in. A piece
// is cut only where no array bracket is open, since the bracket's opening
// reads the paths after it, which the piece after might be writing back to.
// A deque: a piece stays where it is while later ones are added.
struct LayerPaths {
    std::deque<std::vector<PATHREC*>> pieces;
};

// Walks the layer's list (open or a ring) into pieces of at least
// piecePaths paths (one, maybe empty, for a short list). ready(k, last) is
// called as soon as piece k is complete, while the walk goes on, so that
// it can be encoded meanwhile; last is set on the final piece. False when
// memory runs out (pieces reported ready stay valid).
bool CollectLayerPaths(const WORKLAYER& layer, std::size_t piecePaths, LayerPaths& out,
                       const std::function<void(std::size_t, bool)>& ready = {});

class CJobEncoder {
public:
    CJobEncoder() = default;
    CJobEncoder(const CJobEncoder&) = delete;
    CJobEncoder& operator=(const CJobEncoder&) = delete;

    // Writes the body of the job into out, never more than capacity bytes:
    // the header block when header is set, every layer with output, and the
    // end bytes D0 E3 02 00 00 when end is set. Returns the byte count,
    // kEncodeOverflow as soon as after a path more than capacity - 10,240
    // bytes are written or a write would pass capacity (the moved starts are
    // then put back, so a retry encodes the same job), or kEncodeInvalid.
    // Speed caps come from limits when it is enabled.
    //
    // Writes back into the job: path closed flags, segment grey levels
    // capped at 255 and the moved start of each closed path's first segment.
    std::int64_t Encode(WORKHEAD& head, std::uint8_t* out, bool header, bool end,
                        std::int64_t capacity, const SpeedLimitTable& limits);

    // The same body in pieces, each written into memory of the encoder's own
    // that grows as it needs, so that no estimate is needed and the layers of
    // a job can be encoded side by side: every layer's bytes depend on that
    // layer alone (power, speed cap and position start afresh in each).
    // False when memory runs out.
    //
    // EncodeLayer also does for the layer's lists what CalcJobSize does
    // (closes them into rings, sets the closed flags by exact equality), path
    // by path just before encoding it, which leaves the job and the bytes as
    // CalcJobSize followed by Encode do. bandOffset comes from CBandOffsets.
    // front bytes are kept free in the memory before the layer's bytes, for
    // whatever is to precede them: the part can become the whole stream
    // without being copied.
    bool EncodeHeader(const WORKHEAD& head);
    bool EncodeLayer(const WORKHEAD& head, WORKLAYER& layer, std::int32_t bandOffset,
                     const SpeedLimitTable& limits, std::size_t front = 0);
    bool EncodeEnd();
    // Paths of a layer in list order as one piece of it, closing their
    // segment lists (not the path list). The opening piece writes what
    // precedes the paths, the closing one what follows them. A later piece
    // cannot know the power and speed cap in force where it starts: it
    // writes the blocks that depend on them, and Settle drops those the
    // pieces before it made superfluous, so that the joined pieces are the
    // bytes of the layer encoded whole.
    bool EncodeLayerPiece(const WORKHEAD& head, const WORKLAYER& layer, std::int32_t bandOffset,
                          const SpeedLimitTable& limits, PATHREC* const* paths, std::size_t count,
                          bool opens, bool closes, std::size_t front = 0);
    // carry: in force before the piece on entry, after it on return.
    void Settle(PieceCarry& carry);
    const std::uint8_t* Data() const { return m_out; }
    std::int64_t Size() const { return m_pos; }
    // The memory of the part, its bytes after the front ones; taking it
    // leaves the encoder without a part.
    CStreamBuffer& Memory() { return m_own; }
    // Puts back the starts that closed paths had before the last encoding.
    void RestoreStarts();

private:
    struct SavedStart {
        SEGNODE* seg;
        double x0;
        double y0;
    };

    void Begin(std::uint8_t* out, std::int64_t capacity);
    void BeginGrowing(std::size_t front);
    bool Grow(std::int64_t need);
    bool Room(std::int64_t n)
    {
        if (m_pos + n > m_capacity && !(m_growing && Grow(m_pos + n)))
            m_overflow = true;
        return !m_overflow;
    }
    void Put(std::uint8_t b) { m_out[m_pos++] = b; }
    void Put(std::initializer_list<std::uint8_t> bytes)
    {
        for (std::uint8_t b : bytes)
            m_out[m_pos++] = b;
    }
    void Put2(std::int32_t v)
    {
        PutNum2(m_out + m_pos, v);
        m_pos += 2;
    }
    void Put5(std::int32_t v)
    {
        PutNum5(m_out + m_pos, v);
        m_pos += 5;
    }
    void Command5(std::uint8_t a, std::uint8_t b, std::int32_t v)
    {
        if (!Room(7))
            return;
        Put(a);
        Put(b);
        Put5(v);
    }

    void WriteHeader(const WORKHEAD& head);
    bool WriteLayer(const WORKHEAD& head, const WORKLAYER& layer, std::int32_t bandOffset,
                    const SpeedLimitTable& limits, std::int64_t limit);
    void WriteLayerOpening(const WORKLAYER& layer, std::int32_t bandOffset);
    void WriteLayerClosing(const WORKLAYER& layer);
    void Drop(std::int64_t at, std::int64_t n);
    void WriteLayerHeader(const WORKLAYER& layer);
    void WritePower(std::uint8_t command, std::int32_t value);
    void WriteSegment(bool cut, SEGNODE& seg, double tx, double ty);
    void WriteArrayOpening(const PATHREC& path, const PATHREC* firstPath);
    void WritePath(const WORKHEAD& head, const WORKLAYER& layer, PATHREC& path,
                   const SpeedLimitTable& limits);
    void WriteCutPath(const WORKHEAD& head, const WORKLAYER& layer, PATHREC& path,
                      const SpeedLimitTable& limits);

    std::uint8_t* m_out = nullptr;
    std::int64_t m_pos = 0;
    std::int64_t m_capacity = 0;
    bool m_overflow = false;
    bool m_growing = false;            // m_out is m_own and grows instead of overflowing
    CStreamBuffer m_own;
    std::size_t m_front = 0;           // bytes of m_own kept free before m_out
    std::int32_t m_power = 0;          // the controller's current power after the last block
    std::int64_t m_afterC1 = -1;       // position just past the last C1 block written
    double m_curX = 0.0;               // the head's position after what was written
    double m_curY = 0.0;
    bool m_speedOverride = false;      // a C5 03 cap is in force on this layer
    std::vector<SavedStart> m_saved;   // closed paths' starts as found, for an overflow
    // A piece after a layer's first starts with m_power and m_speedOverride
    // unknown; the first block that depends on each is written and noted.
    bool m_powerKnown = true;
    bool m_capKnown = true;
    std::int64_t m_looseC1 = -1;       // a C1 block the power before the piece may make superfluous
    std::int32_t m_looseC1Value = 0;
    std::int64_t m_looseCapOff = -1;   // a C5 03 0 block, superfluous where no cap was in force
};

// The body of a job as the transfer encodes it: the technology table of the
// named machine is read first (origin corner is not used).
std::int64_t EncodeJob(WORKHEAD& head, std::uint8_t* out, bool header, bool end,
                       std::int64_t capacity, std::uint8_t originCorner, const char* machineName);
