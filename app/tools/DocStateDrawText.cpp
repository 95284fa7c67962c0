#include "DocStateDrawText.h"

#include "model/DocContext.h"
#include "model/DocDataBezier.h"
#include "model/DocDataChar.h"
#include "platform/CodePage.h"
#include "platform/FontChoice.h"
#include "platform/ViewWindow.h"
#include "processing/FileTrans.h"
#include "settings/FontNoticeMessage.h"
#include "settings/FontParamFile.h"
#include "settings/SoftwareSettings.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr std::uint32_t kDeleteKey = 46;
constexpr double kMinHeight = 0.001;
// Origin corners for ConvertOrigin: glyph outlines run y up (corner 2), the
// document y down (corner 0).
constexpr int kGlyphCorner = 2;
constexpr int kDocumentCorner = 0;

CDocStateDrawText::GlyphSourceFactory& TestFactory()
{
    static CDocStateDrawText::GlyphSourceFactory factory;
    return factory;
}

class PlatformGlyphSource : public CDocStateDrawText::GlyphSource {
public:
    bool Open(const std::string& face, std::int32_t emPixels)
    {
        plat::GlyphFontSpec spec;
        spec.faceName = face;
        spec.height = -emPixels;
        if (m_font.Create(spec))
            return true;
        spec.faceName = plat::DefaultFace();
        if (!m_font.Create(spec))
            return false;
        m_notices.AddReplaced(face, spec.faceName);
        return true;
    }
    bool Outline(char32_t code, std::vector<plat::TTPOLYGON>& polygons) override
    {
        // Control characters have no glyph in any face.
        if (code < 0x20 || code == 0x7F)
            return false;
        const plat::GlyphFont* font = m_font.FontFor(code);
        if (font == nullptr) {
            m_notices.AddMissing(code);
            return false;
        }
        plat::GLYPHMETRICS metrics;
        return font->GetGlyphOutline(code, metrics, &polygons);
    }
    plat::FontNotices Notices() const override { return m_notices; }

private:
    plat::GlyphFont m_font;
    plat::FontNotices m_notices;
};

// Bytes the outline takes in the platform's native form: a 16-byte header
// per polygon, 4 bytes per record and 8 per point.
std::size_t NativeBytes(const std::vector<plat::TTPOLYGON>& polygons)
{
    std::size_t bytes = 0;
    for (const plat::TTPOLYGON& p : polygons) {
        bytes += 16;
        for (const plat::TTPOLYCURVE& c : p.curves)
            bytes += 4 + 8 * c.apfx.size();
    }
    return bytes;
}

struct GlyphNode {
    double x = 0.0;
    double y = 0.0;
    std::uint8_t kind = NODE_ANCHOR;
};

struct GlyphPoint {
    double x = 0.0;
    double y = 0.0;
};

// Only the whole part of a coordinate counts.
GlyphPoint Whole(const plat::POINTFX& p)
{
    return GlyphPoint{static_cast<double>(p.x.value), static_cast<double>(p.y.value)};
}

class ChainBuilder {
public:
    explicit ChainBuilder(std::vector<GlyphNode>& chain) : m_chain(chain) {}

    void Start(GlyphPoint s)
    {
        m_chain.clear();
        m_start = s;
        Push(s, NODE_ANCHOR);
        Push(s, NODE_CONTROL_OUT);
        m_cur = s;
    }
    void Line(GlyphPoint p)
    {
        Push(p, NODE_CONTROL_IN);
        Push(p, NODE_ANCHOR);
        Push(p, NODE_CONTROL_OUT);
        m_cur = p;
    }
    // One cubic segment from the current point; the open outgoing control at
    // the current point gives way to the segment's own.
    void Cubic(GlyphPoint c1, GlyphPoint c2, GlyphPoint end)
    {
        if (!m_chain.empty() && m_chain.back().kind == NODE_CONTROL_OUT)
            m_chain.pop_back();
        Push(c1, NODE_CONTROL_OUT);
        Push(c2, NODE_CONTROL_IN);
        Push(end, NODE_ANCHOR);
        Push(end, NODE_CONTROL_OUT);
        m_cur = end;
    }
    // A quadratic segment raised to a cubic one.
    void Quad(GlyphPoint b, GlyphPoint c)
    {
        const GlyphPoint a = m_cur;
        Cubic(GlyphPoint{a.x + 2.0 * (b.x - a.x) / 3.0, a.y + 2.0 * (b.y - a.y) / 3.0},
              GlyphPoint{b.x + (c.x - b.x) / 3.0, b.y + (c.y - b.y) / 3.0}, c);
    }
    // Back to the start. Outlines whose last record already ends there
    // close on that anchor, without a segment of no length.
    void Close()
    {
        if (m_cur.x == m_start.x && m_cur.y == m_start.y) {
            m_chain.pop_back();
        } else {
            Push(m_start, NODE_CONTROL_IN);
            Push(m_start, NODE_ANCHOR);
        }
    }

private:
    void Push(GlyphPoint p, std::uint8_t kind) { m_chain.push_back(GlyphNode{p.x, p.y, kind}); }

