// Light-guide plate patterns: a grid of elements (lines, ellipses,
// rectangles, triangles) or scan lines that fills a closed outline, growing
// ring by ring from its centre.
#include "PathProc.h"
#include "OutlineIndex.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataEllipse.h"
#include "model/DocDataLine.h"
#include "model/DocDataRect.h"
#include "model/PolylineGeometry.h"
#include "platform/Prompt.h"
#include "settings/BarrierParams.h"
#include "settings/LanguageTable.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

namespace {

constexpr double kMinElementSize = 0.001;
constexpr double kMinLineLength = 1e-5;
constexpr double kRowTol = 0.001;
constexpr double kShareFactor = 0.9;
constexpr std::uint8_t kLightGuideOutput = 0x81;
// Grid points (or scan rows and columns) a pattern may hold: beyond, the
// settings are refused before anything is made.
constexpr double kMaxGridPoints = 1e6;
constexpr std::u16string_view kLightGuideSection = u"phase18:light-barrier";
constexpr int kTooManyElementsText = 24;

bool AllNumbers(const BARRIERPARAMS& p)
{
    for (double v : {p.m_guide_width, p.m_width_grad, p.m_guide_hight, p.m_hight_grad, p.m_guide_up, p.m_up_grad,
                     p.m_guide_down, p.m_down_grad, p.m_guide_left, p.m_left_grad, p.m_guide_right, p.m_right_grad,
                     p.m_cntr_offsetx, p.m_cntr_offsety, p.m_dislocation_row, p.m_dislocation_column,
                     p.m_reserve_side, p.m_deri_ratio}) {
        if (!std::isfinite(v))
            return false;
    }
    return true;
}

// Steps a walk takes from `from` until it leaves the open interval on its
// side (towards `edge`), with pitches p, p + g, ...; stops counting beyond
// `cap` and where a pitch is 0 or less.
double StepsToEdge(double from, double edge, bool down, double p, double g, double cap)
{
    double at = from;
    double steps = 0.0;
    while (down ? at > edge : at < edge) {
        if (!(p > 0.0) || steps > cap)
            break;
        at = down ? at - p : at + p;
        p += g;
        steps += 1.0;
    }
    return steps;
}

void TakeLook(CDocData* o, const CDocData* from, std::uint8_t output, DOCCONTEXT* ctx)
{
    o->m_nColor = from->m_nColor;
    o->m_nLayer = from->m_nLayer;
    o->m_bOutput = output;
    o->RecalcBoundRect(ctx);
}

CDocData* MakeSegment(double x0, double y0, double x1, double y1, DOCCONTEXT* ctx)
{
    DOCNODE* nodes = AppendNode(nullptr, x0, y0);
    AppendNode(nodes, x1, y1);
    return new CDocDataLine(nodes, 1, ctx);
}

void DeleteChain(CDocData* head)
{
    while (head != nullptr) {
        CDocData* next = head->m_pNext;
        head->m_pPrev = head->m_pNext = nullptr;
        delete head;
        head = next;
    }
}

// Links objects in the given order; returns the head.
CDocData* Link(const std::vector<CDocData*>& objects)
{
    CDocData* head = nullptr;
    CDocData* prev = nullptr;
    for (CDocData* o : objects) {
        o->m_pPrev = prev;
        o->m_pNext = nullptr;
        if (prev != nullptr)
            prev->m_pNext = o;
        else
            head = o;
        prev = o;
    }
    return head;
}

// The elements of a grid pattern and their ordering.
class GridPattern {
public:
    GridPattern(const BARRIERPARAMS& p, const CDocData* boundary, std::uint32_t outlineType, DOCCONTEXT* ctx)
        : m_p(p), m_boundary(boundary), m_index(boundary->m_pNodes), m_type(outlineType), m_ctx(ctx)
    {
        const CGeoBox& b = boundary->m_rcBound;
        m_xmin = b.m_xmin;
        m_xmax = b.m_xmax;
        m_ymin = b.m_ymin;
        m_ymax = b.m_ymax;
        const MachineNode* machine = GetCurrentMachine(CDocData::SettingsOf(ctx));
        m_rectStart = machine != nullptr ? machine->m_dot : 255;
    }

