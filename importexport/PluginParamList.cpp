#include "PluginParamList.h"

#include "platform/CodePage.h"
#include "platform/NumText.h"
#include "platform/TextFile.h"

#include <cmath>

namespace {

bool EndsWith(std::string_view line, std::string_view end)
{
    return line.size() >= end.size() && line.substr(line.size() - end.size()) == end;
}

// Value lines after an entry's line; `read` marks the ones read for a number.
constexpr bool kBmpRead[5] = {true, true, false, true, true};  // x, y, "size", width, height
constexpr bool kAiRead[6] = {false, true, true, false, true, true}; // "max", x, y, "min", x, y

bool ReadValue(const std::string& line, double& value)
{
    bool ok = false;
    value = plat::ParseDouble(line, &ok);
    return ok && std::isfinite(value) && std::fabs(value) <= kMaxHandOverMm;
}

} // namespace

bool CPluginParamList::IsConfinedName(std::string_view name)
{
    if (name.empty() || name.find('\0') != std::string_view::npos)
        return false;
    if (name.front() == '/' || name.front() == '\\')
        return false;
    const auto letter = static_cast<unsigned char>(name.front());
    if (name.size() >= 2 && name[1] == ':' && ((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')))
        return false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string_view::npos)
            end = name.size();
        if (name.substr(start, end - start) == "..")
            return false;
        start = end + 1;
    }
    return true;
}

void CPluginParamList::Parse(std::string_view bytes, bool cad)
{
    m_entries.clear();
    const std::vector<std::string> lines = plat::SplitTextLines(std::string(bytes));
    std::size_t i = 0;
    while (i < lines.size()) {
        const std::string& line = lines[i++];
        HANDOVERENTRY entry;
        const bool* read = nullptr;
        std::size_t follow = 0;
        if (cad && EndsWith(line, "dxf")) {
            entry.m_nKind = HANDOVER_DXF;
        } else if (EndsWith(line, "bmp")) {
            entry.m_nKind = HANDOVER_BMP;
            read = kBmpRead;
            follow = std::size(kBmpRead);
        } else if (!cad && EndsWith(line, "ai")) {
            entry.m_nKind = HANDOVER_AI;
            read = kAiRead;
            follow = std::size(kAiRead);
        } else {
            continue;
        }
        entry.m_name = line;

        bool ok = true;
        if (lines.size() - i < follow) {
            // The list ends inside the entry.
            ok = false;
            i = lines.size();
        } else {
            std::size_t v = 0;
            for (std::size_t k = 0; k < follow; ++k) {
                if (read[k] && !ReadValue(lines[i + k], entry.m_values[v++]))
                    ok = false;
            }
            i += follow;
        }
        entry.m_path = plat::Utf16ToUtf8(plat::CodePageToWide(line));
        entry.m_bRefused = !ok || !IsConfinedName(entry.m_path);
        m_entries.push_back(std::move(entry));
    }
}
