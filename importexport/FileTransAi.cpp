#include "FileTransAi.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataBezier.h"
#include "model/DocDataLine.h"
#include "model/DocDataPoint.h"
#include "model/DocState.h"
#include "model/NodeList.h"
#include "platform/NumText.h"
#include "platform/TextFile.h"
#include "platform/WorkControl.h"
#include "settings/SoftwareSettings.h"

#include <cmath>

namespace {

// Numbers beyond this many points fail the read: curves that large would
// only be flattened into absurd node counts.
constexpr double kMaxPoints = 1e9;
constexpr double kClosedTol = 0.001;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// "%AI5_BeginLayer" and its kin.
bool IsLayerBegin(std::string_view line)
{
    constexpr std::string_view kEnd = "_BeginLayer";
    return line.size() >= 15 && line.starts_with("%AI") && line.ends_with(kEnd);
}

// Calls f on every line, split at LF, CR or CR LF (a bare CR ends a line as
// older Macintosh files have it); stops early when f returns false.
template <typename F>
bool ForEachLine(std::string_view bytes, F f)
{
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = bytes.size();
        if (!f(bytes.substr(start, end - start)))
            return false;
        start = end + 1;
    }
    return true;
}

// v x 255 truncated, its low 8 bits.
std::uint32_t ColourByte(double v)
{
    double t = std::fmod(std::trunc(v * 255.0), 256.0);
    if (t < 0.0)
        t += 256.0;
    return static_cast<std::uint32_t>(t);
}

// The operators that use their numbers, with the count each takes.
bool TakesNumbers(std::string_view op, std::size_t count)
{
    if (op == "G")
        return count == 1;
    if (op == "K")
        return count == 4;
    if (op == "XA")
        return count == 3;
    if (op == "m" || op == "l" || op == "L")
        return count == 2;
    if (op == "c" || op == "C")
        return count == 6;
    if (op == "v" || op == "V" || op == "y" || op == "Y")
        return count == 4;
    return false;
}

bool InBounds(const std::vector<double>& numbers)
{
    for (double v : numbers) {
        if (!(std::fabs(v) <= kMaxPoints))
            return false;
    }
    return true;
}

} // namespace

CFileTransAi::CFileTransAi() = default;

CFileTransAi::~CFileTransAi()
{
    CDocState::FreeNodeList(m_pCurrent);
    DeleteObjectList(m_pObjects);
}

bool CFileTransAi::ReadAi(const std::string& path, CDocData*& list, DOCCONTEXT* ctx)
{
    list = nullptr;
    std::string bytes;
    if (!plat::ReadWholeFile(path, bytes))
        return false;
    return ParseAi(bytes, list, ctx);
}

bool CFileTransAi::ParseAi(std::string_view bytes, CDocData*& list, DOCCONTEXT* ctx)
{
    list = nullptr;
    // Illustrator 9 and later write PDF with the drawing in a private
    // stream; none of it is PostScript text.
    if (bytes.starts_with("%PDF"))
        return false;
    m_pCtx = ctx;
    m_colours.clear();
    m_colours.reserve(kMaxColours);

    // Files of the older layout have no layer comment: their paths count
    // from the end of the setup section.
    bool hasLayers = false;
    ForEachLine(bytes, [&](std::string_view line) {
        hasLayers = IsLayerBegin(line);
        return !hasLayers;
    });

    std::vector<double> numbers;
    numbers.reserve(kMaxNumbers);
    // How far through the file, now and then; a cancelled read fails.
    constexpr int kLinesPerStep = 16384;
    int sinceStep = 0;
    const bool ok = ForEachLine(bytes, [&](std::string_view line) {
        if (++sinceStep == kLinesPerStep) {
            sinceStep = 0;
            const auto done = static_cast<std::size_t>(line.data() - bytes.data());
            if (!plat::WorkStep(static_cast<int>(done * plat::WorkControl::kWhole / bytes.size())))
                return false;
        }
        if (IsLayerBegin(line) || (!hasLayers && line.starts_with("%%EndSetup")))
            m_bInLayer = 1;
        std::string_view op;
        if (!Tokenize(line, numbers, op) || op.empty())
            return true;
        return ExecOperator(op, numbers);
    });
    FreeSegments();
    if (!ok) {
        CDocState::FreeNodeList(m_pCurrent);
        m_pLastNode = nullptr;
        DeleteObjectList(m_pObjects);
        return false;
    }
    m_nFinishColour = m_nPrevColour;
    FinishObject();
    if (m_pObjects != nullptr)
        PlaceAtMouse(m_pObjects, ctx);
    list = m_pObjects;
    m_pObjects = nullptr;
    return true;
}

