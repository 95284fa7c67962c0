// What the drawing objects do with an array record: walking its positions,
// exploding it into real copies and keeping its gaps through a scaling.
#pragma once
#include "DocData.h"
#include "GeoBox.h"

#include <cstdint>

struct DOCCONTEXT;

// The most positions an array record may explode into. A record read from a
// file may ask for up to 65535 x 65535; that many objects would exhaust
// memory long before they were made.
constexpr std::int64_t kMaxArrayCopies = 100000;

// True when the record has at least one row and one column and at most
// kMaxArrayCopies positions.
bool ArrayCountsUsable(const ARRAYREC& array);

// Calls f(dx, dy) with the world offset of every position of an array record
// but the first, in row order: column c and row r (counted from 0) lie c
// column pitches and r row pitches away, the pitches turned into world
// direction by the origin corner given (or the current machine's). A record
// that is not usable has no positions walked: that many copies could not be
// drawn in any useful time either.
template <typename F>
void ForEachArrayOffset(const ARRAYREC& array, int corner, F f)
{
    if (!ArrayCountsUsable(array))
        return;
    double dx = array.m_dDx;
    double dy = array.m_dDy;
    CDocData::ApplyOriginSign(corner, dx, dy);
    for (int r = 0; r < array.m_nRows; ++r) {
        for (int c = 0; c < array.m_nCols; ++c) {
            if (r != 0 || c != 0)
                f(c * dx, r * dy);
        }
    }
}

template <typename F>
void ForEachArrayOffset(const ARRAYREC& array, F f)
{
    ForEachArrayOffset(array, CDocData::CurrentOriginCorner(), f);
}

// Copy of an object made by its class's copy constructor.
using ObjectCopier = CDocData* (*)(const CDocData& source);

// Deletes the object's array record, recomputes its box, and links
// rows x columns - 1 copies right behind it, each moved by its column and row
// pitch (in world direction), so that the list reads in row order: the object,
// the rest of its row, then the following rows. Nothing without a context or
// a record; a record of one row and one column is only removed. A record
// without rows or columns or beyond kMaxArrayCopies is refused: object, record
// and list stay as they are. True when the record was used up.
bool ExplodeArrayCopies(CDocData& obj, DOCCONTEXT* ctx, ObjectCopier copy);

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
// become the scaled copy's size plus the gaps and the box is recomputed
// over the copies at those pitches.
void ScaleBoxAndPitches(CDocData& obj, const ArrayGaps& gaps, double cx, double cy, double sx, double sy,
                        DOCCONTEXT* ctx);

// x' = (x - cx) sx + cx, y' likewise, on both corners; then normalised.
CGeoBox ScaledBox(const CGeoBox& box, double cx, double cy, double sx, double sy);
