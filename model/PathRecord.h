// Output path records: building, linking, copying and freeing chains of
// PATHREC, their segment rings and group brackets. The records themselves are
// declared with the communication library, which reads them by pointer.
#pragma once
#include "NodeList.h"
#include "machinecomm/VantrelRecords.h"

#include <cstdint>

// New path record from an anchor-only node list: one point gives a dot (kind
// 1, one zero-length segment), two or more a path (kind 0) whose segments form
// a ring and whose closed flag is set when the ends lie within 0.001. The node
// kinds are not looked at. Null list, null record.
PATHREC* BuildPathRecord(const DOCNODE* points, std::uint16_t subkind);

// Appends a record and every record linked after it to a chain, given by its
// head and tail. An empty chain takes the appended chain as it is (it is not
// cut after its first record). The tail ends on the last record and the chain
// ends with a null next link. A null record or a missing head reference does
// nothing.
void AppendPathRecord(PATHREC** ppHead, PATHREC** ppTail, PATHREC* pRec);

// Adds a straight lead line: a lead-in from (x, y) to the start of the first
// segment, which becomes the path's first segment, or a lead-out from the end
// of the last segment to (x, y). Recomputes the closed flag; bounds stay.
// False, and nothing changed, when the path has no segments.
bool AddLeadSegment(PATHREC* pPath, bool bLeadIn, double x, double y);

// Deep copy of a record chain. Segment rings are copied; array records are
// not (the copies' array pointers are null). A chain closed into a ring gives
// a ring. Null in, null out.
PATHREC* CopyPathRecord(const PATHREC* pHead);

// Copy of a segment chain from `first` along next links, up to a null link or
// back at the first; closed into a ring when the source is one.
SEGNODE* CopySegmentRing(const SEGNODE* pFirst);

// Frees every segment of a ring or open chain; leaves null.
void FreeSegmentRing(SEGNODE*& pFirst);

// Frees every record of a chain (cutting a ring open first), with its
// segments and its array record; leaves null.
void FreePathRecordList(PATHREC*& pHead);

class PathRecordBin;
// Frees one record (not its neighbours) with its segments and array record
// into `bin`, for callers that free many records side by side.
void FreePathRecord(PATHREC* p, PathRecordBin& bin);

// Group bounds of an opening bracket over the records it encloses (nested
// groups included). Without `bWithArrays` the four bounds grow by the box of
// the enclosed segments; with it, that box is widened by the array copies
// (rows and row pitch along y, columns and column pitch along x, in the
// stored direction). Returns the closing bracket, so that a walker goes on
// after it. A record that is not an opening bracket changes nothing and is
// returned itself.
PATHREC* GetGroupBoundRect(PATHREC* pBracket, double& xmin, double& xmax, double& ymin, double& ymax,
                           bool bWithArrays);
