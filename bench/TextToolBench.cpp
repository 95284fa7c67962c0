// The text tool placing a 1,000-character text in DejaVu Sans at 10 mm:
// one font for the whole text, the outlines turned into closed Bezier
// contours, mirrored into the document and added as one undo step.
// Target: under 200 ms, one font lookup. Counter: fonts looked up per
// placement.
#include "QtBench.h"
#include "app/tools/DocStateDrawText.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "platform/ViewWindow.h"
#include "settings/SoftwareSettings.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

void BM_TextToolPlace1000Characters(benchmark::State& state)
{
    UseScratchFolders();
    std::u16string text;
    const std::u16string pangram = u"The quick brown fox jumps over the lazy dog, 0123456789. ";
    while (text.size() < 1000)
        text += pangram;
    text.resize(1000);

    int lookups = 0;
    CDocStateDrawText::SetGlyphSourceForTesting([&lookups](const std::string& face, std::int32_t em) {
        ++lookups;
        return CDocStateDrawText::PlatformGlyphs(face, em);
    });
    SoftwareSettings settings;
    settings.SetPaletteAndInterfaceDefaults();
    plat::RecordingView view;
    view.m_fontAnswer = plat::FontDialogValues{u"TrueType", u"DejaVu Sans", text, 10.0, 0.0};
    CDocStateDrawText tool;
    std::size_t characters = 0;
    for (auto _ : state) {
        state.PauseTiming();
        DOCCONTEXT ctx;
        ctx.m_pSettings = &settings;
        ctx.m_pView = &view;
        ctx.m_pCurrent = new CDocListNode;
        for (CDocState*& t : ctx.m_pTools)
            t = &tool;
        ctx.m_nTool = TOOL_TEXT;
        state.ResumeTiming();

        tool.OnLButtonDown(&ctx);

        state.PauseTiming();
        characters = 0;
        for (CDocData* o = ctx.m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext)
            ++characters;
        CDocListNode* oldest = ctx.m_pCurrent;
        while (oldest->m_pOlder != nullptr)
            oldest = oldest->m_pOlder;
        CDocState::DeleteHistoryChain(oldest);
        state.ResumeTiming();
    }
    CDocStateDrawText::SetGlyphSourceForTesting(nullptr);
    state.counters["characters"] = static_cast<double>(characters);
    state.counters["font_lookups"] =
        static_cast<double>(lookups) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_TextToolPlace1000Characters)->Unit(benchmark::kMillisecond);

} // namespace
