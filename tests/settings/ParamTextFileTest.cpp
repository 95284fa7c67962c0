#include "settings/NestSettings.h"
#include "settings/ParamTextFile.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"
#include "settings/WorkParams.h"

#include "ScratchProgramFolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs PairsOf(const std::vector<std::string>& lines, bool skipEmptyKeys = false)
{
    Pairs pairs;
    ParamTextFile::ReadPairs(lines, [&](std::string_view k, std::string_view v) {
        pairs.emplace_back(std::string(k), std::string(v));
    }, skipEmptyKeys);
    return pairs;
}

} // namespace

TEST(ParamTextFile, WriterEmitsKeyAndValueLinesWithCrLf)
{
    ScratchProgramFolder scratch;
    ParamTextFile file;
    file.AddSigned("circle show", 1);
    file.AddSigned("show_net", -2);
    file.AddUnsigned("ip", 3232235620u);
    file.AddReal("path width", 0.05);
    file.AddReal("net_interval", 100.0);
    file.AddHexText("open_file_dir", u"D:\\图纸");
    file.AddLine("carve end");
    ASSERT_TRUE(file.Write(scratch.Root() + "x.par"));
    EXPECT_EQ(scratch.Read("x.par"),
              "circle show\r\n1\r\nshow_net\r\n-2\r\nip\r\n3232235620\r\npath width\r\n0.050000\r\n"
              "net_interval\r\n100.000000\r\nopen_file_dir\r\n0044003a005c56fe7eb8\r\ncarve end\r\n");
    EXPECT_DOUBLE_EQ(ParamRealValue("0.050000"), 0.05);
}

TEST(ParamTextFile, WriterThatCannotCreateTheFileWritesNothing)
{
    ScratchProgramFolder scratch;
    ParamTextFile file;
    file.AddSigned("a", 1);
    EXPECT_FALSE(file.Write(scratch.Root() + "missing/x.par"));
    EXPECT_FALSE(scratch.Exists("missing"));
}

TEST(ParamTextFile, ReaderPairsKeysInAnyOrderAndSkipsNothingItself)
{
    // Order and unknown keys are the caller's business: every pair arrives.
    EXPECT_EQ(PairsOf({"b", "2", "unknown", "x", "a", "1"}), (Pairs{{"b", "2"}, {"unknown", "x"}, {"a", "1"}}));
    // A key at the end of the file without its value line is dropped.
    EXPECT_EQ(PairsOf({"a", "1", "b"}), (Pairs{{"a", "1"}}));
    EXPECT_EQ(PairsOf({}), Pairs{});
}

TEST(ParamTextFile, EmptyKeyLineVariantKeepsThePairing)
{
    const std::vector<std::string> lines{"a", "1", "", "b", "2"};
    EXPECT_EQ(PairsOf(lines, true), (Pairs{{"a", "1"}, {"b", "2"}}));
    // The common reader takes the empty line as a key and shifts the rest.
    EXPECT_EQ(PairsOf(lines, false), (Pairs{{"a", "1"}, {"", "b"}}));
}

TEST(ParamTextFile, ReadsLfOnlyAndCrLfFilesAlike)
{
    ScratchProgramFolder scratch;
    scratch.Write("lf.par", "a\n1\nb\n2\n");
    scratch.Write("crlf.par", "a\r\n1\r\nb\r\n2\r\n");
    scratch.Write("end.par", "a\r\n1\r\nb");
    for (const char* name : {"lf.par", "crlf.par"}) {
        Pairs pairs;
        ASSERT_TRUE(ParamTextFile::Read(scratch.Root() + name, [&](std::string_view k, std::string_view v) {
            pairs.emplace_back(std::string(k), std::string(v));
        }));
        EXPECT_EQ(pairs, (Pairs{{"a", "1"}, {"b", "2"}})) << name;
    }
    int calls = 0;
    ASSERT_TRUE(ParamTextFile::Read(scratch.Root() + "end.par", [&](std::string_view, std::string_view) { ++calls; }));
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(ParamTextFile::Read(scratch.Root() + "none.par", [&](std::string_view, std::string_view) { ++calls; }));
    EXPECT_EQ(calls, 1);
}

TEST(ParamConversions, IntegersWrapToTheFieldWidth)
{
    // "%d" of a 32-bit unsigned field reads back to the same bits.
    EXPECT_EQ(ParamUnsigned<std::uint32_t>("-1062731676"), 0xC0A80064u);
    EXPECT_EQ(ParamUnsigned<std::uint32_t>("-1"), 0xFFFFFFFFu);
    EXPECT_EQ(ParamSigned<std::int32_t>("4294967295"), -1);
    EXPECT_EQ(ParamSigned<std::uint8_t>("257"), 1);
    EXPECT_EQ(ParamSigned<std::uint8_t>("-1"), 255);
    EXPECT_EQ(ParamUnsigned<std::uint16_t>("65537"), 1);
}

