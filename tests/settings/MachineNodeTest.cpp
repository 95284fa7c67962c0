#include "settings/MachineNode.h"

#include <gtest/gtest.h>

TEST(MachineNode, NewEntryDefaults)
{
    MachineNode m;
    EXPECT_EQ(m.m_ip, 0xC0A80064u);
    EXPECT_EQ(m.m_orign, 1);
    EXPECT_EQ(m.m_dot, 0);
    EXPECT_EQ(m.m_xsize, 900);
    EXPECT_EQ(m.m_ysize, 600);
    EXPECT_EQ(m.m_ratio, 0.0);
    EXPECT_EQ(m.m_session, nullptr);
    EXPECT_EQ(m.m_params, nullptr);
    EXPECT_EQ(m.Name(), u"");
    static_assert(sizeof(m.m_name) == 100, "fifty UTF-16 units");
}

TEST(MachineNode, NameIsCutToFortyNineUnitsAndTerminated)
{
    MachineNode m;
    const std::u16string thirty(30, u'a');
    m.SetName(thirty);
    EXPECT_EQ(m.Name(), thirty);
    for (int i = 30; i < kMachineNameSize; ++i)
        EXPECT_EQ(m.m_name[i], u'\0');
    std::u16string sixty;
    for (int i = 0; i < 60; ++i)
        sixty += static_cast<char16_t>(u'A' + i % 26);
    m.SetName(sixty);
    EXPECT_EQ(m.Name(), sixty.substr(0, 49));
    EXPECT_EQ(m.m_name[49], u'\0');
    // A shorter name clears what the longer one left behind.
    m.SetName(u"Def");
    EXPECT_EQ(m.Name(), u"Def");
    EXPECT_EQ(m.m_name[10], u'\0');
}

TEST(MachineNode, CutNeverSplitsASurrogatePair)
{
    MachineNode m;
    std::u16string name(48, u'x');
    name += u"\U0001F600";
    m.SetName(name);
    EXPECT_EQ(m.Name(), std::u16string(48, u'x'));
}

TEST(MachineNode, CurrentMachineHelperStaysInsideTheList)
{
    SoftwareSettings s;
    MachineNode* a = new MachineNode;
    MachineNode* b = new MachineNode;
    MachineNode* c = new MachineNode;
    a->m_next = b;
    b->m_prev = a;
    b->m_next = c;
    c->m_prev = b;
    s.m_pMachines = a;
    s.m_nCurMachine = 0;
    EXPECT_EQ(GetCurrentMachine(s), a);
    s.m_nCurMachine = -5;
    EXPECT_EQ(GetCurrentMachine(s), a);
    s.m_nCurMachine = 2; // length - 1
    EXPECT_EQ(GetCurrentMachine(s), c);
    s.m_nCurMachine = 3; // length
    EXPECT_EQ(GetCurrentMachine(s), nullptr);
    s.m_nCurMachine = 1000;
    EXPECT_EQ(GetCurrentMachine(s), nullptr);
    // Counted from the head, a negative index names no entry.
    EXPECT_EQ(MachineAt(a, 0), a);
    EXPECT_EQ(MachineAt(a, 2), c);
    EXPECT_EQ(MachineAt(a, 3), nullptr);
    EXPECT_EQ(MachineAt(a, -1), nullptr);
    EXPECT_EQ(MachineAt(nullptr, 0), nullptr);
    FreeMachineList(s.m_pMachines);
    EXPECT_EQ(s.m_pMachines, nullptr);
    EXPECT_EQ(GetCurrentMachine(s), nullptr);
}
