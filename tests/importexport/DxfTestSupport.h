// Small DXF files written in a test: lines with their line ends, a file
// of entities (with a HEADER section when given), lines, the unit
// variable, blocks and their inserts.
#pragma once
#include "platform/NumText.h"

#include <initializer_list>
#include <string>
#include <string_view>

namespace plat::dxftest {

// DXF text from its lines, each ended by `end`.
inline std::string Lines(std::initializer_list<std::string_view> lines, std::string_view end = "\r\n")
{
    std::string out;
    for (std::string_view l : lines) {
        out += l;
        out += end;
    }
    return out;
}

inline std::string Entities(const std::string& body, const std::string& header = "")
{
    std::string out;
    if (!header.empty())
        out += Lines({"0", "SECTION", "2", "HEADER"}) + header + Lines({"0", "ENDSEC"});
    return out + Lines({"0", "SECTION", "2", "ENTITIES"}) + body + Lines({"0", "ENDSEC", "0", "EOF"});
}

inline std::string Line(double x0, double y0, double x1, double y1, const std::string& more = "")
{
    auto n = [](double v) { return FormatFixed(v, 4); };
    return Lines({"0", "LINE", "8", "0"}) + more +
           Lines({"10", n(x0), "20", n(y0), "30", "0.0", "11", n(x1), "21", n(y1), "31", "0.0"});
}

inline std::string InsUnits(int code) { return Lines({"9", "$INSUNITS", "70", FormatInt(code)}); }

inline std::string Block(std::string_view name, std::string_view bx, std::string_view by, const std::string& body)
{
    return Lines({"0", "BLOCK", "8", "0", "2", name, "70", "0", "10", bx, "20", by, "30", "0", "3", name}) + body +
           Lines({"0", "ENDBLK", "8", "0"});
}

inline std::string Insert(std::string_view name, std::string_view x, std::string_view y, const std::string& more = "")
{
    return Lines({"0", "INSERT", "8", "0", "2", name, "10", x, "20", y, "30", "0"}) + more;
}

inline std::string WithBlocks(const std::string& blocks, const std::string& entities, const std::string& header = "")
{
    std::string out;
    if (!header.empty())
        out += Lines({"0", "SECTION", "2", "HEADER"}) + header + Lines({"0", "ENDSEC"});
    return out + Lines({"0", "SECTION", "2", "BLOCKS"}) + blocks + Lines({"0", "ENDSEC"}) + Entities(entities);
}

} // namespace plat::dxftest
