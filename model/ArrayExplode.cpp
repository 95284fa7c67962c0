#include "ArrayExplode.h"

#include "DocData.h"

void ExplodeArrayCopies(CDocData& obj, DOCCONTEXT* ctx, ObjectCopier copy)
{
    if (ctx == nullptr || obj.m_pArray == nullptr)
        return;
    const int rows = obj.m_pArray->m_nRows;
    const int cols = obj.m_pArray->m_nCols;
    double dx = obj.m_pArray->m_dDx;
    double dy = obj.m_pArray->m_dDy;
    CDocData::ApplyOriginSign(dx, dy);
    delete obj.m_pArray;
    obj.m_pArray = nullptr;
    obj.RecalcBoundRect(ctx);

    // Made from the last position backwards and each linked right behind the
    // object, so the finished list reads forwards.
    const CGeoPoint origin(0.0, 0.0);
    for (int r = rows; r >= 1; --r) {
        for (int c = cols; c >= 1; --c) {
            if (r == 1 && c == 1)
                continue;
            CDocData* dup = copy(obj);
            if (dup == nullptr)
                continue;
            dup->Move(origin, CGeoPoint((c - 1) * dx, (r - 1) * dy), ctx);
            dup->m_pPrev = &obj;
            dup->m_pNext = obj.m_pNext;
            if (obj.m_pNext != nullptr)
                obj.m_pNext->m_pPrev = dup;
            obj.m_pNext = dup;
        }
    }
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

void ScaleBoxAndPitches(CDocData& obj, const ArrayGaps& gaps, double cx, double cy, double sx, double sy)
{
    // Scaling the empty box would turn its marker bounds into a real box.
    if (!obj.m_rcBound.IsEmpty())
        obj.m_rcBound = ScaledBox(obj.m_rcBound, cx, cy, sx, sy);
    if (gaps.m_bValid && obj.m_pArray != nullptr) {
        const CGeoBox single = ScaledBox(gaps.m_rcSingle, cx, cy, sx, sy);
        obj.m_pArray->m_dDx = single.Width() + gaps.m_dGapX;
        obj.m_pArray->m_dDy = single.Height() + gaps.m_dGapY;
    }
}