TEST(ParamConversions, LeadingNumberOnlyAndZeroWithoutDigits)
{
    EXPECT_EQ(ParamSigned<std::int32_t>("  -7x"), -7);
    EXPECT_EQ(ParamSigned<std::int32_t>("+5"), 5);
    EXPECT_EQ(ParamSigned<std::int32_t>("12abc"), 12);
    EXPECT_EQ(ParamSigned<std::int32_t>("abc"), 0);
    EXPECT_EQ(ParamSigned<std::int32_t>(""), 0);
    EXPECT_EQ(ParamUnsigned<std::uint32_t>("- 3"), 0u);
    EXPECT_DOUBLE_EQ(ParamRealValue("1.5e3x"), 1500.0);
    EXPECT_DOUBLE_EQ(ParamRealValue("-0.25"), -0.25);
    EXPECT_DOUBLE_EQ(ParamRealValue("x1"), 0.0);
}

TEST(ParamConversions, RealsAreDecimalPrefixesSoNoNaNOrInfinityGetsIn)
{
    for (const char* line : {"nan", "NaN", "-nan(0x1)", "inf", "-inf", "INFINITY", "-infinity", "1e999", "-1e999",
                             "1e99999999999999999999", ".", "-", "e5", "+-1"})
        EXPECT_EQ(ParamRealValue(line), 0.0) << line;
    // Hexadecimal forms: only the leading 0 is decimal.
    EXPECT_EQ(ParamRealValue("0x1p4"), 0.0);
    EXPECT_EQ(ParamRealValue("0X10"), 0.0);
    // The longest decimal prefix, whatever follows it.
    EXPECT_EQ(ParamRealValue(" \t-12.5e1mm"), -125.0);
    EXPECT_EQ(ParamRealValue("3e"), 3.0);
    EXPECT_EQ(ParamRealValue("+.5inf"), 0.5);
    EXPECT_EQ(ParamRealValue("7nan"), 7.0);
    EXPECT_EQ(ParamRealValue("1e-999"), 0.0); // too small: 0 as well
}

TEST(ParamConversions, DamagedFilesPutNoNaNOrInfinityIntoSpeedsAndIntervals)
{
    ScratchProgramFolder scratch;
    scratch.Write("WorkParam.par", "m_group_num\r\n0\r\nm_b_speed\r\nnan\r\nm_s_speed\r\ninf\r\n"
                                   "m_b_min_light1\r\n-infinity\r\nm_s_precision\r\n1e999\r\n");
    WorkParams* layers = CReadParamFile().ReadWorkParam();
    ASSERT_NE(layers, nullptr);
    EXPECT_EQ(layers->m_b_speed, 0.0);
    EXPECT_EQ(layers->m_s_speed, 0.0);
    EXPECT_EQ(layers->m_b_min_light1, 0.0);
    EXPECT_EQ(layers->m_s_precision, 0.0);
    FreeWorkParamList(layers);

    scratch.Write("software.par", "net_interval\r\ninf\r\ndot size\r\nNAN\r\n");
    SoftwareSettings software;
    CReadParamFile().ReadSoftwareParam(software);
    EXPECT_EQ(software.net_interval, 0.0);
    EXPECT_EQ(software.dot_size, 0.0);

    scratch.Write("nest.par", "m_sizex\r\n-inf\r\nm_step\r\nnan\r\n");
    NestSettings nest;
    CReadParamFile().ReadNestParam(nest);
    EXPECT_EQ(nest.m_sizex, 0.0);
    EXPECT_EQ(nest.m_step, 0.0);
}

TEST(ParamConversions, DigitStringsBeyond64BitsSaturateBeforeTheCut)
{
    EXPECT_EQ(ParamSignedValue("99999999999999999999"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(ParamSignedValue("-99999999999999999999"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(ParamUnsignedValue("99999999999999999999"), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(ParamUnsignedValue("18446744073709551615"), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(ParamUnsignedValue("18446744073709551614"), std::numeric_limits<std::uint64_t>::max() - 1);
    // Saturated values keep their low bits in a narrow field.
    EXPECT_EQ(ParamSigned<std::int32_t>("99999999999999999999"), -1);
    EXPECT_EQ(ParamSigned<std::int32_t>("-99999999999999999999"), 0);
    EXPECT_EQ(ParamUnsigned<std::uint32_t>("99999999999999999999"), 0xFFFFFFFFu);
}
