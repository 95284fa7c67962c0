#include "settings/LayerParamFile.h"
#include "settings/WorkParams.h"
#include "settings/WorkSetParameterBase.h"

#include "ScratchProgramFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The default record with layer id 5, written out by hand from the key
// order and the defaults.
const std::string kDefaultLayer5 =
    "m_group_num\r\n5\r\nm_border\r\n1\r\nm_sweep\r\n0\r\nm_work_level\r\n0\r\n"
    "m_perc_unit\r\n0\r\nm_size_unit\r\n0\r\n"
    "m_b_speed\r\n100.000000\r\nm_b_free_speed\r\n100.000000\r\nm_b_light_def\r\n0\r\n"
    "m_b_min_light1\r\n20.000000\r\nm_b_min_light2\r\n20.000000\r\n"
    "m_b_max_light1\r\n30.000000\r\nm_b_max_light2\r\n30.000000\r\n"
    "m_b_st_delay\r\n0\r\nm_b_ed_delay\r\n0\r\nm_b_delay_lsr_act\r\n0\r\nm_b_delay_laser\r\n0.000000\r\n"
    "m_b_cuiqi\r\n1\r\nm_b_auto_cuiqi\r\n0\r\nm_b_hit_point\r\n0\r\n"
    "m_b_hit_dis\r\n0.000000\r\nm_b_hit_time\r\n0.000000\r\nm_b_z_rish\r\n0.000000\r\n"
    "m_b_delay_after_work\r\n0\r\nm_b_delay_after_work_v\r\n0.000000\r\n"
    "m_s_speed\r\n300.000000\r\nm_s_light_def\r\n0\r\n"
    "m_s_min_light1\r\n20.000000\r\nm_s_min_light2\r\n20.000000\r\n"
    "m_s_max_light1\r\n20.000000\r\nm_s_max_light2\r\n20.000000\r\n"
    "m_s_diameter_use\r\n0\r\nm_s_method\r\n0\r\nm_s_precision\r\n0.050000\r\nm_s_incline\r\n0.000000\r\n"
    "m_s_diameter\r\n0.100000\r\nm_s_mid_repair\r\n0.000000\r\nm_s_sid_repair\r\n0.000000\r\n"
    "m_s_map_rpy_tbl\r\n0\r\nm_s_cuiqi\r\n1\r\nm_s_auto_cuiqi\r\n0\r\n"
    "m_s_grid_mode\r\n0\r\nm_s_grid_type\r\n0\r\nm_s_grid_size\r\n0.100000\r\nm_s_grid_inter\r\n0.100000\r\n"
    "m_s_z_rish\r\n0.000000\r\nm_s_delay_after_work\r\n0\r\nm_s_delay_after_work_v\r\n0.000000\r\n";

WorkParams Defaults()
{
    WorkParams rec;
    CWorkSetParameterBase::SetDefaults(rec);
    return rec;
}

} // namespace

TEST(LayerParamFile, DefaultRecordIsWrittenByteForByteWithoutSpeedUnitAndScanFirstAsWorkLevel)
{
    ScratchProgramFolder scratch;
    WorkParams rec = Defaults();
    rec.m_group_num = 5;
    rec.m_speed_unit = 7; // never in the file
    ASSERT_EQ(kDefaultLayer5.size(), 1059u);
    ASSERT_TRUE(CLayerParamFile::Write(scratch.Root() + "layer.prp", rec));
    EXPECT_EQ(scratch.Read("layer.prp"), kDefaultLayer5);
    EXPECT_EQ(CLayerParamFile::Lines(rec).Lines().size(), 96u);

    rec.m_sweep_first = 1;
    const std::string written = [&] {
        EXPECT_TRUE(CLayerParamFile::Write(scratch.Root() + "layer.prp", rec));
        return scratch.Read("layer.prp");
    }();
    EXPECT_NE(written.find("m_work_level\r\n1\r\n"), std::string::npos);
}

