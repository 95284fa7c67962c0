#include "platform/ParallelFor.h"
#include "settings/SettingsCopy.h"
#include "settings/SoftwareSettings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

TEST(SoftwareSettings, PaletteTellingRows)
{
    SoftwareSettings s;
    s.SetPaletteAndInterfaceDefaults();
    EXPECT_EQ(s.m_palette[0], 0x000000u);
    EXPECT_EQ(s.m_palette[1], 0x7B13DDu);
    EXPECT_EQ(s.m_palette[15], 0xB37A66u);
    EXPECT_EQ(s.m_palette[205], 0x0C0B0Au);
    // Greys from 206: 0x0A0A0A up in steps of 0x050505 to 0x737373 ...
    for (int i = 206; i <= 227; ++i)
        EXPECT_EQ(s.m_palette[i], 0x0A0A0Au + 0x050505u * static_cast<unsigned>(i - 206)) << i;
    // ... then two white tones ...
    EXPECT_EQ(s.m_palette[228], 0xFAFAFAu);
    EXPECT_EQ(s.m_palette[229], 0xFFFFFFu);
    // ... then 0x828282 to 0xF5F5F5, then 0x787878 and 0x7D7D7D.
    for (int i = 230; i <= 253; ++i)
        EXPECT_EQ(s.m_palette[i], 0x828282u + 0x050505u * static_cast<unsigned>(i - 230)) << i;
    EXPECT_EQ(s.m_palette[254], 0x787878u);
    EXPECT_EQ(s.m_palette[255], 0x7D7D7Du);
}

TEST(SoftwareSettings, OutOfRangePaletteIndexIsBlack)
{
    SoftwareSettings s;
    s.SetPaletteAndInterfaceDefaults();
    EXPECT_EQ(s.PaletteColor(-1), 0u);
    EXPECT_EQ(s.PaletteColor(256), 0u);
    EXPECT_EQ(s.PaletteColor(229), 0xFFFFFFu);
}

TEST(SoftwareSettings, DefaultsOfInterfaceAndOptions)
{
    SoftwareSettings s;
    s.open_file_dir = "/x/";
    s.SetPaletteAndInterfaceDefaults();
    s.SetOptionDefaults();
    EXPECT_EQ(s.m_crBackground, 0xFFFFFFu);
    EXPECT_EQ(s.m_crAxis, 0xFF8000u);
    EXPECT_EQ(s.m_bImportHandOver, 1);
    EXPECT_EQ(s.m_bShowOrder, 0);
    EXPECT_EQ(s.plt_resolution, 1016);
    EXPECT_EQ(s.dot_size, 2.0);
    EXPECT_EQ(s.net_interval, 100.0);
    EXPECT_EQ(s.m_assist_mode, 1);
    EXPECT_EQ(s.circle_export, 3);
    EXPECT_EQ(s.dxf_dimension, 0);
    EXPECT_EQ(s.path_hight, 0.5);
    EXPECT_TRUE(s.open_file_dir.empty());
}

// A worker thread's own settings follow its work onto the threads that run
// it side by side, nested loops too; a thread without them reads the
// program's settings, also in pieces run where a worker's ran before.
TEST(SoftwareSettings, AWorkersSettingsFollowItsWorkSideBySide)
{
    SoftwareSettings own;
    std::atomic<int> wrong{0};
    std::thread worker([&] {
        const ScopedThreadSettings scope(own);
        plat::ParallelFor(64, [&](std::size_t) {
            wrong += &ThreadSettings() != &own;
            plat::ParallelFor(4, [&](std::size_t) { wrong += &ThreadSettings() != &own; });
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        });
    });
    worker.join();
    EXPECT_EQ(wrong.load(), 0);
    plat::ParallelFor(64, [&](std::size_t) { wrong += &ThreadSettings() != &g_settings; });
    EXPECT_EQ(wrong.load(), 0);
}
