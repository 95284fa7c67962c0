// The device context over a QImage, as the view paints into its back buffer
// and its persistent screen image.
//
// Coordinates are logical pixels; an image made for a high-density screen
// (device pixel ratio above 1) has more pixels than that, and lines one
// pixel wide are one of its pixels wide.
//
// Lines one pixel wide and single pixels are written straight into the
// image's 32-bit pixels, after clipping to the image and to the clip region,
// so a line far outside the image costs nothing and each pixel is touched
// once (which exclusive-or drawing depends on). Everything else goes through
// a QPainter whose pen, brush and raster mode are brought up to date only
// when it draws. Over a null image nothing is drawn. Contexts open over the
// same image at once (a tool's own one during a repaint or a key) share one
// painter, as an image takes only one; each puts its own state on it when
// it draws.
#pragma once
#include "platform/DeviceContext.h"

#include <QImage>
#include <QPainter>
#include <QRegion>

#include <memory>
#include <vector>

struct QtSharedPainter;

class QtDeviceContext : public plat::DeviceContext {
public:
    explicit QtDeviceContext(QImage& image);
    ~QtDeviceContext() override;
    QtDeviceContext(const QtDeviceContext&) = delete;
    QtDeviceContext& operator=(const QtDeviceContext&) = delete;

    // The pixels of an image of device pixel ratio `ratio` that a rectangle
    // of logical pixels covers.
    static QRect ImagePixels(const QRect& r, double ratio);

    // Limits every later drawing to the region, in logical pixels (the
    // viewport origin does not move it).
    void SetClipRegion(const QRegion& region);

    // A context is open over the image: it must not be replaced meanwhile.
    static bool IsPainting(const QImage& image);

    plat::Pen SelectPen(const plat::Pen& pen) override;
    plat::Brush SelectBrush(const plat::Brush& brush) override;
    int SetROP2(int mode) override;
    int GetROP2() const override { return m_rop; }
    COLORREF SetTextColor(COLORREF color) override;
    plat::POINT SetViewportOrg(int x, int y) override;
    plat::POINT MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void PolyBezier(const plat::POINT* points, std::size_t count) override;
    void Rectangle(int left, int top, int right, int bottom) override;
    void Ellipse(int left, int top, int right, int bottom) override;
    void Arc(int left, int top, int right, int bottom, int xs, int ys, int xe, int ye) override;
    void FillRect(const plat::RECT& rect, COLORREF color) override;
    void SetPixel(int x, int y, COLORREF color) override;
    void TextOut(int x, int y, const std::u16string& text) override;
    bool DrawBmpFile(const std::string& path, const plat::RECT& rect) override;
    void DrawIcon(int x, int y, int id) override;
    // The image, or its part inside the clip region.
    bool GetClipBox(plat::RECT& box) const override;

private:
    // The painter with the current state applied; null over a null image.
    QPainter* Painter();
    // A line from (x0, y0) to (x1, y1) in logical pixels, one image pixel
    // wide, its end pixel left out; a dotted pen writes every other image
    // pixel from the start.
    void WritePixelLine(long long x0, long long y0, long long x1, long long y1, COLORREF color, bool dotted);
    // A cubic of four logical points as lines one image pixel wide (see
    // PolyBezier).
    void StrokeCubic(const plat::POINT* p);
    // The same in image pixels.
    void WritePixels(long long x0, long long y0, long long x1, long long y1, COLORREF color, bool dotted);
    // Logical pixels to the image's: a coordinate, and the image pixels a
    // rectangle covers.
    long long ToPixel(long long v) const;
    QRect ToPixels(const QRect& r) const;
    static QColor ToQColor(COLORREF c);

    QImage& m_image;
    std::shared_ptr<QtSharedPainter> m_shared;
    // The clip region given, in image pixels, while m_clipped.
    QRegion m_clip;
    bool m_clipped = false;
    // The 32-bit pixels, written straight; null for other image formats.
    uchar* m_bits = nullptr;
    qsizetype m_bytesPerLine = 0;
    bool m_painterStale = true;
    plat::Pen m_pen;
    plat::Brush m_brush;
    int m_rop = plat::R2_COPYPEN;
    COLORREF m_textColor = 0;
    plat::POINT m_org;
    plat::POINT m_pos;
    // Image pixels per logical pixel, and the image in logical pixels.
    double m_ratio = 1.0;
    QRect m_logical;
    // Where drawing may land, in logical pixels: the image, or its part
    // inside the clip region (disjoint rectangles); and the same in image
    // pixels.
    std::vector<QRect> m_drawRects;
    std::vector<QRect> m_pixelRects;
};
