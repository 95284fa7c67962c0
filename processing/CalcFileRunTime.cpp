#include "CalcFileRunTime.h"

#include "JobRecords.h"
#include "settings/MachineParams.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <numbers>

namespace {

constexpr int kMaxHalvings = 60;
constexpr double kTolerance = 0.01;     // of the searched distances, mm
constexpr double kShortest = 0.001;     // shorter blocks are dropped, mm
constexpr double kCoordinateLimit = 1e9; // mm
constexpr double kHomeSpeed = 300.0;
constexpr std::uint32_t kStraightTurn = 32;  // below: no corner
constexpr std::uint32_t kSharpTurn = 3840;   // at or above: a stop at the start speed
constexpr std::uint32_t kFirstTurn = 8192;
// Blocks built before further array copies are left to the weight of the
// copies built; and the deepest nesting of array groups followed.
constexpr std::size_t kBlockBudget = 1'000'000;
constexpr int kMaxGroupDepth = 64;
// Blocks the second planning walk looks back over.
constexpr int kReachWalkMax = 64;

struct Tables {
    std::array<std::int32_t, 4097> cosine{};
    std::array<std::int32_t, 2048> arctan{};
};

const Tables& GetTables()
{
    static const Tables tables = [] {
        Tables t;
        for (std::size_t i = 0; i < t.cosine.size(); ++i)
            t.cosine[i] = static_cast<std::int32_t>(
                std::lround(4096.0 * std::cos(static_cast<double>(i) * 2.0 * std::numbers::pi / 16384.0)));
        for (std::size_t i = 0; i < t.arctan.size(); ++i)
            t.arctan[i] = static_cast<std::int32_t>(
                std::lround(std::atan(static_cast<double>(i) / 2048.0) * 16384.0 / (2.0 * std::numbers::pi)));
        return t;
    }();
    return tables;
}

// A parameter that is not a positive finite number counts as its default;
// one beyond its range as the bound.
double Positive(double v, double fallback, double lo, double hi)
{
    if (!(v > 0.0) || !std::isfinite(v))
        return fallback;
    return std::clamp(v, lo, hi);
}

double NonNegative(double v, double fallback, double hi)
{
    if (!(v >= 0.0) || !std::isfinite(v))
        return fallback;
    return std::min(v, hi);
}

RUNTIMEPARAMS Sanitized(const RUNTIMEPARAMS& p)
{
    const RUNTIMEPARAMS d;
    RUNTIMEPARAMS s = p;
    s.m_startSpeed = Positive(p.m_startSpeed, d.m_startSpeed, 1e-3, 1e6);
    s.m_travelSpeed = Positive(p.m_travelSpeed, d.m_travelSpeed, 1e-3, 1e6);
    s.m_speedRate = Positive(p.m_speedRate, d.m_speedRate, 1e-6, 1e6);
    s.m_acc = Positive(p.m_acc, d.m_acc, 1e-3, 1e9);
    s.m_minAcc = NonNegative(p.m_minAcc, d.m_minAcc, 1e9);
    s.m_jerk = Positive(p.m_jerk, d.m_jerk, 1e-3, 1e15);
    s.m_scanAcc = Positive(p.m_scanAcc, d.m_scanAcc, 1e-3, 1e9);
    s.m_scanMinAcc = NonNegative(p.m_scanMinAcc, d.m_scanMinAcc, 1e9);
    s.m_scanJerk = Positive(p.m_scanJerk, d.m_scanJerk, 1e-3, 1e15);
    s.m_divisor = Positive(p.m_divisor, d.m_divisor, 1e-9, 1e9);
    return s;
}

RAMP MakeRamp(double acc, double minAcc, double jerk)
{
    RAMP r{acc, minAcc, jerk, 0.0};
    // A ramp that starts at or above its peak has no jerk phase.
    if (minAcc < acc)
        r.jerkTime = (acc - minAcc) / jerk;
    return r;
}

double Length(const MOTIONBLOCK& b)
{
    return std::sqrt(b.dx * b.dx + b.dy * b.dy);
}

double Larger(const MOTIONBLOCK& b)
{
    return std::max(std::fabs(b.dx), std::fabs(b.dy));
}

double Sine(std::uint32_t turn)
{
    const std::int32_t quarter = 4096 - static_cast<std::int32_t>(turn);
    return CCalcFileRunTime::CosineTable(static_cast<std::uint32_t>(quarter < 0 ? -quarter : quarter)) / 4096.0;
}

// The lowest non-negative root of (a/2) t^2 + b t = d for d >= 0, b >= 0.
double QuadraticTime(double halfA, double b, double d)
{
    const double root = std::sqrt(b * b + 4.0 * halfA * d);
    const double den = b + root;
    return den > 0.0 ? 2.0 * d / den : 0.0;
}

// Follows the paths of a layer and makes their blocks, from the current
// point on.
class BlockBuilder {
public:
    BlockBuilder(std::vector<MOTIONBLOCK>& out, double divisor) : m_out(out), m_divisor(divisor) {}

