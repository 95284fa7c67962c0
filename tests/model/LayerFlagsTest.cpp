// Output switches follow the layer records: an object is output when its
// layer is cut or scanned; a switched-off layer clears every bit but the
// light-guide mark (bit 7); a layer without a record leaves its objects alone.
#include "TestDocData.h"

#include "model/DocContext.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "settings/SoftwareSettings.h"
#include "settings/WorkParams.h"

#include <gtest/gtest.h>

using plat::LinkObjects;
using plat::TestDocData;

namespace {

TestDocData* OnLayer(std::int32_t layer, std::uint8_t output)
{
    TestDocData* obj = new TestDocData;
    obj->m_nLayer = layer;
    obj->m_bOutput = output;
    return obj;
}

class LayerFlagsTest : public ::testing::Test {
protected:
    LayerFlagsTest()
    {
        m_settings.m_pLayers = MakeDefaultLayerList();
        m_ctx.m_pSettings = &m_settings;
        m_ctx.m_pCurrent = new CDocListNode;
    }
    ~LayerFlagsTest() override
    {
        delete m_ctx.m_pCurrent;
        FreeWorkParamList(m_settings.m_pLayers);
    }
    WorkParams& Layer(int id) { return *FindLayerParams(m_settings.m_pLayers, id); }

    SoftwareSettings m_settings;
    DOCCONTEXT m_ctx;
};

} // namespace

TEST_F(LayerFlagsTest, SwitchesSetBitZeroOrKeepOnlyTheLightGuideMark)
{
    Layer(2).m_border = 0;                       // neither cut nor scanned
    Layer(3).m_border = 0;
    Layer(3).m_sweep = 1;                        // scanned only
    TestDocData* offMarked = OnLayer(2, 0x81);
    TestDocData* offPlain = OnLayer(2, 0x7F);
    TestDocData* scanned = OnLayer(3, 0x00);
    TestDocData* cutMarked = OnLayer(4, 0x80);   // default record: cut
    TestDocData* cutOther = OnLayer(5, 0x02);
    TestDocData* noRecord = OnLayer(300, 0x00);
    TestDocData* negative = OnLayer(-1, 0x05);
    m_ctx.m_pCurrent->m_pFirst = LinkObjects({offMarked, offPlain, scanned, cutMarked, cutOther, noRecord, negative});

    CDocState tool;
    tool.ApplyLayerFlags(&m_ctx);
    EXPECT_EQ(offMarked->m_bOutput, 0x80);
    EXPECT_EQ(offPlain->m_bOutput, 0x00);
    EXPECT_EQ(scanned->m_bOutput, 0x01);
    EXPECT_EQ(cutMarked->m_bOutput, 0x81);
    EXPECT_EQ(cutOther->m_bOutput, 0x03);
    EXPECT_EQ(noRecord->m_bOutput, 0x00);
    EXPECT_EQ(negative->m_bOutput, 0x05);
}

TEST_F(LayerFlagsTest, LaterRecordOfTheSameLayerIdDecides)
{
    // A file may give two groups the same id; they are applied in list order.
    WorkParams& first = Layer(6);
    WorkParams& second = *first.m_pNext;
    first.m_border = 1;
    second.m_group_num = 6;
    second.m_border = 0;
    TestDocData* obj = OnLayer(6, 0x01);
    m_ctx.m_pCurrent->m_pFirst = obj;
    CDocState().ApplyLayerFlags(&m_ctx);
    EXPECT_EQ(obj->m_bOutput, 0x00);
}

TEST_F(LayerFlagsTest, OffThenOnRecordOfOneIdClearsTheOtherBitsAndSetsBitZero)
{
    // Applied in order: "off" keeps only bit 7 (0x86 -> 0x80), then "on" sets
    // bit 0 (0x81); bits 1 and 2 must not come back.
    WorkParams& first = Layer(6);
    WorkParams& second = *first.m_pNext;
    first.m_border = 0;
    first.m_sweep = 0;
    second.m_group_num = 6;
    second.m_border = 1;
    TestDocData* obj = OnLayer(6, 0x86);
    m_ctx.m_pCurrent->m_pFirst = obj;
    CDocState().ApplyLayerFlags(&m_ctx);
    EXPECT_EQ(obj->m_bOutput, 0x81);
}

TEST_F(LayerFlagsTest, NoRecordsAtAllLeaveEverySwitchAsItWas)
{
    FreeWorkParamList(m_settings.m_pLayers);
    m_settings.m_pLayers = nullptr;
    TestDocData* a = OnLayer(0, 0x7E);
    TestDocData* b = OnLayer(2, 0x80);
    TestDocData* c = OnLayer(-1, 0x05);
    m_ctx.m_pCurrent->m_pFirst = LinkObjects({a, b, c});
    CDocState().ApplyLayerFlags(&m_ctx);
    EXPECT_EQ(a->m_bOutput, 0x7E);
    EXPECT_EQ(b->m_bOutput, 0x80);
    EXPECT_EQ(c->m_bOutput, 0x05);
}
