// Command routing: the first target of the chain that handles an id takes
// it; an id nobody handles is disabled.
#include "AppTestSupport.h"
#include "qtplatform/CommandRouter.h"

#include <QAction>

namespace {

class CountingMap : public CommandMap {
public:
    void Handle(plat::UINT id, int check = -1)
    {
        On(
            id, [this, id] { m_ran.push_back(id); },
            [check](CmdUI& ui) {
                if (check >= 0)
                    ui.SetCheck(check);
            });
    }
    std::vector<plat::UINT> m_ran;
};

} // namespace

TEST(CommandRouter, FirstHandlerInTheChainTakesTheCommandAndUnhandledIdsAreDisabled)
{
    CountingMap panel;
    CountingMap view;
    CountingMap frame;
    panel.Handle(100, 1);
    view.Handle(100);
    view.Handle(200);
    frame.Handle(300);
    // An update handler alone sets the state but leaves the command to
    // targets further down.
    panel.On(400, nullptr, [](CmdUI& ui) { ui.Enable(false); });
    frame.Handle(400);
    CommandRouter router([&] { return std::vector<CommandTarget*>{&panel, &view, &frame}; });

    EXPECT_TRUE(router.Execute(100));
    EXPECT_EQ(panel.m_ran, std::vector<plat::UINT>{100});
    EXPECT_TRUE(view.m_ran.empty());
    EXPECT_TRUE(router.Execute(200));
    EXPECT_EQ(view.m_ran, std::vector<plat::UINT>{200});
    EXPECT_FALSE(router.Execute(999));

    EXPECT_TRUE(router.Update(300).m_bEnabled);
    EXPECT_FALSE(router.Update(400).m_bEnabled);
    EXPECT_TRUE(router.Execute(400));
    EXPECT_EQ(frame.m_ran, std::vector<plat::UINT>{400});

    QAction handled;
    QAction unhandled;
    QAction untagged;
    SetCommandId(&handled, 100);
    SetCommandId(&unhandled, 999);
    router.UpdateActions({&handled, &unhandled, &untagged});
    EXPECT_TRUE(handled.isEnabled());
    EXPECT_TRUE(handled.isChecked());
    EXPECT_FALSE(unhandled.isEnabled());
    EXPECT_TRUE(untagged.isEnabled()); // carries no id: left alone
}

TEST(CommandRouter, QueuedCommandRunsOnlyBackInTheEventLoop)
{
    CountingMap target;
    target.Handle(32892);
    CommandRouter router([&] { return std::vector<CommandTarget*>{&target}; });
    router.ExecuteQueued(32892);
    EXPECT_TRUE(target.m_ran.empty());
    ASSERT_TRUE(plat::WaitFor([&] { return !target.m_ran.empty(); }));
    EXPECT_EQ(target.m_ran.size(), 1u);
}
