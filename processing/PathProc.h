// Curve operations on drawing objects that the importers, the editing
// commands and the curve smoothing share. The class holds nothing; every
// operation is static.
#pragma once
#include "machinecomm/VantrelRecords.h"
#include "model/GeoBox.h"
#include "model/BitmapScan.h"
#include "settings/ShowProcess.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct BARRIERPARAMS;
class CDocData;
struct CARVEREPAIR;
struct CUTREPAIR;
struct DOCCONTEXT;
struct DOCNODE;
struct WORKLAYER;
struct WorkParams;
class PathRecordBin;

// Pieces one object may be cut into: beyond this the lengths are far below
// anything a machine can cut and the pieces would not fit in memory.
constexpr std::size_t kMaxDashPieces = 4000000;

class CPathProc {
public:
    // Uniting open curves: every open curve (two or more nodes, not closed,
    // a polyline, rectangle, ellipse, Bezier or NURBS object) is joined with
    // the later open curves of the same layer whose ends lie within the join
    // distance tol x 10 of its ends (strictly, in x and in y). For each
    // curve in list order, four phases run in turn, each until it finds
    // nothing: its end to a later start, its end to a later end (that piece
    // reversed), its start to a later end, its start to a later start (that
    // piece reversed); each phase takes the earliest such piece of the list.
    // A polyline keeps both nodes at a joint, a Bezier path keeps the anchor
    // of the curve in hand. With `deleteCrossings`, joints of polylines are
    // trimmed (TrimJoint). Nothing for an empty list or tol below 1e-7.
    static void UniteCurves(CDocData*& list, double tol, std::uint8_t deleteCrossings, DOCCONTEXT* ctx);
    // The same, handing every object to `prepare` first, in list order and
    // before anything is joined, on the walk that takes its ends (also when
    // nothing is joined): a caller with work of its own on every object
    // saves a walk over a long list. `prepare` may change an object's
    // nodes and marks, not the list.
    static void UniteCurves(CDocData*& list, double tol, std::uint8_t deleteCrossings, DOCCONTEXT* ctx,
                            const std::function<void(CDocData*)>& prepare);
    // The same as the first, for a list whose objects the caller also holds
    // one by one, in list order: their ends are taken in pieces side by side.
    static void UniteCurves(CDocData*& list, double tol, std::uint8_t deleteCrossings, DOCCONTEXT* ctx,
                            const std::vector<CDocData*>& objects);

    // When one object is a Bezier path and the other a polyline, the
    // polyline becomes a Bezier path; any other pair stays as it is.
    static void MatchCurveTypes(CDocData*& a, CDocData*& b, DOCCONTEXT* ctx);

    // Replaces each polyline of the list (or only the first object) by a
    // Bezier path through the same anchors, with every control on its
    // anchor. The new object takes layer, colour, selection, output switch,
    // closed flag and list place of the polyline, which is destroyed.
    static void LineToBezier(CDocData*& list, DOCCONTEXT* ctx, std::uint8_t firstOnly);

    // Replaces each Bezier path of the list itself (groups and texts are not
    // entered) whose control nodes all lie within 0.001 of their anchors by
    // a polyline through the anchors, built as the node-list constructor
    // builds one. The polyline takes the path's place in the list (the head
    // moves to it when the path was first), its layer, colour, selection and
    // output switch, and its lead, end-gap and array records; the path is
    // destroyed. A path with any real control node stays as it is.
    static void BezierToPolyline(CDocData*& list, DOCCONTEXT* ctx);

    // Reverses the node order of the curve kinds that have one.
    static void ReverseCurve(CDocData* object);

    // The delete-crossings treatment where polyline a's last node meets b's
    // first node, with the join distance t: the first crossing of the two
    // near the joint cuts both there; without one, an end that turns back
    // sharply (more than pi/2) is shortened by t.
    static void TrimJoint(CDocData* a, CDocData* b, double t);

    // Node reduction of the selected top-level objects: polylines and the
    // children of groups (ReduceNodesInGroup), with the length limit (world
    // units) and the angle limit (radians), then their boxes. Drives the
    // progress display once per selected object. Nothing when the
    // selection box is empty or the length limit is below 0.001.
    static void ReduceNodes(DOCCONTEXT* ctx, double length, double angle);

