// The output page: feed repeats and split feeds of the document's job.
// Page 192 of the work panel; its texts come from "phase4:export-tool".
#pragma once
#include "WorkPageBase.h"

class CWorkPageExport : public WorkPageBase {
public:
    static constexpr int IDD = 192;

    explicit CWorkPageExport(QWidget* parent = nullptr);

    void SetOwner(DOCCONTEXT* context, plat::ViewWindow* view);
    // Loads the fields from the document; nothing without one.
    void UpdateFromDocument();
};
