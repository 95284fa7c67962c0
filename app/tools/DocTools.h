// The nine editing tools by their index in the edit context's table
// (DOCCONTEXT::m_pTools): the command of the button that selects each, and
// the factory the document makes them with. Each tool derives from
// CDocState (model/DocState.h, which states what the view promises a tool).
#pragma once
#include "platform/Win.h"

#include <cstdint>

class CDocState;

// The command that selects the tool of an index (0 to 8); 0 for any other.
plat::UINT ToolCommand(std::int32_t index);
// The tool a command selects; -1 for any other command.
std::int32_t ToolIndexOfCommand(plat::UINT command);

// A new tool for an index (0 to 8), the document's to delete; null for any
// other index.
CDocState* CreateDocTool(std::int32_t index);
