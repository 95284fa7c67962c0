// The layer parameter file WorkParam.par: the defaults of a record, the file
// written when none exists, groups taken by position, the single-precision
// z lift of scanning, and files with values that have no record to go to.
#include "settings/ReadParamFile.h"
#include "settings/WorkParams.h"
#include "platform/TextFile.h"

#include "ScratchProgramFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <limits>
#include <vector>

namespace {

// One record's entries with the defaults, as worked out from the record's
// table; the layer id is the first value.
std::string DefaultGroup(int layer)
{
    return "m_group_num\r\n" + std::to_string(layer) + "\r\n"
           "m_border\r\n1\r\nm_sweep\r\n0\r\nm_sweep_first\r\n0\r\n"
           "m_speed_unit\r\n0\r\nm_perc_unit\r\n0\r\nm_size_unit\r\n0\r\n"
           "m_b_speed\r\n100.000000\r\nm_b_free_speed\r\n100.000000\r\nm_b_light_def\r\n0\r\n"
           "m_b_min_light1\r\n20.000000\r\nm_b_max_light1\r\n30.000000\r\n"
           "m_b_min_light2\r\n20.000000\r\nm_b_max_light2\r\n30.000000\r\n"
           "m_b_st_delay\r\n0\r\nm_b_ed_delay\r\n0\r\nm_b_delay_lsr_act\r\n0\r\nm_b_delay_laser\r\n0.000000\r\n"
           "m_b_cuiqi\r\n1\r\nm_b_auto_cuiqi\r\n0\r\nm_b_hit_point\r\n0\r\n"
           "m_b_hit_dis\r\n0.000000\r\nm_b_hit_time\r\n0.000000\r\nm_b_z_rish\r\n0.000000\r\n"
           "m_b_delay_after_work\r\n0\r\nm_b_delay_after_work_v\r\n0.000000\r\n"
           "m_s_speed\r\n300.000000\r\nm_s_light_def\r\n0\r\n"
           "m_s_min_light1\r\n20.000000\r\nm_s_min_light2\r\n20.000000\r\n"
           "m_s_max_light1\r\n20.000000\r\nm_s_max_light2\r\n20.000000\r\n"
           "m_s_diameter_use\r\n0\r\nm_s_method\r\n0\r\nm_s_precision\r\n0.050000\r\n"
           "m_s_incline\r\n0.000000\r\nm_s_diameter\r\n0.100000\r\n"
           "m_s_mid_repair\r\n0.000000\r\nm_s_sid_repair\r\n0.000000\r\nm_s_map_rpy_tbl\r\n0\r\n"
           "m_s_cuiqi\r\n1\r\nm_s_auto_cuiqi\r\n0\r\n"
           "m_s_delay_after_work\r\n0\r\nm_s_delay_after_work_v\r\n0.000000\r\n"
           "m_s_grid_mode\r\n0\r\nm_s_grid_type\r\n0\r\n"
           "m_s_grid_size\r\n0.100000\r\nm_s_grid_inter\r\n0.100000\r\nm_s_z_rish\r\n0.000000\r\n";
}

#define EXPECT_FIELD_EQ(a, b, f) EXPECT_EQ((a).f, (b).f) << #f << " of layer " << (a).m_group_num

void ExpectSameRecord(const WorkParams& a, const WorkParams& b)
{
    EXPECT_FIELD_EQ(a, b, m_group_num);
    EXPECT_FIELD_EQ(a, b, m_border);
    EXPECT_FIELD_EQ(a, b, m_sweep);
    EXPECT_FIELD_EQ(a, b, m_sweep_first);
    EXPECT_FIELD_EQ(a, b, m_speed_unit);
    EXPECT_FIELD_EQ(a, b, m_perc_unit);
    EXPECT_FIELD_EQ(a, b, m_size_unit);
    EXPECT_FIELD_EQ(a, b, m_b_speed);
    EXPECT_FIELD_EQ(a, b, m_b_free_speed);
    EXPECT_FIELD_EQ(a, b, m_b_light_def);
    EXPECT_FIELD_EQ(a, b, m_b_min_light1);
    EXPECT_FIELD_EQ(a, b, m_b_max_light1);
    EXPECT_FIELD_EQ(a, b, m_b_min_light2);
    EXPECT_FIELD_EQ(a, b, m_b_max_light2);
    EXPECT_FIELD_EQ(a, b, m_b_st_delay);
    EXPECT_FIELD_EQ(a, b, m_b_ed_delay);
    EXPECT_FIELD_EQ(a, b, m_b_delay_lsr_act);
    EXPECT_FIELD_EQ(a, b, m_b_delay_laser);
    EXPECT_FIELD_EQ(a, b, m_b_cuiqi);
    EXPECT_FIELD_EQ(a, b, m_b_auto_cuiqi);
    EXPECT_FIELD_EQ(a, b, m_b_hit_point);
    EXPECT_FIELD_EQ(a, b, m_b_hit_dis);
    EXPECT_FIELD_EQ(a, b, m_b_hit_time);
    EXPECT_FIELD_EQ(a, b, m_b_z_rish);
    EXPECT_FIELD_EQ(a, b, m_b_delay_after_work);
    EXPECT_FIELD_EQ(a, b, m_b_delay_after_work_v);
    EXPECT_FIELD_EQ(a, b, m_s_speed);
    EXPECT_FIELD_EQ(a, b, m_s_light_def);
    EXPECT_FIELD_EQ(a, b, m_s_min_light1);
    EXPECT_FIELD_EQ(a, b, m_s_min_light2);
    EXPECT_FIELD_EQ(a, b, m_s_max_light1);
    EXPECT_FIELD_EQ(a, b, m_s_max_light2);
    EXPECT_FIELD_EQ(a, b, m_s_diameter_use);
    EXPECT_FIELD_EQ(a, b, m_s_method);
    EXPECT_FIELD_EQ(a, b, m_s_precision);
    EXPECT_FIELD_EQ(a, b, m_s_incline);
    EXPECT_FIELD_EQ(a, b, m_s_diameter);
    EXPECT_FIELD_EQ(a, b, m_s_mid_repair);
    EXPECT_FIELD_EQ(a, b, m_s_sid_repair);
    EXPECT_FIELD_EQ(a, b, m_s_map_rpy_tbl);
    EXPECT_FIELD_EQ(a, b, m_s_cuiqi);
    EXPECT_FIELD_EQ(a, b, m_s_auto_cuiqi);
    EXPECT_FIELD_EQ(a, b, m_s_delay_after_work);
    EXPECT_FIELD_EQ(a, b, m_s_delay_after_work_v);
    EXPECT_FIELD_EQ(a, b, m_s_grid_mode);
    EXPECT_FIELD_EQ(a, b, m_s_grid_type);
    EXPECT_FIELD_EQ(a, b, m_s_grid_size);
    EXPECT_FIELD_EQ(a, b, m_s_grid_inter);
    EXPECT_FIELD_EQ(a, b, m_s_z_rish);
}

std::vector<WorkParams*> Records(WorkParams* head)
{
    std::vector<WorkParams*> v;
    const WorkParams* prev = nullptr;
    for (WorkParams* r = head; r != nullptr; r = r->m_pNext) {
        EXPECT_EQ(r->m_pPrev, prev);
        prev = r;
        v.push_back(r);
    }
    return v;
}

// A list read from the scratch folder, freed at the end of the test.
struct ReadList {
    ReadList() : head(CReadParamFile().ReadWorkParam()), rec(Records(head)) {}
    ~ReadList() { FreeWorkParamList(head); }
    WorkParams* head;
    std::vector<WorkParams*> rec;
};

} // namespace

