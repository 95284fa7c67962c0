// Machine parameters: statistics and parameter answers of the fake
// controller stored by their rules, the operation-32 write array with each
// real's own conversion, the reset and comparison rules, and "*.machine"
// files written key by key and read back whatever they hold.
#include "settings/LanguageTable.h"
#include "settings/MachineNode.h"
#include "settings/MachineParams.h"
#include "settings/ReadParamFile.h"
#include "settings/TransThreadInfo.h"
#include "machinecomm/OnlineOperate.h"
#include "platform/Messages.h"
#include "platform/Prompt.h"
#include "platform/TextFile.h"

#include "FakeController.h"
#include "ScratchProgramFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <thread>

namespace {

using plat::Bytes;
using plat::FakeController;

constexpr plat::HWND kDialog = 0x2000;
constexpr std::uint32_t kLoopback = 0x7F000001;

class ParamsOnline : public ::testing::Test {
protected:
    ParamsOnline()
    {
        plat::SetMessagePoster(&m_poster);
        plat::SetPrompt(&m_prompt);
        SetMainFrameWindow(0x1000);
        EXPECT_TRUE(m_fake.Start());
        ::setenv("VANTREL_PORT", std::to_string(m_fake.Port()).c_str(), 1);
        m_entry.m_link_type = 1;
        m_entry.m_ip = kLoopback;
        m_block.SetMachine(&m_entry);
    }
    ~ParamsOnline() override
    {
        m_entry.ReleaseMembers();
        VqEtCommThrd(0);
        ::unsetenv("VANTREL_PORT");
        SetMainFrameWindow(0);
        plat::SetPrompt(nullptr);
        plat::SetMessagePoster(nullptr);
    }
    void Connect() { m_entry.m_session = new CTransThreadInfo(1, kLoopback, 0, u"Laser", 1); }

    // What the dialog does on WM_COMM_ANSWER: every parameter answer stored.
    void StoreAnswers(bool statistics)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (m_poster.Count(WM_COMM_ANSWER) == 0 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_GT(m_poster.Count(WM_COMM_ANSWER), 0u);
        m_poster.Clear();
        ANSWERREC* list = GetMsgAnswer();
        ASSERT_NE(list, nullptr);
        for (const ANSWERREC* a = list; a != nullptr; a = a->m_pNext) {
            if (a->m_type != ANSWER_PARAM)
                continue;
            std::uint32_t v = 0;
            std::memcpy(&v, a->m_pData, sizeof v);
            if (statistics)
                SetStatisticByIndex(m_block, a->m_id, v);
            else
                SetMachineParamByIndex(m_block, a->m_id, v);
        }
        DelAnswerList(&list);
    }
    Bytes LastPayload() const
    {
        const Bytes packet = m_fake.Unscrambled(0x39).back();
        return Bytes(packet.begin() + 50, packet.end());
    }

