// The reading side of the DXF reader: the group tokenizer over the whole
// file, the walk over sections, tables and blocks, the entity reader and
// the conversion loop that chains the objects of a section or block. The
// tables themselves and the entities' colours are read in
// FileTransDxfTables.cpp.
#include "FileTransDxf.h"

#include "FileReadTrans.h"
#include "model/DocData.h"
#include "model/NodeList.h"
#include "platform/CodePage.h"
#include "platform/FontNotices.h"
#include "platform/NumText.h"
#include "platform/ParallelFor.h"
#include "platform/Prompt.h"
#include "platform/TextFile.h"
#include "platform/WorkControl.h"
#include "settings/FontNoticeMessage.h"
#include "settings/LanguageTable.h"
#include "settings/SoftwareSettings.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <utility>

namespace {

constexpr std::string_view kBinarySentinel = "AutoCAD Binary DXF";
constexpr std::u16string_view kTooLongText = u"The string is too long";
constexpr int kEndedEarlyText = 47;

// Whether the bytes end with the end-of-file group (a code line 0, then
// EOF), with blanks, line ends, NULs or a DOS end-of-file mark after it.
bool EndsWithEofGroup(std::string_view bytes)
{
    const auto trailing = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0' || c == '\x1a'; };
    while (!bytes.empty() && trailing(bytes.back()))
        bytes.remove_suffix(1);
    if (!bytes.ends_with("EOF"))
        return false;
    bytes.remove_suffix(3);
    if (bytes.empty() || (bytes.back() != '\n' && bytes.back() != '\r'))
        return false;
    while (!bytes.empty() && (bytes.back() == '\r' || bytes.back() == '\n'))
        bytes.remove_suffix(1);
    const std::size_t lineStart = bytes.find_last_of("\r\n") + 1; // npos + 1 is 0
    std::string_view code = bytes.substr(lineStart);
    while (!code.empty() && code.front() == ' ')
        code.remove_prefix(1);
    return code == "0";
}

// Where the first CR or LF of `buf[i, end)` lies, `end` when there is none.
// Lines are mostly a few bytes: eight are looked at in one step.
std::size_t LineBreakFrom(const char* buf, std::size_t i, std::size_t end)
{
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
        constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
        for (; i + 8 <= end; i += 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, buf + i, 8);
            const std::uint64_t lf = word ^ (kOnes * '\n');
            const std::uint64_t cr = word ^ (kOnes * '\r');
            // A byte's high bit is set where it is zero; the lowest set bit
            // is exact (a borrow only marks bytes after it).
            const std::uint64_t hits = ((lf - kOnes) & ~lf & kHighs) | ((cr - kOnes) & ~cr & kHighs);
            if (hits != 0)
                return i + static_cast<std::size_t>(std::countr_zero(hits)) / 8;
        }
    }
    while (i < end && buf[i] != '\r' && buf[i] != '\n')
        ++i;
    return i;
}

// Objects and nodes of a chain, children of groups and texts included.
void CountObjects(const CDocData* o, std::size_t& objects, std::size_t& nodes)
{
    for (; o != nullptr; o = o->m_pNext) {
        ++objects;
        nodes += static_cast<std::size_t>(CountNodes(o->m_pNodes));
        CDocData* const* children = const_cast<CDocData*>(o)->ChildList();
        if (children != nullptr)
            CountObjects(*children, objects, nodes);
    }
}

// True when every node of the object (and of its children) is a number.
bool HasFiniteNodes(CDocData* o)
{
    bool finite = true;
    ForEachNode(o->m_pNodes, [&](DOCNODE& n) { finite = finite && std::isfinite(n.m_x) && std::isfinite(n.m_y); });
    CDocData** children = o->ChildList();
    if (children != nullptr) {
        for (CDocData* c = *children; finite && c != nullptr; c = c->m_pNext)
            finite = HasFiniteNodes(c);
    }
    return finite;
}

} // namespace

std::string_view CFileTransDxf::CutBytes(std::string_view bytes, std::size_t maxBytes)
{
    if (bytes.size() <= maxBytes)
        return bytes;
    std::size_t i = 0;
    while (i < maxBytes) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const std::size_t step = b >= 0x80 && plat::IsLeadByte(b) ? 2 : 1;
        if (i + step > maxBytes)
            break;
        i += step;
    }
    return bytes.substr(0, i);
}

