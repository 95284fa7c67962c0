// The generated DXF files of the import benchmarks, written into a folder
// (ending in '/') and kept there for the run; written again when a
// benchmark has removed them meanwhile.
#pragma once
#include <string>

namespace plat {

// About 50 MB: 1,000,000 entities on eight layers, LINEs and closed
// four-vertex LWPOLYLINEs, over a square of `side` millimetres.
const std::string& DxfFile(const std::string& folder, int side);

// About 136 MB, as a drafting program writes a drawing (CR LF, padded group
// codes, handles, four decimals): 500,000 LINEs, 250,000
// closed LWPOLYLINEs of 4 to 8 vertices, 125,000 CIRCLEs and 125,000 ARCs
// in mixed order on four coloured layers over the 550 mm table.
const std::string& MixedDxfFile(const std::string& folder);

// The fair floor of a DXF import: reads the file and converts every group
// code and every value as its code's type says (reals, integers, text).
// Returns a checksum so nothing is left out.
double PlainDxfGroupPass(const std::string& path);

} // namespace plat
