// The device context over a QImage, as the view paints into its persistent
// screen image.
#pragma once
#include "platform/DeviceContext.h"

#include <QImage>
#include <QPainter>
#include <memory>

class QtDeviceContext : public plat::DeviceContext {
public:
    explicit QtDeviceContext(QImage& image);
    ~QtDeviceContext() override;

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

private:
    void ApplyState();
    static QColor ToQColor(COLORREF c);

    QImage& m_image;
    std::unique_ptr<QPainter> m_painter;
    plat::Pen m_pen;
    plat::Brush m_brush;
    int m_rop = plat::R2_COPYPEN;
    COLORREF m_textColor = 0;
    plat::POINT m_org;
    plat::POINT m_pos;
};