    void Layer(const WORKLAYER& layer)
    {
        m_paths.clear();
        ForEachInRing(layer.m_paths, &PATHREC::m_pNext, [&](PATHREC& p) { m_paths.push_back(&p); });
        MatchBrackets();
        const bool scan = (layer.m_mode & 0x7F) == 2;
        m_kind = !scan ? BLOCK_CUT : (layer.m_style >= 2 ? BLOCK_SCAN_Y : BLOCK_SCAN);
        m_speed = layer.m_speed;
        const double hit = layer.m_hitTime / 1000.0;
        m_dotTime = std::isfinite(hit) && hit > 0.0 ? hit : 0.0;
        Paths(0, m_paths.size(), 0.0, 0.0, 0);
    }

    void Home() { MoveTo(0.0, 0.0, BLOCK_CUT, 0, kHomeSpeed, 0.0); }

private:
    // For each opening bracket the index of its closing one (the end of the
    // list when it has none).
    void MatchBrackets()
    {
        m_close.assign(m_paths.size(), m_paths.size());
        std::vector<std::size_t> open;
        for (std::size_t i = 0; i < m_paths.size(); ++i) {
            const PATHREC& p = *m_paths[i];
            if (p.m_kind != PATH_KIND_GROUP)
                continue;
            if (p.m_pArray != nullptr) {
                open.push_back(i);
            } else if (!open.empty()) {
                m_close[open.back()] = i;
                open.pop_back();
            }
        }
    }

    void Paths(std::size_t begin, std::size_t end, double ox, double oy, int depth)
    {
        for (std::size_t i = begin; i < end; ++i) {
            const PATHREC& p = *m_paths[i];
            if (p.m_kind == PATH_KIND_GROUP) {
                // A closing bracket, or a group nested too deep, whose
                // members then count once.
                if (p.m_pArray == nullptr || depth >= kMaxGroupDepth)
                    continue;
                Group(i, ox, oy, depth);
                i = m_close[i];
                continue;
            }
            SEGNODE* first = p.m_pSegs;
            if (first == nullptr)
                continue;
            if (p.m_kind == PATH_KIND_DOT) {
                MoveTo(first->m_x0 + ox, first->m_y0 + oy, BLOCK_DOT, 1, m_speed, m_dotTime);
                continue;
            }
            if (m_kind == BLOCK_CUT)
                MoveTo(first->m_x0 + ox, first->m_y0 + oy, BLOCK_CUT, 0, m_speed, 0.0);
            ForEachInRing(first, &SEGNODE::m_pNext, [&](const SEGNODE& s) {
                if (m_kind != BLOCK_CUT)
                    MoveTo(s.m_x0 + ox, s.m_y0 + oy, m_kind, 0, m_speed, 0.0);
                MoveTo(s.m_x1 + ox, s.m_y1 + oy, m_kind, 1, m_speed, 0.0);
            });
        }
    }

