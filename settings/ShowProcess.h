// Progress of a long operation on the drawing, shown in the main frame's
// status-bar progress control (plat::ProgressSink). The operation makes one
// on its stack, sets the range once with Start and advances it with Step.
#pragma once
#include "platform/Progress.h"

#include <cstdint>

class CShowProcess {
public:
    CShowProcess() = default;
    virtual ~CShowProcess();
    CShowProcess(const CShowProcess&) = delete;
    CShowProcess& operator=(const CShowProcess&) = delete;

    // Takes the registered progress control as the frame. False, the control
    // untouched, without a control or for fewer than one step; else the
    // control's range becomes 0..steps, its position 0, and the range of this
    // object steps + 1.
    bool Start(std::int32_t steps);
    // Moves the control on by one position from where it stands, modulo the
    // range; at the last position it returns to the end position (0). False
    // only for a range of 0; true without a frame, nothing moved.
    bool Step();

    std::uint32_t m_nEnd = 0;            // position shown once the range is used up
    std::uint32_t m_nRange = 100;        // positions: steps + 1
    plat::ProgressSink* m_pFrame = nullptr; // the control driven; null until Start
};