CFileTransDxf::CFileTransDxf() { m_paletteCache.fill(-1); }

CFileTransDxf::~CFileTransDxf()
{
    for (DXFBLOCK& b : m_blocks)
        DeleteObjectList(b.m_pFirst);
    DeleteObjectList(m_result.first);
    DeleteObjectList(m_converting.first);
}

void CFileTransDxf::SetUnitChoice(std::uint8_t choice)
{
    m_bUnitFixed = choice != 0;
    m_dUnit = choice == 1 ? 25.4 : 1.0;
}

bool CFileTransDxf::ReadDxf(const std::string& path, CDocData*& list, DOCCONTEXT* ctx)
{
    std::string bytes;
    if (!plat::ReadWholeFileOnce(path, bytes))
        return false;
    return ReadDxfBytes(std::move(bytes), list, ctx);
}

bool CFileTransDxf::ReadDxfBytes(std::string bytes, CDocData*& list, DOCCONTEXT* ctx)
{
    if (std::string_view(bytes).starts_with(kBinarySentinel))
        return false;
    // Blocks name the bytes of their own file: those of an earlier read go.
    for (DXFBLOCK& b : m_blocks)
        DeleteObjectList(b.m_pFirst);
    m_blocks.clear();
    m_blockIndex.clear();
    m_nInsertedObjects = m_nInsertedNodes = 0;
    const bool endMarked = EndsWithEofGroup(bytes);
    DXFFILE f;
    f.m_buffer = bytes;
    m_bCutShort = false;
    m_bSawEof = false;
    m_nEntitiesRead = 0;
    m_nSinceStep = 0;
    m_paletteCache.fill(-1);
    m_bTooLongShown = false;
    m_bLastLayerValid = false;
    m_bHeldGroup = false;
    // What the texts had to make do with is told once, after the file.
    plat::TakeFontNotices();
    try {
        ParseDxf(f, ctx);
    } catch (const std::bad_alloc&) {
        DeleteObjectList(m_result.first);
        DeleteObjectList(m_converting.first);
        m_result = m_converting = {};
        return false;
    }
    // A read stopped by its work's cancel brings nothing and says nothing.
    if (plat::WorkCancelled()) {
        plat::TakeFontNotices();
        DeleteObjectList(m_result.first);
        m_result = {};
        return false;
    }
    // Said when the import goes on with what was whole; a file that gave
    // nothing fails as any file without a drawing does.
    if (ctx != nullptr && m_result.first != nullptr && (m_bCutShort || !(endMarked || m_bSawEof)))
        ShowEndedEarly();
    ShowFontNotices(plat::TakeFontNotices());
    CDocData* chain = m_result.first;
    m_result = {};
    if (chain == nullptr)
        return false;
    if (list == nullptr) {
        list = chain;
    } else {
        CDocData* last = list;
        while (last->m_pNext != nullptr)
            last = last->m_pNext;
        last->m_pNext = chain;
        chain->m_pPrev = last;
    }
    return true;
}

void CFileTransDxf::ShowTooLong()
{
    if (m_bPiece) {
        m_bTooLongSeen = true;
        return;
    }
    if (m_bTooLongShown)
        return;
    m_bTooLongShown = true;
    plat::MessageBox(std::u16string(kTooLongText), std::u16string(), plat::MB_OK);
}

void CFileTransDxf::ShowEndedEarly() const
{
    std::u16string text = LanguageText(RegisteredLanguageTable(), u"phase15:error-hint", kEndedEarlyText);
    text += plat::Utf8ToUtf16(std::to_string(m_nEntitiesRead));
    plat::MessageBox(text, std::u16string(), plat::MB_OK | plat::MB_ICONWARNING);
}

// A line ends at CR LF, LF, or a run of CR with perhaps one LF after it.
// Blank LF lines before a group code are passed over.
std::string_view CFileTransDxf::ReadLine(DXFFILE& f, bool isCode)
{
    const char* buf = f.m_buffer.data();
    const std::size_t end = f.m_buffer.size();
    std::size_t start = f.m_nPos;
    std::size_t i = start;
    for (;;) {
        i = LineBreakFrom(buf, i, end);
        if (isCode && i == start && i < end && buf[i] == '\n') {
            start = ++i;
            continue;
        }
        break;
    }
    std::string_view line(buf + start, i - start);
    if (i < end) {
        if (buf[i] == '\r') {
            while (i < end && buf[i] == '\r')
                ++i;
            if (i < end && buf[i] == '\n')
                ++i;
        } else {
            ++i;
        }
    }
    f.m_nPos = i;
    if (line.size() > kMaxLine) {
        // The rest of the line is passed over, so that codes and values stay
        // in their pairs.
        line = CutBytes(line, kMaxLine);
        ShowTooLong();
    }
    return line;
}