    CDocData* Build(double x0, double y0)
    {
        m_x0 = x0;
        m_y0 = y0;
        Visit(x0, y0, 0, 0, 0, 0, 0, 0);
        // The sides: left, right, up (smaller y), down. A side whose ring
        // pitch is 0 or less stays where it is and is done.
        double xL = x0, xR = x0, yU = y0, yD = y0;
        double pL = m_p.m_guide_left, pR = m_p.m_guide_right, pU = m_p.m_guide_up, pD = m_p.m_guide_down;
        bool doneL = false, doneR = false, doneU = false, doneD = false;
        auto advance = [](double& at, double& pitch, double grad, bool down, bool& done) {
            if (done || !(pitch > 0.0)) {
                done = true;
                return;
            }
            at = down ? at - pitch : at + pitch;
            pitch += grad;
        };
        auto moveOn = [&]() {
            advance(xL, pL, m_p.m_left_grad, true, doneL);
            advance(xR, pR, m_p.m_right_grad, false, doneR);
            advance(yU, pU, m_p.m_up_grad, true, doneU);
            advance(yD, pD, m_p.m_down_grad, false, doneD);
        };
        moveOn();
        for (int k = 1;; ++k) {
            const bool outL = doneL || xL <= m_xmin || xL >= m_xmax;
            const bool outR = doneR || xR >= m_xmax || xR <= m_xmin;
            const bool outU = doneU || yU <= m_ymin || yU >= m_ymax;
            const bool outD = doneD || yD >= m_ymax || yD <= m_ymin;
            if (outL && outR && outU && outD)
                break;
            // Size indices follow the walks through the origin: the k-th
            // column right of it and the k-th row below it take k - 1.
            if (!doneU && yU > m_ymin)
                Row(yU, k, -k, k, xL, xR);
            if (!doneD && yD < m_ymax)
                Row(yD, k - 1, k, k, xL, xR);
            if (!doneL && xL > m_xmin)
                Column(xL, k, -k, k, yU, yD, true);
            if (!doneR && xR < m_xmax)
                Column(xR, k - 1, k, k, yU, yD, false);
            moveOn();
        }
        // Main ordering by row, then column; the second by column, then row;
        // equal keys keep the order they came in.
        auto byKeys = [](const Placed& a, const Placed& b) {
            return a.bucket != b.bucket ? a.bucket < b.bucket : a.key < b.key;
        };
        std::stable_sort(m_main.begin(), m_main.end(), byKeys);
        std::stable_sort(m_second.begin(), m_second.end(), byKeys);
        std::vector<CDocData*> out;
        out.reserve(m_main.size() + m_second.size());
        for (const Placed& e : m_main)
            out.push_back(e.object);
        for (const Placed& e : m_second)
            out.push_back(e.object);
        return Link(out);
    }

private:
    struct Placed {
        long bucket;
        long key;
        CDocData* object;
    };

    // A row: from the origin's column to the left, then from the first
    // column right of it to the right.
    void Row(double y, int rowIndex, long rowKey, int rowCounter, double xL, double xR)
    {
        double x = m_x0;
        double step = m_p.m_guide_left;
        for (long n = 0; x > xL || std::fabs(x - xL) < kRowTol; ++n) {
            if (x < m_xmin)
                break; // the rest lies outside the outline's box
            Visit(x, y, static_cast<int>(n), rowIndex, rowKey, -n, rowCounter, n);
            if (!(step > 0.0))
                break;
            x -= step;
            step += m_p.m_left_grad;
        }
        if (!(m_p.m_guide_right > 0.0))
            return;
        x = m_x0 + m_p.m_guide_right;
        step = m_p.m_guide_right + m_p.m_right_grad;
        for (long n = 1; x < xR || std::fabs(x - xR) < kRowTol; ++n) {
            if (x > m_xmax)
                break;
            Visit(x, y, static_cast<int>(n - 1), rowIndex, rowKey, n, rowCounter, n);
            if (!(step > 0.0))
                break;
            x += step;
            step += m_p.m_right_grad;
        }
    }

