// Dashed lines: outlines cut from their first node into solid pieces and
// gaps of fixed lengths, each solid piece a polyline of its own.
#include "ProcessingTestSupport.h"
#include "processing/PathProc.h"

#include "model/DocContext.h"
#include "model/DocDataGroup.h"
#include "model/DocListNode.h"
#include "platform/Progress.h"

#include <gtest/gtest.h>

#include <limits>

namespace plat {
namespace {

std::vector<std::vector<XY>> Pieces(const CDocData* head)
{
    std::vector<std::vector<XY>> out;
    for (const CDocData* o = head; o != nullptr; o = o->m_pNext)
        out.push_back(NodePositions(o->m_pNodes));
    return out;
}

const std::vector<XY> kSquare{{0, 0}, {400, 0}, {400, 400}, {0, 400}, {0, 0}};

// Perimeter 1600 in periods of 150: pieces from 0, 150, ..., 1500, the last
// ending on the start. Cuts at 300..400, 1200 and 1600 fall on nodes; the
// piece from 750 turns the corner (400,400).
TEST(DashObject, SquareWithSolid100AndGap50GivesElevenPiecesSomeTurningCorners)
{
    CDocData* square = MakeLine(kSquare, 7);
    square->m_nColor = 0x00FF00;
    CDocData* pieces = CPathProc::DashObject(square, 100, 50, nullptr);
    EXPECT_EQ(Pieces(pieces), (std::vector<std::vector<XY>>{{{0, 0}, {100, 0}},
                                                          {{150, 0}, {250, 0}},
                                                          {{300, 0}, {400, 0}},
                                                          {{400, 50}, {400, 150}},
                                                          {{400, 200}, {400, 300}},
                                                          {{400, 350}, {400, 400}, {350, 400}},
                                                          {{300, 400}, {200, 400}},
                                                          {{150, 400}, {50, 400}},
                                                          {{0, 400}, {0, 300}},
                                                          {{0, 250}, {0, 150}},
                                                          {{0, 100}, {0, 0}}}));
    for (const CDocData* p = pieces; p != nullptr; p = p->m_pNext) {
        EXPECT_EQ(p->GetType(), MT_LINE);
        EXPECT_EQ(p->m_nLayer, 7);
        EXPECT_EQ(p->m_nColor, 0x00FF00u);
        EXPECT_EQ(p->m_bSelected, 1);
        EXPECT_EQ(p->m_pLeadInOut, nullptr);
        if (p->m_pNext != nullptr) {
            EXPECT_EQ(p->m_pNext->m_pPrev, p);
        }
    }
    // The object itself is untouched.
    EXPECT_EQ(NodePositions(square->m_pNodes), kSquare);
    DeleteObjectList(pieces);
    delete square;
}

// Period 400: every cut lands exactly on a corner, so no piece turns one
// and no piece gets a zero-length segment; the last gap ends on the start.
TEST(DashObject, SquareWithSolid300AndGap100CutsOnTheCornersOnly)
{
    CDocData* square = MakeLine(kSquare);
    CDocData* pieces = CPathProc::DashObject(square, 300, 100, nullptr);
    EXPECT_EQ(Pieces(pieces), (std::vector<std::vector<XY>>{{{0, 0}, {300, 0}},
                                                          {{400, 0}, {400, 300}},
                                                          {{400, 400}, {100, 400}},
                                                          {{0, 400}, {0, 100}}}));
    DeleteObjectList(pieces);
    delete square;
}

TEST(DashObject, StraightLineEndsWithAShorterPieceOrDropsTheSingleNodeLeft)
{
    const struct {
        double solid, gap;
        std::vector<std::vector<XY>> pieces;
    } cases[] = {
        {10, 10, {{{0, 0}, {10, 0}}, {{20, 0}, {30, 0}}, {{40, 0}, {50, 0}}, {{60, 0}, {70, 0}}, {{80, 0}, {90, 0}}}},
        {30, 20, {{{0, 0}, {30, 0}}, {{50, 0}, {80, 0}}}},
        {30, 10, {{{0, 0}, {30, 0}}, {{40, 0}, {70, 0}}, {{80, 0}, {100, 0}}}},
        // A gap of 0 is valid: the pieces touch.
        {30, 0, {{{0, 0}, {30, 0}}, {{30, 0}, {60, 0}}, {{60, 0}, {90, 0}}, {{90, 0}, {100, 0}}}},
        // Longer than the line: one piece, the whole line.
        {500, 10, {{{0, 0}, {100, 0}}}},
    };
    for (const auto& c : cases) {
        CDocData* line = MakeLine({{0, 0}, {100, 0}});
        CDocData* pieces = CPathProc::DashObject(line, c.solid, c.gap, nullptr);
        EXPECT_EQ(Pieces(pieces), c.pieces) << "solid " << c.solid << " gap " << c.gap;
        DeleteObjectList(pieces);
        delete line;
    }
}

// A length below the coordinates' resolution cut at the piece's own start
// for ever; a huge outline against tiny lengths would not fit in memory.
TEST(DashObject, LengthsTheCoordinatesCannotResolveOrTooManyPiecesEndAtOnce)
{
    // Near 1e17 doubles are 16 apart: a cut 1 along (1e17, 0)-(1e17+64, 0)
    // rounds back to its start, so each cut goes on to the next node.
    CDocData* far = MakeLine({{1e17, 0}, {1e17 + 64, 0}, {1e17 + 128, 0}});
    CDocData* pieces = CPathProc::DashObject(far, 1, 1, nullptr);
    EXPECT_EQ(Pieces(pieces), (std::vector<std::vector<XY>>{{{1e17, 0}, {1e17 + 64, 0}}}));
    DeleteObjectList(pieces);
    delete far;

    CDocData* huge = MakeLine({{0, 0}, {1e12, 0}});
    EXPECT_EQ(CPathProc::DashObject(huge, 0.5, 0.5, nullptr), nullptr);
    EXPECT_EQ(CPathProc::DashObject(huge, 1e-300, 0, nullptr), nullptr);
    delete huge;

    CDocData* notANumber = MakeLine({{0, 0}, {std::numeric_limits<double>::quiet_NaN(), 0}, {10, 0}});
    EXPECT_EQ(CPathProc::DashObject(notANumber, 1, 1, nullptr), nullptr);
    delete notANumber;
}

class DashedDocument : public testing::Test {
protected:
    void SetUp() override
    {
        m_doc = new CDocListNode;
        m_ctx.m_pCurrent = m_doc;
        SetProgressSink(&m_progress);
    }
    void TearDown() override
    {
        SetProgressSink(nullptr);
        delete m_doc;
    }

