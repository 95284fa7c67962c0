#include "ParamTextFile.h"

#include "HexUtf16Text.h"
#include "platform/NumText.h"
#include "platform/TextFile.h"

#include <cmath>
#include <limits>

void ParamTextFile::Add(std::string_view key, std::string_view value)
{
    m_lines.emplace_back(key);
    m_lines.emplace_back(value);
}

void ParamTextFile::AddSigned(std::string_view key, std::int64_t value)
{
    Add(key, plat::FormatInt(value));
}

void ParamTextFile::AddUnsigned(std::string_view key, std::uint64_t value)
{
    Add(key, plat::FormatUInt(value));
}

void ParamTextFile::AddReal(std::string_view key, double value)
{
    Add(key, plat::FormatFixed(value, 6));
}

void ParamTextFile::AddHexText(std::string_view key, std::u16string_view text)
{
    Add(key, HexUtf16Text(text));
}

void ParamTextFile::AddLine(std::string_view line)
{
    m_lines.emplace_back(line);
}

bool ParamTextFile::Write(const std::string& path) const
{
    return plat::WriteTextLinesCrLf(path, m_lines);
}

void ParamTextFile::ReadPairs(const std::vector<std::string>& lines, const PairHandler& onPair, bool skipEmptyKeys)
{
    std::size_t i = 0;
    while (i < lines.size()) {
        const std::string& key = lines[i++];
        if (skipEmptyKeys && key.empty())
            continue;
        if (i >= lines.size())
            break;
        const std::string& value = lines[i++];
        onPair(key, value);
    }
}

bool ParamTextFile::Read(const std::string& path, const PairHandler& onPair, bool skipEmptyKeys)
{
    std::vector<std::string> lines;
    if (!plat::ReadTextLines(path, lines))
        return false;
    ReadPairs(lines, onPair, skipEmptyKeys);
    return true;
}

std::int64_t ParamSignedValue(std::string_view line)
{
    return plat::ParseInt(line);
}

std::uint64_t ParamUnsignedValue(std::string_view line)
{
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n' ||
                               line[i] == '\v' || line[i] == '\f'))
        ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == '+' || line[i] == '-')) {
        negative = line[i] == '-';
        ++i;
    }
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t magnitude = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        const std::uint64_t d = static_cast<std::uint64_t>(line[i] - '0');
        if (magnitude > (kMax - d) / 10)
            return kMax;
        magnitude = magnitude * 10 + d;
    }
    return negative ? (~magnitude + 1) : magnitude;
}

double ParamRealValue(std::string_view line)
{
    // Decimal numbers only: "nan", "inf" and "infinity" would put NaN or an
    // infinity into speeds, powers and sizes, and a decimal beyond the range
    // of a double is no number either. Hexadecimal forms read only their
    // leading "0".
    const double v = plat::ParseDouble(line);
    return std::isfinite(v) ? v : 0.0;
}