    // ReduceNodes for a caller that walks the document's objects anyway:
    // Start where ReduceNodes would begin (false: it would reduce nothing),
    // then Take every top-level object in list order.
    class NodeReduction {
    public:
        NodeReduction(double length, double angle) : m_dLength(length), m_dAngle(angle) {}
        bool Start(DOCCONTEXT* ctx);
        void Take(CDocData* o, DOCCONTEXT* ctx);
        // Take in two halves, for objects taken side by side: Reduce does an
        // object's work (each its own) and tells whether Take would step the
        // progress control, which Step does (on the control's thread).
        bool Reduce(CDocData* o, DOCCONTEXT* ctx);
        void Step() { m_progress.Step(); }

    private:
        double m_dLength;
        double m_dAngle;
        CShowProcess m_progress;
    };

    // Node reduction of every child of a group, nested groups included;
    // points and images are left alone. The boxes are left to the caller.
    static void ReduceNodesInGroup(CDocData* group, double length, double angle);

    // Collapses every run of segments that starts at a kept node, whose
    // length stays below `length` and whose accumulated turn stays below
    // `angle` into one segment, keeping the run's start and end positions.
    // A run that reaches the end of the list collapses onto the last
    // position. Lists holding control nodes (Bezier outlines) are left as
    // they are, since dropping nodes there would break their segments.
    static void ReduceNodesInList(DOCNODE* list, double length, double angle);

    // Curve smoothing of the selected top-level polylines (groups and texts
    // are not entered): each gets the node list of SmoothPolyline when that
    // gives one, and its new box; the closed flag stays. The selection box
    // becomes the union of the changed objects' boxes. True when at least
    // one object changed.
    static bool SmoothCurves(DOCCONTEXT* ctx, std::int32_t steps, double tol);

    // A cubic Hermite curve through every node (after merging nodes closer
    // than 1e-5), sampled at t = 0, 1/steps, ..., 1 on every segment. A
    // sample is kept when it lies within tol of the segment and strictly
    // inside the segment's box grown by tol; a joint is sampled as the end
    // of one segment and the start of the next, so it occurs twice. The
    // last node lands exactly on the last input node. New list, or null for
    // fewer than three nodes, fewer than one step, or no sample kept.
    static DOCNODE* SmoothPolyline(DOCNODE* nodes, std::int32_t steps, double tol);

    // Curve fitting of the selected top-level objects: groups and texts
    // through FitGroup, every other object through FitPolyline, then its
    // box; the selection box becomes the union of their boxes. Drives the
    // progress display once per selected object.
    static void FitCurves(DOCCONTEXT* ctx);

    // Replaces a polyline's nodes by its smooth runs splined (order 5) and
    // thinned (2.0, 80 degrees), with corners, short segments and straight
    // stretches kept one segment at a time. Other kinds stay as they are.
    static void FitPolyline(CDocData* object);

    // FitPolyline on every child of a group or text, nested ones included;
    // points and images are passed over.
    static void FitGroup(CDocData* group);

    // Takes the run of smooth turns (at least 1 and at most 65 degrees,
    // segments at least minLength long) from the front of the list. The run
    // N0 .. Nk ends at the segment before the first turn that is not smooth;
    // it is returned as control nodes with N0 three times and N(k+1) three
    // times at its end, and the list continues at N(k+1). When the rest is
    // smooth to its end the whole list is the run (ends tripled) and the list
    // becomes empty. A run stopping at N0 or N1 is no run: null, found
    // cleared, list unchanged.
    static DOCNODE* TakeSmoothRun(DOCNODE*& list, double minLength, bool& found);

    // Dashed lines: every selected top-level object with a node copy is
    // replaced in the document list by the pieces of DashObject, in its
    // place and order. Drives the progress display once per selected
    // object. False, with nothing changed, when the solid length is not
    // above 0, the gap is below 0, or either is not finite; otherwise true
    // when at least one object was replaced.
    static bool MakeDashedLines(DOCCONTEXT* ctx, double solid, double gap);

