// What the main frame needs of the docked work panel: first place in the
// command chain, the serial port's failure, the frame's resizes, and the
// pages the view hands its document to.
#pragma once
#include "qtplatform/CommandRouter.h"
#include "WorkPanelPages.h"

class QWidget;

class WorkPanel : public CommandTarget {
public:
    // The panel's window; a dock widget is docked at the right edge.
    virtual QWidget* PanelWidget() = 0;
    // The serial port failed: close every machine connection.
    virtual void OnPortError() = 0;
    // The frame has changed its size.
    virtual void OnFrameResized() {}
    // The pages the view hands its document to; null when there are none.
    virtual WorkPanelPages* Pages() { return nullptr; }
};
