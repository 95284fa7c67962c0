// A parameter, technology or language file that cannot be read (a folder in
// its place) is treated as missing: the defaults stay and nothing aborts.
#include "settings/BarrierParams.h"
#include "settings/LanguageTable.h"
#include "settings/MachineNode.h"
#include "settings/MachineTech.h"
#include "settings/NestSettings.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"
#include "settings/WorkParams.h"
#include "platform/Prompt.h"

#include "ScratchProgramFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

namespace fs = std::filesystem;

TEST(UnreadableFiles, FolderNamedLikeEachParameterFileLeavesTheDefaults)
{
    ScratchProgramFolder scratch;
    plat::RecordingPrompt prompt;
    plat::SetPrompt(&prompt);
    for (const char* name : {"MacInfo.par", "WorkParam.par", "software.par", "nest.par", "Bari.par", "TechDef.par"})
        fs::create_directories(scratch.Root() + name);
    CReadParamFile files;

    std::int32_t cur = 5;
    MachineNode* machines = files.ReadMacInfo(&cur);
    ASSERT_NE(machines, nullptr);
    EXPECT_EQ(machines->Name(), u"Def");
    EXPECT_EQ(machines->m_next, nullptr);
    EXPECT_EQ(cur, 0);
    EXPECT_EQ(prompt.m_shown.size(), 1u); // reported as a missing list
    FreeMachineList(machines);

    WorkParams* layers = files.ReadWorkParam();
    int count = 0;
    for (const WorkParams* r = layers; r != nullptr; r = r->m_pNext, ++count) {
        EXPECT_EQ(r->m_group_num, count);
        EXPECT_EQ(r->m_s_speed, 300.0);
    }
    EXPECT_EQ(count, 256);
    FreeWorkParamList(layers);

    SoftwareSettings software;
    EXPECT_TRUE(files.ReadSoftwareParam(software));
    EXPECT_EQ(software.plt_resolution, 1016);
    EXPECT_EQ(software.net_interval, 100.0);

    NestSettings nest;
    nest.m_sizex = 1.0;
    EXPECT_TRUE(files.ReadNestParam(nest));
    EXPECT_EQ(nest.m_sizex, 9000.0);

    BARRIERPARAMS bari;
    bari.m_guide_up = 4.0;
    EXPECT_FALSE(files.ReadBarrierParam(bari));
    EXPECT_EQ(bari.m_guide_up, 4.0);

    CMachineTech tech(u"Def");
    EXPECT_EQ(tech.m_pCarveRepair, nullptr);
    EXPECT_EQ(tech.m_close_repay, 0.0);

    // The files that would have been written from the defaults cannot take
    // the folders' place: the folders are still there.
    for (const char* name : {"MacInfo.par", "WorkParam.par", "software.par", "nest.par"})
        EXPECT_TRUE(fs::is_directory(scratch.Root() + name)) << name;
    plat::SetPrompt(nullptr);
}

TEST(UnreadableFiles, FolderInPlaceOfWorkPathOrALanguageFileIsTakenAsMissing)
{
    ScratchProgramFolder scratch;
    fs::remove(scratch.Root() + "workPath.txt");
    fs::create_directories(scratch.Root() + "workPath.txt");
    ::setenv("XDG_DATA_HOME", "/tmp/brenvik-xdg", 1);
    EXPECT_EQ(CReadParamFile().GetWorkPath(), "/tmp/brenvik-xdg/Halvoren/Brenvik/work/");
    ::unsetenv("XDG_DATA_HOME");

    fs::create_directories(scratch.Language() + "0041.txt");
    scratch.Write("Language/Language", "0041.txt");
    std::array<std::u16string, kLanguageTableSize> table{};
    table[0] = u"kept";
    EXPECT_EQ(CReadParamFile().LoadLanguageFiles(table), 0);
    EXPECT_EQ(table[0], u"kept");

    // The pointer file itself a folder: the default language is loaded.
    fs::remove(scratch.Language() + "Language");
    fs::create_directories(scratch.Language() + "Language");
    scratch.Write("Language/4e2d6587002d7b804f53.txt", "0041\r\n");
    EXPECT_EQ(CReadParamFile().LoadLanguageFiles(table), 1);
    EXPECT_EQ(table[0], u"A");
}
