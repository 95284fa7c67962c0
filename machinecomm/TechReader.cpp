#include "TechReader.h"

#include "platform/CodePage.h"
#include "platform/NumText.h"
#include "platform/TextFile.h"
#include "platform/WorkFolder.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>

namespace {

constexpr std::size_t kNameField = 50;       // char[50] of the transfer request
constexpr std::size_t kNameMaxBytes = kNameField - 1;

SpeedLimitTable g_speedLimits;

std::int32_t ClampToInt32(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (v <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v); // truncates toward zero
}

// Millimetres (or a speed) in the file to thousandths, rounded half up.
std::int32_t Thousandths(const std::string& line)
{
    return ClampToInt32(plat::ParseDouble(line) * 1000.0 + 0.5);
}

std::int32_t EnableValue(const std::string& line)
{
    const std::int64_t v = plat::ParseInt(line);
    if (v > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (v < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

} // namespace

std::string MachineNameBytes(const char* name)
{
    if (name == nullptr)
        return std::string();
    const std::size_t length = ::strnlen(name, kNameField);
    if (length <= kNameMaxBytes)
        return std::string(name, length);
    // No terminator within the field: keep whole characters of the first 49 bytes.
    std::size_t cut = 0;
    while (cut < kNameMaxBytes) {
        const std::size_t step = plat::IsLeadByte(static_cast<unsigned char>(name[cut])) ? 2 : 1;
        if (cut + step > kNameMaxBytes)
            break;
        cut += step;
    }
    return std::string(name, cut);
}

std::string GetTechFolder(const std::string& subPath)
{
    return plat::ParamFolder() + subPath;
}

std::string TechParamPath(const char* machineName)
{
    return GetTechFolder(plat::TechFileNameFromCodePage(MachineNameBytes(machineName)));
}

SpeedLimitTable ParseSpeedLimits(const std::vector<std::string>& lines)
{
    SpeedLimitTable table;
    std::size_t i = 0;
    while (i < lines.size() && lines[i] != "speed limit")
        ++i;
    if (i >= lines.size())
        return table;
    ++i;
    if (i < lines.size())
        table.enable = EnableValue(lines[i++]);
    SpeedLimitRow* row = nullptr;
    while (i < lines.size() && lines[i] != "limit end") {
        const std::string& key = lines[i++];
        if (i >= lines.size())
            break; // a key without its value line ends the file
        const std::string& value = lines[i++];
        if (key == "frame") {
            table.rows.push_back(SpeedLimitRow{Thousandths(value), 0});
            row = &table.rows.back();
        } else if (key == "speed" && row != nullptr) {
            row->speed = Thousandths(value);
        }
    }
    return table;
}

void ReadTechParam(const char* machineName)
{
    g_speedLimits = SpeedLimitTable{};
    try {
        std::vector<std::string> lines;
        if (plat::ReadTextLines(TechParamPath(machineName), lines))
            g_speedLimits = ParseSpeedLimits(lines);
    } catch (const std::bad_alloc&) {
        g_speedLimits = SpeedLimitTable{}; // no limits rather than a part of them
    }
}

const SpeedLimitTable& TechSpeedLimits()
{
    return g_speedLimits;
}
