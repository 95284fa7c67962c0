// The machine list file MacInfo.par: the default machine made when the file
// is missing, the reading rules of each key, and the one cut of a machine
// name that the entry, its technology file and the controller all share.
#include "settings/LanguageTable.h"
#include "settings/MacInfoFile.h"
#include "settings/MachineNode.h"
#include "settings/MachineTech.h"
#include "settings/ReadParamFile.h"
#include "platform/CodePage.h"
#include "platform/Prompt.h"
#include "platform/WorkFolder.h"

#include "ScratchProgramFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

// Registers a prompt that records and a language table for one test.
class MacInfoTest : public ::testing::Test {
protected:
    MacInfoTest()
    {
        plat::SetPrompt(&m_prompt);
        m_table[300] = u"phase15:error-hint";
        m_table[311] = u"eleventh";
        m_table[312] = u"twelfth";
        SetLanguageTable(m_table);
    }
    ~MacInfoTest() override
    {
        SetLanguageTable({});
        plat::SetPrompt(nullptr);
    }

    std::vector<MachineNode*> Entries(MachineNode* head)
    {
        std::vector<MachineNode*> v;
        const MachineNode* prev = nullptr;
        for (MachineNode* m = head; m != nullptr; m = m->m_next) {
            EXPECT_EQ(m->m_prev, prev);
            prev = m;
            v.push_back(m);
        }
        return v;
    }

    ScratchProgramFolder m_scratch;
    plat::RecordingPrompt m_prompt;
    std::array<std::u16string, kLanguageTableSize> m_table{};
};

} // namespace

TEST_F(MacInfoTest, MissingListMakesDefaultMachineWritesFileAndReportsTwelfthText)
{
    std::int32_t cur = 7;
    MachineNode* head = CReadParamFile().ReadMacInfo(&cur);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->m_next, nullptr);
    EXPECT_EQ(head->Name(), u"Def");
    ASSERT_NE(head->m_tech, nullptr);
    EXPECT_EQ(head->m_tech->m_name, u"Def");
    EXPECT_EQ(cur, 0);

    const std::string expected = "item\r\n0\r\n"
                                 "name\r\nDef\r\n"
                                 "mac_type\r\n0\r\n"
                                 "mac_state\r\n0\r\n"
                                 "state\r\n0\r\n"
                                 "link_type\r\n0\r\n"
                                 "ip\r\n-1062731676\r\n"
                                 "ratio\r\n0.000000\r\n"
                                 "orign\r\n1\r\n"
                                 "dot\r\n0\r\n"
                                 "xsize\r\n900\r\n"
                                 "ysize\r\n600\r\n";
    EXPECT_EQ(expected.size(), 147u);
    EXPECT_EQ(m_scratch.Read("MacInfo.par"), expected);

    // The twelfth string after the marker, in an OK box.
    ASSERT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown[0].text, u"twelfth");
    EXPECT_EQ(m_prompt.m_shown[0].type, plat::MB_OK);
    FreeMachineList(head);

    // The file now exists: a second start reads it without a message.
    head = CReadParamFile().ReadMacInfo(&cur);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->Name(), u"Def");
    EXPECT_EQ(head->m_ip, 0xC0A80064u);
    EXPECT_EQ(m_prompt.m_shown.size(), 1u);
    FreeMachineList(head);
}

TEST_F(MacInfoTest, ShippedEnglishTableGivesTheMissingListMessage)
{
    // Load the shipped table from the build's program folder before the
    // scratch folder takes its place.
    plat::SetProgramFolderForTesting("");
    std::array<std::u16string, kLanguageTableSize> shipped{};
    ASSERT_GT(CReadParamFile().LoadLanguageFiles(shipped), 0);
    ASSERT_EQ(g_languageNames.Current(), u"English");
    plat::SetProgramFolderForTesting(m_scratch.Root());
    SetLanguageTable(shipped);

    std::int32_t cur = 3;
    MachineNode* head = CReadParamFile().ReadMacInfo(&cur);
    ASSERT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown[0].text, u"The machine list was missing: a default machine has been made.");
    FreeMachineList(head);
}

TEST_F(MacInfoTest, AddressReadAsSignedOrUnsignedNumberIsTheSame)
{
    m_scratch.Write("MacInfo.par", "item\r\n1\r\n"
                                   "name\r\nA\r\nip\r\n-1062731676\r\n"
                                   "name\r\nB\r\nip\r\n3232235620\r\n");
    std::int32_t cur = 0;
    MachineNode* head = CReadParamFile().ReadMacInfo(&cur);
    const std::vector<MachineNode*> m = Entries(head);
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0]->m_ip, 0xC0A80064u); // 192.168.0.100
    EXPECT_EQ(m[1]->m_ip, 0xC0A80064u);
    EXPECT_EQ(cur, 1);
    EXPECT_TRUE(m_prompt.m_shown.empty());
    FreeMachineList(head);
}

