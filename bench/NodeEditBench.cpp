// Node editing on one large outline: an anchor drag and its preview, and
// deletions of many nodes at once. Each should stay well under 50 ms at
// 100,000 nodes.
#include "model/DocContext.h"
#include "model/DocDataBezier.h"
#include "model/DocDataLine.h"
#include "model/DocState.h"
#include "model/NodeList.h"
#include "platform/DeviceContext.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <utility>

namespace {

// Draws nothing and keeps nothing: the preview's own work is measured, not
// that of a surface.
class CountingDC : public plat::DeviceContext {
public:
    std::size_t m_calls = 0;
    plat::Pen SelectPen(const plat::Pen& pen) override { return pen; }
    plat::Brush SelectBrush(const plat::Brush& brush) override { return brush; }
    int SetROP2(int mode) override { return std::exchange(m_rop, mode); }
    int GetROP2() const override { return m_rop; }
    plat::COLORREF SetTextColor(plat::COLORREF color) override { return color; }
    plat::POINT SetViewportOrg(int, int) override { return {}; }
    plat::POINT MoveTo(int, int) override { ++m_calls; return {}; }
    void LineTo(int, int) override { ++m_calls; }
    void PolyBezier(const plat::POINT*, std::size_t) override { ++m_calls; }
    void Rectangle(int, int, int, int) override { ++m_calls; }
    void Ellipse(int, int, int, int) override { ++m_calls; }
    void Arc(int, int, int, int, int, int, int, int) override { ++m_calls; }
    void FillRect(const plat::RECT&, plat::COLORREF) override { ++m_calls; }
    void SetPixel(int, int, plat::COLORREF) override { ++m_calls; }
    void TextOut(int, int, const std::u16string&) override { ++m_calls; }
    bool DrawBmpFile(const std::string&, const plat::RECT&) override { return true; }

private:
    int m_rop = plat::R2_COPYPEN;
};

// A wavy Bezier path of `anchors` anchors; every anchor for which `active`
// says so is in state 2.
template <typename Active>
std::unique_ptr<CDocDataBezier> MakePath(int anchors, Active active)
{
    DOCNODE* head = AppendNode(nullptr, 500000.0, 500000.0, NODE_ANCHOR, active(0) ? NODE_ACTIVE : NODE_SELECTED);
    DOCNODE* last = head;
    for (int i = 1; i < anchors; ++i) {
        const double x = 500000.0 + 30.0 * i;
        const double y = 500000.0 + (i % 2) * 20.0;
        last = AppendNode(last, x - 20.0, y + 10.0, NODE_CONTROL_OUT);
        last = AppendNode(last, x - 10.0, y - 10.0, NODE_CONTROL_IN);
        last = AppendNode(last, x, y, NODE_ANCHOR, active(i) ? NODE_ACTIVE : NODE_SELECTED);
    }
    auto path = std::make_unique<CDocDataBezier>(head, true, nullptr);
    path->m_bNodesSelected = 1;
    return path;
}

void BM_BezierDragOfActiveAnchors(benchmark::State& state)
{
    const int anchors = static_cast<int>(state.range(0));
    auto path = MakePath(anchors, [](int) { return true; });
    DOCCONTEXT ctx;
    double d = 1.0;
    for (auto _ : state) {
        path->MoveSelectedNodes(CGeoPoint(0, 0), CGeoPoint(d, -d), 1, &ctx);
        d = -d;
    }
    state.SetItemsProcessed(state.iterations() * anchors);
}
BENCHMARK(BM_BezierDragOfActiveAnchors)->Arg(100000)->Unit(benchmark::kMillisecond);


void BM_BezierDragPreviewOfActiveAnchors(benchmark::State& state)
{
    const int anchors = static_cast<int>(state.range(0));
    auto path = MakePath(anchors, [](int) { return true; });
    DOCCONTEXT ctx;
    for (auto _ : state) {
        CountingDC dc;
        path->DrawNodeMovePreview(&ctx, &dc, CGeoPoint(0, 0), CGeoPoint(5, 5), 1);
        benchmark::DoNotOptimize(dc.m_calls);
    }
    state.SetItemsProcessed(state.iterations() * anchors);
}
BENCHMARK(BM_BezierDragPreviewOfActiveAnchors)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_BezierDeleteEverySecondAnchor(benchmark::State& state)
{
    const int anchors = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto path = MakePath(anchors, [](int i) { return i % 2 == 1; });
        state.ResumeTiming();
        benchmark::DoNotOptimize(path->DeleteSelectedNodes());
        state.PauseTiming();
        path.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * anchors);
}
BENCHMARK(BM_BezierDeleteEverySecondAnchor)->Arg(100000)->Unit(benchmark::kMillisecond);

// A closed polyline whose first half is deleted: every deletion takes the
// head, and the closing node follows the new first node each time.
void BM_ClosedPolylineDeleteHeadHalf(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        DOCNODE* head = nullptr;
        DOCNODE* last = nullptr;
        for (int i = 0; i < count; ++i) {
            last = AppendNode(last, 500000.0 + (i % 1000), 500000.0 + i / 1000, NODE_ANCHOR,
                              i < count / 2 ? NODE_ACTIVE : NODE_SELECTED);
            if (head == nullptr)
                head = last;
        }
        last->m_x = head->m_x;
        last->m_y = head->m_y;
        CDocDataLine line(head, 1, nullptr);
        line.m_bNodesSelected = 1;
        state.ResumeTiming();
        benchmark::DoNotOptimize(line.DeleteSelectedNodes());
        state.PauseTiming();
        CDocState::FreeNodeList(line.m_pNodes);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ClosedPolylineDeleteHeadHalf)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
