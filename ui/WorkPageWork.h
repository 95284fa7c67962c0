// The work and machine control page: the machines and their connection, the
// job controls and the layer list of the active document.
// Page 150 of the work panel; its texts come from "phase3:work-tool".
#pragma once
#include "WorkPageBase.h"

class CWorkPageWork : public WorkPageBase {
public:
    static constexpr int IDD = 150;

    explicit CWorkPageWork(QWidget* parent = nullptr);

    // Binds the page to the active document (null: none) and refills the
    // machine list.
    void FillDeviceList(DOCCONTEXT* context, plat::ViewWindow* view);
    // Rebuilds the layer list from the document; empty without one.
    void RefreshLayerList();
    // The serial port failed: every machine connection closes.
    void OnPortError();
};