TEST_F(MacInfoTest, TwoMachinesReadBackInOrderWithEveryField)
{
    MachineNode* a = new MachineNode;
    a->SetName(u"Cutter");
    a->m_mac_type = 1;
    a->m_online = 1; // run-time state: never stored
    a->m_link_type = 1;
    a->m_ip = 0x0A000005; // 10.0.0.5
    a->m_ratio = 250.5;
    a->m_orign = 3;
    a->m_dot = 8;
    a->m_xsize = 1300;
    a->m_ysize = -5;
    MachineNode* b = new MachineNode;
    b->SetName(u"\u56fe"); // code page bytes CD BC
    b->m_ip = 0xFFFFFFFF;
    a->m_next = b;
    b->m_prev = a;
    ASSERT_TRUE(CReadParamFile().WriteMacInfo(a, 1));
    const std::string bytes = m_scratch.Read("MacInfo.par");
    EXPECT_NE(bytes.find("name\r\nCutter\r\nmac_type\r\n1\r\nmac_state\r\n0\r\nstate\r\n0\r\nlink_type\r\n1\r\n"
                         "ip\r\n167772165\r\nratio\r\n250.500000\r\norign\r\n3\r\ndot\r\n8\r\n"
                         "xsize\r\n1300\r\nysize\r\n-5\r\n"),
              std::string::npos);
    EXPECT_NE(bytes.find("name\r\n\xcd\xbc\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("ip\r\n-1\r\n"), std::string::npos);
    FreeMachineList(a);

    std::int32_t cur = -9;
    MachineNode* head = CReadParamFile().ReadMacInfo(&cur);
    const std::vector<MachineNode*> m = Entries(head);
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(cur, 1);
    EXPECT_EQ(m[0]->Name(), u"Cutter");
    EXPECT_EQ(m[0]->m_mac_type, 1);
    EXPECT_EQ(m[0]->m_online, 0);
    EXPECT_EQ(m[0]->m_link_type, 1);
    EXPECT_EQ(m[0]->m_ip, 0x0A000005u);
    EXPECT_EQ(m[0]->m_ratio, 250.5);
    EXPECT_EQ(m[0]->m_orign, 3);
    EXPECT_EQ(m[0]->m_dot, 8);
    EXPECT_EQ(m[0]->m_xsize, 1300);
    EXPECT_EQ(m[0]->m_ysize, -5);
    EXPECT_EQ(m[1]->Name(), u"\u56fe");
    EXPECT_EQ(m[1]->m_ip, 0xFFFFFFFFu);
    for (MachineNode* e : m) {
        ASSERT_NE(e->m_tech, nullptr);
        EXPECT_EQ(e->m_tech->m_name, e->Name());
    }
    FreeMachineList(head);
}

TEST_F(MacInfoTest, IgnoredKeysStrayValuesAndStateNeverChangeAnEntry)
{
    m_scratch.Write("MacInfo.par", "xsize\n111\n"          // before any machine: dropped
                                   "name\nM\n"
                                   "mac_state\n4\n"
                                   "state\n5\n"
                                   "colour\n9\n"
                                   "mac_type\n258\n"       // cut to 8 bits
                                   "item\n2\n"             // anywhere in the file
                                   "orign\n");             // key without a value line
    std::int32_t cur = 0;
    MachineNode* head = CReadParamFile().ReadMacInfo(&cur);
    const std::vector<MachineNode*> m = Entries(head);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0]->m_online, 0);
    EXPECT_EQ(m[0]->m_mac_type, 2);
    EXPECT_EQ(m[0]->m_xsize, 900);
    EXPECT_EQ(m[0]->m_orign, 1);
    EXPECT_EQ(cur, 2);
    FreeMachineList(head);
}

TEST_F(MacInfoTest, ByteOrderMarkBeforeTheFirstLineKeepsTheFirstMachine)
{
    m_scratch.Write("MacInfo.par", "\xEF\xBB\xBFname\r\nCutter\r\nxsize\r\n1300\r\nname\r\nB\r\n");
    MachineNode* head = CReadParamFile().ReadMacInfo(nullptr);
    const std::vector<MachineNode*> m = Entries(head);
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0]->Name(), u"Cutter");
    EXPECT_EQ(m[0]->m_xsize, 1300);
    EXPECT_EQ(m[1]->Name(), u"B");
    FreeMachineList(head);
}

TEST_F(MacInfoTest, FileWithoutMachinesGivesEmptyListAndNoMessage)
{
    m_scratch.Write("MacInfo.par", "item\r\n4\r\n");
    std::int32_t cur = 0;
    EXPECT_EQ(CReadParamFile().ReadMacInfo(&cur), nullptr);
    EXPECT_EQ(cur, 4);
    EXPECT_TRUE(m_prompt.m_shown.empty());
    // A null list writes only the index.
    ASSERT_TRUE(CReadParamFile().WriteMacInfo(nullptr, 0));
    EXPECT_EQ(m_scratch.Read("MacInfo.par"), "item\r\n0\r\n");
}

