// TEXT and MTEXT of the DXF reader: their parsers, the decoding of their
// text, the records handed to the text outline library and the outline
// words turned into text objects of Bezier outlines.
#include "FileTransDxf.h"

#include "model/DocData.h"
#include "model/DocDataBezier.h"
#include "model/DocDataChar.h"
#include "model/DocState.h"
#include "model/NodeList.h"
#include "platform/CodePage.h"
#include "platform/NumText.h"
#include "settings/SoftwareSettings.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;
// Texts are kept to 255 bytes.
constexpr std::size_t kMaxText = 255;
// The library's working space: x' = x * 10 + 20000, y' = 20000 - y * 10.
constexpr double kSpaceOrigin = 20000.0;
constexpr double kSpaceScale = 10.0;
// A closed outline whose last anchor lies this near its first point (in x
// and in y) ends on it exactly.
constexpr double kCloseTol = 0.1;

double Num(std::string_view v) { return plat::ParseDouble(v); }

bool Extrusion(DXFPOINT3& e, int code, std::string_view v)
{
    if (code == 210)
        e.x = Num(v);
    else if (code == 220)
        e.y = Num(v);
    else if (code == 230)
        e.z = Num(v);
    else
        return false;
    return true;
}

// Copies into a field of `size` bytes, terminated, never cutting a
// character.
void CopyField(char* field, std::size_t size, std::string_view value)
{
    const std::string_view cut = CFileTransDxf::CutBytes(value, size - 1);
    if (!cut.empty())
        std::memcpy(field, cut.data(), cut.size());
    field[cut.size()] = '\0';
}

int HexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// The value of the four hex digits at `at`, or -1 when there are not four.
int FourHex(const std::u16string& s, std::size_t at)
{
    if (at + 4 > s.size())
        return -1;
    int v = 0;
    for (std::size_t i = at; i < at + 4; ++i) {
        const int d = HexDigit(s[i]);
        if (d < 0)
            return -1;
        v = v * 16 + d;
    }
    return v;
}

// The diameter sign the code page can carry: U+2300, else the letter O with
// stroke that drawings write for it, else the capital phi of the Chinese
// code pages; '?' in none.
char16_t DiameterSign()
{
    for (const char16_t c : {u'\u2300', u'\u00D8', u'\u03A6'}) {
        if (plat::WideToCodePage(std::u16string(1, c)) != "?")
            return c;
    }
    return u'\u2300';
}

// Frees the words of the library when the conversion ends, however it ends.
struct WordListGuard {
    CMWordList& words;
    ~WordListGuard() { g_DelWordList(&words); }
};

} // namespace

std::string CFileTransDxf::DecodeText(std::string_view value, std::size_t maxBytes)
{
    const std::u16string raw = plat::CodePageToWide(value);
    // The control codes: %%d degree, %%p plus-minus, %%c diameter, %%% a
    // percent sign; %%u and %%o (underline, overline) draw nothing here.
    std::u16string wide;
    wide.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size();) {
        if (raw[i] == u'%' && i + 2 < raw.size() && raw[i + 1] == u'%') {
            const char16_t c = raw[i + 2];
            const char16_t code = c == u'd' || c == u'D'   ? u'\u00B0'
                                  : c == u'p' || c == u'P' ? u'\u00B1'
                                  : c == u'c' || c == u'C' ? DiameterSign()
                                  : c == u'%'              ? u'%'
                                                           : u'\0';
            if (code != u'\0' || c == u'u' || c == u'U' || c == u'o' || c == u'O') {
                if (code != u'\0')
                    wide += code;
                i += 3;
                continue;
            }
        }
        wide += raw[i++];
    }
    std::u16string unicode;
    unicode.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size();) {
        if (wide[i] == u'\\' && i + 2 < wide.size() && wide[i + 1] == u'U' && wide[i + 2] == u'+') {
            const int code = FourHex(wide, i + 3);
            if (code >= 0) {
                unicode += static_cast<char16_t>(code);
                i += 7;
                continue;
            }
        }
        unicode += wide[i++];
    }
    std::u16string out;
    out.reserve(unicode.size());
    for (std::size_t i = 0; i < unicode.size();) {
        if (unicode[i] == u'\\' && i + 3 < unicode.size() && unicode[i + 1] == u'M' && unicode[i + 2] == u'+') {
            const int code = FourHex(unicode, i + 4);
            if (code >= 0) {
                // A double-byte character of the code page.
                std::string bytes;
                if ((code >> 8) != 0)
                    bytes += static_cast<char>(code >> 8);
                bytes += static_cast<char>(code & 0xFF);
                out += plat::CodePageToWide(bytes);
                i += 8;
                continue;
            }
        }
        out += unicode[i++];
    }
    // A character 0 ends the text, as it ends the library's string.
    const std::size_t nul = out.find(u'\0');
    if (nul != std::u16string::npos)
        out.resize(nul);
    return plat::WideToCodePageCut(out, maxBytes);
}

