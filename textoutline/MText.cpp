#include "MText.h"

#include "Notices.h"
#include "OutlineMath.h"
#include "ShapeText.h"
#include "TrueTypeFont.h"
#include "platform/FontChoice.h"
#include "platform/NumText.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

template <std::size_t N>
std::string FieldText(const char (&field)[N])
{
    return std::string(field, ::strnlen(field, N));
}

bool IsLeadByte(char c)
{
    return (static_cast<unsigned char>(c) & 0x80u) != 0;
}

// The last component of a path written with either separator.
std::string LastComponent(const std::string& path)
{
    const std::size_t sep = path.find_last_of("/\\");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string UpperExtension(const std::string& file)
{
    const std::size_t dot = file.find_last_of('.');
    if (dot == std::string::npos)
        return {};
    std::string ext = file.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext;
}

// The value of a code: from `from` up to the next ';' (or the end of the
// run); `after` is the position behind the ';'.
std::string_view ValueTo(std::string_view run, std::size_t from, std::size_t& after)
{
    const std::size_t semi = run.find(';', from);
    if (semi == std::string_view::npos) {
        after = run.size();
        return run.substr(std::min(from, run.size()));
    }
    after = semi + 1;
    return run.substr(from, semi - from);
}

// First of the delimiters at or after `from` that is a byte of its own, not
// the second byte of a double-byte character (a bar, for one); npos when
// there is none.
std::size_t FindDelimiter(std::string_view run, std::size_t from, std::string_view delimiters)
{
    for (std::size_t i = from; i < run.size(); ++i) {
        if (IsLeadByte(run[i]))
            ++i;
        else if (delimiters.find(run[i]) != std::string_view::npos)
            return i;
    }
    return std::string_view::npos;
}

// The text of a stacked fraction (\S): the bytes up to the ';' that ends
// it, its two parts and their separator drawn side by side; a backslash
// there makes the next byte part of the text. `after` is the position behind
// the ';' (the end of the run when the code is cut off).
std::string StackedText(std::string_view run, std::size_t from, std::size_t& after)
{
    std::string text;
    const std::size_t n = run.size();
    for (std::size_t i = from; i < n; ++i) {
        const char c = run[i];
        if (IsLeadByte(c)) {
            if (i + 1 < n)
                text.append(run.substr(i, 2));
            ++i;
        } else if (c == ';') {
            after = i + 1;
            return text;
        } else if (c == '\\') {
            if (i + 1 < n && !IsLeadByte(run[i + 1]))
                text += run[++i];
        } else {
            text += c;
        }
    }
    after = n;
    return text;
}

// Codes read alike in and out of a group, at the backslash at `pos`: \\, \{
// and \} stand for their character and \~ for a space; \S is drawn as its
// text; \A and \p (paragraph settings, up to their ';') and the switches \l,
// \o, \K and \k draw nothing, nor does a backslash that ends the run. Puts
// what is to be drawn into `text` and gives the position behind the code;
// npos when no such code starts there.
std::size_t SharedCode(std::string_view run, std::size_t pos, std::string& text)
{
    text.clear();
    if (pos + 1 >= run.size())
        return run.size();
    std::size_t after = pos + 2;
    switch (run[pos + 1]) {
    case '\\':
    case '{':
    case '}':
        text = run[pos + 1];
        return after;
    case '~':
        text = " ";
        return after;
    case 'S':
        text = StackedText(run, pos + 2, after);
        return after;
    case 'A':
    case 'p':
        ValueTo(run, pos + 2, after);
        return after;
    case 'l':
    case 'o':
    case 'K':
    case 'k':
        return after;
    default:
        return std::string_view::npos;
    }
}

std::int32_t ToInt32(std::string_view text)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(plat::ParseInt(text), INT32_MIN, INT32_MAX));
}

bool ParseFinite(std::string_view text, double& value)
{
    const double v = plat::ParseDouble(text);
    if (!std::isfinite(v))
        return false;
    value = v;
    return true;
}

std::uint32_t CharCode(const std::string& text)
{
    if (text.size() >= 2)
        return static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) << 8 | static_cast<unsigned char>(text[1]);
    return text.empty() ? 0 : static_cast<unsigned char>(text[0]);
}

// The per-character settings of \Q, \W, \T, \L, \O and \C.
MCharInfo DefaultSettings()
{
    return MCharInfo();
}

bool HasPoints(const CTextChar& ch)
{
    for (const COutLine& c : ch.m_contours)
        if (!c.m_points.empty())
            return true;
    return false;
}

} // namespace

