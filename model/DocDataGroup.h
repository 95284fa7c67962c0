// A group of drawing objects, made when the user groups objects and by the
// drawing readers. It owns its children and passes operations on to them.
#pragma once
#include "DocDataComposite.h"

class CDocDataGroup : public CDocDataComposite {
public:
    // An empty group, selected.
    CDocDataGroup();
    // The list itself becomes the children; layer and colour from its first
    // object; selected.
    CDocDataGroup(CDocData* objects, DOCCONTEXT* ctx);
    CDocDataGroup(const CDocDataGroup& source);
    ~CDocDataGroup() override = default;

    // Group copies of its own array record, behind it in the list; nothing
    // for a group without children.
    void ExplodeArray(DOCCONTEXT* ctx) override;
    // True when any child closed.
    bool Close() override;

    // New list of copies of the given objects by their type ids, in order;
    // with `wholeList` false only the first. The object-list clone.
    static CDocData* CloneList(const CDocData* list, bool wholeList);
    static CDocData* Copy(const CDocData& source);

protected:
    CDocData* CopySelf() const override { return new CDocDataGroup(*this); }
};

// Dissolves every group of the list through all levels: a group's children
// take its place in the list, in order, and are looked at in turn, so groups
// inside groups go too; emptied and childless groups are destroyed. Texts
// stay whole. A group that still carries array copies stays as it is, since
// its children alone would drop the copies.
void UngroupAll(CDocData*& head);