// Group codes are short runs of digits, most often after blanks: read
// directly, anything else as any other number.
static int CodeOf(std::string_view line)
{
    std::size_t i = 0;
    while (i < line.size() && line[i] == ' ')
        ++i;
    const std::size_t digits = line.size() - i;
    if (digits == 0 || digits > 6)
        return CFileTransDxf::IntOf(line);
    int code = 0;
    for (; i < line.size(); ++i) {
        const unsigned d = static_cast<unsigned char>(line[i]) - static_cast<unsigned>('0');
        if (d > 9)
            return CFileTransDxf::IntOf(line);
        code = code * 10 + static_cast<int>(d);
    }
    return code;
}

bool CFileTransDxf::ReadGroup(DXFFILE& f, int& code, std::string_view& value)
{
    const char* buf = f.m_buffer.data();
    const std::size_t end = f.m_buffer.size();
    std::size_t i = f.m_nPos;
    if (i >= end) {
        code = 0;
        value = {};
        return false;
    }
    // Most groups are a code of a few digits after blanks and a value of
    // usual length, each ended by LF or CR LF: read here in one go. Anything
    // else (blank lines, lone CRs, long values, other codes) is left to the
    // general line reader from the same place.
    while (i < end && buf[i] == ' ')
        ++i;
    std::size_t digits = 0;
    int fast = 0;
    for (; i < end && digits < 6; ++i, ++digits) {
        const unsigned d = static_cast<unsigned char>(buf[i]) - static_cast<unsigned>('0');
        if (d > 9)
            break;
        fast = fast * 10 + static_cast<int>(d);
    }
    auto lineEnd = [&](std::size_t at) -> std::size_t {
        // Where the next line starts after a LF or CR LF at `at`; 0 for
        // other ends (0 is never past a line end).
        if (at < end && buf[at] == '\n')
            return at + 1;
        if (at + 1 < end && buf[at] == '\r' && buf[at + 1] == '\n')
            return at + 2;
        return 0;
    };
    if (digits != 0) {
        const std::size_t valueStart = lineEnd(i);
        if (valueStart != 0 && valueStart < end) {
            const std::size_t valueEnd = LineBreakFrom(buf, valueStart, end);
            const std::size_t next = valueEnd == end ? end : lineEnd(valueEnd);
            if (next != 0 && valueEnd - valueStart <= kMaxLine) {
                code = fast;
                value = std::string_view(buf + valueStart, valueEnd - valueStart);
                f.m_nPos = next;
                return true;
            }
        }
    }
    code = CodeOf(ReadLine(f, true));
    value = ReadLine(f, false);
    return true;
}

bool CFileTransDxf::FindGroup(DXFFILE& f, int code, std::string_view text, bool bounded)
{
    const std::size_t start = f.m_nPos;
    int c = 0;
    std::string_view v;
    while (ReadGroup(f, c, v)) {
        if (c == code && v == text)
            return true;
        if (bounded && c == 0 && (v == "ENDSEC" || v == "ENDTAB"))
            break;
    }
    f.m_nPos = start;
    return false;
}

bool CFileTransDxf::FindSection(DXFFILE& f)
{
    const std::size_t start = f.m_nPos;
    int c = 0;
    std::string_view v;
    while (ReadGroup(f, c, v)) {
        if (v == "BLOCK" || v == "BLOCKS")
            break;
        if (c == 0 && v == "SECTION")
            return true;
        m_bSawEof = m_bSawEof || (c == 0 && v == "EOF");
    }
    f.m_nPos = start;
    return false;
}

bool CFileTransDxf::NextInSection(DXFFILE& f, std::string_view name)
{
    int c = 0;
    std::string_view v;
    while (ReadGroup(f, c, v)) {
        if (c != 0)
            continue;
        if (v == name)
            return true;
        if (v == "ENDSEC")
            break;
    }
    f.m_nSection = DXF_SECTION_NONE;
    return false;
}