    // The members of an array group once per copy, row by row; copies
    // beyond the block budget are left to the weight of those built.
    void Group(std::size_t open, double ox, double oy, int depth)
    {
        const ARRAYREC& a = *m_paths[open]->m_pArray;
        const double dx = std::isfinite(a.m_dDx) ? a.m_dDx : 0.0;
        const double dy = std::isfinite(a.m_dDy) ? a.m_dDy : 0.0;
        const std::size_t first = m_out.size();
        const double copies = static_cast<double>(a.m_nRows) * a.m_nCols;
        double built = 0.0;
        for (std::uint32_t r = 0; r < a.m_nRows; ++r) {
            for (std::uint32_t c = 0; c < a.m_nCols; ++c) {
                if (built > 0.0 && m_out.size() >= kBlockBudget)
                    break;
                Paths(open + 1, m_close[open], ox + c * dx, oy + r * dy, depth + 1);
                built += 1.0;
            }
        }
        if (built > 0.0 && built < copies)
            for (std::size_t k = first; k < m_out.size(); ++k)
                m_out[k].weight *= copies / built;
    }

    void MoveTo(double x, double y, std::uint8_t kind, std::uint8_t laser, double speed, double time)
    {
        if (std::isnan(x) || std::isnan(y))
            return;
        x = std::clamp(x, -kCoordinateLimit, kCoordinateLimit);
        y = std::clamp(y, -kCoordinateLimit, kCoordinateLimit);
        MOTIONBLOCK b;
        b.dx = (x - m_x) / m_divisor;
        b.dy = (y - m_y) / m_divisor;
        b.speed = speed;
        b.endSpeed = speed;
        b.time = time;
        b.laserOn = laser;
        b.kind = kind;
        m_out.push_back(b);
        m_x = x;
        m_y = y;
    }

    std::vector<MOTIONBLOCK>& m_out;
    double m_divisor;
    double m_x = 0.0;
    double m_y = 0.0;
    std::vector<const PATHREC*> m_paths;
    std::vector<std::size_t> m_close;
    std::uint8_t m_kind = BLOCK_CUT;
    double m_speed = 0.0;
    double m_dotTime = 0.0;
};

bool SameWay(const MOTIONBLOCK& a, const MOTIONBLOCK& b)
{
    if (a.kind != b.kind || a.weight != b.weight)
        return false;
    switch (a.kind) {
    case BLOCK_CUT: {
        // The same direction, not only the same sign along x: a cut and its
        // way back stay two blocks.
        const double cross = a.dx * b.dy - a.dy * b.dx;
        const double dot = a.dx * b.dx + a.dy * b.dy;
        return dot > 0.0 && std::fabs(cross) <= 1e-9 * Length(a) * Length(b);
    }
    case BLOCK_SCAN:
        return (a.dx < 0.0) == (b.dx < 0.0);
    case BLOCK_SCAN_Y:
        return (a.dy < 0.0) == (b.dy < 0.0);
    default:
        return false; // every dot keeps its time
    }
}

// The planning of one estimate: sanitized parameters, the cut ramp and the
// turn of the last corner.
class Planner {
public:
    explicit Planner(const RUNTIMEPARAMS& params)
        : m_p(Sanitized(params)), m_cut(CCalcFileRunTime::CutRamp(m_p))
    {
    }

    const RUNTIMEPARAMS& Params() const { return m_p; }

