#include "FontChoice.h"

#include "Folders.h"
#include "GlyphFont.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>
#include <utility>

namespace plat {

namespace {

namespace fs = std::filesystem;

// Answers kept; a drawing naming ever new fonts starts the list afresh.
constexpr std::size_t kMaxChoices = 256;

bool SameNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The entry of the folder with that name, exact spelling first, then any
// spelling; empty when none.
fs::path FindEntry(const fs::path& folder, const std::string& name, bool wantFolder)
{
    std::error_code ec;
    auto fits = [&](const fs::path& p) { return wantFolder ? fs::is_directory(p, ec) : fs::is_regular_file(p, ec); };
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

std::string LastComponent(const std::string& path)
{
    const std::size_t sep = path.find_last_of("/\\:");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

FontChoice Choose(const std::string& fontFile)
{
    const std::string name = LastComponent(fontFile);
    const std::size_t dot = name.find_last_of('.');
    const std::string base = name.substr(0, dot);
    std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    FontChoice choice;
    if (extension == "TTF" && !base.empty()) {
        choice.face = base;
        return choice;
    }
    if (extension == "SHX") {
        choice.shxPath = ShxFontPath(name);
        if (!choice.shxPath.empty()) {
            choice.kind = FontChoice::Shape;
            return choice;
        }
    }
    if (!base.empty() && FamilyInstalled(base)) {
        choice.face = base;
        return choice;
    }
    if (!base.empty()) {
        choice.shxPath = ShxFontPath(base + ".shx");
        if (!choice.shxPath.empty()) {
            choice.kind = FontChoice::Shape;
            return choice;
        }
    }
    choice.face = DefaultFace();
    choice.replaced = true;
    return choice;
}

} // namespace

FontChoice ChooseFont(const std::string& fontFile)
{
    static std::mutex mutex;
    static std::map<std::pair<std::string, std::string>, FontChoice> known;
    // The shx folder moves with the program folder (tests move it).
    const auto key = std::make_pair(fontFile, ProgramFolder());
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (auto it = known.find(key); it != known.end())
            return it->second;
    }
    FontChoice choice = Choose(fontFile);
    std::lock_guard<std::mutex> lock(mutex);
    if (known.size() >= kMaxChoices)
        known.clear();
    known.emplace(key, choice);
    return choice;
}

const std::string& DefaultFace()
{
    static const std::string face = [] {
        for (const char* family : {"DejaVu Sans", "Liberation Sans"})
            if (FamilyInstalled(family))
                return std::string(family);
        return std::string("sans-serif");
    }();
    return face;
}

bool FamilyInstalled(const std::string& family)
{
    // fontconfig always answers with some face: only one of that family
    // (under any of its names) counts.
    FaceMatch match;
    return !family.empty() && MatchOutlineFace(family, false, false, match)
        && std::any_of(match.families.begin(), match.families.end(),
                       [&](const std::string& name) { return SameNoCase(name, family); });
}

std::string ShxFontPath(const std::string& fileName)
{
    const std::size_t sep = fileName.find_last_of("/\\");
    const std::string name = sep == std::string::npos ? fileName : fileName.substr(sep + 1);
    if (name.empty() || name == "." || name == "..")
        return {};
    const fs::path folder = FindEntry(fs::path(ProgramFolder()), "shx", true);
    if (folder.empty())
        return {};
    return FindEntry(folder, name, false).string();
}

bool FaceHasChar(const std::string& face, char32_t code)
{
    GlyphFont font;
    return font.Create(GlyphFontSpec{face, 64, 400, false}) && font.HasGlyph(code);
}

} // namespace plat
