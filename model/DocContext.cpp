#include "DocContext.h"

#include "settings/SettingsCopy.h"
#include "settings/SoftwareSettings.h"

#include <cmath>

plat::POINT DOCCONTEXT::ScrollPosition() const
{
    return m_pView != nullptr ? m_pView->GetScrollPosition() : m_ptScroll;
}

void DOCCONTEXT::WorldToClientPoint(const CGeoPoint& world, CGeoPoint& out) const
{
    const plat::POINT s = ScrollPosition();
    out.Set(world.m_x * m_dZoom - s.x, world.m_y * m_dZoom - s.y);
}

void DOCCONTEXT::WorldToClientRect(const CGeoBox& world, CGeoBox& out) const
{
    const plat::POINT s = ScrollPosition();
    out = CGeoBox(world.m_xmin * m_dZoom - s.x, world.m_xmax * m_dZoom - s.x, world.m_ymin * m_dZoom - s.y,
                  world.m_ymax * m_dZoom - s.y);
}

plat::RECT DOCCONTEXT::WorldToClientRectInt(const plat::RECT& world) const
{
    const plat::POINT s = ScrollPosition();
    // The difference is taken in doubles before the result is held to the
    // device range, so a far corner stays on its side of the window.
    auto conv = [this](std::int32_t v, std::int32_t scroll) {
        return plat::DevicePixel(std::trunc(v * m_dZoom + 0.5) - scroll);
    };
    return plat::RECT{conv(world.left, s.x), conv(world.top, s.y), conv(world.right, s.x), conv(world.bottom, s.y)};
}

plat::POINT DOCCONTEXT::LogicalToWorld(const plat::POINT& logical) const
{
    // World units, not pixels: only the 32-bit range holds them.
    return plat::POINT{plat::SaturateInt32(logical.x / m_dZoom + 0.5), plat::SaturateInt32(logical.y / m_dZoom + 0.5)};
}

plat::POINT DOCCONTEXT::WorldToClientPixel(double x, double y) const
{
    CGeoPoint out;
    WorldToClientPoint(CGeoPoint(x, y), out);
    return plat::POINT{plat::RoundPixel(out.m_x), plat::RoundPixel(out.m_y)};
}

void DrawBezierNodes(const DOCNODE* head, CDC* dc, double zoom)
{
    if (dc == nullptr)
        return;
    const DOCNODE* n = head;
    while (n != nullptr && n->m_nKind != NODE_ANCHOR)
        n = n->m_pNext;
    while (n != nullptr) {
        const DOCNODE* c1 = n->m_pNext;
        const DOCNODE* c2 = c1 != nullptr ? c1->m_pNext : nullptr;
        const DOCNODE* end = c2 != nullptr ? c2->m_pNext : nullptr;
        if (end == nullptr)
            break;
        const plat::POINT pts[4] = {
            {plat::RoundPixel(zoom * n->m_x), plat::RoundPixel(zoom * n->m_y)},
            {plat::RoundPixel(zoom * c1->m_x), plat::RoundPixel(zoom * c1->m_y)},
            {plat::RoundPixel(zoom * c2->m_x), plat::RoundPixel(zoom * c2->m_y)},
            {plat::RoundPixel(zoom * end->m_x), plat::RoundPixel(zoom * end->m_y)},
        };
        dc->PolyBezier(pts, 4);
        n = end;
        if (n == head)
            break;
    }
}

SoftwareSettings& SettingsOf(const DOCCONTEXT* ctx)
{
    return ctx != nullptr && ctx->m_pSettings != nullptr ? *ctx->m_pSettings : ThreadSettings();
}

CDocState* CurrentTool(const DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_nTool < 0 || ctx->m_nTool >= kToolCount)
        return nullptr;
    return ctx->m_pTools[ctx->m_nTool];
}

CDocState& CurrentToolOr(const DOCCONTEXT* ctx, CDocState& base)
{
    CDocState* tool = CurrentTool(ctx);
    return tool != nullptr ? *tool : base;
}
