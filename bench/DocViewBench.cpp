// The drawing view, offscreen, at 1600 x 1000 client pixels: a repaint of
// 100,000 ten-node polylines spread over the 900 mm x 600 mm table, fitted
// (target: under 100 ms), and the same at zoom 100 with nearly all of them
// outside the view (target: no slower). And the first display of a generated
// HPGL file of 100,000 outlines: open (import), fit and first paint, in a
// document window of a shown main frame. Beside them the device context
// alone: 900,000 short one-pixel lines into a 1600 x 1000 image, and one line
// across 40 million pixels of which a few thousand are inside.
#include "EditViewBench.h"
#include "QtBench.h"
#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "app/OrvelDoc.h"
#include "app/OrvelDocManager.h"
#include "app/OrvelView.h"
#include "qtplatform/QtDeviceContext.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/NodeList.h"
#include "platform/TextFile.h"
#include "settings/SoftwareSettings.h"

#include <QWindow>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kObjects = 100000;
const QSize kClient(1600, 1000);

struct PolylineView {
    std::unique_ptr<COrvelDoc> doc;
    std::unique_ptr<COrvelView> view;
};

// The editing benchmarks' polylines in a bare view.
PolylineView MakePolylineView()
{
    EnsureQtApplication();
    PolylineView out;
    out.doc = std::make_unique<COrvelDoc>();
    CDocData* head = plat::MakeBenchPolylines(kObjects);
    out.doc->Context().m_pCurrent->m_pFirst = head;
    out.view = std::make_unique<COrvelView>(out.doc.get());
    out.view->show();
    QCoreApplication::processEvents();
    out.view->resize(kClient + (out.view->size() - out.view->viewport()->size()));
    QCoreApplication::processEvents();
    out.view->OnInitialUpdate();
    return out;
}

void Repaint(benchmark::State& state, PolylineView& v)
{
    if (v.view->ClientSize() != kClient) {
        state.SkipWithError("the view did not take its size");
        return;
    }
    for (auto _ : state) {
        v.view->InvalidateRect(nullptr, false);
        v.view->UpdateWindow();
    }
}

void BM_RepaintFitted100kPolylines(benchmark::State& state)
{
    PolylineView v = MakePolylineView();
    v.view->ZoomToAll();
    Repaint(state, v);
}
BENCHMARK(BM_RepaintFitted100kPolylines)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_RepaintZoom100MostOffscreen(benchmark::State& state)
{
    PolylineView v = MakePolylineView();
    // A 4 x 4 world-unit rectangle in the middle of the table asks for more
    // than the largest zoom: 100.
    v.view->OnZoomRect(plat::RECT{504498, 502998, 504502, 503002});
    if (v.doc->Context().m_dZoom != 100.0)
        state.SkipWithError("the zoom is not 100");
    Repaint(state, v);
}
BENCHMARK(BM_RepaintZoom100MostOffscreen)->Unit(benchmark::kMillisecond)->Iterations(10);

// 100,000 closed outlines of four to seven corners (about 5 MB of HPGL at
// 40 units per millimetre) over the table.
const std::string& HpglOutlines()
{
    static const std::string path = [] {
        std::mt19937 rng(17);
        std::uniform_int_distribution<int> startX(0, 34000);
        std::uniform_int_distribution<int> startY(0, 22000);
        std::uniform_int_distribution<int> size(40, 2000);
        std::uniform_int_distribution<int> corners(4, 7);
        std::string text = "IN;SP1;";
        for (int i = 0; i < kObjects; ++i) {
            const int x = startX(rng), y = startY(rng);
            const int n = corners(rng);
            text += "PU" + std::to_string(x) + "," + std::to_string(y) + ";PD";
            for (int k = 1; k <= n; ++k) {
                const int px = k == n ? x : x + size(rng);
                const int py = k == n ? y : y + size(rng);
                text += (k == 1 ? "" : ",") + std::to_string(px) + "," + std::to_string(py);
            }
            text += ";\n";
        }
        text += "SP0;";
        const std::string file = std::filesystem::temp_directory_path().string() + "/brenvik-bench-outlines.plt";
        plat::WriteWholeFile(file, text);
        return file;
    }();
    return path;
}

void BM_FirstDisplayOfHpgl100kOutlines(benchmark::State& state)
{
    UseScratchFolders();
    EnsureQtApplication();
    const std::string& path = HpglOutlines();
    for (auto _ : state) {
        state.PauseTiming();
        auto frame = std::make_unique<CMainFrame>();
        if (!frame->Create()) {
            state.SkipWithError("the frame could not be built");
            break;
        }
        frame->resize(kClient + QSize(200, 200));
        frame->show();
        while (frame->windowHandle() == nullptr || !frame->windowHandle()->isExposed())
            QCoreApplication::processEvents();
        OrvelDocManager documents([&frame] { return frame.get(); });
        state.ResumeTiming();

        if (!documents.OpenDocumentFile(QString::fromStdString(path))) {
            state.SkipWithError("the file did not open");
            break;
        }
        COrvelView* view = documents.Frames().front()->View();
        while (view->BufferCreations() == 0)
            QCoreApplication::processEvents();

        state.PauseTiming();
        frame.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstDisplayOfHpgl100kOutlines)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DeviceContext900kShortLines(benchmark::State& state)
{
    QImage image(kClient, QImage::Format_RGB32);
    image.fill(Qt::white);
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> x(0, kClient.width() - 1);
    std::uniform_int_distribution<int> y(0, kClient.height() - 1);
    std::uniform_int_distribution<int> step(-4, 4);
    std::vector<plat::POINT> ends;
    for (int i = 0; i < 100000; ++i) {
        plat::POINT p{x(rng), y(rng)};
        for (int k = 0; k < 10; ++k) {
            ends.push_back(p);
            p = {p.x + step(rng), p.y + step(rng)};
        }
    }
    for (auto _ : state) {
        QtDeviceContext dc(image);
        dc.SelectPen(plat::Pen{plat::PS_SOLID, 0, 0x0000FF});
        for (std::size_t i = 0; i < ends.size(); i += 10) {
            dc.MoveTo(ends[i].x, ends[i].y);
            for (std::size_t k = 1; k < 10; ++k)
                dc.LineTo(ends[i + k].x, ends[i + k].y);
        }
    }
}
BENCHMARK(BM_DeviceContext900kShortLines)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_DeviceContextLineAcross40MPixels(benchmark::State& state)
{
    QImage image(kClient, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (auto _ : state) {
        QtDeviceContext dc(image);
        dc.SelectPen(plat::Pen{plat::PS_DOT, 1, 0});
        dc.MoveTo(-20000000, 300);
        dc.LineTo(20000000, 700);
    }
}
BENCHMARK(BM_DeviceContextLineAcross40MPixels)->Unit(benchmark::kMicrosecond)->Iterations(10);

} // namespace
