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

// Which groups ungrouping dissolves, and what it clears away afterwards.
enum class UngroupScope {
    // Every group through all levels; texts stay whole, and so does a group
    // that still carries array copies, since its children alone would drop
    // them. Childless groups go.
    EveryGroup,
    // Selected groups and texts, one level: their children stay as they are.
    SelectedOneLevel,
    // Selected groups and texts through all levels (their children carry the
    // selection with them).
    SelectedAllLevels,
    // Selected groups through all levels; texts stay. Only childless groups
    // are cleared away.
    SelectedGroupsAllLevels,
};

// Dissolves groups of the list: a dissolved object's children take its
// place, in order, and it is destroyed. After a selected scope every group
// (and, but for SelectedGroupsAllLevels, every text) without children is
// destroyed too, selected or not. True when the list changed.
bool UngroupObjects(CDocData*& head, UngroupScope scope);

// Every group of the list through all levels (UngroupScope::EveryGroup).
void UngroupAll(CDocData*& head);

// Every selected object of the list loses its array-copy record; then every
// object of the list recalculates its box.
void ClearSelectionArrays(CDocData* head, DOCCONTEXT* ctx);