    void Times(std::vector<MOTIONBLOCK>& blocks)
    {
        const double p0 = m_p.m_startSpeed;
        for (MOTIONBLOCK& b : blocks) {
            b.speed = Positive(b.speed, p0, 1e-3, 1e6);
            // A cut ends at the start speed until its corner is known: the
            // last block of the job keeps it.
            b.endSpeed = b.kind == BLOCK_CUT ? p0 : b.speed;
            b.plannable = 1;
        }
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            MOTIONBLOCK& b = blocks[i];
            if (b.kind == BLOCK_SCAN || b.kind == BLOCK_SCAN_Y)
                b.time = ScanTime(b, i + 1 == blocks.size());
        }
        std::uint32_t turn = kFirstTurn;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            MOTIONBLOCK& b = blocks[i];
            if (i == 0 || blocks[i - 1].kind == BLOCK_DOT) {
                if (b.kind == BLOCK_DOT)
                    b.speed = m_p.m_travelSpeed;
            }
            if (i == 0)
                continue;
            MOTIONBLOCK& prev = blocks[i - 1];
            if (prev.kind == BLOCK_CUT && b.kind == BLOCK_CUT)
                prev.endSpeed = CCalcFileRunTime::CornerSpeed(prev, b, prev.speed, turn, m_p);
            else if ((prev.kind == BLOCK_CUT) != (b.kind == BLOCK_CUT) && prev.kind != BLOCK_DOT)
                prev.endSpeed = p0;
            Plan(blocks, i - 1);
        }
        CutTimes(blocks);
    }

    // The walks back from block `at`. The first lowers end speeds to what a
    // block's length allows from the lower of its two ends; it stops at a
    // block that is not plannable, and at the first block it leaves as it
    // was, since the blocks before it were planned against these same
    // speeds. The second marks the first block back whose end speed can
    // still come down to the start speed over the blocks after it up to
    // `at` as not plannable: no later corner can lower it. It measures that
    // distance whole rather than restarting a ramp at every block, so that
    // the walks of a curve of short blocks stay short.
    void Plan(std::vector<MOTIONBLOCK>& blocks, std::size_t at)
    {
        const double p0 = m_p.m_startSpeed;
        for (std::size_t i = at + 1; i-- > 0;) {
            MOTIONBLOCK& b = blocks[i];
            if (b.kind != BLOCK_CUT)
                continue;
            if (b.plannable == 0)
                break;
            double firstEnd = p0; // what stands before the first block
            double& before = i == 0 ? firstEnd : blocks[i - 1].endSpeed;
            const double r = CCalcFileRunTime::SpeedAfterDistance(Length(b), std::min(before, b.endSpeed), m_cut);
            bool changed = false;
            double& larger = (i == 0 || b.endSpeed >= before) ? b.endSpeed : before;
            if (larger > r) {
                larger = r;
                changed = true;
            }
            if (std::fabs(b.dy) > std::fabs(b.dx) && std::fabs(b.dy) < kShortest && i + 1 < blocks.size() &&
                std::fabs(blocks[i + 1].dx) > std::fabs(blocks[i + 1].dy)) {
                const double s = Sine(CCalcFileRunTime::Turn(b.direction, blocks[i + 1].direction));
                if (s * b.endSpeed > p0) {
                    b.endSpeed = p0 / s;
                    changed = true;
                }
            }
            if (!changed)
                break;
        }
        double walked = 0.0;
        int steps = 0;
        for (std::size_t i = at; i > 0 && steps < kReachWalkMax; --i, ++steps) {
            MOTIONBLOCK& b = blocks[i];
            MOTIONBLOCK& prev = blocks[i - 1];
            if (b.kind != BLOCK_CUT || prev.kind != BLOCK_CUT || b.plannable == 0 || prev.plannable == 0)
                break;
            walked += Length(b);
            if (CCalcFileRunTime::SpeedChange(p0, prev.endSpeed, m_cut).distance <= walked) {
                prev.plannable = 0;
                break;
            }
        }
    }

    void CutTimes(std::vector<MOTIONBLOCK>& blocks) const
    {
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            MOTIONBLOCK& b = blocks[i];
            if (b.kind != BLOCK_CUT)
                continue;
            const double u = i > 0 && blocks[i - 1].kind == BLOCK_CUT ? blocks[i - 1].endSpeed : m_p.m_startSpeed;
            b.time = CutTime(b, u);
        }
    }

    double ScanTime(const MOTIONBLOCK& b, bool last) const
    {
        // Along the scan axis at the scan speed, across it at the start speed.
        const bool rows = b.kind == BLOCK_SCAN;
        const double along = std::fabs(rows ? b.dx : b.dy);
        const double across = std::fabs(rows ? b.dy : b.dx);
        double t = 0.0;
        if (last || along > kShortest)
            t += CCalcFileRunTime::ScanAccelTime(b.speed, m_p) + 2.0 / b.speed;
        return t + along / b.speed + across / m_p.m_startSpeed;
    }