std::uint32_t CFileTransDxf::NextSection(DXFFILE& f)
{
    f.m_nSection = DXF_SECTION_NONE;
    if (FindSection(f) && f.m_nPos < f.m_buffer.size()) {
        int c = 0;
        std::string_view v;
        ReadGroup(f, c, v);
        if (v == "HEADER")
            f.m_nSection = DXF_SECTION_HEADER;
        else if (v == "TABLES")
            f.m_nSection = DXF_SECTION_TABLES;
        else if (v == "BLOCKS")
            f.m_nSection = DXF_SECTION_BLOCKS;
        else if (v == "ENTITIES")
            f.m_nSection = DXF_SECTION_ENTITIES;
        else
            f.m_nSection = DXF_SECTION_OTHER;
    }
    return f.m_nSection;
}

void CFileTransDxf::ParseDxf(DXFFILE& f, DOCCONTEXT* ctx)
{
    NextSection(f);
    while (f.m_nSection != DXF_SECTION_NONE) {
        switch (f.m_nSection) {
        case DXF_SECTION_HEADER:
            ReadHeader(f);
            break;
        case DXF_SECTION_TABLES:
            while (NextTable(f))
                ReadTable(f);
            break;
        case DXF_SECTION_BLOCKS:
            while (f.m_nSection == DXF_SECTION_BLOCKS && NextBlock(f)) {
                m_nBlockDepth = 1;
                AddToBlock(ConvertEntities(f, ctx), ctx);
            }
            break;
        case DXF_SECTION_ENTITIES: {
            Chain chain;
            if (!ConvertEntitiesSideBySide(f, ctx, chain))
                chain = ConvertEntities(f, ctx);
            Append(m_result, chain);
            break;
        }
        default:
            break;
        }
        NextSection(f);
    }
}

void CFileTransDxf::Append(Chain& to, Chain chain)
{
    if (chain.first == nullptr)
        return;
    if (to.first == nullptr) {
        to = chain;
        return;
    }
    to.second->m_pNext = chain.first;
    chain.first->m_pPrev = to.second;
    to.second = chain.second;
}

bool CFileTransDxf::NextBlock(DXFFILE& f)
{
    if (f.m_nSection != DXF_SECTION_BLOCKS || !NextInSection(f, "BLOCK"))
        return false;
    ReadBlockHead(f);
    return true;
}

void CFileTransDxf::ReadBlockHead(DXFFILE& f)
{
    m_blockName.clear();
    m_blockBaseX = m_blockBaseY = 0.0;
    int c = 0;
    std::string_view v;
    for (;;) {
        SavePos(f);
        if (!ReadGroup(f, c, v)) {
            f.m_bInBlock = 0;
            return;
        }
        if (c == 0)
            break;
        if (c == 2 || c == 3)
            m_blockName = CutBytes(v, kMaxName);
        else if (c == 10)
            m_blockBaseX = plat::ParseDouble(v) * 1000.0 * m_dUnit;
        else if (c == 20)
            m_blockBaseY = plat::ParseDouble(v) * 1000.0 * m_dUnit;
    }
    if (v != "ENDBLK") {
        RestorePos(f);
        f.m_bInBlock = 1;
        return;
    }
    // An empty block.
    f.m_bInBlock = 0;
    for (;;) {
        SavePos(f);
        if (!ReadGroup(f, c, v))
            return;
        if (c == 0)
            break;
    }
    if (v == "ENDSEC")
        f.m_nSection = DXF_SECTION_NONE;
    else
        RestorePos(f);
}

// A second definition under the same name joins the first one, its objects
// moved to the first one's base point.
void CFileTransDxf::AddToBlock(Chain chain, DOCCONTEXT* ctx)
{
    if (chain.first == nullptr)
        return;
    std::size_t objects = 0, nodes = 0;
    CountObjects(chain.first, objects, nodes);
    const auto found = m_blockIndex.find(m_blockName);
    if (found == m_blockIndex.end()) {
        DXFBLOCK block;
        block.m_name = m_blockName;
        block.m_baseX = m_blockBaseX;
        block.m_baseY = m_blockBaseY;
        block.m_pFirst = chain.first;
        block.m_pLast = chain.second;
        block.m_attrs = std::move(m_convertingAttrs);
        block.m_nDepth = m_nBlockDepth;
        block.m_nObjects = objects;
        block.m_nNodes = nodes;
        m_blocks.push_back(block);
        m_blockIndex.emplace(m_blockName, m_blocks.size() - 1);
        return;
    }
    DXFBLOCK& block = m_blocks[found->second];
    if (block.m_baseX != m_blockBaseX || block.m_baseY != m_blockBaseY) {
        const CGeoPoint from(m_blockBaseX, m_blockBaseY), to(block.m_baseX, block.m_baseY);
        for (CDocData* o = chain.first; o != nullptr; o = o->m_pNext)
            o->Move(from, to, ctx);
    }
    block.m_pLast->m_pNext = chain.first;
    chain.first->m_pPrev = block.m_pLast;
    block.m_pLast = chain.second;
    block.m_attrs.insert(block.m_attrs.end(), m_convertingAttrs.begin(), m_convertingAttrs.end());
    block.m_nDepth = std::max(block.m_nDepth, m_nBlockDepth);
    block.m_nObjects += objects;
    block.m_nNodes += nodes;
}

