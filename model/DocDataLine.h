// The polyline object: a chain of straight segments through anchor nodes,
// open or closed (a closed outline repeats its first node as its last). It
// is also what every curve operation and importer produces through the
// node-list constructor. The bodies that the rectangle shares with it are
// the public static *Of members, which work on any object of the family.
#pragma once
#include "DocData.h"

#include <cstdint>

class CDocDataLine : public CDocData {
public:
    CDocDataLine();
    // Takes the list itself with adopt 1, else a copy. With nodes: the box
    // is computed, ends within 0.001 in x and in y close the outline (the
    // last node is put exactly on the first), and the polyline starts
    // selected.
    CDocDataLine(DOCNODE* nodes, std::uint8_t adopt, DOCCONTEXT* ctx);
    CDocDataLine(const CDocDataLine& source);
    CDocDataLine& operator=(const CDocDataLine&) = delete;
    ~CDocDataLine() override;

    void ScaleNodes(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx) override;

    // The node scaling of the polyline, rectangle, Bezier path and ellipse:
    // nodes and box scaled about (cx, cy); array pitches keep the gaps
    // between copies; lead points follow the first node; the end-gap marker
    // is recomputed.
    static void ScaleNodesOf(CDocData& obj, double cx, double cy, double sx, double sy, DOCCONTEXT* ctx);
};