    // Cuts the outline (CopyNodes: anchors only, curves flattened) from its
    // first node into solid pieces of length `solid` separated by gaps of
    // length `gap`; the last piece ends where the outline ends. Each piece is
    // a new selected polyline with the object's layer and colour. Head of
    // the chain, or null when there is no outline, the lengths are invalid
    // or the outline would give more than kMaxDashPieces pieces.
    static CDocData* DashObject(CDocData* object, double solid, double gap, DOCCONTEXT* ctx);

    // Raster engraving scans. The scans live with the image objects that
    // call them (model/BitmapScan.h); these forward to them unchanged.
    static PATHREC* ScanBitmapFile(const std::string& path, const WorkParams& params, int originCorner,
                                   int posPoint, std::uint8_t imageFlag);
    static PATHREC* ScanBitmap(const std::uint8_t* bmp, std::size_t size, double spacing, int style,
                               std::uint16_t powerFlag, int posPoint);
    static SegmentChain ScanRowForward(const std::uint8_t* pixels, std::size_t count, double fixed,
                                       std::uint16_t powerFlag);
    static SegmentChain ScanRowBackward(const std::uint8_t* pixels, std::size_t count, double fixed,
                                        std::uint16_t powerFlag);
    static SegmentChain ScanColumnUp(const std::uint8_t* pixels, std::size_t count, std::size_t stride,
                                     double fixed, std::uint16_t powerFlag);
    static SegmentChain ScanColumnDown(const std::uint8_t* pixels, std::size_t count, std::size_t stride,
                                       double fixed, std::uint16_t powerFlag);
    static void InvertPixels(std::uint8_t* pixels, int width, int height);
    static void MakeSlope(std::uint8_t* pixels, int width, int height, int levels);
    static void FixSinglePixels(SegmentChain& list, bool remove, double length, bool rowMode, bool forward);

    // Carve repair of two-way scans: every layer whose mode is 2 (scan) and
    // whose speed is above 0.001 has its backward-running segments shifted
    // by the table's offset at that speed (ShiftReverseSegments). Nothing
    // without layers or table.
    static void ApplyCarveRepair(WORKLAYER* layers, const CARVEREPAIR* table);

    // The offset of a carve-repair table (rows in list order) at a speed:
    // the first row whose speed is at least the given one decides; before
    // the first row its offset, between rows the straight line through the
    // neighbours, beyond the last row the last row's offset. False for an
    // empty table or a speed below 0.001.
    static bool LookupCarveRepair(const CARVEREPAIR* table, double speed, double* value);

    // Rows both ways (style 1): per path, a segment running toward -x moves
    // by d along x, one running toward +x stays, and one of no length in x
    // moves when the last segment with a direction ran toward -x or a new
    // row (start y more than 0.001 from the one before) has turned the
    // direction; the path's maximum x grows by d. Columns both ways (style
    // 3) likewise with x and y exchanged. Other styles are left alone.
    static void ShiftReverseSegments(WORKLAYER* layer, double d);

    // Dot mode: on every cut layer (mode 1) whose parameters (found by
    // m_layerId) have m_b_hit_point set and m_b_hit_dis above 1e-5, each
    // path of kind 0 with segments is replaced in place by its dots
    // (MakeDotPath with that interval and no dash). When a path's dots were
    // limited, the operator is told once.
    static void MakeHitPoints(WORKLAYER* layers, WorkParams* params);

    // Dots (dash below 0.001: kind 1, one segment of no length) or dashes
    // (sub-kind 1, one straight segment `dash` long) along the path's
    // polyline from its start, one every `interval` + `dash`, the last one
    // no farther than the polyline's end, and on a closed path not on its
    // start a second time; linked in order, with extents and closed flags.
    // A path that would give more than kMaxDotsPerPath of them is given that
    // many, spread evenly over its length, and `capped` is set. Null for an
    // interval of 0 or less, or a path without segments.
    static PATHREC* MakeDotPath(PATHREC* path, double interval, double dash, bool* capped = nullptr);

    // Cut repair: from the position (0, 0), on each cut layer (mode 1) the
    // move to every path's first start that turns against the last known
    // direction along x (beyond 1e-5) shifts this and every later path, of
    // every later layer too, by the x amount of the table row for the
    // layer's speed (the first row faster than it, else the last) toward the
    // new direction; likewise along y. Then each path is compensated within
    // itself (CompensateInPath). Other layers only move the position.
    // Nothing without a table.
    static void ApplyCutRepair(WORKLAYER* layers, const CUTREPAIR* table);

