// A device context that records its calls and their coordinates, for tests.
#pragma once
#include "DeviceContext.h"

#include <string>
#include <vector>

namespace plat {

class RecordingDC : public DeviceContext {
public:
    enum class Op {
        SelectPen, SelectBrush, SetROP2, SetTextColor, SetViewportOrg,
        MoveTo, LineTo, PolyBezier, Rectangle, Ellipse, Arc, FillRect, SetPixel, TextOut, DrawBmpFile, DrawIcon
    };
    struct Call {
        Op op;
        std::vector<int> args;   // coordinates (and colour / mode for state calls)
        Pen pen;                 // pen in force when the call was made
        int rop;                 // raster mode in force when the call was made
        std::u16string text;     // TextOut
        std::string path;        // DrawBmpFile
        friend bool operator==(const Call&, const Call&) = default;
    };

    Pen SelectPen(const Pen& pen) override;
    Brush SelectBrush(const Brush& brush) override;
    int SetROP2(int mode) override;
    int GetROP2() const override { return m_rop; }
    COLORREF SetTextColor(COLORREF color) override;
    POINT SetViewportOrg(int x, int y) override;
    POINT MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void PolyBezier(const POINT* points, std::size_t count) override;
    void Rectangle(int left, int top, int right, int bottom) override;
    void Ellipse(int left, int top, int right, int bottom) override;
    void Arc(int left, int top, int right, int bottom, int xs, int ys, int xe, int ye) override;
    void FillRect(const RECT& rect, COLORREF color) override;
    void SetPixel(int x, int y, COLORREF color) override;
    void TextOut(int x, int y, const std::u16string& text) override;
    bool DrawBmpFile(const std::string& path, const RECT& rect) override;
    // Recorded as x, y, id.
    void DrawIcon(int x, int y, int id) override;
    // The clip box set below, when there is one.
    bool GetClipBox(RECT& box) const override;

    const std::vector<Call>& Calls() const { return m_calls; }
    // Only the calls that put something on the surface.
    std::vector<Call> DrawCalls() const;
    std::size_t Count(Op op) const;
    void Clear() { m_calls.clear(); }

    Pen CurrentPen() const { return m_pen; }
    Brush CurrentBrush() const { return m_brush; }
    POINT CurrentPosition() const { return m_pos; }

    bool m_bmpResult = true; // what DrawBmpFile answers
    bool m_hasClip = false;  // GetClipBox answers m_clip when set
    RECT m_clip;

private:
    void Record(Op op, std::vector<int> args);

    std::vector<Call> m_calls;
    Pen m_pen;
    Brush m_brush;
    int m_rop = R2_COPYPEN;
    COLORREF m_textColor = 0;
    POINT m_org;
    POINT m_pos;
};

} // namespace plat
