// The two builds of the plug-in, Brisquel and BrenvikPlugin, come from the
// same sources; the compile definition BRENVIK_PLUGIN_BUILD selects the
// second. Everything in which they differ is here.
#pragma once

#ifdef BRENVIK_PLUGIN_BUILD
inline constexpr bool kBrenvikPluginBuild = true;
#else
inline constexpr bool kBrenvikPluginBuild = false;
#endif

// The name the host shows, also the start of the notifier's name.
inline constexpr const char* kPluginName = kBrenvikPluginBuild ? "BrenvikPlugin" : "Brisquel";

// Caption of the About box: "提示" or "关于".
inline constexpr const char* kAboutCaption = kBrenvikPluginBuild ? "\xE6\x8F\x90\xE7\xA4\xBA" : "\xE5\x85\xB3\xE4\xBA\x8E";

// A suite that cannot be acquired is shown to the user (through the user
// suite, when that one is there already).
inline constexpr bool kShowSuiteErrors = kBrenvikPluginBuild;

// The save action gets the key 'smab'.
inline constexpr bool kSaveSetsSmab = !kBrenvikPluginBuild;

// An image is rasterized over the bounds the rasterizer computes for its art
// set; otherwise over the art's own bounds.
inline constexpr bool kRasterizeOverSetBounds = !kBrenvikPluginBuild;