void CFileTransDxf::ParseText(DXFFILE& f, DXFENTITY& e)
{
    e.m_nType = DXF_TEXT;
    DXFTEXT& r = m_data.m_text;
    r = DXFTEXT{};
    int c = 0;
    std::string_view v;
    while (NextEntityGroup(f, c, v)) {
        if (CommonGroup(e, c, v) || Extrusion(r.m_extrusion, c, v))
            continue;
        switch (c) {
        case 10: r.m_at.x = Num(v); break;
        case 20: r.m_at.y = Num(v); break;
        case 30: r.m_at.z = Num(v); break;
        case 40: r.m_height = Num(v); break;
        case 50: r.m_rotation = Num(v); break;
        case 41:
            r.m_width_factor = Num(v);
            r.m_bWidthRead = true;
            break;
        case 11:
            r.m_align.x = Num(v);
            r.m_bAlignRead = true;
            break;
        case 21: r.m_align.y = Num(v); break;
        case 31: r.m_align.z = Num(v); break;
        case 72: r.m_hjust = static_cast<std::uint8_t>(IntOf(v) & 0xFF); break;
        case 73: r.m_vjust = static_cast<std::uint8_t>(IntOf(v) & 0xFF); break;
        case 7: r.m_style = v; break;
        case 1: r.m_text = DecodeText(v, kMaxText); break;
        default: break;
        }
    }
}

void CFileTransDxf::ParseMText(DXFFILE& f, DXFENTITY& e)
{
    e.m_nType = DXF_MTEXT;
    DXFMTEXT& r = m_data.m_mtext;
    r = DXFMTEXT{};
    int c = 0;
    std::string_view v;
    while (NextEntityGroup(f, c, v)) {
        if (CommonGroup(e, c, v) || Extrusion(r.m_extrusion, c, v))
            continue;
        switch (c) {
        case 10: r.m_at.x = Num(v); break;
        case 20: r.m_at.y = Num(v); break;
        case 30: r.m_at.z = Num(v); break;
        case 11:
            r.m_direction.x = Num(v);
            r.m_bDirX = true;
            break;
        case 21:
            r.m_direction.y = Num(v);
            r.m_bDirY = true;
            break;
        case 31: r.m_direction.z = Num(v); break;
        case 40: r.m_height = Num(v); break;
        case 41: r.m_ref_width = Num(v); break;
        case 71: r.m_attach = IntOf(v); break;
        case 72: r.m_drawing = IntOf(v); break;
        case 7: r.m_style = v; break;
        case 50:
            r.m_rotation = Num(v) * kDegToRad;
            r.m_bRotationRead = true;
            break;
        case 1: r.m_text = DecodeText(v, kMaxText); break;
        case 3: {
            // Long texts come in pieces; each one is appended.
            std::string more = r.m_more;
            more += v;
            r.m_more = CutBytes(more, kMaxLine);
            break;
        }
        case 42: r.m_g42 = Num(v); break;
        case 43: r.m_g43 = Num(v); break;
        case 44:
            r.m_line_spacing = Num(v);
            r.m_bSpacingRead = true;
            break;
        case 63: r.m_bg_color = IntOf(v); break;
        case 1040: r.m_g1040 = Num(v); break;
        default: break;
        }
    }
    if (!r.m_bRotationRead)
        r.m_rotation = r.m_bDirX && r.m_bDirY ? VectorAngle(r.m_direction.x, r.m_direction.y) : 0.0;
}

