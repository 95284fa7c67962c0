#include "settings/MachineNode.h"
#include "settings/MachineTech.h"
#include "settings/ReadParamFile.h"

#include "ScratchProgramFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>
#include <vector>

namespace {

std::vector<std::pair<double, double>> CarveRows(const CMachineTech& t)
{
    std::vector<std::pair<double, double>> rows;
    const CARVEREPAIR* prev = nullptr;
    for (const CARVEREPAIR* r = t.m_pCarveRepair; r != nullptr; r = r->next) {
        EXPECT_EQ(r->prev, prev);
        prev = r;
        rows.emplace_back(r->speed, r->inter);
    }
    return rows;
}

std::vector<std::pair<double, double>> LimitRows(const CMachineTech& t)
{
    std::vector<std::pair<double, double>> rows;
    const SPEEDLIMIT* prev = nullptr;
    for (const SPEEDLIMIT* r = t.m_pSpeedLimit; r != nullptr; r = r->next) {
        EXPECT_EQ(r->prev, prev);
        prev = r;
        rows.emplace_back(r->frame, r->speed);
    }
    return rows;
}

std::vector<std::tuple<double, double, double>> CutRows(const CMachineTech& t)
{
    std::vector<std::tuple<double, double, double>> rows;
    const CUTREPAIR* prev = nullptr;
    for (const CUTREPAIR* r = t.m_pCutRepair; r != nullptr; r = r->next) {
        EXPECT_EQ(r->prev, prev);
        prev = r;
        rows.emplace_back(r->speed, r->x_rt, r->y_rt);
    }
    return rows;
}

using Rows2 = std::vector<std::pair<double, double>>;
using Rows3 = std::vector<std::tuple<double, double, double>>;

} // namespace

TEST(MachineTech, ReadsRowsInFileOrderWithTheirSwitches)
{
    ScratchProgramFolder scratch;
    scratch.Write("TechDef.par",
                  "carve repair\r\n1\r\nspeed\r\n100.000000\r\ninter\r\n0.050000\r\nspeed\r\n200\r\ninter\r\n0.1\r\n"
                  "carve end\r\nspeed limit\r\n0\r\nlimit end\r\ncut repair\r\n1\r\nspeed\r\n50\r\nx rt\r\n0.1\r\n"
                  "y rt\r\n-0.2\r\ncut end\r\nm_disloc_use\r\n1\r\nm_close_use\r\n1\r\nm_close_repay\r\n0.3\r\n");
    CMachineTech tech(u"Def");
    EXPECT_EQ(CarveRows(tech), (Rows2{{100.0, 0.05}, {200.0, 0.1}}));
    EXPECT_EQ(LimitRows(tech), Rows2{});
    EXPECT_EQ(CutRows(tech), (Rows3{{50.0, 0.1, -0.2}}));
    EXPECT_EQ(tech.m_carve_use, 1);
    EXPECT_EQ(tech.m_limit_use, 0);
    EXPECT_EQ(tech.m_cut_use, 1);
    EXPECT_EQ(tech.m_disloc_use, 1);
    EXPECT_EQ(tech.m_close_use, 1);
    EXPECT_DOUBLE_EQ(tech.m_close_repay, 0.3);
}

TEST(MachineTech, SpeedLimitRowsOpenWithFrame)
{
    ScratchProgramFolder scratch;
    CMachineTech tech(u"");
    tech.ReadLines({"speed limit", "1", "speed", "5", "frame", "10", "speed", "20", "frame", "50", "speed", "80",
                    "limit end"});
    // The "speed" before the first "frame" has no row to go to.
    EXPECT_EQ(LimitRows(tech), (Rows2{{10.0, 20.0}, {50.0, 80.0}}));
    EXPECT_EQ(tech.m_limit_use, 1);
}

TEST(MachineTech, RowFieldBeforeTheFirstRowIsIgnored)
{
    ScratchProgramFolder scratch;
    CMachineTech tech(u"");
    tech.ReadLines({"carve repair", "1", "inter", "9", "speed", "100", "inter", "0.5", "carve end"});
    EXPECT_EQ(CarveRows(tech), (Rows2{{100.0, 0.5}}));
}

TEST(MachineTech, UnknownSingleLinesDoNotShiftThePairing)
{
    ScratchProgramFolder scratch;
    CMachineTech tech(u"");
    tech.ReadLines({"stray", "carve repair", "1", "carve end", "another stray", "m_disloc_use", "1", "noise",
                    "m_close_repay", "2.5", "cut repair", "1", "bogus", "7", "speed", "10", "cut end"});
    EXPECT_EQ(tech.m_carve_use, 1);
    EXPECT_EQ(tech.m_disloc_use, 1);
    EXPECT_DOUBLE_EQ(tech.m_close_repay, 2.5);
    // An unknown key inside a section takes its value line with it.
    EXPECT_EQ(CutRows(tech), (Rows3{{10.0, 0.0, 0.0}}));
}

