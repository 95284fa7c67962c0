#include "RecordingDC.h"

namespace plat {

void RecordingDC::Record(Op op, std::vector<int> args)
{
    m_calls.push_back(Call{op, std::move(args), m_pen, m_rop, {}, {}});
}

Pen RecordingDC::SelectPen(const Pen& pen)
{
    Pen old = m_pen;
    m_pen = pen;
    Record(Op::SelectPen, {pen.style, pen.width, static_cast<int>(pen.color)});
    return old;
}

Brush RecordingDC::SelectBrush(const Brush& brush)
{
    Brush old = m_brush;
    m_brush = brush;
    Record(Op::SelectBrush, {brush.hollow ? 1 : 0, static_cast<int>(brush.color)});
    return old;
}

int RecordingDC::SetROP2(int mode)
{
    int old = m_rop;
    m_rop = mode;
    Record(Op::SetROP2, {mode});
    return old;
}

COLORREF RecordingDC::SetTextColor(COLORREF color)
{
    COLORREF old = m_textColor;
    m_textColor = color;
    Record(Op::SetTextColor, {static_cast<int>(color)});
    return old;
}

POINT RecordingDC::SetViewportOrg(int x, int y)
{
    POINT old = m_org;
    m_org = {x, y};
    Record(Op::SetViewportOrg, {x, y});
    return old;
}

POINT RecordingDC::MoveTo(int x, int y)
{
    POINT old = m_pos;
    m_pos = {x, y};
    Record(Op::MoveTo, {x, y});
    return old;
}

void RecordingDC::LineTo(int x, int y)
{
    m_pos = {x, y};
    Record(Op::LineTo, {x, y});
}

void RecordingDC::PolyBezier(const POINT* points, std::size_t count)
{
    std::vector<int> args;
    args.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        args.push_back(points[i].x);
        args.push_back(points[i].y);
    }
    Record(Op::PolyBezier, std::move(args));
}

void RecordingDC::Rectangle(int left, int top, int right, int bottom)
{
    Record(Op::Rectangle, {left, top, right, bottom});
}

void RecordingDC::Ellipse(int left, int top, int right, int bottom)
{
    Record(Op::Ellipse, {left, top, right, bottom});
}

void RecordingDC::Arc(int left, int top, int right, int bottom, int xs, int ys, int xe, int ye)
{
    Record(Op::Arc, {left, top, right, bottom, xs, ys, xe, ye});
}

void RecordingDC::FillRect(const RECT& rect, COLORREF color)
{
    Record(Op::FillRect, {rect.left, rect.top, rect.right, rect.bottom, static_cast<int>(color)});
}

void RecordingDC::SetPixel(int x, int y, COLORREF color)
{
    Record(Op::SetPixel, {x, y, static_cast<int>(color)});
}

void RecordingDC::TextOut(int x, int y, const std::u16string& text)
{
    Record(Op::TextOut, {x, y});
    m_calls.back().text = text;
}

bool RecordingDC::DrawBmpFile(const std::string& path, const RECT& rect)
{
    Record(Op::DrawBmpFile, {rect.left, rect.top, rect.right, rect.bottom});
    m_calls.back().path = path;
    return m_bmpResult;
}

void RecordingDC::DrawIcon(int x, int y, int id)
{
    Record(Op::DrawIcon, {x, y, id});
}

bool RecordingDC::GetClipBox(RECT& box) const
{
    if (m_hasClip)
        box = m_clip;
    return m_hasClip;
}

std::vector<RecordingDC::Call> RecordingDC::DrawCalls() const
{
    std::vector<Call> out;
    for (const Call& c : m_calls) {
        switch (c.op) {
        case Op::SelectPen:
        case Op::SelectBrush:
        case Op::SetROP2:
        case Op::SetTextColor:
        case Op::SetViewportOrg:
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

std::size_t RecordingDC::Count(Op op) const
{
    std::size_t n = 0;
    for (const Call& c : m_calls)
        n += c.op == op ? 1 : 0;
    return n;
}

} // namespace plat