bool CFileTransDxf::NextEntityGroup(DXFFILE& f, int& code, std::string_view& value)
{
    SavePos(f);
    if (!ReadGroup(f, code, value)) {
        m_lastValue = {};
        m_bAtEnd = true;
        return false;
    }
    if (code == 0) {
        m_lastValue = value;
        return false;
    }
    return true;
}

bool CFileTransDxf::CommonGroup(DXFENTITY& e, int code, std::string_view value)
{
    switch (code) {
    case 8:
        e.m_layer = value;
        return true;
    case 6:
        e.m_linetype = value;
        return true;
    case 62:
        e.m_nColor = IntOf(value);
        return true;
    case 39:
        e.m_dThickness = plat::ParseDouble(value);
        return true;
    case 48:
        e.m_dLinetypeScale = plat::ParseDouble(value);
        return true;
    default:
        return false;
    }
}

void CFileTransDxf::SkipEntity(DXFFILE& f)
{
    int c = 0;
    std::string_view v;
    while (NextEntityGroup(f, c, v)) {
    }
}

void CFileTransDxf::ParseOther(DXFFILE& f, DXFENTITY& e, std::uint16_t type)
{
    e.m_nType = type;
    int c = 0;
    std::string_view v;
    while (NextEntityGroup(f, c, v))
        CommonGroup(e, c, v);
}

void CFileTransDxf::ReadEntity(DXFFILE& f, DXFENTITY& e)
{
    const bool inBlock = f.m_nSection == DXF_SECTION_BLOCKS;
    if (f.m_nSection != DXF_SECTION_ENTITIES && !(inBlock && f.m_bInBlock != 0))
        return;
    SavePos(f);
    int c = 0;
    std::string_view v;
    if (m_bHeldGroup && f.m_nPos == m_heldAt) {
        // The group that ended the entity before, read already.
        v = m_heldValue;
        f.m_nPos = m_heldEnd;
    } else if (!ReadGroup(f, c, v)) {
        return;
    }
    m_bHeldGroup = false;
    if (c != 0) {
        RestorePos(f);
        return;
    }
    e = DXFENTITY{};
    m_bAtEnd = false;

    // The group just read names an entity or ends the section or block.
    for (;;) {
        if (v == "EOF") {
            m_bSawEof = true;
            return;
        }
        if (v == "ENDSEC") {
            f.m_bInBlock = 0;
            f.m_nSection = DXF_SECTION_NONE;
            return;
        }
        if (v == "ENDBLK" && inBlock) {
            EndBlock(f);
            return;
        }
        if (v == "LINE")
            ParseLine(f, e);
        else if (v == "SPLINE")
            ParseSpline(f, e);
        else if (v == "POINT")
            ParsePoint(f, e);
        else if (v == "CIRCLE")
            ParseCircle(f, e);
        else if (v == "ELLIPSE")
            ParseEllipse(f, e);
        else if (v == "TEXT")
            ParseText(f, e);
        else if (v == "MTEXT")
            ParseMText(f, e);
        else if (v == "ARC")
            ParseArc(f, e);
        else if (v == "SOLID")
            ParseOther(f, e, DXF_SOLID);
        else if (v == "INSERT")
            ParseInsert(f, e);
        else if (v == "POLYLINE")
            ParsePolyline(f, e);
        else if (v == "LWPOLYLINE")
            ParseLwPolyline(f, e);
        else if (v == "DIMENSION")
            ParseOther(f, e, DXF_DIMENSION);
        else {
            // Not known: passed over. What ends it is handled like the group
            // that starts an entity; a section end or the file's end leave
            // an ignored entity so that the conversion loop goes on to find
            // them.
            SkipEntity(f);
            if (m_bAtEnd) {
                m_bCutShort = true;
                return;
            }
            v = m_lastValue;
            // A piece's reader stops where the next piece begins, even
            // after an entity passed over.
            if (v == "EOF" || v == "ENDSEC" || v == "ENDBLK" || f.m_nSaved >= m_nStop) {
                e.m_nType = DXF_IGNORED;
                RestorePos(f);
                return;
            }
            continue;
        }
        break;
    }

    // The group that ended the entity: a section's end is taken here, the
    // next entity is read from its own group. An entity the bytes cut short
    // is dropped: what it holds may be cut too.
    if (m_bAtEnd) {
        e.m_nType = DXF_NONE;
        m_bCutShort = true;
        return;
    }
    if (m_lastValue == "ENDSEC") {
        f.m_bInBlock = 0;
        f.m_nSection = DXF_SECTION_NONE;
        return;
    }
    if (m_lastValue == "ENDBLK" && inBlock) {
        EndBlock(f);
        return;
    }
    // The next entity starts with this group: it is read again only if
    // something else moves the position in between.
    m_bHeldGroup = true;
    m_heldAt = f.m_nSaved;
    m_heldEnd = f.m_nPos;
    m_heldValue = m_lastValue;
    RestorePos(f);
}