private:
    // Accelerating from u: at the constant acceleration for a long travel,
    // else along the ramp.
    SPEEDCHANGE Accelerate(const MOTIONBLOCK& b, double u, double to) const
    {
        if (b.laserOn != 0 || Larger(b) < 1.0)
            return CCalcFileRunTime::SpeedChange(u, to, m_cut);
        if (!(u < to))
            return {};
        const double t = (to - u) / m_p.m_acc;
        return {m_p.m_acc * t * t / 2.0 + u * t, t};
    }

    double CutTime(const MOTIONBLOCK& b, double u) const
    {
        const double v = b.speed;
        const double e = b.endSpeed;
        const double length = Length(b);
        const SPEEDCHANGE up = Accelerate(b, u, v);
        const SPEEDCHANGE down = CCalcFileRunTime::SpeedChange(e, v, m_cut);
        double time = 0.0;
        if (length - kTolerance >= up.distance + down.distance) {
            time = (length - up.distance - down.distance) / v + up.time + down.time;
        } else {
            // The top speed at which both ramps meet.
            double lo = 0.0;
            double hi = v;
            double w = v / 2.0;
            SPEEDCHANGE a = Accelerate(b, u, w);
            SPEEDCHANGE d = CCalcFileRunTime::SpeedChange(e, w, m_cut);
            for (int n = 0; n < kMaxHalvings && std::fabs(a.distance + d.distance - length) > kTolerance; ++n) {
                (a.distance + d.distance > length ? hi : lo) = w;
                w = (lo + hi) / 2.0;
                a = Accelerate(b, u, w);
                d = CCalcFileRunTime::SpeedChange(e, w, m_cut);
            }
            time = a.time + d.time;
        }
        // Never faster than the programmed speed: short blocks whose ramps
        // fit within the search's tolerance would otherwise take no time.
        return std::max(time, length / v);
    }

    RUNTIMEPARAMS m_p;
    RAMP m_cut;
};

} // namespace

void RUNTIMEPARAMS::TakeMachine(const MachineParams& machine)
{
    m_startSpeed = std::min(machine.m_x_min_speed, machine.m_y_min_speed) / 1000.0;
    m_speedRate = machine.m_speed_rate / 100.0;
    m_acc = machine.m_y_acceleration / 1000.0;
    m_minAcc = static_cast<double>(machine.m_min_acc / 1000);
    m_jerk = machine.m_y_acc_acceleration / 1000.0;
    m_scanAcc = machine.m_x_acceleration / 1000.0;
    m_scanMinAcc = static_cast<double>(machine.m_min_acc / 1000);
    m_scanJerk = machine.m_x_acc_acceleration / 1000.0;
    m_twoWay = (machine.m_machine_type & 0x0Cu) != 0 ? 1 : 0;
}

CCalcFileRunTime::~CCalcFileRunTime() = default;

std::int32_t CCalcFileRunTime::CosineTable(std::uint32_t i)
{
    return GetTables().cosine[std::min<std::uint32_t>(i, 4096)];
}

std::int32_t CCalcFileRunTime::ArctanTable(std::uint32_t i)
{
    return GetTables().arctan[std::min<std::uint32_t>(i, 2047)];
}

