#include "ArrayExplode.h"

bool ArrayCountsUsable(const ARRAYREC& array)
{
    const std::int64_t rows = array.m_nRows;
    const std::int64_t cols = array.m_nCols;
    return rows >= 1 && cols >= 1 && rows * cols <= kMaxArrayCopies;
}

bool ExplodeArrayCopies(CDocData& obj, DOCCONTEXT* ctx, ObjectCopier copy)
{
    if (ctx == nullptr || obj.m_pArray == nullptr || !ArrayCountsUsable(*obj.m_pArray))
        return false;
    const ARRAYREC array = *obj.m_pArray;
    delete obj.m_pArray;
    obj.m_pArray = nullptr;
    obj.RecalcBoundRect(ctx);

    // Each copy is linked behind the one made before it, so the list reads
    // in row order.
    const CGeoPoint origin(0.0, 0.0);
    CDocData* tail = &obj;
    ForEachArrayOffset(array, [&](double dx, double dy) {
        CDocData* dup = copy(obj);
        if (dup == nullptr)
            return;
        dup->Move(origin, CGeoPoint(dx, dy), ctx);
        dup->m_pPrev = tail;
        dup->m_pNext = tail->m_pNext;
        if (tail->m_pNext != nullptr)
            tail->m_pNext->m_pPrev = dup;
        tail->m_pNext = dup;
        tail = dup;
    });
    return true;
}

CGeoBox ScaledBox(const CGeoBox& box, double cx, double cy, double sx, double sy)
{
    CGeoBox out((box.m_xmin - cx) * sx + cx, (box.m_xmax - cx) * sx + cx, (box.m_ymin - cy) * sy + cy,
                (box.m_ymax - cy) * sy + cy);
    out.Normalize();
    return out;
}

ArrayGaps MeasureArrayGaps(CDocData& obj, DOCCONTEXT* ctx)
{
    ArrayGaps gaps;
    if (obj.m_pArray == nullptr)
        return gaps;
    const CGeoBox whole = obj.m_rcBound;
    ARRAYREC* array = obj.m_pArray;
    obj.m_pArray = nullptr;
    obj.RecalcBoundRect(ctx);
    gaps.m_rcSingle = obj.m_rcBound;
    obj.m_pArray = array;
    obj.m_rcBound = whole;
    gaps.m_bValid = !gaps.m_rcSingle.IsEmpty();
    gaps.m_dGapX = array->m_dDx - gaps.m_rcSingle.Width();
    gaps.m_dGapY = array->m_dDy - gaps.m_rcSingle.Height();
    return gaps;
}

void ScaleBoxAndPitches(CDocData& obj, const ArrayGaps& gaps, double cx, double cy, double sx, double sy,
                        DOCCONTEXT* ctx)
{
    // Scaling the empty box would turn its marker bounds into a real box.
    if (!obj.m_rcBound.IsEmpty())
        obj.m_rcBound = ScaledBox(obj.m_rcBound, cx, cy, sx, sy);
    if (gaps.m_bValid && obj.m_pArray != nullptr) {
        const CGeoBox single = ScaledBox(gaps.m_rcSingle, cx, cy, sx, sy);
        obj.m_pArray->m_dDx = single.Width() + gaps.m_dGapX;
        obj.m_pArray->m_dDy = single.Height() + gaps.m_dGapY;
        // The old box scaled would scale the gaps too, while the pitches
        // keep them: the box is that of the copies at the new pitches.
        obj.RecalcBoundRect(ctx);
    }
}
