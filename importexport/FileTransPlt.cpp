#include "FileTransPlt.h"

#include "model/CurveGeometry.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/DocDataPoint.h"
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
constexpr char kLabelEnd = '\x03'; // ETX, the terminator of LB until DT sets another

constexpr std::u16string_view kParamSection = u"phase13:param-dialog";
constexpr int kReplaceQuestion = 67;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

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

// ---------------------------------------------------------------- reading

// The reader's state while it scans the bytes once from the front.
class PltScanner {
public:
    PltScanner(std::string_view bytes, DOCCONTEXT* ctx) : m_bytes(bytes), m_ctx(ctx) {}
    ~PltScanner()
    {
        CDocState::FreeNodeList(m_chainHead);
        DeleteObjectList(m_head);
    }

    bool Run();
    CDocData* TakeList()
    {
        CDocData* list = m_head;
        m_head = m_tail = nullptr;
        return list;
    }

private:
    char At(std::size_t i) const { return i < m_bytes.size() ? m_bytes[i] : '\0'; }
    bool StartsNumber(std::size_t i) const
    {
        const char c = At(i);
        return IsDigit(c) || (c == '-' && IsDigit(At(i + 1)));
    }
    // Index of the first `c` at or after i, or the end.
    std::size_t Find(char c, std::size_t i) const
    {
        const std::size_t f = m_bytes.find(c, i);
        return f == std::string_view::npos ? m_bytes.size() : f;
    }
    bool CoordinateCommand() const
    {
        return m_cmd[0] == 'P' && (m_cmd[1] == 'U' || m_cmd[1] == 'A' || m_cmd[1] == 'D');
    }
    void CloseChain();
    bool AddNumber(std::size_t& i);

    std::string_view m_bytes;
    DOCCONTEXT* m_ctx;
    std::int32_t m_pen = 0;
    bool m_switch = false;
    std::uint64_t m_count = 0;
    char m_cmd[2] = {0, 0};
    char m_labelEnd = kLabelEnd;
    DOCNODE* m_chainHead = nullptr;
    DOCNODE* m_chainTail = nullptr;
    CDocData* m_head = nullptr;
    CDocData* m_tail = nullptr;
};

// The open chain, if it holds nodes, becomes a polyline (two or more nodes)
// or a point; either way the coordinate pairing starts afresh.
void PltScanner::CloseChain()
{
    m_count = 0;
    if (m_chainHead == nullptr)
        return;
    CDocData* obj = nullptr;
    if (m_chainHead->m_pNext != nullptr)
        obj = new CDocDataLine(m_chainHead, 1, m_ctx);
    else
        obj = new CDocDataPoint(m_chainHead, true, m_ctx);
    m_chainHead = m_chainTail = nullptr;
    const int layer = m_pen % kPaletteSize;
    obj->m_nLayer = layer;
    obj->m_nColor = CDocData::SettingsOf(m_ctx).m_palette[static_cast<std::size_t>(layer)];
    obj->m_pPrev = m_tail;
    if (m_tail != nullptr)
        m_tail->m_pNext = obj;
    else
        m_head = obj;
    m_tail = obj;
}

// A number at i: the run of digits and points after an optional '-'. It
// becomes the x (and provisional y) of a new node or the y of the last one.
bool PltScanner::AddNumber(std::size_t& i)
{
    const bool negative = m_bytes[i] == '-';
    std::size_t end = negative ? i + 1 : i;
    std::int64_t whole = 0;
    while (end < m_bytes.size() && IsDigit(m_bytes[end]) && end - i < 12)
        whole = whole * 10 + (m_bytes[end++] - '0');
    double v = static_cast<double>(negative ? -whole : whole);
    if (end < m_bytes.size() && (IsDigit(m_bytes[end]) || m_bytes[end] == '.')) {
        // Fractions and long digit runs take the general conversion; short
        // integers, what plotter drivers write, are read above.
        while (end < m_bytes.size() && (IsDigit(m_bytes[end]) || m_bytes[end] == '.'))
            ++end;
        const auto r = std::from_chars(m_bytes.data() + i, m_bytes.data() + end, v);
        if (r.ec != std::errc())
            return false;
    }
    i = end;
    if (!(v >= kMinPlotterUnit && v <= kMaxPlotterUnit))
        return false;
    if (m_count % 2 == 0) {
        m_chainTail = AppendNode(m_chainTail, v, v);
        if (m_chainHead == nullptr)
            m_chainHead = m_chainTail;
    } else {
        m_chainTail->m_y = v;
    }
    ++m_count;
    return true;
}

bool PltScanner::Run()
{
    const std::size_t size = m_bytes.size();
    std::size_t i = 0;
    while (i < size) {
        const char c = m_bytes[i];
        const char d = At(i + 1);
        // The command whose parameters follow: the last two capitals seen
        // together, so that a stray letter before a command does not hide it.
        if (IsUpper(c) && IsUpper(d)) {
            m_cmd[0] = c;
            m_cmd[1] = d;
        }
        if (c == 'S' && d == 'P') {
            if (At(i + 2) == '0')
                break;
            int pen = 0;
            std::size_t k = i + 2;
            while (k < i + 5 && IsDigit(At(k)))
                pen = pen * 10 + (m_bytes[k++] - '0');
            if (pen != 0) {
                CloseChain();
                m_pen = pen - 1;
                m_switch = false;
                i = k;
            } else {
                ++i;
            }
        } else if (c == 'P' && (d == 'U' || d == 'A')) {
            std::size_t k = i + 2;
            while (k < size && IsBlank(m_bytes[k]))
                ++k;
            if (StartsNumber(k)) {
                CloseChain();
                m_switch = true;
            }
            i += 2;
        } else if (c == 'L' && d == 'T') {
            m_switch = true;
            CloseChain();
            ++i;
        } else if (c == 'E' && d == 'C') {
            i = Find(';', i);
        } else if (c == 'P' && d == 'E') {
            // Encoded polyline: its data bytes include capitals.
            i = Find(';', i);
        } else if (c == 'L' && d == 'B') {
            i = Find(m_labelEnd, i + 2) + 1;
        } else if (c == 'D' && d == 'T') {
            const char t = At(i + 2);
            if (t == ';' || t == '\0') {
                m_labelEnd = kLabelEnd;
                i += 2;
            } else {
                m_labelEnd = t;
                i += 3;
            }
        } else if (m_switch && CoordinateCommand()) {
            if (StartsNumber(i)) {
                if (!AddNumber(i))
                    return false;
            } else {
                ++i;
            }
        } else if (IsDigit(c)) {
            // Parameters of other commands, or of PU/PA/PD with the switch
            // off, are passed over whole.
            while (i < size && (IsDigit(m_bytes[i]) || m_bytes[i] == '.'))
                ++i;
        } else {
            ++i;
        }
    }
    CloseChain();
    return true;
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

bool CFileTransPlt::ReadPlt(const std::string& path, CDocData*& list, DOCCONTEXT* ctx)
{
    list = nullptr;
    std::string bytes;
    if (!plat::ReadWholeFile(path, bytes))
        return false;
    return ParsePlt(bytes, list, ctx);
}

bool CFileTransPlt::ParsePlt(std::string_view bytes, CDocData*& list, DOCCONTEXT* ctx)
{
    list = nullptr;
    PltScanner scanner(bytes, ctx);
    if (!scanner.Run())
        return false;
    list = scanner.TakeList();
    return true;
}
