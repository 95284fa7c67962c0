// Posting from inside the library. The shared library links the platform
// layer in with its symbols hidden, so its own copy of the poster
// registration would never see the poster that the program registers.
// Instead it calls the program's plat_PostMessage. The reference is weak: it
// pulls nothing out of the platform archive, and the dynamic linker binds it
// to the program that loads the library (which exports it because the
// library refers to it). Without a program poster messages are dropped.
#include "CommState.h"

extern "C" bool plat_PostMessage(plat::HWND window, plat::UINT msg, plat::WPARAM wParam,
                                 plat::LPARAM lParam) __attribute__((weak));

bool PostToWindow(plat::HWND window, plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam)
{
    return plat_PostMessage != nullptr && plat_PostMessage(window, msg, wParam, lParam);
}
