// The Illustrator reader on raw bytes: no crash, and every object it
// returns is a point, polyline or Bezier path with finite nodes on a layer
// of the palette.
#include "importexport/FileTransAi.h"
#include "model/DocData.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFileTransAi reader;
    CDocData* list = nullptr;
    const bool ok = reader.ParseAi(std::string_view(reinterpret_cast<const char*>(data), size), list, nullptr);
    if (!ok && list != nullptr)
        std::abort();
    for (const CDocData* o = list; o != nullptr; o = o->m_pNext) {
        const std::uint32_t type = o->GetType();
        if (type != MT_POINT && type != MT_LINE && type != MT_BEZIER)
            std::abort();
        if (o->m_nLayer < 0 || o->m_nLayer > 255)
            std::abort();
        for (const DOCNODE* n = o->m_pNodes; n != nullptr; n = n->m_pNext) {
            if (!std::isfinite(n->m_x) || !std::isfinite(n->m_y))
                std::abort();
        }
    }
    DeleteObjectList(list);
    return 0;
}
