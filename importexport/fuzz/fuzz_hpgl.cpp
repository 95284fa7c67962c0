// The HPGL reader on raw bytes: no crash, no hang, no read past the buffer,
// and every object it returns is a point or a polyline whose nodes are
// finite 32-bit plotter coordinates. The corpus holds a file per command.
#include "importexport/FileTransPlt.h"
#include "model/DocData.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFileTransPlt reader;
    CDocData* list = nullptr;
    const bool ok = reader.ParsePlt(std::string_view(reinterpret_cast<const char*>(data), size), list, nullptr);
    if (!ok && list != nullptr)
        std::abort();
    for (const CDocData* o = list; o != nullptr; o = o->m_pNext) {
        if (o->GetType() != MT_POINT && o->GetType() != MT_LINE)
            std::abort();
        if (o->m_nLayer < 0 || o->m_nLayer > 255)
            std::abort();
        for (const DOCNODE* n = o->m_pNodes; n != nullptr; n = n->m_pNext) {
            if (!(std::abs(n->m_x) <= 2147483648.0) || !(std::abs(n->m_y) <= 2147483648.0))
                std::abort();
        }
    }
    DeleteObjectList(list);
    return 0;
}
