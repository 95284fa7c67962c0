// The work preview: fitting the job into the picture (a one-dot job must not
// scale to infinity), the estimate's parameters (an unread machine block must
// not zero the speeds), the run-time text, and the job drawn tick by tick
// through its copies with the position kept between ticks.
#include "../processing/ProcessingTestSupport.h"
#include "AppTestSupport.h"
#include "HeldStep.h"
#include "../support/ManyLines.h"
#include "model/DocContext.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "settings/MachineNode.h"
#include "settings/MachineParams.h"
#include "settings/SoftwareSettings.h"
#include "settings/WorkParams.h"
#include "ui/PathOptDlg.h"
#include "ui/PathPreviewDlg.h"
#include "ui/XPButton.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using plat::MakeLine;
using plat::XY;

constexpr double kO = 500000.0; // the machine origin in world units

// World outline from millimetres off the origin.
std::vector<XY> Mm(std::vector<XY> points)
{
    for (auto& [x, y] : points) {
        x = kO + x * 10.0;
        y = kO + y * 10.0;
    }
    return points;
}

// One machine (origin corner 1, positioning point 0), the default layers
// (layer 0 cuts) and a document to fill.
class PathPreview : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings.SetOptionDefaults();
        settings.use_path = 0;
        settings.m_pLayers = MakeDefaultLayerList();
        machine.m_orign = 1;
        machine.m_dot = 0;
        settings.m_pMachines = &machine;
        settings.m_nCurMachine = 0;
        ctx.m_pSettings = &settings;
        ctx.m_pCurrent = &document;
    }
    void TearDown() override
    {
        CDialogBase::SetModalAnswerForTesting({});
        CPathPreviewDlg::SetRunTimeForTesting({});
        settings.m_pMachines = nullptr;
        FreeWorkParamList(settings.m_pLayers);
    }
    void Add(CDocData* o)
    {
        o->m_pNext = document.m_pFirst;
        if (document.m_pFirst != nullptr)
            document.m_pFirst->m_pPrev = o;
        document.m_pFirst = o;
    }
    void AddSquare() { Add(MakeLine(Mm({{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}}))); }
    // Sets the dialog up as its modal run does, and waits for its job.
    static void Open(CPathPreviewDlg& dlg)
    {
        CDialogBase::SetModalAnswerForTesting([](CDialogBase&) { return 2; });
        dlg.DoModal();
        CDialogBase::SetModalAnswerForTesting({});
        QElapsedTimer waited;
        waited.start();
        while (!dlg.JobReady() && waited.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ASSERT_TRUE(dlg.JobReady());
    }
    // Ticks until the run stops; the count of ticks, or -1 past `limit`.
    static int RunToEnd(CPathPreviewDlg& dlg, int limit = 10000)
    {
        for (int n = 1; n <= limit; ++n) {
            dlg.Tick();
            if (dlg.RunState() == CPathPreviewDlg::STOPPED)
                return n;
        }
        return -1;
    }
    static int BlackPixels(const QImage& image, QRect area = QRect())
    {
        if (area.isNull())
            area = image.rect();
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += image.pixel(x, y) == qRgb(0, 0, 0) ? 1 : 0;
        return n;
    }

    SoftwareSettings settings;
    MachineNode machine;
    CDocListNode document;
    DOCCONTEXT ctx;
};

