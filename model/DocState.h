// The base of the editing tools, with the services that engine code uses of
// it: freeing node lists and growing boxes (the undo history and selection
// services grow here with the drawing objects).
#pragma once
#include "GeoBox.h"
#include "NodeList.h"

class CDocState {
public:
    CDocState() = default;
    virtual ~CDocState() = default;

    // Frees every node of a list, cutting a ring open first; head becomes null.
    static void FreeNodeList(DOCNODE*& head);
    // Grows a box by d on every side.
    static void InflateRect(CGeoBox& box, double d);
};
