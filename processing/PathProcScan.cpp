// Raster engraving scans as the processing chain reaches them, and the carve
// repair of two-way scans.
#include "PathProc.h"

#include "JobRecords.h"
#include "settings/MachineTech.h"

#include <cmath>

namespace {

constexpr double kMinSpeed = 0.001;
// Start coordinates farther apart than this begin a new scan line.
constexpr double kNewLineTol = 0.001;
constexpr std::uint8_t kScanMode = 2;
constexpr std::uint8_t kRowsBothWays = 1;
constexpr std::uint8_t kColumnsBothWays = 3;

// The shift of one path along one axis: `along` gives a segment's start and
// end on the scan axis, `across` its start on the other one.
template <typename Along, typename Across>
void ShiftBackwardRuns(PATHREC& path, double d, Along along, Across across)
{
    double sign = 1.0;
    const SEGNODE* previous = nullptr;
    ForEachSegment(path, [&](SEGNODE& s) {
        if (previous != nullptr && std::fabs(across(s) - across(*previous)) > kNewLineTol)
            sign = -sign;
        double& a0 = along(s, true);
        double& a1 = along(s, false);
        if (a0 > a1) {
            sign = 1.0;
            a0 += d;
            a1 += d;
        } else if (a0 < a1) {
            sign = -1.0;
        } else if (sign > 0.0) {
            a0 += d;
            a1 += d;
        }
        previous = &s;
    });
}

} // namespace

PATHREC* CPathProc::ScanBitmapFile(const std::string& path, const WorkParams& params, int originCorner, int posPoint,
                                   std::uint8_t imageFlag)
{
    return ::ScanBitmapFile(path, params, originCorner, posPoint, imageFlag);
}

PATHREC* CPathProc::ScanBitmap(const std::uint8_t* bmp, std::size_t size, double spacing, int style,
                               std::uint16_t powerFlag, int posPoint)
{
    return ::ScanBitmap(bmp, size, spacing, style, powerFlag, posPoint);
}

SegmentChain CPathProc::ScanRowForward(const std::uint8_t* pixels, std::size_t count, double fixed,
                                       std::uint16_t powerFlag)
{
    return ::ScanRowForward(pixels, count, fixed, powerFlag);
}

SegmentChain CPathProc::ScanRowBackward(const std::uint8_t* pixels, std::size_t count, double fixed,
                                        std::uint16_t powerFlag)
{
    return ::ScanRowBackward(pixels, count, fixed, powerFlag);
}

SegmentChain CPathProc::ScanColumnUp(const std::uint8_t* pixels, std::size_t count, std::size_t stride, double fixed,
                                     std::uint16_t powerFlag)
{
    return ::ScanColumnUp(pixels, count, stride, fixed, powerFlag);
}

SegmentChain CPathProc::ScanColumnDown(const std::uint8_t* pixels, std::size_t count, std::size_t stride,
                                       double fixed, std::uint16_t powerFlag)
{
    return ::ScanColumnDown(pixels, count, stride, fixed, powerFlag);
}

void CPathProc::InvertPixels(std::uint8_t* pixels, int width, int height)
{
    ::InvertPixels(pixels, width, height);
}

void CPathProc::MakeSlope(std::uint8_t* pixels, int width, int height, int levels)
{
    ::MakeSlope(pixels, width, height, levels);
}

void CPathProc::FixSinglePixels(SegmentChain& list, bool remove, double length, bool rowMode, bool forward)
{
    ::FixSinglePixels(list, remove, length, rowMode, forward);
}

void CPathProc::ApplyCarveRepair(WORKLAYER* layers, const CARVEREPAIR* table)
{
    if (layers == nullptr || table == nullptr)
        return;
    ForEachLayer(layers, false, [&](WORKLAYER& layer) {
        double offset = 0.0;
        if (layer.m_mode == kScanMode && layer.m_speed > kMinSpeed &&
            LookupCarveRepair(table, layer.m_speed, &offset))
            ShiftReverseSegments(&layer, offset);
    });
}

bool CPathProc::LookupCarveRepair(const CARVEREPAIR* table, double speed, double* value)
{
    if (table == nullptr || value == nullptr || !(speed >= kMinSpeed))
        return false;
    const CARVEREPAIR* before = nullptr;
    // A list closed into a ring is walked once.
    for (const CARVEREPAIR* row = table; row != nullptr;
         before = row, row = row->next != table ? row->next : nullptr) {
        if (!(row->speed >= speed))
            continue;
        if (before == nullptr) {
            *value = row->inter;
            return true;
        }
        // The row before did not reach the speed, so the two speeds differ.
        const double v =
            before->inter + (speed - before->speed) * (row->inter - before->inter) / (row->speed - before->speed);
        if (!std::isfinite(v))
            return false;
        *value = v;
        return true;
    }
    *value = before->inter;
    return true;
}

void CPathProc::ShiftReverseSegments(WORKLAYER* layer, double d)
{
    if (layer == nullptr)
        return;
    if (layer->m_style == kRowsBothWays) {
        ForEachPath(*layer, [&](PATHREC& p) {
            ShiftBackwardRuns(
                p, d, [](SEGNODE& s, bool start) -> double& { return start ? s.m_x0 : s.m_x1; },
                [](const SEGNODE& s) { return s.m_y0; });
            p.m_xmax += d;
        });
    } else if (layer->m_style == kColumnsBothWays) {
        ForEachPath(*layer, [&](PATHREC& p) {
            ShiftBackwardRuns(
                p, d, [](SEGNODE& s, bool start) -> double& { return start ? s.m_y0 : s.m_y1; },
                [](const SEGNODE& s) { return s.m_x0; });
            p.m_ymax += d;
        });
    }
}