std::string FontNameWithoutExtension(const std::string& name)
{
    const std::size_t n = name.size();
    if (n >= 5 && name[n - 4] == '.'
        && std::all_of(name.end() - 3, name.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }))
        return name.substr(0, n - 4);
    return name;
}

CMText::CMText(const MText& text)
    : m_flag1(text.m_flag1),
      m_flag2(text.m_flag2),
      m_height(text.m_height),
      m_ref_width(text.m_ref_width),
      m_angle(text.m_angle),
      m_attach(text.m_attach),
      m_direction(text.m_direction),
      m_rotation(text.m_geometry[4]),
      m_bg_color(text.m_bg_color),
      m_line_spacing(text.m_line_spacing),
      m_font_file(FieldText(text.m_font_file)),
      m_bigfont_file(FieldText(text.m_bigfont_file)),
      m_text(FieldText(text.m_text_more) + FieldText(text.m_text))
{
    MapToWorkingSpace(text.m_x, text.m_y, m_x, m_y);
    // Without a font file the text is drawn as a single-line one is. A
    // shape font that is not there is looked for as a face when its run is
    // drawn.
    const std::string file = m_font_file.empty() ? std::string("arial.ttf") : LastComponent(m_font_file);
    if (UpperExtension(file) == "TTF") {
        m_baseKind = CMFontInfo::kTrueType;
        m_baseName = file;
    } else {
        m_baseKind = CMFontInfo::kShx;
        m_baseName = file + "," + LastComponent(m_bigfont_file);
    }
}

void CMText::Outline()
{
    Split();
    Layout();
    if (!AngleApplies(m_rotation))
        return;
    for (CTextChar& ch : m_chars)
        ch.Rotate(m_x, m_y, m_rotation);
}

void CMText::Split()
{
    m_runs.clear();
    m_line = 1;
    m_afterBreak = false;
    std::string pending;
    const std::size_t n = m_text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char b = m_text[i];
        // A trail byte may look like a brace; it stays with its lead byte.
        if (IsLeadByte(b) && i + 1 < n) {
            pending += b;
            pending += m_text[++i];
            continue;
        }
        // An escaped brace is text, and so is the brace after an escaped
        // backslash.
        if (b == '\\' && i + 1 < n && !IsLeadByte(m_text[i + 1])) {
            pending += b;
            pending += m_text[++i];
            continue;
        }
        if (b == '{') {
            if (!pending.empty())
                ParseRun(pending);
            pending = "{";
        } else if (b == '}') {
            ParseRun(pending);
            pending.clear();
        } else {
            pending += b;
        }
    }
    if (!pending.empty())
        ParseRun(pending);
}

void CMText::ParseRun(std::string_view run)
{
    // The braces themselves are no text: the closing one never reaches here.
    if (!run.empty() && run.front() == '{')
        ParseFormatted(run.substr(1));
    else
        ParsePlain(run);
}

CMFontInfo CMText::NewRun(const CMFontInfo& font, double height) const
{
    CMFontInfo run;
    run.m_kind = font.m_kind;
    run.m_name = font.m_name;
    run.m_bold = font.m_bold;
    run.m_italic = font.m_italic;
    run.m_charset = font.m_charset;
    run.m_pitch = font.m_pitch;
    run.m_height = height;
    return run;
}

void CMText::CloseRun(CMFontInfo& run)
{
    run.m_line = m_line;
    if (run.m_kind == 0 || run.m_name.empty()) {
        if (!m_runs.empty()) {
            run.m_kind = m_runs.back().m_kind;
            run.m_name = m_runs.back().m_name;
        } else {
            run.m_kind = m_baseKind;
            run.m_name = m_baseName;
        }
    }
    m_runs.push_back(std::move(run));
}