TEST(MachineNameCut, KeepsFortyNineUnitsAndFortyNineCodePageBytesAtACharacterBoundary)
{
    std::u16string sixty;
    for (int i = 0; i < 60; ++i)
        sixty += static_cast<char16_t>(u'A' + i % 26);
    EXPECT_EQ(CutMachineName(sixty), sixty.substr(0, 49));
    // 30 two-byte characters: 24 of them fill 48 bytes, a 25th would need 50.
    EXPECT_EQ(CutMachineName(std::u16string(30, u'\u56fe')), std::u16string(24, u'\u56fe'));
    // 48 bytes of ASCII leave no room for a two-byte character.
    EXPECT_EQ(CutMachineName(std::u16string(48, u'a') + u"\u56fe"), std::u16string(48, u'a'));
    // A pair that would end past the 49th unit goes whole.
    EXPECT_EQ(CutMachineName(std::u16string(48, u'a') + u"\U0001F600"), std::u16string(48, u'a'));
    EXPECT_EQ(CutMachineName(u"Def"), u"Def");
}

TEST_F(MacInfoTest, LongNameIsCutOnceSoEntryAndTechnologyFileAgree)
{
    // The technology file of the cut name; a lookup by the whole name would
    // miss it.
    const std::u16string cut(24, u'\u56fe');
    m_scratch.Write(plat::TechFileName(cut), "m_close_use\r\n1\r\n");
    std::string line;
    for (int i = 0; i < 30; ++i)
        line += "\xcd\xbc";
    m_scratch.Write("MacInfo.par", "item\r\n0\r\nname\r\n" + line + "\r\n");

    std::int32_t cur = 0;
    MachineNode* head = CReadParamFile().ReadMacInfo(&cur);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->Name(), cut);
    ASSERT_NE(head->m_tech, nullptr);
    EXPECT_EQ(head->m_tech->m_name, cut);
    EXPECT_EQ(head->m_tech->m_close_use, 1);
    // The name reaches the controller whole: 48 bytes and the terminator fit
    // its 50-byte field.
    EXPECT_EQ(plat::WideToCodePage(head->Name()).size(), 48u);
    FreeMachineList(head);
}

TEST_F(MacInfoTest, NameSetOnAnEntryIsCutAlikeSoItsTechnologyFileSurvivesARestart)
{
    // 30 two-byte characters, as a machine manager might name a machine: the
    // entry keeps the 24 that fit 49 code-page bytes, so the technology file
    // saved now is the one loaded after the list is read again.
    MachineNode* node = new MachineNode;
    node->SetName(std::u16string(30, u'\u56fe'));
    EXPECT_EQ(node->Name(), std::u16string(24, u'\u56fe'));
    node->m_tech = new CMachineTech(node->Name());
    node->m_tech->m_close_use = 1;
    ASSERT_TRUE(CReadParamFile().WriteTechParam(*node->m_tech));
    ASSERT_TRUE(CReadParamFile().WriteMacInfo(node, 0));
    FreeMachineList(node);

    std::int32_t cur = 0;
    MachineNode* head = CReadParamFile().ReadMacInfo(&cur);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->Name(), std::u16string(24, u'\u56fe'));
    ASSERT_NE(head->m_tech, nullptr);
    EXPECT_EQ(head->m_tech->m_close_use, 1);
    FreeMachineList(head);
}

TEST_F(MacInfoTest, LineBreakInANameCannotShiftTheEntriesThatFollow)
{
    // Written as it is, "Cut\nter" would make "ter" a key and shift every
    // later line of the file by one.
    MachineNode* a = new MachineNode;
    a->SetName(u"Cut\r\nter");
    EXPECT_EQ(a->Name(), u"Cut__ter");
    MachineNode* b = new MachineNode;
    b->SetName(u"B");
    b->m_xsize = 1300;
    b->m_link_type = 1;
    a->m_next = b;
    b->m_prev = a;
    ASSERT_TRUE(CReadParamFile().WriteMacInfo(a, 1));
    EXPECT_EQ(m_scratch.Read("MacInfo.par").substr(0, 25), "item\r\n1\r\nname\r\nCut__ter\r\n");
    FreeMachineList(a);

    std::int32_t cur = 0;
    MachineNode* head = CReadParamFile().ReadMacInfo(&cur);
    const std::vector<MachineNode*> m = Entries(head);
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0]->Name(), u"Cut__ter");
    EXPECT_EQ(m[1]->Name(), u"B");
    EXPECT_EQ(m[1]->m_xsize, 1300);
    EXPECT_EQ(m[1]->m_link_type, 1);
    // The technology file is the one the original name already led to.
    EXPECT_EQ(plat::TechFileName(m[0]->Name()), plat::TechFileName(u"Cut\r\nter"));
    FreeMachineList(head);
}
