// The polyline tool in the drawing view, offscreen, in a document window of
// a shown main frame at zoom 1: a mouse move with a chain of 10,000 corners
// started, which erases and draws the whole chain and its rubber line in
// XOR (target: under 10 ms).
#include "QtBench.h"
#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "app/OrvelDocManager.h"
#include "app/OrvelView.h"
#include "model/DocContext.h"
#include "model/DocState.h"
#include "model/NodeList.h"

#include <QMouseEvent>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>

namespace {

constexpr int kCorners = 10000;

void BM_PolylineMouseMove10kCorners(benchmark::State& state)
{
    UseScratchFolders();
    EnsureQtApplication();
    auto frame = std::make_unique<CMainFrame>();
    if (!frame->Create()) {
        state.SkipWithError("no main frame");
        return;
    }
    frame->resize(1800, 1200);
    frame->show();
    while (frame->windowHandle() == nullptr || !frame->windowHandle()->isExposed())
        QCoreApplication::processEvents();
    auto documents = std::make_unique<OrvelDocManager>([&frame] { return frame.get(); });
    documents->NewDocument();
    if (documents->Frames().empty()) {
        state.SkipWithError("no document window");
        return;
    }
    COrvelView* view = documents->Frames().front()->View();
    const QSize size = view->ClientSize();
    view->OnZoomRect(plat::RECT{500000, 500000, 500000 + size.width(), 500000 + size.height()});
    frame->Router().Execute(32792);
    DOCCONTEXT& ctx = view->Context();
    CDocState* tool = ctx.m_pTools[TOOL_POLYLINE];
    if (ctx.m_nTool != TOOL_POLYLINE || tool == nullptr) {
        state.SkipWithError("the polyline tool is not current");
        return;
    }

    // A random walk of 20-pixel steps over the visible part of the view.
    std::mt19937 rng(31);
    std::uniform_real_distribution<double> step(-20.0, 20.0);
    double x = 500000.0 + size.width() / 2.0, y = 500000.0 + size.height() / 2.0;
    DOCNODE* tail = nullptr;
    for (int i = 0; i < kCorners; ++i) {
        x = std::clamp(x + step(rng), 500000.0, 500000.0 + size.width());
        y = std::clamp(y + step(rng), 500000.0, 500000.0 + size.height());
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
