#include "Text.h"

#include "OutlineMath.h"
#include "TrueTypeFont.h"

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
