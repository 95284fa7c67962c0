// The edit context of the tool tests: default settings, an empty document,
// a recording view at zoom 1 scrolled to (499950, 499950), so world
// (500000, 500000) is client (50, 50). The history, the layer records and
// the machine list are freed after each test.
#pragma once
#include "model/DocContext.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/RecordingDC.h"
#include "platform/ViewWindow.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"
#include "settings/WorkParams.h"

#include <gtest/gtest.h>

namespace plat {

class ToolContextTest : public ::testing::Test {
protected:
    ToolContextTest()
    {
        m_settings.SetPaletteAndInterfaceDefaults();
        m_ctx.m_pSettings = &m_settings;
        m_ctx.m_pCurrent = new CDocListNode;
        m_ctx.m_pView = &m_view;
        m_ctx.m_dZoom = 1.0;
        m_view.m_scroll = {499950, 499950};
    }
    ~ToolContextTest() override
    {
        CDocListNode* oldest = m_ctx.m_pCurrent;
        while (oldest->m_pOlder != nullptr)
            oldest = oldest->m_pOlder;
        CDocState::DeleteHistoryChain(oldest);
        FreeWorkParamList(m_settings.m_pLayers);
        FreeMachineList(m_settings.m_pMachines);
    }
    // Every tool slot holds `tool`.
    void UseTool(CDocState& tool)
    {
        for (CDocState*& slot : m_ctx.m_pTools)
            slot = &tool;
    }

    SoftwareSettings m_settings;
    DOCCONTEXT m_ctx;
    RecordingView m_view;
    RecordingDC m_dc;
};

} // namespace plat
