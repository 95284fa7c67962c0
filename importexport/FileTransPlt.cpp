#include "FileTransPlt.h"

#include "model/CurveGeometry.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/CodePage.h"
#include "platform/Prompt.h"
#include "platform/TextFile.h"
#include "settings/LanguageTable.h"
#include "settings/SoftwareSettings.h"

#include <charconv>
#include <cmath>
#include <filesystem>

namespace {

// Plotter units per world unit (0.1 mm / 0.025 mm).
constexpr double kPlotterScale = 4.0;
constexpr double kMinPlotterUnit = -2147483648.0;
constexpr double kMaxPlotterUnit = 2147483647.0;

constexpr std::u16string_view kParamSection = u"phase13:param-dialog";
constexpr int kReplaceQuestion = 67;

// ---------------------------------------------------------------- writing

void AppendInt(std::string& out, std::int64_t v)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// One plotter coordinate: (v - origin) x 4 + 0.5, truncated toward zero.
// False when the result is not a 32-bit number.
bool PlotterUnit(double world, std::int32_t& out)
{
    const double v = std::trunc((world - kWorldOrigin) * kPlotterScale + 0.5);
    if (!(v >= kMinPlotterUnit && v <= kMaxPlotterUnit))
        return false;
    out = static_cast<std::int32_t>(v);
    return true;
}

// LT, SP, PU for the first point, PD for every further one.
bool WritePoints(std::string& file, const DOCNODE* head, std::int64_t pen)
{
    bool first = true;
    for (const DOCNODE* n = head; n != nullptr;) {
        std::int32_t x = 0, y = 0;
        if (!PlotterUnit(n->m_x, x) || !PlotterUnit(n->m_y, y))
            return false;
        if (first) {
            file += "LT;\r\nSP";
            AppendInt(file, pen);
            file += ";\r\nPU";
            first = false;
        } else {
            file += "PD";
        }
        AppendInt(file, x);
        file += ',';
        AppendInt(file, -y);
        file += ";\r\n";
        n = n->m_pNext;
        if (n == head)
            break;
    }
    return true;
}

std::string Header()
{
    std::string h(kPltMakerWord);
    h += "\r\nIN;\r\n";
    for (int pen = 1; pen <= 8; ++pen)
        h += "VS32," + std::to_string(pen) + ";\r\n";
    h += "WU0;\r\n";
    for (int pen = 1; pen <= 8; ++pen)
        h += "PW0.350," + std::to_string(pen) + ";\r\n";
    return h;
}

void ReportWriteFailure(const std::string& path)
{
    plat::MessageBox(plat::Utf8ToUtf16(path) + LanguageText(RegisteredLanguageTable(), u"phase15:error-hint", 13),
                     std::u16string(), plat::MB_OK | plat::MB_ICONERROR);
}

} // namespace

bool CFileTransPlt::WriteObject(std::string& file, const CDocData* object)
{
    if (object == nullptr)
        return true;
    const std::int64_t pen = std::int64_t{object->m_nLayer} + 1;
    switch (object->GetType()) {
    case MT_POINT:
        if (object->m_pNodes == nullptr)
            return true;
        // The point twice: pen up to it, pen down on it.
        {
            DOCNODE second = *object->m_pNodes;
            DOCNODE first = *object->m_pNodes;
            first.m_pPrev = nullptr;
            first.m_pNext = &second;
            second.m_pPrev = &first;
            second.m_pNext = nullptr;
            return WritePoints(file, &first, pen);
        }
    case MT_LINE:
    case MT_RECT:
        return WritePoints(file, object->m_pNodes, pen);
    case MT_ELLIPSE:
    case MT_BEZIER: {
        DOCNODE* flat = SamplePolyline(object->m_pNodes, kOutputFlattenTol);
        const bool ok = WritePoints(file, flat, pen);
        CDocState::FreeNodeList(flat);
        return ok;
    }
    case MT_CHAR:
    case MT_GROUP: {
        CDocData** children = const_cast<CDocData*>(object)->ChildList();
        for (const CDocData* c = children != nullptr ? *children : nullptr; c != nullptr; c = c->m_pNext) {
            if (!WriteObject(file, c))
                return false;
        }
        return true;
    }
    default:
        return true;
    }
}

bool CFileTransPlt::ExportPlt(const std::string& path, DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || ctx->m_pCurrent->m_pFirst == nullptr)
        return false;
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        const std::u16string question =
            plat::Utf8ToUtf16(path) + LanguageText(RegisteredLanguageTable(), kParamSection, kReplaceQuestion);
        if (plat::MessageBox(question, std::u16string(), plat::MB_OKCANCEL | plat::MB_ICONWARNING) != plat::IDOK)
            return false;
    }

    // A copy with its arrays exploded is written, so the document and its
    // history never pass through a changed state.
    CDocData* copy = CloneDocData(ctx->m_pCurrent->m_pFirst, true);
    for (CDocData* o = copy; o != nullptr; o = o->m_pNext) {
        if (o->m_pArray != nullptr)
            o->ExplodeArray(ctx);
    }
    std::string file = Header();
    bool ok = true;
    for (const CDocData* o = copy; o != nullptr && ok; o = o->m_pNext)
        ok = WriteObject(file, o);
    DeleteObjectList(copy);
    file += "SP0;\r\n";

    if (!ok || !plat::WriteWholeFile(path, file)) {
        ReportWriteFailure(path);
        return false;
    }
    return true;
}
