// The DXF reader on raw bytes: no crash, no read past the buffer, and every
// object it returns is a drawing object of the kinds the reader makes, with
// finite nodes (its children's too) on a layer of the palette. The entities
// read in small pieces side by side give, to the bit, what one walk gives.
#include "importexport/FileTransDxf.h"
#include "model/DocData.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Check(CDocData* o)
{
    for (; o != nullptr; o = o->m_pNext) {
        const std::uint32_t type = o->GetType();
        if (type != MT_POINT && type != MT_LINE && type != MT_ELLIPSE && type != MT_BEZIER && type != MT_CHAR)
            std::abort();
        if (o->m_nLayer < 0 || o->m_nLayer > 255)
            std::abort();
        for (const DOCNODE* n = o->m_pNodes; n != nullptr; n = n->m_pNext) {
            if (!std::isfinite(n->m_x) || !std::isfinite(n->m_y))
                std::abort();
        }
        CDocData** children = o->ChildList();
        if (children != nullptr)
            Check(*children);
    }
}

// Kind, layer, colour, box and nodes of every object and child, as bits.
void Describe(const CDocData* o, std::vector<std::uint64_t>& out)
{
    for (; o != nullptr; o = o->m_pNext) {
        const double numbers[] = {double(o->m_nType), double(o->m_nLayer), double(o->m_nColor), o->m_rcBound.m_xmin,
                                  o->m_rcBound.m_xmax, o->m_rcBound.m_ymin, o->m_rcBound.m_ymax};
        for (double v : numbers)
            out.push_back(std::bit_cast<std::uint64_t>(v));
        for (const DOCNODE* n = o->m_pNodes; n != nullptr; n = n->m_pNext) {
            out.push_back(std::bit_cast<std::uint64_t>(n->m_x));
            out.push_back(std::bit_cast<std::uint64_t>(n->m_y));
            out.push_back(n->m_nKind);
        }
        if (CDocData** children = const_cast<CDocData*>(o)->ChildList()) {
            out.push_back(1);
            Describe(*children, out);
            out.push_back(2);
        }
    }
}

std::vector<std::uint64_t> Read(const std::string& bytes, std::size_t from, std::size_t piece)
{
    CFileTransDxf::SetSideBySideSizes(from, piece);
    CFileTransDxf reader;
    reader.SetUnitChoice(0);
    CDocData* list = nullptr;
    const bool ok = reader.ReadDxfBytes(bytes, list, nullptr);
    if (ok != (list != nullptr))
        std::abort();
    Check(list);
    std::vector<std::uint64_t> out{ok ? 1u : 0u};
    Describe(list, out);
    DeleteObjectList(list);
    return out;
}

} // namespace

// Texts are outlined through fontconfig, which leaves a few hundred bytes of
// its initialisation unreachable; the leak checker passes over them.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::uint64_t> whole = Read(bytes, static_cast<std::size_t>(-1), 1);
    // A section with an INSERT is always read in one walk: not twice here.
    if (bytes.find("INSERT") == std::string::npos && Read(bytes, 0, 48) != whole)
        std::abort();
    return 0;
}
