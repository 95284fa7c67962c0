// Document snapshots: deep copies, box and count queries, and the object-list
// clone.
#include "TestDocData.h"

#include "model/DocDataNurbs.h"
#include "model/DocContext.h"
#include "model/DocListNode.h"
#include "model/SnapshotCopy.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using plat::LinkObjects;
using plat::ScopedTestCopiers;
using plat::TestDocData;

namespace {

TestDocData* Line(double x0, double y0, double x1, double y1)
{
    return &(new TestDocData)->WithNodes({{x0, y0}, {x1, y1}});
}

int Length(const CDocData* head)
{
    int n = 0;
    for (; head != nullptr; head = head->m_pNext)
        ++n;
    return n;
}

} // namespace

TEST(DocListNode, SnapshotIsADeepCopySharingNoObjectNodeOrRecord)
{
    ScopedTestCopiers copiers({MT_LINE, MT_GROUP});
    CDocListNode source;
    source.m_pArray = new ARRAYREC;
    source.m_pArray->m_nCols = 3;
    source.m_pArray->m_dAreaW = 9000;
    source.m_pFeed = new FEEDREPEAT{2, 15.5, 300};
    source.m_pSplit = new SPLITFEED;
    source.m_pSplit->m_bOn = 1;
    source.m_pSplit->m_dDistance = 250;
    auto* group = new TestDocData(MT_GROUP);
    group->WithChild(Line(5, 5, 6, 6));
    source.m_pFirst = LinkObjects({Line(0, 0, 10, 0), group});
    CDocListNode older, newer;
    source.m_pOlder = &older;
    source.m_pNewer = &newer;

    CDocListNode copy(source);
    source.m_pOlder = source.m_pNewer = nullptr;
    EXPECT_EQ(copy.m_pOlder, nullptr);
    EXPECT_EQ(copy.m_pNewer, nullptr);
    ASSERT_NE(copy.m_pArray, nullptr);
    ASSERT_NE(copy.m_pFeed, nullptr);
    ASSERT_NE(copy.m_pSplit, nullptr);
    EXPECT_NE(copy.m_pArray, source.m_pArray);
    EXPECT_NE(copy.m_pFeed, source.m_pFeed);
    EXPECT_NE(copy.m_pSplit, source.m_pSplit);
    EXPECT_EQ(copy.m_pArray->m_nCols, 3);
    EXPECT_EQ(copy.m_pArray->m_dAreaW, 9000);
    EXPECT_EQ(copy.m_pFeed->m_nCount, 2);
    EXPECT_EQ(copy.m_pFeed->m_dLength, 15.5);
    EXPECT_EQ(copy.m_pFeed->m_nDelayMs, 300);
    EXPECT_EQ(copy.m_pSplit->m_bOn, 1);
    EXPECT_EQ(copy.m_pSplit->m_dDistance, 250);
    EXPECT_EQ(copy.m_pSplit->m_dMargin, 0.1);
    EXPECT_EQ(copy.m_pSplit->m_nDirection, 1);

    ASSERT_EQ(Length(copy.m_pFirst), 2);
    CDocData* line = copy.m_pFirst;
    auto* groupCopy = static_cast<TestDocData*>(line->m_pNext);
    EXPECT_NE(line, source.m_pFirst);
    EXPECT_EQ(groupCopy->m_pPrev, line);
    ASSERT_NE(groupCopy->m_pChildren, nullptr);
    EXPECT_NE(groupCopy->m_pChildren, group->m_pChildren);

    // Editing the source reaches no part of the snapshot.
    source.m_pFirst->Move(CGeoPoint(0, 0), CGeoPoint(50, 50), nullptr);
    group->m_pChildren->m_pNodes->m_x = -1;
    source.m_pArray->m_nCols = 1;
    source.m_pFeed->m_nCount = 0;
    source.m_pSplit->m_bOn = 0;
    EXPECT_EQ(line->m_pNodes->m_x, 0);
    EXPECT_EQ(line->m_pNodes->m_pNext->m_x, 10);
    EXPECT_EQ(line->m_rcBound.m_xmax, 10);
    EXPECT_EQ(groupCopy->m_pChildren->m_pNodes->m_x, 5);
    EXPECT_EQ(copy.m_pArray->m_nCols, 3);
    EXPECT_EQ(copy.m_pFeed->m_nCount, 2);
    EXPECT_EQ(copy.m_pSplit->m_bOn, 1);
}

TEST(DocListNode, SnapshotOfANodeWithoutRecordsHasNone)
{
    CDocListNode empty;
    CDocListNode copy(empty);
    EXPECT_EQ(copy.m_pArray, nullptr);
    EXPECT_EQ(copy.m_pFeed, nullptr);
    EXPECT_EQ(copy.m_pSplit, nullptr);
    EXPECT_EQ(copy.m_pFirst, nullptr);
}

