// A ruler along the drawing view: millimetres (or inches) from the machine
// origin, following the view's zoom and scroll position, with a marker line
// at the mouse position. The vertical ruler stands on the left over the
// child frame's whole height; the horizontal one along the top, right of it.
//
// The tick layout and the label texts are plain functions of the ruler's
// numbers (Layout, FormatLabel), so they are checked without a window.
#pragma once
#include "platform/Win.h"

#include <QFont>
#include <QWidget>

#include <string>
#include <vector>

class CHyRulerBar : public QWidget {
public:
    static constexpr int kThickness = 23;
    static constexpr int kBarId = 1001;
    // Unit code 2 measures in inches; every other code in millimetres.
    static constexpr int kUnitInches = 2;

    struct Tick {
        int x = 0;          // pixel of the tick along the ruler, before its drawing offset
        int length = 0;     // 2 minor, 5 the fifth after a major, 7 major
        bool labelled = false;
        double value = 0.0; // label value: millimetres (or inches) from the machine origin
    };
    struct Layout {
        double step = 1.0;    // s: minor ticks are (u / 10) x s millimetres apart
        int minorPixels = 1;  // p
        int labelEvery = 1;   // a label every this many ticks
        std::vector<Tick> ticks;
    };

    // The step s for d pixels per minor unit at step 1: 1, 2, 10, 20, 100, ...
    // up to the first value that brings a minor step to 20 pixels (or the
    // doubled value once five times the current one would pass 20).
    static double StepFactor(double d);
    // Ticks of a ruler `length` pixels long with the given stored offset
    // (scroll position - 1), scale (zoom), base, unit length u, unit code and
    // label extent (pixels of the widest label); the walk ends at the last
    // tick before `length` minus the ruler's end margin.
    static Layout ComputeLayout(double offset, double scale, double base, double unit, int unitCode,
                                int labelExtent, int length, bool vertical);
    // The value as "%20.10f" without blanks; with decimals 0 or more cut (or
    // padded with zeros) to that many decimals, the point going with 0; with
    // a negative count without trailing zeros or a bare trailing point.
    static std::string FormatLabel(double value, int decimals);
    // Where a label `width` pixels wide begins along the ruler so that it is
    // centred on the tick at pixel `tick` of the walk: its left column, or
    // on the vertical ruler its upper row.
    static int LabelStart(int tick, int width, bool vertical);

    explicit CHyRulerBar(QWidget* parent = nullptr);

    // Before creation: the owner (the child frame), the initial scale and
    // the orientation.
    void Init(QWidget* owner, double initialScale, bool vertical);
    // The view's scroll position along this ruler (negative counts as 0);
    // repainted when it moved, at once when asked.
    void SetOffset(int position, bool redraw);
    // The view's zoom.
    void SetScale(double zoom);
    // The mouse at a client point of the view: the marker moves there.
    void DrawMarker(const plat::POINT& client);

    bool IsVertical() const { return m_vertical; }
    double Offset() const { return m_offset; }
    double Scale() const { return m_scale; }
    // Pixel row (vertical ruler) or column (horizontal) of the marker line;
    // -1 when none is shown.
    int MarkerLine() const;
    // The ticks as the ruler paints them now.
    Layout CurrentLayout() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int LabelExtent() const;

    QWidget* m_owner = nullptr;
    bool m_vertical = false;
    double m_offset = -1.0;
    double m_unit = 10.0;
    double m_scale = 1.0;
    double m_base = 0.1;
    double m_initialScale = 1.0;
    int m_unitCode = 0;
    int m_lastMarkerX = -1;
    int m_lastMarkerY = -1;
    QFont m_font;
};