TEST_F(PathPreview, SquareFitsTheMarginDrawsOneStepPerTickAndStopsOnceAfterFourSides)
{
    AddSquare();
    CPathPreviewDlg dlg(ctx);
    Open(dlg);
    EXPECT_DOUBLE_EQ(dlg.Scale(), 3.6);
    const WORKHEAD& h = dlg.Header();
    EXPECT_EQ((std::array{h.m_minX, h.m_minY, h.m_maxX, h.m_maxY}), (std::array{20.0, 20.0, 380.0, 380.0}));
    EXPECT_DOUBLE_EQ(dlg.Step(), 36.0);

    dlg.OnStart();
    EXPECT_EQ(dlg.RunState(), CPathPreviewDlg::RUNNING);
    EXPECT_TRUE(dlg.Timer()->isActive());
    EXPECT_EQ(dlg.Timer()->interval(), 50);
    // The positioning point (min x, min y) as an 8 x 8 red square.
    EXPECT_EQ(dlg.Picture().pixel(16, 16), qRgb(255, 0, 0));
    EXPECT_EQ(dlg.Picture().pixel(23, 23), qRgb(255, 0, 0));
    EXPECT_NE(dlg.Picture().pixel(24, 24), qRgb(255, 0, 0));

    dlg.Tick();
    EXPECT_EQ(BlackPixels(dlg.Picture()), 36);
    // Paused, a tick of the timer draws nothing; continued, it goes on
    // from where it was.
    dlg.OnPauseContinue();
    EXPECT_EQ(dlg.RunState(), CPathPreviewDlg::PAUSED);
    EXPECT_FALSE(dlg.Timer()->isActive());
    dlg.Tick();
    EXPECT_EQ(BlackPixels(dlg.Picture()), 36);
    dlg.OnPauseContinue();
    dlg.Tick();
    EXPECT_EQ(BlackPixels(dlg.Picture()), 72);

    const int ticks = RunToEnd(dlg);
    EXPECT_GE(ticks, 38);
    EXPECT_LE(ticks, 39);
    EXPECT_EQ(BlackPixels(dlg.Picture()), 4 * 360);
    for (const QPoint p : {QPoint(200, 20), QPoint(380, 200), QPoint(200, 380), QPoint(20, 200)})
        EXPECT_EQ(dlg.Picture().pixel(p), qRgb(0, 0, 0)) << p.x() << "," << p.y();
    EXPECT_FALSE(dlg.Timer()->isActive());
    EXPECT_FALSE(dlg.Button(CPathPreviewDlg::IDC_PAUSE)->isEnabled());
    dlg.Tick();
    EXPECT_EQ(dlg.RunState(), CPathPreviewDlg::STOPPED);

    // Faster then slower is 1.02 times the speed, not the same speed.
    dlg.OnFaster();
    dlg.OnSlower();
    EXPECT_DOUBLE_EQ(dlg.Speed(), 204.0);
    EXPECT_DOUBLE_EQ(dlg.Step(), 50 * 204.0 / 1000 * 3.6);
}

TEST_F(PathPreview, ThreeCopiesWithANegativePitchRunFromTheLastCopyOnce)
{
    AddSquare();
    document.m_pArray = new ARRAYREC;
    document.m_pArray->m_nRows = 3;
    document.m_pArray->m_dDx = -1500.0; // -150 mm
    CPathPreviewDlg dlg(ctx);
    Open(dlg);
    // 450 mm of copies into 360 pixels; the farthest copy at the top.
    EXPECT_DOUBLE_EQ(dlg.Scale(), 0.8);
    dlg.OnStart();
    dlg.Tick();
    const QImage& pic = dlg.Picture();
    EXPECT_GT(BlackPixels(pic, QRect(0, 0, 600, 110)), 0);
    EXPECT_EQ(BlackPixels(pic, QRect(0, 110, 600, 290)), 0);
    ASSERT_EQ(dlg.CopyMarks().size(), 1u);
    EXPECT_LT(dlg.CopyMarks()[0].y(), 110);

    EXPECT_GT(RunToEnd(dlg), 0);
    // Each copy once: three outlines of 80 pixels a side.
    EXPECT_EQ(BlackPixels(pic), 3 * 4 * 80);
    for (int top : {20, 140, 260})
        EXPECT_EQ(pic.pixel(60, top), qRgb(0, 0, 0)) << top;

    // The estimate reads the pitch in millimetres, not in picture pixels.
    double pitch = 0.0;
    CPathPreviewDlg::SetRunTimeForTesting([&](const WORKHEAD& job, const RUNTIMEPARAMS&) {
        pitch = job.m_pitchX;
        return 0.0;
    });
    dlg.OnEstimate();
    EXPECT_DOUBLE_EQ(pitch, -150.0);
}

// A 10 mm square repeated as a 2 x 2 array of 20 mm pitch: 30 mm into 360
// pixels, so four squares of 120 pixels, each drawn once in 16 steps of 120.
TEST_F(PathPreview, ArrayedObjectDrawsEachOfItsCopiesOnce)
{
    CDocData* square = MakeLine(Mm({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}));
    square->m_pArray = new ARRAYREC;
    square->m_pArray->m_nRows = 2;
    square->m_pArray->m_nCols = 2;
    square->m_pArray->m_dDx = 200.0;
    square->m_pArray->m_dDy = 200.0;
    Add(square);
    CPathPreviewDlg dlg(ctx);
    Open(dlg);
    EXPECT_DOUBLE_EQ(dlg.Scale(), 12.0);
    dlg.OnStart();
    const int ticks = RunToEnd(dlg, 100);
    EXPECT_GE(ticks, 16);
    EXPECT_LE(ticks, 17);
    EXPECT_EQ(BlackPixels(dlg.Picture()), 4 * 4 * 120);
    for (const QPoint p : {QPoint(80, 20), QPoint(320, 20), QPoint(80, 260), QPoint(320, 380)})
        EXPECT_EQ(dlg.Picture().pixel(p), qRgb(0, 0, 0)) << p.x() << "," << p.y();
}

