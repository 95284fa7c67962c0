// Raster image import of a 10,000 x 10,000 photo at 300 dots per inch, as a
// JPEG and as a 24-bit BMP, stage by stage: decoding, the converted file,
// the grey conversion, the halftone screen (cell 0.5 mm, 5 pixels, 45
// degrees), the image object made from the BMP, and the whole import
// through the dispatcher into a grey image and into a halftone. The JPEG
// should import to a grey image object in under 3 s.
#include "importexport/BmpLoader.h"
#include "importexport/BmpPixels.h"
#include "importexport/BmpWriter.h"
#include "importexport/FileReadTrans.h"
#include "importexport/GreyBitmap.h"
#include "importexport/JpegDecoder.h"
#include "model/BmpHeader.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/Folders.h"
#include "platform/TextFile.h"
#include "settings/SoftwareSettings.h"

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kSide = 10000;
constexpr int kDotsPerInch = 300;
constexpr double kCellMm = 0.5;

struct Photo {
    std::string root;     // scratch program folder
    std::string jpegPath; // photo.jpg
    std::string bmpPath;  // photo.bmp, 24 bits
    std::string jpeg;     // the JPEG's bytes
};

// A scratch program folder (removed at exit) holding the photo as JPEG and
// as BMP: smooth gradients with a little noise, as a photo has.
const Photo& ThePhoto()
{
    static const Photo photo = [] {
        Photo p;
        char pattern[] = "/tmp/brenvik-raster-bench-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (made == nullptr)
            std::abort();
        p.root = std::string(made) + "/";
        std::filesystem::create_directories(p.root + "work");
        plat::WriteWholeFile(p.root + "workPath.txt", p.root + "work/\r\n");
        plat::SetProgramFolderForTesting(p.root);
        static const std::string* kept = new std::string(p.root);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(*kept, ec);
        });

        std::vector<std::uint8_t> rgb(static_cast<std::size_t>(kSide) * kSide * 3);
        std::uint32_t noise = 2463534242u;
        for (int y = 0; y < kSide; ++y) {
            std::uint8_t* row = rgb.data() + static_cast<std::size_t>(y) * kSide * 3;
            for (int x = 0; x < kSide; ++x) {
                noise ^= noise << 13;
                noise ^= noise >> 17;
                noise ^= noise << 5;
                const int n = static_cast<int>(noise & 15) - 8;
                row[3 * x] = static_cast<std::uint8_t>(std::clamp(x * 255 / kSide + n, 0, 255));
                row[3 * x + 1] = static_cast<std::uint8_t>(std::clamp(y * 255 / kSide + n, 0, 255));
                row[3 * x + 2] = static_cast<std::uint8_t>(std::clamp(((x ^ y) >> 5 & 127) + 64 + n, 0, 255));
            }
        }
        tjhandle handle = tjInitCompress();
        unsigned char* jpeg = nullptr;
        unsigned long size = 0;
        if (tjCompress2(handle, rgb.data(), kSide, 0, kSide, TJPF_RGB, &jpeg, &size, TJSAMP_420, 90, 0) != 0)
            std::abort();
        p.jpeg.assign(reinterpret_cast<const char*>(jpeg), size);
        tjFree(jpeg);
        tjDestroy(handle);
        // JFIF density in dots per inch.
        p.jpeg[13] = 1;
        p.jpeg[14] = static_cast<char>(kDotsPerInch >> 8);
        p.jpeg[15] = static_cast<char>(kDotsPerInch & 0xFF);
        p.jpeg[16] = p.jpeg[14];
        p.jpeg[17] = p.jpeg[15];
        p.jpegPath = p.root + "photo.jpg";
        plat::WriteWholeFile(p.jpegPath, p.jpeg);

        const std::int32_t pels = PelsPerMetreOfDpi(kDotsPerInch);
        std::string bmp;
        if (!NewBmp24(kSide, kSide, pels, pels, bmp))
            std::abort();
        const std::size_t stride = BmpStride(kSide, 24);
        for (int y = 0; y < kSide; ++y) {
            const std::uint8_t* src = rgb.data() + static_cast<std::size_t>(kSide - 1 - y) * kSide * 3;
            char* dst = bmp.data() + kBmpHeadersSize + static_cast<std::size_t>(y) * stride;
            for (int x = 0; x < kSide; ++x) {
                dst[3 * x] = static_cast<char>(src[3 * x + 2]);
                dst[3 * x + 1] = static_cast<char>(src[3 * x + 1]);
                dst[3 * x + 2] = static_cast<char>(src[3 * x]);
            }
        }
        p.bmpPath = p.root + "photo.bmp";
        plat::WriteWholeFile(p.bmpPath, bmp);
        return p;
    }();
    return photo;
}

// Removes what a run wrote into the work and file folders.
void EmptyFolders(const Photo& photo)
{
    for (const char* sub : {"work/", "file/"}) {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(photo.root + sub, ec)) {
            if (e.path().extension() == ".bmp")
                std::filesystem::remove(e.path(), ec);
        }
    }
}

plat::BitmapChoice Options(bool halftone)
{
    plat::BitmapChoice c;
    c.m_bGrey = 1;
    c.m_nHalftone = halftone ? 1 : 0;
    c.m_angleText = "45";
    c.m_dCellSize = kCellMm;
    return c;
}