TEST(LayerParamFile, ReadStartsFromDefaultsNotFromThePreviousValues)
{
    ScratchProgramFolder scratch;
    scratch.Write("only.prp", "m_b_speed\r\n250\r\n");
    WorkParams rec = Defaults();
    rec.m_s_speed = 9.0;
    rec.m_border = 0;
    rec.m_s_auto_cuiqi = 1;
    ASSERT_TRUE(CLayerParamFile::Read(scratch.Root() + "only.prp", rec));
    WorkParams expected = Defaults();
    expected.m_b_speed = 250.0;
    EXPECT_EQ(CLayerParamFile::Lines(rec).Lines(), CLayerParamFile::Lines(expected).Lines());
}

TEST(LayerParamFile, SaveThenLoadKeepsEveryKeptFieldIncludingHiddenOnes)
{
    ScratchProgramFolder scratch;
    WorkParams rec = Defaults();
    rec.m_group_num = 12;
    rec.m_s_auto_cuiqi = 1;
    rec.m_s_z_rish = 0.25;
    rec.m_b_st_delay = 65535;
    rec.m_s_delay_after_work = 200;
    rec.m_sweep_first = 1;
    rec.m_s_grid_inter = 0.375;
    ASSERT_TRUE(CLayerParamFile::Write(scratch.Root() + "a.prp", rec));
    WorkParams back;
    ASSERT_TRUE(CLayerParamFile::Read(scratch.Root() + "a.prp", back));
    EXPECT_EQ(back.m_s_auto_cuiqi, 1);
    EXPECT_DOUBLE_EQ(back.m_s_z_rish, 0.25);
    EXPECT_EQ(back.m_b_st_delay, 65535);
    EXPECT_EQ(back.m_s_delay_after_work, 200);
    EXPECT_EQ(back.m_sweep_first, 1);
    EXPECT_EQ(CLayerParamFile::Lines(back).Lines(), CLayerParamFile::Lines(rec).Lines());
}

TEST(LayerParamFile, BadLinesAreSkippedAloneAndBadValuesGiveZero)
{
    WorkParams rec = Defaults();
    WorkParams next;
    rec.m_pNext = &next;
    // A stray line does not shift the pairing; keys are case-sensitive; a
    // key at the end without a value changes nothing; a non-number and a
    // non-finite value give 0; integers are cut to the field's width.
    CLayerParamFile::ReadLines({"junk", "m_b_speed", "abc", "M_S_SPEED", "5", "m_b_free_speed", "inf",
                                "m_b_st_delay", "-1", "m_border", "258", "m_s_delay_after_work", "-1",
                                "m_s_precision", "1e999", "m_b_max_light1", "45.5xyz", "m_s_speed"},
                               rec);
    EXPECT_EQ(rec.m_b_speed, 0.0);
    EXPECT_EQ(rec.m_s_speed, 300.0);
    EXPECT_EQ(rec.m_b_free_speed, 0.0);
    EXPECT_EQ(rec.m_b_st_delay, 65535);
    EXPECT_EQ(rec.m_border, 2);
    EXPECT_EQ(rec.m_s_delay_after_work, 255);
    EXPECT_EQ(rec.m_s_precision, 0.0);
    EXPECT_EQ(rec.m_b_max_light1, 45.5);
    EXPECT_EQ(rec.m_pNext, &next);
}

TEST(LayerParamFile, UnreadableFileLeavesTheRecordAlone)
{
    ScratchProgramFolder scratch;
    WorkParams rec = Defaults();
    rec.m_b_speed = 42.0;
    EXPECT_FALSE(CLayerParamFile::Read(scratch.Root() + "missing.prp", rec));
    EXPECT_FALSE(CLayerParamFile::Read(scratch.Root() + "work", rec));
    EXPECT_EQ(rec.m_b_speed, 42.0);
}
