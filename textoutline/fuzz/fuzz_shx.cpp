// libFuzzer target for the shape font reader: any bytes are loaded as a font
// file, and the shapes of the table are interpreted and turned into contours.
// Seeds in fuzz_shx_corpus/, made by hand: lines.shx (information shape,
// vectors, pen up and down, codes 8 and 9), arcs.shx (octant, fractional and
// bulge arcs, a full circle), state.shx (stack, scale, skip-next, a shape
// calling itself), big.shx (a big font with one escape range and a two-byte
// subshape call), uni.shx (a Unicode font), truncated.shx (lines.shx cut
// inside its last shape).
#include "textoutline/ShapeReader.h"

#include <cstddef>
#include <cstdint>

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
            (void)reader.ToContours(20000.0, 20000.0);
    }
    (void)reader.FontHeight();
    return 0;
}
