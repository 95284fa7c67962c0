// Both plug-in builds as the host loads them: start-up and shut-down, the
// menus, messages the plug-in does not handle, error alerts and their repeat
// limit, and a reload of the library.
#include "PluginTestSupport.h"

#include <gtest/gtest.h>

namespace {

using plat::PluginBuildInfo;
using plat::PluginFolders;
using plat::PluginLibrary;
using plat::HostedPlugin;

const std::vector<std::string> kSuitesInOrder = {
    "SP Access Suite 3",         "SP Plug-ins Suite 4",     "AI Notifier Suite 2",  "AI Context Suite 4",
    "ADM Basic Suite 10",        "AI User Suite 9",         "AI File Path Suite 2", "AI Folders Suite 3",
    "SP Blocks Suite 2",         "AI Unicode String Suite 6", "AI Menu Suite 9",    "AI Document Suite 11",
    "AI File Format Suite 11",   "AI Action Manager Suite 3", "AI Layer Suite 11",  "AI Art Suite 14",
    "AI Matching Art Suite 5",   "AI MdMemory Suite 1",     "AI Raster Suite 8",    "AI Text Frame Suite 1",
    "AI Path Style Suite 10",    "AI Real Math Suite 1",    "AI Rasterize Suite 7", "AI Art Set Suite 6",
    "AI Mask Suite 3",
};

class PluginMessages : public testing::TestWithParam<PluginBuildInfo> {
protected:
    void SetUp() override { ASSERT_NE(m_lib.Main(), nullptr) << ::dlerror(); }
    std::string Name() const { return GetParam().m_brenvikPlugin ? "BrenvikPlugin" : "Brisquel"; }