RAMP CCalcFileRunTime::CutRamp(const RUNTIMEPARAMS& params)
{
    const RUNTIMEPARAMS p = Sanitized(params);
    return MakeRamp(p.m_acc, p.m_minAcc, p.m_jerk);
}

RAMP CCalcFileRunTime::ScanRamp(const RUNTIMEPARAMS& params)
{
    const RUNTIMEPARAMS p = Sanitized(params);
    return MakeRamp(p.m_scanAcc, p.m_scanMinAcc, p.m_scanJerk);
}

double CCalcFileRunTime::SpeedAfterDistance(double distance, double speed, const RAMP& ramp)
{
    if (!(distance > 0.0))
        return speed;
    const double u = speed;
    const double a = ramp.acc;
    const double a0 = ramp.minAcc;
    const double j = ramp.jerk;
    const double t1 = ramp.jerkTime;
    const double va = u + a0 * t1 + j * t1 * t1 / 2.0;
    const double s1 = u * t1 + a0 * t1 * t1 / 2.0 + j * t1 * t1 * t1 / 6.0;
    const double s2 = va * t1 + a * t1 * t1 / 2.0 - j * t1 * t1 * t1 / 6.0;
    if (s1 + s2 < distance) {
        // A phase at the peak acceleration between the two jerk phases.
        const double t = QuadraticTime(a / 2.0, va + a * t1, distance - s1 - s2);
        return va + a * t + a * t1 - j * t1 * t1 / 2.0;
    }
    // The peak is lowered: two jerk phases of tau cover 2 u tau + 2 a0 tau^2 +
    // j tau^3, which grows with tau.
    const auto covered = [&](double tau) { return ((j * tau + 2.0 * a0) * tau + 2.0 * u) * tau; };
    double lo = 0.0;
    double hi = t1;
    double tau = t1;
    for (int n = 0; n < kMaxHalvings && std::fabs(covered(tau) - distance) > kTolerance; ++n) {
        (covered(tau) > distance ? hi : lo) = tau;
        tau = (lo + hi) / 2.0;
    }
    return u + 2.0 * a0 * tau + j * tau * tau;
}

SPEEDCHANGE CCalcFileRunTime::SpeedChange(double from, double to, const RAMP& ramp)
{
    if (!(from < to))
        return {};
    const double u = from;
    const double a = ramp.acc;
    const double a0 = ramp.minAcc;
    const double j = ramp.jerk;
    const double t1 = ramp.jerkTime;
    const double va = u + a0 * t1 + j * t1 * t1 / 2.0;
    const double gain = a * t1 - j * t1 * t1 / 2.0;
    if (va + gain < to) {
        const double t2 = (to - gain - va) / a;
        const double up = u * t1 + a0 * t1 * t1 / 2.0 + j * t1 * t1 * t1 / 6.0;
        const double down = (va + a * t2) * t1 + a * t1 * t1 / 2.0 - j * t1 * t1 * t1 / 6.0;
        return {a * t2 * t2 / 2.0 + va * t2 + up + down, 2.0 * t1 + t2};
    }
    // Two jerk phases of tau with the lowered peak a0 + j tau reach
    // u + 2 a0 tau + j tau^2.
    const double tau = QuadraticTime(j / 2.0, a0, (to - u) / 2.0);
    const double up = u * tau + a0 * tau * tau / 2.0 + j * tau * tau * tau / 6.0;
    const double down =
        (u + a0 * tau + j * tau * tau / 2.0) * tau + (a0 + j * tau) * tau * tau / 2.0 - j * tau * tau * tau / 6.0;
    return {up + down, 2.0 * tau};
}

double CCalcFileRunTime::ScanAccelTime(double speed, const RUNTIMEPARAMS& params)
{
    const RUNTIMEPARAMS p = Sanitized(params);
    const RAMP r = MakeRamp(p.m_scanAcc, p.m_scanMinAcc, p.m_scanJerk);
    const double p0 = p.m_startSpeed;
    // A scan no faster than the start speed starts at its speed.
    if (!(speed > p0))
        return 0.0;
    const double t1 = r.jerkTime;
    const double va = p0 + r.minAcc * t1 + r.jerk * t1 * t1 / 2.0;
    if (speed >= va)
        return t1 + (speed - va) / r.acc;
    return QuadraticTime(r.jerk / 2.0, r.minAcc, speed - p0);
}

