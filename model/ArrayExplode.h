// What the point and the composite objects do with their own array record
// when they are exploded or scaled.
#pragma once
#include "GeoBox.h"

struct DOCCONTEXT;
class CDocData;

// Copy of an object made by its class's copy constructor.
using ObjectCopier = CDocData* (*)(const CDocData& source);

// Deletes the object's array record, recomputes its box, and links
// rows x columns - 1 copies right behind it, each moved by its column and row
// pitch (in world direction), so that the list reads in row order: the object,
// the rest of its row, then the following rows. Nothing without a context or
// a record; a record of one row and one column is only removed.
void ExplodeArrayCopies(CDocData& obj, DOCCONTEXT* ctx, ObjectCopier copy);

// The box of one copy and the gaps between copies, measured before a scaling
// so that the copies grow while the gaps stay.
struct ArrayGaps {
    bool m_bValid = false; // the object has an array record and a box
    CGeoBox m_rcSingle;    // box without the array extent
    double m_dGapX = 0.0;  // column pitch - width of one copy
    double m_dGapY = 0.0;  // row pitch - height of one copy
};

// Measures with the record detached for a moment; box and record are left as
// they were.
ArrayGaps MeasureArrayGaps(CDocData& obj, DOCCONTEXT* ctx);

// After the content was scaled about (cx, cy): the box becomes the old box
// scaled (the empty box stays empty) and, with measured gaps, the pitches
// become the scaled copy's size plus the gaps.
void ScaleBoxAndPitches(CDocData& obj, const ArrayGaps& gaps, double cx, double cy, double sx, double sy);

// x' = (x - cx) sx + cx, y' likewise, on both corners; then normalised.
CGeoBox ScaledBox(const CGeoBox& box, double cx, double cy, double sx, double sy);
