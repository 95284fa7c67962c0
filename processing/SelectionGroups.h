// Grouping and ungrouping of the selected objects of the current snapshot.
// The groups are built from the objects themselves, relinked: the internal
// clipboard is never touched, so what the operator copied stays there.
#pragma once

struct DOCCONTEXT;

class CSelectionGroups {
public:
    // Groups the selection: selected groups and texts are dissolved first
    // (their children take their place, selected); then per layer each
    // layer's selected objects become one group at the place of its first
    // one, else all selected objects become one group with the layer and
    // colour of the first. False, with the list unchanged, with an empty
    // selection box, without a snapshot or a selected object, or when a
    // selected object carries an array record. Takes no undo step.
    static bool GroupSelection(DOCCONTEXT* ctx, bool perLayer);

    // The commands of the view, each one undo step, none when nothing
    // changes; true when the list changed. Grouping hands the new group's
    // lead record (the longest of its children's when it has none) down to
    // every child, automatic; it and ungrouping then repaint the selection
    // and refresh the layer list (grouping) and the manual order list.
    static bool GroupCommand(DOCCONTEXT* ctx);
    static bool UngroupCommand(DOCCONTEXT* ctx, bool allLevels);
};
