#include "FileTransDst.h"

#include "platform/TextFile.h"

namespace {

constexpr std::uint8_t kDstEnd = 0xF3;

// The balanced-ternary moves: bit, x step, y step, for each of the three
// bytes.
struct Move {
    std::uint8_t bit;
    int dx;
    int dy;
};
constexpr Move kByte0[] = {{0x01, 1, 0}, {0x02, -1, 0}, {0x04, 9, 0},  {0x08, -9, 0},
                           {0x10, 0, -9}, {0x20, 0, 9}, {0x40, 0, -1}, {0x80, 0, 1}};
constexpr Move kByte1[] = {{0x01, 3, 0},   {0x02, -3, 0}, {0x04, 27, 0},  {0x08, -27, 0},
                           {0x10, 0, -27}, {0x20, 0, 27}, {0x40, 0, -3},  {0x80, 0, 3}};
constexpr Move kByte2[] = {{0x04, 81, 0}, {0x08, -81, 0}, {0x10, 0, -81}, {0x20, 0, 81}};

template <std::size_t N>
void Apply(const Move (&moves)[N], std::uint8_t byte, double& x, double& y)
{
    for (const Move& m : moves) {
        if ((byte & m.bit) != 0) {
            x += m.dx;
            y += m.dy;
        }
    }
}

} // namespace

bool CFileTransDst::ReadDst(const std::string& path, CDocData*& list, DOCCONTEXT* ctx)
{
    list = nullptr;
    std::string bytes;
    if (plat::ReadWholeFile(path, bytes))
        list = CFileTransDsb::StitchesToObjects(ParseStitches(bytes), ctx);
    return true;
}

std::vector<STITCHREC> CFileTransDst::ParseStitches(std::string_view bytes)
{
    std::vector<STITCHREC> stitches;
    if (bytes.size() < kStitchHeaderSize)
        return stitches;
    stitches.reserve((bytes.size() - kStitchHeaderSize) / 3);
    double x = 0.0, y = 0.0;
    for (std::size_t i = kStitchHeaderSize; i + 3 <= bytes.size(); i += 3) {
        const auto b0 = static_cast<std::uint8_t>(bytes[i]);
        const auto b1 = static_cast<std::uint8_t>(bytes[i + 1]);
        const auto b2 = static_cast<std::uint8_t>(bytes[i + 2]);
        if (b2 == kDstEnd)
            break;
        Apply(kByte0, b0, x, y);
        Apply(kByte1, b1, x, y);
        Apply(kByte2, b2, x, y);
        const std::uint8_t flags = b2 >> 6;
        std::uint8_t kind = STITCH_JUMP;
        if (flags == 0)
            kind = STITCH_NORMAL;
        else if (flags == 3)
            kind = STITCH_COLOUR;
        stitches.push_back(STITCHREC{kind, x, y});
    }
    CFileTransDsb::PropagateJumps(stitches);
    return stitches;
}
