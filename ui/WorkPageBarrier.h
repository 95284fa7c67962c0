// The light-guide plate page: dot patterns inside the selected outlines.
// Page 206 of the work panel; its texts come from "phase18:light-barrier".
#pragma once
#include "WorkPageBase.h"

class CWorkPageBarrier : public WorkPageBase {
public:
    static constexpr int IDD = 206;

    explicit CWorkPageBarrier(QWidget* parent = nullptr);

    void SetOwner(DOCCONTEXT* context, plat::ViewWindow* view);
};
