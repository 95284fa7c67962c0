#include "Text.h"

#include "Notices.h"
#include "OutlineMath.h"
#include "ShapeText.h"
#include "TrueTypeFont.h"
#include "platform/FontChoice.h"
#include "platform/Folders.h"

#include <cmath>
#include <cstring>

namespace {

template <std::size_t N>
std::string FieldText(const char (&field)[N])
{
    return std::string(field, ::strnlen(field, N));
}

} // namespace

CText::CText(const Text& text)
    : m_flag1(text.m_flag1),
      m_flag2(text.m_flag2),
      m_text(FieldText(text.m_text)),
      m_style(FieldText(text.m_style)),
      m_font_file(FieldText(text.m_font_file)),
      m_bigfont_file(FieldText(text.m_bigfont_file)),
      m_height(text.m_height),
      m_angle(text.m_angle),
      m_width_factor(text.m_width_factor),
      m_oblique(text.m_oblique),
      m_layer(FieldText(text.m_layer)),
      m_linetype(FieldText(text.m_linetype)),
      m_color(text.m_color),
      m_common(text.m_common),
      m_linetype_scale(text.m_linetype_scale)
{
    MapToWorkingSpace(text.m_x, text.m_y, m_x, m_y);
}

void CText::OutlineTrueType(const std::string& faceName)
{
    CTrueTypeFont font;
    if (!font.SetUp(faceName, m_height))
        return;
    m_chars.reserve(m_text.size());
    double penX = m_x;
    const double penY = m_y;
    CharMetrics previous;
    std::size_t pos = 0;
    std::uint32_t code = 0;
    while (ReadTextCode(m_text, pos, code)) {
        CTextChar ch;
        font.AppendGlyph(code, penX, penY, ch);
        if (code == ' ')
            ch.m_metrics = previous;
        else
            previous = ch.m_metrics;
        penX += ch.m_metrics.cellIncX * m_width_factor;
        m_chars.push_back(std::move(ch));
    }
}

void CText::Outline()
{
    const std::string fontFile = m_font_file.empty() ? std::string("arial.ttf") : m_font_file;
    const plat::FontChoice choice = plat::ChooseFont(CodePageToUtf8(fontFile));
    if (choice.replaced)
        NoteFontReplaced(CodePageToUtf8(fontFile), choice.face);
    if (choice.kind == plat::FontChoice::Shape)
        OutlineShx(choice.shxPath, m_bigfont_file);
    else
        OutlineTrueType(choice.face);
}

void CText::OutlineShx(const std::string& fontFile, const std::string& bigFontFile)
{
    // Like the TrueType renderer, no height (or no number) draws nothing.
    if (!std::isfinite(m_height) || m_height <= 0.0)
        return;
    CShapeReader font;
    CShapeReader bigFont;
    // A file that is no shape font is drawn as a font that is not there.
    if (!LoadShxFont(fontFile, font)) {
        NoteFontReplaced(CodePageToUtf8(plat::FileNameOf(fontFile)), plat::DefaultFace());
        OutlineTrueType(plat::DefaultFace());
        return;
    }
    const bool haveBigFont = !bigFontFile.empty() && LoadShxFont(bigFontFile, bigFont);
    CShapeStandIn standIn;
    const double height10 = m_height * 10.0;
    const bool stretch = !DoublesEqual(m_width_factor, 1.0);
    double penX = m_x;
    const double penY = m_y;
    std::size_t pos = 0;
    std::uint32_t code = 0;
    while (ReadTextCode(m_text, pos, code)) {
        const bool doubleByte = code > 0xFF;
        CShapeReader* reader = !doubleByte ? &font : haveBigFont ? &bigFont : nullptr;
        CTextChar ch;
        if (reader != nullptr && DrawShapeChar(*reader, code, penX, penY, height10 / reader->FontHeight() * 0.5, ch)) {
            if (stretch)
                StretchCharX(ch, m_width_factor);
            penX += BoxWidth(ch) + height10 / 3.0;
            m_chars.push_back(std::move(ch));
            continue;
        }
        // What the shape fonts lack comes from a TrueType face.
        if (doubleByte && !haveBigFont && !bigFontFile.empty())
            NoteFontReplaced(CodePageToUtf8(bigFontFile), plat::DefaultFace());
        double advance = 0.0;
        if (standIn.Draw(code, m_height, m_width_factor, penX, penY, ch, advance)) {
            penX += advance;
            m_chars.push_back(std::move(ch));
        }
    }
}

void CText::ApplyAngle()
{
    if (!AngleApplies(m_angle))
        return;
    for (CTextChar& ch : m_chars)
        ch.Rotate(m_x, m_y, m_angle);
}
