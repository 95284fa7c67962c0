// Embroidery stitch files in the sign-and-magnitude layout (".dsb"), and the
// stage both stitch readers share: runs of stitches become polylines, jumps
// and trims break them, every colour change moves on to the next layer. The
// stitch unit is 0.1 mm, the world unit; y is the file's, which the import
// dispatcher mirrors.
#pragma once
#include "processing/FileTrans.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CDocData;
struct DOCCONTEXT;

// Record kinds: 0 stitch, 1 jump, 2 to 7 as the DSB control nibble says (7
// breaks the run like a jump), 9 colour change.
enum : std::uint8_t {
    STITCH_NORMAL = 0,
    STITCH_JUMP = 1,
    STITCH_TRIM = 7,
    STITCH_COLOUR = 9,
};

// One decoded record at its absolute position (the sum of every move so
// far from (0, 0)), in stitch units.
struct STITCHREC {
    std::uint8_t m_nKind = STITCH_NORMAL;
    double m_x = 0.0;
    double m_y = 0.0;
};

// Bytes of the header before the records, not interpreted.
constexpr std::size_t kStitchHeaderSize = 512;

class CFileTransDsb : public CFileTrans {
public:
    // A new object list (null when the file cannot be read or holds no
    // record); always true.
    bool ReadDsb(const std::string& path, CDocData*& list, DOCCONTEXT* ctx);

    // The records after the header up to the end code (0xF8 control byte)
    // or the last whole record, with the jump marks passed on.
    static std::vector<STITCHREC> ParseStitches(std::string_view bytes);

    // Polylines of the stitch runs, in file order.
    static CDocData* StitchesToObjects(const std::vector<STITCHREC>& stitches, DOCCONTEXT* ctx);

    // Every record right after a jump becomes a jump too; a colour change
    // stays one. The mark is not passed on further.
    static void PropagateJumps(std::vector<STITCHREC>& stitches);
};
