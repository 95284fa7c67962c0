// The list file with which a drawing-program plug-in hands a design over:
// "cor.param" of the Illustrator plug-ins (an Illustrator drawing and the
// bitmaps exported beside it) or "cad.param" of the CAD edition (DXF
// drawings and bitmaps), in the work folder. Plain 8-bit text in the code
// page, LF or CR LF. A line's kind is told by its last characters, exactly
// and case-sensitively, and a fixed number of value lines follows it:
//   cad.param: "...dxf" (none), then "...bmp" (x, y, a marker, width, height);
//   cor.param: "...bmp" as above, then "...ai" (a marker, max x, max y, a
//   marker, min x, min y).
// Every other line is passed over. Numbers are decimal millimetres read
// from the start of their line, blanks before them allowed.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum : std::uint8_t {
    HANDOVER_DXF = 0,
    HANDOVER_BMP = 1,
    HANDOVER_AI = 2,
};

// One entry of the list. Values in millimetres: a bitmap's x, y (its
// placement origin), width and height; an Illustrator drawing's max x,
// max y, min x and min y.
struct HANDOVERENTRY {
    std::uint8_t m_nKind = HANDOVER_DXF;
    std::string m_name;  // the entry's line as written, a name relative to the folder
    std::string m_path;  // the name in the file system's encoding, still relative
    std::array<double, 4> m_values{};
    // Cut short, a value that is no usable number, or a name that leaves
    // the folder: the entry is named in the report and not read.
    bool m_bRefused = false;
};

// Largest magnitude of a hand-over value in millimetres (10 km): anything
// beyond is no drawing, and would lose the world unit's precision.
constexpr double kMaxHandOverMm = 1e7;

class CPluginParamList {
public:
    // Reads the entries of a list file's bytes by the rules of cad.param
    // (`cad`) or cor.param into m_entries, in file order. An entry whose
    // value lines are missing, whose numbers are not numbers, not finite or
    // beyond kMaxHandOverMm, or whose name is empty, absolute or leads out
    // of the folder ("..") is marked refused.
    void Parse(std::string_view bytes, bool cad);

    // True when a name stays inside the folder it is relative to: not empty,
    // not starting with a separator or a drive, no ".." component (either
    // separator counts), no NUL byte.
    static bool IsConfinedName(std::string_view name);

    std::vector<HANDOVERENTRY> m_entries;
};
