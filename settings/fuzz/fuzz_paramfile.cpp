// Feeds arbitrary bytes to the parameter file reader, the value conversions,
// the layer parameter file reader, the technology table reader and the
// technology file name rule, and checks that a record read from anything
// writes and reads back the same.
#include "FuzzScratch.h"
#include "settings/HexUtf16Text.h"
#include "settings/LayerParamFile.h"
#include "settings/MachineTech.h"
#include "settings/ParamTextFile.h"
#include "settings/ReadParamFile.h"
#include "settings/WorkParams.h"
#include "platform/WorkFolder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

template <class Row>
std::size_t CountRows(const Row* row)
{
    std::size_t n = 0;
    for (; row != nullptr; row = row->next) {
        if (row->next != nullptr && row->next->prev != row)
            std::abort();
        ++n;
    }
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzScratchFolder();
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = plat::SplitTextLines(text);

    ParamTextFile::ReadPairs(lines, [](std::string_view key, std::string_view value) {
        volatile std::int64_t sink = ParamSigned<std::int8_t>(value) + ParamSigned<std::int16_t>(value) +
                                     ParamSigned<std::int32_t>(value) + ParamUnsigned<std::uint8_t>(value) +
                                     ParamUnsigned<std::uint16_t>(value) + ParamUnsigned<std::uint32_t>(value);
        volatile double real = ParamRealValue(value);
        (void)sink;
        (void)real;
        if (DecodeHexName(key).size() > kHexNameMaxUnits)
            std::abort();
    }, size % 2 == 1);

    WorkParams layer;
    CLayerParamFile::ReadLines(lines, layer);
    const std::vector<std::string> layerLines = CLayerParamFile::Lines(layer).Lines();
    if (layerLines.size() != 2 * CLayerParamFile::kKeyCount || layer.m_pNext != nullptr)
        std::abort();
    WorkParams layerAgain;
    CLayerParamFile::ReadLines(layerLines, layerAgain);
    if (CLayerParamFile::Lines(layerAgain).Lines() != layerLines)
        std::abort();

    // The technology file name never leaves the parameter folder.
    const std::string name = plat::TechFileNameFromCodePage(text.substr(0, 120));
    if (name.find('/') != std::string::npos || name.rfind("Tech", 0) != 0)
        std::abort();

    CMachineTech tech(u"fuzz");
    tech.ReadLines(lines);
    CMachineTech again(u"fuzz");
    again.ReadLines(tech.FileLines());
    if (CountRows(tech.m_pCarveRepair) != CountRows(again.m_pCarveRepair) ||
        CountRows(tech.m_pSpeedLimit) != CountRows(again.m_pSpeedLimit) ||
        CountRows(tech.m_pCutRepair) != CountRows(again.m_pCutRepair) || tech.m_carve_use != again.m_carve_use ||
        tech.m_limit_use != again.m_limit_use || tech.m_cut_use != again.m_cut_use ||
        tech.m_disloc_use != again.m_disloc_use || tech.m_close_use != again.m_close_use)
        std::abort();
    return 0;
}
