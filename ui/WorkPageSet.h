// The array page: array copies of the selected objects.
// Page 151 of the work panel; its texts come from "phase5:array-tool".
#pragma once
#include "WorkPageBase.h"

class CWorkPageSet : public WorkPageBase {
public:
    static constexpr int IDD = 151;

    explicit CWorkPageSet(QWidget* parent = nullptr);

    void SetOwner(DOCCONTEXT* context, plat::ViewWindow* view);
    // Loads the fields from the selection.
    void UpdateFromSelection();
};
