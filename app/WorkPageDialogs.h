// The dialogs the work page opens, as the program wires them.
#pragma once

#include "ui/WorkPageWork.h"

// Machine manager, download, work preview, run-frame question, job name,
// transfer and the select tool, each the program's own.
CWorkPageWork::Dialogs MakeWorkPageDialogs();
