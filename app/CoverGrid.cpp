#include "CoverGrid.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "platform/FirstTrue.h"
#include "settings/MachineNode.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// A remainder of at least this many millimetres adds one grid line.
constexpr double kGridRemainder = 1.0;

int Add(int a, int b)
{
    return plat::SaturateInt32(static_cast<double>(a) + b);
}

// Lines 1 .. count - 1 of one direction: `pixel` maps an index to its client
// coordinate (non-decreasing), `draw` draws the line there. Only indexes on
// distinct pixels inside [0, limit) are visited; the skipped ones would draw
// the same pixels again.
template <typename Pixel, typename Draw>
void WalkGridLines(long long count, int limit, Pixel pixel, Draw draw)
{
    long long i = plat::FirstTrue(1, count, [&](long long k) { return pixel(k) >= 0; });
    while (i < count) {
        const int at = pixel(i);
        if (at >= limit)
            break;
        draw(at);
        long long next = i + 1;
        if (next < count && pixel(next) <= at)
            next = plat::FirstTrue(next, count, [&](long long k) { return pixel(k) > at; });
        i = next;
    }
}

// Lines a work-area side of `size` millimetres holds at an interval of g:
// the rounded quotient, plus one when at least a millimetre is left over.
long long GridCount(double size, double g)
{
    double n = std::trunc(size / g + 0.5);
    if (size - n * g >= kGridRemainder)
        n += 1.0;
    return static_cast<long long>(std::clamp(n, 0.0, 2147483647.0));
}

} // namespace

void CCoverGrid::Draw(CDC* dc, DOCCONTEXT* ctx, int clientWidth, int clientHeight) const
{
    if (dc == nullptr || ctx == nullptr)
        return;
    const SoftwareSettings& settings = CDocData::SettingsOf(ctx);
    int widthMm = kDefaultWidthMm;
    int heightMm = kDefaultHeightMm;
    int origin = kDefaultOrigin;
    if (const MachineNode* machine = GetCurrentMachine(settings)) {
        widthMm = machine->m_xsize;
        heightMm = machine->m_ysize;
        origin = machine->m_orign;
    }
    const int o = static_cast<int>(kWorldOrigin);
    const plat::RECT area = ctx->WorldToClientRectInt(plat::RECT{o, o, plat::SaturateInt32(kWorldOrigin + widthMm * kWorldPerMm),
                                                                 plat::SaturateInt32(kWorldOrigin + heightMm * kWorldPerMm)});
    const int L = area.left, T = area.top, R = area.right, B = area.bottom;

    if (origin >= 0 && origin <= 3) {
        {
            const plat::ScopedPen pen(*dc, plat::Pen{plat::PS_DOT, 1, settings.m_crAxis});
            const int x = origin == 0 || origin == 2 ? R : L;
            const int y = origin == 0 || origin == 1 ? T : B;
            dc->MoveTo(x, 0);
            dc->LineTo(x, clientHeight);
            dc->MoveTo(0, y);
            dc->LineTo(clientWidth, y);
        }
        const plat::ScopedPen pen(*dc, plat::Pen{plat::PS_SOLID, 2, settings.m_crShadow});
        struct Corner {
            int x, y;
        };
        Corner shadow[3];
        switch (origin) {
        case 0:
            shadow[0] = {L, Add(T, 3)}, shadow[1] = {L, Add(B, 2)}, shadow[2] = {Add(R, -3), Add(B, 2)};
            break;
        case 1:
            shadow[0] = {Add(R, 1), Add(T, 3)}, shadow[1] = {Add(R, 1), Add(B, 2)}, shadow[2] = {Add(L, 3), Add(B, 2)};
            break;
        case 2:
            shadow[0] = {Add(R, -3), T}, shadow[1] = {Add(L, -1), T}, shadow[2] = {Add(L, -1), Add(B, -3)};
            break;
        default:
            shadow[0] = {Add(L, 3), T}, shadow[1] = {Add(R, 2), T}, shadow[2] = {Add(R, 2), Add(B, -3)};
            break;
        }
        dc->MoveTo(shadow[0].x, shadow[0].y);
        dc->LineTo(shadow[1].x, shadow[1].y);
        dc->LineTo(shadow[2].x, shadow[2].y);
    }

    {
        const plat::ScopedPen pen(*dc, plat::Pen{plat::PS_SOLID, 1, settings.m_crWorkArea});
        dc->MoveTo(L, T);
        dc->LineTo(R, T);
        dc->LineTo(R, B);
        dc->LineTo(L, B);
        dc->LineTo(L, T);
    }

    const double g = settings.net_interval;
    if (settings.show_net == 0 || !(g > 0.0) || !std::isfinite(g))
        return;
    const plat::ScopedPen pen(*dc, plat::Pen{plat::PS_DOT, 1, settings.m_crGrid});
    auto client = [ctx](double wx, double wy) {
        CGeoPoint out;
        ctx->WorldToClientPoint(CGeoPoint(wx, wy), out);
        return out;
    };
    WalkGridLines(
        GridCount(widthMm, g), clientWidth,
        [&](long long i) { return plat::RoundPixel(client(kWorldOrigin + i * g * kWorldPerMm, kWorldOrigin).m_x); },
        [&](int x) {
            dc->MoveTo(x, Add(T, 1));
            dc->LineTo(x, B);
        });
    WalkGridLines(
        GridCount(heightMm, g), clientHeight,
        [&](long long j) { return plat::RoundPixel(client(kWorldOrigin, kWorldOrigin + j * g * kWorldPerMm).m_y); },
        [&](int y) {
            dc->MoveTo(Add(L, 1), y);
            dc->LineTo(R, y);
        });
}