void BM_RasterJpegDecode10k(benchmark::State& state)
{
    const Photo& photo = ThePhoto();
    for (auto _ : state) {
        std::string bmp;
        if (!DecodeJpegToBmp(reinterpret_cast<const std::uint8_t*>(photo.jpeg.data()), photo.jpeg.size(), bmp))
            state.SkipWithError("decoding failed");
        benchmark::DoNotOptimize(bmp.data());
    }
    state.counters["jpeg_MB"] = static_cast<double>(photo.jpeg.size()) / 1e6;
}
BENCHMARK(BM_RasterJpegDecode10k)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_RasterJpegToBmpFile10k(benchmark::State& state)
{
    const Photo& photo = ThePhoto();
    const std::string target = photo.root + "work/converted.bmp";
    for (auto _ : state) {
        if (!CBmpLoader::ConvertToBmp(photo.jpegPath, target))
            state.SkipWithError("conversion failed");
    }
    EmptyFolders(photo);
}
BENCHMARK(BM_RasterJpegToBmpFile10k)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_RasterGreyConversion10k(benchmark::State& state)
{
    std::string bytes;
    plat::ReadWholeFile(ThePhoto().bmpPath, bytes);
    BmpPixels source;
    if (!source.Open(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))
        std::abort();
    for (auto _ : state) {
        std::string grey;
        if (!CBmpLoader::ToGrey8(source, 11811, 11811, grey))
            state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(grey.data());
    }
}
BENCHMARK(BM_RasterGreyConversion10k)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_RasterHalftoneScreen10k(benchmark::State& state)
{
    std::string bytes;
    plat::ReadWholeFile(ThePhoto().bmpPath, bytes);
    BmpPixels source;
    std::string grey;
    if (!source.Open(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()) ||
        !CBmpLoader::ToGrey8(source, 11811, 11811, grey))
        std::abort();
    bytes.clear();
    bytes.shrink_to_fit();
    for (auto _ : state) {
        CGreyBitmap screen;
        if (!screen.LoadBytes(grey, kCellMm, 45))
            state.SkipWithError("screen failed");
        benchmark::DoNotOptimize(screen.Grey8Bytes().data());
    }
}
BENCHMARK(BM_RasterHalftoneScreen10k)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// The image object from the BMP: read, grey copy (and screen), written.
void LoadEach(benchmark::State& state, bool halftone)
{
    const Photo& photo = ThePhoto();
    SoftwareSettings settings;
    settings.SetPaletteAndInterfaceDefaults();
    DOCCONTEXT ctx;
    ctx.m_pSettings = &settings;
    CDocListNode current;
    ctx.m_pCurrent = &current;
    const plat::BitmapChoice options = Options(halftone);
    for (auto _ : state) {
        CBmpLoader loader;
        CDocData* object = nullptr;
        if (!loader.LoadBitmap(photo.bmpPath, object, &options, &ctx, true))
            state.SkipWithError("load failed");
        state.PauseTiming();
        delete object;
        EmptyFolders(photo);
        state.ResumeTiming();
    }
}
void BM_RasterBmpToGreyObject10k(benchmark::State& state) { LoadEach(state, false); }
BENCHMARK(BM_RasterBmpToGreyObject10k)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
void BM_RasterBmpToHalftoneObject10k(benchmark::State& state) { LoadEach(state, true); }
BENCHMARK(BM_RasterBmpToHalftoneObject10k)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// The whole import through the dispatcher, dialog answered with the
// settings: conversion (for the JPEG), image object, undo step, placing.
void ImportEach(benchmark::State& state, const std::string& path, bool halftone)
{
    const Photo& photo = ThePhoto();
    SoftwareSettings settings;
    settings.SetPaletteAndInterfaceDefaults();
    settings.SetOptionDefaults();
    settings.bitmap_type = 1;
    settings.bitmap_dot = halftone ? 1 : 0;
    settings.dot_agl = 45;
    settings.dot_size = kCellMm;
    for (auto _ : state) {
        state.PauseTiming();
        DOCCONTEXT ctx;
        ctx.m_pSettings = &settings;
        ctx.m_pCurrent = new CDocListNode;
        state.ResumeTiming();
        if (!CFileReadTrans().ReadFile(&ctx, path, true))
            state.SkipWithError("import failed");
        state.PauseTiming();
        CDocListNode* oldest = ctx.m_pCurrent;
        while (oldest->m_pOlder != nullptr)
            oldest = oldest->m_pOlder;
        CDocState::DeleteHistoryChain(oldest);
        EmptyFolders(photo);
        state.ResumeTiming();
    }
}
void BM_RasterJpegImportToGrey10k(benchmark::State& state) { ImportEach(state, ThePhoto().jpegPath, false); }
BENCHMARK(BM_RasterJpegImportToGrey10k)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
void BM_RasterJpegImportToHalftone10k(benchmark::State& state) { ImportEach(state, ThePhoto().jpegPath, true); }
BENCHMARK(BM_RasterJpegImportToHalftone10k)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
void BM_RasterBmpImportToGrey10k(benchmark::State& state) { ImportEach(state, ThePhoto().bmpPath, false); }
BENCHMARK(BM_RasterBmpImportToGrey10k)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
void BM_RasterBmpImportToHalftone10k(benchmark::State& state) { ImportEach(state, ThePhoto().bmpPath, true); }
BENCHMARK(BM_RasterBmpImportToHalftone10k)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

} // namespace
