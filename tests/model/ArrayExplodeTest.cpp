// Array records: the bound on the number of copies that a record read from a
// file may ask for, when the record is exploded into real copies and when its
// copies are drawn.
#include "TestDocData.h"

#include "model/ArrayExplode.h"
#include "model/DocContext.h"
#include "model/DocDataBezier.h"
#include "model/DocDataEllipse.h"
#include "model/DocDataGroup.h"
#include "model/DocDataLine.h"
#include "model/DocDataPoint.h"
#include "model/DocDataRect.h"
#include "model/DocListNode.h"
#include "platform/RecordingDC.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

ARRAYREC* Array(std::uint16_t rows, std::uint16_t cols)
{
    auto* array = new ARRAYREC;
    array->m_nRows = rows;
    array->m_nCols = cols;
    array->m_dDx = 20;
    array->m_dDy = 30;
    return array;
}

DOCNODE* TwoNodes()
{
    return AppendNode(AppendNode(nullptr, 0, 0), 10, 0)->m_pPrev;
}

TEST(ArrayExplode, CountsFromOneByOneUpToTheBoundAreUsable)
{
    const struct {
        std::uint16_t rows, cols;
        bool usable;
    } cases[] = {
        {1, 1, true},        {400, 250, true},  // exactly 100,000 positions
        {11, 9091, false},                      // 100,001
        {0, 3, false},       {3, 0, false},     {0, 0, false},
        {65535, 65535, false},                  // would overflow a 32-bit product
    };
    for (const auto& c : cases) {
        ARRAYREC array;
        array.m_nRows = c.rows;
        array.m_nCols = c.cols;
        EXPECT_EQ(ArrayCountsUsable(array), c.usable) << c.rows << " x " << c.cols;
    }
}

// Every class that explodes goes through the same body; an outline, a point
// and a group each keep a refused record and their place in the list.
TEST(ArrayExplode, RecordsWithoutRowsOrBeyondTheBoundLeaveTheObjectAsItIs)
{
    plat::ScopedMachine noMachine;
    DOCCONTEXT ctx;
    const std::uint16_t refused[][2] = {{0, 4}, {4, 0}, {11, 9091}, {65535, 65535}};
    for (const auto& rc : refused) {
        auto* line = new CDocDataLine(TwoNodes(), 1, &ctx);
        auto* point = new CDocDataPoint(5.0, 5.0, &ctx);
        auto* group = new CDocDataGroup(new CDocDataLine(TwoNodes(), 1, &ctx), &ctx);
        CDocData* list = plat::LinkObjects({line, point, group});
        for (CDocData* obj : {static_cast<CDocData*>(line), static_cast<CDocData*>(point),
                              static_cast<CDocData*>(group)}) {
            obj->m_pArray = Array(rc[0], rc[1]);
            obj->RecalcBoundRect(&ctx);
            const CGeoBox box = obj->m_rcBound;
            CDocData* next = obj->m_pNext;
            obj->ExplodeArray(&ctx);
            ASSERT_NE(obj->m_pArray, nullptr) << rc[0] << " x " << rc[1];
            EXPECT_EQ(obj->m_pArray->m_nRows, rc[0]);
            EXPECT_EQ(obj->m_pArray->m_nCols, rc[1]);
            EXPECT_EQ(obj->m_pNext, next);
            EXPECT_EQ(obj->m_rcBound.m_xmin, box.m_xmin);
            EXPECT_EQ(obj->m_rcBound.m_xmax, box.m_xmax);
            EXPECT_EQ(obj->m_rcBound.m_ymax, box.m_ymax);
        }
        DeleteObjectList(list);
    }
}

TEST(ArrayExplode, ARecordAtTheBoundStillExplodes)
{
    plat::ScopedMachine noMachine;
    DOCCONTEXT ctx;
    auto* point = new CDocDataPoint(0.0, 0.0, &ctx);
    CDocData* list = point;
    point->m_pArray = Array(400, 250);
    EXPECT_TRUE(ExplodeArrayCopies(*point, &ctx, &CDocDataPoint::Copy));
    EXPECT_EQ(point->m_pArray, nullptr);
    int count = 0;
    const CDocData* last = nullptr;
    for (const CDocData* o = list; o != nullptr; o = o->m_pNext) {
        ++count;
        last = o;
    }
    EXPECT_EQ(count, 100000);
    // Row 399, column 249: 249 x 20 and 399 x 30.
    ASSERT_NE(last->m_pNodes, nullptr);
    EXPECT_EQ(last->m_pNodes->m_x, 4980.0);
    EXPECT_EQ(last->m_pNodes->m_y, 11970.0);
    DeleteObjectList(list);
}

