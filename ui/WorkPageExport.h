// The output page: feed repeats and split feeds of the document's job.
// Page 192 of the work panel; its texts come from "phase4:export-tool".
//
// The page edits two records of the current snapshot, the feed repeat
// (FEEDREPEAT, present = on) and the split feed (SPLITFEED), and, while
// split feed is on, split-head processing: one copy of the job per laser
// head, held as the document's array record (one row, a column per head).
// It loads from the document when shown and writes back when hidden, so
// edits typed without a click reach the document when the tab is left.
#pragma once
#include "WorkPageBase.h"

#include <cstdint>

class QCheckBox;
class QLineEdit;
struct ARRAYREC;
struct MachineNode;

class CWorkPageExport : public WorkPageBase {
public:
    static constexpr int IDD = 192;

    enum : int {
        IDC_HEAD_COUNT = 1111,
        IDC_HEAD_SPACING = 1112,
        IDC_FEED_COUNT = 1117,
        IDC_FEED_LENGTH = 1118,
        IDC_SPLIT_DISTANCE = 1119,
        IDC_FEED_DELAY = 1120,
        IDC_RATIO = 1121,
        IDC_FEED_ON = 1171,
        IDC_SPLIT_ON = 1172,
        IDC_HEADS_ON = 1256,
    };

    explicit CWorkPageExport(QWidget* parent = nullptr);

    void SetOwner(DOCCONTEXT* context, plat::ViewWindow* view);
    // Loads the fields from the document; nothing without one.
    void UpdateFromDocument();
    // Writes the fields back into the document; nothing without one.
    void WriteToDocument();

    // Control handlers.
    void OnFeedRepeat();
    void OnSplitFeed();
    void OnSplitHeads();
    void OnHeadCountChange();
    void OnHeadSpacingChange();

    QLineEdit* Edit(int id) const;
    QCheckBox* Check(int id) const;
    // The split-head controls are shown (split feed ticked).
    bool HeadControlsShown() const { return !m_headControlsHidden; }

    std::int32_t m_nFeedCount = 0;
    double m_dFeedLength = 0.0;
    double m_dFeedDelay = 0.0; // seconds
    double m_dSplitDistance = 0.0;
    double m_dRatio = 0.0;
    double m_dHeadSpacing = 0.0;
    std::uint32_t m_nHeadCount = 1;

protected:
    void OnInitDialog() override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BuildControls();
    // Data exchange: controls into the fields, or the fields into the controls.
    void ReadControls();
    void WriteControls();
    void ShowHeadControls(bool show);
    // Sets one edit's text without running its change handler.
    void ShowOnly(int id, const QString& text);
    MachineNode* CurrentMachine() const;
    // The machine's ratio becomes the coefficient and the machine list is
    // written; nothing without a machine.
    void StoreRatio();
    void Repaint() const;
    // Rows 1, columns the head count, pitches from the box and the spacing.
    void ShapeArray(ARRAYREC& array) const;

    bool m_moving = false; // the fields are being moved into the controls
    bool m_headControlsHidden = true;
};