std::uint32_t CCalcFileRunTime::DirectionCode(double dx, double dy)
{
    double fx = std::trunc(std::fabs(dx) * 1000.0);
    double fy = std::trunc(std::fabs(dy) * 1000.0);
    if (!std::isfinite(fx) || !std::isfinite(fy))
        return 0;
    // Beyond 2^52 the ratio is kept on smaller numbers.
    const double top = std::max(fx, fy);
    if (top > 4503599627370496.0) {
        fx = std::trunc(fx / top * 4503599627370496.0);
        fy = std::trunc(fy / top * 4503599627370496.0);
    }
    const auto x = static_cast<std::int64_t>(fx);
    const auto y = static_cast<std::int64_t>(fy);
    if (y == 0)
        return dx >= 0.0 ? 0 : 8192;
    if (x == 0)
        return dy >= 0.0 ? 4096 : 12288;
    std::int64_t a = 2048;
    if (x != y) {
        const std::int64_t smaller = std::min(x, y);
        const std::int64_t larger = std::max(x, y);
        const std::int64_t i = smaller >= 1048576 ? smaller / (larger / 2048) : smaller * 2048 / larger;
        a = ArctanTable(static_cast<std::uint32_t>(std::min<std::int64_t>(i, 2047)));
    }
    const bool steep = x <= y;
    std::int64_t code = 0;
    if (dx > 0.0) {
        if (steep)
            code = dy > 0.0 ? 4096 - a : 12288 + a;
        else
            code = dy < 0.0 ? 16384 - a : a;
    } else {
        if (steep)
            code = dy > 0.0 ? 4096 + a : 12288 - a;
        else
            code = dy <= 0.0 ? 8192 + a : 8192 - a;
    }
    return static_cast<std::uint32_t>(code);
}

std::uint32_t CCalcFileRunTime::Turn(std::uint32_t from, std::uint32_t to)
{
    const std::uint32_t d = from > to ? from - to : to - from;
    return d > 8192 ? 16384 - d : d;
}

double CCalcFileRunTime::CornerSpeed(const MOTIONBLOCK& previous, const MOTIONBLOCK& block, double speed,
                                     std::uint32_t& previousTurn, const RUNTIMEPARAMS& params)
{
    std::uint32_t turn = Turn(previous.direction, block.direction);
    if (Larger(block) < 1.0) {
        // Short blocks: a turn close to the last corner's is taken as it.
        const std::uint32_t last = previousTurn;
        const std::uint32_t d1 = last / 8 > 91 ? 45 : last / 8;
        const std::uint32_t d2 = std::min<std::uint32_t>(last / 4, 91);
        const std::uint32_t off = turn > last ? turn - last : last - turn;
        if (off < d1) {
            turn = std::min(turn, last);
        } else if (off < d2) {
            turn = turn <= last ? last - d1 : last + d1;
        }
    }
    previousTurn = turn;
    const RUNTIMEPARAMS p = Sanitized(params);
    if (turn < kStraightTurn)
        return speed;
    if (turn >= kSharpTurn)
        return p.m_startSpeed;
    const double s = CosineTable(4096 - turn) / 4096.0;
    const double c = CosineTable(turn) / 4096.0;
    const double den = (1.0 - c) * s;
    // Turns too small for the table's cosine to fall below 1 set no limit.
    if (!(den > 0.0))
        return speed;
    return std::min(speed, std::sqrt((s + 1.0 - c) * p.m_speedRate / den * p.m_acc * 2.0));
}

