// Editing in the drawing view, offscreen, in a document window of a shown
// main frame, with 100,000 ten-node polylines over the table, fitted:
// - the repaint after an edit of one object, limited to its area (target:
//   under 20 ms; the undo step itself is BM_PushHistorySnapshot);
// - undo and redo with the repaint of the whole view (target: within 100 ms);
// - a mouse move with every object selected: the tool, the count in the
//   status bar and the ruler markers (target: under 5 ms).
#include "QtBench.h"
#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "app/OrvelDoc.h"
#include "app/OrvelDocManager.h"
#include "app/OrvelView.h"
#include "model/DocContext.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/NodeList.h"
#include "settings/SoftwareSettings.h"

#include <QMouseEvent>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace {

constexpr int kPolylines = 100000;

struct EditView {
    std::unique_ptr<CMainFrame> frame;
    std::unique_ptr<OrvelDocManager> documents;
    COrvelView* view = nullptr;
    CDocData* first = nullptr;
};

// Polylines of ten nodes, random walks of 2 mm steps from random starts.
CDocData* MakePolylines()
{
    std::mt19937 rng(23);
    std::uniform_real_distribution<double> startX(kWorldOrigin, kWorldOrigin + 9000.0);
    std::uniform_real_distribution<double> startY(kWorldOrigin, kWorldOrigin + 6000.0);
    std::uniform_real_distribution<double> step(-20.0, 20.0);
    CDocData* head = nullptr;
    CDocData* last = nullptr;
    for (int i = 0; i < kPolylines; ++i) {
        double x = startX(rng), y = startY(rng);
        DOCNODE* tail = AppendNode(nullptr, x, y);
        DOCNODE* nodes = tail;
        for (int k = 1; k < 10; ++k) {
            x += step(rng);
            y += step(rng);
            tail = AppendNode(tail, x, y);
        }
        auto* line = new CDocDataLine(nodes, 1, nullptr);
        line->m_nLayer = i % 8;
        line->m_nColor = g_settings.PaletteColor(i % 8);
        line->RecalcBoundRect(nullptr);
        line->m_pPrev = last;
        (last != nullptr ? last->m_pNext : head) = line;
        last = line;
    }
    return head;
}

bool MakeEditView(EditView& out)
{
    UseScratchFolders();
    EnsureQtApplication();
    out.frame = std::make_unique<CMainFrame>();
    if (!out.frame->Create())
        return false;
    out.frame->resize(1800, 1200);
    out.frame->show();
    while (out.frame->windowHandle() == nullptr || !out.frame->windowHandle()->isExposed())
        QCoreApplication::processEvents();
    out.documents = std::make_unique<OrvelDocManager>([&out] { return out.frame.get(); });
    out.documents->NewDocument();
    if (out.documents->Frames().empty())
        return false;
    out.view = out.documents->Frames().front()->View();
    out.first = MakePolylines();
    out.view->Context().m_pCurrent->m_pFirst = out.first;
    out.view->ZoomToAll();
    out.view->InvalidateRect(nullptr, false);
    out.view->UpdateWindow();
    return true;
}

void BM_ChangedAreaRepaint100kPolylines(benchmark::State& state)
{
    EditView v;
    if (!MakeEditView(v)) {
        state.SkipWithError("no document window");
        return;
    }
    DOCCONTEXT& ctx = v.view->Context();
    CDocData* obj = v.first;
    obj->SetSelected(1);
    double dx = 5.0;
    for (auto _ : state) {
        state.PauseTiming();
        const CGeoBox before = obj->m_rcBound;
        obj->Move(CGeoPoint(0.0, 0.0), CGeoPoint(dx, 0.0), &ctx);
        obj->RecalcBoundRect(&ctx);
        dx = -dx;
        ctx.m_rcSelect = obj->m_rcBound;
        state.ResumeTiming();
        CDocState::InvalidateSelectionArea(&ctx, before);
        CDocState::InvalidateSelectionArea(&ctx, ctx.m_rcSelect);
        v.view->UpdateWindow();
    }
}
BENCHMARK(BM_ChangedAreaRepaint100kPolylines)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_UndoRedoRepaint100kPolylines(benchmark::State& state)
{
    EditView v;
    if (!MakeEditView(v)) {
        state.SkipWithError("no document window");
        return;
    }
    CDocState::PushHistory(&v.view->Context());
    bool undo = true;
    for (auto _ : state) {
        undo ? v.view->OnUndo() : v.view->OnRedo();
        undo = !undo;
        v.view->UpdateWindow();
    }
}
BENCHMARK(BM_UndoRedoRepaint100kPolylines)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_MouseMoveAllSelected100kPolylines(benchmark::State& state)
{
    EditView v;
    if (!MakeEditView(v)) {
        state.SkipWithError("no document window");
        return;
    }
    for (CDocData* obj = v.first; obj != nullptr; obj = obj->m_pNext)
        obj->SetSelected(1);
    QWidget* viewport = v.view->viewport();
    int x = 100;
    for (auto _ : state) {
        x = x == 100 ? 101 : 100;
        const QPointF at(x, 120);
        QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &move);
    }
}
BENCHMARK(BM_MouseMoveAllSelected100kPolylines)->Unit(benchmark::kMillisecond)->Iterations(200);

} // namespace