// A 10 x 30 mm rectangle and a 10 mm square 60 mm up, in bands of 20 mm
// (margin 0.1, band size ratio 0.5): the job as sent has its three bands on
// one line 20.1 mm high; stacked back along their gaps they reach 70 mm.
TEST_F(PathPreview, BandedJobIsStackedBackAndItsPitchesExchanged)
{
    machine.m_ratio = 0.5;
    document.m_pSplit = new SPLITFEED;
    document.m_pSplit->m_bOn = 1;
    document.m_pSplit->m_dDistance = 20.0;
    document.m_pSplit->m_dMargin = 0.1;
    Add(MakeLine(Mm({{0, 0}, {10, 0}, {10, 30}, {0, 30}, {0, 0}})));
    Add(MakeLine(Mm({{20, 60}, {30, 60}, {30, 70}, {20, 70}, {20, 60}})));
    CPathPreviewDlg dlg(ctx);
    Open(dlg);
    ASSERT_EQ(dlg.Header().m_banded, 1);
    EXPECT_NEAR(dlg.Scale(), 360.0 / 70.0, 1e-9);
    EXPECT_NEAR(dlg.Header().m_pitchX, 20.1 * 360.0 / 70.0, 1e-9);
    EXPECT_EQ(dlg.Header().m_pitchY, 0.0);
    EXPECT_NEAR(dlg.Header().m_maxY, 380.0, 1e-9);
}

TEST_F(PathPreview, ADotJobDrawsAtAFinitePlaceWithScaleOne)
{
    Add(MakeLine(Mm({{30, 40}})));
    CPathPreviewDlg dlg(ctx);
    Open(dlg);
    EXPECT_EQ(dlg.Scale(), 1.0);
    dlg.OnStart();
    EXPECT_GT(RunToEnd(dlg, 10), 0);
    EXPECT_EQ(dlg.Picture().pixel(20, 20), qRgb(0, 0, 0));
}

TEST_F(PathPreview, NothingToDrawHostilePitchesAndEndlessSpeedPressesStayFiniteAndEnd)
{
    {
        // An empty document, then one whose only object is on a layer
        // without output: start does nothing.
        CPathPreviewDlg empty(ctx);
        Open(empty);
        empty.OnStart();
        empty.Tick();
        EXPECT_EQ(empty.RunState(), CPathPreviewDlg::STOPPED);
        EXPECT_FALSE(empty.Timer()->isActive());
        FindLayerParams(settings.m_pLayers, 4)->m_border = 0;
        Add(MakeLine(Mm({{0, 0}, {10, 0}}), 4));
        CPathPreviewDlg noOutput(ctx);
        Open(noOutput);
        noOutput.OnStart();
        EXPECT_EQ(noOutput.RunState(), CPathPreviewDlg::STOPPED);
    }
    AddSquare();
    document.m_pArray = new ARRAYREC;
    document.m_pArray->m_nRows = 2;
    document.m_pArray->m_nCols = 3;
    document.m_pArray->m_dDx = -1e300;
    document.m_pArray->m_dDy = std::numeric_limits<double>::infinity();
    CPathPreviewDlg dlg(ctx);
    Open(dlg);
    EXPECT_TRUE(std::isfinite(dlg.Scale()));
    const WORKHEAD& h = dlg.Header();
    ASSERT_NE(h.m_layers, nullptr);
    EXPECT_TRUE(std::isfinite(h.m_pitchX) && std::isfinite(h.m_pitchY));
    for (const WORKLAYER* l = h.m_layers; l != nullptr; l = l->m_next == h.m_layers ? nullptr : l->m_next)
        for (const PATHREC* p = l->m_paths; p != nullptr; p = p->m_pNext == l->m_paths ? nullptr : p->m_pNext)
            EXPECT_TRUE(std::isfinite(p->m_xmin) && std::isfinite(p->m_ymax));

    for (int i = 0; i < 500; ++i)
        dlg.OnSlower();
    EXPECT_GT(dlg.Step(), 0.0);
    for (int i = 0; i < 1000; ++i)
        dlg.OnFaster();
    EXPECT_TRUE(std::isfinite(dlg.Step()));
    dlg.OnStart();
    EXPECT_GT(RunToEnd(dlg, 100), 0);

    // Closed while running: the timer goes with the run.
    dlg.OnStart();
    dlg.reject();
    EXPECT_FALSE(dlg.Timer()->isActive());
    EXPECT_EQ(dlg.RunState(), CPathPreviewDlg::STOPPED);
}