bool CFileTransAi::Tokenize(std::string_view line, std::vector<double>& numbers, std::string_view& op)
{
    numbers.clear();
    op = {};
    std::size_t b = 0;
    while (b < line.size() && IsBlank(line[b]))
        ++b;
    std::size_t e = line.size();
    while (e > b && (IsBlank(line[e - 1]) || line[e - 1] == '\r' || line[e - 1] == '\n'))
        --e;
    line = line.substr(b, e - b);
    if (line.empty() || line[0] == '%')
        return true;
    std::size_t lastBlank = line.size();
    while (lastBlank > 0 && !IsBlank(line[lastBlank - 1]))
        --lastBlank;
    op = line.substr(lastBlank);
    bool drop = false;
    std::size_t i = 0;
    while (i < lastBlank) {
        while (i < lastBlank && IsBlank(line[i]))
            ++i;
        std::size_t j = i;
        while (j < lastBlank && !IsBlank(line[j]))
            ++j;
        if (j == i)
            break;
        const std::string_view token = line.substr(i, j - i);
        if (token[0] == '%')
            drop = true;
        else if (numbers.size() == kMaxNumbers)
            return false;
        else
            numbers.push_back(plat::ParseDouble(token));
        i = j;
    }
    if (drop)
        numbers.clear();
    return true;
}

bool CFileTransAi::ExecOperator(std::string_view op, const std::vector<double>& numbers)
{
    if (TakesNumbers(op, numbers.size()) && !InBounds(numbers))
        return false;
    if (op == "G" || op == "K" || op == "X" || op == "XX" || op == "P" || op == "XA") {
        const std::uint32_t colour = ColourFromOperator(op, numbers);
        if (colour != kNoColour)
            m_nColour = static_cast<std::int32_t>(colour);
    } else if (op == "m" || op == "l" || op == "L" || op == "C" || op == "c" || op == "v" || op == "V" ||
               op == "Y" || op == "y") {
        AddSegment(op, numbers);
    } else if ((op == "s" || op == "S" || op == "b" || op == "B" || op == "f" || op == "F") && numbers.empty()) {
        if (m_bInLayer != 0) {
            if (op == "s" || op == "b" || op == "f")
                CloseSubpath();
            SegmentsToNodes();
        }
        FreeSegments();
    } else if ((op == "h" || op == "H" || op == "n" || op == "N") && numbers.empty()) {
        // Not painted (a clipping path, say): the path is dropped.
        FreeSegments();
    }
    return true;
}

std::uint32_t CFileTransAi::ColourFromOperator(std::string_view op, const std::vector<double>& numbers)
{
    std::uint32_t r = 0, g = 0, b = 0;
    if (op == "G" && numbers.size() == 1) {
        r = g = b = ColourByte(numbers[0]);
    } else if (op == "K" && numbers.size() == 4) {
        // Cyan, magenta, yellow and black from 0 to 1.
        const double k = 1.0 - numbers[3];
        r = ColourByte((1.0 - numbers[0]) * k);
        g = ColourByte((1.0 - numbers[1]) * k);
        b = ColourByte((1.0 - numbers[2]) * k);
    } else if (op == "XA" && numbers.size() == 3) {
        r = ColourByte(numbers[0]);
        g = ColourByte(numbers[1]);
        b = ColourByte(numbers[2]);
    } else {
        return kNoColour;
    }
    return ColourIndex(r | (g << 8) | (b << 16));
}

std::uint32_t CFileTransAi::ColourIndex(std::uint32_t colour)
{
    for (std::size_t i = 0; i < m_colours.size(); ++i) {
        if (m_colours[i] == colour)
            return static_cast<std::uint32_t>(i);
    }
    if (m_colours.size() < kMaxColours) {
        m_colours.push_back(colour);
        return static_cast<std::uint32_t>(m_colours.size() - 1);
    }
    return kMaxColours;
}

