// Lead-in, lead-out and end gap: the operations that fill an object's lead
// and end-gap records from its outline, place the start node where the leads
// fit, shorten leads that would cross other outlines and cut the end gap off
// an output point list. They keep no state between calls. The object classes
// call them from their transformations and output, so they live with the
// model; the processing steps call them too.
#pragma once
#include "DocData.h"
#include "GeoBox.h"
#include "GeoPoint.h"
#include "NodeList.h"

#include <cstdint>

struct DOCCONTEXT;

// Gives the object a lead record when it has none (automatic kind, every
// flag and number 0) and copies every field of the template but the done
// flag into it, unless the template is that very record. Groups and texts
// pass the same template on to every child.
void SetLeadInOut(CDocData* obj, const LEADINOUT* tmpl);

// Stores the gap (millimetres) and the on flag in the object's end-gap
// record, creating it unless there is none and the flag is off. Groups and
// texts pass both on to every child; any other object with the gap on gets
// its marker recomputed on its current outline.
void SetEndGap(CDocData* obj, double gap, std::uint8_t on);

// Cuts the record's gap (millimetres, times 10 in world units) off the end
// of an output point list, in place. Lists no longer than the cut, and gaps
// below 0.001, stay unchanged. The head is never removed.
void CutEndGap(DOCNODE* nodes, const ENDGAP* gap);

// Box of the selected objects of a list with their enabled lead points;
// groups and texts add their own box and their children's. Empty when
// nothing is selected.
CGeoBox GetObjectsBounds(CDocData* list);

// An object's own box with its enabled lead-in and lead-out points, which
// lie outside it.
inline CGeoBox BoxWithLeads(const CDocData& obj)
{
    CGeoBox box = obj.m_rcBound;
    if (const LEADINOUT* lead = obj.m_pLeadInOut) {
        if (lead->m_bLeadIn != 0)
            box.AddPoint(CGeoPoint(lead->m_dInX, lead->m_dInY));
        if (lead->m_bLeadOut != 0)
            box.AddPoint(CGeoPoint(lead->m_dOutX, lead->m_dOutY));
    }
    return box;
}

// A group without a lead record takes a copy (not done) of its children's
// record with the longest lead-in or lead-out; child groups first.
void InheritGroupLead(CDocData* obj);

// Builds the lead points of an object (and of every child of a group or
// text). True when a lead is enabled on the object or on any child. A lead
// at an end of the outline that has no direction (all nodes on one spot) is
// not built and does not count; the record is then not marked built.
bool ApplyLeadInOut(DOCCONTEXT* ctx, CDocData* obj);

// Builds the leads of every selected object of the list that has a lead
// record, in list order, with the same results as ApplyLeadInOut on each in
// turn. The selected outlines of the document are indexed by their boxes
// once for all the builds, so that each build measures only the outlines
// near its start and its leads instead of the whole document. True when any
// build is true.
bool ApplyLeadInOutToSelected(DOCCONTEXT* ctx, CDocData* list);

// True when the record's lead-in (atStart) or lead-out is drawn and output
// along the given outline: switched on, longer than 0.001, and the outline
// has a direction at that end. Without one the lead point was never built,
// so the lead counts as length 0.
bool LeadShownOn(const LEADINOUT* rec, const DOCNODE* nodes, bool atStart);

// The end point of a list (first node with atStart, else last) and the
// nearest node towards the other end that differs from it. False when every
// node lies on the end point.
bool GetEndTangent(const DOCNODE* nodes, bool atStart, CGeoPoint& end, CGeoPoint& direction);

// Selected outlines of a list (groups and texts searched through) other than
// the object whose polygon holds or touches the object's first node.
// Objects that give no point list (images) enclose nothing.
int CountEnclosingObjects(CDocData* list, const CDocData* obj);

// Decides the side of automatic leads: the signed angles are set from the
// record's angles and the record's kind becomes 1 (outer) or 0 (inner). An
// open outline takes the lead-in at +angle and the lead-out at -angle, and
// keeps the kind that gives those signs again on its orientation (0 for the
// orientation code of open outlines), so later builds stay on that side. A
// closed one counts the selected outlines of the document that enclose its
// start: an even count makes it an outer contour, an odd one an inner
// contour. True when the count was taken. The orientation is 0 for
// counter-clockwise, 1 otherwise.
bool ResolveAutoLeadSide(DOCCONTEXT* ctx, CDocData* obj, double& inAngle, double& outAngle,
                         std::uint32_t orientation);

// Moves the start node of a closed outline to a place where both leads fit:
// the middle of the longest side, or of a stretch that is long and straight
// enough. Ellipses keep their start; curve outlines go to the curve start
// placer below.
void PlaceStartForLeads(DOCCONTEXT* ctx, CDocData* obj);

// Shortens the object's enabled lead lines to 0.7 of the way to the nearest
// crossing (by |dx| + |dy| from the outline's end) with a selected outline
// of the list; groups and texts are searched through. Returns the object's
// lead record.
LEADINOUT* ClipLeadsAtCrossings(CDocData* list, CDocData* obj);

namespace plat {
// Start placement for curve outlines (Bezier paths, NURBS curves): the place
// is found on the flattened outline and put on the curve with the curve
// class's own InsertNodeAt and SetStartPoint, so the curve class supplies
// it. Without a placer such outlines keep their start. Returns the placer it
// replaced.
using CurveStartPlacer = void (*)(DOCCONTEXT* ctx, CDocData* obj);
CurveStartPlacer SetCurveStartPlacer(CurveStartPlacer placer);
} // namespace plat
