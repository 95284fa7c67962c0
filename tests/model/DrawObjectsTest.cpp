// The tool base's drawing of the whole document, as the view's paint runs it:
// list order, numbering from 1, attached objects, the node marks of the node
// tool only, the three display switches, and dotted travel lines from one
// object's end to the next one's start.
#include "TestDocData.h"

#include "model/DocContext.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/RecordingDC.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using plat::LinkObjects;
using plat::RecordingDC;
using plat::TestDocData;

namespace {

// Writes each draw call into a shared log as "<name>:<call>".
class LoggingObject : public TestDocData {
public:
    LoggingObject(std::string name, std::vector<std::string>& log) : m_name(std::move(name)), m_log(log) {}
    void Draw(CDC*, DOCCONTEXT*) override { m_log.push_back(m_name + ":draw"); }
    void DrawNodes(CDC*, DOCCONTEXT*) override { m_log.push_back(m_name + ":nodes"); }
    void DrawDirection(CDC*, DOCCONTEXT*) override { m_log.push_back(m_name + ":direction"); }
    void DrawIndex(CDC*, DOCCONTEXT*, int number) override
    {
        m_log.push_back(m_name + ":index" + std::to_string(number));
    }
    void DrawStartPoint(CDC*, DOCCONTEXT*) override { m_log.push_back(m_name + ":start"); }

private:
    std::string m_name;
    std::vector<std::string>& m_log;
};

class DrawObjectsTest : public ::testing::Test {
protected:
    DrawObjectsTest()
    {
        m_settings.m_crAxis = 0xFF8000;
        m_a = new LoggingObject("a", m_log);
        m_a->WithNodes({{100, 40}, {300, 40}});
        m_b = new LoggingObject("b", m_log);
        m_b->WithNodes({{500, 90}, {700, 90}});
        m_b->m_pAttached = new LoggingObject("b-pattern", m_log);
        m_doc.m_pFirst = LinkObjects({m_a, m_b});
        m_ctx.m_pCurrent = &m_doc;
        m_ctx.m_pSettings = &m_settings;
        m_ctx.m_dZoom = 0.5;
        m_ctx.m_ptScroll = {10, 5};
    }

    std::vector<std::string> m_log;
    SoftwareSettings m_settings;
    LoggingObject* m_a;
    LoggingObject* m_b;
    CDocListNode m_doc;
    DOCCONTEXT m_ctx;
    CDocState m_tool;
    RecordingDC m_dc;
};

} // namespace

TEST_F(DrawObjectsTest, DrawsInListOrderWithAttachedObjectsAndNoExtrasByDefault)
{
    m_tool.DrawObjects(&m_dc, &m_ctx);
    EXPECT_EQ(m_log, (std::vector<std::string>{"a:draw", "b:draw", "b-pattern:draw"}));
    // No travel line; the dotted pen is put back.
    EXPECT_EQ(m_dc.Count(RecordingDC::Op::LineTo), 0u);
    EXPECT_EQ(m_dc.CurrentPen(), plat::Pen{});
}

TEST_F(DrawObjectsTest, NodeToolAndDisplaySwitchesAddTheirMarksWithNumbersFromOne)
{
    m_ctx.m_nTool = 1;
    m_settings.m_bShowDirection = 1;
    m_settings.m_bShowOrder = 1;
    m_settings.m_bShowStart = 1;
    m_tool.DrawObjects(&m_dc, &m_ctx);
    EXPECT_EQ(m_log, (std::vector<std::string>{"a:draw", "a:nodes", "a:direction", "a:index1", "a:start", "b:draw",
                                               "b-pattern:draw", "b:nodes", "b:direction", "b:index2", "b:start"}));

    // Any other tool draws no node marks.
    m_log.clear();
    m_ctx.m_nTool = 0;
    m_settings.m_bShowDirection = m_settings.m_bShowOrder = m_settings.m_bShowStart = 0;
    m_tool.DrawObjects(&m_dc, &m_ctx);
    EXPECT_EQ(m_log, (std::vector<std::string>{"a:draw", "b:draw", "b-pattern:draw"}));
}

TEST_F(DrawObjectsTest, TravelLineRunsDottedFromTheEndOfOneObjectToTheStartOfTheNext)
{
    m_settings.m_bShowTravel = 1;
    m_tool.DrawObjects(&m_dc, &m_ctx);
    // End of a (300, 40) and start of b (500, 90) at zoom 0.5, scroll (10, 5).
    const std::vector<RecordingDC::Call> calls = m_dc.DrawCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].op, RecordingDC::Op::MoveTo);
    EXPECT_EQ(calls[0].args, (std::vector<int>{140, 15}));
    EXPECT_EQ(calls[1].op, RecordingDC::Op::LineTo);
    EXPECT_EQ(calls[1].args, (std::vector<int>{240, 40}));
    EXPECT_EQ(calls[1].pen, (plat::Pen{plat::PS_DOT, 1, 0xFF8000}));
}

TEST_F(DrawObjectsTest, NothingWithoutADeviceContextOrADocument)
{
    m_tool.DrawObjects(nullptr, &m_ctx);
    m_ctx.m_pCurrent = nullptr;
    m_tool.DrawObjects(&m_dc, &m_ctx);
    EXPECT_TRUE(m_log.empty());
    EXPECT_TRUE(m_dc.Calls().empty());
}
