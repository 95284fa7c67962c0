// The manual order page: the document's objects in processing order.
// Page 219 of the work panel; its texts come from "phase19:sort-manually".
#pragma once
#include "WorkPageBase.h"

class CWorkPageMetaList : public WorkPageBase {
public:
    static constexpr int IDD = 219;

    explicit CWorkPageMetaList(QWidget* parent = nullptr);

    void SetOwner(DOCCONTEXT* context, plat::ViewWindow* view);
    // Rebuilds the list from the document; nothing without one.
    void RefreshList();
    // Empties the list (the last document has closed).
    void ClearList();
};
