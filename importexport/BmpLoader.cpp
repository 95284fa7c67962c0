#include "BmpLoader.h"

#include "BmpPixels.h"
#include "BmpWriter.h"
#include "GifDecoder.h"
#include "GreyBitmap.h"
#include "JpegDecoder.h"
#include "PngDecoder.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataBitmap.h"
#include "model/DocListNode.h"
#include "platform/Folders.h"
#include "platform/NumText.h"
#include "platform/Screen.h"
#include "platform/TextFile.h"
#include "platform/WorkFolder.h"
#include "settings/SoftwareSettings.h"
#include "settings/WorkParams.h"

#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kLastLayer = kPaletteSize - 1;
// Grey copies are divided at this grey into black and white.
constexpr std::uint8_t kBinariseThreshold = 128;
// Names tried before writing a copy gives up.
constexpr int kMaxNameTries = 100000;
// The image counter of the program's run: each copy takes the next number,
// whichever thread reads the image.
std::atomic<std::int64_t> g_imageCounter{0};

bool StartsWith(const std::string& bytes, const void* prefix, std::size_t length)
{
    return bytes.size() >= length && std::memcmp(bytes.data(), prefix, length) == 0;
}

// Pixels per metre of `pixels` spread over `mm` millimetres; 0 when that is
// no positive 32-bit value.
std::int32_t PelsOfSize(std::int64_t pixels, double mm)
{
    const double v = std::trunc(static_cast<double>(pixels) * 1000.0 / mm + 0.5);
    if (!(v >= 1.0 && v <= std::numeric_limits<std::int32_t>::max()))
        return 0;
    return static_cast<std::int32_t>(v);
}

// The angle typed in the dialog; -1 (no screen knows it) for a number out
// of range.
int AngleOf(const std::string& text)
{
    const std::int64_t v = plat::ParseInt(text);
    return v >= 0 && v <= 360 ? static_cast<int>(v) : -1;
}

// Claims a new file in the folder named flag + counter + file name, the
// counter going on past names that another file has already; empty when
// none can be made.
std::string ClaimCopyPath(const std::string& folder, int flag, const std::string& fileName)
{
    for (int tries = 0; tries < kMaxNameTries; ++tries) {
        const std::string path = folder + plat::FormatInt(flag) + plat::FormatInt(g_imageCounter++) + fileName;
        if (plat::CreateNewFile(path))
            return path;
        std::error_code ec;
        if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec)))
            return std::string();
    }
    return std::string();
}

} // namespace

void CBmpLoader::SetSize(double widthMm, double heightMm)
{
    m_dWidthMm = widthMm;
    m_dHeightMm = heightMm;
    m_bSizeValid = widthMm > 0.0 && heightMm > 0.0 && std::isfinite(widthMm) && std::isfinite(heightMm) ? 1 : 0;
}

void CBmpLoader::SetImageCounterForTesting(int value)
{
    g_imageCounter = value;
}

bool CBmpLoader::FindFreeLayer(int& index, std::uint32_t& colour, DOCCONTEXT* ctx)
{
    std::array<bool, kPaletteSize> used{};
    std::vector<const CDocData*> pending;
    if (ctx != nullptr && ctx->m_pCurrent != nullptr && ctx->m_pCurrent->m_pFirst != nullptr)
        pending.push_back(ctx->m_pCurrent->m_pFirst);
    // Lists still to walk, so deep groups need no deep recursion.
    while (!pending.empty()) {
        const CDocData* o = pending.back();
        pending.pop_back();
        for (; o != nullptr; o = o->m_pNext) {
            if (o->m_nLayer >= 0 && o->m_nLayer <= kLastLayer)
                used[static_cast<std::size_t>(o->m_nLayer)] = true;
            CDocData** children = const_cast<CDocData*>(o)->ChildList();
            if (children != nullptr && *children != nullptr)
                pending.push_back(*children);
        }
    }
    for (int i = kLastLayer; i >= 0; --i) {
        if (!used[static_cast<std::size_t>(i)]) {
            index = i;
            colour = CDocData::SettingsOf(ctx).m_palette[static_cast<std::size_t>(i)];
            return true;
        }
    }
    return false;
}

