// The view's path tools: ten commands on the selection, each both a button
// of the path-tool bar and an item of the Tools menu (one handler for both
// ids), and the assist selector of that bar. Each command checks its
// selection, asks its options where it has a dialog, takes one undo step
// before it changes the drawing (none when it is cancelled or changes
// nothing of the drawing's objects), runs its service and repaints.
#pragma once
#include "platform/Win.h"

#include <cstdint>

class COrvelView;
class QWidget;
struct DOCCONTEXT;

class ViewPathCommands {
public:
    // Button and menu ids, in pairs.
    static constexpr plat::UINT kMergePolylines = 32872, kMergePolylinesMenu = 32927;
    static constexpr plat::UINT kMergeAdjacent = 32873, kMergeAdjacentMenu = 32928;
    static constexpr plat::UINT kDeleteOverlaps = 32874, kDeleteOverlapsMenu = 32930;
    static constexpr plat::UINT kDashedLines = 32913, kDashedLinesMenu = 32931;
    static constexpr plat::UINT kReverse = 32876, kReverseMenu = 32933;
    static constexpr plat::UINT kContourOffset = 32888, kContourOffsetMenu = 32934;
    static constexpr plat::UINT kSmooth = 32894, kSmoothMenu = 32935;
    static constexpr plat::UINT kInvertBitmaps = 32890, kInvertBitmapsMenu = 32936;
    static constexpr plat::UINT kLeadLines = 32875, kLeadLinesMenu = 32932;
    static constexpr plat::UINT kMicroJoints = 32915, kMicroJointsMenu = 32929;
    static constexpr plat::UINT kAssistSelector = 32939;

    // Entries of "phase15:error-hint" for too small a selection.
    static constexpr int kSelectOneText = 0;
    static constexpr int kSelectTwoText = 4;

    // Adds the commands to the view's table; the selector reads the combo
    // box of its id in the view's window.
    static void Register(COrvelView& view);

    // The commands on a document; dialogs open over `parent`.
    static void MergePolylines(DOCCONTEXT& ctx);
    static void MergeAdjacent(DOCCONTEXT& ctx, QWidget* parent);
    static void DeleteOverlaps(DOCCONTEXT& ctx, QWidget* parent);
    static void DashedLines(DOCCONTEXT& ctx, QWidget* parent);
    static void Reverse(DOCCONTEXT& ctx);
    static void ContourOffset(DOCCONTEXT& ctx, QWidget* parent);
    static void Smooth(DOCCONTEXT& ctx);
    // Inverts the image files of the selected image objects, each file
    // once; no undo step (the history holds objects, not files; inverting
    // again restores). Files that are missing, read-only or not 8-bit stay.
    static void InvertBitmaps(DOCCONTEXT& ctx);
    static void LeadLines(DOCCONTEXT& ctx, QWidget* parent);
    static void MicroJoints(DOCCONTEXT& ctx, QWidget* parent);
    // The selector chose item `index`: the assist mode becomes 1 for any
    // item but the first, and the selected objects' leads take it as their
    // side.
    static void SetAssistMode(DOCCONTEXT& ctx, int index);
};
