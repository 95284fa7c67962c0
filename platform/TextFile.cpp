#include "TextFile.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace plat {

std::vector<std::string> SplitTextLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t nl = text.find('\n', start);
        std::size_t end = nl == std::string::npos ? text.size() : nl;
        std::size_t cut = end;
        if (cut > start && text[cut - 1] == '\r')
            --cut;
        lines.emplace_back(text, start, cut - start);
        if (nl == std::string::npos)
            break;
        start = nl + 1;
    }
    return lines;
}

bool ReadWholeFile(const std::string& path, std::string& data)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool ReadTextLines(const std::string& path, std::vector<std::string>& lines)
{
    std::string data;
    if (!ReadWholeFile(path, data))
        return false;
    lines = SplitTextLines(data);
    return true;
}

bool WriteWholeFile(const std::string& path, const std::string& data)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}

bool WriteTextLinesCrLf(const std::string& path, const std::vector<std::string>& lines)
{
    std::string data;
    for (const std::string& l : lines) {
        data += l;
        data += "\r\n";
    }
    return WriteWholeFile(path, data);
}

} // namespace plat