void CFileTransAi::AddSegment(std::string_view op, const std::vector<double>& numbers)
{
    AISEGMENT s;
    const char c = op[0];
    if (c == 'm' && numbers.size() == 2) {
        s.m_nKind = 0;
        s.m_bSmooth = 1;
    } else if ((c == 'l' || c == 'L') && numbers.size() == 2) {
        s.m_nKind = 1;
        s.m_bSmooth = c == 'l' ? 1 : 0;
    } else if ((c == 'c' || c == 'C') && numbers.size() == 6 && !m_segments.empty()) {
        s.m_nKind = 2;
        s.m_bSmooth = c == 'c' ? 1 : 0;
    } else if ((c == 'v' || c == 'V' || c == 'y' || c == 'Y') && numbers.size() == 4 && !m_segments.empty()) {
        s.m_nKind = 2;
        s.m_bSmooth = c == 'v' ? 1 : 0;
    } else {
        return;
    }
    if (s.m_nKind == 2) {
        // The curve starts where the last segment ended.
        const AISEGMENT& last = m_segments.back();
        const double x0 = last.m_coords[last.m_nCount - 2];
        const double y0 = last.m_coords[last.m_nCount - 1];
        double* p = s.m_coords;
        *p++ = x0;
        *p++ = y0;
        if (c == 'v' || c == 'V') {
            // First control on the start point.
            *p++ = x0;
            *p++ = y0;
        }
        for (double v : numbers)
            *p++ = v;
        if (c == 'y' || c == 'Y') {
            // Second control on the end point.
            *p++ = numbers[2];
            *p++ = numbers[3];
        }
        s.m_nCount = 8;
    } else {
        s.m_coords[0] = numbers[0];
        s.m_coords[1] = numbers[1];
        s.m_nCount = 2;
    }
    m_segments.push_back(s);
}

// The closing segment of the lower-case painting operators: a line back to
// the start of the last subpath, unless the path ends there already.
void CFileTransAi::CloseSubpath()
{
    for (std::size_t i = m_segments.size(); i-- > 0;) {
        if (m_segments[i].m_nKind != 0)
            continue;
        const AISEGMENT& start = m_segments[i];
        const AISEGMENT& last = m_segments.back();
        const double x = start.m_coords[0], y = start.m_coords[1];
        if (last.m_coords[last.m_nCount - 2] != x || last.m_coords[last.m_nCount - 1] != y) {
            AISEGMENT line;
            line.m_nKind = 1;
            line.m_coords[0] = x;
            line.m_coords[1] = y;
            line.m_nCount = 2;
            m_segments.push_back(line);
        }
        return;
    }
}

void CFileTransAi::AppendNode(double x, double y, std::uint8_t kind)
{
    m_pLastNode = ::AppendNode(m_pLastNode, x, y, kind);
    if (m_pCurrent == nullptr)
        m_pCurrent = m_pLastNode;
}

void CFileTransAi::SegmentsToNodes()
{
    for (const AISEGMENT& s : m_segments) {
        double v[8];
        for (std::uint32_t i = 0; i < s.m_nCount; ++i)
            v[i] = s.m_coords[i] / kAiPointsPerWorldUnit;
        if (s.m_nKind == 0 && s.m_nCount == 2) {
            m_nFinishColour = m_nPrevColour;
            FinishObject();
            m_nPrevColour = m_nColour;
            AppendNode(v[0], v[1], NODE_ANCHOR);
            AppendNode(v[0], v[1], NODE_CONTROL_OUT);
            m_bSmooth = s.m_bSmooth;
        } else if (s.m_nKind == 1 && s.m_nCount == 2 && m_pCurrent != nullptr) {
            AppendNode(v[0], v[1], NODE_CONTROL_IN);
            AppendNode(v[0], v[1], NODE_ANCHOR);
            AppendNode(v[0], v[1], NODE_CONTROL_OUT);
        } else if (s.m_nKind == 2 && s.m_nCount == 8 && m_pCurrent != nullptr) {
            if (m_pLastNode->m_nKind == NODE_CONTROL_OUT && m_pLastNode != m_pCurrent) {
                DOCNODE* drop = m_pLastNode;
                m_pLastNode = drop->m_pPrev;
                m_pLastNode->m_pNext = nullptr;
                delete drop;
            }
            AppendNode(v[2], v[3], NODE_CONTROL_OUT);
            AppendNode(v[4], v[5], NODE_CONTROL_IN);
            AppendNode(v[6], v[7], NODE_ANCHOR);
            AppendNode(v[6], v[7], NODE_CONTROL_OUT);
        }
    }
}

