// libFuzzer target for the shape font reader: any bytes are loaded as a font
// file, and the shapes of the table are interpreted, turned into contours and
// drawn as characters of a text 100 high, stretched by 2 and turned by 30
// degrees. No point may be infinite or not a number after any of these.
// Seeds in fuzz_shx_corpus/, made by hand: lines.shx (information shape,
// vectors, pen up and down, codes 8 and 9), arcs.shx (octant, fractional and
// bulge arcs, a full circle), state.shx (stack, scale, skip-next, a shape
// calling itself), big.shx (a big font with one escape range and a two-byte
// subshape call), uni.shx (a Unicode font), truncated.shx (lines.shx cut
// inside its last shape), runaway.shx (scales multiplied until a point
// overflows when scaled to the height, stretched or turned).
#include "textoutline/ShapeReader.h"
#include "textoutline/ShapeText.h"
#include "textoutline/TextChar.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <vector>

namespace {

void RequireFinite(const std::vector<COutLine>& contours)
{
    for (const COutLine& c : contours)
        for (const CSuPoint& p : c.m_points)
            if (!std::isfinite(p.m_x) || !std::isfinite(p.m_y))
                __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CShapeReader reader;
    if (reader.LoadFromMemory(std::vector<std::uint8_t>(data, data + size)) != 0)
        return 0;
    // Enough shapes to reach every code path without slowing each run.
    const std::size_t count = reader.Table().size() < 64 ? reader.Table().size() : 64;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t code = reader.Table()[i].code;
        if (reader.Execute(code, reader.FindCode(code)) == 0)
            RequireFinite(reader.ToContours(20000.0, 20000.0));
        CTextChar ch;
        if (!DrawShapeChar(reader, code, 20000.0, 20000.0, 1000.0 / reader.FontHeight() * 0.5, ch))
            continue;
        RequireFinite(ch.m_contours);
        StretchCharX(ch, 2.0);
        RequireFinite(ch.m_contours);
        ch.Rotate(20000.0, 20000.0, std::numbers::pi / 6);
        RequireFinite(ch.m_contours);
    }
    (void)reader.FontHeight();
    return 0;
}
