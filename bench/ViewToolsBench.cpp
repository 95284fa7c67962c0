// The node and pan tools on large drawings, offscreen:
// - a hover move of the node tool over a picked 100,000-node polyline
//   (target: under 5 ms), and the release of a node drag on it, which
//   takes one undo step and repaints only the nodes' box;
// - the check that the node tool's object is still in a drawing of
//   100,000 objects, made before every event (target: under 1 ms);
// - a pan step over 100,000 ten-node polylines in a shown document window:
//   one scroll and one repaint (target: under 100 ms). The pan only marks
//   the view invalid, so moves that come during a repaint share the next.
#include "EditViewBench.h"
#include "app/tools/DocStateEditNode.h"
#include "model/DocContext.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/NodeList.h"
#include "platform/ViewWindow.h"
#include "settings/SoftwareSettings.h"

#include <QMouseEvent>

#include <benchmark/benchmark.h>


namespace {

// A zig-zag of n nodes, 10 units apart, from world (500000, 500000).
CDocData* ZigZag(int n)
{
    DOCNODE* head = AppendNode(nullptr, 500000.0, 500000.0);
    DOCNODE* tail = head;
    for (int i = 1; i < n; ++i)
        tail = AppendNode(tail, 500000.0 + 10.0 * i, 500000.0 + (i % 2) * 10.0);
    auto* line = new CDocDataLine(head, 1, nullptr);
    line->RecalcBoundRect(nullptr);
    return line;
}

// A document of its own on a recording view at zoom 1, scroll (499950,
// 499950).
struct NodeBench {
    NodeBench()
    {
        settings.SetPaletteAndInterfaceDefaults();
        ctx.m_pSettings = &settings;
        ctx.m_pCurrent = new CDocListNode;
        ctx.m_pView = &view;
        view.m_scroll = {499950, 499950};
    }
    ~NodeBench()
    {
        CDocListNode* oldest = ctx.m_pCurrent;
        while (oldest->m_pOlder != nullptr)
            oldest = oldest->m_pOlder;
        CDocState::DeleteHistoryChain(oldest);
    }
    void At(double x, double y, void (CDocState::*event)(DOCCONTEXT*))
    {
        ctx.m_ptMouse = CGeoPoint(x, y);
        ctx.m_pDC = &dc;
        (tool.*event)(&ctx);
        ctx.m_pDC = nullptr;
        dc.Clear();
    }
    SoftwareSettings settings;
    DOCCONTEXT ctx;
    plat::RecordingView view;
    plat::RecordingDC dc;
    CDocStateEditNode tool;
};

void BM_NodeToolHoverMove100kNodes(benchmark::State& state)
{
    NodeBench b;
    b.ctx.m_pCurrent->m_pFirst = ZigZag(100000);
    b.At(500005.0, 500005.0, &CDocState::OnLButtonDown); // picks it
    b.At(500005.0, 500005.0, &CDocState::OnLButtonUp);
    if (b.tool.m_nMode != 1) {
        state.SkipWithError("the outline was not picked");
        return;
    }
    double x = 500500.0;
    for (auto _ : state) {
        x = x == 500500.0 ? 900000.0 : 500500.0; // over a segment, then off the outline
        b.At(x, 500005.0, &CDocState::OnMouseMove);
    }
}
BENCHMARK(BM_NodeToolHoverMove100kNodes)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_NodeToolDragRelease100kNodes(benchmark::State& state)
{
    NodeBench b;
    b.ctx.m_pCurrent->m_pFirst = ZigZag(100000);
    b.At(500005.0, 500005.0, &CDocState::OnLButtonDown);
    b.At(500005.0, 500005.0, &CDocState::OnLButtonUp);
    double dy = 20.0;
    std::size_t steps = 0;
    std::size_t repaints = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // The anchor at (500500, 500000) and back.
        const double y0 = dy > 0 ? 500000.0 : 500020.0;
        b.At(500500.0, y0, &CDocState::OnLButtonDown);
        b.At(500500.0, y0 + dy, &CDocState::OnMouseMove);
        b.view.m_invalidated.clear();
        CDocListNode* before = b.ctx.m_pCurrent->m_pOlder;
        state.ResumeTiming();
        b.At(500500.0, y0 + dy, &CDocState::OnLButtonUp);
        state.PauseTiming();
        steps += b.ctx.m_pCurrent->m_pOlder != before ? 1 : 0;
        repaints += b.view.m_invalidated.size();
        dy = -dy;
        state.ResumeTiming();
    }
    state.counters["steps_per_release"] = static_cast<double>(steps) / static_cast<double>(state.iterations());
    state.counters["repaints_per_release"] =
        static_cast<double>(repaints) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_NodeToolDragRelease100kNodes)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_NodeToolObjectCheck100kObjects(benchmark::State& state)
{
    NodeBench b;
    CDocData* first = plat::MakeBenchPolylines(100000);
    b.ctx.m_pCurrent->m_pFirst = first;
    CDocData* last = first;
    while (last->m_pNext != nullptr)
        last = last->m_pNext;
    for (auto _ : state) {
        b.tool.m_pObject = last; // the far end of the list: the longest walk
        benchmark::DoNotOptimize(b.tool.HoldsLiveObject(&b.ctx));
    }
}
BENCHMARK(BM_NodeToolObjectCheck100kObjects)->Unit(benchmark::kMicrosecond)->Iterations(200);

void BM_PanStep100kPolylines(benchmark::State& state)
{
    plat::EditView v;
    if (!plat::MakeEditView(v)) {
        state.SkipWithError("no document window");
        return;
    }
    COrvelView* view = v.view;
    view->OnCommand(32937);
    QWidget* viewport = view->viewport();
    const auto send = [viewport](QEvent::Type type, int x, Qt::MouseButton button, Qt::MouseButtons held) {
        const QPointF at(x, 300);
        QMouseEvent event(type, at, viewport->mapToGlobal(at), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &event);
    };
    send(QEvent::MouseButtonPress, 400, Qt::LeftButton, Qt::LeftButton);
    int x = 400;
    for (auto _ : state) {
        x = x == 400 ? 440 : 400;
        send(QEvent::MouseMove, x, Qt::NoButton, Qt::LeftButton);
        view->UpdateWindow();
    }
    send(QEvent::MouseButtonRelease, x, Qt::LeftButton, Qt::NoButton);
}
BENCHMARK(BM_PanStep100kPolylines)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