void CFileTransDxf::BuildTextRecord(const DXFENTITY& entity, const DXFTEXT& rec, Text& out) const
{
    out = Text{};
    out.m_x = rec.m_at.x;
    out.m_y = rec.m_at.y;
    CopyField(out.m_text, kMaxText + 1, rec.m_text);
    CopyField(out.m_style, sizeof out.m_style, rec.m_style);
    CopyField(out.m_font_file, sizeof out.m_font_file, m_style.m_font_file);
    CopyField(out.m_bigfont_file, sizeof out.m_bigfont_file, m_style.m_bigfont_file);
    out.m_height = rec.m_height;
    out.m_angle = rec.m_rotation * kDegToRad;
    // Aligned and fitted texts run from the insertion point to the
    // alignment point.
    if ((rec.m_hjust == 3 || rec.m_hjust == 5) && rec.m_bAlignRead)
        out.m_angle = std::atan2(rec.m_align.y - rec.m_at.y, rec.m_align.x - rec.m_at.x);
    // The entity's own factor, else the style's, else 1.
    if (rec.m_bWidthRead && rec.m_width_factor > 0.0)
        out.m_width_factor = rec.m_width_factor;
    else if (m_style.m_width_factor > 0.0)
        out.m_width_factor = m_style.m_width_factor;
    else
        out.m_width_factor = 1.0;
    CopyField(out.m_layer, sizeof out.m_layer, entity.m_layer);
    CopyField(out.m_linetype, sizeof out.m_linetype, entity.m_linetype);
    out.m_color = entity.m_nColor;
    out.m_common = entity.m_dThickness;
    out.m_linetype_scale = entity.m_dLinetypeScale;
}

void CFileTransDxf::BuildMTextRecord(const DXFENTITY& entity, const DXFMTEXT& rec, MText& out) const
{
    out = MText{};
    CopyField(out.m_font_file, sizeof out.m_font_file, m_style.m_font_file);
    CopyField(out.m_bigfont_file, sizeof out.m_bigfont_file, m_style.m_bigfont_file);
    out.m_style_values[0] = m_style.m_last_height;
    out.m_style_values[1] = m_style.m_width_factor;
    out.m_style_values[2] = m_style.m_oblique;
    CopyField(out.m_layer, sizeof out.m_layer, entity.m_layer);
    CopyField(out.m_linetype, sizeof out.m_linetype, entity.m_linetype);
    out.m_color = entity.m_nColor;
    out.m_x = rec.m_at.x;
    out.m_y = rec.m_at.y;
    out.m_height = rec.m_height;
    out.m_ref_width = rec.m_ref_width;
    out.m_angle = rec.m_g1040;
    out.m_attach = rec.m_attach;
    out.m_direction = rec.m_drawing;
    CopyField(out.m_text, kMaxText + 1, rec.m_text);
    CopyField(out.m_text_more, sizeof out.m_text_more, rec.m_more);
    CopyField(out.m_style, sizeof out.m_style, rec.m_style);
    out.m_geometry[0] = rec.m_direction.x;
    out.m_geometry[1] = rec.m_direction.y;
    out.m_geometry[2] = rec.m_g42;
    out.m_geometry[3] = rec.m_g43;
    out.m_geometry[4] = rec.m_rotation;
    out.m_bg_color = rec.m_bg_color;
    // The library divides by the spacing factor's lines; a missing one is 1.
    out.m_line_spacing = rec.m_bSpacingRead && rec.m_line_spacing > 0.0 ? rec.m_line_spacing : 1.0;
}

double CFileTransDxf::MapOutlinePoint(double v, bool isY) const
{
    const double mapped = (v - kSpaceOrigin) * 100.0 * m_dUnit;
    return isY ? -mapped : mapped;
}

CFileTransDxf::Chain CFileTransDxf::ConvertText(const DXFENTITY& e, DOCCONTEXT* ctx)
{
    const DXFTEXT& rec = m_data.m_text;
    Text text;
    BuildTextRecord(e, rec, text);
    if (!std::isfinite(text.m_x) || !std::isfinite(text.m_y) || !std::isfinite(text.m_height) ||
        !std::isfinite(text.m_angle) || !std::isfinite(text.m_width_factor))
        return {};
    CMWordList words;
    const WordListGuard guard{words};
    g_GetTextOutlineInfo(text, words);
    JustifyText(rec, text.m_angle, words);
    return WordsToObjects(words, PaletteIndexOf(e, ctx), ctx);
}

