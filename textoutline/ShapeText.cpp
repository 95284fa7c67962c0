#include "ShapeText.h"

#include "OutlineMath.h"
#include "platform/Folders.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace {

namespace fs = std::filesystem;

bool SameNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The entry of the folder with that name, exact spelling first, then any
// spelling; empty when none.
fs::path FindEntry(const fs::path& folder, const std::string& name, bool wantFolder)
{
    std::error_code ec;
    auto fits = [&](const fs::path& p) {
        return wantFolder ? fs::is_directory(p, ec) : fs::is_regular_file(p, ec);
    };
    const fs::path exact = folder / name;
    if (fits(exact))
        return exact;
    for (fs::directory_iterator it(folder, ec), last; !ec && it != last; it.increment(ec)) {
        const fs::path p = it->path();
        if (SameNoCase(p.filename().string(), name) && fits(p))
            return p;
    }
    return {};
}

double LeftEdge(const CTextChar& ch, double fallback)
{
    bool any = false;
    double left = fallback;
    for (const COutLine& c : ch.m_contours)
        for (const CSuPoint& p : c.m_points) {
            left = any ? std::min(left, p.m_x) : p.m_x;
            any = true;
        }
    return left;
}

} // namespace

std::string ShxFontPath(const std::string& fileName)
{
    const std::size_t sep = fileName.find_last_of("/\\");
    const std::string name = sep == std::string::npos ? fileName : fileName.substr(sep + 1);
    if (name.empty() || name == "." || name == "..")
        return {};
    const fs::path folder = FindEntry(fs::path(plat::ProgramFolder()), "shx", true);
    if (folder.empty())
        return {};
    return FindEntry(folder, name, false).string();
}

bool LoadShxFont(const std::string& fileName, CShapeReader& reader)
{
    const std::string path = ShxFontPath(fileName);
    return !path.empty() && reader.LoadFont(path) == 0;
}

bool DrawShapeChar(CShapeReader& reader, std::uint32_t code, double penX, double penY, double scale, CTextChar& ch)
{
    const int index = reader.FindCode(code);
    if (index < 0 || reader.Execute(code, index) != 0)
        return false;
    ch.m_contours = reader.ToContours(penX, penY);
    const double left = LeftEdge(ch, penX);
    for (COutLine& c : ch.m_contours)
        for (CSuPoint& p : c.m_points) {
            p.m_x = left + (p.m_x - left) * scale;
            p.m_y = penY + (p.m_y - penY) * scale;
        }
    DropNonFiniteContours(ch.m_contours);
    ch.m_rcBox = ch.BoundingBox();
    return true;
}

void StretchCharX(CTextChar& ch, double factor)
{
    const double left = LeftEdge(ch, 0.0);
    for (COutLine& c : ch.m_contours)
        for (CSuPoint& p : c.m_points)
            p.m_x = left + (p.m_x - left) * factor;
    DropNonFiniteContours(ch.m_contours);
    ch.m_rcBox = ch.BoundingBox();
}

double BoxWidth(const CTextChar& ch)
{
    return static_cast<double>(ch.m_rcBox.right) - ch.m_rcBox.left;
}
