// Both stitch layouts on the same raw bytes: no crash, at most one record
// per three bytes after the header, and polylines of two or more nodes.
#include "importexport/FileTransDsb.h"
#include "importexport/FileTransDst.h"
#include "model/DocData.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t most = size > kStitchHeaderSize ? (size - kStitchHeaderSize) / 3 : 0;
    for (const std::vector<STITCHREC>& stitches :
         {CFileTransDst::ParseStitches(bytes), CFileTransDsb::ParseStitches(bytes)}) {
        if (stitches.size() > most)
            std::abort();
        CDocData* list = CFileTransDsb::StitchesToObjects(stitches, nullptr);
        for (const CDocData* o = list; o != nullptr; o = o->m_pNext) {
            if (o->GetType() != MT_LINE || o->m_pNodes == nullptr || o->m_pNodes->m_pNext == nullptr)
                std::abort();
        }
        DeleteObjectList(list);
    }
    return 0;
}