void CMText::ParseFormatted(std::string_view run)
{
    double height = m_height;
    CMFontInfo current = NewRun(CMFontInfo(), height);
    MCharInfo settings = DefaultSettings();
    const std::size_t n = run.size();
    std::size_t i = 0;
    while (i < n) {
        const char b = run[i];
        if (IsLeadByte(b)) {
            if (i + 1 >= n)
                break; // a lead byte without its second byte is no character
            AddChar(current, settings, run.substr(i, 2));
            i += 2;
            continue;
        }
        if (b == '\\' && i + 1 < n) {
            const char code = run[i + 1];
            std::size_t after = i;
            if (code == 'f' || code == 'F') {
                CMFontInfo font;
                font.m_kind = code == 'f' ? CMFontInfo::kTrueType : CMFontInfo::kShx;
                std::size_t pos = FindDelimiter(run, i + 2, "|;");
                if (pos == std::string_view::npos)
                    pos = n;
                font.m_name = std::string(run.substr(i + 2, pos - (i + 2)));
                // Flags at fixed places, each read only where the run has
                // the bytes for it.
                auto flag = [&](char key, bool& value) {
                    if (pos + 2 < n && run[pos] == '|' && run[pos + 1] == key && (run[pos + 2] == '0' || run[pos + 2] == '1')) {
                        value = run[pos + 2] == '1';
                        pos += 3;
                    }
                };
                flag('b', font.m_bold);
                flag('i', font.m_italic);
                if (pos + 1 < n && run[pos] == '|' && run[pos + 1] == 'c') {
                    std::size_t end = run.find_first_of("|;", pos + 2);
                    if (end == std::string_view::npos)
                        end = n;
                    font.m_charset = ToInt32(run.substr(pos + 2, end - (pos + 2)));
                    pos = end;
                }
                if (font.m_kind == CMFontInfo::kTrueType && pos + 1 < n && run[pos] == '|' && run[pos + 1] == 'p') {
                    std::size_t end = run.find(';', pos + 2);
                    if (end == std::string_view::npos)
                        end = n;
                    font.m_pitch = ToInt32(run.substr(pos + 2, end - (pos + 2)));
                    pos = end;
                }
                // Whatever else the code carries runs to its ';'.
                if (pos < n) {
                    const std::size_t semi = run.find(';', pos);
                    pos = semi == std::string_view::npos ? n : semi + 1;
                }
                if (!current.m_chars.empty()) {
                    CloseRun(current);
                    current = NewRun(font, height);
                } else {
                    const double keep = current.m_height;
                    current = NewRun(font, keep);
                }
                i = pos;
                continue;
            }
            if (code == 'H') {
                std::string value(ValueTo(run, i + 2, after));
                value.erase(std::remove(value.begin(), value.end(), 'x'), value.end());
                double factor = 0.0;
                // A factor of 0 or below would draw nothing or mirror.
                if (ParseFinite(value, factor) && factor > 0.0 && std::isfinite(height * factor) && height * factor > 0.0) {
                    height *= factor;
                    // Characters before the code keep their height.
                    if (!current.m_chars.empty()) {
                        CloseRun(current);
                        current = NewRun(m_runs.back(), height);
                    } else {
                        current.m_height = height;
                    }
                }
                i = after;
                continue;
            }
            if (code == 'Q' || code == 'W' || code == 'T') {
                const std::string_view value = ValueTo(run, i + 2, after);
                double v = 0.0;
                if (ParseFinite(value, v))
                    (code == 'Q' ? settings.m_oblique : code == 'W' ? settings.m_width_factor : settings.m_tracking) = v;
                i = after;
                continue;
            }
            if (code == 'L' || code == 'O') {
                (code == 'L' ? settings.m_underline : settings.m_overline) = true;
                i += 2;
                continue;
            }
            if (code == 'C') {
                settings.m_color = ToInt32(ValueTo(run, i + 2, after));
                i = after;
                continue;
            }
            if (code == 'P') {
                CloseRun(current);
                const CMFontInfo& font = m_runs.back();
                ++m_line;
                settings = DefaultSettings();
                current = NewRun(font, height);
                m_afterBreak = true;
                i += 2;
                continue;
            }
        }
        if (b == '\\') {
            std::string text;
            const std::size_t after = SharedCode(run, i, text);
            if (after != std::string_view::npos) {
                AddText(current, settings, text);
                i = after;
                continue;
            }
        }
        AddChar(current, settings, run.substr(i, 1));
        ++i;
    }
    if (!current.m_chars.empty())
        CloseRun(current);
}