TEST(MachineTech, SectionWithoutEndLineRunsToEndOfFileKeepingLastRow)
{
    ScratchProgramFolder scratch;
    CMachineTech tech(u"");
    tech.ReadLines({"cut repair", "1", "speed", "10", "x rt", "1", "speed", "20", "y rt", "2", "x rt"});
    EXPECT_EQ(CutRows(tech), (Rows3{{10.0, 1.0, 0.0}, {20.0, 0.0, 2.0}}));
}

TEST(MachineTech, WriterLaysTheFileOutByteForByte)
{
    ScratchProgramFolder scratch;
    CMachineTech tech(u"Def");
    tech.AppendCarveRepair(100.0, 0.05);
    tech.AppendCutRepair(50.0, 0.1, -0.2);
    tech.m_carve_use = 1;
    tech.m_limit_use = 0;
    tech.m_cut_use = 1;
    tech.m_disloc_use = 1;
    tech.m_close_use = 0;
    tech.m_close_repay = 0.3;
    ASSERT_TRUE(CReadParamFile().WriteTechParam(tech));
    EXPECT_EQ(scratch.Read("TechDef.par"),
              "carve repair\r\n1\r\nspeed\r\n100.000000\r\ninter\r\n0.050000\r\ncarve end\r\n"
              "speed limit\r\n0\r\nlimit end\r\n"
              "cut repair\r\n1\r\nspeed\r\n50.000000\r\nx rt\r\n0.100000\r\ny rt\r\n-0.200000\r\ncut end\r\n"
              "m_disloc_use\r\n1\r\nm_close_use\r\n0\r\nm_close_repay\r\n0.300000\r\n");

    CMachineTech back(u"Def");
    EXPECT_EQ(CarveRows(back), CarveRows(tech));
    EXPECT_EQ(CutRows(back), CutRows(tech));
    EXPECT_DOUBLE_EQ(back.m_close_repay, 0.3);
}

TEST(MachineTech, MissingFileKeepsEmptyDefaultsAndWritesNothing)
{
    ScratchProgramFolder scratch;
    CMachineTech tech(u"Nope");
    EXPECT_EQ(tech.m_pCarveRepair, nullptr);
    EXPECT_EQ(tech.m_pSpeedLimit, nullptr);
    EXPECT_EQ(tech.m_pCutRepair, nullptr);
    EXPECT_EQ(tech.m_carve_use + tech.m_limit_use + tech.m_cut_use + tech.m_disloc_use + tech.m_close_use, 0);
    EXPECT_EQ(tech.m_close_repay, 0.0);
    EXPECT_TRUE(CReadParamFile().ReadTechParam(tech));
    EXPECT_FALSE(scratch.Exists("TechNope.par"));
}

TEST(MachineTech, WriteReportsFailureWhenTheFolderIsMissing)
{
    ScratchProgramFolder scratch;
    scratch.Write("workPath.txt", scratch.Root() + "gone/deeper/work/\r\n");
    CMachineTech tech(u"Def");
    EXPECT_FALSE(CReadParamFile().WriteTechParam(tech));
}

TEST(MachineTech, HostileNameStaysInTheParameterFolderForReadAndWrite)
{
    ScratchProgramFolder scratch;
    CMachineTech tech(u"../../evil");
    tech.m_disloc_use = 1;
    ASSERT_TRUE(CReadParamFile().WriteTechParam(tech));
    EXPECT_TRUE(scratch.Exists("Tech.._.._evil.par"));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(scratch.Root()).parent_path().parent_path() / "evil.par"));
    CMachineTech back(u"../../evil");
    EXPECT_EQ(back.m_disloc_use, 1);
}

TEST(MachineTech, ClearFreesEveryListAndTheMachineEntryDestroysItsRecord)
{
    ScratchProgramFolder scratch;
    CMachineTech tech(u"");
    tech.AppendCarveRepair(1, 2);
    tech.AppendSpeedLimit(3, 4);
    tech.AppendCutRepair(5, 6, 7);
    EXPECT_TRUE(tech.Clear());
    EXPECT_EQ(tech.m_pCarveRepair, nullptr);
    EXPECT_EQ(tech.m_pSpeedLimit, nullptr);
    EXPECT_EQ(tech.m_pCutRepair, nullptr);

    // Owned by a machine entry: its release deletes the record and its rows
    // (the leak checker of the sanitizer build sees any row left behind).
    MachineNode node;
    node.m_tech = new CMachineTech(u"");
    node.m_tech->AppendSpeedLimit(10, 20);
    node.ReleaseMembers();
    EXPECT_EQ(node.m_tech, nullptr);
}