    // A column between the ring's rows: upwards from the origin's row (a
    // margin of 0.001 from the row at yU), then downwards from the first
    // row below it (with that margin from yD on the left column only).
    void Column(double x, int colIndex, long colKey, int colCounter, double yU, double yD, bool leftColumn)
    {
        double y = m_y0;
        double step = m_p.m_guide_up;
        for (long n = 0; y > yU + kRowTol; ++n) {
            if (y < m_ymin)
                break;
            Visit(x, y, colIndex, static_cast<int>(n), -n, colKey, n, colCounter);
            if (!(step > 0.0))
                break;
            y -= step;
            step += m_p.m_up_grad;
        }
        if (!(m_p.m_guide_down > 0.0))
            return;
        y = m_y0 + m_p.m_guide_down;
        step = m_p.m_guide_down + m_p.m_down_grad;
        for (long n = 1; leftColumn ? y + kRowTol < yD : y < yD; ++n) {
            if (y > m_ymax)
                break;
            Visit(x, y, colIndex, static_cast<int>(n - 1), n, colKey, n, colCounter);
            if (!(step > 0.0))
                break;
            y += step;
            step += m_p.m_down_grad;
        }
    }

    bool Inside(double x, double y) const
    {
        const CGeoBox& b = m_boundary->m_rcBound;
        if (m_type == MT_RECT)
            return x > b.m_xmin && x < b.m_xmax && y > b.m_ymin && y < b.m_ymax;
        if (m_type == MT_ELLIPSE) {
            const double cx = (b.m_xmin + b.m_xmax) / 2.0, cy = (b.m_ymin + b.m_ymax) / 2.0;
            const double rx = (b.m_xmax - b.m_xmin) / 2.0, ry = (b.m_ymax - b.m_ymin) / 2.0;
            const double u = (x - cx) / rx, v = (y - cy) / ry;
            return u * u + v * v < 1.0;
        }
        return m_index.Classify(x, y) == 2;
    }

    // The share of the element's outline inside the boundary, by halves of
    // each segment at its two ends, against the wanted ratio.
    bool ShareInside(const DOCNODE* nodes) const
    {
        if (nodes == nullptr)
            return false;
        if (nodes->m_pNext == nullptr)
            return m_index.Classify(nodes->m_x, nodes->m_y) != 0;
        double total = 0.0, inside = 0.0;
        bool prevIn = m_index.Classify(nodes->m_x, nodes->m_y) != 0;
        for (const DOCNODE* a = nodes; a->m_pNext != nullptr; a = a->m_pNext) {
            const DOCNODE* b = a->m_pNext;
            const bool bIn = m_index.Classify(b->m_x, b->m_y) != 0;
            const double len = std::hypot(b->m_x - a->m_x, b->m_y - a->m_y);
            total += len;
            inside += (prevIn ? len / 2.0 : 0.0) + (bIn ? len / 2.0 : 0.0);
            prevIn = bIn;
        }
        return inside / total >= m_p.m_deri_ratio * kShareFactor;
    }

