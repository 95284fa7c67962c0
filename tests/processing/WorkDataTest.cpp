// Work-data generation: documents built by hand become jobs whose every
// coordinate, extent and parameter is worked out from the document, the
// layer defaults (cut at 100 mm/s, powers 20 and 30 %) and the machine.
#include "ProcessingTestSupport.h"
#include "WorkLayerTestSupport.h"
#include "processing/FileTrans.h"
#include "processing/JobRecords.h"

#include "model/DocContext.h"
#include "model/DocDataBitmap.h"
#include "model/DocDataEllipse.h"
#include "model/DocDataGroup.h"
#include "model/DocListNode.h"
#include "model/LeadInOut.h"
#include "platform/Prompt.h"
#include "settings/LanguageTable.h"
#include "settings/MachineNode.h"
#include "settings/MachineTech.h"
#include "settings/SoftwareSettings.h"
#include "settings/WorkParams.h"
#include "tests/model/BmpTestFiles.h"
#include "tests/settings/ScratchProgramFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <ostream>
#include <limits>

namespace plat {
namespace {

constexpr double kO = 500000.0; // the machine origin in world units

// World rectangle from millimetres off the origin.
std::vector<XY> MmSquare(double x0, double y0, double x1, double y1)
{
    return Square(kO + x0 * 10, kO + y0 * 10, kO + x1 * 10, kO + y1 * 10);
}

// dark.bmp: 3 x 2 black pixels.
void WriteDarkImage(ScratchProgramFolder& folder)
{
    BmpForm form;
    form.width = 3;
    form.height = 2;
    folder.Write("dark.bmp", MakeBmp(form, {{0, 0, 0}, {0, 0, 0}}));
}

struct WorkSetup {
    SoftwareSettings settings;
    MachineNode machine;
    CDocListNode document;
    DOCCONTEXT ctx;
    WORKHEAD header;

    explicit WorkSetup(std::uint8_t corner = 1, std::uint8_t point = 0)
    {
        settings.SetOptionDefaults();
        settings.use_path = 0;
        settings.m_nComPort = 3;
        settings.m_pLayers = MakeDefaultLayerList();
        machine.m_orign = corner;
        machine.m_dot = point;
        settings.m_pMachines = &machine;
        ctx.m_pSettings = &settings;
        ctx.m_pCurrent = &document;
    }
    ~WorkSetup()
    {
        FreePathRecordGroups(header.m_layers);
        settings.m_pMachines = nullptr;
        FreeWorkParamList(settings.m_pLayers);
    }
    void Add(CDocData* o)
    {
        CDocData** at = &document.m_pFirst;
        CDocData* prev = nullptr;
        while (*at != nullptr) {
            prev = *at;
            at = &(*at)->m_pNext;
        }
        *at = o;
        o->m_pPrev = prev;
    }
    void Band(double length, double margin, std::uint8_t direction)
    {
        document.m_pSplit = new SPLITFEED;
        document.m_pSplit->m_bOn = 1;
        document.m_pSplit->m_dDistance = length;
        document.m_pSplit->m_dMargin = margin;
        document.m_pSplit->m_nDirection = direction;
    }
    bool Make(std::string_view name = "job.out") { return CFileTrans::MakeWorkData(&header, &ctx, name); }
};

TEST(MakeWorkData, SquareAndTriangleOnOneCutLayerBecomeOneLayerInMillimetresFromTheOrigin)
{
    WorkSetup s;
    s.Add(MakeLine(MmSquare(0, 0, 10, 10)));
    s.Add(MakeLine({{kO + 200, kO}, {kO + 300, kO}, {kO + 250, kO + 50}, {kO + 200, kO}}));
    ASSERT_TRUE(s.Make("/home/op/jobs/plate.out"));

    WORKLAYER* layer = s.header.m_layers;
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->m_next, nullptr);
    EXPECT_EQ(layer->m_prev, nullptr);
    EXPECT_EQ(layer->m_layerId, 0u);
    EXPECT_EQ(layer->m_mode, 1);
    EXPECT_EQ(layer->m_speed, 100.0f);
    EXPECT_EQ(layer->m_freeSpeed, 100.0f);
    EXPECT_EQ(layer->m_maxPower1, 3000);
    EXPECT_EQ(layer->m_minPower1, 2000);
    EXPECT_EQ(layer->m_maxPower2, 3000);
    EXPECT_EQ(layer->m_minPower2, 2000);
    EXPECT_EQ(layer->m_flags, 1u);
    EXPECT_EQ(layer->m_bandIndex, 0u);

    const std::vector<PATHREC*> paths = Paths(layer);
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[1]->m_pNext, paths[0]);
    ExpectPoints(paths[0], {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}});
    ExpectPoints(paths[1], {{20, 0}, {30, 0}, {25, 5}, {20, 0}});
    EXPECT_EQ(paths[0]->m_closed, 1u);
    EXPECT_EQ(paths[1]->m_closed, 1u);
    EXPECT_DOUBLE_EQ(paths[1]->m_xmin, 20.0);
    EXPECT_DOUBLE_EQ(paths[1]->m_ymax, 5.0);
    // Segment rings are closed for the encoder.
    EXPECT_NE(paths[1]->m_pSegs->m_pPrev, nullptr);

    const WORKHEAD& h = s.header;
    EXPECT_EQ(h.m_minX, 0.0);
    EXPECT_EQ(h.m_maxX, 30.0);
    EXPECT_EQ(h.m_minY, 0.0);
    EXPECT_EQ(h.m_maxY, 10.0);
    EXPECT_EQ(h.m_firstExtents[0], 30.0);
    EXPECT_EQ(h.m_firstExtents[1], 0.0);
    EXPECT_EQ(h.m_firstExtents[2], 10.0);
    EXPECT_EQ(h.m_firstExtents[3], 0.0);
    EXPECT_EQ(h.m_pitchX, 30.0);
    EXPECT_EQ(h.m_pitchY, 10.0);
    EXPECT_EQ(h.m_comPort, 3u);
    EXPECT_EQ(h.m_originCorner, 1);
    EXPECT_EQ(h.m_posPoint, 0);
    EXPECT_EQ(h.m_banded, 0);
    EXPECT_EQ(h.m_closeRepay, 0.0);
    EXPECT_STREQ(h.m_jobName, "plate");
}