    // Adds (dx, dy) to every segment's ends and to the path's extents.
    static void ShiftPath(PATHREC* path, double dx, double dy);

    // Orientation of a path from its first segment: -1 with fewer than three
    // segments, -3 when its ends lie more than 1e-5 apart, else 1 for
    // clockwise (y up) and 0 for counter-clockwise, taken at the vertex with
    // the smallest x (on equal x the largest y).
    static int PathOrientation(const SEGNODE* first);

    // Within one path: each segment that reverses the path's direction along
    // x (beyond 1e-5) moves with all segments after it by ax toward its own
    // direction (away from it on a counter-clockwise path), and its start
    // joins the end before it, so the reversing segment takes up the step;
    // then the same along y with ay. The shifts add up as one running
    // offset, so the results may differ from shifting each time in the last
    // bits.
    static void CompensateInPath(PATHREC* path, double ax, double ay);

    // Segment merging on every cut layer (mode 1): MergeShortSegmentsInPath
    // on each path. Nothing for a length below 0.001.
    static void MergeShortSegments(WORKLAYER* layers, double length, double angle);

    // Each segment in ring order takes over the segments after it while
    // their summed length stays below `length` and their summed turn below
    // `angle` (radians), as long as they do not wrap round to the ring's
    // first segment; the segments taken over are freed. Nothing for a length
    // below 0.001 or an angle of 0 or less.
    static void MergeShortSegmentsInPath(PATHREC* path, double length, double angle);
    // As above; the taken segments go into `bin`, so that paths merged side
    // by side return them to their pool a batch at a time.
    static void MergeShortSegmentsInPath(PATHREC* path, double length, double angle, PathRecordBin& bin);

    // ---- Path ordering ------------------------------------------------
    // The orderings rewrite the path lists of the cut layers (mode exactly 1)
    // in place; geometry changes only by reversing a path or turning a closed
    // path's start. A group bracket with its members moves as one unit and is
    // never reversed or restarted. Direction codes: 0 horizontal bands worked
    // one way, 1 horizontal alternating, 2 vertical one way, 3 vertical
    // alternating; other codes change nothing.

    // Where a band sweep starts (d: 0 at the high side moving down, 1 at the
    // low side moving up) and which neighbour across the band comes first
    // (t), by origin corner and work position; corners or positions above 3
    // give d 1, t 1.
    static void BandStartSide(int code, int corner, int workPos, int& d, int& t);

    // Sorts a path list into bands of `height` along y (codes 0, 1) or x
    // (codes 2, 3), swept from the side BandStartSide names; each band is
    // ordered across and its touching open paths joined (tolerance 0.1).
    // A height of 0 or below (or not a number) makes the thinnest bands: the
    // line moves straight to the next path. Paths whose extents are not
    // finite follow the bands in their list order.
    static void SortIntoBands(PATHREC*& paths, int code, double height, int corner, int workPos);

    // Joins, for each open path in order, the later open paths whose start or
    // end lies within tol (in x and in y) of its start or end, the one with
    // the best key first (largest min x, smallest max x, largest min y or
    // smallest max y by code and alternate flag; ties in list order); a path
    // whose ends then lie within tol is marked closed. Joined records are
    // freed. Only ends with finite coordinates meet.
    static void JoinTouchingPaths(PATHREC*& band, int code, int alternate, double tol);

    // Reverses every closed path (not in a bracket) whose orientation
    // (PathRingOrientation: 1 clockwise) differs from `wanted`.
    static void OrientClosedPaths(WORKLAYER* layer, std::uint32_t wanted);

    // Orients the closed paths by code, work position and f, then starts each
    // at its highest segment start (codes 0, 1) or its rightmost (codes 2, 3),
    // ties within 0.001 by the work position. Work positions above 3 leave
    // the layer as it is.
    static void SetClosedPathStarts(WORKLAYER* layer, int code, int workPos, int f);