    // The element at (x, y) with the size of column c, row r: one object, or
    // two for lines (the horizontal first).
    CDocData* MakeElement(int c, int r, double x, double y) const
    {
        const bool rowsOnly = m_p.m_width_grad == m_p.m_hight_grad;
        const double w = m_p.m_guide_width + (rowsOnly ? r : c) * m_p.m_width_grad;
        const double h = m_p.m_guide_hight + r * m_p.m_hight_grad;
        const int mode = m_p.m_guide_mode;
        if (mode == 0 ? (w < kMinElementSize && h < kMinElementSize) : (w < kMinElementSize || h < kMinElementSize))
            return nullptr;
        CDocData* first = nullptr;
        std::uint8_t output = 1;
        switch (mode) {
        case 0: {
            output = kLightGuideOutput;
            CDocData* across = std::fabs(w) > kMinLineLength ? MakeSegment(x - w / 2, y, x + w / 2, y, m_ctx) : nullptr;
            CDocData* upright = std::fabs(h) > kMinLineLength ? MakeSegment(x, y - h / 2, x, y + h / 2, m_ctx) : nullptr;
            first = across != nullptr ? across : upright;
            if (across != nullptr && upright != nullptr) {
                across->m_pNext = upright;
                upright->m_pPrev = across;
            }
            break;
        }
        case 1:
            first = new CDocDataEllipse(x - w / 2, y - h / 2, x + w / 2, y + h / 2);
            break;
        case 2:
            first = new CDocDataRect(CGeoBox(x - w / 2, x + w / 2, y - h / 2, y + h / 2), m_ctx, m_rectStart);
            break;
        case 3: {
            DOCNODE* nodes = AppendNode(nullptr, x, y - h / 2);
            DOCNODE* last = AppendNode(nodes, x + w / 2, y + h / 2);
            last = AppendNode(last, x - w / 2, y + h / 2);
            AppendNode(last, x, y - h / 2);
            first = new CDocDataLine(nodes, 1, m_ctx);
            break;
        }
        default:
            return nullptr;
        }
        for (CDocData* o = first; o != nullptr; o = o->m_pNext)
            TakeLook(o, m_boundary, output, m_ctx);
        return first;
    }

    // One grid point: the inside test on the point as it is, the element
    // at the point shifted by the row and column stagger.
    void Visit(double x, double y, int c, int r, long rowKey, long colKey, long rowCounter, long colCounter)
    {
        if (!Inside(x, y))
            return;
        if (m_p.m_row_disloc != 0 && rowCounter % 2 != 0)
            x += m_p.m_dislocation_row;
        if (m_p.m_column_disloc != 0 && colCounter % 2 != 0)
            y += m_p.m_dislocation_column;
        CDocData* element = MakeElement(c, r, x, y);
        if (element == nullptr)
            return;
        if (!ShareInside(element->m_pNodes)) {
            DeleteChain(element);
            return;
        }
        CDocData* second = element->m_pNext;
        element->m_pNext = nullptr;
        if (second != nullptr)
            second->m_pPrev = nullptr;
        m_main.push_back({rowKey, colKey, element});
        if (second != nullptr)
            m_second.push_back({colKey, rowKey, second});
    }

