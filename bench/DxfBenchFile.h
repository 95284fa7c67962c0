// The generated DXF files of the import benchmarks: about 50 MB each,
// 1,000,000 entities on eight layers over a square of `side` millimetres,
// written once per side into the folder (ending in '/') of the first call
// and kept there for the run.
#pragma once
#include <string>

namespace plat {

const std::string& DxfFile(const std::string& folder, int side);

} // namespace plat
