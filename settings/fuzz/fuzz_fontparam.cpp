// Feeds arbitrary bytes as the text tool's settings file and checks that
// what is read holds finite numbers and settles after one write: written and
// read again, it writes and reads back the same.
#include "FuzzScratch.h"
#include "settings/FontParamFile.h"
#include "platform/TextFile.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool Same(const FontParams& a, const FontParams& b)
{
    return a.type == b.type && a.name == b.name && a.text == b.text && a.high == b.high && a.inter == b.inter;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = FuzzScratchFolder() + kFontParamFile;
    plat::WriteWholeFile(path, std::string(reinterpret_cast<const char*>(data), size));
    FontParams first;
    if (!ReadFontParamFile(path, first))
        std::abort();
    if (!std::isfinite(first.high) || !std::isfinite(first.inter))
        std::abort();
    FontParams second;
    FontParams third;
    if (!WriteFontParamFile(path, first) || !ReadFontParamFile(path, second))
        std::abort();
    if (!WriteFontParamFile(path, second) || !ReadFontParamFile(path, third) || !Same(second, third))
        std::abort();
    return 0;
}
