// The drawing surface that objects and tools draw on. Coordinates are device
// pixels (32-bit); the viewport origin is added to every coordinate.
#pragma once
#include "Win.h"

#include <cstddef>
#include <string>

namespace plat {

enum PenStyle : int { PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_NULL = 5 };
enum RasterOp : int { R2_XORPEN = 7, R2_COPYPEN = 13 };

struct Pen {
    int style = PS_SOLID;
    int width = 0; // 0 and 1 are one pixel wide
    COLORREF color = 0;
    friend bool operator==(const Pen&, const Pen&) = default;
};

struct Brush {
    bool hollow = true;
    COLORREF color = 0;
    friend bool operator==(const Brush&, const Brush&) = default;
};

class DeviceContext {
public:
    virtual ~DeviceContext() = default;

    // State. Each setter returns what it replaced, so callers can restore it.
    virtual Pen SelectPen(const Pen& pen) = 0;
    virtual Brush SelectBrush(const Brush& brush) = 0;
    virtual int SetROP2(int mode) = 0;
    virtual int GetROP2() const = 0;
    virtual COLORREF SetTextColor(COLORREF color) = 0;
    virtual POINT SetViewportOrg(int x, int y) = 0;

    // Lines: LineTo leaves out its end pixel.
    virtual POINT MoveTo(int x, int y) = 0;
    virtual void LineTo(int x, int y) = 0;
    // 1 + 3n points: start, then control, control, end per cubic piece.
    virtual void PolyBezier(const POINT* points, std::size_t count) = 0;
    // Outline with the pen, filled with the brush unless it is hollow.
    virtual void Rectangle(int left, int top, int right, int bottom) = 0;
    virtual void Ellipse(int left, int top, int right, int bottom) = 0;
    // Counter-clockwise arc of the ellipse in the box from the ray towards
    // (xs, ys) to the ray towards (xe, ye).
    virtual void Arc(int left, int top, int right, int bottom, int xs, int ys, int xe, int ye) = 0;
    // Fills with a colour; in XOR mode the colour is XOR-ed onto the pixels.
    virtual void FillRect(const RECT& rect, COLORREF color) = 0;
    virtual void SetPixel(int x, int y, COLORREF color) = 0;
    virtual void TextOut(int x, int y, const std::u16string& text) = 0;
    // Draws a BMP file stretched into the rectangle; false when it cannot be read.
    virtual bool DrawBmpFile(const std::string& path, const RECT& rect) = 0;
    // Draws icon resource `id` (16 x 16 pixels) with its upper-left corner at
    // (x, y); unknown ids draw nothing.
    virtual void DrawIcon(int, int, int) {}
    // The box that drawing can reach, in the coordinates the calls take
    // (the viewport origin taken off), right and bottom exclusive; false when
    // the surface sets no bound, so everything may show.
    virtual bool GetClipBox(RECT&) const { return false; }
};

// Selects a pen and a raster mode for the lifetime of a scope and restores both.
class ScopedPen {
public:
    ScopedPen(DeviceContext& dc, const Pen& pen, int rop = R2_COPYPEN)
        : m_dc(dc), m_oldPen(dc.SelectPen(pen)), m_oldRop(dc.SetROP2(rop))
    {
    }
    ~ScopedPen()
    {
        m_dc.SetROP2(m_oldRop);
        m_dc.SelectPen(m_oldPen);
    }
    ScopedPen(const ScopedPen&) = delete;
    ScopedPen& operator=(const ScopedPen&) = delete;

private:
    DeviceContext& m_dc;
    Pen m_oldPen;
    int m_oldRop;
};

} // namespace plat

using CDC = plat::DeviceContext;