    std::vector<GlyphNode>& m_chain;
    GlyphPoint m_start;
    GlyphPoint m_cur;
};

// The node chain of one polygon, in glyph units.
void BuildChain(const plat::TTPOLYGON& polygon, std::vector<GlyphNode>& chain)
{
    ChainBuilder b(chain);
    b.Start(Whole(polygon.pfxStart));
    for (const plat::TTPOLYCURVE& curve : polygon.curves) {
        const std::vector<plat::POINTFX>& pts = curve.apfx;
        const std::size_t n = pts.size();
        std::size_t done = 0;
        if (curve.wType == plat::TT_PRIM_CSPLINE) {
            for (; done + 3 <= n; done += 3)
                b.Cubic(Whole(pts[done]), Whole(pts[done + 1]), Whole(pts[done + 2]));
        } else if (curve.wType != plat::TT_PRIM_LINE && n >= 2) {
            // Every point is off the curve; a segment ends midway to the next
            // one, the last segment on the record's last point.
            for (std::size_t i = 0; i + 1 < n; ++i) {
                const GlyphPoint p = Whole(pts[i]);
                const GlyphPoint q = Whole(pts[i + 1]);
                b.Quad(p, i + 2 == n ? q : GlyphPoint{(p.x + q.x) / 2.0, (p.y + q.y) / 2.0});
            }
            done = n;
        }
        // Line records, and points no segment could use, are straight.
        for (; done < n; ++done)
            b.Line(Whole(pts[done]));
    }
    b.Close();
}

bool FiniteBox(const CGeoBox& box)
{
    return std::isfinite(box.m_xmin) && std::isfinite(box.m_xmax) && std::isfinite(box.m_ymin) &&
           std::isfinite(box.m_ymax);
}

// The face a logical font holds: at most 31 units, no half of a pair.
std::string FontFace(std::u16string_view name)
{
    std::u16string_view face = name.substr(0, CDocStateDrawText::kFaceNameUnits);
    if (face.size() < name.size() && !face.empty() && face.back() >= 0xD800 && face.back() <= 0xDBFF)
        face.remove_suffix(1);
    return plat::Utf16ToUtf8(face);
}

} // namespace

void CDocStateDrawText::SetGlyphSourceForTesting(GlyphSourceFactory factory)
{
    TestFactory() = std::move(factory);
}

std::unique_ptr<CDocStateDrawText::GlyphSource> CDocStateDrawText::PlatformGlyphs(const std::string& face,
                                                                                  std::int32_t emPixels)
{
    auto source = std::make_unique<PlatformGlyphSource>();
    if (!source->Open(face, emPixels))
        return nullptr;
    return source;
}

CDocStateDrawText::CDocStateDrawText()
{
    const FontParams defaults;
    m_font_type = defaults.type;
    m_font_name = defaults.name;
    m_font_text = defaults.text;
    m_font_high = defaults.high;
    m_font_inter = defaults.inter;
    LoadFontParam();
}

CDocStateDrawText::~CDocStateDrawText()
{
    SaveFontParam();
}

bool CDocStateDrawText::LoadFontParam()
{
    FontParams p{m_font_type, m_font_name, m_font_text, m_font_high, m_font_inter};
    if (!ReadFontParamFile(FontParamPath(), p))
        return false;
    m_font_type = p.type;
    m_font_name = p.name;
    m_font_text = p.text;
    m_font_high = p.high;
    m_font_inter = p.inter;
    return true;
}

bool CDocStateDrawText::SaveFontParam() const
{
    return WriteFontParamFile(FontParamPath(),
                              FontParams{m_font_type, m_font_name, m_font_text, m_font_high, m_font_inter});
}

