// A whole import road on raw bytes: the first byte chooses the road (the
// file's extension) and the import options, the rest is written to a
// scratch file of that extension and imported into an empty document by the
// dispatcher, with the reader, the uniting, the placing and the clean-up
// that follow it, every question answered as the dialog opened. No crash,
// no undefined operation, no hang; afterwards every node of the document
// is a number within the world's reach. Image headers claiming more than a
// megapixel are passed over, as the decoders' own targets do.
#include "importexport/FileReadTrans.h"
#include "importexport/GifDecoder.h"
#include "importexport/JpegDecoder.h"
#include "importexport/PngDecoder.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/ImportOptions.h"
#include "platform/TextFile.h"
#include "settings/SoftwareSettings.h"
#include "settings/WorkParams.h"
#include "settings/fuzz/FuzzScratch.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

constexpr const char* kRoads[] = {"wcvr", "jpg", "png", "gif", "bmp", "dsb", "dst", "dxf", "ai", "plt"};
constexpr std::size_t kRoadCount = sizeof kRoads / sizeof kRoads[0];
constexpr std::int64_t kFuzzPixels = std::int64_t{1} << 20;

// Whether an image file decodes within the fuzzing limit (or is no image
// the conversion reads): a header claiming more is passed over.
bool SmallImage(const std::uint8_t* data, std::size_t size)
{
    std::string bmp;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return DecodeJpegToBmp(data, size, bmp, kFuzzPixels);
    if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1A\n", 8) == 0)
        return DecodePngToBmp(data, size, bmp, kFuzzPixels);
    if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0))
        return DecodeGifToBmp(data, size, bmp, kFuzzPixels);
    return true;
}

void CheckNodes(CDocData* o)
{
    for (; o != nullptr; o = o->m_pNext) {
        ForEachNode(o->m_pNodes, [](DOCNODE& n) {
            if (!InWorldRange(n.m_x) || !InWorldRange(n.m_y))
                std::abort();
        });
        if (CDocData** children = o->ChildList())
            CheckNodes(*children);
    }
}

} // namespace

// Texts are outlined through fontconfig, which leaves a few hundred bytes of
// its initialisation unreachable; the leak checker passes over them.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t pick = data[0];
    const char* extension = kRoads[pick % kRoadCount];
    ++data;
    --size;
    if ((std::strcmp(extension, "jpg") == 0 || std::strcmp(extension, "png") == 0 ||
         std::strcmp(extension, "gif") == 0) &&
        !SmallImage(data, size))
        return 0;

    const std::string& root = FuzzScratchFolder();
    const std::string path = root + "drawing." + extension;
    if (!plat::WriteWholeFile(path, std::string(reinterpret_cast<const char*>(data), size)))
        std::abort();

    static SoftwareSettings settings = [] {
        SoftwareSettings s;
        s.SetPaletteAndInterfaceDefaults();
        s.SetOptionDefaults();
        return s;
    }();
    // The rest of the byte chooses the options the dialogs open with.
    settings.dxf_dimension = static_cast<std::uint8_t>(pick / kRoadCount % 3);
    settings.bitmap_type = static_cast<std::uint8_t>(pick / 30 % 2);
    settings.bitmap_dot = static_cast<std::uint8_t>(pick / 60 % 2);
    plat::RecordingImportOptions options;
    plat::SetImportOptions(&options);

    DOCCONTEXT ctx;
    ctx.m_pSettings = &settings;
    ctx.m_pCurrent = new CDocListNode;
    CFileReadTrans().ReadFile(&ctx, path, true);
    CheckNodes(ctx.m_pCurrent->m_pFirst);

    CDocListNode* oldest = ctx.m_pCurrent;
    while (oldest->m_pOlder != nullptr)
        oldest = oldest->m_pOlder;
    CDocState::DeleteHistoryChain(oldest);
    FreeWorkParamList(settings.m_pLayers);
    plat::SetImportOptions(nullptr);
    // What the import left in the work and file folders goes with the run.
    std::error_code ec;
    for (const char* folder : {"work", "file"})
        std::filesystem::remove_all(root + folder, ec);
    std::filesystem::remove(path, ec);
    return 0;
}
