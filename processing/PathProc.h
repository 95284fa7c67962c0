// Curve operations on drawing objects that the importers, the editing
// commands and the curve smoothing share. The class holds nothing; every
// operation is static.
#pragma once
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
};