TEST(DocListNode, ObjectsRectByModeCountsOnlyTheLowSevenOutputBits)
{
    CDocListNode doc;
    auto* a = Line(0, 0, 10, 10);
    auto* b = Line(100, 50, 120, 60);
    auto* c = Line(-5, 20, 0, 30);
    doc.m_pFirst = LinkObjects({a, b, c});
    CGeoBox box;

    doc.GetObjectsRect(box, 0);
    EXPECT_EQ(box.m_xmin, -5);
    EXPECT_EQ(box.m_xmax, 120);
    EXPECT_EQ(box.m_ymin, 0);
    EXPECT_EQ(box.m_ymax, 60);

    a->m_bOutput = 0;
    b->m_bOutput = 0x80; // light-guide mark alone is not output
    const CGeoBox result = doc.GetObjectsRect(box, 1);
    EXPECT_EQ(box.m_xmin, -5);
    EXPECT_EQ(box.m_xmax, 0);
    EXPECT_EQ(box.m_ymin, 20);
    EXPECT_EQ(box.m_ymax, 30);
    EXPECT_FALSE(result.IsDifferent(box));

    c->m_bOutput = 0;
    doc.GetObjectsRect(box, 1);
    EXPECT_TRUE(box.IsEmpty());

    box = CGeoBox(1, 2, 3, 4);
    doc.GetObjectsRect(box, 2);
    EXPECT_TRUE(box.IsEmpty());
}

TEST(DocListNode, AllObjectsRectStartsFromTheFirstObject)
{
    CDocListNode doc;
    CGeoBox box(1, 2, 3, 4);
    doc.GetAllObjectsRect(box);
    EXPECT_TRUE(box.IsEmpty());

    doc.m_pFirst = LinkObjects({Line(10, 10, 20, 20), Line(0, 15, 5, 40)});
    doc.GetAllObjectsRect(box);
    EXPECT_EQ(box.m_xmin, 0);
    EXPECT_EQ(box.m_xmax, 20);
    EXPECT_EQ(box.m_ymin, 10);
    EXPECT_EQ(box.m_ymax, 40);
}

TEST(DocListNode, HasArrayCopiesIgnoresSingleCopyArraysAndObjectsNotOutput)
{
    CDocListNode doc;
    auto* a = Line(0, 0, 1, 1);
    auto* b = Line(0, 0, 1, 1);
    doc.m_pFirst = LinkObjects({a, b});
    EXPECT_FALSE(doc.HasArrayCopies());

    a->m_pArray = new ARRAYREC; // one row, one column
    EXPECT_FALSE(doc.HasArrayCopies());
    b->m_pArray = new ARRAYREC;
    b->m_pArray->m_nRows = 2;
    b->m_bOutput = 0x80;
    EXPECT_FALSE(doc.HasArrayCopies());
    b->m_bOutput = 0x01;
    EXPECT_TRUE(doc.HasArrayCopies());
    b->m_pArray->m_nRows = 1;
    a->m_pArray->m_nCols = 2;
    EXPECT_TRUE(doc.HasArrayCopies());
}

TEST(DocListNode, CountSelectedPerLayerAndOverAllLayers)
{
    CDocListNode doc;
    auto* a = Line(0, 0, 1, 1);
    auto* b = Line(0, 0, 1, 1);
    auto* c = Line(0, 0, 1, 1);
    auto* d = Line(0, 0, 1, 1);
    a->m_nLayer = 3;
    b->m_nLayer = 3;
    c->m_nLayer = 4;
    d->m_nLayer = 3;
    a->SetSelected(1);
    c->SetSelected(1);
    d->SetSelected(1);
    doc.m_pFirst = LinkObjects({a, b, c, d});
    EXPECT_EQ(doc.CountSelected(-1), 3u);
    EXPECT_EQ(doc.CountSelected(3), 2u);
    EXPECT_EQ(doc.CountSelected(4), 1u);
    EXPECT_EQ(doc.CountSelected(0), 0u);
}

TEST(CloneDocData, FirstObjectOnlyWithoutTheFlag)
{
    ScopedTestCopiers copiers({MT_LINE});
    CDocData* list = LinkObjects({Line(0, 0, 1, 0), Line(1, 0, 2, 0), Line(2, 0, 3, 0), Line(3, 0, 4, 0),
                                  Line(4, 0, 5, 0)});
    CDocData* one = CloneDocData(list, false);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->m_pNext, nullptr);
    EXPECT_EQ(one->m_pPrev, nullptr);
    EXPECT_EQ(one->m_pNodes->m_x, 0);

    CDocData* all = CloneDocData(list->m_pNext, true);
    EXPECT_EQ(Length(all), 4);
    EXPECT_EQ(all->m_pNodes->m_x, 1);
    EXPECT_EQ(all->m_pNext->m_pPrev, all);
    EXPECT_EQ(CloneDocData(nullptr, true), nullptr);
    DeleteObjectList(one);
    DeleteObjectList(all);
    DeleteObjectList(list);
}