TEST(MakeWorkData, OriginCornerMirrorsAndPositioningPointPlacesTheJob)
{
    struct Case {
        std::uint8_t corner, point;
        std::vector<XY> square, triangle;
    };
    const Case cases[] = {
        // Corner 0 counts x from the maximum: x is negated.
        {0, 0, {{0, 0}, {-10, 0}, {-10, 10}, {0, 10}, {0, 0}}, {{-20, 0}, {-30, 0}, {-25, 5}, {-20, 0}}},
        // Point 4 puts the job's centre (15, 5) on the origin.
        {1, 4, {{-15, -5}, {-5, -5}, {-5, 5}, {-15, 5}, {-15, -5}}, {{5, -5}, {15, -5}, {10, 0}, {5, -5}}},
        // Corner 3 counts y from the maximum (y is mirrored) and x from the
        // minimum: point 2, column 2 and row 0, is the top right corner
        // (30, 10) goes onto the origin.
        {3, 2, {{-30, 0}, {-20, 0}, {-20, -10}, {-30, -10}, {-30, 0}}, {{-10, 0}, {0, 0}, {-5, -5}, {-10, 0}}},
    };
    for (const Case& c : cases) {
        WorkSetup s(c.corner, c.point);
        s.Add(MakeLine(MmSquare(0, 0, 10, 10)));
        s.Add(MakeLine({{kO + 200, kO}, {kO + 300, kO}, {kO + 250, kO + 50}, {kO + 200, kO}}));
        ASSERT_TRUE(s.Make());
        const std::vector<PATHREC*> paths = Paths(s.header.m_layers);
        ASSERT_EQ(paths.size(), 2u);
        ExpectPoints(paths[0], c.square);
        ExpectPoints(paths[1], c.triangle);
        EXPECT_EQ(s.header.m_originCorner, c.corner);
        EXPECT_EQ(s.header.m_posPoint, c.point);
    }
}

// A 10 x 30 mm rectangle and a 10 mm square 60 mm up, bands of 20 mm with
// margin 0.1 from the bottom, band size ratio 0.5: the rectangle is cut at
// 20.1, the three bands lie with their tops on 20 and move along x by the
// gaps (20.1, then 39.9) times 0.5.
TEST(MakeWorkData, LongJobSplitsIntoNumberedBandsWithGapsAndShifts)
{
    WorkSetup s;
    s.machine.m_ratio = 0.5;
    s.Band(20.0, 0.1, 0);
    s.Add(MakeLine(MmSquare(0, 0, 10, 30)));
    s.Add(MakeLine(MmSquare(20, 60, 30, 70)));
    ASSERT_TRUE(s.Make());
    EXPECT_EQ(s.header.m_banded, 1);
    const std::vector<WORKLAYER*> layers = Layers(s.header.m_layers);
    ASSERT_EQ(layers.size(), 3u);
    const double gaps[] = {0.0, 20.1, 39.9};
    for (std::uint32_t k = 0; k < 3; ++k) {
        EXPECT_EQ(layers[k]->m_bandIndex, k);
        EXPECT_NEAR(layers[k]->m_bandGap, gaps[k], 1e-9);
        EXPECT_EQ(layers[k]->m_speed, 100.0f);
        ASSERT_EQ(Paths(layers[k]).size(), 1u);
    }
    ExpectPoints(layers[0]->m_paths, {{0, 20}, {0, -0.1}, {10, -0.1}, {10, 20}});
    ExpectPoints(layers[1]->m_paths, {{20.05, 10.1}, {20.05, 20}, {10.05, 20}, {10.05, 10.1}});
    ExpectPoints(layers[2]->m_paths, {{50, 10}, {60, 10}, {60, 20}, {50, 20}, {50, 10}});
    EXPECT_NEAR(s.header.m_minY, -0.1, 1e-9);
    EXPECT_NEAR(s.header.m_maxX, 60.0, 1e-9);
    EXPECT_NEAR(s.header.m_pitchY, 20.1, 1e-9);
    EXPECT_EQ(s.header.m_firstExtents[2], 70.0); // banding leaves the first extents
}

TEST(MakeWorkData, LayersComeInFirstUseOrderAndLayersWithoutOutputOrPathsDisappear)
{
    WorkSetup s;
    FindLayerParams(s.settings.m_pLayers, 4)->m_border = 0; // layer 4 gives no output
    s.Add(MakeLine(MmSquare(0, 0, 1, 1), 5));
    s.Add(MakeLine(MmSquare(2, 0, 3, 1), 2));
    s.Add(MakeLine(MmSquare(4, 0, 5, 1), 5));
    s.Add(MakeLine(MmSquare(6, 0, 7, 1), 4));
    s.Add(MakeLine({{kO, kO}, {kO + 0.000001, kO}}, 6)); // a cut path of no length
    s.Add(MakeLine(MmSquare(8, 0, 9, 1), 300));          // no parameter record
    ASSERT_TRUE(s.Make());
    const std::vector<WORKLAYER*> layers = Layers(s.header.m_layers);
    ASSERT_EQ(layers.size(), 2u);
    EXPECT_EQ(layers[0]->m_layerId, 5u);
    EXPECT_EQ(Paths(layers[0]).size(), 2u);
    EXPECT_EQ(layers[1]->m_layerId, 2u);
    // The extents are taken before the layers without output go.
    EXPECT_EQ(s.header.m_maxX, 9.0);
}