bool CBmpLoader::ToGrey8(const BmpPixels& source, std::int32_t xPels, std::int32_t yPels, std::string& grey)
{
    const int width = source.Width();
    const std::size_t rows = source.Rows();
    std::string file;
    if (!NewGreyBmp(width, static_cast<int>(rows), xPels, yPels, BmpGetU32(source.Data(), 6), file))
        return false;
    const std::size_t stride = BmpStride(width, 8);
    auto* out = reinterpret_cast<std::uint8_t*>(file.data()) + kGreyBmpHeaderSize;
    const int bits = source.BitCount();
    auto greyOf = [](const std::uint8_t* bgr) {
        return static_cast<std::uint8_t>((306 * bgr[2] + 601 * bgr[1] + 117 * bgr[0]) >> 10);
    };
    std::uint8_t paletteGrey[256];
    if (bits == 8) {
        // Grey values under a grey ramp, so that every reader of the copy,
        // the raster scan included, sees the pixel's grey.
        for (unsigned i = 0; i < 256; ++i)
            paletteGrey[i] = greyOf(source.PaletteBgr(i));
    }
    const bool alpha = bits == 32 && source.HasAlpha();
    for (std::size_t y = 0; y < rows; ++y) {
        std::uint8_t* dst = out + y * stride;
        const std::uint8_t* src = source.Row(y);
        switch (bits) {
        case 1:
            source.ExpandBitRow(y, dst, stride);
            break;
        case 8:
            for (int x = 0; x < width; ++x)
                dst[x] = paletteGrey[src[x]];
            break;
        case 24:
            for (int x = 0; x < width; ++x, src += 3)
                dst[x] = greyOf(src);
            break;
        default:
            for (int x = 0; x < width; ++x, src += 4) {
                if (alpha) {
                    const std::uint8_t flat[3] = {OverWhite(src[0], src[3]), OverWhite(src[1], src[3]),
                                                  OverWhite(src[2], src[3])};
                    dst[x] = greyOf(flat);
                } else {
                    dst[x] = greyOf(src);
                }
            }
            break;
        }
    }
    grey.swap(file);
    return true;
}

void CBmpLoader::Binarise(std::string& grey)
{
    BMPHEADER h;
    if (!ParseBmpHeader(grey, h) || !h.IsPlainGrey8())
        return;
    auto* data = reinterpret_cast<std::uint8_t*>(grey.data()) + h.m_dataOffset;
    for (std::size_t y = 0; y < h.m_rows; ++y) {
        std::uint8_t* row = data + y * h.m_stride;
        for (int x = 0; x < h.m_width; ++x)
            row[x] = row[x] < kBinariseThreshold ? 0 : 255;
    }
}

bool CBmpLoader::InvertImage(const std::string& path)
{
    // The new bytes are renamed over the file, which the folder allows even
    // for a file that may not be written: such a file is left as it is.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
        ::access(path.c_str(), W_OK) != 0)
        return false;
    std::string bytes;
    BMPHEADER h;
    if (!plat::ReadWholeFile(path, bytes) || !ParseBmpHeader(bytes, h) || !h.IsPlainGrey8())
        return false;
    auto* data = reinterpret_cast<std::uint8_t*>(bytes.data()) + h.m_dataOffset;
    for (std::size_t y = 0; y < h.m_rows; ++y) {
        std::uint8_t* row = data + y * h.m_stride;
        for (int x = 0; x < h.m_width; ++x)
            row[x] = static_cast<std::uint8_t>(~row[x]);
    }
    return plat::WriteWholeFile(path, bytes);
}