    PluginFolders m_folders;
    PluginLibrary m_lib{GetParam().m_library};
};

TEST_P(PluginMessages, StartupHoldsSuitesInOrderAddsMenusOnceAndShutdownReleasesInOrder)
{
    HostedPlugin s(m_lib.Main());
    ASSERT_EQ(s.Startup(), 0);
    EXPECT_EQ(s.m_host.m_acquired, kSuitesInOrder);
    EXPECT_EQ(s.m_host.m_pluginName, Name());
    EXPECT_EQ(s.m_host.m_notifiers,
              std::vector<std::string>{Name() + " App Started Notifier|AI Application Started Notifier"});
    EXPECT_EQ(s.m_host.m_locks, 1);
    EXPECT_EQ(s.m_host.m_menuGroups, (std::vector<std::string>{"Tool Palettes", "Vuvuv Avezuv"}));
    ASSERT_EQ(s.m_host.m_menuItems.size(), 3u);
    const auto& items = s.m_host.m_menuItems;
    EXPECT_EQ(items[0].m_name + "|" + items[0].m_group + "|" + items[0].m_text, "Vuvuv Avezuv|Tool Palettes|Vuvuv Avezuv");
    EXPECT_EQ(items[1].m_name + "|" + items[1].m_group, "Export|Vuvuv Avezuv");
    EXPECT_EQ(items[1].m_options, kMenuItemWantsUpdate);
    EXPECT_EQ(items[2].m_name + "|" + items[2].m_group, "About|Vuvuv Avezuv");
    EXPECT_EQ(items[2].m_options, 0);
    EXPECT_NE(s.m_message.m_globals, nullptr);

    // The start notifier and a purge call nothing of the host.
    const std::int64_t calls = s.m_host.CallCount();
    EXPECT_EQ(s.Send(kCallerNotifier, kSelectorNotify, nullptr, reinterpret_cast<NotifierHandle>(std::uintptr_t(1))), 0);
    EXPECT_EQ(s.Send(kCallerCache, kSelectorPurge), 0);
    EXPECT_EQ(s.m_host.CallCount(), calls);

    EXPECT_EQ(s.Shutdown(), 0);
    EXPECT_EQ(s.m_host.m_released, kSuitesInOrder);
    EXPECT_EQ(s.m_message.m_globals, nullptr);
    EXPECT_TRUE(s.m_host.m_misuse.empty()) << s.m_host.m_misuse.front();

    // A host that has the group already gets only the two items.
    HostedPlugin again(m_lib.Main());
    again.m_host.m_menuGroups = {"Tool Palettes", "Vuvuv Avezuv", "Window"};
    ASSERT_EQ(again.Startup(), 0);
    EXPECT_EQ(again.m_host.m_menuGroups.size(), 3u);
    ASSERT_EQ(again.m_host.m_menuItems.size(), 2u);
    EXPECT_EQ(again.m_host.m_menuItems[0].m_name, "Export");
    EXPECT_EQ(again.m_host.m_menuItems[1].m_name, "About");
    EXPECT_EQ(again.Shutdown(), 0);
}

TEST_P(PluginMessages, RefusedSuiteEndsStartupWithItsErrorAndReleasesTheHeldOnesInOrder)
{
    // Refused after the user and alert suites are held.
    HostedPlugin s(m_lib.Main());
    s.m_host.RefuseSuite("AI Menu Suite", 0x1234);
    EXPECT_EQ(s.Startup(), 0x1234);
    const std::vector<std::string> firstTen(kSuitesInOrder.begin(), kSuitesInOrder.begin() + 10);
    EXPECT_EQ(s.m_host.m_acquired, firstTen);
    EXPECT_EQ(s.m_host.m_released, firstTen);
    EXPECT_EQ(s.m_message.m_globals, nullptr);
    if (GetParam().m_brenvikPlugin)
        EXPECT_EQ(s.m_host.m_userAlerts, std::vector<std::string>{"Error: 4660, suite: AI Menu Suite, version: 9!"});
    else
        EXPECT_TRUE(s.m_host.m_userAlerts.empty());
    EXPECT_EQ(s.m_host.m_errorAlerts, std::vector<std::string>{"Error 4660."});

    // Refused before the user suite: nothing can be shown.
    HostedPlugin early(m_lib.Main());
    early.m_host.RefuseSuite("SP Plug-ins Suite", 7);
    EXPECT_EQ(early.Startup(), 7);
    EXPECT_EQ(early.m_host.m_released, std::vector<std::string>{"SP Access Suite 3"});
    EXPECT_TRUE(early.m_host.m_userAlerts.empty());
    EXPECT_TRUE(early.m_host.m_errorAlerts.empty());
    EXPECT_TRUE(early.m_host.m_misuse.empty());
}

TEST_P(PluginMessages, WorkPathMissingOrEmptyFailsStartupAndDoubledSeparatorsAreOneFolder)
{
    const std::string workPath = m_folders.m_install + "workPath.txt";
    std::filesystem::remove(workPath);
    HostedPlugin missing(m_lib.Main());
    EXPECT_EQ(missing.Startup(), FourCharErr("!wpt"));
    EXPECT_EQ(missing.m_host.m_errorAlerts,
              std::vector<std::string>{"The work folder cannot be read from workPath.txt (!wpt)."});
    EXPECT_EQ(missing.m_host.m_released, kSuitesInOrder);
    EXPECT_EQ(missing.m_message.m_globals, nullptr);

    plat::WriteFileBytes(workPath, "\r\n" + m_folders.m_work + "\r\n");
    HostedPlugin empty(m_lib.Main());
    EXPECT_EQ(empty.Startup(), FourCharErr("!wpt"));

    // The first line whole, however long, its doubled separators single.
    const std::string part(150, 'd');
    const std::string deep = m_folders.m_root + "//" + part + "/" + part + "//" + part + "/" + part + "//work//";
    std::filesystem::create_directories(deep);
    plat::WriteFileBytes(workPath, deep + "\r\n");
    HostedPlugin doubled(m_lib.Main());
    ASSERT_EQ(doubled.Startup(), 0);
    ASSERT_EQ(doubled.Export(), 0);
    const std::string single = m_folders.m_root + "/" + part + "/" + part + "/" + part + "/" + part + "/work/";
    ASSERT_FALSE(doubled.m_host.m_saveParams.empty());
    EXPECT_EQ(doubled.m_host.m_saveParams.front(), "name=" + single + "default.ai");
    // No art: seven lines and an extent of zeros.
    EXPECT_EQ(plat::ReadFileBytes(single + "cor.param"),
              "default.ai\r\nmax\r\n 0\r\n 0\r\nmin\r\n 0\r\n 0\r\n");
    EXPECT_EQ(m_folders.WaitForMarker(), "started\n");
    EXPECT_EQ(doubled.Shutdown(), 0);
}

TEST_P(PluginMessages, UnhandledNullAndOutOfLifeMessagesWriteTheWarningAndAnswerZero)
{
    HostedPlugin s(m_lib.Main());
    PluginMainFn main = m_lib.Main();
    testing::internal::CaptureStderr();
    EXPECT_EQ(main(nullptr, kSelectorStartup, &s.m_message), 0);
    EXPECT_EQ(main(kCallerInterface, nullptr, &s.m_message), 0);
    EXPECT_EQ(main(kCallerInterface, kSelectorStartup, nullptr), 0);
    EXPECT_EQ(s.Send(kCallerMenu, kSelectorGo), 0); // before Startup
    EXPECT_EQ(s.m_host.CallCount(), 0);
    ASSERT_EQ(s.Startup(), 0);
    EXPECT_EQ(s.Send("AI Bogus", "Nope"), 0);
    EXPECT_EQ(s.Send("SP Properties", "Acquire"), 0);
    EXPECT_EQ(s.Send(kCallerInterface, kSelectorStartup), 0); // a second start-up
    ASSERT_EQ(s.Shutdown(), 0);
    const std::int64_t calls = s.m_host.CallCount();
    EXPECT_EQ(s.Send(kCallerMenu, kSelectorGo), 0); // after Shutdown
    EXPECT_EQ(s.m_host.CallCount(), calls);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err,
              "Warning: Unhandled plugin message: caller \"(null)\" selector \"Startup\"\n"
              "Warning: Unhandled plugin message: caller \"SP Interface\" selector \"(null)\"\n"
              "Warning: Unhandled plugin message: caller \"SP Interface\" selector \"Startup\"\n"
              "Warning: Unhandled plugin message: caller \"AI Menu\" selector \"AI Go\"\n"
              "Warning: Unhandled plugin message: caller \"AI Bogus\" selector \"Nope\"\n"
              "Warning: Unhandled plugin message: caller \"SP Properties\" selector \"Acquire\"\n"
              "Warning: Unhandled plugin message: caller \"SP Interface\" selector \"Startup\"\n"
              "Warning: Unhandled plugin message: caller \"AI Menu\" selector \"AI Go\"\n");
    // A family the plug-in registers nothing for is answered quietly.
    HostedPlugin quiet(m_lib.Main());
    ASSERT_EQ(quiet.Startup(), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(quiet.Send("AI Tool", "AI Track Tool Cursor"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(quiet.Shutdown(), 0);
}

TEST_P(PluginMessages, ExportIsEnabledOnlyWithADocumentAndAboutShowsItsCaption)
{
    HostedPlugin s(m_lib.Main());
    ASSERT_EQ(s.Startup(), 0);
    EXPECT_EQ(s.Send(kCallerMenu, kSelectorUpdate, s.Item("Export")), 0);
    EXPECT_EQ(s.m_host.m_menuItems[1].m_enabled, 1);
    s.m_host.m_hasDocument = false;
    EXPECT_EQ(s.Send(kCallerMenu, kSelectorUpdate, s.Item("Export")), 0);
    EXPECT_EQ(s.m_host.m_menuItems[1].m_enabled, 0);
    EXPECT_EQ(s.Send(kCallerMenu, kSelectorUpdate, s.Item("About")), 0);
    EXPECT_EQ(s.m_host.m_menuItems[2].m_enabled, -1);

    EXPECT_EQ(s.Send(kCallerMenu, kSelectorGo, s.Item("About")), 0);
    const std::string caption = GetParam().m_brenvikPlugin ? "\xE6\x8F\x90\xE7\xA4\xBA" : "\xE5\x85\xB3\xE4\xBA\x8E";
    EXPECT_EQ(s.m_host.m_messageBoxes, std::vector<std::string>{caption + "|Use to machining"});
    EXPECT_EQ(s.Shutdown(), 0);
}

TEST_P(PluginMessages, AlertShowsSmallCodesInDecimalAndHidesARepeatWithinFiveSeconds)
{
    HostedPlugin s(m_lib.Main());
    ASSERT_EQ(s.Startup(), 0);
    s.m_host.FailMethod("DocumentGetDocument", 17, 1);
    plat::g_fakeNowMs = 2000000;
    EXPECT_EQ(s.Export(), 17);
    EXPECT_EQ(s.m_host.m_errorAlerts, std::vector<std::string>{"Error 17."});
    s.m_host.m_hasDocument = false;
    plat::g_fakeNowMs += 2000;
    EXPECT_EQ(s.Export(), plat::FakeHost::kErrNoDocument); // another code: shown
    plat::g_fakeNowMs += 1000;
    s.m_host.m_hasDocument = true;
    s.m_host.FailMethod("DocumentGetDocument", 17, 1);
    EXPECT_EQ(s.Export(), 17); // 17 is not the last code shown
    plat::g_fakeNowMs += 4999;
    s.m_host.FailMethod("DocumentGetDocument", 17, 1);
    EXPECT_EQ(s.Export(), 17); // hidden
    plat::g_fakeNowMs += 1;
    s.m_host.FailMethod("DocumentGetDocument", 17, 1);
    EXPECT_EQ(s.Export(), 17); // five seconds after it was shown
    EXPECT_EQ(s.m_host.m_errorAlerts, (std::vector<std::string>{"Error 17.", "Error DOC?.", "Error 17.", "Error 17."}));
    EXPECT_FALSE(std::filesystem::exists(m_folders.Marker()));
    EXPECT_EQ(s.Shutdown(), 0);
}

TEST_P(PluginMessages, ReloadRebuildsTheObjectInFreshlyLoadedCodeAndExportNeedsANewStartup)
{
    HostedPlugin s(m_lib.Main());
    ASSERT_EQ(s.Startup(), 0);
    EXPECT_EQ(s.Send(kCallerAccess, kSelectorUnload), 0);
    EXPECT_EQ(s.m_host.m_released, kSuitesInOrder);
    // Nothing may reach a released suite.
    const std::int64_t calls = s.m_host.CallCount();
    testing::internal::CaptureStderr();
    EXPECT_EQ(s.Export(), 0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(s.m_host.CallCount(), calls);

    m_lib.Close();
    m_lib.Open(GetParam().m_library);
    ASSERT_NE(m_lib.Main(), nullptr);
    s.m_main = m_lib.Main();
    EXPECT_EQ(s.Send(kCallerAccess, kSelectorReload), 0);
    std::vector<std::string> twice = kSuitesInOrder;
    twice.insert(twice.end(), kSuitesInOrder.begin(), kSuitesInOrder.end());
    EXPECT_EQ(s.m_host.m_acquired, twice);
    EXPECT_EQ(s.m_host.m_locks, 1);

    // The work folder is gone until the next start-up: nothing is written.
    EXPECT_EQ(s.Export(), FourCharErr("!wpt"));
    EXPECT_EQ(std::count(s.m_host.m_calls.begin(), s.m_host.m_calls.end(), "DocumentGetDocument"), 0);
    EXPECT_TRUE(std::filesystem::is_empty(m_folders.m_work));
    // The menu items are still known.
    EXPECT_EQ(s.Send(kCallerMenu, kSelectorGo, s.Item("About")), 0);
    EXPECT_EQ(s.m_host.m_messageBoxes.size(), 1u);
    EXPECT_EQ(s.Shutdown(), 0);
    EXPECT_TRUE(s.m_host.m_misuse.empty()) << s.m_host.m_misuse.front();
}

INSTANTIATE_TEST_SUITE_P(Builds, PluginMessages, testing::Values(plat::kBrisquelBuild, plat::kBrenvikPluginBuild),
                         plat::BuildName);

} // namespace