CFileTransDxf::Chain CFileTransDxf::ConvertMText(const DXFENTITY& e, DOCCONTEXT* ctx)
{
    const DXFMTEXT& rec = m_data.m_mtext;
    MText text;
    BuildMTextRecord(e, rec, text);
    if (!std::isfinite(text.m_x) || !std::isfinite(text.m_y) || !std::isfinite(text.m_height) ||
        !std::isfinite(text.m_ref_width) || !std::isfinite(text.m_geometry[4]) ||
        !std::isfinite(text.m_line_spacing))
        return {};
    CMWordList words;
    const WordListGuard guard{words};
    g_GetMTextOutlineInfo(text, words);
    return WordsToObjects(words, PaletteIndexOf(e, ctx), ctx);
}

// The library draws from the insertion point along the baseline. A text
// justified otherwise is moved so that its justification point (measured on
// its outlines across and along the baseline, or its height for the
// vertical middle and top) lands on the alignment point; aligned and fitted
// texts are stretched to end on it.
void CFileTransDxf::JustifyText(const DXFTEXT& rec, double angle, CMWordList& words) const
{
    const int h = rec.m_hjust <= 5 ? rec.m_hjust : 0;
    const int v = rec.m_vjust <= 3 ? rec.m_vjust : 0;
    if (h == 0 && v == 0)
        return;
    const double ix = rec.m_at.x, iy = rec.m_at.y;
    const double ax = rec.m_bAlignRead ? rec.m_align.x : ix;
    const double ay = rec.m_bAlignRead ? rec.m_align.y : iy;
    if (!std::isfinite(ax) || !std::isfinite(ay))
        return;
    const double ux = std::cos(angle), uy = std::sin(angle);
    auto eachPoint = [&](auto fn) {
        for (CMWord* word : words) {
            for (COutLine* line : word->m_lines) {
                for (CSuPoint& p : line->m_points) {
                    double x = (p.m_x - kSpaceOrigin) / kSpaceScale;
                    double y = (kSpaceOrigin - p.m_y) / kSpaceScale;
                    fn(x, y);
                    p.m_x = x * kSpaceScale + kSpaceOrigin;
                    p.m_y = kSpaceOrigin - y * kSpaceScale;
                }
            }
        }
    };
    // Extents along (u) and across (v) the baseline, from the insertion point.
    double umin = HUGE_VAL, umax = -HUGE_VAL, vmin = HUGE_VAL, vmax = -HUGE_VAL;
    eachPoint([&](double& x, double& y) {
        const double du = (x - ix) * ux + (y - iy) * uy;
        const double dv = -(x - ix) * uy + (y - iy) * ux;
        umin = std::min(umin, du);
        umax = std::max(umax, du);
        vmin = std::min(vmin, dv);
        vmax = std::max(vmax, dv);
    });
    if (!(umin <= umax) || !std::isfinite(umax - umin) || !std::isfinite(vmax - vmin))
        return;

    if (h == 3 || h == 5) {
        if (!rec.m_bAlignRead || !(umax > 0.0))
            return;
        const double s = std::hypot(ax - ix, ay - iy) / umax;
        const double sv = h == 3 ? s : 1.0;
        eachPoint([&](double& x, double& y) {
            const double du = ((x - ix) * ux + (y - iy) * uy) * s;
            const double dv = (-(x - ix) * uy + (y - iy) * ux) * sv;
            x = ix + du * ux - dv * uy;
            y = iy + du * uy + dv * ux;
        });
        return;
    }
    double refU = 0.0, refV = 0.0;
    if (h == 1 || h == 4)
        refU = (umin + umax) / 2.0;
    else if (h == 2)
        refU = umax;
    if (h == 4)
        refV = (vmin + vmax) / 2.0;
    else if (v == 1)
        refV = vmin;
    else if (v == 2)
        refV = rec.m_height / 2.0;
    else if (v == 3)
        refV = rec.m_height;
    const double dx = ax - (ix + refU * ux - refV * uy);
    const double dy = ay - (iy + refU * uy + refV * ux);
    if (!std::isfinite(dx) || !std::isfinite(dy))
        return;
    eachPoint([&](double& x, double& y) {
        x += dx;
        y += dy;
    });
}

