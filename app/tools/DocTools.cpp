#include "DocTools.h"

#include "DocStateDrawBezier.h"
#include "DocStateDrawEllipse.h"
#include "DocStateDrawNode.h"
#include "DocStateDrawRect.h"
#include "DocStateDrawText.h"
#include "DocStateEditNode.h"
#include "DocStateNone.h"
#include "DocStateZoomInOut.h"
#include "DocStateZoomMove.h"

#include "model/DocContext.h"
#include "model/DocState.h"

#include <array>

namespace {

// Index order: select, node edit, polyline, Bezier, rectangle, ellipse,
// text, zoom, pan.
constexpr std::array<plat::UINT, kToolCount> kCommands = {32772, 32791, 32792, 32909, 32793,
                                                          32794, 32882, 32788, 32937};

} // namespace

plat::UINT ToolCommand(std::int32_t index)
{
    return index >= 0 && index < kToolCount ? kCommands[static_cast<std::size_t>(index)] : 0;
}

std::int32_t ToolIndexOfCommand(plat::UINT command)
{
    for (std::size_t i = 0; i < kCommands.size(); ++i) {
        if (kCommands[i] == command)
            return static_cast<std::int32_t>(i);
    }
    return -1;
}

CDocState* CreateDocTool(std::int32_t index)
{
    switch (index) {
    case TOOL_SELECT:
        return new CDocStateNone;
    case TOOL_EDIT_NODE:
        return new CDocStateEditNode;
    case TOOL_POLYLINE:
        return new CDocStateDrawNode;
    case TOOL_BEZIER:
        return new CDocStateDrawBezier;
    case TOOL_RECT:
        return new CDocStateDrawRect;
    case TOOL_ELLIPSE:
        return new CDocStateDrawEllipse;
    case TOOL_TEXT:
        return new CDocStateDrawText;
    case TOOL_ZOOM:
        return new CDocStateZoomInOut;
    case TOOL_PAN:
        return new CDocStateZoomMove;
    default:
        return nullptr;
    }
}