    const BARRIERPARAMS& m_p;
    const CDocData* m_boundary;
    plat::OutlineIndex m_index;
    std::uint32_t m_type;
    DOCCONTEXT* m_ctx;
    std::uint8_t m_rectStart;
    double m_x0 = 0.0, m_y0 = 0.0;
    double m_xmin = 0.0, m_xmax = 0.0, m_ymin = 0.0, m_ymax = 0.0;
    std::vector<Placed> m_main;
    std::vector<Placed> m_second;
};

// Crossings of the boundary's edges with the line at `at` across the axis
// (rows: y, columns: x), as lines from one crossing to the next.
CDocData* ScanLines(const CDocData* boundary, double at, bool rows)
{
    if (boundary == nullptr || boundary->m_pNodes == nullptr || !std::isfinite(at))
        return nullptr;
    std::vector<double> cross;
    for (const DOCNODE* a = boundary->m_pNodes; a->m_pNext != nullptr && a->m_pNext != boundary->m_pNodes;
         a = a->m_pNext) {
        const DOCNODE* b = a->m_pNext;
        const double a0 = rows ? a->m_y : a->m_x, a1 = rows ? a->m_x : a->m_y;
        const double b0 = rows ? b->m_y : b->m_x, b1 = rows ? b->m_x : b->m_y;
        // Each edge counts on [low end, high end): a row through a vertex
        // meets the outline there once where it passes on, twice where it
        // turns back below the row and not at all where it turns above.
        if (a0 == b0 || !(at >= std::min(a0, b0) && at < std::max(a0, b0)))
            continue;
        const double c = a1 + (at - a0) * (b1 - a1) / (b0 - a0);
        // To whole world units: (c x 1000 + 0.5) cut to an integer, then
        // divided by 1000 as integers.
        const double v = c * 1000.0 + 0.5;
        if (!(std::fabs(v) < 9e18))
            continue;
        cross.push_back(static_cast<double>(static_cast<std::int64_t>(v) / 1000));
    }
    std::sort(cross.begin(), cross.end());
    std::vector<CDocData*> lines;
    for (std::size_t i = 0; i + 1 < cross.size(); i += 2) {
        if (cross[i] == cross[i + 1])
            continue; // the outline only touches the row here
        CDocData* line = rows ? MakeSegment(cross[i], at, cross[i + 1], at, nullptr)
                              : MakeSegment(at, cross[i], at, cross[i + 1], nullptr);
        TakeLook(line, boundary, boundary->m_bOutput, nullptr);
        lines.push_back(line);
    }
    return Link(lines);
}

// Rows (or columns) from the origin out to both sides in turn, the origin
// once; each side ends when it leaves [lo, hi] or its step is 0 or less.
std::vector<double> ScanPositions(double origin, double lo, double hi, double pLow, double gLow, double pHigh,
                                  double gHigh)
{
    std::vector<double> at;
    if (origin >= lo && origin <= hi)
        at.push_back(origin);
    double low = origin, high = origin;
    bool lowOn = true, highOn = true;
    for (double i = 0.0; lowOn || highOn; i += 1.0) {
        if (lowOn) {
            const double step = pLow + i * gLow;
            low -= step;
            lowOn = step > 0.0 && low >= lo;
            if (lowOn && low <= hi)
                at.push_back(low);
        }
        if (highOn) {
            const double step = pHigh + i * gHigh;
            high += step;
            highOn = step > 0.0 && high <= hi;
            if (highOn && high >= lo)
                at.push_back(high);
        }
    }
    return at;
}

} // namespace

CDocData* CPathProc::ScanLinesAtY(const CDocData* boundary, double y) { return ScanLines(boundary, y, true); }

CDocData* CPathProc::ScanLinesAtX(const CDocData* boundary, double x) { return ScanLines(boundary, x, false); }