TEST(CloneDocData, NurbsBecomesAnEmptyNurbsAndUnknownTypesAreSkipped)
{
    ScopedTestCopiers copiers({MT_LINE});
    auto* nurbs = new CDocDataNurbs;
    nurbs->SetType(MT_NURBS);
    nurbs->m_pNodes = AppendNode(nullptr, 1, 1);
    auto* odd = Line(0, 0, 1, 1);
    odd->m_nType = 42;
    auto* noClass = Line(0, 0, 1, 1);
    noClass->m_nType = MT_ELLIPSE; // no class registered for it here
    CDocData* list = LinkObjects({odd, nurbs, noClass, Line(7, 7, 8, 8)});

    CDocData* copy = CloneDocData(list, true);
    ASSERT_EQ(Length(copy), 2);
    EXPECT_NE(dynamic_cast<CDocDataNurbs*>(copy), nullptr);
    EXPECT_EQ(copy->m_nType, MT_UNKNOWN);
    EXPECT_EQ(copy->m_pNodes, nullptr);
    EXPECT_EQ(copy->m_pPrev, nullptr);
    EXPECT_EQ(copy->m_pNext->m_nType, MT_LINE);
    EXPECT_EQ(copy->m_pNext->m_pNodes->m_x, 7);
    EXPECT_EQ(copy->m_pNext->m_pPrev, copy);
    DeleteObjectList(copy);
    DeleteObjectList(list);
}

TEST(CloneDocData, AnIdOfAClassTheObjectIsNotIsSkippedNotMiscast)
{
    // Only the real classes may be copied through their copy constructors;
    // a cast on the type id alone would read fields the object lacks.
    auto* asPoint = Line(0, 0, 1, 1);
    asPoint->m_nType = MT_POINT;
    auto* asGroup = Line(0, 0, 1, 1);
    asGroup->m_nType = MT_GROUP;
    auto* asChar = Line(0, 0, 1, 1);
    asChar->m_nType = MT_CHAR;
    CDocData* list = LinkObjects({asPoint, asGroup, asChar});
    EXPECT_EQ(CloneDocData(list, true), nullptr);
    DeleteObjectList(list);
}

// A copy made a slice at a time is the whole snapshot, its objects and
// records copies. Every edit moves the change count first: an edit between
// two slices starts the copy again, so it holds the document as it then
// is (here without the deleted third line), never half of each.
TEST(DocListNode, SliceBySliceCopyStartsAgainAfterAnEdit)
{
    ScopedTestCopiers copiers({MT_LINE});
    CDocListNode live;
    live.m_pFeed = new FEEDREPEAT{2, 15.5, 300};
    live.m_pFirst = LinkObjects({Line(0, 0, 1, 0), Line(1, 0, 2, 0), Line(2, 0, 3, 0), Line(3, 0, 4, 0), Line(4, 0, 5, 0)});
    DOCCONTEXT ctx;
    ctx.m_pCurrent = &live;
    CSnapshotCopy copy(ctx);
    EXPECT_FALSE(copy.Step(2));
    EXPECT_EQ(copy.Total(), 5u);
    EXPECT_EQ(copy.Copied(), 2u);
    EXPECT_EQ(copy.Take(), nullptr) << "not whole yet";

    ctx.NoteChange();
    CDocData* third = live.m_pFirst->m_pNext->m_pNext;
    third->m_pPrev->m_pNext = third->m_pNext;
    third->m_pNext->m_pPrev = third->m_pPrev;
    delete third;
    EXPECT_FALSE(copy.Step(2));
    EXPECT_EQ(copy.Total(), 4u);
    EXPECT_EQ(copy.Copied(), 2u);
    EXPECT_TRUE(copy.Step(10));
    const std::unique_ptr<CDocListNode> whole(copy.Take());
    ASSERT_NE(whole, nullptr);
    std::vector<double> starts;
    const CDocData* original = live.m_pFirst;
    for (const CDocData* o = whole->m_pFirst; o != nullptr; o = o->m_pNext, original = original->m_pNext) {
        starts.push_back(o->m_pNodes->m_x);
        EXPECT_NE(o, original);
        EXPECT_NE(o->m_pNodes, original->m_pNodes);
    }
    EXPECT_EQ(starts, (std::vector<double>{0, 1, 3, 4}));
    ASSERT_NE(whole->m_pFeed, nullptr);
    EXPECT_NE(whole->m_pFeed, live.m_pFeed);
    EXPECT_EQ(whole->m_pFeed->m_nDelayMs, 300);
    EXPECT_EQ(whole->m_pOlder, nullptr);
}
