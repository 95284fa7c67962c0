// What the text tests share: filling the text records' fixed character
// fields and the tolerance their coordinates are compared with.
#pragma once
#include <cstddef>
#include <cstring>

namespace plat {

constexpr double kEps = 1e-9;

// The field ends zero-filled and terminated, as the records expect.
template <std::size_t N>
void SetField(char (&field)[N], const char* value)
{
    std::memset(field, 0, N);
    std::strncpy(field, value, N - 1);
}

} // namespace plat