TEST(FillOutHeader, JobNameIsTheFileNameWithoutItsWorkFileEndingCutToEightBytes)
{
    struct Case {
        const char* path;
        std::vector<unsigned char> name;
    };
    const Case cases[] = {
        {"/home/op/my.outline.out", {'m', 'y', '.', 'o', 'u', 't', 'l', 'i'}},
        {"C:\\jobs\\abcdefghij.OUT", {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}},
        {"part.out", {'p', 'a', 'r', 't'}},
        {"dir/.out", {'.', 'o', 'u', 't'}},
        {"x.Out", {'x', '.', 'O', 'u', 't'}},
        // 甲 BC D7, 乙 D2 D2, 丙 B1 FB in the code page: the third would
        // need bytes 8 and 9.
        {"/w/abc\xe7\x94\xb2\xe4\xb9\x99\xe4\xb8\x99.out", {'a', 'b', 'c', 0xBC, 0xD7, 0xD2, 0xD2}},
    };
    for (const Case& c : cases) {
        WORKHEAD header;
        std::memset(header.m_jobName, 'Z', sizeof header.m_jobName);
        WORKLAYER* layer = LinkLayers({MakeLayer({MakePath({{0, 0}, {1, 1}})})});
        layer->m_mode = 1;
        MachineNode machine;
        CFileTrans::FillOutHeader(&header, layer, &machine, c.path, 0);
        std::vector<unsigned char> expected = c.name;
        expected.resize(12, 0);
        EXPECT_EQ(std::vector<unsigned char>(header.m_jobName, header.m_jobName + 12), expected) << c.path;
        FreePathRecordGroups(layer);
    }
}

TEST(FillOutHeader, ArraysKeepTheirPitchesAndTheMachineGivesTheClosingOverlap)
{
    WORKHEAD header;
    header.m_arrayUse = 1;
    header.m_pitchX = 55.0;
    header.m_pitchY = 66.0;
    WORKLAYER* layer = LinkLayers({MakeLayer({MakePath({{0, 0}, {4, 3}})})});
    layer->m_mode = 2;
    MachineNode machine;
    machine.m_tech = new CMachineTech(u"m");
    machine.m_tech->m_close_use = 1;
    machine.m_tech->m_close_repay = 0.25;
    CFileTrans::FillOutHeader(&header, layer, &machine, "a", 0);
    EXPECT_EQ(header.m_pitchX, 55.0);
    EXPECT_EQ(header.m_pitchY, 66.0);
    EXPECT_EQ(header.m_closeRepay, 0.25);
    EXPECT_EQ(header.m_layers, layer);
    FreePathRecordGroups(layer);
}

TEST(MakeWorkData, FailuresLeaveNoLayersAndTheDocumentAndHistoryUntouched)
{
    auto build = [](WorkSetup& s) {
        // A group holding a group: dissolved in the job, kept in the document.
        CDocData* inner = new CDocDataGroup(LinkObjects({MakeLine(MmSquare(1, 1, 2, 2))}), nullptr);
        s.Add(new CDocDataGroup(LinkObjects({MakeLine(MmSquare(0, 0, 5, 5)), inner}), nullptr));
        s.Add(MakeLine(MmSquare(10, 0, 20, 20000)));
    };
    enum { kNoMachine, kTooManyBands, kNotANumber, kBuilt };
    for (int fault : {kNoMachine, kTooManyBands, kNotANumber, kBuilt}) {
        WorkSetup s;
        build(s);
        auto* older = new CDocListNode;
        auto* newer = new CDocListNode;
        s.document.m_pOlder = older;
        s.document.m_pNewer = newer;
        s.Band(fault == kTooManyBands ? 1.0 : 50000.0, 0.1, 0);
        if (fault == kNoMachine)
            s.settings.m_nCurMachine = 1;
        CDocData* group = s.document.m_pFirst;
        CDocData* groupChildren = static_cast<CDocDataGroup*>(group)->m_pChildren;
        CDocData* tall = group->m_pNext;
        if (fault == kNotANumber)
            tall->m_pNodes->m_pNext->m_x = std::numeric_limits<double>::quiet_NaN();
        WORKLAYER stale;
        s.header.m_layers = &stale; // to be overwritten

        EXPECT_EQ(s.Make(), fault == kBuilt) << fault;
        if (fault != kBuilt)
            EXPECT_EQ(s.header.m_layers, nullptr) << fault;
        else
            EXPECT_NE(s.header.m_layers, nullptr);
        EXPECT_EQ(s.ctx.m_pCurrent, &s.document);
        EXPECT_EQ(s.document.m_pOlder, older);
        EXPECT_EQ(s.document.m_pNewer, newer);
        EXPECT_EQ(older->m_pFirst, nullptr);
        EXPECT_EQ(s.document.m_pFirst, group);
        EXPECT_EQ(static_cast<CDocDataGroup*>(group)->m_pChildren, groupChildren);
        EXPECT_EQ(group->m_pNext, tall);
        EXPECT_EQ(tall->m_pNext, nullptr);
        EXPECT_EQ(tall->m_pNodes->m_y, kO);
        s.document.m_pOlder = s.document.m_pNewer = nullptr;
        delete older;
        delete newer;
    }

    WorkSetup empty;
    EXPECT_FALSE(empty.Make());
    EXPECT_EQ(empty.header.m_layers, nullptr);
}

TEST(FlattenGroups, OnlyPlainGroupsHoldingGroupsOrArraysAreDissolved)
{
    CDocData* a = MakeLine(Square(0, 0, 1, 1));
    CDocData* b = MakeLine(Square(2, 0, 3, 1));
    CDocData* c = MakeLine(Square(4, 0, 5, 1));
    CDocData* d = MakeLine(Square(6, 0, 7, 1));
    CDocData* e = MakeLine(Square(8, 0, 9, 1));
    d->m_pArray = new ARRAYREC;
    auto* plain = new CDocDataGroup(LinkObjects({a}), nullptr);
    auto* inner = new CDocDataGroup(LinkObjects({b}), nullptr);
    auto* outer = new CDocDataGroup(LinkObjects({inner, c}), nullptr);
    auto* arrayed = new CDocDataGroup(LinkObjects({d}), nullptr);
    auto* kept = new CDocDataGroup(LinkObjects({e, new CDocDataGroup(nullptr, nullptr)}), nullptr);
    kept->m_pArray = new ARRAYREC;
    CDocData* list = LinkObjects({plain, outer, arrayed, kept});
    CFileTrans::FlattenGroups(list);
    std::vector<CDocData*> order;
    for (CDocData* o = list; o != nullptr; o = o->m_pNext)
        order.push_back(o);
    EXPECT_EQ(order, (std::vector<CDocData*>{plain, inner, c, d, kept}));
    DeleteObjectList(list);
}

