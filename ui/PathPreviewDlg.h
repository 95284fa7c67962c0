// The work preview's arithmetic: how the job is fitted into the picture and
// what the run-time estimate is computed from and shown as.
#pragma once
#include "processing/CalcFileRunTime.h"

#include <string>

struct MachineNode;

class CPathPreviewDlg {
public:
    // Pixels per job unit for a picture of the given size and the job's
    // horizontal and vertical extents: the smaller of the two axis scales,
    // the one usable scale when only one is, else 1.0. Only a finite scale
    // above 1e-5 is usable, so a one-dot job (both extents 0) stays finite.
    static double FitScale(double pictureWidth, double pictureHeight, double extentX, double extentY);

    // The estimate's parameters: the defaults, the machine's block when it
    // holds values read from the controller or a file, and the scale as the
    // coordinate divisor. A block that was never filled holds zeros and
    // would give an estimate from zero speeds, so it is left out.
    static RUNTIMEPARAMS RunTimeParams(const MachineNode* machine, double scale);

    // "%d %s\r%02d %s\r%02d %s": hours, minutes and seconds of the rounded
    // run time with their unit texts; a time that is not a finite,
    // non-negative number of seconds shows as 0.
    static std::u16string RunTimeText(double seconds, const std::u16string& hours, const std::u16string& minutes,
                                      const std::u16string& secondsText);
};
