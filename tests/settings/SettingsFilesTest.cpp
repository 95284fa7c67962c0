// software.par, nest.par and Bari.par: the files written from the defaults,
// the reading rules of their special keys, and what a missing file does.
#include "settings/BarrierParams.h"
#include "settings/NestSettings.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"

#include "ScratchProgramFolder.h"

#include <gtest/gtest.h>

namespace {

// Worked out from the key table: each option at its default, the folders
// empty, the grid switch on as the block held it.
const std::string kDefaultSoftwareFile = "circle show\r\n1\r\n"
                                         "circle import\r\n1\r\n"
                                         "circle export\r\n3\r\n"
                                         "speed units\r\n0\r\n"
                                         "dxf dimension\r\n0\r\n"
                                         "plt resolution\r\n1016\r\n"
                                         "plt other resolution\r\n0\r\n"
                                         "bitmap type\r\n0\r\n"
                                         "bitmap dot\r\n0\r\n"
                                         "dot agl\r\n0\r\n"
                                         "dot size\r\n2.000000\r\n"
                                         "use path\r\n1\r\n"
                                         "path in out\r\n1\r\n"
                                         "path by layer\r\n1\r\n"
                                         "path meta pos\r\n0\r\n"
                                         "path mode\r\n0\r\n"
                                         "path work pos\r\n0\r\n"
                                         "path width\r\n0.000000\r\n"
                                         "path hight\r\n0.500000\r\n"
                                         "open_file_dir\r\n\r\n"
                                         "import_file_dir\r\n\r\n"
                                         "machine_prm_dir\r\n\r\n"
                                         "layer_prm_dir\r\n\r\n"
                                         "show_net\r\n1\r\n"
                                         "m_file_view\r\n0\r\n"
                                         "net_interval\r\n100.000000\r\n"
                                         "comebin_dis\r\n0.100000\r\n"
                                         "use_comebin\r\n0\r\n"
                                         "m_assist_mode\r\n1\r\n";

} // namespace

TEST(SoftwareParamFile, MissingFileGivesDefaultsAndIsWrittenKeepingGridAndPreviewSwitches)
{
    ScratchProgramFolder scratch;
    SoftwareSettings s;
    s.show_net = 1;
    s.m_file_view = 0;
    s.plt_resolution = 5;
    s.open_file_dir = "/old/";
    EXPECT_TRUE(CReadParamFile().ReadSoftwareParam(s));
    EXPECT_EQ(s.plt_resolution, 1016);
    EXPECT_EQ(s.dot_size, 2.0);
    EXPECT_EQ(s.net_interval, 100.0);
    EXPECT_EQ(s.m_assist_mode, 1);
    EXPECT_EQ(s.open_file_dir, "");
    EXPECT_EQ(s.show_net, 1);
    EXPECT_EQ(scratch.Read("software.par"), kDefaultSoftwareFile);
    // Only this file: the nesting settings are not touched.
    EXPECT_FALSE(scratch.Exists("nest.par"));
}

TEST(SoftwareParamFile, FolderIsStoredAsHexUtf16AndReadBackUnchanged)
{
    ScratchProgramFolder scratch;
    SoftwareSettings s;
    s.SetOptionDefaults();
    s.open_file_dir = "D:\\\xe5\x9b\xbe\xe7\xba\xb8"; // D:\图纸 in UTF-8
    s.layer_prm_dir = "/home/op/\xf0\x9f\x98\x80/"; // beyond the 16-bit range
    ASSERT_TRUE(CReadParamFile().WriteSoftwareParam(s));
    const std::string file = scratch.Read("software.par");
    EXPECT_NE(file.find("open_file_dir\r\n0044003a005c56fe7eb8\r\n"), std::string::npos);
    EXPECT_NE(file.find("002fd83dde00002f\r\n"), std::string::npos);

    SoftwareSettings back;
    EXPECT_TRUE(CReadParamFile().ReadSoftwareParam(back));
    EXPECT_EQ(back.open_file_dir, s.open_file_dir);
    EXPECT_EQ(back.layer_prm_dir, s.layer_prm_dir);
    EXPECT_EQ(back.import_file_dir, "");
}

TEST(SoftwareParamFile, LowBandHeightSwitchesAndWideValuesAreReadAsSpecified)
{
    ScratchProgramFolder scratch;
    scratch.Write("software.par", "path hight\n0.2\n"
                                  "use_comebin\n7\n"
                                  "bitmap dot\n-3\n"
                                  "show_net\n256\n"      // non-zero before any cut
                                  "circle export\n260\n" // a byte: 4
                                  "plt resolution\n-1000\n"
                                  "dot size\nbig\n");
    SoftwareSettings s;
    CReadParamFile().ReadSoftwareParam(s);
    EXPECT_EQ(s.path_hight, 0.5);
    EXPECT_EQ(s.use_comebin, 1);
    EXPECT_EQ(s.bitmap_dot, 1);
    EXPECT_EQ(s.show_net, 1);
    EXPECT_EQ(s.circle_export, 4);
    EXPECT_EQ(s.plt_resolution, -1000);
    EXPECT_EQ(s.dot_size, 0.0);
    EXPECT_EQ(s.path_in_out, 1); // missing key: default

    scratch.Write("software.par", "path hight\n0.8\n");
    CReadParamFile().ReadSoftwareParam(s);
    EXPECT_EQ(s.path_hight, 0.8);

    s.use_comebin = 7;
    ASSERT_TRUE(CReadParamFile().WriteSoftwareParam(s));
    EXPECT_NE(scratch.Read("software.par").find("use_comebin\r\n1\r\n"), std::string::npos);
}

