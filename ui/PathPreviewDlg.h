// The work preview (dialog 182): the document's job, built as a download
// builds it, scaled into a picture and drawn a stretch at a time on a 50 ms timer
// through all its copies and feed passes, at a speed the operator changes;
// and the job's estimated run time. The job is built and fitted off the
// interface thread (CJobBuild) while the dialog shows the build's progress
// and a Cancel; closing the dialog cancels it too.
//
// The job is drawn as it is sent: its layer ring from the job generation,
// nothing built a second time. Its coordinates become picture pixels when
// the dialog is set up, so every copy and pass is an offset in pixels.
#pragma once
#include "qtplatform/DialogBase.h"
#include "machinecomm/VantrelRecords.h"
#include "processing/CalcFileRunTime.h"

#include <QImage>
#include <QPoint>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CJobBuild;
class CXPButton;
class QLabel;
class QProgressBar;
class QTimer;
class QWidget;
struct DOCCONTEXT;
struct MachineNode;

class CPathPreviewDlg : public CDialogBase {
public:
    static constexpr int IDD = 182;
    enum : int {
        IDC_FASTER = 1073,
        IDC_SLOWER = 1074,
        IDC_START = 1075,
        IDC_END = 1076,
        IDC_PAUSE = 1077,
        IDC_ESTIMATE = 1078,
        IDC_PICTURE = 1147,
        IDC_RUNTIME = 1222,
    };
    enum State : std::uint8_t { STOPPED = 0, RUNNING = 1, PAUSED = 2 };

    static constexpr int kTimerPeriodMs = 50;
    static constexpr int kMargin = 20;

    // Builds the job of the context's document; `pictureSize` is the size
    // of the picture control in pixels.
    CPathPreviewDlg(DOCCONTEXT& context, QWidget* parent = nullptr, QSize pictureSize = QSize(600, 400));
    ~CPathPreviewDlg() override;
    CPathPreviewDlg(const CPathPreviewDlg&) = delete;
    CPathPreviewDlg& operator=(const CPathPreviewDlg&) = delete;

    // Pixels per job unit for a picture of the given size and the job's
    // horizontal and vertical extents: the smaller of the two axis scales,
    // the one usable scale when only one is, else 1.0. Only a finite scale
    // above 1e-5 is usable, so a one-dot job (both extents 0) stays finite.
    static double FitScale(double pictureWidth, double pictureHeight, double extentX, double extentY);

    // The estimate's parameters: the defaults, the machine's block when it
    // holds values read from the controller or a file, and the scale as the
    // coordinate divisor. A block that was never filled holds zeros and
    // would give an estimate from zero speeds, so it is left out.
    static RUNTIMEPARAMS RunTimeParams(const MachineNode* machine, double scale);

    // "%d %s\r%02d %s\r%02d %s": hours, minutes and seconds of the rounded
    // run time with their unit texts; a time that is not a finite,
    // non-negative number of seconds shows as 0.
    static std::u16string RunTimeText(double seconds, const std::u16string& hours, const std::u16string& minutes,
                                      const std::u16string& secondsText);

    // Replaces the run-time estimate of the job; none restores it.
    static void SetRunTimeForTesting(std::function<double(const WORKHEAD&, const RUNTIMEPARAMS&)> runTime);

    // The buttons.
    void OnFaster();
    void OnSlower();
    void OnStart();
    void OnPauseContinue();
    void OnEnd();
    void OnEstimate();

    // One timer step: draws one step's worth of pixels along the job from
    // where the last step ended, moving on through the copies and feed
    // passes; the last pass stops the run.
    void Tick();

    // Closing stops a run (or the build) first.
    void reject() override;
    // The job has been built (or its build has failed): it can be run.
    bool JobReady() const;

    State RunState() const { return m_state; }
    double Speed() const { return m_speed; }
    double Scale() const { return m_scale; }
    double Step() const { return m_step; }
    const WORKHEAD& Header() const { return m_header; }
    const QImage& Picture() const { return m_picture; }
    // The pen positions of the copies drawn side by side, marked in red.
    const std::vector<QPoint>& CopyMarks() const { return m_marks; }
    QWidget* PictureControl() const { return m_control; }
    QLabel* RunTimeLabel() const { return m_runTime; }
    QTimer* Timer() const { return m_timer; }
    // The build's progress (thousandths) and its Cancel, shown while it runs.
    QProgressBar* BuildBar() const { return m_buildBar; }
    CXPButton* BuildCancelButton() const { return m_buildCancel; }
    CXPButton* Button(int id) const;

protected:
    void OnInitDialog() override;

private:
    struct Group;
    void BuildJob();
    void JobBuilt(double scale);
    // The built job made ready for the picture (bands stacked back, lengths
    // kept finite) and fitted into a picture of that size: its scale.
    static double PrepareJob(WORKHEAD& header, QSize picture);
    static double FitIntoPicture(WORKHEAD& header, QSize picture);
    void ClearPosition();
    // Moves on to the next copy or pass after the job was drawn to its end;
    // false when the last pass is done.
    bool NextCopy();
    // Takes up a path: its segments, or a group bracket.
    void EnterPath(PATHREC* path);
    // Leaves the current path for the next one of the layer, repeating
    // array groups; false at the layer's end.
    bool NextPath();
    void Plot(double x, double y);
    void Line(double x0, double y0, double x1, double y1);
    void Stop();
    void ShowPicture();
    void UpdateStep();
    bool ArrayJob() const;

    DOCCONTEXT& m_context;
    WORKHEAD m_header;
    double m_speed = 200.0;
    double m_scale = 1.0;
    double m_step = 0.0;
    State m_state = STOPPED;

    // Traversal position, kept between ticks.
    WORKLAYER* m_layer = nullptr;
    PATHREC* m_path = nullptr;
    SEGNODE* m_seg = nullptr;
    double m_drawn = 0.0; // length already drawn of m_seg
    std::vector<Group> m_groups;
    int m_copyX = 0;
    int m_dirX = 1;
    int m_copyY = 0;
    int m_dirY = 1;
    int m_pass = 0;
    double m_offsetX = 0.0; // of the current copy and pass
    double m_offsetY = 0.0;
    double m_groupX = 0.0; // of the array groups' current copies
    double m_groupY = 0.0;

    std::vector<QPoint> m_marks;
    QImage m_picture;
    QWidget* m_control = nullptr;
    QLabel* m_runTime = nullptr;
    QTimer* m_timer = nullptr;
    CJobBuild* m_build = nullptr;
    QProgressBar* m_buildBar = nullptr;
    CXPButton* m_buildCancel = nullptr;
    std::u16string m_pauseText = u"Pause";
    std::u16string m_continueText = u"Continue";
};
