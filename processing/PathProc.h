// Curve operations on drawing objects that the importers, the editing
// commands and the curve smoothing share. The class holds nothing; every
// operation is static.
#pragma once
#include "model/BitmapScan.h"

#include <cstddef>

#include <cstdint>
#include <string>

class CDocData;
struct CARVEREPAIR;
struct CUTREPAIR;
struct DOCCONTEXT;
struct DOCNODE;
struct WORKLAYER;
struct WorkParams;

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
};

// The most dots or dashes one path gives in dot mode.
constexpr std::size_t kMaxDotsPerPath = 100000;

// Error text entry shown when dot mode limited the dots of a path.
constexpr int kDotsLimitedText = 14;