void CPathProc::OrderScanLines(CDocData*& list, int corner, int startPos)
{
    // x+ and y+: increasing coordinate first.
    bool xUp = true, yUp = true;
    auto in = [startPos](std::initializer_list<int> s) { return std::find(s.begin(), s.end(), startPos) != s.end(); };
    switch (corner) {
    case 0:
        if (in({0, 3}))
            xUp = false;
        else if (in({6, 7}))
            xUp = yUp = false;
        else if (in({8}))
            yUp = false;
        break;
    case 1:
        if (in({2, 5}))
            xUp = false;
        else if (in({6, 7}))
            yUp = false;
        else if (in({8}))
            xUp = yUp = false;
        break;
    case 3:
        if (in({0, 1}))
            yUp = false;
        else if (in({2, 5}))
            xUp = yUp = false;
        else if (in({8}))
            xUp = false;
        break;
    default:
        if (in({0, 3}))
            xUp = yUp = false;
        else if (in({1, 2}))
            yUp = false;
        else if (in({6}))
            xUp = false;
        break;
    }
    std::vector<CDocData*> across, upright, other;
    for (CDocData* o = list; o != nullptr; o = o->m_pNext) {
        const CGeoBox& b = o->m_rcBound;
        if (!std::isfinite(b.m_xmin) || !std::isfinite(b.m_xmax) || !std::isfinite(b.m_ymin) ||
            !std::isfinite(b.m_ymax))
            other.push_back(o); // cannot be placed in a row or column
        else if (b.m_ymin == b.m_ymax)
            across.push_back(o);
        else if (b.m_xmin == b.m_xmax)
            upright.push_back(o);
        else
            other.push_back(o);
    }
    std::vector<CDocData*> out;
    out.reserve(across.size() + upright.size() + other.size());
    // Lines of one row (or column) in the current direction, each turned to
    // run that way.
    auto emit = [&](std::vector<CDocData*>& group, bool rows, bool up) {
        std::stable_sort(group.begin(), group.end(), [&](const CDocData* a, const CDocData* b) {
            if (rows)
                return up ? a->m_rcBound.m_xmin < b->m_rcBound.m_xmin : a->m_rcBound.m_xmax > b->m_rcBound.m_xmax;
            return up ? a->m_rcBound.m_ymin < b->m_rcBound.m_ymin : a->m_rcBound.m_ymax > b->m_rcBound.m_ymax;
        });
        for (CDocData* o : group) {
            const DOCNODE* first = o->m_pNodes;
            const DOCNODE* last = first != nullptr ? LastNode(o->m_pNodes) : nullptr;
            if (first != nullptr) {
                const double f = rows ? first->m_x : first->m_y, l = rows ? last->m_x : last->m_y;
                if (up ? f > l : f < l)
                    o->Reverse();
            }
            out.push_back(o);
        }
    };
    auto byLine = [](std::vector<CDocData*>& lines, bool rows, bool up) {
        std::stable_sort(lines.begin(), lines.end(), [&](const CDocData* a, const CDocData* b) {
            const double pa = rows ? a->m_rcBound.m_ymin : a->m_rcBound.m_xmin;
            const double pb = rows ? b->m_rcBound.m_ymin : b->m_rcBound.m_xmin;
            return up ? pa < pb : pa > pb;
        });
    };
    byLine(across, true, yUp);
    for (std::size_t i = 0; i < across.size();) {
        std::size_t j = i;
        std::vector<CDocData*> row;
        while (j < across.size() && across[j]->m_rcBound.m_ymin == across[i]->m_rcBound.m_ymin)
            row.push_back(across[j++]);
        emit(row, true, xUp);
        xUp = !xUp;
        i = j;
    }
    byLine(upright, false, xUp);
    for (std::size_t i = 0; i < upright.size();) {
        std::size_t j = i;
        std::vector<CDocData*> column;
        while (j < upright.size() && upright[j]->m_rcBound.m_xmin == upright[i]->m_rcBound.m_xmin)
            column.push_back(upright[j++]);
        yUp = !yUp;
        emit(column, false, yUp);
        i = j;
    }
    out.insert(out.end(), other.begin(), other.end());
    list = Link(out);
}

CDocData* CPathProc::MakeScanLinePattern(const CDocData* boundary, const BARRIERPARAMS& params, double x0, double y0,
                                         DOCCONTEXT* ctx)
{
    if (boundary == nullptr)
        return nullptr;
    const CGeoBox& box = boundary->m_rcBound;
    std::vector<CDocData*> lines;
    auto take = [&](CDocData* chain) {
        for (CDocData* o = chain; o != nullptr;) {
            CDocData* next = o->m_pNext;
            lines.push_back(o);
            o = next;
        }
    };
    for (double y : ScanPositions(y0, box.m_ymin, box.m_ymax, params.m_guide_up, params.m_up_grad, params.m_guide_down,
                                  params.m_down_grad))
        take(ScanLinesAtY(boundary, y));
    for (double x : ScanPositions(x0, box.m_xmin, box.m_xmax, params.m_guide_left, params.m_left_grad,
                                  params.m_guide_right, params.m_right_grad))
        take(ScanLinesAtX(boundary, x));
    CDocData* list = Link(lines);
    // Without a machine: origin corner 1, start position 0.
    const MachineNode* machine = GetCurrentMachine(CDocData::SettingsOf(ctx));
    OrderScanLines(list, machine != nullptr ? machine->m_orign : 1, machine != nullptr ? machine->m_dot : 0);
    return list;
}

