// Editing in the drawing view, offscreen, in a document window of a shown
// main frame, with 100,000 ten-node polylines over the table, fitted:
// - a size edit of one object of the property bar: its undo step (a
//   snapshot of the whole drawing) and the repaint of its area (target:
//   every edit under 100 ms, slowest_ms, past the 31 kept steps too);
// - a mouse move with every object selected: the tool, the count in the
//   status bar and the ruler markers (target: under 5 ms);
// - a size edit of the property bar with every object selected (one undo
//   step and one pass over the objects);
// - the open dialog's preview of a drawing of 100,000 polylines, read and
//   drawn (drawing target: under 50 ms).
#include "EditViewBench.h"
#include "QtBench.h"
#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "app/MyFileDialog.h"
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

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <unistd.h>
#include <memory>
#include <random>
#include <string>

namespace {

constexpr int kPolylines = 100000;
using plat::EditView;
using plat::MakeEditView;

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

void BM_SizeEditAllSelected100kPolylines(benchmark::State& state)
{
    EditView v;
    if (!MakeEditView(v)) {
        state.SkipWithError("no document window");
        return;
    }
    DOCCONTEXT& ctx = v.view->Context();
    for (CDocData* obj = v.first; obj != nullptr; obj = obj->m_pNext) {
        obj->SetSelected(1);
        ctx.m_rcSelect.Union(obj->GetBoundRect());
    }
    bool grow = true;
    for (auto _ : state) {
        const CGeoBox box = ctx.m_rcSelect;
        const double f = grow ? 2.0 : 0.5;
        grow = !grow;
        v.view->ResizeSelection(&ctx, box.Width() * f, box.Height() * f, true);
    }
}
BENCHMARK(BM_SizeEditAllSelected100kPolylines)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_SizeEditOneOf100kPolylines(benchmark::State& state)
{
    EditView v;
    if (!MakeEditView(v)) {
        state.SkipWithError("no document window");
        return;
    }
    DOCCONTEXT& ctx = v.view->Context();
    for (CDocData* obj = v.first; obj != nullptr; obj = obj->m_pNext)
        obj->SetSelected(0);
    v.first->SetSelected(1);
    ctx.m_rcSelect = v.first->GetBoundRect();
    bool grow = true;
    double slowest = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const CGeoBox box = ctx.m_rcSelect;
        const double f = grow ? 2.0 : 0.5;
        grow = !grow;
        v.view->ResizeSelection(&ctx, box.Width() * f, box.Height() * f, true);
        v.view->UpdateWindow();
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        slowest = std::max(slowest, took.count());
    }
    state.counters["slowest_ms"] = slowest;
}
BENCHMARK(BM_SizeEditOneOf100kPolylines)->Unit(benchmark::kMillisecond)->Iterations(40);

void BM_DrawingPreview100kPolylines(benchmark::State& state)
{
    UseScratchFolders();
    EnsureQtApplication();
    std::mt19937 rng(29);
    std::uniform_int_distribution<int> at(0, 40000);
    std::string plt = "IN;SP1;";
    for (int i = 0; i < kPolylines; ++i) {
        int x = at(rng), y = at(rng);
        plt += "PU" + std::to_string(x) + "," + std::to_string(y) + ";PD";
        for (int k = 1; k < 10; ++k) {
            x += at(rng) % 161 - 80;
            y += at(rng) % 161 - 80;
            plt += std::to_string(x) + "," + std::to_string(y) + (k < 9 ? "," : ";");
        }
    }
    char name[] = "/tmp/brenvik-preview-XXXXXX.plt";
    const int fd = ::mkstemps(name, 4);
    if (fd < 0 || ::write(fd, plt.data(), plt.size()) != static_cast<ssize_t>(plt.size())) {
        state.SkipWithError("no scratch file");
        return;
    }
    ::close(fd);
    CMyFileDialog dialog(nullptr, {QStringLiteral("All (*)")}, QString(), QStringLiteral("Preview"), true);
    for (auto _ : state)
        dialog.OnFileNameChange(QString::fromLatin1(name));
    std::remove(name);
}
BENCHMARK(BM_DrawingPreview100kPolylines)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