TEST_F(PathPreview, EstimateShowsHoursMinutesSecondsOnThreeLinesFromThePictureScale)
{
    AddSquare();
    CPathPreviewDlg dlg(ctx);
    Open(dlg);
    EXPECT_EQ(dlg.RunTimeLabel()->text(), QStringLiteral("00 h\n00 min\n00 s"));
    double divisor = 0.0;
    CPathPreviewDlg::SetRunTimeForTesting([&](const WORKHEAD&, const RUNTIMEPARAMS& p) {
        divisor = p.m_divisor;
        return 3725.0;
    });
    dlg.OnEstimate();
    EXPECT_EQ(dlg.RunTimeLabel()->text(), QStringLiteral("1 h\n02 min\n05 s"));
    EXPECT_DOUBLE_EQ(divisor, 3.6);
}

TEST_F(PathPreview, PathOptionsPreviewRunsWithTheDialogValuesAndPutsTheSettingsBack)
{
    AddSquare();
    settings.use_path = 0;
    settings.path_mode = 2;
    settings.path_work_pos = 1;
    CPathOptDlg options;
    options.m_pContext = &ctx;
    options.m_nPathMode = 4;
    options.m_nStartCorner = 3;
    CDialogBase::SetModalAnswerForTesting([](CDialogBase&) { return 2; });
    options.DoModal();
    ASSERT_TRUE(options.PreviewButton()->isEnabled());

    int seen = 0;
    CDialogBase::SetModalAnswerForTesting([&](CDialogBase& d) {
        EXPECT_NE(dynamic_cast<CPathPreviewDlg*>(&d), nullptr);
        EXPECT_EQ(settings.use_path, 1);
        EXPECT_EQ(settings.path_mode, 4);
        seen = 1;
        return 2;
    });
    options.PreviewButton()->click();
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(settings.use_path, 0);
    EXPECT_EQ(settings.path_mode, 2);
    EXPECT_EQ(settings.path_work_pos, 1);
    EXPECT_EQ(options.m_nStartCorner, 3);
}

// The job is built off the interface thread: while the build is held at a
// step of its ordering the event loop goes on turning and the bar shows the
// build's progress there (the copy's tenth, then 620 thousandths of the
// rest: 100 + 558 = 658); Cancel returns without waiting for the build,
// which is still held, and the document, its history and its change count
// are as they were.
TEST_F(PathPreview, TheJobIsBuiltOffTheInterfaceThreadAndCancelLeavesTheDocumentAsItWas)
{
    AddSquare();
    CDocState::PushHistory(&ctx);
    CDocListNode* older = document.m_pOlder;
    const std::uint64_t changes = ctx.m_nChangeCount;
    const CDocData* first = document.m_pFirst;
    HeldStep hold(620);
    {
        CPathPreviewDlg dlg(ctx);
        dlg.show();
        int ticks = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] { ticks += hold.Reached() ? 1 : 0; });
        tick.start(10);
        ASSERT_TRUE(plat::WaitFor([&] { return ticks >= 5 && dlg.BuildBar()->value() == 658; }))
            << ticks << " " << dlg.BuildBar()->value();
        EXPECT_FALSE(dlg.JobReady());
        EXPECT_FALSE(dlg.Button(CPathPreviewDlg::IDC_START)->isEnabled());
        dlg.BuildCancelButton()->click();
        EXPECT_TRUE(dlg.JobReady());
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_TRUE(hold.Holding()) << "Cancel waited for the build";
    }
    hold.Release();
    EXPECT_EQ(ctx.m_nChangeCount, changes);
    EXPECT_EQ(ctx.m_pCurrent, &document);
    EXPECT_EQ(document.m_pOlder, older);
    EXPECT_EQ(older->m_pOlder, nullptr);
    EXPECT_EQ(document.m_pFirst, first);
    EXPECT_EQ(first->m_pNext, nullptr);
    document.m_pOlder = nullptr;
    older->m_pNewer = nullptr;
    CDocState::DeleteHistoryChain(older);
}

