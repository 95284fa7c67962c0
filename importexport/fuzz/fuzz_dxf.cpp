// The DXF reader on raw bytes: no crash, no read past the buffer, and every
// object it returns is a drawing object of the kinds the reader makes, with
// finite nodes (its children's too) on a layer of the palette.
#include "importexport/FileTransDxf.h"
#include "model/DocData.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

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

} // namespace

// Texts are outlined through fontconfig, which leaves a few hundred bytes of
// its initialisation unreachable; the leak checker passes over them.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFileTransDxf reader;
    reader.SetUnitChoice(0);
    CDocData* list = nullptr;
    const bool ok = reader.ReadDxfBytes(std::string(reinterpret_cast<const char*>(data), size), list, nullptr);
    if (ok != (list != nullptr))
        std::abort();
    Check(list);
    DeleteObjectList(list);
    return 0;
}
