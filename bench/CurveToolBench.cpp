// A mouse move while a Bezier anchor is being dragged out, at the end of a
// chain of 10 and of 1,000 anchors: it redraws the pending segment and its
// handles only. Target: the same time for both lengths.
#include "app/tools/DocStateDrawBezier.h"
#include "model/DocContext.h"
#include "model/DocListNode.h"
#include "platform/RecordingDC.h"
#include "settings/SoftwareSettings.h"

#include <benchmark/benchmark.h>

namespace {

void BM_BezierMoveDuringPress(benchmark::State& state)
{
    SoftwareSettings settings;
    settings.SetPaletteAndInterfaceDefaults();
    DOCCONTEXT ctx;
    ctx.m_pSettings = &settings;
    CDocListNode doc;
    ctx.m_pCurrent = &doc;
    plat::RecordingDC dc;
    ctx.m_pDC = &dc;
    CDocStateDrawBezier tool;
    for (CDocState*& slot : ctx.m_pTools)
        slot = &tool;
    const auto anchors = static_cast<int>(state.range(0));
    for (int k = 0; k < anchors; ++k) {
        ctx.m_ptMouse = CGeoPoint(500000.0 + 10.0 * k, 500000.0 + (k % 2) * 20.0);
        tool.OnLButtonDown(&ctx);
        tool.OnLButtonUp(&ctx);
    }
    ctx.m_ptMouse = CGeoPoint(500000.0 + 10.0 * anchors, 500000.0);
    tool.OnLButtonDown(&ctx);
    double dx = 0.0;
    for (auto _ : state) {
        dx = dx > 50.0 ? 0.0 : dx + 1.0;
        ctx.m_ptMouse = CGeoPoint(500000.0 + 10.0 * anchors + dx, 500000.0 + dx);
        tool.OnMouseMove(&ctx);
        dc.Clear();
    }
    tool.Reset(0, &ctx);
    ctx.m_pCurrent = nullptr;
}
BENCHMARK(BM_BezierMoveDuringPress)->Arg(10)->Arg(1000);

} // namespace