    plat::RecordingPoster m_poster;
    plat::RecordingPrompt m_prompt;
    FakeController m_fake;
    MachineNode m_entry;
    MachineParams m_block;
};

TEST_F(ParamsOnline, StatisticsAnswersBecomeHoursMinutesAndSecondsOnceConnected)
{
    // Without entry or connection nothing goes out.
    EXPECT_FALSE(RequestStatistic(MachineParams{}, kDialog));
    EXPECT_FALSE(RequestStatistic(m_block, kDialog));
    EXPECT_FALSE(RequestMachineParam(m_block, kDialog));
    EXPECT_FALSE(SendMachineParam(m_block, kDialog));
    EXPECT_EQ(m_fake.Connections(), 0);

    m_fake.Script({FakeController::Answering({
        0xD4, 0x01, 0x04, 0x01, 0x00, 0x00, 0x00, 0x1D, 0x0D, // 513: 3725 s
        0xD4, 0x01, 0x04, 0x11, 0x00, 0x00, 0x05, 0x3F, 0x4D, // 529: 90061 s
        0xD4, 0x01, 0x04, 0x02, 0x00, 0x00, 0x00, 0x00, 0x3B, // 514: 59 s
        0xD4, 0x01, 0x04, 0x03, 0x00, 0x00, 0x00, 0x00, 0x07, // 515: 7
        0xD4, 0x01, 0x04, 0x23, 0x00, 0x00, 0x4B, 0x2D, 0x07, // 547: 1234567
        0xD4, 0x01, 0x04, 0x33, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, // 563: all ones
        0xD4, 0x01, 0x04, 0x08, 0x00, 0x00, 0x00, 0x00, 0x05, // 520: not a statistic
    })});
    Connect();
    ASSERT_TRUE(RequestStatistic(m_block, kDialog));
    ASSERT_TRUE(m_fake.WaitForPackets(1, 3000));
    // Six reads: D4 00 and the id in two groups.
    EXPECT_EQ(LastPayload(), (Bytes{0xD4, 0x00, 0x04, 0x01, 0xD4, 0x00, 0x04, 0x11, 0xD4, 0x00, 0x04, 0x02,
                                    0xD4, 0x00, 0x04, 0x03, 0xD4, 0x00, 0x04, 0x23, 0xD4, 0x00, 0x04, 0x33}));
    StoreAnswers(true);
    const MachineStatistics& s = m_block.m_statistics;
    const auto hms = [](const RUNTIMECOUNTER& c) { return std::array{c.m_hours, c.m_minutes, c.m_seconds}; };
    EXPECT_EQ(hms(s.m_runTime[0]), (std::array<std::uint32_t, 3>{1, 2, 5}));
    EXPECT_EQ(hms(s.m_runTime[1]), (std::array<std::uint32_t, 3>{25, 1, 1}));
    EXPECT_EQ(hms(s.m_runTime[2]), (std::array<std::uint32_t, 3>{0, 0, 59}));
    EXPECT_EQ(s.m_count, 7u);
    EXPECT_EQ(s.m_reals[0], 1234567.0);
    EXPECT_EQ(s.m_reals[1], 4294967295.0); // the value taken unsigned
}

TEST_F(ParamsOnline, ParameterAnswersAreStoredByTheTableAndWrittenBackInTheirPlaces)
{
    m_fake.Script({FakeController::Answering({
        0xD4, 0x01, 0x00, 0x1A, 0x00, 0x00, 0x00, 0x0B, 0x5C, // 26: 1500, metal hanging
        0xD4, 0x01, 0x02, 0x12, 0x00, 0x08, 0x00, 0x00, 0x01, // 274: 16777217, speed rate
        0xD4, 0x01, 0x00, 0x25, 0x7F, 0x7F, 0x7F, 0x7F, 0x7E, // 37: -2 as sent, x acceleration
        0xD4, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x05, // 1: 5, machine type
        0xD4, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x05, // 2: no parameter
        0xD4, 0x01, 0x02, 0x14, 0x00, 0x00, 0x00, 0x00, 0x05, // 276: beyond the table
    })});
    Connect();
    ASSERT_TRUE(RequestMachineParam(m_block, kDialog));
    ASSERT_TRUE(m_fake.WaitForPackets(1, 3000));
    EXPECT_EQ(m_fake.Packets().back()[1], 16); // the parameter read packet
    EXPECT_EQ(LastPayload().size(), 65u * 4);
    MachineParams before = m_block;
    StoreAnswers(false);
    EXPECT_EQ(m_block.m_metal_hanging, 1.5);
    EXPECT_EQ(m_block.m_speed_rate, 16777216.0); // the nearest single-precision value
    EXPECT_EQ(m_block.m_x_acceleration, 4294967294.0);
    EXPECT_EQ(m_block.m_machine_type, 5u);
    // Nothing else moved.
    before.m_metal_hanging = 1.5;
    before.m_speed_rate = 16777216.0;
    before.m_x_acceleration = 4294967294.0;
    before.m_machine_type = 5;
    EXPECT_TRUE(IsSameMachineParam(before, m_block)); // ids 2 and 276 stored 5 nowhere

    ASSERT_TRUE(SendMachineParam(m_block, kDialog));
    ASSERT_TRUE(m_fake.WaitForPackets(2, 3000));
    const Bytes writes = m_fake.Unscrambled(0x39)[1];
    EXPECT_EQ(writes[1], 15); // the parameter write packet
    ASSERT_EQ(writes.size(), 50u + 65 * 14);
    // Each value goes twice behind D4 01 and its id.
    const auto at = [&](int position) {
        return Bytes(writes.begin() + 50 + position * 14, writes.begin() + 50 + position * 14 + 14);
    };
    EXPECT_EQ(at(0), (Bytes{0xD4, 0x01, 0x00, 0x01, 0, 0, 0, 0, 0x05, 0, 0, 0, 0, 0x05}));
    EXPECT_EQ(at(5), (Bytes{0xD4, 0x01, 0x00, 0x25, 0x7F, 0x7F, 0x7F, 0x7F, 0x7E, 0x7F, 0x7F, 0x7F, 0x7F, 0x7E}));
    EXPECT_EQ(at(54), (Bytes{0xD4, 0x01, 0x02, 0x12, 0, 0x08, 0, 0, 0, 0, 0x08, 0, 0, 0}));
    EXPECT_EQ(at(61), (Bytes{0xD4, 0x01, 0x00, 0x1A, 0, 0, 0, 0x0B, 0x5C, 0, 0, 0, 0x0B, 0x5C}));
}

TEST(MachineParamWrite, EachRealIsMadeIntegerByItsOwnRuleForBothSignsAndClampedBeyondTheWord)
{
    MachineParams b;
    b.m_metal_down_delay = 2.9;    // 57 truncated
    b.m_metal_up_delay = -2.9;     // 58 truncated
    b.m_x_resolution = 2.5;        // 2 rounded
    b.m_y_resolution = -2.7;       // 9 rounded: -2.2
    b.m_x_acceleration = -2.5;     // 5 away from zero
    b.m_y_acceleration = 2.5;      // 12 away from zero
    b.m_z_acceleration = 0.000005; // 19 not above 0.00001: -0.5 first
    b.m_metal_hanging = 1.5;       // 61 x 1000
    b.m_metal_free_updis = -0.0015; // 62 x 1000: -1.5 + 0.5
    b.m_speed_rate = 99.9;         // 54 truncated
    b.m_machine_type = 7;          // 0 as is
    b.m_metal_tolerance = 0xFFFFFFFF; // 64 as is
    b.m_x_max_speed = 1e300;       // 3 beyond the word
    b.m_x_min_speed = -1e300;      // 4
    b.m_x_journey = std::numeric_limits<double>::quiet_NaN(); // 6
    b.m_y_max_speed = 4294967294.0; // 10, read back unsigned: its pattern stays
    b.m_corner_speed = 123.0;      // not sent
    const auto v = MachineParamWriteArray(b);
    EXPECT_EQ(v[57], 2u);
    EXPECT_EQ(v[58], 0xFFFFFFFEu);
    EXPECT_EQ(v[2], 3u);
    EXPECT_EQ(v[9], 0xFFFFFFFEu);
    EXPECT_EQ(v[5], 0xFFFFFFFDu);
    EXPECT_EQ(v[12], 3u);
    EXPECT_EQ(v[19], 0u);
    EXPECT_EQ(v[61], 1500u);
    EXPECT_EQ(v[62], 0xFFFFFFFFu);
    EXPECT_EQ(v[54], 99u);
    EXPECT_EQ(v[0], 7u);
    EXPECT_EQ(v[64], 0xFFFFFFFFu);
    EXPECT_EQ(v[3], 0xFFFFFFFFu);
    EXPECT_EQ(v[4], 0x80000000u);
    EXPECT_EQ(v[6], 0u);
    EXPECT_EQ(v[10], 0xFFFFFFFEu);
    for (std::uint32_t x : v)
        EXPECT_NE(x, 123u);
}

TEST(MachineParamBlock, ResetKeepsTheTenUnsentAndComparisonSkipsMetalUseOther)
{
    MachineNode entry;
    MachineParams b;
    b.SetMachine(&entry);
    b.m_statistics.m_count = b.m_valid = b.m_machine_type = 1;
    b.m_x_resolution = 1.0;
    b.m_sys_control = b.m_linkage_ctrl = b.m_laser_drive_lag = b.m_user_param = b.m_file_set = b.m_ip_address = 2;
    b.m_corner_speed = b.m_cut_mode_acc = b.m_free_speed = b.m_free_acc = 3.0;
    EXPECT_EQ(&ResetMachineParam(b), &b);
    EXPECT_EQ(b.m_pNode, nullptr);
    EXPECT_EQ(b.m_statistics.m_count + b.m_valid + b.m_machine_type, 0u);
    EXPECT_EQ(b.m_x_resolution, 0.0);
    EXPECT_EQ(b.m_sys_control + b.m_linkage_ctrl + b.m_laser_drive_lag + b.m_user_param + b.m_file_set +
                  b.m_ip_address, 12u);
    EXPECT_EQ(b.m_corner_speed + b.m_cut_mode_acc + b.m_free_speed + b.m_free_acc, 12.0);

    MachineParams other = b;
    other.m_metal_use_other = 1;
    other.m_x_resolution = 1.0;
    EXPECT_TRUE(IsSameMachineParam(b, other));
    other.m_x_resolution = 1.01;
    EXPECT_FALSE(IsSameMachineParam(b, other));
    other = b;
    other.m_ip_address = 11;
    EXPECT_FALSE(IsSameMachineParam(b, other));
}

class MachineFile : public ::testing::Test {
protected:
    std::string Path(const char* name) const { return m_scratch.Root() + name; }
    ScratchProgramFolder m_scratch;
};

TEST_F(MachineFile, WrittenKeyByKeyAndReadBackIntoAFreshEntry)
{
    MachineNode entry;
    entry.m_params = new MachineParams;
    MachineParams& b = *entry.m_params;
    b.m_sys_control = 4000000000u; // %u
    b.m_doub_plat_len = 0xFFFFFFFF; // %d: -1
    b.m_metal_down_delay = 2.5;
    b.m_min_acc = 250;              // %ld
    b.m_speed_rate = 0.1;
    b.m_ip_address = 3232235620u;
    ASSERT_TRUE(CReadParamFile().WriteMachineFile(&entry, Path("a.machine")));
    std::vector<std::string> lines;
    ASSERT_TRUE(plat::ReadTextLines(Path("a.machine"), lines));
    ASSERT_EQ(lines.size(), 150u);
    EXPECT_EQ(m_scratch.Read("a.machine").substr(0, 50), "macInfo_m_sys_control\r\n4000000000\r\nmacInfo_m_machi");
    EXPECT_EQ(lines[8], "macInfo_m_doub_plat_len");
    EXPECT_EQ(lines[9], "-1");
    EXPECT_EQ(lines[12], "m_metal_down_delay");
    EXPECT_EQ(lines[13], "2.500000");
    EXPECT_EQ(lines[144], "macInfo_m_min_acc");
    EXPECT_EQ(lines[145], "250");
    EXPECT_EQ(lines[146], "macInfo_m_speed_rate");
    EXPECT_EQ(lines[147], "0.100000");

    // A fresh entry gets a block, reset, and then the file's values.
    MachineNode fresh;
    ASSERT_TRUE(CReadParamFile().ReadMachineFile(&fresh, Path("a.machine")));
    ASSERT_NE(fresh.m_params, nullptr);
    EXPECT_TRUE(IsSameMachineParam(b, *fresh.m_params));
    EXPECT_EQ(fresh.m_params->m_sys_control, 4000000000u);
    EXPECT_EQ(fresh.m_params->m_doub_plat_len, 0xFFFFFFFFu);
    EXPECT_EQ(fresh.m_params->m_speed_rate, static_cast<double>(0.1f));
    EXPECT_EQ(fresh.m_params->m_ip_address, 3232235620u);

    // The dialog's forms go through the block's entry.
    MachineParams view;
    view.SetMachine(&fresh);
    EXPECT_TRUE(ExportMachineFile(view, Path("b.machine")));
    EXPECT_EQ(m_scratch.Read("b.machine"), m_scratch.Read("a.machine"));
}

TEST_F(MachineFile, WithoutEntryOrBlockNothingIsWrittenAndHostileValuesReadAsDefinedNumbers)
{
    MachineNode bare;
    EXPECT_FALSE(CReadParamFile().WriteMachineFile(&bare, Path("none.machine")));
    EXPECT_FALSE(CReadParamFile().WriteMachineFile(nullptr, Path("none.machine")));
    EXPECT_FALSE(ExportMachineFile(MachineParams{}, Path("none.machine")));
    EXPECT_FALSE(m_scratch.Exists("none.machine"));
    EXPECT_FALSE(CReadParamFile().ReadMachineFile(nullptr, Path("none.machine")));
    EXPECT_FALSE(CReadParamFile().ReadMachineFile(&bare, Path("none.machine")));
    ASSERT_NE(bare.m_params, nullptr); // made and reset all the same
    EXPECT_EQ(bare.m_params->m_x_resolution, 0.0);

    bare.m_params->m_y_resolution = 9.0;
    m_scratch.Write("hostile.machine",
                    "unknown key\r\n5\r\n"
                    "macInfo_m_x_resolution\r\nnan\r\n"
                    "macInfo_m_x_max_speed\r\n-inf\r\n"
                    "macInfo_m_x_min_speed\r\n1e400\r\n"
                    "macInfo_m_x_journey\r\n1e300\r\n"
                    "macInfo_m_speed_rate\r\n1e300\r\n"
                    "macInfo_m_machine_type\r\n99999999999999999999999\r\n"
                    "macInfo_m_doub_head_len\r\n-3\r\n"
                    "macInfo_m_y_control");
    ASSERT_TRUE(CReadParamFile().ReadMachineFile(&bare, Path("hostile.machine")));
    const MachineParams& p = *bare.m_params;
    EXPECT_EQ(p.m_x_resolution, 0.0);
    EXPECT_EQ(p.m_x_max_speed, 0.0);
    EXPECT_EQ(p.m_x_min_speed, 0.0);
    EXPECT_EQ(p.m_x_journey, 1e300);
    EXPECT_EQ(p.m_speed_rate, static_cast<double>(std::numeric_limits<float>::max()));
    EXPECT_EQ(p.m_machine_type, 0xFFFFFFFFu);
    EXPECT_EQ(p.m_doub_head_len, 0xFFFFFFFDu);
    EXPECT_EQ(p.m_y_resolution, 9.0); // missing keys keep their values
    EXPECT_EQ(MachineParamWriteArray(p)[6], 0xFFFFFFFFu);
}

} // namespace
