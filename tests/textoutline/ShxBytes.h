// Small shape font files built byte by byte as compiled shape files lay them
// out, and a scratch program folder with its shx/ folder for them.
#pragma once
#include "platform/Folders.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace plat {

using Bytes = std::vector<std::uint8_t>;

struct ShxShape {
    std::uint16_t code = 0;
    std::string name;
    Bytes codes; // the shape's bytes after its name, ending 0 included
};

inline void PutU16(Bytes& b, unsigned v)
{
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

inline void PutU32(Bytes& b, std::uint32_t v)
{
    PutU16(b, v & 0xFFFF);
    PutU16(b, v >> 16);
}

inline Bytes HeaderBytes(const std::string& text)
{
    Bytes b(text.begin(), text.end());
    b.push_back(0x0D);
    b.push_back(0x0A);
    b.push_back(0x1A);
    return b;
}

inline Bytes ShapeData(const ShxShape& s)
{
    Bytes d(s.name.begin(), s.name.end());
    d.push_back(0);
    d.insert(d.end(), s.codes.begin(), s.codes.end());
    return d;
}

// Header, first code, last code, count, table of code and length, then the
// shapes' data in table order.
inline Bytes ShapeFontBytes(const std::vector<ShxShape>& shapes)
{
    Bytes b = HeaderBytes("AutoCAD-86 shapes 1.0");
    unsigned first = 0xFFFF;
    unsigned last = 0;
    for (const ShxShape& s : shapes) {
        first = std::min<unsigned>(first, s.code);
        last = std::max<unsigned>(last, s.code);
    }
    PutU16(b, shapes.empty() ? 0 : first);
    PutU16(b, last);
    PutU16(b, static_cast<unsigned>(shapes.size()));
    for (const ShxShape& s : shapes) {
        PutU16(b, s.code);
        PutU16(b, static_cast<unsigned>(ShapeData(s).size()));
    }
    for (const ShxShape& s : shapes) {
        const Bytes d = ShapeData(s);
        b.insert(b.end(), d.begin(), d.end());
    }
    return b;
}

// Header, index size, count, number of escape ranges, the ranges, entries
// of code, length and file offset, then the data.
inline Bytes BigFontBytes(const std::vector<std::pair<unsigned, unsigned>>& ranges, const std::vector<ShxShape>& shapes)
{
    Bytes b = HeaderBytes("AutoCAD-86 bigfont 1.0");
    PutU16(b, static_cast<unsigned>(shapes.size()));
    PutU16(b, static_cast<unsigned>(shapes.size()));
    PutU16(b, static_cast<unsigned>(ranges.size()));
    for (const auto& r : ranges) {
        PutU16(b, r.first);
        PutU16(b, r.second);
    }
    std::uint32_t offset = static_cast<std::uint32_t>(b.size() + 8 * shapes.size());
    for (const ShxShape& s : shapes) {
        const auto length = static_cast<std::uint32_t>(ShapeData(s).size());
        PutU16(b, s.code);
        PutU16(b, length);
        PutU32(b, offset);
        offset += length;
    }
    for (const ShxShape& s : shapes) {
        const Bytes d = ShapeData(s);
        b.insert(b.end(), d.begin(), d.end());
    }
    return b;
}

// A program folder of its own for one test, with an empty shx/ folder.
class ScratchProgramFolder {
public:
    ScratchProgramFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "letrova-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            m_folder = pattern;
        std::filesystem::create_directory(m_folder / "shx");
        SetProgramFolderForTesting(m_folder.string());
    }
    ~ScratchProgramFolder()
    {
        SetProgramFolderForTesting("");
        std::error_code ec;
        std::filesystem::remove_all(m_folder, ec);
    }
    ScratchProgramFolder(const ScratchProgramFolder&) = delete;
    ScratchProgramFolder& operator=(const ScratchProgramFolder&) = delete;

    std::filesystem::path Folder() const { return m_folder; }
    void Write(const std::string& relative, const Bytes& bytes) const
    {
        std::ofstream out(m_folder / relative, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::filesystem::path m_folder;
};

} // namespace plat
