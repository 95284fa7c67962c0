// The nesting page: places the selected objects on a sheet.
// Page 224 of the work panel; its texts come from "phase22:genetic-nest".
//
// Start hands the owner document's selection to the nesting engine, whose
// worker only posts its progress and its end; each run gets a handle of its
// own from the message poster, closed when the run ends, so a late message
// of an ended run is dropped. Stop and the end message run one sequence on
// the user-interface thread: the worker is joined keeping the best layout,
// the handle closed, the layout replaces the objects the run started from
// (in the document it started in, only while that drawing is unchanged),
// the engine is freed.
#pragma once
#include "WorkPageBase.h"
#include "qtplatform/QtMessagePoster.h"
#include "processing/NestEngine.h"

#include <cstdint>
#include <vector>

class CDocData;
class CXPButton;
class QCheckBox;
class QLabel;
class QLineEdit;

class CWorkPageNest : public WorkPageBase, public PostedMessageTarget {
public:
    static constexpr int IDD = 224;
    static constexpr int IDC_WIDTH = 1111;
    static constexpr int IDC_HEIGHT = 1112;
    static constexpr int IDC_TIME = 1113;
    static constexpr int IDC_TARGET = 1114;
    static constexpr int IDC_STEP = 1115;
    static constexpr int IDC_ROTATE = 1252;
    static constexpr int IDC_START = 1073;
    static constexpr int IDC_RATIO = 1247;
    // Entry of "phase22:genetic-nest" shown when a result is not applied.
    static constexpr int kChangedText = 8;

    explicit CWorkPageNest(QWidget* parent = nullptr);
    // A run still going ends without a result.
    ~CWorkPageNest() override;
    CWorkPageNest(const CWorkPageNest&) = delete;
    CWorkPageNest& operator=(const CWorkPageNest&) = delete;

    // Only the owner changes: a run keeps the document it started in.
    void SetOwner(DOCCONTEXT* context, plat::ViewWindow* view);
    // A document's view closes: a run on it ends without a result, and the
    // page lets go of it as its owner.
    void OnDocumentClosing(DOCCONTEXT* context);

    // Button 1073: Start while idle, Stop while running.
    void OnStartStop();

    // WM_NEST_PROGRESS shows the utilisation; WM_NEST_DONE ends the run.
    void OnPostedMessage(plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam) override;

    bool IsRunning() const { return m_bRunning != 0; }
    int LastRatio() const { return m_nLastRatio; }
    // The handle of the run in progress; 0 while idle.
    plat::HWND RunHandle() const { return m_hRun; }
    CNestEngine& Engine() { return m_engine; }
    QLineEdit* Edit(int id) const;
    QCheckBox* RotateBox() const { return m_rotate; }
    QLabel* RatioLabel() const { return m_ratio; }
    CXPButton* StartButton() const { return m_start; }

protected:
    void OnInitDialog() override;

private:
    void Start();
    // Joins the worker and closes the handle; with `apply` the best layout
    // is taken; then the engine is freed and the page idle.
    void EndRun(bool apply);
    void TakeResult();

    QLineEdit* m_width = nullptr;
    QLineEdit* m_height = nullptr;
    QLineEdit* m_time = nullptr;
    QLineEdit* m_target = nullptr;
    QLineEdit* m_step = nullptr;
    QCheckBox* m_rotate = nullptr;
    QLabel* m_ratio = nullptr;
    CXPButton* m_start = nullptr;

    CNestEngine m_engine;
    int m_nLastRatio = 0;
    std::uint8_t m_bRunning = 0;

    // The run: its handle and poster, the document it started in with that
    // drawing's change count, and the objects it nests, in list order.
    plat::HWND m_hRun = 0;
    QtMessagePoster* m_pPoster = nullptr;
    DOCCONTEXT* m_pRunContext = nullptr;
    std::uint64_t m_nRunChangeCount = 0;
    std::vector<CDocData*> m_runObjects;
};
