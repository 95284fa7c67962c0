// Grouping and ungrouping of the selected objects of the current snapshot.
// The groups are built from the objects themselves, relinked: the internal
// clipboard is never touched, so what the operator copied stays there.
#pragma once
#include <cstdint>

struct DOCCONTEXT;

class CSelectionGroups {
public:
    // Groups the selection: selected groups and texts are dissolved first
    // (their children take their place, selected); then per layer each layer's
    // selected objects become one group at the place of its first one, else
    // all selected objects become one group with the layer and colour of the
    // first. Nothing (false) with an empty selection box or without a
    // snapshot; false, the history step taken, when a selected object carries
    // an array record. `takeStep` false leaves the undo step to the caller.
    static bool GroupSelection(DOCCONTEXT* ctx, bool perLayer, bool takeStep = true);
    // Dissolves every selected group at every level (its children, selected,
    // take its place), then destroys every empty group; no undo step.
    static void UngroupSelectedGroups(DOCCONTEXT* ctx);
    // Every selected object loses its array record; then every object
    // recalculates its box.
    static void ClearSelectionArrays(DOCCONTEXT* ctx);
};
