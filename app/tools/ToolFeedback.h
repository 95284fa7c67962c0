// What the drawing tools share for their rubber bands: the XOR pen of the
// current layer, and the repaint that takes a band off the screen when the
// tool can no longer draw it again to erase it.
#pragma once
#include "model/GeoBox.h"
#include "platform/DeviceContext.h"

struct DOCCONTEXT;

// The palette colour of the current layer.
COLORREF CurrentLayerColour(const DOCCONTEXT* ctx);

// A one-pixel solid XOR pen whose colour is the current layer's XOR the
// background, so that drawing twice leaves the screen as it was.
plat::Pen RubberBandPen(const DOCCONTEXT* ctx);

