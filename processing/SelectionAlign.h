// Alignment and mirroring of the selected objects as whole objects, against
// the box of the whole selection as it was before the command.
#pragma once

struct DOCCONTEXT;

class CSelectionAlign {
public:
    // Horizontal mode: 0 none, 1 left edges, 2 centres, 3 right edges.
    // Vertical mode: 0 none, 1 upper edges (m_ymin), 2 middles, 3 lower
    // edges (m_ymax). Every selected object is moved, in list order, so that
    // its edge or centre lies on the selection box's; the vertical move
    // takes the box as the horizontal one left it. One undo step, progress
    // over the selected objects, the old and the new selection area
    // repainted. Nothing (false, no step) with fewer than two selected
    // objects.
    static bool AlignSelection(DOCCONTEXT* ctx, int horizontal, int vertical);
    // Flips every selected object about the centre of the selection box
    // (left-right and/or top-bottom), then moves them together so that the
    // new box's upper-left corner is the old one's. One undo step, progress,
    // the union of both areas repainted. Nothing (false, no step) with an
    // empty selection box.
    static bool MirrorSelection(DOCCONTEXT* ctx, bool horizontal, bool vertical);
};