CDocData* CPathProc::MakeLightGuidePattern(CDocData* outline, const BARRIERPARAMS& params, DOCCONTEXT* ctx)
{
    if (outline == nullptr || outline->m_pNodes == nullptr || outline->m_bClosed == 0 || !AllNumbers(params))
        return nullptr;
    const int mode = params.m_guide_mode;
    if (mode < 0 || mode > 4)
        return nullptr;
    const double x0 = (outline->m_rcBound.m_xmin + outline->m_rcBound.m_xmax) / 2.0 + params.m_cntr_offsetx;
    const double y0 = (outline->m_rcBound.m_ymin + outline->m_rcBound.m_ymax) / 2.0 + params.m_cntr_offsety;

    // The boundary: the outline, or its inward offset by the margin.
    DOCNODE* nodes;
    if (params.m_reserve_side <= 0.0) {
        nodes = outline->CopyNodes();
    } else {
        CDocData* inner = OffsetContour(outline, params.m_reserve_side, 0, ctx);
        if (inner == nullptr)
            return nullptr;
        nodes = inner->CopyNodes();
        // A margin wider than a neck of the outline leaves an outline on
        // either side of it: the pattern fills the first.
        while (inner != nullptr) {
            CDocData* next = inner->m_pNext;
            delete inner;
            inner = next;
        }
    }
    if (nodes == nullptr)
        return nullptr;
    const std::uint8_t output = mode == 0 ? kLightGuideOutput : 1;
    CDocDataLine boundary(nodes, 1, ctx);
    boundary.m_nLayer = outline->m_nLayer;
    boundary.m_nColor = outline->m_nColor;
    boundary.m_bOutput = output;
    boundary.SetSelected(1);
    boundary.m_bNodesSelected = 0;
    boundary.RecalcBoundRect(ctx);
    const CGeoBox box = boundary.m_rcBound;
    if (!std::isfinite(box.m_xmin) || !std::isfinite(box.m_xmax) || !std::isfinite(box.m_ymin) ||
        !std::isfinite(box.m_ymax) || !std::isfinite(x0) || !std::isfinite(y0))
        return nullptr; // a damaged outline bounds no grid

    // How far the walks reach inside the box, before anything is made.
    const double steps[4] = {
        StepsToEdge(x0, box.m_xmin, true, params.m_guide_left, params.m_left_grad, kMaxGridPoints),
        StepsToEdge(x0, box.m_xmax, false, params.m_guide_right, params.m_right_grad, kMaxGridPoints),
        StepsToEdge(y0, box.m_ymin, true, params.m_guide_up, params.m_up_grad, kMaxGridPoints),
        StepsToEdge(y0, box.m_ymax, false, params.m_guide_down, params.m_down_grad, kMaxGridPoints)};
    const double columns = steps[0] + steps[1] + 1.0, rows = steps[2] + steps[3] + 1.0;
    if ((mode == 4 ? columns + rows : columns * rows) > kMaxGridPoints) {
        plat::MessageBox(LanguageText(RegisteredLanguageTable(), kLightGuideSection, kTooManyElementsText),
                         std::u16string(), plat::MB_OK | plat::MB_ICONWARNING);
        return nullptr;
    }

    if (mode == 4)
        return MakeScanLinePattern(&boundary, params, x0, y0, ctx);
    GridPattern grid(params, &boundary, outline->GetType(), ctx);
    return grid.Build(x0, y0);
}