// A layer both cut and scanned whose first path is an image scan becomes a
// scan layer (not a cut layer whose moves would join the scan lines), and
// its outlines, whichever comes first, go to layers of their own: the cut
// layer never holds scan lines and the engraving never takes them for
// outlines.
TEST(MakeWorkData, ImagesOfACutAndScanLayerAreScannedOnALayerOfTheirOwn)
{
    ScratchProgramFolder folder;
    WriteDarkImage(folder);
    for (bool imageFirst : {true, false}) {
        WorkSetup s;
        WorkParams* params = FindLayerParams(s.settings.m_pLayers, 3);
        params->m_sweep = 1;
        auto* image = new CDocDataBitmap("dark", folder.Root() + "dark.bmp", kO, kO, 0, &s.ctx);
        image->SetColor(3, 0);
        if (imageFirst)
            s.Add(image);
        s.Add(MakeLine(MmSquare(0, 0, 1, 1), 3));
        if (!imageFirst)
            s.Add(image);
        ASSERT_TRUE(s.Make());
        const std::vector<WORKLAYER*> layers = Layers(s.header.m_layers);
        ASSERT_EQ(layers.size(), 3u);
        WORKLAYER* scan = imageFirst ? layers[0] : layers[2];
        WORKLAYER* cut = imageFirst ? layers[1] : layers[0];
        WORKLAYER* carve = imageFirst ? layers[2] : layers[1];
        EXPECT_EQ(scan->m_mode, 2);
        EXPECT_EQ(scan->m_speed, 300.0f);
        EXPECT_EQ(scan->m_freeSpeed, 300.0f);
        EXPECT_EQ(scan->m_maxPower1, 2000);
        EXPECT_EQ(scan->m_startDelay, 0);
        ForEachPath(*scan, [](PATHREC& p) { EXPECT_EQ(p.m_subkind, 2); });
        EXPECT_EQ(cut->m_mode, 1);
        EXPECT_EQ(cut->m_speed, 100.0f);
        const std::vector<PATHREC*> outline = Paths(cut);
        ASSERT_EQ(outline.size(), 1u);
        EXPECT_EQ(outline[0]->m_subkind, 0);
        EXPECT_EQ(carve->m_mode, 2);
        for (WORKLAYER* l : layers)
            EXPECT_EQ(l->m_layerId, 3u);
    }
}

// Messages shown are recorded, with these texts of "phase15:error-hint",
// while it lives.
struct ShownErrors {
    plat::RecordingPrompt prompt;
    std::array<std::u16string, kLanguageTableSize> table{};
    explicit ShownErrors(std::initializer_list<std::pair<int, std::u16string_view>> entries)
    {
        table[3] = u"phase15:error-hint";
        for (const auto& [entry, text] : entries)
            table[4 + entry] = text;
        SetLanguageTable(table);
        plat::SetPrompt(&prompt);
    }
    ~ShownErrors()
    {
        SetLanguageTable({});
        plat::SetPrompt(nullptr);
    }
};

// pattern.bmp: 4 x 3 pixels of 0.1 mm, shown top row first: dark dark
// white dark / white white white white / white dark dark white.
void WritePatternImage(ScratchProgramFolder& folder)
{
    BmpForm form;
    form.width = 4;
    form.height = 3;
    folder.Write("pattern.bmp", MakeBmp(form, {{255, 0, 0, 255}, {255, 255, 255, 255}, {0, 0, 255, 0}}));
}

struct ScanRun {
    double x0, y0, x1, y1;
    int g0, g1;
    friend bool operator==(const ScanRun&, const ScanRun&) = default;
};

std::ostream& operator<<(std::ostream& os, const ScanRun& r)
{
    return os << "(" << r.x0 << "," << r.y0 << ")-(" << r.x1 << "," << r.y1 << ") " << r.g0 << ">" << r.g1;
}

// The segments of a layer's paths, in millimetres rounded to 1e-9.
std::vector<ScanRun> Runs(WORKLAYER* layer)
{
    auto r = [](double v) { return std::round(v * 1e9) / 1e9; };
    std::vector<ScanRun> out;
    ForEachPath(*layer, [&](PATHREC& p) {
        ForEachSegment(p, [&](SEGNODE& s) {
            out.push_back({r(s.m_x0), r(s.m_y0), r(s.m_x1), r(s.m_y1), s.m_nGrey0, s.m_nGrey1});
        });
    });
    return out;
}

// The pattern's runs with its top-left pixel at (x, y) mm: the rows are
// scanned toward +x from the top row, one 0.1 mm apart (the top row at the
// image's y, as it is drawn); the lone pixel at the row's end grows by
// 0.01 mm.
std::vector<ScanRun> PatternRuns(double x, double y)
{
    return {{x, y, x + 0.1, y, 255, 255}, {x + 0.3, y, x + 0.31, y, 255, 255},
            {x + 0.1, y + 0.2, x + 0.2, y + 0.2, 255, 255}};
}

ARRAYREC* Array(std::uint16_t rows, std::uint16_t cols, double dy, double dx)
{
    auto* a = new ARRAYREC;
    a->m_nRows = rows;
    a->m_nCols = cols;
    a->m_dDy = dy;
    a->m_dDx = dx;
    return a;
}