// After ENDBLK: the block's entities are over; its own groups are passed
// over and the section ends when ENDSEC follows.
void CFileTransDxf::EndBlock(DXFFILE& f)
{
    f.m_bInBlock = 0;
    int c = 0;
    std::string_view v;
    for (;;) {
        SavePos(f);
        if (!ReadGroup(f, c, v))
            return;
        if (c == 0)
            break;
    }
    if (v == "ENDSEC")
        f.m_nSection = DXF_SECTION_NONE;
    else
        RestorePos(f);
}

// The chain grows in m_converting, where a failed allocation finds it. In a
// block each object keeps where its colour comes from, for the INSERTs.
CFileTransDxf::Chain CFileTransDxf::ConvertEntities(DXFFILE& f, DOCCONTEXT* ctx)
{
    m_converting = {};
    m_convertingAttrs.clear();
    const bool inBlock = f.m_nSection == DXF_SECTION_BLOCKS;
    DXFENTITY e;
    for (;;) {
        if (f.m_nPos >= m_nStop)
            break;
        e.m_nType = DXF_NONE;
        ReadEntity(f, e);
        if (e.m_nType == DXF_NONE)
            break;
        if (m_bPiece && (e.m_nType == DXF_INSERT || e.m_nType == DXF_TEXT || e.m_nType == DXF_MTEXT)) {
            // Blocks, their limits and fonts are the whole reader's.
            m_bNeedsWhole = true;
            break;
        }
        if (e.m_nType != DXF_IGNORED)
            ++m_nEntitiesRead;
        // How far through the file, now and then; a cancelled read ends
        // here as if the file ended.
        if (++m_nSinceStep == kEntitiesPerStep) {
            m_nSinceStep = 0;
            if (m_bPiece ? !PieceStep(f)
                         : !plat::WorkStep(static_cast<int>(f.m_nPos * plat::WorkControl::kWhole / f.m_buffer.size()))) {
                f.m_nPos = f.m_buffer.size();
                break;
            }
        }
        const Chain chain = ConvertEntity(e, ctx);
        Append(m_converting, chain);
        if (!inBlock || chain.first == nullptr)
            continue;
        if (e.m_nType == DXF_INSERT) {
            m_convertingAttrs.insert(m_convertingAttrs.end(), m_insertAttrs.begin(), m_insertAttrs.end());
        } else {
            for (CDocData* o = chain.first; o != nullptr; o = o->m_pNext)
                m_convertingAttrs.push_back(DXFATTR{e.m_layer, e.m_nColor, e.m_layer});
        }
    }
    const Chain out = m_converting;
    m_converting = {};
    return out;
}

