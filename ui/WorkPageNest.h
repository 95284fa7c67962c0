// The nesting page: places the selected objects on a sheet.
// Page 224 of the work panel; its texts come from "phase22:genetic-nest".
#pragma once
#include "WorkPageBase.h"

class CWorkPageNest : public WorkPageBase {
public:
    static constexpr int IDD = 224;

    explicit CWorkPageNest(QWidget* parent = nullptr);

    void SetOwner(DOCCONTEXT* context, plat::ViewWindow* view);
};
