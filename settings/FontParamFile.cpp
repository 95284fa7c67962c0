#include "FontParamFile.h"

#include "HexUtf16Text.h"
#include "ParamTextFile.h"
#include "ReadParamFile.h"
#include "platform/CodePage.h"
#include "platform/NumText.h"
#include "platform/WorkFolder.h"

#include <cmath>

namespace {

constexpr std::string_view kType = "m_font_type";
constexpr std::string_view kName = "m_font_name";
constexpr std::string_view kText = "m_font_text";
constexpr std::string_view kHigh = "m_font_high";
constexpr std::string_view kInter = "m_font_inter";

// A finite value replaces the field; no number at all reads as 0.
void TakeReal(std::string_view value, double& field)
{
    const double v = plat::ParseDouble(value);
    if (std::isfinite(v))
        field = v;
}

} // namespace

std::string FontParamPathOf(std::string_view workFolder)
{
    if (workFolder.empty())
        return {};
    std::string path = plat::ParamFolderOf(workFolder);
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path + kFontParamFile;
}

std::string FontParamPath()
{
    return FontParamPathOf(CReadParamFile().GetWorkPath());
}

bool ReadFontParamFile(const std::string& path, FontParams& params)
{
    if (path.empty())
        return false;
    return ParamTextFile::Read(path, [&params](std::string_view key, std::string_view value) {
        if (key == kType)
            params.type = plat::CodePageToWide(value);
        else if (key == kName)
            params.name = DecodeHexName(value);
        else if (key == kText)
            params.text = DecodeHexName(value);
        else if (key == kHigh)
            TakeReal(value, params.high);
        else if (key == kInter)
            TakeReal(value, params.inter);
    });
}

bool WriteFontParamFile(const std::string& path, const FontParams& params)
{
    if (path.empty())
        return false;
    ParamTextFile file;
    file.Add(kType, plat::WideToCodePage(params.type));
    file.AddHexText(kName, params.name);
    file.AddHexText(kText, params.text);
    file.AddReal(kHigh, params.high);
    file.AddReal(kInter, params.inter);
    return file.Write(path);
}