TEST(NestParamFile, MissingFileIsCreatedWithTheSevenDefaultEntries)
{
    ScratchProgramFolder scratch;
    NestSettings nest;
    nest.m_sizex = 1.0;
    nest.m_limit_ratio = 9;
    nest.m_start_time = 1234;
    EXPECT_TRUE(CReadParamFile().ReadNestParam(nest));
    EXPECT_EQ(nest.m_sizex, 9000.0);
    EXPECT_EQ(nest.m_limit_ratio, 75u);
    EXPECT_EQ(nest.m_start_time, 1234u); // not stored, not reset
    const std::string expected = "m_sizex\r\n9000.000000\r\n"
                                 "m_sizey\r\n6000.000000\r\n"
                                 "m_step\r\n10.000000\r\n"
                                 "m_rot_allow\r\n1\r\n"
                                 "m_rot_sum\r\n4\r\n"
                                 "m_limit_time\r\n3\r\n"
                                 "m_limit_ratio\r\n75\r\n";
    EXPECT_EQ(expected.size(), 129u);
    EXPECT_EQ(scratch.Read("nest.par"), expected);
    EXPECT_FALSE(scratch.Exists("software.par"));
}

TEST(NestParamFile, ValuesReadInAnyOrderAndNegativeCountsKeepTheirBits)
{
    ScratchProgramFolder scratch;
    scratch.Write("nest.par", "m_limit_time\r\n180\r\nm_sizey\r\n1234.5\r\nm_rot_sum\r\n-1\r\n");
    NestSettings nest;
    EXPECT_TRUE(CReadParamFile().ReadNestParam(nest));
    EXPECT_EQ(nest.m_limit_time, 180u);
    EXPECT_EQ(nest.m_sizey, 1234.5);
    EXPECT_EQ(nest.m_rot_sum, 0xFFFFFFFFu);
    EXPECT_EQ(nest.m_sizex, 9000.0);
    ASSERT_TRUE(CReadParamFile().WriteNestParam(nest));
    EXPECT_NE(scratch.Read("nest.par").find("m_rot_sum\r\n-1\r\n"), std::string::npos);
}

TEST(BarrierParamFile, WrittenInFieldOrderAndReadBack)
{
    ScratchProgramFolder scratch;
    BARRIERPARAMS p;
    p.m_guide_mode = 1;
    p.m_guide_width = 5.5;
    p.m_cntr_offsety = -0.25;
    p.m_row_disloc = -2;
    p.m_dislocation_column = 3.0;
    p.m_deri_ratio = 0.75;
    ASSERT_TRUE(CReadParamFile().WriteBarrierParam(p));
    EXPECT_EQ(scratch.Read("Bari.par"), "m_guide_mode\r\n1\r\n"
                                        "m_guide_width\r\n5.500000\r\n"
                                        "m_width_grad\r\n0.000000\r\n"
                                        "m_guide_hight\r\n0.000000\r\n"
                                        "m_hight_grad\r\n0.000000\r\n"
                                        "m_guide_up\r\n0.000000\r\n"
                                        "m_up_grad\r\n0.000000\r\n"
                                        "m_guide_down\r\n0.000000\r\n"
                                        "m_down_grad\r\n0.000000\r\n"
                                        "m_guide_left\r\n0.000000\r\n"
                                        "m_left_grad\r\n0.000000\r\n"
                                        "m_guide_right\r\n0.000000\r\n"
                                        "m_right_grad\r\n0.000000\r\n"
                                        "m_cntr_offsetx\r\n0.000000\r\n"
                                        "m_cntr_offsety\r\n-0.250000\r\n"
                                        "m_row_disloc\r\n-2\r\n"
                                        "m_dislocation_row\r\n0.000000\r\n"
                                        "m_column_disloc\r\n0\r\n"
                                        "m_dislocation_column\r\n3.000000\r\n"
                                        "m_reserve_side\r\n0.000000\r\n"
                                        "m_deri_ratio\r\n0.750000\r\n");
    BARRIERPARAMS back;
    back.m_guide_right = 8.0;
    EXPECT_TRUE(CReadParamFile().ReadBarrierParam(back));
    EXPECT_EQ(back.m_guide_mode, 1);
    EXPECT_EQ(back.m_guide_width, 5.5);
    EXPECT_EQ(back.m_cntr_offsety, -0.25);
    EXPECT_EQ(back.m_row_disloc, -2);
    EXPECT_EQ(back.m_dislocation_column, 3.0);
    EXPECT_EQ(back.m_deri_ratio, 0.75);
    EXPECT_EQ(back.m_guide_right, 0.0);
}

TEST(BarrierParamFile, MissingFileLeavesRecordAndEmptyLinesDoNotShiftPairs)
{
    ScratchProgramFolder scratch;
    BARRIERPARAMS p;
    p.m_guide_up = 4.0;
    p.m_column_disloc = 1;
    EXPECT_FALSE(CReadParamFile().ReadBarrierParam(p));
    EXPECT_EQ(p.m_guide_up, 4.0);
    EXPECT_FALSE(scratch.Exists("Bari.par"));

    scratch.Write("Bari.par", "\r\nm_guide_mode\r\n2\r\n\r\nm_reserve_side\r\n1.5\r\n");
    EXPECT_TRUE(CReadParamFile().ReadBarrierParam(p));
    EXPECT_EQ(p.m_guide_mode, 2);
    EXPECT_EQ(p.m_reserve_side, 1.5);
    // Keys the file lacks keep the record's values.
    EXPECT_EQ(p.m_guide_up, 4.0);
    EXPECT_EQ(p.m_column_disloc, 1);
}
