// Raster scans of a 10,000 x 10,000 pixel image (100 megapixels, 1 m square
// at 0.1 mm): 8 x 8-pixel blocks of random grey, about 12.5 million segments,
// a photo-like image and a one-pixel checkerboard, whose 50 million segments
// are refused before any is made. The
// file is written once, outside the timing; each iteration reads, inverts and
// scans it as a job does. Counters: segments made, and the peak resident
// memory of the scan (the peak is reset before each run).
#include "PeakMemory.h"
#include "model/BitmapScan.h"
#include "model/PathRecord.h"
#include "platform/TextFile.h"
#include "settings/WorkParams.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>
#include <unistd.h>

namespace {

constexpr int kSide = 10000;

void PutLe(std::string& out, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// An 8-bit BMP of kSide x kSide pixels at 10,000 pixels per metre (0.1 mm),
// pixel (x, y) = value(x, y).
template <typename Value>
std::string WriteImage(const char* tag, Value value)
{
    const std::uint32_t stride = kSide; // a multiple of 4
    const std::uint32_t pixels = stride * kSide;
    std::string bytes = "BM";
    PutLe(bytes, 54 + pixels, 4);
    PutLe(bytes, 0, 4);
    PutLe(bytes, 54, 4);
    PutLe(bytes, 40, 4);
    PutLe(bytes, kSide, 4);
    PutLe(bytes, kSide, 4);
    PutLe(bytes, 1, 2);
    PutLe(bytes, 8, 2);
    PutLe(bytes, 0, 4);
    PutLe(bytes, pixels, 4);
    PutLe(bytes, 10000, 4);
    PutLe(bytes, 10000, 4);
    PutLe(bytes, 0, 4);
    PutLe(bytes, 0, 4);
    bytes.resize(54 + static_cast<std::size_t>(pixels));
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            bytes[54 + static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x)] =
                static_cast<char>(value(x, y));
    const std::string path = "/tmp/brenvik-bench-" + std::to_string(::getpid()) + "-" + tag + ".bmp";
    plat::WriteWholeFile(path, bytes);
    return path;
}

void RunScan(benchmark::State& state, const std::string& path)
{
    WorkParams params;
    params.m_s_precision = 0.1;
    params.m_s_method = 1;
    double segments = 0;
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        plat::ResetPeakMemory();
        state.ResumeTiming();
        PATHREC* scan = ScanBitmapFile(path, params, 0, 0, 0);
        state.PauseTiming();
        peak = plat::PeakMemoryMiB();
        segments = 0;
        if (scan != nullptr) {
            const SEGNODE* s = scan->m_pSegs;
            do {
                ++segments;
                s = s->m_pNext;
            } while (s != scan->m_pSegs);
        }
        FreePathRecordList(scan);
        state.ResumeTiming();
    }
    state.counters["segments"] = segments;
    state.counters["peak_MiB"] = peak;
    std::remove(path.c_str());
}

void BM_ScanGreyBlocks(benchmark::State& state)
{
    std::mt19937 random(12345);
    std::vector<std::uint8_t> blocks(static_cast<std::size_t>(kSide / 8) * (kSide / 8));
    for (auto& b : blocks)
        b = static_cast<std::uint8_t>(random() & 0xFF);
    const std::string path = WriteImage("blocks", [&](int x, int y) {
        return blocks[static_cast<std::size_t>(y / 8) * (kSide / 8) + static_cast<std::size_t>(x / 8)];
    });
    RunScan(state, path);
}
BENCHMARK(BM_ScanGreyBlocks)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ScanCheckerboardRefused(benchmark::State& state)
{
    const std::string path = WriteImage("checker", [](int x, int y) { return (x + y) % 2 == 0 ? 0 : 255; });
    RunScan(state, path);
}
BENCHMARK(BM_ScanCheckerboardRefused)->Unit(benchmark::kMillisecond)->Iterations(2);

// A photo-like image: soft light over the frame, round shapes of light and
// shade and a fine texture, with the sensor's noise of a grey level or two,
// as a photograph scanned at 0.1 mm gives it. Its runs are short: about 47
// million segments (3.4 GB as segment records), more than one job can carry
// to the controller, so it is refused once they are counted; the target
// is to engrave it under 3 s and 2 GB.
void BM_ScanGreyPhoto(benchmark::State& state)
{
    std::mt19937 random(777);
    std::normal_distribution<double> noise(0.0, 1.5);
    const std::string path = WriteImage("photo", [&](int x, int y) {
        const double u = x / double(kSide), v = y / double(kSide);
        double g = 90.0 + 80.0 * u + 40.0 * std::sin(6.0 * v + 2.0 * u);
        const double dx = u - 0.6, dy = v - 0.4;
        g += 60.0 * std::exp(-(dx * dx + dy * dy) * 20.0);
        g += 12.0 * std::sin(x * 0.05) * std::cos(y * 0.045);
        g += noise(random);
        return static_cast<std::uint8_t>(std::clamp(g, 0.0, 255.0));
    });
    RunScan(state, path);
}
BENCHMARK(BM_ScanGreyPhoto)->Unit(benchmark::kMillisecond)->Iterations(1);

// Edge shading of a 3937 x 3937 image (100 mm at 1000 dpi) with a slope of
// 1 mm, 39 levels: dark discs and bars on white, a grey wedge and grey
// specks that stop the fade; should take well under 0.3 s.
void BM_Slope39LevelsOn3937Square(benchmark::State& state)
{
    constexpr int side = 3937;
    const int stride = (side + 3) / 4 * 4;
    std::vector<std::uint8_t> base(static_cast<std::size_t>(stride) * side, 0);
    std::mt19937 random(3);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const int dx = x % 600 - 300, dy = y % 600 - 300;
            std::uint8_t v = dx * dx + dy * dy < 250 * 250 || (y % 97 < 30 && x % 1000 < 800) ? 255 : 0;
            if (x > 3000 && y > 3000)
                v = static_cast<std::uint8_t>((x + y) % 256);
            if (v == 255 && random() % 50 == 0)
                v = 200;
            base[static_cast<std::size_t>(y) * stride + x] = v;
        }
    }
    std::vector<std::uint8_t> pixels;
    for (auto _ : state) {
        state.PauseTiming();
        pixels = base;
        state.ResumeTiming();
        MakeSlope(pixels.data(), side, side, 39);
    }
}
BENCHMARK(BM_Slope39LevelsOn3937Square)->Unit(benchmark::kMillisecond);

} // namespace
