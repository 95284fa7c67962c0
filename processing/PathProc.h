// Curve operations on drawing objects that the importers, the editing
// commands and the curve smoothing share. The class holds nothing; every
// operation is static.
#pragma once
#include "machinecomm/VantrelRecords.h"

#include <cstdint>

class CDocData;
struct DOCCONTEXT;
struct DOCNODE;

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
    static void OrderPathsOptimised(WORKHEAD* header, DOCCONTEXT* ctx);
};
