// Large-job banding. A job longer than the machine works at once is split
// along y into bands, each its own set of layers numbered in working order:
// the machine works one band, feeds the material on by the gap to the next
// and works that. Before the document becomes a job, every object is
// grouped with the objects lying inside it (or around it), so that a
// contour and its holes are not parted when their joint height fits a band.
//
// Document lengths are world units (0.1 mm), job lengths millimetres. The
// class holds nothing; every operation is static.
#pragma once
#include "machinecomm/VantrelRecords.h"
#include "model/GeoBox.h"

#include <cstddef>
#include <cstdint>

class CDocData;
struct DOCCONTEXT;
struct SPLITFEED;

// The most bands one job is split into: a job that would need more is
// refused instead of being turned into that many layers.
constexpr std::uint32_t kMaxBands = 10000;

// Arrays nested in arrayed groups multiply. Expanding the document's arrays
// adds at most this many objects; an array whose copies would go beyond it
// stays an array record. Turning the rows of a job's arrayed group into
// real copies, so that a band line can cut them, adds at most this many
// segments to one job, or the banding is refused.
constexpr std::size_t kMaxExpandedObjects = 1'000'000;
constexpr std::size_t kMaxRowCopySegments = 16'000'000;

class CBigFileExc {
public:
    virtual ~CBigFileExc() = default;

    // True when the record switches banding on with a band length of at
    // least 0.001 mm and a margin of 0 or more, all of them numbers; any
    // other record leaves the job in one piece.
    static bool BandingOn(const SPLITFEED* split);

    // Containment grouping of an object list with the band length of the
    // context's split-feed record. With `expand`, every array of copies is
    // first turned into real objects (arrays inside groups first) and every
    // group dissolved (UngroupAll). Then, for each object A in list order and
    // each later object B on A's layer, in list order: when B lies inside A
    // or A inside B (IsInside) and their joint height (GetObjectExtent) is
    // below the band length, B joins A: the first time A and B become the
    // children of a new group in A's place, afterwards B is appended to that
    // group; the walk goes on with the group as A and with the objects after
    // B. False, with nothing done, for an empty list, a missing context or a
    // record that does not switch banding on (BandingOn).
    static bool GroupContainedObjects(DOCCONTEXT* ctx, CDocData*& objects, bool expand);

    // True when some part of `inner` lies inside `outer`, both on one layer:
    // a group or text `inner` when one of its children does; otherwise its
    // first node lies within the polygon of the nodes (control points
    // included) of `outer`, or of one of the children of a group or text
    // `outer`. On the outline counts as inside; a point outside the nodes'
    // box, and a polygon of fewer than three nodes, contain nothing.
    static bool IsInside(const CDocData* outer, const CDocData* inner);

    // The object's box; a group or text the union of its children's.
    static CGeoBox GetObjectExtent(const CDocData* object);

    // Splits the job into bands of the record's length (mm) along y, from
    // the side the origin corner and the record's direction byte name. Each
    // band has its group brackets removed (those repeating their members as
    // an array stay), lies on the band line (GetBandOffset), and carries its
    // number and the gap from the previous band's line on each layer; every
    // band moves along x by the gaps so far times `ratio`. The header's
    // layers become the bands' layers in band order, closed into a ring.
    // The paths are measured by their stored extents, as
    // RecalcPathBoundRects leaves them, and every step keeps them up to
    // date. Nothing for a job without layers or a record without usable
    // banding (BandingOn). False, with every layer still in the header's list, when
    // the job would need more than kMaxBands bands or more row copies than
    // kMaxRowCopySegments allows.
    static bool SplitIntoBands(WORKHEAD* header, const SPLITFEED* split, double ratio);

    // One band from the line: from `line` up to line + length, or down to
    // line - length with `down`, the paths' extents recomputed first. A path (a group bracket with its members as
    // one) that ends before the band's far end plus the margin moves into the
    // band whole; one reaching past it from within the margin of the line is
    // cut at y = line -/+ margin and at the far end plus the margin, the
    // pieces inside moving into the band. Cut pieces are divided where their
    // segments do not meet within 1e-5. A layer that gave any path is copied,
    // all fields, for the band; a layer left empty is freed. Returns the
    // band's layers as a ring, or null; `refused` is set when the rows of an
    // arrayed group would have needed more than kMaxRowCopySegments segments
    // (that group then stays whole where it was).
    static WORKLAYER* TakeBand(WORKLAYER*& layers, double line, double length, bool down, double margin,
                               bool& refused);

    // Where a band's paths are put: returns the band line (+length, -length
    // or 0) for an origin corner, a positioning point and the direction
    // byte; `lowSide` tells whether the band's lowest minimum (set) or its
    // highest maximum goes onto the line.
    static double GetBandOffset(int corner, int position, int direction, double length, bool& lowSide);

    // Lays the bands one after the other for a preview: from band 0 up, the
    // gap of each band's first layer (when 0.001 or more; negative for
    // corners other than 0 and 1) is taken off the y of every path of that
    // band and of the bands after it.
    static void StackBands(WORKLAYER* layers, int corner);
};
