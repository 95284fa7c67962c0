// The machine's physical memory, which sizes the undo history's budget.
#pragma once
#include <cstdint>

namespace plat {

// Bytes of physical memory; 0 when the system does not tell.
std::uint64_t PhysicalMemoryBytes();

} // namespace plat
