// The polyline tool in the drawing view, offscreen, in a document window of
// a shown main frame at zoom 1: a mouse move with a chain of 10,000 corners
// started, which erases and draws the whole chain and its rubber line in
// XOR (target: under 10 ms).
#include "EditViewBench.h"
#include "model/DocContext.h"
#include "model/DocState.h"
#include "model/NodeList.h"

#include <QMouseEvent>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

namespace {

constexpr int kCorners = 10000;

void BM_PolylineMouseMove10kCorners(benchmark::State& state)
{
    plat::EditView v;
    if (!plat::MakeEditView(v, 0)) {
        state.SkipWithError("no document window");
        return;
    }
    COrvelView* view = v.view;
    const QSize size = view->ClientSize();
    v.frame->Router().Execute(32792);
    DOCCONTEXT& ctx = view->Context();
    // Zoom 1 where the view is scrolled to: a world unit is a pixel.
    ctx.m_dZoom = 1.0;
    const plat::POINT scroll = ctx.ScrollPosition();
    const double left = scroll.x, top = scroll.y;
    CDocState* tool = ctx.m_pTools[TOOL_POLYLINE];
    if (ctx.m_nTool != TOOL_POLYLINE || tool == nullptr) {
        state.SkipWithError("the polyline tool is not current");
        return;
    }

    // A random walk of 20-pixel steps over the visible part of the view.
    std::mt19937 rng(31);
    std::uniform_real_distribution<double> step(-20.0, 20.0);
    double x = left + size.width() / 2.0, y = top + size.height() / 2.0;
    DOCNODE* tail = nullptr;
    for (int i = 0; i < kCorners; ++i) {
        x = std::clamp(x + step(rng), left, left + size.width());
        y = std::clamp(y + step(rng), top, top + size.height());
        tail = AppendNode(tail, x, y);
        if (tool->m_pNodes == nullptr)
            tool->m_pNodes = tail;
    }
    tool->m_bButtonDown = 1;
    tool->m_ptDown = CGeoPoint(tool->m_pNodes->m_x, tool->m_pNodes->m_y);
    tool->m_ptCur = CGeoPoint(x, y);
    view->InvalidateRect(nullptr, false);
    view->UpdateWindow();

    QWidget* viewport = view->viewport();
    int mx = 100;
    for (auto _ : state) {
        mx = mx == 100 ? 101 : 100;
        const QPointF at(mx, 120);
        QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &move);
    }
    tool->Reset(0, &ctx);
}
BENCHMARK(BM_PolylineMouseMove10kCorners)->Unit(benchmark::kMillisecond)->Iterations(200);

} // namespace