TEST(WorkParams, MissingFileIsWrittenWith256DefaultGroupsAndReadsBackEqual)
{
    ScratchProgramFolder scratch;
    {
        ReadList list;
        ASSERT_EQ(list.rec.size(), 256u);
        for (int k = 0; k < 256; ++k)
            EXPECT_EQ(list.rec[static_cast<std::size_t>(k)]->m_group_num, k);
    }
    std::string expected;
    for (int k = 0; k < 256; ++k)
        expected += DefaultGroup(k);
    const std::string written = scratch.Read("WorkParam.par");
    EXPECT_EQ(written, expected);
    std::vector<std::string> lines;
    ASSERT_TRUE(plat::ReadTextLines(scratch.Root() + "WorkParam.par", lines));
    EXPECT_EQ(lines.size(), 25088u);

    ReadList again;
    WorkParams* defaults = MakeDefaultLayerList();
    const std::vector<WorkParams*> want = Records(defaults);
    ASSERT_EQ(again.rec.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i)
        ExpectSameRecord(*again.rec[i], *want[i]);
    FreeWorkParamList(defaults);
}

TEST(WorkParams, ChangedRecordsSurviveWriteAndRead)
{
    ScratchProgramFolder scratch;
    WorkParams* list = MakeDefaultLayerList();
    std::vector<WorkParams*> r = Records(list);
    r[5]->m_sweep = 1;
    r[5]->m_b_st_delay = 65535;
    r[5]->m_b_speed = 12.5;
    r[5]->m_s_auto_cuiqi = 1;
    r[5]->m_s_incline = -0.25;
    r[200]->m_s_method = 3;
    r[200]->m_b_hit_point = 1;
    r[200]->m_s_delay_after_work_v = 2.000001;
    r[255]->m_border = 0;
    r[255]->m_s_z_rish = 0.5; // exact in single precision
    ASSERT_TRUE(CReadParamFile().WriteWorkParam(list));

    ReadList back;
    ASSERT_EQ(back.rec.size(), 256u);
    for (std::size_t i = 0; i < 256; ++i)
        ExpectSameRecord(*back.rec[i], *r[i]);
    FreeWorkParamList(list);
}

TEST(WorkParams, ScanZLiftIsHeldAtSinglePrecisionAndCutZLiftIsNot)
{
    ScratchProgramFolder scratch;
    scratch.Write("WorkParam.par", "m_group_num\n0\nm_s_z_rish\n0.1\nm_b_z_rish\n0.1\n");
    ReadList list;
    EXPECT_EQ(list.rec[0]->m_s_z_rish, 0.10000000149011612);
    EXPECT_EQ(list.rec[0]->m_b_z_rish, 0.1);
}

