// Starts a program detached from the calling process (the host): no command
// line, the caller's environment and folder, no descriptor beyond 0, 1 and 2.
#pragma once
#include <string>

// The program runs as a grandchild: the child in between ends at once and is
// waited for here, so the host is left with no child of ours, running or
// ended. 0 once the program runs; otherwise the errno of the failing step
// (the exec's own, sent back through a pipe that the exec closes).
int StartDetachedProgram(const std::string& program);