std::vector<MOTIONBLOCK> CCalcFileRunTime::BuildBlocks(const WORKHEAD* header, double divisor)
{
    std::vector<MOTIONBLOCK> blocks;
    if (header == nullptr)
        return blocks;
    // Room for the blocks of the job without its array copies.
    std::size_t expected = 1;
    ForEachLayer(header->m_layers, false, [&](WORKLAYER& layer) {
        ForEachPath(layer, [&](PATHREC& path) {
            std::size_t segments = 0;
            if (path.m_pSegs != nullptr)
                ForEachSegment(path, [&](SEGNODE&) { ++segments; });
            expected += 1 + ((layer.m_mode & 0x7F) == 2 ? 2 * segments : segments);
        });
    });
    blocks.reserve(expected);
    BlockBuilder builder(blocks, Positive(divisor, 1.0, 1e-9, 1e9));
    ForEachLayer(header->m_layers, false, [&](const WORKLAYER& layer) { builder.Layer(layer); });
    builder.Home();
    return blocks;
}

void CCalcFileRunTime::MergeBlocks(std::vector<MOTIONBLOCK>& blocks)
{
    std::size_t kept = 0;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const MOTIONBLOCK& b = blocks[i];
        if (b.kind != BLOCK_DOT && std::fabs(b.dx) < kShortest && std::fabs(b.dy) < kShortest)
            continue;
        if (kept > 0 && SameWay(blocks[kept - 1], b)) {
            blocks[kept - 1].dx += b.dx;
            blocks[kept - 1].dy += b.dy;
            continue;
        }
        blocks[kept++] = b;
    }
    blocks.resize(kept);
    for (MOTIONBLOCK& b : blocks)
        b.direction = DirectionCode(b.dx, b.dy);
}

void CCalcFileRunTime::PlanSpeeds(std::vector<MOTIONBLOCK>& blocks, std::size_t at, const RUNTIMEPARAMS& params)
{
    if (at >= blocks.size())
        return;
    Planner(params).Plan(blocks, at);
}

void CCalcFileRunTime::BlockTimes(std::vector<MOTIONBLOCK>& blocks, const RUNTIMEPARAMS& params)
{
    Planner(params).Times(blocks);
}

void CCalcFileRunTime::CutBlockTimes(std::vector<MOTIONBLOCK>& blocks, const RUNTIMEPARAMS& params)
{
    Planner(params).CutTimes(blocks);
}

double CCalcFileRunTime::CalcRunTime(const WORKHEAD* header, const RUNTIMEPARAMS& params) const
{
    if (header == nullptr)
        return 0.0;
    Planner planner(params);
    const RUNTIMEPARAMS& p = planner.Params();
    std::vector<MOTIONBLOCK> blocks = BuildBlocks(header, p.m_divisor);
    MergeBlocks(blocks);
    planner.Times(blocks);
    double sum = 0.0;
    for (const MOTIONBLOCK& b : blocks)
        sum += b.time * b.weight;

    const double columns = header->m_arrayCountX;
    const double rows = header->m_arrayCountY;
    const double n = p.m_twoWay != 0 && header->m_arrayCountX > 1
                         ? header->m_arrayCountX / 2 + header->m_arrayCountX % 2
                         : columns;
    const double t = sum * n;
    const auto finite = [](double v) { return std::isfinite(v) ? std::fabs(v) : 0.0; };
    const double feeds = std::max(header->m_feedCount, 0);
    const double perFeed = std::max(rows * columns - 1.0, 0.0) * finite(header->m_pitchY) / p.m_travelSpeed +
                           rows * t + std::max(rows - 1.0, 0.0) * finite(header->m_pitchX) / p.m_travelSpeed;
    const double result = perFeed * feeds + std::max(header->m_feedDelay, 0) * feeds +
                          feeds * finite(header->m_feedLength) / p.m_startSpeed;
    if (!(result >= 0.0))
        return 0.0;
    return std::isfinite(result) ? result : DBL_MAX;
}