TEST(WorkParams, GroupsFillRecordsByPositionWhateverTheirLayerId)
{
    ScratchProgramFolder scratch;
    scratch.Write("WorkParam.par", "m_group_num\n7\nm_sweep\n1\n"
                                   "m_group_num\n3\nm_b_speed\n55.5\n"
                                   "m_group_num\n9\nm_border\n0\n");
    ReadList list;
    ASSERT_EQ(list.rec.size(), 256u);
    EXPECT_EQ(list.rec[0]->m_group_num, 7);
    EXPECT_EQ(list.rec[0]->m_sweep, 1);
    EXPECT_EQ(list.rec[1]->m_group_num, 3);
    EXPECT_EQ(list.rec[1]->m_b_speed, 55.5);
    EXPECT_EQ(list.rec[2]->m_group_num, 9);
    EXPECT_EQ(list.rec[2]->m_border, 0);
    // The rest keep their defaults and their own ids.
    EXPECT_EQ(list.rec[3]->m_group_num, 3);
    EXPECT_EQ(list.rec[3]->m_b_speed, 100.0);
    EXPECT_EQ(list.rec[255]->m_group_num, 255);
    EXPECT_EQ(list.rec[255]->m_border, 1);
}

TEST(WorkParams, ByteOrderMarkBeforeTheFirstKeyDoesNotShiftTheRecords)
{
    // Saved by an editor that puts EF BB BF first: without the mark taken
    // off, the first m_group_num is missed and every group lands one record
    // early, leaving layer 0 without its record.
    ScratchProgramFolder scratch;
    scratch.Write("WorkParam.par", "\xEF\xBB\xBFm_group_num\r\n0\r\nm_sweep\r\n1\r\n"
                                   "m_group_num\r\n1\r\nm_b_speed\r\n55.5\r\n");
    ReadList list;
    ASSERT_EQ(list.rec.size(), 256u);
    EXPECT_EQ(list.rec[0]->m_group_num, 0);
    EXPECT_EQ(list.rec[0]->m_sweep, 1);
    EXPECT_EQ(list.rec[0]->m_b_speed, 100.0);
    EXPECT_EQ(list.rec[1]->m_group_num, 1);
    EXPECT_EQ(list.rec[1]->m_b_speed, 55.5);
    EXPECT_EQ(list.rec[255]->m_group_num, 255);
}

TEST(WorkParams, ValuesBeforeTheFirstGroupAndBeyondTheLastRecordAreSkipped)
{
    ScratchProgramFolder scratch;
    std::string file = "m_b_speed\n11\nm_sweep\n1\n";
    for (int k = 0; k < 258; ++k)
        file += "m_group_num\n" + std::to_string(k) + "\nm_s_speed\n" + std::to_string(1000 + k) + "\n";
    scratch.Write("WorkParam.par", file);
    ReadList list;
    ASSERT_EQ(list.rec.size(), 256u);
    EXPECT_EQ(list.rec[0]->m_b_speed, 100.0);
    EXPECT_EQ(list.rec[0]->m_sweep, 0);
    EXPECT_EQ(list.rec[0]->m_s_speed, 1000.0);
    // The 257th and 258th groups change nothing, not even the last record.
    EXPECT_EQ(list.rec[255]->m_group_num, 255);
    EXPECT_EQ(list.rec[255]->m_s_speed, 1255.0);
}

TEST(WorkParams, EmptyLinesUnknownKeysAndWideValuesAreHandledPerField)
{
    ScratchProgramFolder scratch;
    scratch.Write("WorkParam.par", "m_group_num\r\n70000\r\n"   // cut to 16 bits: 4464
                                   "\r\n"                         // one empty line: no shift
                                   "m_border\r\n257\r\n"          // cut to 8 bits: 1
                                   "m_colour\r\n5\r\n"
                                   "m_b_st_delay\r\n-1\r\n"       // unsigned, 16 bits: 65535
                                   "m_b_speed\r\nfast\r\n"        // not a number: 0.0
                                   "m_sweep\r\n");                // no value line
    ReadList list;
    EXPECT_EQ(list.rec[0]->m_group_num, 4464);
    EXPECT_EQ(list.rec[0]->m_border, 1);
    EXPECT_EQ(list.rec[0]->m_b_st_delay, 65535);
    EXPECT_EQ(list.rec[0]->m_b_speed, 0.0);
    EXPECT_EQ(list.rec[0]->m_sweep, 0);
}

TEST(WorkParams, HugeScanZLiftBecomesAnInfinityWithoutAnUndefinedCast)
{
    ScratchProgramFolder scratch;
    scratch.Write("WorkParam.par", "m_group_num\n0\nm_s_z_rish\n1e300\nm_group_num\n1\nm_s_z_rish\n-1e39\n");
    ReadList list;
    EXPECT_EQ(list.rec[0]->m_s_z_rish, std::numeric_limits<double>::infinity());
    EXPECT_EQ(list.rec[1]->m_s_z_rish, -std::numeric_limits<double>::infinity());
}
