// The generated DXF file of the import benchmarks: about 50 MB, 1,000,000
// entities on eight layers, written once, into the folder (ending in '/') of
// the first call, and kept there for the run.
#pragma once
#include <string>

namespace plat {

const std::string& DxfFile(const std::string& folder);

} // namespace plat
