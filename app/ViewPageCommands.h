// The view's commands that switch the work panel's optional pages on and off
// (the light-guide plate page 32870, the nesting page 32889), each checked
// while its page is on. One switch serves every optional page, the manual
// order page's too.
#pragma once
#include "platform/Win.h"

#include <cstdint>

class COrvelView;
class WorkPanelPages;
struct DOCCONTEXT;
struct SoftwareSettings;

namespace plat {
class ViewWindow;
}

class ViewPageCommands {
public:
    static constexpr plat::UINT kLightGuideCommand = 32870;
    static constexpr plat::UINT kNestCommand = 32889;
    static constexpr plat::UINT kOrderCommand = 32886;

    // Adds the commands to the view's table.
    static void Register(COrvelView& view);

    // Inverts the page's switch in the context's settings (the process-wide
    // ones without). On: the panel shows the page with the context and the
    // view. Off: the page goes and the machine control page shows; the
    // light-guide plate page also takes every pattern with it. Nothing
    // without a panel or for a page that is not optional.
    static void SwitchPage(WorkPanelPages* pages, int pageId, DOCCONTEXT& ctx, plat::ViewWindow* view);

    // Deletes the attached pattern of every object as one undo step (none
    // when no object has one) and repaints where they were; true when there
    // was one.
    static bool RemovePatterns(DOCCONTEXT& ctx);

    // The settings switch of an optional page; null for any other page.
    static std::uint8_t* PageSwitch(SoftwareSettings& settings, int pageId);
};