void CMText::ParsePlain(std::string_view run)
{
    CMFontInfo base;
    base.m_kind = m_baseKind;
    base.m_name = m_baseName;
    CMFontInfo current = NewRun(base, m_height);
    const MCharInfo defaults = DefaultSettings();
    const std::size_t n = run.size();
    std::size_t i = 0;
    while (i < n) {
        const char b = run[i];
        if (IsLeadByte(b)) {
            if (i + 1 >= n)
                break;
            AddChar(current, defaults, run.substr(i, 2));
            i += 2;
            continue;
        }
        if (b == '{' || b == '}') {
            ++i;
            continue;
        }
        if (b == '\\') {
            const char code = i + 1 < n ? run[i + 1] : '\0';
            if (code == 'P') {
                CloseRun(current);
                ++m_line;
                current = NewRun(base, m_height);
                m_afterBreak = true;
                i += 2;
                continue;
            }
            // What a group reads here has no effect outside one; the code
            // is skipped whole.
            if (code == 'f' || code == 'F' || code == 'H' || code == 'Q' || code == 'W' || code == 'T' || code == 'C') {
                std::size_t after = n;
                ValueTo(run, i + 2, after);
                i = after;
                continue;
            }
            if (code == 'L' || code == 'O') {
                i += 2;
                continue;
            }
            std::string text;
            const std::size_t after = SharedCode(run, i, text);
            if (after != std::string_view::npos) {
                AddText(current, defaults, text);
                i = after;
                continue;
            }
        }
        AddChar(current, defaults, run.substr(i, 1));
        ++i;
    }
    if (!current.m_chars.empty())
        CloseRun(current);
}

void CMText::AddChar(CMFontInfo& run, const MCharInfo& settings, std::string_view bytes)
{
    MCharInfo ch = settings;
    ch.m_text = std::string(bytes);
    ch.m_firstInParagraph = m_afterBreak;
    m_afterBreak = false;
    run.m_chars.push_back(std::move(ch));
}

void CMText::AddText(CMFontInfo& run, const MCharInfo& settings, std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t length = IsLeadByte(text[i]) ? 2 : 1;
        if (i + length > text.size())
            break;
        AddChar(run, settings, text.substr(i, length));
        i += length - 1;
    }
}

void CMText::Layout()
{
    m_chars.clear();
    // A factor that spaces nothing, reverses the lines or is no number lays
    // them as a factor of 1.
    const double spacing = std::isfinite(m_line_spacing) && m_line_spacing > 0.0 ? m_line_spacing : 1.0;
    double penY = m_y;
    std::size_t first = 0;
    bool firstLine = true;
    while (first < m_runs.size()) {
        const int line = m_runs[first].m_line;
        std::size_t last = first;
        double height = 0.0;
        while (last < m_runs.size() && m_runs[last].m_line == line) {
            height = std::max(height, m_runs[last].m_height);
            ++last;
        }
        // The attachment point, direction and reference width do not move
        // the pen: every line starts below the insertion point.
        penY += firstLine ? height * 10.0 : height * 10.0 * 5.0 / 3.0 * spacing;
        firstLine = false;
        double penX = m_x;
        for (std::size_t r = first; r < last; ++r) {
            if (m_runs[r].m_kind == CMFontInfo::kTrueType)
                DrawTrueTypeRun(m_runs[r], penX, penY);
            else
                DrawShxRun(m_runs[r], penX, penY);
        }
        first = last;
    }
}

void CMText::DrawTrueTypeRun(const CMFontInfo& run, double& penX, double penY)
{
    if (run.m_chars.empty())
        return;
    CTrueTypeFont font;
    if (!font.SetUp(CodePageToUtf8(FontNameWithoutExtension(run.m_name)), run.m_height, run.m_bold, run.m_italic))
        return;
    const double height10 = run.m_height * 10.0;
    for (const MCharInfo& info : run.m_chars) {
        const std::uint32_t code = CharCode(info.m_text);
        CTextChar ch;
        ch.m_color = info.m_color;
        ch.m_firstInParagraph = info.m_firstInParagraph;
        ch.m_bold = run.m_bold;
        ch.m_oblique = info.m_oblique;
        const double w = info.m_width_factor;
        const double tracking = info.m_tracking;
        if (info.m_firstInParagraph) {
            // The glyph's own left bearing does not indent the paragraph.
            CharMetrics m;
            if (font.GetMetrics(code, m))
                penX -= m.originX;
        }
        if (code == ' ') {
            ch.m_rcCell = plat::RECT();
            penX += height10;
            m_chars.push_back(std::move(ch));
            continue;
        }
        font.AppendGlyph(code, penX, penY, ch);
        plat::RECT cell;
        cell.left = NearestInt32(penX);
        cell.top = NearestInt32(penY);
        cell.right = NearestInt32(static_cast<double>(cell.left) + ch.m_metrics.cellIncX);
        cell.bottom = NearestInt32(cell.top + height10);
        if (cell.left > cell.right)
            std::swap(cell.left, cell.right);
        if (cell.top > cell.bottom)
            std::swap(cell.top, cell.bottom);
        ch.m_rcCell = cell;
        if (!DoublesEqual(w, 1.0)) {
            double left = cell.left;
            if (HasPoints(ch))
                left = std::min<double>(left, ch.BoundingBox().left);
            for (COutLine& c : ch.m_contours)
                for (CSuPoint& p : c.m_points)
                    p.m_x = left - (left - p.m_x) * w;
            DropNonFiniteContours(ch.m_contours);
        }
        // A slant of a right angle or more has no finite lean.
        const double b = info.m_oblique;
        if (b != 0.0 && std::fabs(b) < 90.0 && HasPoints(ch)) {
            const double bottom = ch.BoundingBox().bottom;
            const double lean = std::tan(b * std::numbers::pi / 180.0);
            for (COutLine& c : ch.m_contours)
                for (CSuPoint& p : c.m_points)
                    p.m_x += (bottom - p.m_y) * lean;
            DropNonFiniteContours(ch.m_contours);
        }
        ch.m_rcBox = ch.BoundingBox();
        const CharMetrics& m = ch.m_metrics;
        if (run.m_bold)
            penX += (static_cast<double>(m.originX) + m.blackBoxX + 1.0) * w * tracking;
        else if (b > 0.0)
            penX += (static_cast<double>(ch.m_rcBox.right) - ch.m_rcBox.left + 1.0
                        + std::fabs(static_cast<double>(m.cellIncX) - m.blackBoxX))
                * w * tracking;
        else
            penX += m.cellIncX * w * tracking;
        m_chars.push_back(std::move(ch));
    }
}

