// The current machine's work area behind the drawing: the origin axes across
// the whole view, a shadow along the two edges away from the origin, the
// outline and, when switched on, a grid. Drawn into the view's back buffer
// at every paint, before the objects; it keeps no state of its own.
#pragma once
#include "platform/DeviceContext.h"

struct DOCCONTEXT;

class CCoverGrid {
public:
    // The work area without a current machine: 900 mm x 600 mm, origin top left.
    static constexpr int kDefaultWidthMm = 900;
    static constexpr int kDefaultHeightMm = 600;
    static constexpr int kDefaultOrigin = 1;

    // Draws in client pixels of a view whose client area is clientWidth x
    // clientHeight. Grid lines are looked for only where they can fall
    // inside that area, so a tiny interval costs no more than the view is
    // wide; an interval that is not a positive finite number draws no grid.
    void Draw(CDC* dc, DOCCONTEXT* ctx, int clientWidth, int clientHeight) const;
};
