// The plug-in hand-over import of CFileReadTrans.
#include "FileReadTrans.h"

#include "HandOverReads.h"
#include "PluginParamList.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataBitmap.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/CodePage.h"
#include "platform/Folders.h"
#include "platform/Prompt.h"
#include "platform/TextFile.h"
#include "settings/LanguageTable.h"

#include <algorithm>
#include <string_view>
#include <sys/stat.h>

namespace {

constexpr std::u16string_view kErrorSection = u"phase15:error-hint";
constexpr int kHandOverRefusedText = 15;
// Entries named in the message; the rest are counted only.
constexpr std::size_t kMaxNamesShown = 10;
// A list file names a few files in a few hundred bytes; one this large is
// not a list.
constexpr long long kMaxListBytes = 1 << 20;
constexpr double kNoExtent = 10000000000.0;

enum class ListRead { Absent, TooLarge, Read };

ListRead ReadList(const std::string& path, std::string& bytes)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return ListRead::Absent;
    if (st.st_size > kMaxListBytes)
        return ListRead::TooLarge;
    return plat::ReadWholeFile(path, bytes) ? ListRead::Read : ListRead::Absent;
}

void ReportRefused(const std::vector<std::string>& names)
{
    if (names.empty())
        return;
    std::u16string text = LanguageText(RegisteredLanguageTable(), kErrorSection, kHandOverRefusedText);
    const std::size_t shown = std::min(names.size(), kMaxNamesShown);
    for (std::size_t i = 0; i < shown; ++i)
        text += u"\n" + plat::CodePageToWide(names[i]);
    if (names.size() > shown)
        text += u"\n... (+" + plat::Utf8ToUtf16(std::to_string(names.size() - shown)) + u")";
    plat::MessageBox(text, std::u16string(), plat::MB_OK | plat::MB_ICONWARNING);
}

// Links a chain of objects behind the tail of the gathered list.
void Gather(CDocData*& head, CDocData*& tail, CDocData* chain)
{
    if (chain == nullptr)
        return;
    if (head == nullptr) {
        head = chain;
    } else {
        tail->m_pNext = chain;
        chain->m_pPrev = tail;
    }
    tail = chain;
    while (tail->m_pNext != nullptr)
        tail = tail->m_pNext;
}

struct Extents {
    double xmin = kNoExtent, xmax = -kNoExtent, ymin = kNoExtent, ymax = -kNoExtent;

    void Add(double x0, double x1, double y0, double y1)
    {
        xmin = std::min(xmin, x0);
        xmax = std::max(xmax, x1);
        ymin = std::min(ymin, y0);
        ymax = std::max(ymax, y1);
    }
};

} // namespace

void CFileReadTrans::ReadPluginParam(DOCCONTEXT* ctx, const std::string& folder)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return;
    const std::string dir = plat::WithTrailingSeparator(folder);
    std::string bytes;
    bool cad = true;
    std::string name = "cad.param";
    ListRead read = ReadList(dir + name, bytes);
    if (read == ListRead::Absent) {
        cad = false;
        name = "cor.param";
        read = ReadList(dir + name, bytes);
    }
    if (read == ListRead::Absent)
        return;
    if (read == ListRead::TooLarge) {
        ReportRefused({name});
        return;
    }
    CHandOverReads reads;
    ImportPluginList(ctx, dir, bytes, cad, reads);
}

void CFileReadTrans::ImportPluginList(DOCCONTEXT* ctx, const std::string& folder, std::string_view bytes, bool cad,
                                      CHandOverReads& reads)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return;
    CPluginParamList list;
    list.Parse(bytes, cad);
    std::vector<std::string> refused;

    CDocData* head = nullptr;
    CDocData* tail = nullptr;
    Extents ext;
    for (const HANDOVERENTRY& e : list.m_entries) {
        if (e.m_bRefused) {
            refused.push_back(e.m_name);
            continue;
        }
        // The name converted from the code page, or, when that names no file,
        // the bytes as written: a list written with the file system's own
        // names.
        std::string path = folder + e.m_path;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 && CPluginParamList::IsConfinedName(e.m_name) &&
            ::stat((folder + e.m_name).c_str(), &st) == 0)
            path = folder + e.m_name;
        CDocData* objects = nullptr;
        bool ok = false;
        switch (e.m_nKind) {
        case HANDOVER_DXF:
            ok = reads.ReadDxf(path, objects, ctx);
            break;
        case HANDOVER_BMP: {
            const double x = e.m_values[0], y = e.m_values[1], w = e.m_values[2], h = e.m_values[3];
            ctx->m_ptMouse = CGeoPoint(x * kWorldPerMm, y * kWorldPerMm);
            ok = reads.ReadBitmap(path, w, h, objects, ctx);
            if (!cad)
                ext.Add(x * kWorldPerMm, (x + w) * kWorldPerMm, (y - h) * kWorldPerMm, y * kWorldPerMm);
            break;
        }
        case HANDOVER_AI: {
            const double maxX = e.m_values[0], maxY = e.m_values[1], minX = e.m_values[2], minY = e.m_values[3];
            ctx->m_ptMouse = CGeoPoint(minX * kWorldPerMm, minY * kWorldPerMm);
            ok = reads.ReadAi(path, objects, ctx);
            ext.Add(minX * kWorldPerMm, maxX * kWorldPerMm, minY * kWorldPerMm, maxY * kWorldPerMm);
            break;
        }
        default:
            break;
        }
        if (!ok) {
            DeleteObjectList(objects);
            refused.push_back(e.m_name);
            continue;
        }
        Gather(head, tail, objects);
    }

    // cor.param holds the host's y-up coordinates: the whole import is
    // turned top to bottom within its extents. An image is moved by its
    // origin and its corners rebuilt, so its pixels stay the right way up.
    const double sumY = ext.ymin + ext.ymax;
    const double midY = sumY / 2.0;
    for (CDocData* o = head; o != nullptr; o = o->m_pNext) {
        if (o->GetType() == MT_BITMAP) {
            auto* image = static_cast<CDocDataBitmap*>(o);
            if (!cad)
                image->m_y = sumY - image->m_y;
            image->ReadBmpHeader();
        } else if (!cad) {
            o->MirrorAbout(ext.xmin, midY, ext.xmax, midY, false, false, ctx);
        }
    }

    CGeoBox box;
    box.SetEmpty();
    for (CDocData* o = head; o != nullptr; o = o->m_pNext) {
        o->RecalcBoundRect(ctx);
        box.Union(o->m_rcBound);
    }

    // The first document is empty; whatever it held stays in the history.
    CDocState::PushHistory(ctx);
    DeleteObjectList(ctx->m_pCurrent->m_pFirst);
    ctx->m_pCurrent->m_pFirst = head;

    ctx->m_ptMouse = CGeoPoint(kWorldOrigin, kWorldOrigin);
    if (!box.IsEmpty())
        PlaceObjects(ctx, box);

    CDocState base;
    CDocState* tool = &CurrentToolOr(ctx, base);
    tool->SelectAll(ctx, true);
    tool->ApplyLayerFlags(ctx);

    ReportRefused(refused);
}
