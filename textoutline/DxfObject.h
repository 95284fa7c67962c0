// The pieces a shape font draws with: straight segments and circular arcs in
// the shape's own coordinates (y up), before they become contours.
#pragma once

class dxfObject {
public:
    static constexpr int kLine = 1;
    static constexpr int kArc = 2;

    explicit dxfObject(int kind) : m_kind(kind) {}
    virtual ~dxfObject() = default;
    dxfObject(const dxfObject&) = delete;
    dxfObject& operator=(const dxfObject&) = delete;

    int m_kind;
};

class dxfLine : public dxfObject {
public:
    dxfLine(double x1, double y1, double x2, double y2)
        : dxfObject(kLine), m_x1(x1), m_y1(y1), m_x2(x2), m_y2(y2)
    {
    }

    double m_x1, m_y1, m_x2, m_y2;
};

class dxfArc : public dxfObject {
public:
    // Angles in degrees; a clockwise arc runs from the start angle downwards.
    dxfArc(double cx, double cy, double radius, double startDeg, double endDeg, bool clockwise)
        : dxfObject(kArc), m_cx(cx), m_cy(cy), m_radius(radius), m_start(startDeg), m_end(endDeg),
          m_clockwise(clockwise)
    {
    }

    // Signed sweep: end - start brought to the arc's direction (negative
    // for a clockwise arc, positive otherwise), never more than a full turn.
    double Sweep() const;

    double m_cx, m_cy, m_radius, m_start, m_end;
    bool m_clockwise;
};
