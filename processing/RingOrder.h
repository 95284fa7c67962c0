// Inside-first ordering: the paths of a cut layer are arranged in a tree by
// box containment and written back children before their parent, so that
// holes and inner parts are cut before the outline around them.
#pragma once
#include "machinecomm/VantrelRecords.h"

class CRingOrder {
public:
    virtual ~CRingOrder() = default;

    // For every layer whose mode is exactly 1 and that has paths: every path
    // unit (a group bracket with its members counts as one) becomes a tree
    // node with its list position and its stored extents. The root of a list
    // is found by walking it: a node whose box strictly contains (on all four
    // sides) the current choice replaces it. The nodes whose boxes lie within
    // the root's (edges included) form its subtree, built the same way; the
    // others follow as its siblings, again the same way. Siblings go by list
    // position, except that a sibling waits for those whose subtrees hold a
    // box within its own, so that no hole is cut after the outline around it
    // (boxes that overlap can leave one in a sibling's subtree); the tree is
    // written back depth first, children before their parent. The list stays
    // a ring when it was one.
    void Process(WORKLAYER* layers);
};
