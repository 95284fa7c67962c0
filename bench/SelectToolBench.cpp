// The select tool in a shown document window, offscreen, through the view's
// own mouse and key events. The polylines start in the left two thirds of
// the table; a point object at the far corner keeps the right third in view
// and empty, for rubber bands that pick nothing at their start.
// - a rubber-band step and a move-preview step with everything selected
//   (target: under 1 ms whatever the selection size);
// - a move released with 100,000 polylines selected: one undo step, one pass
//   and the repaint (target: the push, about 200 ms, then under 100 ms);
// - A, select all, on 100,000 objects (target: under 20 ms plus the repaint);
// - a rotate-preview step with 10,000 selected (reported).
#include "EditViewBench.h"
#include "qtplatform/KeyRouter.h"
#include "model/DocDataPoint.h"
#include "model/DocState.h"

#include <QMouseEvent>

#include <benchmark/benchmark.h>

namespace {

using plat::EditView;

// The view with the benchmark's count of polylines; false (the benchmark
// skipped) without a document window.
bool MakeSelectView(benchmark::State& state, EditView& v)
{
    if (!plat::MakeEditView(v, static_cast<int>(state.range(0)), 6000.0)) {
        state.SkipWithError("no document window");
        return false;
    }
    CDocData* last = v.first;
    while (last->m_pNext != nullptr)
        last = last->m_pNext;
    auto* corner = new CDocDataPoint(kWorldOrigin + 9000.0, kWorldOrigin + 6000.0, nullptr);
    corner->RecalcBoundRect(nullptr);
    corner->m_pPrev = last;
    last->m_pNext = corner;
    v.view->ZoomToAll();
    v.view->InvalidateRect(nullptr, false);
    v.view->UpdateWindow();
    return true;
}

QPoint Client(EditView& v, double worldX, double worldY)
{
    const plat::POINT p = v.view->Context().WorldToClientPixel(worldX, worldY);
    return {p.x, p.y};
}

void Mouse(EditView& v, QEvent::Type type, QPoint at, Qt::MouseButtons held)
{
    QWidget* viewport = v.view->viewport();
    const QPointF point(at);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, point, viewport->mapToGlobal(point), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &event);
}

void SelectAllByKey(EditView& v)
{
    VirtualKey key;
    key.code = 'A';
    v.view->PreTranslateKey(key);
}

void BM_SelectBandStep(benchmark::State& state)
{
    EditView v;
    if (!MakeSelectView(state, v))
        return;
    const QPoint start = Client(v, kWorldOrigin + 8000.0, kWorldOrigin + 5500.0);
    Mouse(v, QEvent::MouseButtonPress, start, Qt::LeftButton);
    int dx = 40;
    for (auto _ : state) {
        dx = dx == 40 ? 41 : 40;
        Mouse(v, QEvent::MouseMove, start - QPoint(dx, dx), Qt::LeftButton);
    }
    Mouse(v, QEvent::MouseButtonRelease, start, Qt::NoButton);
}
BENCHMARK(BM_SelectBandStep)->Arg(100000)->Unit(benchmark::kMicrosecond)->Iterations(200);

void BM_SelectMovePreviewStep(benchmark::State& state)
{
    EditView v;
    if (!MakeSelectView(state, v))
        return;
    SelectAllByKey(v);
    const QPoint start = Client(v, kWorldOrigin + 3000.0, kWorldOrigin + 3000.0);
    Mouse(v, QEvent::MouseButtonPress, start, Qt::LeftButton);
    int dx = 20;
    for (auto _ : state) {
        dx = dx == 20 ? 21 : 20;
        Mouse(v, QEvent::MouseMove, start + QPoint(dx, dx), Qt::LeftButton);
    }
    Mouse(v, QEvent::MouseButtonRelease, start, Qt::NoButton);
}
BENCHMARK(BM_SelectMovePreviewStep)->Arg(100000)->Unit(benchmark::kMicrosecond)->Iterations(200);

// Press, one move and the release that moves everything: the undo step, the
// pass over the objects and the repaint.
void BM_SelectMoveRelease(benchmark::State& state)
{
    EditView v;
    if (!MakeSelectView(state, v))
        return;
    SelectAllByKey(v);
    const QPoint start = Client(v, kWorldOrigin + 3000.0, kWorldOrigin + 3000.0);
    int dx = 10;
    QPoint at = start;
    for (auto _ : state) {
        dx = -dx;
        Mouse(v, QEvent::MouseButtonPress, at, Qt::LeftButton);
        Mouse(v, QEvent::MouseMove, at + QPoint(dx, 0), Qt::LeftButton);
        Mouse(v, QEvent::MouseButtonRelease, at + QPoint(dx, 0), Qt::NoButton);
        at += QPoint(dx, 0);
        v.view->UpdateWindow();
    }
}
BENCHMARK(BM_SelectMoveRelease)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SelectAllKey(benchmark::State& state)
{
    EditView v;
    if (!MakeSelectView(state, v))
        return;
    for (auto _ : state) {
        SelectAllByKey(v);
        state.PauseTiming();
        // An empty press far from everything clears the selection again.
        const QPoint empty = Client(v, kWorldOrigin + 8000.0, kWorldOrigin + 1000.0);
        Mouse(v, QEvent::MouseButtonPress, empty, Qt::LeftButton);
        Mouse(v, QEvent::MouseButtonRelease, empty, Qt::NoButton);
        v.view->UpdateWindow();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SelectAllKey)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(10);

// A second click on the selection shows the rotate marks; a drag from the
// top-right corner mark previews the rotation.
void BM_SelectRotatePreviewStep(benchmark::State& state)
{
    EditView v;
    if (!MakeSelectView(state, v))
        return;
    SelectAllByKey(v);
    DOCCONTEXT& ctx = v.view->Context();
    const CGeoBox box = ctx.m_rcSelect;
    const QPoint inside = Client(v, kWorldOrigin + 3000.0, kWorldOrigin + 3000.0);
    Mouse(v, QEvent::MouseButtonPress, inside, Qt::LeftButton);
    Mouse(v, QEvent::MouseButtonRelease, inside, Qt::NoButton);
    if (v.view->CurrentTool()->m_nMode != 2) {
        state.SkipWithError("the rotate marks are not shown");
        return;
    }
    const QPoint corner = Client(v, box.m_xmax, box.m_ymax);
    Mouse(v, QEvent::MouseButtonPress, corner, Qt::LeftButton);
    int dy = 30;
    for (auto _ : state) {
        dy = dy == 30 ? 31 : 30;
        Mouse(v, QEvent::MouseMove, corner + QPoint(-dy, dy), Qt::LeftButton);
    }
    Mouse(v, QEvent::MouseButtonRelease, corner, Qt::NoButton);
}
BENCHMARK(BM_SelectRotatePreviewStep)->Arg(10000)->Unit(benchmark::kMicrosecond)->Iterations(100);

} // namespace
