// A document's content at one moment: the object list and the document-wide
// settings records. The edit context keeps a chain of these as its undo
// history; the current node is the live document.
#pragma once
#include "GeoBox.h"
#include "machinecomm/VantrelRecords.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

class CDocData;

// Feed repeat of the output page (null on a snapshot = off).
struct FEEDREPEAT {
    std::int32_t m_nCount = 0;   // feed count
    double m_dLength = 0.0;      // feed length, mm
    std::int32_t m_nDelayMs = 0; // delay after feeding, ms
};

// A feed delay as the job carries it to the controller: whole seconds, the
// nearest (halves away from zero), so 2500 ms go as 3.
inline std::int32_t FeedDelaySeconds(std::int32_t ms)
{
    return static_cast<std::int32_t>(std::lround(ms / 1000.0));
}

// Split feed (banding) of the output page (null or off on a snapshot = no
// banding). Margin and direction hold what the page gives a new record.
struct SPLITFEED {
    std::uint8_t m_bOn = 0;
    double m_dDistance = 0.0; // band length, mm
    double m_dMargin = 0.1;   // mm
    std::uint8_t m_nDirection = 1;
};

class CDocListNode {
public:
    CDocListNode() = default;
    // Snapshot: own copies of the settings records the source has, and a deep
    // copy of its whole object list; the history links stay null.
    CDocListNode(const CDocListNode& source);
    CDocListNode& operator=(const CDocListNode&) = delete;
    // Own copies of the settings records the source has, in place of none
    // (a copy whose objects are added by the caller).
    void CopyRecordsFrom(const CDocListNode& source);
    // Frees the records and the object list; never the history neighbours.
    ~CDocListNode();

    // Mode 0: union of every object's box; mode 1: of the objects whose
    // output switch is on; other modes: the empty box.
    CGeoBox GetObjectsRect(CGeoBox& box, int mode) const;
    // Union of every object's box, starting from the first object's box.
    CGeoBox GetAllObjectsRect(CGeoBox& box) const;
    // Some object with its output switch on has more than one array copy.
    bool HasArrayCopies() const;
    // Selected objects on a layer; a negative layer counts all layers.
    std::uint32_t CountSelected(std::int32_t layer) const;

    ARRAYREC* m_pArray = nullptr;
    FEEDREPEAT* m_pFeed = nullptr;
    SPLITFEED* m_pSplit = nullptr;
    CDocData* m_pFirst = nullptr;
    CDocListNode* m_pOlder = nullptr;
    CDocListNode* m_pNewer = nullptr;
    // Bytes the undo history counts for this snapshot, measured when the
    // history made it; 0 until then (a copy does not take it over).
    std::size_t m_nBytes = 0;
};

// New list of copies of the given objects, each made by its class's copy
// constructor as told by its type id, chained in source order. With
// `wholeList` false only the first object is copied. A NURBS object yields a
// new empty one; ids without a class are skipped. Null in, null out.
CDocData* CloneDocData(const CDocData* first, bool wholeList);

namespace plat {
// Copy function for one type id, as CloneDocData calls it.
using DocDataCopier = CDocData* (*)(const CDocData& source);
// Lets tests and benchmarks stand in a class for a type id that has none yet;
// returns the copier it replaced.
DocDataCopier SetDocDataCopierForTesting(std::uint32_t type, DocDataCopier copier);
} // namespace plat
