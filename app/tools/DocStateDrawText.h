// The text tool: a press on the drawing asks for a font kind, face, text,
// character height and spacing (the view's font dialog) and places the text
// from the press point to the right as one text object per character, each
// holding a closed Bezier contour per polygon of the character's TrueType
// outline. Delete removes the selection; the selection frame is its only
// feedback. The five settings live in VqFontParam (settings/FontParamFile.h):
// read when the tool is made with its document, written when it goes.
#pragma once
#include "model/DocState.h"
#include "platform/FontNotices.h"
#include "platform/GlyphFont.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CDocStateDrawText : public CDocState {
public:
    // Where the outlines come from: one source per placement, for one face
    // at one pixel size. The program reads the platform's TrueType outlines;
    // tests hand in polygons of their own.
    class GlyphSource {
    public:
        virtual ~GlyphSource() = default;
        // The outline of a character in pixels, y up. False when it cannot
        // be loaded; an empty outline (a space) is no error.
        virtual bool Outline(char32_t code, std::vector<plat::TTPOLYGON>& polygons) = 0;
        // What the outlines had to make do with, for the operator.
        virtual plat::FontNotices Notices() const { return {}; }
    };
    // A source for a face (UTF-8) and an em height in pixels; null when no
    // face can be had, and then nothing is placed.
    using GlyphSourceFactory =
        std::function<std::unique_ptr<GlyphSource>(const std::string& face, std::int32_t emPixels)>;
    // Null restores the platform's outlines.
    static void SetGlyphSourceForTesting(GlyphSourceFactory factory);
    // The platform's outlines (plat::GlyphFont), whatever a test has set: a
    // face that cannot be opened gives way to the default face, a character
    // the face lacks comes from an installed face that has it, and one that
    // no face has gives no outline; both are told in Notices().
    static std::unique_ptr<GlyphSource> PlatformGlyphs(const std::string& face, std::int32_t emPixels);

    // Every glyph is fetched at this em size: 10000 units of 0.1 mm at 96
    // dots per inch over 104.34, and then scaled to the height, so heights
    // 5 and 50 give the same outline at two scales.
    static constexpr std::int32_t kEmPixels = static_cast<std::int32_t>(96.0 * 10000.0 / 104.34 + 0.5);
    // Outlines larger than the platform's glyph buffer are passed over.
    static constexpr std::size_t kOutlineBufferBytes = 81920;
    // Longest face name a logical font holds, in UTF-16 units.
    static constexpr std::size_t kFaceNameUnits = 31;

    // The defaults, then what VqFontParam holds.
    CDocStateDrawText();
    // Writes VqFontParam.
    ~CDocStateDrawText() override;

    // Has the view show the font dialog once the press is done (PlaceText).
    void OnLButtonDown(DOCCONTEXT* ctx) override;
    // Shows the font dialog; on OK with a kind, a face, a text, a finite
    // spacing and a finite height of at least 0.001 mm, places the text at
    // the mouse point of the press as one undo step (none when no character
    // has an outline), tells the operator of a replaced face or characters
    // that no installed face has, and shows the selection's size in the
    // property bar.
    void PlaceText(DOCCONTEXT* ctx, const CGeoPoint& at);
    // Delete removes the selection; other keys do nothing.
    void OnKeyDown(DOCCONTEXT* ctx, std::uint32_t key) override;
    void DrawFeedback(DOCCONTEXT* ctx) override { DrawSelectionFrame(ctx); }
    void OnSetCursor(DOCCONTEXT* ctx) override { SetArrowCursor(ctx); }
    bool UpdateSelectionRect(DOCCONTEXT* ctx) override { return SharedUpdateSelectionRect(ctx); }

    // The settings file in the parameter folder. Load: false, the fields
    // kept, when there is no work folder or the file cannot be read. Save:
    // false when there is no work folder or the file cannot be written.
    bool LoadFontParam();
    bool SaveFontParam() const;

    // The characters of a text as a chain of new text objects (the caller's),
    // in glyph coordinates y up from (ox, oy): a glyph unit is height / 1000
    // world units; each character after the first starts at the largest
    // x-max of those before it plus 10 x spacing, and a character without an
    // outline only advances by the spacing. A surrogate pair is one
    // character, a lone surrogate gets the face's default glyph. Null when no
    // character has an outline, or when a coordinate would not be finite.
    static CDocData* MakeCharacters(DOCCONTEXT* ctx, GlyphSource& glyphs, std::u16string_view text, double height,
                                    double spacing, double ox, double oy);

    std::u16string m_font_type;
    std::u16string m_font_name;
    std::u16string m_font_text;
    double m_font_high = 10.0;  // character height, mm
    double m_font_inter = 0.0;  // spacing, mm
};
