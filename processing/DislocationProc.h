// Start points of closed contours: each contour starts at a node that the
// head reaches moving in the same x and y sense as the contour's own last run
// into that node, so that the play of the axes is taken up the same way at
// the start and at the end of the cut and the two meet.
//
// Senses are +1, -1 or 0 (no move yet along that axis); a move shorter than
// 1e-5 along an axis is none. Lengths are millimetres. The object holds
// nothing.
#pragma once
#include "machinecomm/VantrelRecords.h"

#include <vector>

// The arrival of a ring at one of its segments (CDislocationProc::ArrivalRun).
struct ARRIVALRUN {
    int senseX;
    int senseY;
    double runX;
    double runY;
};

class CDislocationProc {
public:
    virtual ~CDislocationProc() = default;

    // Every layer in order from the reference point (0, 0) with no senses
    // yet (ChooseStart).
    static void Process(WORKLAYER* layers);

    // The paths of one layer in order. A closed path (kind 0, closed flag
    // set) is rotated to start at the best segment whose approach from the
    // reference point moves in both axes with the senses of the contour's
    // arrival there: the sharpest turn wins among those whose arrival runs
    // are both at least 1 mm, or among those that are all shorter; a
    // candidate with both runs above 1 mm also replaces an earlier one with
    // a shorter run. Every path with segments then carries the senses of its
    // arrival at its first segment on, and the reference point moves to its
    // end.
    static void ChooseStart(WORKLAYER* layer, double& refX, double& refY, int& senseX, int& senseY);

    // The senses with which the ring arrives at `seg` (those of the last
    // segment moving along each axis, walking the ring once from `seg`; an
    // axis without movement keeps the given sense), and the x and y lengths
    // of the run into it: the segments before `seg`, walking back at most
    // once round the ring, as long as they move with those senses.
    static void ArrivalRun(const SEGNODE* seg, int& senseX, int& senseY, double& runX, double& runY);

    // ArrivalRun of every segment of a ring, in ring order from its first
    // segment, in one pass instead of a walk back from each; the runs are
    // summed in a wider type and may differ from the walk's in the last bits.
    static std::vector<ARRIVALRUN> ArrivalRuns(const std::vector<SEGNODE*>& ring, int senseX, int senseY);
};