// Copies that could never be drawn in useful time are not drawn at all: the
// object itself draws as it does without a record, for the own record's
// preview and for the document's array alike.
TEST(ArrayExplode, ARecordBeyondTheBoundDrawsNoCopies)
{
    plat::ScopedMachine noMachine;
    CDocListNode snapshot;
    DOCCONTEXT ctx;
    ctx.m_pCurrent = &snapshot;
    std::vector<std::unique_ptr<CDocData>> objects;
    objects.emplace_back(new CDocDataLine(TwoNodes(), 1, &ctx));
    objects.emplace_back(new CDocDataEllipse(0, 0, 40, 20));
    objects.emplace_back(new CDocDataPoint(5.0, 5.0, &ctx));
    objects.emplace_back(new CDocDataGroup(new CDocDataLine(TwoNodes(), 1, &ctx), &ctx));
    for (const auto& obj : objects) {
        plat::RecordingDC plain;
        obj->Draw(&plain, &ctx);
        ASSERT_FALSE(plain.DrawCalls().empty());

        obj->m_pArray = Array(65535, 65535);
        snapshot.m_pArray = Array(11, 9091);
        plat::RecordingDC dc;
        obj->Draw(&dc, &ctx);
        EXPECT_EQ(dc.DrawCalls().size(), plain.DrawCalls().size()) << "type " << obj->m_nType;

        // Within the bound the copies are drawn: one more position each way.
        delete obj->m_pArray;
        obj->m_pArray = Array(1, 2);
        delete snapshot.m_pArray;
        snapshot.m_pArray = Array(2, 1);
        dc.Clear();
        obj->Draw(&dc, &ctx);
        EXPECT_GT(dc.DrawCalls().size(), plain.DrawCalls().size()) << "type " << obj->m_nType;
        delete snapshot.m_pArray;
        snapshot.m_pArray = nullptr;
    }
}

// A 100 x 50 outline at (0, 0) with 3 columns and 2 rows 150 and 80 apart
// (gaps 50 and 30), scaled by 2 about (0, 0): the copies grow to 200 x 100
// and keep their gaps, so the pitches become 250 and 130 and the copies span
// 200 + 2 x 250 = 700 by 100 + 130 = 230. Scaling the old box (400 x 130)
// instead would give 800 x 260, wider than anything that is cut.
TEST(ArrayExplode, ScaledArrayBoxIsTheBoxOfTheScaledCopies)
{
    plat::ScopedMachine noMachine;
    DOCCONTEXT ctx;
    auto rectNodes = [] {
        DOCNODE* head = AppendNode(nullptr, 0, 0);
        AppendNode(AppendNode(AppendNode(AppendNode(head, 100, 0), 100, 50), 0, 50), 0, 0);
        return head;
    };
    // The same box as straight Bezier segments, controls at the thirds.
    auto bezierNodes = [] {
        const double pts[][2] = {{0, 0},   {100, 0}, {100, 50}, {0, 50}, {0, 0}};
        DOCNODE* head = AppendNode(nullptr, 0, 0);
        DOCNODE* last = head;
        for (int i = 1; i < 5; ++i) {
            const double* a = pts[i - 1];
            const double* b = pts[i];
            last = AppendNode(last, a[0] + (b[0] - a[0]) / 3, a[1] + (b[1] - a[1]) / 3, NODE_CONTROL_OUT);
            last = AppendNode(last, a[0] + 2 * (b[0] - a[0]) / 3, a[1] + 2 * (b[1] - a[1]) / 3, NODE_CONTROL_IN);
            last = AppendNode(last, b[0], b[1]);
        }
        return head;
    };
    std::vector<std::unique_ptr<CDocData>> objects;
    objects.emplace_back(new CDocDataLine(rectNodes(), 1, &ctx));
    objects.emplace_back(new CDocDataRect(CGeoBox(0, 100, 0, 50), &ctx, 255));
    objects.emplace_back(new CDocDataEllipse(0, 0, 100, 50));
    objects.emplace_back(new CDocDataBezier(bezierNodes(), true, &ctx));
    objects.emplace_back(new CDocDataGroup(new CDocDataLine(rectNodes(), 1, &ctx), &ctx));
    for (const auto& obj : objects) {
        auto* array = new ARRAYREC;
        array->m_nRows = 2;
        array->m_nCols = 3;
        array->m_dDx = 150;
        array->m_dDy = 80;
        obj->m_pArray = array;
        obj->RecalcBoundRect(&ctx);
        ASSERT_NEAR(obj->m_rcBound.m_xmax, 400, 1e-9) << "type " << obj->m_nType;

        obj->Scale(0, 0, 2, 2, &ctx);
        EXPECT_NEAR(obj->m_pArray->m_dDx, 250, 1e-9) << "type " << obj->m_nType;
        EXPECT_NEAR(obj->m_pArray->m_dDy, 130, 1e-9) << "type " << obj->m_nType;
        const CGeoBox& box = obj->m_rcBound;
        EXPECT_NEAR(box.m_xmin, 0, 1e-9) << "type " << obj->m_nType;
        EXPECT_NEAR(box.m_xmax, 700, 1e-9) << "type " << obj->m_nType;
        EXPECT_NEAR(box.m_ymin, 0, 1e-9) << "type " << obj->m_nType;
        EXPECT_NEAR(box.m_ymax, 230, 1e-9) << "type " << obj->m_nType;
    }
}

} // namespace