// An image inside groups, nested groups or group arrays is engraved as the
// same image ungrouped at each place a copy lies; with a rectangle in its
// group both are worked, in the layers and order the ungrouped pair gives.
TEST(MakeWorkData, ImagesInsideGroupsAreEngravedAsTheSameImageUngrouped)
{
    ScratchProgramFolder folder;
    WritePatternImage(folder);
    auto pattern = [&](WorkSetup& s) {
        auto* image = new CDocDataBitmap("pattern", folder.Root() + "pattern.bmp", kO, kO, 1, &s.ctx);
        image->SetColor(3, 0);
        return image;
    };
    auto scanOnly = [](WorkSetup& s) {
        WorkParams* p = FindLayerParams(s.settings.m_pLayers, 3);
        p->m_border = 0;
        p->m_sweep = 1;
        p->m_s_precision = 0.1;
    };
    auto group = [](std::initializer_list<CDocData*> children, ARRAYREC* array = nullptr) {
        auto* g = new CDocDataGroup(LinkObjects(children), nullptr);
        g->m_pArray = array;
        return g;
    };
    const std::vector<ScanRun> one = PatternRuns(0, 0);
    auto join = [](std::initializer_list<std::vector<ScanRun>> parts) {
        std::vector<ScanRun> all;
        for (const auto& p : parts)
            all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    // Plain, grouped, three groups deep, a 1 x 2 group array at 5 mm and a
    // 1 x 2 array (5 mm) of a 2 x 1 array (4 mm) holding the image.
    const std::vector<std::pair<std::function<CDocData*(WorkSetup&)>, std::vector<ScanRun>>> cases = {
        {[&](WorkSetup& s) { return pattern(s); }, one},
        {[&](WorkSetup& s) { return group({pattern(s)}); }, one},
        {[&](WorkSetup& s) { return group({group({group({pattern(s)})})}); }, one},
        {[&](WorkSetup& s) { return group({pattern(s)}, Array(1, 2, 0, 50)); }, join({one, PatternRuns(5, 0)})},
        {[&](WorkSetup& s) { return group({group({pattern(s)}, Array(2, 1, 40, 0))}, Array(1, 2, 0, 50)); },
         join({one, PatternRuns(0, 4), PatternRuns(5, 0), PatternRuns(5, 4)})},
    };
    for (std::size_t k = 0; k < cases.size(); ++k) {
        SCOPED_TRACE(k);
        WorkSetup s;
        scanOnly(s);
        s.Add(cases[k].first(s));
        ASSERT_TRUE(s.Make());
        const std::vector<WORKLAYER*> layers = Layers(s.header.m_layers);
        ASSERT_EQ(layers.size(), 1u);
        EXPECT_EQ(layers[0]->m_layerId, 3u);
        EXPECT_EQ(layers[0]->m_mode, 2);
        EXPECT_EQ(Runs(layers[0]), cases[k].second);
    }

    // A 1 mm square with the image at its corner, in a group, on a layer
    // that cuts and scans: the image is scanned on a layer of its own, the
    // square cut and engraved, the image's layer first when it leads.
    for (bool imageFirst : {true, false}) {
        WorkSetup s;
        scanOnly(s);
        FindLayerParams(s.settings.m_pLayers, 3)->m_border = 1;
        CDocData* square = MakeLine(MmSquare(0, 0, 1, 1), 3);
        s.Add(imageFirst ? group({pattern(s), square}) : group({square, pattern(s)}));
        ASSERT_TRUE(s.Make());
        const std::vector<WORKLAYER*> layers = Layers(s.header.m_layers);
        ASSERT_EQ(layers.size(), 3u);
        WORKLAYER* scan = imageFirst ? layers[0] : layers[2];
        WORKLAYER* cut = imageFirst ? layers[1] : layers[0];
        EXPECT_EQ(scan->m_mode, 2);
        EXPECT_EQ(Runs(scan), one);
        EXPECT_EQ(cut->m_mode, 1);
        EXPECT_EQ(Runs(cut), (std::vector<ScanRun>{{0, 0, 1, 0, 0, 0}, {1, 0, 1, 1, 0, 0}, {1, 1, 0, 1, 0, 0},
                                                   {0, 1, 0, 0, 0, 0}}));
    }

    // Banding groups the image with the 3 mm square it lies in, 1 mm from
    // the square's corner: one band of 1000 mm, whose line the job's top
    // edge (3 mm) is moved onto, so every y grows by 997; the image is
    // scanned still.
    WorkSetup s;
    scanOnly(s);
    FindLayerParams(s.settings.m_pLayers, 3)->m_border = 1;
    s.Band(1000, 0, 0);
    s.Add(MakeLine(MmSquare(-1, -1, 2, 2), 3));
    s.Add(pattern(s));
    ASSERT_TRUE(s.Make());
    const std::vector<WORKLAYER*> layers = Layers(s.header.m_layers);
    ASSERT_EQ(layers.size(), 3u);
    EXPECT_EQ(layers[2]->m_mode, 2);
    EXPECT_EQ(Runs(layers[2]), PatternRuns(1, 998));
}

// Group arrays whose copies multiply beyond what an engraving may hold
// (400 x 400 = 160,000 places of the image) leave the image out with the
// "image too large" message instead of exhausting memory.
TEST(MakeWorkData, ImageCopiesBeyondTheLimitAreLeftOutWithTheTooLargeMessage)
{
    ScratchProgramFolder folder;
    WritePatternImage(folder);
    const ShownErrors shown({{7, u"The image is too large: there is not enough memory."}});
    WorkSetup s;
    FindLayerParams(s.settings.m_pLayers, 3)->m_sweep = 1;
    auto* image = new CDocDataBitmap("pattern", folder.Root() + "pattern.bmp", kO, kO, 1, &s.ctx);
    image->SetColor(3, 0);
    auto* inner = new CDocDataGroup(image, nullptr);
    inner->m_pArray = Array(400, 1, 10, 0);
    auto* outer = new CDocDataGroup(inner, nullptr);
    outer->m_pArray = Array(1, 400, 0, 10);
    s.Add(outer);
    s.Make();
    EXPECT_EQ(s.header.m_layers, nullptr);
    ASSERT_EQ(shown.prompt.m_shown.size(), 1u);
    EXPECT_EQ(shown.prompt.m_shown[0].text, u"The image is too large: there is not enough memory.");
}

// Images go out only as engravings: on layers that do not scan they are
// left out, never cut along their scan lines, and one message names every
// such layer before the job goes anywhere.
TEST(MakeWorkData, ImagesOnLayersThatDoNotScanAreLeftOutWithOneMessage)
{
    ScratchProgramFolder folder;
    WriteDarkImage(folder);
    const ShownErrors shown({{41, u"Layer "}, {42, u" holds images but does not engrave; they were left out."}});
    // Layer 3 cuts only (the defaults), layer 7 does nothing; layer 5 scans
    // and keeps its image. The image of layer 7 lies in a group.
    WorkSetup s;
    FindLayerParams(s.settings.m_pLayers, 5)->m_sweep = 1;
    FindLayerParams(s.settings.m_pLayers, 7)->m_border = 0;
    for (int layer : {3, 5, 3, 7}) {
        auto* image = new CDocDataBitmap("dark", folder.Root() + "dark.bmp", kO, kO, 0, &s.ctx);
        image->SetColor(layer, 0);
        s.Add(layer == 7 ? new CDocDataGroup(image, nullptr) : static_cast<CDocData*>(image));
    }
    s.Add(MakeLine(MmSquare(0, 0, 1, 1), 3));
    ASSERT_TRUE(s.Make());
    ASSERT_EQ(shown.prompt.m_shown.size(), 1u);
    EXPECT_EQ(shown.prompt.m_shown[0].text, u"Layer 3 holds images but does not engrave; they were left out.\n"
                                            u"Layer 7 holds images but does not engrave; they were left out.");
    const std::vector<WORKLAYER*> layers = Layers(s.header.m_layers);
    ASSERT_EQ(layers.size(), 2u);
    EXPECT_EQ(layers[0]->m_layerId, 3u);
    EXPECT_EQ(layers[0]->m_mode, 1);
    const std::vector<PATHREC*> cut = Paths(layers[0]);
    ASSERT_EQ(cut.size(), 1u);
    ExpectPoints(cut[0], {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}});
    EXPECT_EQ(layers[1]->m_layerId, 5u);
    EXPECT_EQ(layers[1]->m_mode, 2);
}