    // Codes 1 and 3: from the second band on (bands split where consecutive
    // centres differ by `height` or more), starts each closed path at its
    // lowest (code 1) or leftmost (code 3) segment start and reverses it in
    // every other band.
    static void NormaliseBandStarts(WORKLAYER* layer, int code, double height, int workPos);

    // The ordering by direction of every cut layer: SortIntoBands,
    // SetClosedPathStarts, NormaliseBandStarts.
    static void OrderPathsSimple(WORKLAYER* layers, int code, double height, int corner, int workPos);

    // In every cut layer, walking from (0, 0): an open path whose end lies
    // nearer the previous path's end than its start is reversed.
    static void OrientOpenPaths(WORKLAYER* layers);

    // True when an object of the list (groups and texts searched through)
    // has a lead-in or lead-out longer than 0.001.
    static bool HasLeadRecords(CDocData* objects);

    // The work position as seen from an origin corner (positions 4 to 8 stay).
    static int RemapWorkPosition(int corner, int position);

    // The optimised ordering of the cut layers, with the options of the
    // context's settings and the current machine's origin corner (corner 1
    // without a machine): nearest entry first from the start corner, paths
    // lying inside a closed path grouped under it ("path mode" 0) or cells of
    // "path width" x "path hight" (other modes).
    // With `moveRecords` the ordered path records are replaced by copies laid
    // in their new order in memory (the old ones freed), which every later
    // walk over a long job reads far faster; without it the records
    // themselves are relinked.
    static void OrderPathsOptimised(WORKHEAD* header, DOCCONTEXT* ctx, bool moveRecords = false);
    // As above, told whether the document's objects have lead records
    // (which fix where paths begin) instead of looking. True when every path
    // of the ordered layers had its extents and closed flag measured anew, as
    // CFileTrans::RecalcPathBoundRects measures them: none was set aside
    // and none is a group's bracket.
    static bool OrderPathsOptimised(WORKHEAD* header, DOCCONTEXT* ctx, bool moveRecords, bool leadRecords);

    // ---- Contour offset -----------------------------------------------
    // Distances in world units. A corner that turns away from the offset
    // side (on an open path, any corner) keeps its mitre point only within 4
    // distances of the corner; beyond, the mitre is cut square there with
    // two nodes (lists of anchors only; curves keep their one node per node).

    // New objects (a chain by their links, not in any list) whose outlines
    // run parallel to the closed object's, outward or inward. The offset
    // ring is split where it meets itself, and only the loops that run the
    // outline's way round and keep the distance from it everywhere are
    // kept: an inward offset across a neck gives an outline on either side
    // of it. A curve keeps its node kinds unless its offset, flattened as it
    // is cut, meets itself; then its flattened outline is offset instead.
    // Null for a missing, empty or open object, an outline without a valid
    // orientation, or an offset of which no outline is left (one that turns
    // the outline inside out).
    static CDocData* OffsetContour(CDocData* object, double distance, std::uint8_t outward, DOCCONTEXT* ctx);

    // Offsets every selected outline of the document (closed ones by
    // OffsetContour, open ones by OffsetOpenPath on the side IsOpenPathLeft
    // gives, turned round for outward); the results follow their source, or
    // replace it with `deleteSource`, selected, with its layer, colour and
    // output switch. Images, groups and texts are passed over.
    static void OffsetSelection(DOCCONTEXT* ctx, double distance, std::uint8_t outward, std::uint8_t deleteSource);

    // The open path offset to the left (`side` set) or right, with the
    // clean-up passes before and after; always a new object.
    static CDocData* OffsetOpenPath(CDocData* object, double distance, std::uint8_t side, std::uint32_t loopLimit,
                                    DOCCONTEXT* ctx);

    // True when the interior nodes lie no farther on the left of the chord
    // from the first to the last node than on its right (summed distances).
    static bool IsOpenPathLeft(const CDocData* object);

    // Clean-up passes of the open offset on an open node list.
    static void RemoveNearNodes(DOCNODE*& head);
    static void TrimAtEndNormals(DOCNODE*& head, double d, double k, std::uint8_t side);
    static void CutShortLoops(DOCNODE*& head, double d, double k, std::uint32_t limit);
    static void ExtendOrTrimEnds(DOCNODE*& head, double d, double k, bool extend);
    static void CutSelfLoops(DOCNODE*& head, std::uint32_t limit);
    // Removes nodes where the path turns back by more than pi - tol (either
    // way round).
    static void RemoveSpikes(DOCNODE*& head, double tol);
    // Removes ring nodes that repeat their predecessor or return to it
    // (within 0.001): 0, or 1 no ring head, 2 not a ring, 3 or 4 fewer than
    // three nodes before or after.
    static int RemoveRingDuplicates(DOCNODE*& ring);