// The path under construction, cleaned up, becomes a point, a polyline or a
// Bezier path at the front of the finished objects.
void CFileTransAi::FinishObject()
{
    DOCNODE* head = m_pCurrent;
    DOCNODE* last = m_pLastNode;
    m_pCurrent = m_pLastNode = nullptr;
    if (head == nullptr)
        return;

    // A leading incoming and a trailing outgoing control hold no segment.
    if (head->m_nKind == NODE_CONTROL_IN && head->m_pNext != nullptr) {
        head = head->m_pNext;
        delete head->m_pPrev;
        head->m_pPrev = nullptr;
    }
    if (last->m_nKind == NODE_CONTROL_OUT && last != head) {
        last = last->m_pPrev;
        delete last->m_pNext;
        last->m_pNext = nullptr;
    }

    // Segments that start and end on one anchor with their two controls on
    // one point draw nothing.
    for (DOCNODE* a = head; a != nullptr && a->m_pNext != nullptr && a->m_pNext->m_pNext != nullptr &&
                            a->m_pNext->m_pNext->m_pNext != nullptr;) {
        DOCNODE* c1 = a->m_pNext;
        DOCNODE* c2 = c1->m_pNext;
        DOCNODE* b = c2->m_pNext;
        if (b->m_x == a->m_x && b->m_y == a->m_y && b->m_nKind == a->m_nKind && c1->m_x == c2->m_x &&
            c1->m_y == c2->m_y) {
            a->m_pNext = b->m_pNext;
            if (b->m_pNext != nullptr)
                b->m_pNext->m_pPrev = a;
            delete c1;
            delete c2;
            delete b;
        } else {
            a = b;
        }
    }

    last = LastNode(head);
    const std::uint8_t closed = last != head && std::fabs(last->m_x - head->m_x) < kClosedTol &&
                                        std::fabs(last->m_y - head->m_y) < kClosedTol
                                    ? 1
                                    : 0;
    CDocData* obj = nullptr;
    if (head->m_pNext == nullptr)
        obj = new CDocDataPoint(head, true, m_pCtx);
    else if (CompactNodeList(head))
        obj = new CDocDataLine(head, 1, m_pCtx);
    else
        obj = new CDocDataBezier(head, true, m_pCtx);
    obj->m_bClosed = closed;
    const int layer = m_nFinishColour & 255;
    obj->m_nLayer = layer;
    obj->m_nColor = CDocData::SettingsOf(m_pCtx).m_palette[static_cast<std::size_t>(layer)];
    obj->m_pNext = m_pObjects;
    if (m_pObjects != nullptr)
        m_pObjects->m_pPrev = obj;
    m_pObjects = obj;
}

void CFileTransAi::PlaceAtMouse(CDocData* list, DOCCONTEXT* ctx)
{
    // The boxes are those the objects were made with: their nodes have not
    // moved since, and a translation moves a box exactly with them.
    list->m_pPrev = nullptr;
    CGeoBox box;
    for (CDocData* o = list; o != nullptr; o = o->m_pNext)
        box.Union(o->m_rcBound);
    if (box.IsEmpty())
        return;
    const double dx = -box.m_xmin + (ctx != nullptr ? ctx->m_ptMouse.m_x : 0.0);
    const double dy = -box.m_ymin + (ctx != nullptr ? ctx->m_ptMouse.m_y : 0.0);
    for (CDocData* o = list; o != nullptr; o = o->m_pNext) {
        for (DOCNODE* n = o->m_pNodes; n != nullptr; n = n->m_pNext) {
            n->m_x += dx;
            n->m_y += dy;
        }
        CGeoBox& b = o->m_rcBound;
        b = CGeoBox(b.m_xmin + dx, b.m_xmax + dx, b.m_ymin + dy, b.m_ymax + dy);
    }
}
