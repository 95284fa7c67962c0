// The screen's resolution. It is taken as 96 dots per inch everywhere, so
// that sizes never depend on the display the program happens to run on.
#pragma once

namespace plat {

inline constexpr int kScreenDotsPerInch = 96;

// Pixels per metre of the screen: trunc(96 / 25.4 mm x 1000 + 0.5) = 3780.
// Images whose files give no resolution are measured with it.
constexpr int ScreenPixelsPerMetre()
{
    return static_cast<int>(kScreenDotsPerInch * 1000.0 / 25.4 + 0.5);
}

} // namespace plat
