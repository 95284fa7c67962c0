// The .wcvr reader on raw bytes, in a scratch program folder. A refused file
// gives no objects and leaves no image file behind; an accepted one gives a
// properly linked list whose layers lie within the palette, whose nodes are
// finite and within the coordinate limit, and whose nesting is bounded.
#include "importexport/DocFileReader.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "platform/WorkFolder.h"
#include "settings/SoftwareSettings.h"
#include "settings/fuzz/FuzzScratch.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace {

void CheckList(CDocData* list, int depth)
{
    if (depth > kMaxDocFileDepth)
        std::abort();
    for (CDocData* o = list; o != nullptr; o = o->m_pNext) {
        if ((o->m_pNext != nullptr && o->m_pNext->m_pPrev != o) || o->m_nLayer < 0 || o->m_nLayer > 255)
            std::abort();
        // An image's corners come from its embedded header, whatever size
        // that claims; every other node is a coordinate of the file.
        const double limit = o->GetType() == MT_BITMAP ? HUGE_VAL : kMaxDocFileCoordinate;
        for (const DOCNODE* n = o->m_pNodes; n != nullptr; n = n->m_pNext) {
            if (!std::isfinite(n->m_x) || !std::isfinite(n->m_y) || std::fabs(n->m_x) > limit ||
                std::fabs(n->m_y) > limit)
                std::abort();
        }
        if (CDocData** children = o->ChildList())
            CheckList(*children, depth + 1);
    }
}

// Image files in the file folder, the folder's marker aside.
int ImageFiles(const std::string& folder, bool remove)
{
    int count = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (entry.path().filename() == plat::kOwnFolderMarker)
            continue;
        ++count;
        if (remove)
            std::filesystem::remove(entry.path(), ec);
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string folder = FuzzScratchFolder() + "file/";
    static SoftwareSettings settings = [] {
        SoftwareSettings s;
        s.SetPaletteAndInterfaceDefaults();
        return s;
    }();
    CDocListNode current;
    DOCCONTEXT ctx;
    ctx.m_pSettings = &settings;
    ctx.m_pCurrent = &current;
    CDocData* list = nullptr;
    CDocFileReader reader;
    const bool ok = reader.ReadBytes(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.wcvr", list,
                                     &ctx);
    if (!ok && (list != nullptr || ImageFiles(folder, false) != 0))
        std::abort();
    if (ok)
        CheckList(list, 1);
    DeleteObjectList(list);
    ImageFiles(folder, true);
    return 0;
}