    // ---- Light-guide plate patterns -------------------------------------

    // The pattern of a closed outline (a new object list owned by the
    // caller, or null): elements on a grid growing ring by ring from the
    // outline's centre (modes 0 to 3), or scan lines across it (mode 4),
    // inside the outline or inside its inward offset by the margin. Settings
    // that are not numbers make no pattern; settings that would make more
    // than a million grid points (rows and columns for mode 4) are refused
    // with a message before anything is made.
    static CDocData* MakeLightGuidePattern(CDocData* outline, const BARRIERPARAMS& params, DOCCONTEXT* ctx);

    // The scan lines of a boundary (mode 4): rows from y0 out to both sides
    // in turn, then columns from x0, each side ending where it leaves the
    // boundary's box or its step is 0 or less; worked in the order of
    // OrderScanLines for the current machine.
    static CDocData* MakeScanLinePattern(const CDocData* boundary, const BARRIERPARAMS& params, double x0, double y0,
                                         DOCCONTEXT* ctx);

    // Lines inside the boundary along the row at y (or the column at x): the
    // edges' crossings, each edge counted on [low end, high end), cut to
    // whole world units, paired in order; pairs of one point are dropped.
    static CDocData* ScanLinesAtY(const CDocData* boundary, double y);
    static CDocData* ScanLinesAtX(const CDocData* boundary, double x);

    // Orders scan lines row by row, then column by column, in a
    // back-and-forth run starting where the origin corner and start
    // position name, each line turned to run the way it is worked.
    static void OrderScanLines(CDocData*& list, int corner, int startPos);

    // Every light-guide layer (mode bit 0x80) becomes one scan layer (mode
    // 2) with a single path: its horizontal lines row by row, back and
    // forth, then its vertical lines column by column. Paths that are
    // neither horizontal nor vertical leave the job.
    static void JoinLightGuideLayers(WORKHEAD* header, int corner, int workPos);

    // ---- Repeated lines -------------------------------------------------
    // The command works on the selected objects of the document that have
    // no control nodes and whose segments are their outline: polylines and
    // rectangles. Curves, groups, texts, images and unselected objects are
    // never changed. Tolerances are world units; one of 0 or below, or that
    // is not a number, changes nothing.
    //
    // Two segments s = (P, P') and t = (Q, Q') overlap when t's box lies
    // strictly inside s's box widened by tol and Q, Q' lie closer than tol
    // to the line through P and P' (t is cut out), or else when the same
    // holds with s and t exchanged (s is cut out).

    // Removes repeated nodes, then every segment that overlaps a segment
    // before it in the same object, then every overlap between two objects
    // (with `withinLayer` only between objects of one layer), deleting the
    // objects left with fewer than two nodes. The selection box becomes the
    // box of the selected objects. Eight progress steps.
    static void DeleteRepeatedLines(DOCCONTEXT* ctx, double tol, std::uint8_t withinLayer);

    // RemoveRepeatedAnchors on every object the command works on.
    static void RemoveRepeatedNodes(DOCCONTEXT* ctx, double tol);

    // Unlinks every anchor that follows an anchor closer than tol in x and
    // in y. The head stays; so does the last node of a closed list (the
    // node before it goes instead), so the outline still ends on its start.
    static void RemoveRepeatedAnchors(DOCNODE* list, double tol);

    // Deletes the selected objects (images, groups and texts excepted) that
    // have no nodes, or only one node and are not points.
    static void RemoveEmptyObjects(DOCCONTEXT* ctx);

    // CutOverlapsInObject on every object the command works on, the pieces
    // split off included, until none of them overlaps itself.
    static void CutSelfOverlaps(DOCCONTEXT* ctx, double tol);

