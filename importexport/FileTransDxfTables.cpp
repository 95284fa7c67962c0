// The DXF reader's tables and colours: the drawing unit of the header
// section, the TABLES section (the first text style, which every text uses,
// and the colour of each layer), and an entity's palette entry from its
// colour number or its layer's, through the format's standard colour index
// table.
#include "FileTransDxf.h"

#include "FileReadTrans.h"
#include "model/DocData.h"
#include "settings/SoftwareSettings.h"

#include <cstdint>
#include <iterator>
#include <limits>
#include <string>
#include <utility>

namespace {

// Millimetres per drawing unit of the $INSUNITS codes; 0 where a code has
// no factor (unitless, millimetres, unknown).
constexpr double kInsUnitFactors[] = {
    0.0,       25.4,   304.8,    1609344.0, 0.0,  10.0, 1000.0, 1000000.0, 2.54e-05,    0.0254,       914.4,
    1e-07,     1e-06,  0.001,    100.0,     10000.0, 100000.0, 1e12, 1.49598e14, 9.4605284e18, 3.08568025e19,
};

} // namespace

// The unit variable is looked for in the HEADER section only.
void CFileTransDxf::ReadHeader(DXFFILE& f)
{
    if (!FindGroup(f, 9, "$INSUNITS", true))
        return;
    int c = 0;
    std::string_view v;
    ReadGroup(f, c, v);
    const int unit = IntOf(v);
    if (m_bUnitFixed || unit < 0 || unit >= static_cast<int>(std::size(kInsUnitFactors)))
        return;
    const double factor = kInsUnitFactors[unit];
    if (factor > 0.0)
        m_dUnit *= factor;
}

bool CFileTransDxf::NextTable(DXFFILE& f)
{
    f.m_nTableType = 0;
    if (f.m_nSection != DXF_SECTION_TABLES || !NextInSection(f, "TABLE"))
        return false;
    int c = 0;
    std::string_view v;
    ReadGroup(f, c, v);
    if (v == "LAYER")
        f.m_nTableType = DXF_TABLE_LAYER;
    else if (v == "LTYPE")
        f.m_nTableType = DXF_TABLE_LTYPE;
    else if (v == "STYLE")
        f.m_nTableType = DXF_TABLE_STYLE;
    else if (v == "DIMSTYLE")
        f.m_nTableType = DXF_TABLE_DIMSTYLE;
    else if (v == "VPORT")
        f.m_nTableType = DXF_TABLE_VPORT;
    else
        f.m_nTableType = DXF_TABLE_OTHER;
    return true;
}

// Only the first STYLE entry is kept: every text uses it, whatever style it
// names. Every LAYER entry is kept for the colours of its entities. Other
// tables are passed over by the search for the next table.
void CFileTransDxf::ReadTable(DXFFILE& f)
{
    if (f.m_nTableType == DXF_TABLE_STYLE) {
        if (FindGroup(f, 0, "STYLE", true))
            ReadStyle(f);
        return;
    }
    if (f.m_nTableType != DXF_TABLE_LAYER)
        return;
    int c = 0;
    std::string_view v;
    for (;;) {
        SavePos(f);
        if (!ReadGroup(f, c, v))
            return;
        if (c != 0)
            continue;
        if (v == "LAYER") {
            ReadLayer(f);
        } else if (v == "ENDTAB" || v == "ENDSEC") {
            RestorePos(f);
            return;
        }
    }
}

void CFileTransDxf::ReadStyle(DXFFILE& f)
{
    m_style = DXFSTYLE{};
    int c = 0;
    std::string_view v;
    for (;;) {
        SavePos(f);
        if (!ReadGroup(f, c, v))
            return;
        if (c == 0)
            break;
        switch (c) {
        case 2:
            m_style.m_name = CutBytes(v, kMaxName);
            break;
        case 3:
            m_style.m_font_file = CutBytes(v, kMaxName);
            break;
        case 4:
            m_style.m_bigfont_file = CutBytes(v, kMaxName);
            break;
        case 40:
            m_style.m_fixed_height = plat::ParseDouble(v);
            break;
        case 41:
            m_style.m_width_factor = plat::ParseDouble(v);
            break;
        case 42:
            m_style.m_last_height = plat::ParseDouble(v);
            break;
        case 50:
            m_style.m_oblique = plat::ParseDouble(v);
            break;
        case 70:
            m_style.m_flags = static_cast<std::uint8_t>(IntOf(v) & 0xFF);
            break;
        case 71:
            m_style.m_gen_flags = IntOf(v);
            break;
        case 1000: {
            // The face name of a TrueType style; the suffix always fits.
            std::string name(CutBytes(v, kMaxName - 4));
            name += ".ttf";
            m_style.m_font_file = std::move(name);
            break;
        }
        default:
            break;
        }
    }
    RestorePos(f);
}

