// The connection, technology and parameter records are not built yet: no entry
// can hold one, so their destroy functions only ever see null.
#include "MachineNode.h"

#include <cassert>

void DestroyTransThreadInfo(CTransThreadInfo* session) { assert(session == nullptr); (void)session; }
void DestroyMachineParams(MachineParams* params) { assert(params == nullptr); (void)params; }