    // Cuts out one segment of the first overlapping pair of the object's
    // own segments (each segment against every later one, in order); false
    // when there is none. The object may be replaced (a rectangle becomes a
    // polyline) and a piece may follow it; `head` follows the list.
    static bool CutOverlapsInObject(CDocData*& object, double tol, CDocData*& head, DOCCONTEXT* ctx);

    // For each object in list order, against each later one whose box lies
    // within tol of its own: CutOverlapPair until the pair has no overlap
    // left. Pieces split off a later object are met right after it; pieces
    // split off the earlier one are compared on their own turn.
    static void CutCrossOverlaps(DOCCONTEXT* ctx, double tol, std::uint8_t withinLayer);

    // Cuts out one segment of the first overlapping pair (segments of a in
    // order, each against the segments of b in order); false when none.
    static bool CutOverlapPair(CDocData*& a, CDocData*& b, double tol, CDocData*& head, DOCCONTEXT* ctx);

    // 0 no overlap, 1 t is cut out, 2 s is cut out.
    static int SegmentOverlap(const DOCNODE* s, const DOCNODE* t, double tol);

    // Cuts the segment from n to its successor out of the object, which
    // becomes a polyline (a rectangle is replaced by one in its list place).
    // A closed outline is opened there: it then runs from the segment's end
    // round to its start. An open one loses its end node when the segment
    // is its first or last, else is split: the nodes from the segment's end
    // on become a new polyline of the same layer, colour and output switch,
    // linked right after it, which is returned. Boxes are recomputed.
    static CDocData* CutSegment(CDocData*& object, DOCNODE* n, CDocData*& head, DOCCONTEXT* ctx);

    // True for the objects the repeated-line command works on.
    static bool IsRepeatCandidate(const CDocData* object);

    // ---- Place on table -------------------------------------------------
    // Moves the selection (everything, selected first, when nothing is) on
    // the current machine's table: mode 0 its bottom onto the origin line,
    // 1 its centre onto the table's centre, 2 its top onto the far edge;
    // other modes move nothing. 0 without a context or, when there is
    // something to move, without a current machine; else 1.
    static std::uint32_t PlaceOnTable(DOCCONTEXT* ctx, std::uint32_t mode);

    // ---- Internal clipboard ---------------------------------------------
    // Copy, cut and paste stay inside the program: the held list is
    // SoftwareSettings::m_pClipboard of the context's settings block (the
    // process-wide one when the context has none). Clones are made by type
    // (CloneDocData); objects of no drawing class are passed over.

    // Deletes every object of the list; the head becomes null.
    static void DeleteObjects(CDocData*& head);
    static void SetObjectsSelected(CDocData* first, std::uint8_t flag);
    // The box made empty, then the union of every object's box.
    static CGeoBox GetListBox(const CDocData* first, CGeoBox& box);
    // Empties the held list and fills it with selected clones of the
    // document's selected objects of the layer (of every layer below 0), in
    // list order.
    static void CopySelection(DOCCONTEXT* ctx, std::int32_t layer);
    // Moves the selected objects, in their order, from the document into
    // the emptied held list (an undo step first when the selection box is
    // not empty), sets them selected and repaints where they were.
    static void CutSelection(DOCCONTEXT* ctx);
    // Clones the held list, exactly over the originals, to the end of the
    // document as one undo step; the selection box becomes the held list's
    // box. With `clear` the held list is emptied afterwards. Nothing when it
    // is empty.
    static void PasteSelection(DOCCONTEXT* ctx, std::uint8_t clear);
    // A new selected group, in no list, that takes the chain itself as its
    // children (nothing is copied), with the layer and colour of its first
    // child and their box; null without memory.
    static CDocData* WrapInGroup(CDocData* chain, DOCCONTEXT* ctx);

private:
    // The uniting of the overloads above, with a prepare step or the
    // objects held one by one, or neither.
    static void UniteCurves(CDocData*& list, double tol, std::uint8_t deleteCrossings, DOCCONTEXT* ctx,
                            const std::function<void(CDocData*)>& prepare, const std::vector<CDocData*>* objects);
};

// The most dots or dashes one path gives in dot mode.
constexpr std::size_t kMaxDotsPerPath = 100000;

// Error text entry shown when dot mode limited the dots of a path.
constexpr int kDotsLimitedText = 14;