TEST(ProcessLayers, PathModesWithoutADirectionKeepTheDocumentOrder)
{
    for (std::uint8_t mode : {0, 2, 6, 200}) {
        WorkSetup s;
        s.settings.use_path = 1;
        s.settings.path_mode = mode;
        s.Add(MakeLine(MmSquare(50, 0, 60, 10)));
        s.Add(MakeLine(MmSquare(0, 0, 10, 10)));
        ASSERT_TRUE(s.Make());
        const std::vector<PATHREC*> paths = Paths(s.header.m_layers);
        ASSERT_EQ(paths.size(), 2u);
        // The optimised order starts at the lower-left corner.
        EXPECT_EQ(paths[0]->m_xmin, mode == 0 ? 0.0 : 50.0) << int(mode);
    }
}


// A caller may free the objects as soon as they are paths (a job build
// frees its copy of the drawing there): the ordering still knows that a
// lead record fixes the paths' directions, and reads nothing freed.
TEST(MakeWorkData, ObjectsFreedOnceReadStillFixPathDirectionsByTheirLeads)
{
    for (bool leads : {false, true}) {
        WorkSetup s;
        s.settings.use_path = 1;
        s.settings.path_mode = 0;
        s.Add(MakeLine({{kO + 200, kO + 100}, {kO, kO}}));
        CDocData* led = MakeLine({{kO + 400, kO + 400}, {kO + 410, kO + 400}});
        if (leads) {
            led->m_pLeadInOut = new LEADINOUT;
            led->m_pLeadInOut->m_dOutLength = 2.0;
        }
        s.Add(led);
        int released = 0;
        ASSERT_TRUE(CFileTrans::MakeWorkData(&s.header, &s.ctx, "job.out", [&] {
            ++released;
            DeleteObjectList(s.document.m_pFirst);
        }));
        EXPECT_EQ(released, 1);
        const std::vector<PATHREC*> paths = Paths(s.header.m_layers);
        ASSERT_EQ(paths.size(), 2u);
        // From the start corner the open line is nearest at (0, 0): it is
        // turned to begin there unless a lead record keeps it as drawn.
        if (leads)
            ExpectPoints(paths[0], {{20, 10}, {0, 0}});
        else
            ExpectPoints(paths[0], {{0, 0}, {20, 10}});
        ExpectPoints(paths[1], {{40, 40}, {41, 40}});
    }
}

// The optimised and inside-first orders hand on whole, well-linked rings of
// paths: after the records were moved into list order every link still
// pairs up both ways, the ring closes on its head, and a bracket keeps its
// array record.
TEST(ProcessLayers, OptimisedInsideFirstOrderKeepsRingsLinksAndArrays)
{
    WorkSetup s;
    s.settings.use_path = 1;
    s.settings.path_mode = 0;
    s.settings.path_in_out = 1;
    s.Add(MakeLine(MmSquare(0, 0, 10, 10)));
    CDocData* arrayed = MakeLine(MmSquare(20, 0, 22, 2));
    arrayed->m_pArray = new ARRAYREC;
    arrayed->m_pArray->m_nRows = 2;
    arrayed->m_pArray->m_dDy = 30.0;
    s.Add(arrayed);
    s.Add(MakeLine(MmSquare(2, 2, 4, 4)));
    s.Add(MakeLine(MmSquare(0, 20, 1, 21), 2));
    ASSERT_TRUE(s.Make());

    const std::vector<WORKLAYER*> layers = Layers(s.header.m_layers);
    ASSERT_EQ(layers.size(), 2u);
    const std::vector<PATHREC*> paths = Paths(layers[0]);
    ASSERT_EQ(paths.size(), 5u);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(paths[i]->m_pNext, paths[(i + 1) % paths.size()]) << i;
        EXPECT_EQ(paths[(i + 1) % paths.size()]->m_pPrev, paths[i]) << i;
    }
    // The inner square before the square around it, the copies last.
    EXPECT_EQ(paths[0]->m_xmin, 2.0);
    EXPECT_EQ(paths[1]->m_xmin, 0.0);
    ASSERT_NE(paths[2]->m_pArray, nullptr);
    EXPECT_EQ(paths[2]->m_pArray->m_nRows, 2);
    EXPECT_EQ(paths[3]->m_xmin, 20.0);
    EXPECT_EQ(paths[4]->m_kind, PATH_KIND_GROUP);
    EXPECT_EQ(paths[4]->m_pArray, nullptr);
    ExpectPoints(paths[3], {{20, 0}, {22, 0}, {22, 2}, {20, 2}, {20, 0}});
    const std::vector<PATHREC*> other = Paths(layers[1]);
    ASSERT_EQ(other.size(), 1u);
    EXPECT_EQ(other[0]->m_pNext, other[0]);
    EXPECT_EQ(other[0]->m_pPrev, other[0]);
}