namespace {

// Entities a reader of one piece reads and converts on its own.
bool StandsAlone(std::string_view type)
{
    return type == "LINE" || type == "LWPOLYLINE" || type == "CIRCLE" || type == "ARC" || type == "ELLIPSE" ||
           type == "POINT" || type == "SPLINE" || type == "POLYLINE";
}

// The line from `at` on, without its end, and where the next one begins.
std::string_view LineAt(std::string_view bytes, std::size_t at, std::size_t& next)
{
    const std::size_t nl = bytes.find('\n', at);
    const std::size_t end = nl == std::string_view::npos ? bytes.size() : nl;
    next = nl == std::string_view::npos ? bytes.size() : nl + 1;
    std::string_view line = bytes.substr(at, end - at);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

// The start of the first line at or after `from` (a line start) that holds
// group code 0 followed by an entity that stands alone, within `reach`
// bytes; npos when there is none.
std::size_t EntityStartFrom(std::string_view bytes, std::size_t from, std::size_t reach)
{
    const std::size_t limit = std::min(bytes.size(), from + reach);
    for (std::size_t at = from; at < limit;) {
        std::size_t next = 0;
        std::string_view code = LineAt(bytes, at, next);
        while (!code.empty() && code.front() == ' ')
            code.remove_prefix(1);
        if (code == "0" && next < bytes.size()) {
            std::size_t after = 0;
            if (StandsAlone(LineAt(bytes, next, after)))
                return at;
        }
        at = next;
    }
    return std::string_view::npos;
}

} // namespace

bool CFileTransDxf::PieceStep(const DXFFILE& f)
{
    PieceWork& w = *m_pieceWork;
    w.done.fetch_add(f.m_nPos - m_nPieceStepAt, std::memory_order_relaxed);
    m_nPieceStepAt = f.m_nPos;
    if (w.control == nullptr)
        return true;
    // The bar shows the bytes every piece has read; a piece that finds
    // another moving it goes on.
    if (const std::unique_lock<std::mutex> lock(w.stepping, std::try_to_lock); lock.owns_lock()) {
        const std::size_t done = w.done.load(std::memory_order_relaxed);
        const int step = w.wholeFrom + static_cast<int>(static_cast<double>(w.wholeTo - w.wholeFrom) *
                                                        static_cast<double>(done) / static_cast<double>(w.total));
        w.control->Advance(step);
        plat::WorkControl::RunStepHook(*w.control, step);
    }
    if (w.control->Cancelled()) {
        m_bPieceCancelled = true;
        return false;
    }
    return true;
}

bool CFileTransDxf::ConvertEntitiesSideBySide(DXFFILE& f, DOCCONTEXT* ctx, Chain& out)
{
    // Below s_sideBySideBytes a section is read faster in one walk than
    // readers start.
    constexpr std::size_t kMaxPieces = 64;
    constexpr std::size_t kReach = 1 << 16;
    const std::string_view bytes = f.m_buffer;
    const std::size_t first = f.m_nPos;
    if (m_bPiece || m_bHeldGroup || f.m_nSection != DXF_SECTION_ENTITIES || first >= bytes.size() ||
        bytes.size() - first < s_sideBySideBytes)
        return false;
    const std::size_t total = bytes.size() - first;
    const std::size_t wanted = std::min(kMaxPieces, total / std::max<std::size_t>(s_pieceBytes, 1));
    std::vector<std::size_t> starts{first};
    for (std::size_t k = 1; k < wanted; ++k) {
        // From the start of the line after the even cut.
        const std::size_t nl = bytes.find('\n', first + total * k / wanted);
        if (nl == std::string_view::npos)
            break;
        const std::size_t at = EntityStartFrom(bytes, nl + 1, kReach);
        if (at != std::string_view::npos && at > starts.back())
            starts.push_back(at);
    }
    const std::size_t pieces = starts.size();
    if (pieces < 2)
        return false;

    PieceWork work;
    work.total = total;
    work.control = plat::WorkControl::Current();
    work.wholeFrom = plat::WorkWhole(static_cast<int>(first * plat::WorkControl::kWhole / bytes.size()));
    work.wholeTo = plat::WorkWhole(plat::WorkControl::kWhole);
    std::vector<std::unique_ptr<CFileTransDxf>> readers(pieces);
    std::vector<DXFFILE> files(pieces);
    std::vector<Chain> chains(pieces);
    auto dropAll = [&chains] {
        for (Chain& c : chains)
            DeleteObjectList(c.first);
    };
    for (std::size_t k = 0; k < pieces; ++k) {
        auto r = std::make_unique<CFileTransDxf>();
        r->m_bPiece = true;
        r->m_pieceWork = &work;
        r->m_nPieceStepAt = starts[k];
        r->m_nStop = k + 1 < pieces ? starts[k + 1] : static_cast<std::size_t>(-1);
        r->m_dUnit = m_dUnit;
        r->m_dCurveTol = m_dCurveTol;
        r->m_bUnitFixed = m_bUnitFixed;
        r->m_style = m_style;
        r->m_layerColours = m_layerColours;
        r->m_paletteCache = m_paletteCache;
        readers[k] = std::move(r);
        files[k].m_buffer = bytes;
        files[k].m_nPos = files[k].m_nSaved = starts[k];
        files[k].m_nSection = f.m_nSection;
        files[k].m_bInBlock = f.m_bInBlock;
    }
    try {
        plat::ParallelFor(pieces, [&](std::size_t k) {
            // Nodes and objects in batches: the pieces do not queue for
            // the pools' locks at every one.
            const NodeBatches nodes;
            const ObjectBatches objects;
            chains[k] = readers[k]->ConvertEntities(files[k], ctx);
        });
    } catch (...) {
        dropAll();
        throw;
    }
    if (std::any_of(readers.begin(), readers.end(), [](const auto& r) { return r->m_bPieceCancelled; })) {
        // Cancelled: ends as if the file ended, as one walk does.
        dropAll();
        out = {};
        f.m_nPos = bytes.size();
        return true;
    }
    // Each piece must have ended exactly where the next begins, the entity
    // before whole: then the pieces read what one walk reads.
    for (std::size_t k = 0; k < pieces; ++k) {
        const CFileTransDxf& r = *readers[k];
        const bool last = k + 1 == pieces;
        const bool whole = last || (files[k].m_nPos == starts[k + 1] && !r.m_bCutShort && !r.m_bSawEof &&
                                    files[k].m_nSection == DXF_SECTION_ENTITIES);
        if (r.m_bNeedsWhole || !whole) {
            dropAll();
            return false;
        }
    }
    out = {};
    bool tooLong = false;
    for (std::size_t k = 0; k < pieces; ++k) {
        Append(out, chains[k]);
        m_nEntitiesRead += readers[k]->m_nEntitiesRead;
        tooLong = tooLong || readers[k]->m_bTooLongSeen;
    }
    const CFileTransDxf& last = *readers.back();
    m_bCutShort = m_bCutShort || last.m_bCutShort;
    m_bSawEof = m_bSawEof || last.m_bSawEof;
    m_bHeldGroup = last.m_bHeldGroup;
    m_heldAt = last.m_heldAt;
    m_heldEnd = last.m_heldEnd;
    m_heldValue = last.m_heldValue;
    m_lastValue = last.m_lastValue;
    m_bAtEnd = last.m_bAtEnd;
    f = files.back();
    if (tooLong)
        ShowTooLong();
    if (!plat::WorkStep(static_cast<int>(f.m_nPos * plat::WorkControl::kWhole / bytes.size())))
        f.m_nPos = bytes.size();
    return true;
}

CFileTransDxf::Chain CFileTransDxf::ConvertEntity(const DXFENTITY& e, DOCCONTEXT* ctx)
{
    CDocData* object = nullptr;
    switch (e.m_nType) {
    case DXF_LINE:
        object = ConvertLine(ctx);
        break;
    case DXF_POINT:
        object = ConvertPoint(ctx);
        break;
    case DXF_CIRCLE:
        object = ConvertCircle(ctx);
        break;
    case DXF_ELLIPSE:
        object = ConvertEllipse(ctx);
        break;
    case DXF_SPLINE:
        object = ConvertSpline(ctx);
        break;
    case DXF_ARC:
        object = ConvertArc(ctx);
        break;
    case DXF_POLYLINE:
        object = ConvertPolyline(ctx);
        break;
    case DXF_INSERT:
        return InsertBlock(e, ctx);
    case DXF_TEXT:
        return ConvertText(e, ctx);
    case DXF_MTEXT:
        return ConvertMText(e, ctx);
    default:
        return {};
    }
    if (object == nullptr)
        return {};
    if (!HasFiniteNodes(object)) {
        delete object;
        return {};
    }
    const std::uint32_t index = PaletteIndexOf(e, ctx);
    object->m_nLayer = static_cast<std::int32_t>(index);
    object->m_nColor = CDocData::SettingsOf(ctx).m_palette[index];
    return {object, object};
}