bool CBmpLoader::ConvertToBmp(const std::string& source, const std::string& target)
{
    static constexpr std::uint8_t kJpeg[] = {0xFF, 0xD8, 0xFF};
    static constexpr std::uint8_t kPng[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::error_code ec;
    std::filesystem::remove(target, ec);
    if (std::filesystem::exists(std::filesystem::symlink_status(target, ec)))
        return false;
    std::string bytes;
    if (!plat::ReadWholeFile(source, bytes))
        return false;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::string bmp;
    bool decoded = false;
    if (StartsWith(bytes, kJpeg, sizeof kJpeg))
        decoded = DecodeJpegToBmp(data, bytes.size(), bmp);
    else if (StartsWith(bytes, kPng, sizeof kPng))
        decoded = DecodePngToBmp(data, bytes.size(), bmp);
    else if (StartsWith(bytes, "GIF87a", 6) || StartsWith(bytes, "GIF89a", 6))
        decoded = DecodeGifToBmp(data, bytes.size(), bmp);
    return decoded && plat::WriteScratchFile(target, bmp);
}

bool CBmpLoader::LoadBitmap(const std::string& path, CDocData*& object, const plat::BitmapChoice* options,
                            DOCCONTEXT* ctx, bool place)
{
    object = nullptr;
    int layer = 0;
    std::uint32_t colour = 0;
    if (!FindFreeLayer(layer, colour, ctx))
        return false;

    std::string grey;
    {
        std::string bytes;
        BmpPixels source;
        if (!plat::ReadWholeFile(path, bytes) ||
            !source.Open(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))
            return false;
        // A file without a resolution is measured by the placement record,
        // else as the screen would show it.
        const BMPHEADER& h = source.Header();
        std::int32_t xPels = h.m_xPelsPerMeter, yPels = h.m_yPelsPerMeter;
        if (xPels < 1 || yPels < 1) {
            xPels = yPels = plat::ScreenPixelsPerMetre();
            if (m_bSizeValid != 0) {
                const std::int32_t x = PelsOfSize(h.m_width, m_dWidthMm);
                const std::int32_t y = PelsOfSize(static_cast<std::int64_t>(h.m_rows), m_dHeightMm);
                if (x > 0 && y > 0) {
                    xPels = x;
                    yPels = y;
                }
            }
        }
        if (!ToGrey8(source, xPels, yPels, grey))
            return false;
    }

    const std::uint8_t greyFlag = options == nullptr || options->m_bGrey != 0 ? 1 : 0;
    if (greyFlag == 0) {
        Binarise(grey);
    } else if (options != nullptr && options->m_nHalftone != 0) {
        CGreyBitmap screen;
        if (!screen.LoadBytes(grey, options->m_dCellSize, AngleOf(options->m_angleText)))
            return false;
        grey = screen.Grey8Bytes();
    }

    const std::string folder = plat::WithTrailingSeparator(plat::FileFolder());
    if (!plat::CreateOwnFolder(folder))
        return false;
    const std::string copy = ClaimCopyPath(folder, greyFlag, plat::FileNameOf(path));
    if (copy.empty())
        return false;
    if (!plat::WriteScratchFile(copy, grey)) {
        std::error_code ec;
        std::filesystem::remove(copy, ec);
        return false;
    }

    const CGeoPoint at = place && ctx != nullptr ? ctx->m_ptMouse : CGeoPoint(kWorldOrigin, kWorldOrigin);
    auto* image = new CDocDataBitmap(path, copy, at.m_x, at.m_y, greyFlag, ctx);
    // Changed only now that the import has succeeded.
    SettleLayer(*image, layer, colour, ctx);
    object = image;
    return true;
}

bool CBmpLoader::SettleLayer(CDocData& image, DOCCONTEXT* ctx)
{
    int layer = 0;
    std::uint32_t colour = 0;
    if (!FindFreeLayer(layer, colour, ctx))
        return false;
    SettleLayer(image, layer, colour, ctx);
    return true;
}

void CBmpLoader::SettleLayer(CDocData& image, int layer, std::uint32_t colour, DOCCONTEXT* ctx)
{
    image.m_nColor = colour;
    image.m_nLayer = layer;
    // The image's layer is engraved, not cut.
    SoftwareSettings& settings = ::SettingsOf(ctx);
    if (WorkParams* rec = FindLayerParams(settings.m_pLayers, layer)) {
        rec->m_border = 0;
        rec->m_sweep = 1;
    }
}