// A layer both cut and scanned divides into its scan layer (first, as its
// parameters ask) and its cut layer, each with its mode's parameters.
TEST(MakeWorkData, OutlinesOfACutAndScanLayerAreEngravedOnALayerOfTheirOwn)
{
    WorkSetup s;
    WorkParams* params = FindLayerParams(s.settings.m_pLayers, 1);
    params->m_sweep = 1;
    params->m_sweep_first = 1;
    s.Add(MakeLine(MmSquare(0, 0, 2, 2), 1));
    ASSERT_TRUE(s.Make());
    const std::vector<WORKLAYER*> layers = Layers(s.header.m_layers);
    ASSERT_EQ(layers.size(), 2u);
    EXPECT_EQ(layers[0]->m_layerId, 1u);
    EXPECT_EQ(layers[0]->m_mode, 2);
    EXPECT_EQ(layers[0]->m_speed, 300.0f);
    EXPECT_EQ(layers[1]->m_layerId, 1u);
    EXPECT_EQ(layers[1]->m_mode, 1);
    EXPECT_EQ(layers[1]->m_speed, 100.0f);
    ExpectPoints(layers[1]->m_paths, {{0, 0}, {2, 0}, {2, 2}, {0, 2}, {0, 0}});
    // The scan runs inside the square.
    ForEachPath(*layers[0], [](PATHREC& p) {
        EXPECT_GE(p.m_xmin, -1e-9);
        EXPECT_LE(p.m_xmax, 2.0 + 1e-9);
    });
}

// A group repeated by the array page in 1 row of 3 columns 20 mm apart, on a
// layer that only scans: every scan row crosses all three copies, and no
// bracket is left to repeat the scan.
TEST(MakeWorkData, GroupArrayOnAScanLayerEngravesEveryCopy)
{
    WorkSetup s;
    WorkParams* params = FindLayerParams(s.settings.m_pLayers, 2);
    params->m_border = 0;
    params->m_sweep = 1;
    params->m_s_precision = 1.0;
    auto* group = new CDocDataGroup(LinkObjects({MakeLine(MmSquare(0, 0, 10, 10), 2)}), &s.ctx);
    group->m_nLayer = 2;
    group->m_pArray = new ARRAYREC{1, 3, 0.0, 200.0, 0, 600.0, 100.0};
    s.Add(group);
    ASSERT_TRUE(s.Make());
    const std::vector<WORKLAYER*> layers = Layers(s.header.m_layers);
    ASSERT_EQ(layers.size(), 1u);
    EXPECT_EQ(layers[0]->m_mode, 2);
    const std::vector<PATHREC*> paths = Paths(layers[0]);
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0]->m_kind, PATH_KIND_PATH);
    // Rows 1 mm apart from y = 0 up, 11 of them, each 0..10, 20..30, 40..50.
    std::vector<XY> ends;
    ForEachSegment(*paths[0], [&](SEGNODE& g) {
        ends.emplace_back(g.m_x0, g.m_y0);
        ends.emplace_back(g.m_x1, g.m_y1);
    });
    ASSERT_EQ(ends.size(), 2u * 3u * 11u);
    for (std::size_t k = 0; k < ends.size(); ++k) {
        const double left = 20.0 * static_cast<double>(k / 2 % 3);
        EXPECT_NEAR(ends[k].first, left + (k % 2 == 0 ? 0.0 : 10.0), 1e-9) << k;
        EXPECT_NEAR(ends[k].second, static_cast<double>(k / 6), 1e-9) << k;
    }
}

// Lines drawn as light-guide lines mark their work layer, which the chain
// then joins into one back-and-forth scan path; unmarked, the same lines
// stay two cut paths.
TEST(MakeWorkData, LightGuideLinesAreJoinedIntoOneScanPath)
{
    for (bool marked : {true, false}) {
        WorkSetup s;
        for (double y : {0.0, 20.0}) {
            CDocData* line = MakeLine({{kO, kO + y}, {kO + 100, kO + y}}, 7);
            if (marked)
                line->m_bOutput |= 0x80;
            s.Add(line);
        }
        ASSERT_TRUE(s.Make());
        WORKLAYER* layer = s.header.m_layers;
        ASSERT_NE(layer, nullptr);
        EXPECT_EQ(layer->m_next, nullptr);
        EXPECT_EQ(layer->m_mode, marked ? 2 : 1);
        EXPECT_EQ(Paths(layer).size(), marked ? 1u : 2u);
    }
}

