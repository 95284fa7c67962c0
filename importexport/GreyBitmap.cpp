#include "GreyBitmap.h"

#include "BmpPixels.h"
#include "BmpWriter.h"
#include "platform/TextFile.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>

namespace {

// Resolution taken where a file gives none.
constexpr std::int32_t kDefaultPels = 40000;
// A file this short cannot hold a pixel behind its headers.
constexpr std::size_t kMinFileSize = 58;
constexpr int kAngleSquare = 0;
constexpr int kAngleDiagonal = 45;

std::string LowerExtension(const std::string& path)
{
    const std::size_t dot = path.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : path.substr(dot);
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return ext;
}

int ScreenGrey(const std::uint8_t* bgr)
{
    // The sum of doubles, in this order: (128, 128, 128) lies just below 128.
    return static_cast<int>(0.3 * bgr[2] + 0.59 * bgr[1] + 0.11 * bgr[0]);
}

// Cell in pixels of a cell size at a resolution; 0 when refused.
int CellPixels(std::int32_t xRes, double cellMm)
{
    if (!(cellMm > 0.0) || !std::isfinite(cellMm))
        return 0;
    const double n = std::trunc(xRes * cellMm / 1000.0);
    if (!(n <= kMaxScreenCell))
        return 0;
    int cell = static_cast<int>(n);
    if (cell % 2 == 0)
        ++cell;
    return cell <= kMaxScreenCell ? cell : 0;
}

} // namespace

std::vector<int> CGreyBitmap::BuildScreen(int cell, int mode)
{
    if (cell < 1 || cell > kMaxScreenCell || (mode != 0 && mode != 1))
        return {};
    const int n = cell;
    const int half = n / 2;
    const std::int64_t count = static_cast<std::int64_t>(n) * n;
    // (distance, generation): nearer first, among equal distances the
    // later-generated cell first.
    std::vector<std::pair<std::int64_t, std::int64_t>> order;
    order.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const std::int64_t d = static_cast<std::int64_t>(j - half) * (j - half) +
                                   static_cast<std::int64_t>(i - half) * (i - half);
            order.emplace_back(d, -(static_cast<std::int64_t>(i) * n + j));
        }
    }
    std::sort(order.begin(), order.end());
    const int columns = mode == 0 ? n : 2 * n;
    std::vector<int> matrix(static_cast<std::size_t>(n) * static_cast<std::size_t>(columns));
    const std::int64_t m = 2 * count;
    for (std::int64_t k = 0; k < count; ++k) {
        const std::int64_t generation = -order[static_cast<std::size_t>(k)].second;
        const std::size_t i = static_cast<std::size_t>(generation / n);
        const std::size_t j = static_cast<std::size_t>(generation % n);
        const std::size_t at = i * static_cast<std::size_t>(columns) + j;
        if (mode == 0) {
            matrix[at] = static_cast<int>((count / 2 + 255 * (k + 1)) / count);
        } else {
            matrix[at] = static_cast<int>((m / 2 + 255 * (k + 1)) / m);
            matrix[at + static_cast<std::size_t>(n)] = static_cast<int>((510 * count + m / 2 - 255 * k) / m);
        }
    }
    return matrix;
}

bool CGreyBitmap::Screen(const BmpPixels& source, int cell, int mode)
{
    const std::vector<int> matrix = [&] {
        try {
            return BuildScreen(cell, mode);
        } catch (const std::bad_alloc&) {
            return std::vector<int>();
        }
    }();
    if (matrix.empty())
        return false;
    const int width = source.Width();
    const std::size_t rows = source.Rows();
    std::string file;
    if (!NewGreyBmp(width, static_cast<int>(rows), static_cast<std::int32_t>(m_nXRes),
                    static_cast<std::int32_t>(m_nYRes), m_nReserved, file))
        return false;
    const std::size_t stride = BmpStride(width, 8);
    auto* out = reinterpret_cast<std::uint8_t*>(file.data()) + kGreyBmpHeaderSize;
    const int bits = source.BitCount();
    const bool alpha = bits == 32 && source.HasAlpha();
    int paletteGrey[256];
    if (bits == 8) {
        for (unsigned i = 0; i < 256; ++i)
            paletteGrey[i] = ScreenGrey(source.PaletteBgr(i));
    }
    const int n = cell;
    const int columns = mode == 0 ? n : 2 * n;
    for (std::size_t y = 0; y < rows; ++y) {
        std::uint8_t* dst = out + y * stride;
        if (bits == 1) {
            source.ExpandBitRow(y, dst, stride);
            continue;
        }
        const int* thresholds = matrix.data() + (y % static_cast<std::size_t>(n)) * static_cast<std::size_t>(columns);
        // Mode 1 shifts every other row of cells by half the doubled matrix.
        int column = mode == 1 && (y / static_cast<std::size_t>(n)) % 2 == 1 ? n : 0;
        const std::uint8_t* src = source.Row(y);
        for (int x = 0; x < width; ++x) {
            int grey;
            if (bits == 8) {
                grey = paletteGrey[src[x]];
            } else {
                const std::uint8_t* p = src + static_cast<std::size_t>(x) * (bits / 8);
                if (alpha) {
                    const std::uint8_t flat[3] = {OverWhite(p[0], p[3]), OverWhite(p[1], p[3]), OverWhite(p[2], p[3])};
                    grey = ScreenGrey(flat);
                } else {
                    grey = ScreenGrey(p);
                }
            }
            dst[x] = grey < thresholds[column] ? 0 : 255;
            if (++column == columns)
                column = 0;
        }
    }
    m_nWidth = static_cast<std::uint32_t>(width);
    m_nHeight = static_cast<std::uint32_t>(rows);
    m_nStride = static_cast<std::uint32_t>(stride);
    m_nCell = cell;
    m_file.swap(file);
    return true;
}

bool CGreyBitmap::LoadBytes(const std::string& bytes, double cellMm, int angle)
{
    BmpPixels source;
    if (!source.Open(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))
        return false;
    if (angle != kAngleSquare && angle != kAngleDiagonal)
        return false;
    const BMPHEADER& h = source.Header();
    const std::int32_t xRes = h.m_xPelsPerMeter > 0 ? h.m_xPelsPerMeter : kDefaultPels;
    const std::int32_t yRes = h.m_yPelsPerMeter > 0 ? h.m_yPelsPerMeter : kDefaultPels;
    const int cell = CellPixels(xRes, cellMm);
    if (cell == 0)
        return false;
    m_nXRes = static_cast<std::uint32_t>(xRes);
    m_nYRes = static_cast<std::uint32_t>(yRes);
    m_nReserved = BmpGetU32(reinterpret_cast<const std::uint8_t*>(bytes.data()), 6);
    return Screen(source, cell, angle == kAngleSquare ? 0 : 1);
}

bool CGreyBitmap::Load(const std::string& path, double cellMm, int angle)
{
    if (LowerExtension(path) != ".bmp")
        return false;
    std::string bytes;
    if (!plat::ReadWholeFile(path, bytes) || bytes.size() <= kMinFileSize)
        return false;
    return LoadBytes(bytes, cellMm, angle);
}

bool CGreyBitmap::WriteGrey8(const std::string& path) const
{
    return !m_file.empty() && plat::WriteWholeFile(path, m_file);
}

bool CGreyBitmap::Convert(const std::string& source, int angle, double cellMm, const std::string& target)
{
    CGreyBitmap screen;
    return screen.Load(source, cellMm, angle) && screen.WriteGrey8(target);
}