    DOCCONTEXT m_ctx;
    CDocListNode* m_doc = nullptr;
    RecordingProgress m_progress;
};

TEST_F(DashedDocument, SelectedOutlinesArePiecesInTheirPlaceGroupsAndOthersStay)
{
    CDocData* head = MakeLine({{0, 0}, {100, 0}}, 1);
    CDocData* kept = MakeLine({{0, 50}, {100, 50}});
    kept->m_bSelected = 0;
    CDocData* group = new CDocDataGroup(LinkObjects({MakeLine({{0, 90}, {100, 90}})}), &m_ctx);
    CDocData* tail = MakeLine({{0, 70}, {40, 70}}, 2);
    m_doc->m_pFirst = LinkObjects({head, kept, group, tail});

    EXPECT_TRUE(CPathProc::MakeDashedLines(&m_ctx, 30, 20));

    // head -> two pieces, kept, group, tail -> 0-30 and the lone node at 40
    // after the gap is dropped.
    std::vector<const CDocData*> order;
    for (const CDocData* o = m_doc->m_pFirst; o != nullptr; o = o->m_pNext) {
        order.push_back(o);
        if (o->m_pNext != nullptr) {
            EXPECT_EQ(o->m_pNext->m_pPrev, o);
        }
    }
    ASSERT_EQ(order.size(), 5u);
    EXPECT_EQ(m_doc->m_pFirst->m_pPrev, nullptr);
    EXPECT_EQ(NodePositions(order[0]->m_pNodes), (std::vector<XY>{{0, 0}, {30, 0}}));
    EXPECT_EQ(NodePositions(order[1]->m_pNodes), (std::vector<XY>{{50, 0}, {80, 0}}));
    EXPECT_EQ(order[1]->m_nLayer, 1);
    EXPECT_EQ(order[2], kept);
    EXPECT_EQ(order[3], group);
    EXPECT_EQ(NodePositions(order[4]->m_pNodes), (std::vector<XY>{{0, 70}, {30, 70}}));
    EXPECT_EQ(order[4]->m_nLayer, 2);
    // One step per selected object: head, group and tail.
    EXPECT_EQ(m_progress.m_upper, 3);
    EXPECT_EQ(m_progress.m_history, (std::vector<int>{0, 1, 2, 3, 0}));
}

TEST_F(DashedDocument, InvalidLengthsLeaveTheDrawingAndReturnFalse)
{
    CDocData* line = MakeLine({{0, 0}, {100, 0}});
    m_doc->m_pFirst = line;
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::pair<double, double> bad[] = {{0, 10}, {-5, 10}, {10, -1}, {inf, 10}, {10, inf}, {nan, 10}, {10, nan}};
    for (const auto& [solid, gap] : bad) {
        EXPECT_FALSE(CPathProc::MakeDashedLines(&m_ctx, solid, gap)) << solid << " " << gap;
        EXPECT_EQ(m_doc->m_pFirst, line);
        EXPECT_EQ(line->m_pNext, nullptr);
        EXPECT_EQ(NodePositions(line->m_pNodes), (std::vector<XY>{{0, 0}, {100, 0}}));
    }
    EXPECT_TRUE(m_progress.m_history.empty());
    // A selected group alone changes nothing either.
    m_doc->m_pFirst = nullptr;
    delete line;
    CDocData* group = new CDocDataGroup(LinkObjects({MakeLine({{0, 0}, {100, 0}})}), &m_ctx);
    m_doc->m_pFirst = group;
    EXPECT_FALSE(CPathProc::MakeDashedLines(&m_ctx, 10, 10));
    EXPECT_EQ(m_doc->m_pFirst, group);
}

} // namespace
} // namespace plat