CDocData* CDocStateDrawText::MakeCharacters(DOCCONTEXT* ctx, GlyphSource& glyphs, std::u16string_view text,
                                            double height, double spacing, double ox, double oy)
{
    const SoftwareSettings& settings = CDocData::SettingsOf(ctx);
    const std::int32_t layer = settings.m_nCurLayer;
    const COLORREF colour = settings.PaletteColor(layer);
    const double s = 1000.0 / height;
    const double gap = 10.0 * spacing;

    CDocData* head = nullptr;
    CDocData* tail = nullptr;
    double right = -std::numeric_limits<double>::infinity();
    bool finite = true;
    std::vector<plat::TTPOLYGON> polygons;
    std::vector<GlyphNode> chain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        polygons.clear();
        if (glyphs.Outline(code, polygons) && !polygons.empty() && NativeBytes(polygons) <= kOutlineBufferBytes) {
            // The spacing may have carried the origin beyond every number.
            if (!std::isfinite(ox)) {
                finite = false;
                break;
            }
            CDocData* contours = nullptr;
            CDocData* last = nullptr;
            for (const plat::TTPOLYGON& polygon : polygons) {
                BuildChain(polygon, chain);
                if (chain.size() < 4) // a polygon without a segment
                    continue;
                DOCNODE* nodes = nullptr;
                DOCNODE* end = nullptr;
                for (const GlyphNode& g : chain) {
                    end = AppendNode(end, ox + g.x / s, oy + g.y / s, g.kind);
                    if (nodes == nullptr)
                        nodes = end;
                }
                auto* bezier = new CDocDataBezier(nodes, true, ctx);
                bezier->SetColor(layer, colour);
                bezier->m_bClosed = 1;
                AppendObject(contours, last, bezier);
            }
            if (contours != nullptr) {
                auto* character = new CDocDataChar(contours, true, ctx);
                AppendObject(head, tail, character);
                const CGeoBox box = character->GetBoundRect();
                finite = finite && FiniteBox(box);
                right = std::max(right, box.m_xmax);
            }
        }
        ox = (head != nullptr ? std::max(ox, right) : ox) + gap;
        if (!finite)
            break;
    }
    if (!finite) {
        DeleteObjectList(head);
        return nullptr;
    }
    return head;
}

void CDocStateDrawText::OnLButtonDown(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pView == nullptr || ctx->m_pCurrent == nullptr)
        return;
    // The dialog's own loop must not run inside the press, which draws on
    // the view's screen image meanwhile.
    const CGeoPoint at = ctx->m_ptMouse;
    ctx->m_pView->RunLater([this, ctx, at] { PlaceText(ctx, at); });
}

void CDocStateDrawText::PlaceText(DOCCONTEXT* ctx, const CGeoPoint& at)
{
    if (ctx == nullptr || ctx->m_pView == nullptr || ctx->m_pCurrent == nullptr)
        return;
    plat::FontDialogValues values{m_font_type, m_font_name, m_font_text, m_font_high, m_font_inter};
    if (!ctx->m_pView->ShowFontDialog(values))
        return;
    if (values.type.empty() || values.face.empty() || values.text.empty() || !std::isfinite(values.height) ||
        !std::isfinite(values.spacing) || values.height < kMinHeight)
        return;
    m_font_type = values.type;
    m_font_name = values.face;
    m_font_text = values.text;
    m_font_high = values.height;
    m_font_inter = values.spacing;
    // The text stands where the press was, wherever the mouse went since.
    ctx->m_ptMouse = at;

    const std::string face = FontFace(m_font_name);
    // One font for the whole text: every character has the same face and size.
    std::unique_ptr<GlyphSource> glyphs =
        TestFactory() ? TestFactory()(face, kEmPixels) : PlatformGlyphs(face, kEmPixels);
    CDocData* characters = nullptr;
    if (glyphs != nullptr)
        characters = MakeCharacters(ctx, *glyphs, m_font_text, m_font_high, m_font_inter, at.m_x, at.m_y);
    if (characters != nullptr) {
        CFileTrans::ConvertOrigin(characters, kGlyphCorner, kDocumentCorner, ctx);
        PushHistory(ctx);
        AddObjects(ctx, characters);
    }
    if (glyphs != nullptr)
        ShowFontNotices(glyphs->Notices());
    const CGeoBox& box = ctx->m_rcSelect;
    ctx->m_pView->ShowSelectionSize(box.m_xmin, box.m_xmax, box.m_ymin, box.m_ymax);
}

void CDocStateDrawText::OnKeyDown(DOCCONTEXT* ctx, std::uint32_t key)
{
    if (key == kDeleteKey)
        DeleteSelectedObjects(ctx);
}