// One text object per word with outlines; each contour becomes a Bezier
// path: a point of kind 6 starts a cubic piece (it and the next point are
// the controls, the one after the end), kinds 0 and 5 end a straight piece.
CFileTransDxf::Chain CFileTransDxf::WordsToObjects(const CMWordList& words, std::uint32_t layer,
                                                    DOCCONTEXT* ctx) const
{
    const std::uint32_t colour = CDocData::SettingsOf(ctx).m_palette[layer];
    Chain result{};
    for (const CMWord* word : words) {
        Chain curves{};
        for (const COutLine* line : word->m_lines) {
            const std::vector<CSuPoint>& pts = line->m_points;
            const std::size_t count = pts.size();
            if (count < 2)
                continue;
            auto px = [&](std::size_t i) { return MapOutlinePoint(pts[i].m_x, false); };
            auto py = [&](std::size_t i) { return MapOutlinePoint(pts[i].m_y, true); };
            DOCNODE* head = nullptr;
            DOCNODE* tail = nullptr;
            auto add = [&](double x, double y, std::uint8_t kind) {
                tail = AppendNode(tail, x, y, kind);
                if (head == nullptr)
                    head = tail;
            };
            auto addTriple = [&](std::size_t i) {
                add(px(i), py(i), NODE_CONTROL_IN);
                add(px(i), py(i), NODE_ANCHOR);
                add(px(i), py(i), NODE_CONTROL_OUT);
            };
            auto dropTrailingOut = [&] {
                if (tail != nullptr && tail != head && tail->m_nKind == NODE_CONTROL_OUT) {
                    DOCNODE* prev = tail->m_pPrev;
                    prev->m_pNext = nullptr;
                    delete tail;
                    tail = prev;
                }
            };

            add(px(0), py(0), NODE_ANCHOR);
            add(px(0), py(0), NODE_CONTROL_OUT);
            std::size_t cur = 0;
            while (cur + 1 < count) {
                const std::size_t p1 = cur + 1;
                const std::uint8_t kind = pts[p1].m_kind;
                if (kind == kSuPointCubicControl) {
                    const std::size_t c2 = p1 + 1;
                    if (c2 >= count) {
                        addTriple(cur);
                        addTriple(p1);
                        break;
                    }
                    std::size_t end = c2 + 1;
                    if (end >= count) {
                        if (line->m_closed == 0) {
                            addTriple(cur);
                            addTriple(p1);
                            addTriple(c2);
                            break;
                        }
                        end = 0;
                    }
                    dropTrailingOut();
                    add(px(p1), py(p1), NODE_CONTROL_OUT);
                    add(px(c2), py(c2), NODE_CONTROL_IN);
                    add(px(end), py(end), NODE_ANCHOR);
                    add(px(end), py(end), NODE_CONTROL_OUT);
                    if (end == 0)
                        break;
                    cur = end;
                } else if (kind == kSuPointPlain || kind == kSuPointSegmentEnd) {
                    addTriple(p1);
                    cur = p1;
                } else {
                    cur = p1 + 1;
                }
            }
            dropTrailingOut();
            if (line->m_closed != 0) {
                const double fx = px(0), fy = py(0);
                DOCNODE* last = tail;
                while (last != nullptr && last->m_nKind != NODE_ANCHOR)
                    last = last->m_pPrev;
                if (last != nullptr && std::fabs(last->m_x - fx) <= kCloseTol && std::fabs(last->m_y - fy) <= kCloseTol) {
                    last->m_x = fx;
                    last->m_y = fy;
                } else if (last != nullptr) {
                    add(last->m_x, last->m_y, NODE_CONTROL_OUT);
                    add(fx, fy, NODE_CONTROL_IN);
                    add(fx, fy, NODE_ANCHOR);
                }
            }
            bool finite = true;
            ForEachNode(head, [&](DOCNODE& n) { finite = finite && std::isfinite(n.m_x) && std::isfinite(n.m_y); });
            if (!finite) {
                CDocState::FreeNodeList(head);
                continue;
            }
            CDocData* curve = new CDocDataBezier(head, true, ctx);
            curve->m_nLayer = static_cast<std::int32_t>(layer);
            curve->m_nColor = colour;
            Append(curves, {curve, curve});
        }
        if (curves.first == nullptr)
            continue;
        CDocData* text = new CDocDataChar(curves.first, true, ctx);
        text->m_nLayer = static_cast<std::int32_t>(layer);
        text->m_nColor = colour;
        Append(result, {text, text});
    }
    return result;
}