// A job of a million entities: while the preview, once shown, copies the
// drawing and builds the job, a 10 ms timer never waits 100 ms, and Cancel,
// pressed once the bar has moved, closes the preview within 100 ms with the
// document and its change count as they were.
TEST_F(PathPreview, AMillionEntityJobKeepsTheLoopTurningAndCancelEndsItAtOnce)
{
    AddManyLines(document, kManyLines, 0);
    const std::uint64_t changes = ctx.m_nChangeCount;
    const CDocData* first = document.m_pFirst;
    qint64 longest = 0;
    qint64 cancelTook = -1;
    {
        CPathPreviewDlg dlg(ctx);
        dlg.show();
        const plat::LoopWatch loop;
        ASSERT_TRUE(plat::WaitFor([&] { return dlg.BuildBar()->value() > 0; }));
        EXPECT_FALSE(dlg.JobReady());
        QElapsedTimer since;
        since.start();
        dlg.BuildCancelButton()->click();
        cancelTook = since.elapsed();
        EXPECT_FALSE(dlg.isVisible());
        longest = loop.Longest();
    }
    LongWork::JoinCancelled();
    EXPECT_LT(longest, 100);
    EXPECT_GE(cancelTook, 0);
    EXPECT_LT(cancelTook, 100);
    EXPECT_EQ(ctx.m_nChangeCount, changes);
    EXPECT_EQ(ctx.m_pCurrent, &document);
    EXPECT_EQ(document.m_pFirst, first);
}

TEST(PathPreviewDlgTest, FitScaleTakesTheSmallerAxisAndFallsBackToOneForADotJob)
{
    // A 100 x 100 job in a 600 x 400 picture less 20 pixels on every side.
    EXPECT_DOUBLE_EQ(CPathPreviewDlg::FitScale(560, 360, 100, 100), 3.6);
    // One dot: both extents 0 give infinite axis scales, which do not count.
    EXPECT_EQ(CPathPreviewDlg::FitScale(560, 360, 0, 0), 1.0);
    // A horizontal line: only the horizontal scale is usable.
    EXPECT_DOUBLE_EQ(CPathPreviewDlg::FitScale(560, 360, 100, 0), 5.6);
    // A vast job gives scales at or under 1e-5 on both axes.
    EXPECT_EQ(CPathPreviewDlg::FitScale(560, 360, 1e12, 1e12), 1.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(CPathPreviewDlg::FitScale(560, 360, nan, nan), 1.0);
}

TEST(PathPreviewDlgTest, OnlyAValidMachineBlockReplacesTheEstimateDefaults)
{
    MachineParams block;
    block.m_x_min_speed = 30000;
    block.m_y_min_speed = 20000;
    block.m_speed_rate = 250;
    block.m_min_acc = 1500;
    block.m_machine_type = 4;
    MachineNode machine;
    machine.m_params = &block;

    // Made by the parameter dialog but never filled: the defaults stay.
    RUNTIMEPARAMS p = CPathPreviewDlg::RunTimeParams(&machine, 3.6);
    EXPECT_EQ((std::array{p.m_startSpeed, p.m_speedRate, p.m_minAcc, p.m_scanMinAcc, p.m_divisor}),
              (std::array{20.0, 2.5, 500.0, 500.0, 3.6}));
    EXPECT_EQ(p.m_twoWay, 0);

    block.m_valid = 1;
    p = CPathPreviewDlg::RunTimeParams(&machine, 3.6);
    EXPECT_EQ((std::array{p.m_startSpeed, p.m_speedRate, p.m_minAcc, p.m_scanMinAcc, p.m_divisor}),
              (std::array{20.0, 2.5, 1.0, 1.0, 3.6}));
    EXPECT_EQ(p.m_twoWay, 1);
    machine.m_params = nullptr;

    EXPECT_EQ(CPathPreviewDlg::RunTimeParams(nullptr, 2.0).m_startSpeed, 20.0);
}

TEST(PathPreviewDlgTest, RunTimeTextShowsRoundedHoursAndTwoDigitMinutesAndSeconds)
{
    EXPECT_EQ(CPathPreviewDlg::RunTimeText(3725.0, u"h", u"min", u"s"), u"1 h\r02 min\r05 s");
    EXPECT_EQ(CPathPreviewDlg::RunTimeText(59.5, u"h", u"min", u"s"), u"0 h\r01 min\r00 s");
    EXPECT_EQ(CPathPreviewDlg::RunTimeText(-4.0, u"h", u"min", u"s"), u"0 h\r00 min\r00 s");
    EXPECT_EQ(CPathPreviewDlg::RunTimeText(std::nan(""), u"h", u"min", u"s"), u"0 h\r00 min\r00 s");
}

} // namespace
