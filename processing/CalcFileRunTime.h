// The run-time estimate of a finished job: every path becomes straight
// motion blocks, corners and jerk-limited ramps give each block its end
// speed and time, and the block times are summed with the job's array
// copies, feed repeats and feeds. The path preview calls it with the current
// machine's parameters and shows the result rounded to whole seconds.
//
// Whatever the job and the parameters, the estimate ends and is a finite
// number of seconds, at least 0: a parameter that is not a positive finite
// number counts as its default (the minimum accelerations may be 0) and one
// beyond its range as the bound; a layer speed that is not positive counts
// as the start speed; a point that is not a number is passed over and
// coordinates beyond +-1e9 mm count as that bound; every search stops after
// a fixed number of halvings; array copies beyond a budget of blocks are
// counted through the copies built.
#pragma once
#include "machinecomm/VantrelRecords.h"

#include <cstdint>
#include <vector>

struct MachineParams;

// The estimate's parameters, in their designed order (0 to 11).
struct RUNTIMEPARAMS {
    double m_startSpeed = 20.0;    // 0: start (minimum) speed, mm/s
    double m_travelSpeed = 300.0;  // 1: travel speed, mm/s
    double m_speedRate = 2.5;      // 2: speed rate of the corner limit
    double m_unused = 0.3;         // 3
    double m_acc = 2000.0;         // 4: acceleration of cuts and travels (y axis)
    double m_minAcc = 500.0;       // 5: acceleration a ramp starts from
    double m_jerk = 60000.0;       // 6: jerk (y axis)
    double m_scanAcc = 12000.0;    // 7: acceleration of scans (x axis)
    double m_scanMinAcc = 500.0;   // 8
    double m_scanJerk = 480000.0;  // 9
    std::uint8_t m_twoWay = 0;     // 10: array copies run both ways
    double m_divisor = 1.0;        // 11: coordinates are divided by it

    // Takes what the machine's parameters give (all but 1, 3 and 11).
    void TakeMachine(const MachineParams& machine);
};

// Block kinds.
enum : std::uint8_t {
    BLOCK_DOT = 0,
    BLOCK_CUT = 1,        // a cut or a travel
    BLOCK_SCAN = 2,       // a scan along x
    BLOCK_SCAN_Y = 130,   // a scan along y (column styles)
};

// One straight move.
struct MOTIONBLOCK {
    double dx = 0.0;
    double dy = 0.0;
    double speed = 0.0;    // programmed
    double endSpeed = 0.0;
    double time = 0.0;     // seconds
    double weight = 1.0;   // copies it stands for (array copies beyond the block budget)
    std::uint32_t direction = 4096; // 0..16383 per turn, 0 along +x, 4096 along +y
    std::uint8_t laserOn = 0;
    std::uint8_t kind = BLOCK_CUT;
    std::uint8_t plannable = 1;
};

// Distance and time of a speed change.
struct SPEEDCHANGE {
    double distance = 0.0;
    double time = 0.0;
};

// An acceleration ramp: from minAcc up to acc at the jerk, and down again.
struct RAMP {
    double acc = 0.0;
    double minAcc = 0.0;
    double jerk = 0.0;
    double jerkTime = 0.0; // (acc - minAcc) / jerk, 0 without jerk phase
};

class CCalcFileRunTime {
public:
    CCalcFileRunTime() = default;
    virtual ~CCalcFileRunTime();

    // Seconds the machine takes for the job; 0 for a null header.
    double CalcRunTime(const WORKHEAD* header, const RUNTIMEPARAMS& params) const;

    // The stages, in the order CalcRunTime runs them.

    // Blocks of every layer and path from the origin, array copies included,
    // and the travel back to the origin at 300 mm/s; dx and dy divided by the
    // divisor. Copies beyond a budget of blocks are not built: the copies
    // built stand for all of them through their weight.
    static std::vector<MOTIONBLOCK> BuildBlocks(const WORKHEAD* header, double divisor);
    // Drops cut and scan blocks shorter than 0.001 in x and in y, and joins
    // neighbours of one kind that move the same way: cuts in the same
    // direction, scans by the sign along their axis. Dots stay as they are.
    // Every block gets its direction code.
    static void MergeBlocks(std::vector<MOTIONBLOCK>& blocks);
    static std::uint32_t DirectionCode(double dx, double dy);
    // The turn between two direction codes, folded into 0..8192.
    static std::uint32_t Turn(std::uint32_t from, std::uint32_t to);
    // The end speed of the block before `block`, whose programmed speed is
    // `speed`, at the corner between them. `previousTurn` is the turn of the
    // corner before, which short blocks smooth against; it becomes this
    // corner's turn.
    static double CornerSpeed(const MOTIONBLOCK& previous, const MOTIONBLOCK& block, double speed,
                              std::uint32_t& previousTurn, const RUNTIMEPARAMS& params);
    // Plans the end speeds back from block `at`, then computes every time.
    static void PlanSpeeds(std::vector<MOTIONBLOCK>& blocks, std::size_t at, const RUNTIMEPARAMS& params);
    static void BlockTimes(std::vector<MOTIONBLOCK>& blocks, const RUNTIMEPARAMS& params);
    static void CutBlockTimes(std::vector<MOTIONBLOCK>& blocks, const RUNTIMEPARAMS& params);

    // Kinematics. The ramps of cuts and travels (parameters 4 to 6) and of
    // scans (7 to 9).
    static RAMP CutRamp(const RUNTIMEPARAMS& params);
    static RAMP ScanRamp(const RUNTIMEPARAMS& params);
    // The speed reached after accelerating over `distance` from `speed`.
    static double SpeedAfterDistance(double distance, double speed, const RAMP& ramp);
    // Distance and time to accelerate from `from` to `to` (0 and 0 when
    // `from` is not below `to`).
    static SPEEDCHANGE SpeedChange(double from, double to, const RAMP& ramp);
    // Time of a scan's acceleration from the start speed to `speed`.
    static double ScanAccelTime(double speed, const RUNTIMEPARAMS& params);

    // The fixed tables: K[i] = round(4096 cos(i 2 pi / 16384)), i = 0..4096,
    // and A[i] = round(atan(i / 2048) 16384 / 2 pi), i = 0..2047.
    static std::int32_t CosineTable(std::uint32_t i);
    static std::int32_t ArctanTable(std::uint32_t i);
};
