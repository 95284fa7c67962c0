// A generated drawing of 1,000,000 entities for the benchmarks of long work:
// polylines of two to four nodes, 2 to 9 mm long, scattered over 550 x 550
// mm on eight cut layers, in drawing order, with one network machine at
// 127.0.0.1 (600 x 600 mm).
#pragma once
#include "../tests/support/ManyLines.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/NodeList.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"
#include "settings/WorkParams.h"

struct MillionDrawing {
    static constexpr double kO = 500000.0;
    static constexpr int kEntities = 1000000;

    SoftwareSettings settings;
    MachineNode* machine = new MachineNode;
    CDocListNode document;
    DOCCONTEXT ctx;

    MillionDrawing()
    {
        settings.SetPaletteAndInterfaceDefaults();
        settings.SetOptionDefaults();
        settings.m_pLayers = MakeDefaultLayerList();
        for (WorkParams* p = settings.m_pLayers; p != nullptr; p = p->m_pNext)
            p->m_border = 1;
        machine->m_ip = 0x7F000001;
        machine->m_xsize = 600;
        machine->m_ysize = 600;
        settings.m_pMachines = machine;
        CDocData* prev = nullptr;
        MakeManyLines(kEntities, 550, [&](CDocDataLine* line, int i) {
            line->m_nLayer = i % 8;
            line->m_nColor = settings.m_palette[line->m_nLayer];
            line->m_pPrev = prev;
            (prev != nullptr ? prev->m_pNext : document.m_pFirst) = line;
            prev = line;
        });
        ctx.m_pSettings = &settings;
        ctx.m_pCurrent = &document;
    }
};

// Made once for the run and kept.
inline MillionDrawing& Drawing()
{
    static MillionDrawing* drawing = new MillionDrawing;
    return *drawing;
}