void CFileTransDxf::ReadLayer(DXFFILE& f)
{
    std::string_view name;
    std::int32_t colour = 7;
    int c = 0;
    std::string_view v;
    for (;;) {
        SavePos(f);
        if (!ReadGroup(f, c, v))
            break;
        if (c == 0) {
            RestorePos(f);
            break;
        }
        if (c == 2)
            name = v;
        else if (c == 62)
            colour = IntOf(v);
    }
    // A negative colour marks a layer that is switched off.
    if (colour < 0)
        colour = colour == std::numeric_limits<std::int32_t>::min() ? 0 : -colour;
    m_layerColours.emplace(std::string(CutBytes(name, kMaxName)), colour);
}

std::uint32_t CFileTransDxf::PaletteIndexOf(std::string_view colourLayer, std::int32_t colour, DOCCONTEXT* ctx)
{
    std::int32_t number = colour;
    if (number == 256) {
        if (!m_bLastLayerValid || colourLayer != m_lastLayer) {
            const auto found = m_layerColours.find(colourLayer);
            m_lastLayerColour = found != m_layerColours.end() ? found->second : 7;
            m_lastLayer = colourLayer;
            m_bLastLayerValid = true;
        }
        number = m_lastLayerColour;
    }
    // By block (0) and numbers outside the table take the foreground colour.
    if (number < 1 || number > 255)
        number = 7;
    std::int16_t& cached = m_paletteCache[static_cast<std::size_t>(number)];
    if (cached < 0) {
        cached = static_cast<std::int16_t>(CFileReadTrans::NearestPaletteIndex(
            StandardColour(number), CDocData::SettingsOf(ctx).m_palette.data()));
    }
    return static_cast<std::uint32_t>(cached);
}

// The DXF colour index (ACI) table as CAD programs show it in their colour
// dialogs and as DXF libraries print it: 1 to 9 named colours; 10 to 249
// twenty-four hues in steps of 15 degrees, ten numbers each, at brightness
// 100, 65, 50, 30 and 15 % of 255, the even number at full saturation and
// the odd one at half (its weakest channel at half the brightness), each
// channel truncated; 250 to 255 greys. Made by the rule rather than copied,
// as copies of the table in circulation misprint some dark shades. Colour 7
// is the foreground colour, white on a dark background and black on a light
// one: the drawing's background is light, so it is black.
plat::COLORREF CFileTransDxf::StandardColour(int number)
{
    static constexpr plat::COLORREF kNamed[10] = {
        plat::MakeRGB(255, 255, 255), plat::MakeRGB(255, 0, 0),     plat::MakeRGB(255, 255, 0), plat::MakeRGB(0, 255, 0),
        plat::MakeRGB(0, 255, 255),   plat::MakeRGB(0, 0, 255),     plat::MakeRGB(255, 0, 255), plat::MakeRGB(0, 0, 0),
        plat::MakeRGB(128, 128, 128), plat::MakeRGB(192, 192, 192),
    };
    static constexpr int kGreys[6] = {51, 80, 105, 130, 190, 255};
    static constexpr int kPercents[5] = {100, 65, 50, 30, 15};
    if (number >= 1 && number <= 9)
        return kNamed[number];
    if (number >= 250 && number <= 255) {
        const int g = kGreys[number - 250];
        return plat::MakeRGB(g, g, g);
    }
    if (number < 10 || number > 249)
        return kNamed[7];
    const int hue = (number - 10) / 10 * 15; // degrees
    const int shade = (number - 10) % 10;
    const int percent = kPercents[shade / 2];
    // Full-saturation share of a channel at the hue, in quarters.
    auto quarters = [&](int offset) {
        const int h = (hue + offset) % 360;
        if (h < 60)
            return 4;
        if (h < 120)
            return 4 - (h - 60) / 15;
        if (h < 240)
            return 0;
        if (h < 300)
            return (h - 240) / 15;
        return 4;
    };
    int rgb[3] = {quarters(0), quarters(240), quarters(120)};
    for (int& c : rgb) {
        // In eighths: q / 4 at full saturation, (4 + q) / 8 at half.
        const int eighths = shade % 2 == 1 ? 4 + c : 2 * c;
        c = 255 * percent * eighths / 800;
    }
    return plat::MakeRGB(rgb[0], rgb[1], rgb[2]);
}