// Start points: from (0, 0) the square is entered where its own last runs
// arrive moving up and right, at (10, 10). Dots every 3 mm along a 10 mm
// line on a dot layer. Merging of 0.25 mm steps to 0.8 mm ("circle export"
// 3): three steps each, and the last two steps before the ring's start.
TEST(ProcessLayers, StartPointsDotsAndMergingRunWhereTheirSwitchesAsk)
{
    WorkSetup s;
    s.machine.m_tech = new CMachineTech(u"m");
    s.machine.m_tech->m_disloc_use = 1;
    WorkParams* dots = FindLayerParams(s.settings.m_pLayers, 2);
    dots->m_b_hit_point = 1;
    dots->m_b_hit_dis = 3.0;
    s.Add(MakeLine(MmSquare(0, 0, 10, 10)));
    s.Add(MakeLine({{kO, kO + 200}, {kO + 100, kO + 200}}, 2));
    std::vector<XY> steps;
    for (int k = 0; k <= 12; ++k)
        steps.push_back({kO + 2.5 * k, kO + 300});
    s.Add(MakeLine(steps, 3));
    ASSERT_TRUE(s.Make());
    const std::vector<WORKLAYER*> layers = Layers(s.header.m_layers);
    ASSERT_EQ(layers.size(), 3u);
    ExpectPoints(layers[0]->m_paths, {{10, 10}, {0, 10}, {0, 0}, {10, 0}, {10, 10}});
    const std::vector<PATHREC*> dotPaths = Paths(layers[1]);
    ASSERT_EQ(dotPaths.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(dotPaths[k]->m_kind, PATH_KIND_DOT);
        EXPECT_NEAR(dotPaths[k]->m_pSegs->m_x0, 3.0 * k, 1e-9);
        EXPECT_NEAR(dotPaths[k]->m_pSegs->m_y0, 20.0, 1e-9);
    }
    ExpectPoints(layers[2]->m_paths, {{0, 30}, {0.75, 30}, {1.5, 30}, {2.25, 30}, {2.75, 30}, {3, 30}});
}

// Cut repair: row 0 (faster than the layer's 100 mm/s) gives 0.5 mm. The
// move to B sets the x direction to -x, the move to C turns it to +x: C
// moves 0.5 along x. Without the switch nothing moves.
TEST(ApplyLayerOptions, CutRepairShiftsThePathsAfterAReversalWhenSwitchedOn)
{
    for (std::uint8_t on : {0, 1}) {
        WorkSetup s;
        s.machine.m_tech = new CMachineTech(u"m");
        s.machine.m_tech->AppendCutRepair(1000.0, 0.5, 0.5);
        s.machine.m_tech->m_cut_use = on;
        s.Add(MakeLine({{kO, kO}, {kO + 100, kO}}));
        s.Add(MakeLine({{kO + 50, kO + 50}, {kO + 80, kO + 50}}));
        s.Add(MakeLine({{kO + 120, kO + 50}, {kO + 140, kO + 50}}));
        ASSERT_TRUE(s.Make());
        CFileTrans::ApplyLayerOptions(&s.header, &s.ctx);
        const std::vector<PATHREC*> paths = Paths(s.header.m_layers);
        ASSERT_EQ(paths.size(), 3u);
        ExpectPoints(paths[0], {{0, 0}, {10, 0}});
        ExpectPoints(paths[1], {{5, 5}, {8, 5}});
        const double d = on != 0 ? 0.5 : 0.0;
        ExpectPoints(paths[2], {{12 + d, 5}, {14 + d, 5}});
    }
}


// Large drawings are converted in pieces side by side and their bounds taken
// in pieces: every layer still holds its paths in document order, also
// across pieces, with copied objects (groups) and array brackets among the
// lines, and a bracket gets the extents of what it encloses.
TEST(MakeWorkData, ManyLinesAndCurvesKeepTheDocumentOrderOnEveryLayerAndBracketsTheirMembersExtents)
{
    WorkSetup s;
    constexpr int kCount = 30000;
    std::vector<CDocData*> objects;
    std::vector<int> expected[2]; // object numbers of layers 2 and 5, in order
    for (int i = 0; i < kCount; ++i) {
        const std::int32_t layer = i % 3 == 0 ? 2 : 5;
        CDocData* line = MakeLine(MmSquare(i * 0.01, 0, i * 0.01 + 0.005, 1), layer);
        const double x = kO + i * 0.1; // world units
        if (i % 5 == 1) {
            // A circle of 0.005 mm and a closed Bezier path over the same
            // box: curves go out through copies, converted side by side.
            delete line;
            line = new CDocDataEllipse(x, kO, x + 0.05, kO + 10);
            line->m_nLayer = layer;
        } else if (i % 5 == 3) {
            delete line;
            line = MakeBezier({{x, kO}, {x, kO + 10}, {x + 0.05, kO + 10}, {x + 0.05, kO}, {x + 0.05, kO}, {x, kO},
                               {x, kO}},
                              layer);
        } else if (i % 1000 == 999) {
            line = new CDocDataGroup(LinkObjects({line}), nullptr);
            line->m_nLayer = layer;
        } else if (i % 777 == 776) {
            line->m_pArray = new ARRAYREC;
            line->m_pArray->m_nRows = 2;
            line->m_pArray->m_dDy = 20.0;
        }
        objects.push_back(line);
        expected[layer == 2 ? 0 : 1].push_back(i);
    }
    s.document.m_pFirst = LinkObjectRange(objects);
    ASSERT_TRUE(s.Make());

    const std::vector<WORKLAYER*> layers = Layers(s.header.m_layers);
    ASSERT_EQ(layers.size(), 2u);
    EXPECT_EQ(layers[0]->m_layerId, 2u);
    EXPECT_EQ(layers[1]->m_layerId, 5u);
    for (int k = 0; k < 2; ++k) {
        std::vector<int> order;
        const std::vector<PATHREC*> paths = Paths(layers[static_cast<std::size_t>(k)]);
        for (std::size_t j = 0; j < paths.size(); ++j) {
            const PATHREC* p = paths[j];
            if (p->m_kind == PATH_KIND_GROUP) {
                if (p->m_pArray == nullptr)
                    continue;
                // Opening bracket, member, closing bracket.
                ASSERT_LT(j + 2, paths.size());
                for (const PATHREC* b : {p, static_cast<const PATHREC*>(paths[j + 2])}) {
                    EXPECT_EQ(b->m_xmin, paths[j + 1]->m_xmin);
                    EXPECT_EQ(b->m_xmax, paths[j + 1]->m_xmax);
                    EXPECT_EQ(b->m_ymax, paths[j + 1]->m_ymax);
                }
                continue;
            }
            EXPECT_EQ(p->m_closed, 1u);
            order.push_back(static_cast<int>(std::lround(p->m_xmin / 0.01)));
        }
        EXPECT_EQ(order, expected[k]) << "layer " << layers[static_cast<std::size_t>(k)]->m_layerId;
    }
}

} // namespace
} // namespace plat