void CMText::DrawShxRun(const CMFontInfo& run, double& penX, double penY)
{
    if (run.m_chars.empty())
        return;
    const std::size_t comma = run.m_name.find(',');
    const std::string fontName = FontNameWithoutExtension(run.m_name.substr(0, comma));
    const std::string bigName = comma == std::string::npos ? std::string() : FontNameWithoutExtension(run.m_name.substr(comma + 1));
    CShapeReader* font = fontName.empty() ? nullptr : ShxFont(fontName + ".shx");
    if (font == nullptr) {
        // No such shape font (or a file that is none): the name may be a
        // family; else the default face draws the run.
        plat::FontChoice choice = plat::ChooseFont(CodePageToUtf8(fontName));
        if (choice.kind == plat::FontChoice::Shape) {
            choice.face = plat::DefaultFace();
            choice.replaced = true;
        }
        if (choice.replaced)
            NoteFontReplaced(CodePageToUtf8(run.m_name.substr(0, comma)), choice.face);
        CMFontInfo asTrueType = run;
        asTrueType.m_kind = CMFontInfo::kTrueType;
        asTrueType.m_name = Utf8ToCodePage(choice.face);
        DrawTrueTypeRun(asTrueType, penX, penY);
        return;
    }
    CShapeReader* bigFont = bigName.empty() ? nullptr : ShxFont(bigName + ".shx");
    const double height10 = run.m_height * 10.0;
    const bool drawable = std::isfinite(height10) && height10 > 0.0;
    for (const MCharInfo& info : run.m_chars) {
        const std::uint32_t code = CharCode(info.m_text);
        const bool doubleByte = code > 0xFF;
        CShapeReader* reader = drawable ? (doubleByte ? bigFont : font) : nullptr;
        CTextChar ch;
        const double w = info.m_width_factor;
        ch.m_color = info.m_color;
        ch.m_firstInParagraph = info.m_firstInParagraph;
        ch.m_oblique = info.m_oblique;
        if (reader == nullptr || !DrawShapeChar(*reader, code, penX, penY, height10 / reader->FontHeight() * 0.5, ch)) {
            // What the shape fonts lack comes from a TrueType face.
            if (drawable && doubleByte && bigFont == nullptr && !bigName.empty())
                NoteFontReplaced(CodePageToUtf8(bigName), plat::DefaultFace());
            double advance = 0.0;
            if (drawable && m_standIn.Draw(code, run.m_height, w, penX, penY, ch, advance)) {
                penX += advance;
                m_chars.push_back(std::move(ch));
            }
            continue;
        }
        const double boxWidth = BoxWidth(ch);
        if (!DoublesEqual(w, 1.0))
            StretchCharX(ch, w);
        penX += (boxWidth + height10 / 3.0) * w;
        m_chars.push_back(std::move(ch));
    }
}

CShapeReader* CMText::ShxFont(const std::string& fileName)
{
    auto found = m_shxFonts.find(fileName);
    if (found == m_shxFonts.end()) {
        auto reader = std::make_unique<CShapeReader>();
        if (!LoadShxFont(fileName, *reader))
            reader.reset();
        found = m_shxFonts.emplace(fileName, std::move(reader)).first;
    }
    return found->second.get();
}
