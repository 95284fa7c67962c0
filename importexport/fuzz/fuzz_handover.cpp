// The hand-over list on raw bytes (the first byte chooses cad.param or
// cor.param rules), with its entries' reads stubbed: each read makes a small
// object at the mouse point, or fails for names of odd length. No crash, no
// hang; afterwards the document holds exactly the objects read, every node
// finite, all selected, and the history one step more.
#include "importexport/FileReadTrans.h"
#include "importexport/HandOverReads.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataBitmap.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/Prompt.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

class StubReads : public CHandOverReads {
public:
    bool ReadDxf(const std::string& path, CDocData*& list, DOCCONTEXT* ctx) override
    {
        return Line(path, list, ctx, 0.0, 0.0);
    }
    bool ReadBitmap(const std::string& path, double, double, CDocData*& object, DOCCONTEXT* ctx) override
    {
        if (path.size() % 2 != 0)
            return false;
        auto* image = new CDocDataBitmap();
        image->m_x = ctx->m_ptMouse.m_x;
        image->m_y = ctx->m_ptMouse.m_y;
        object = image;
        ++m_read;
        return true;
    }
    bool ReadAi(const std::string& path, CDocData*& list, DOCCONTEXT* ctx) override
    {
        return Line(path, list, ctx, ctx->m_ptMouse.m_x, ctx->m_ptMouse.m_y);
    }
    int m_read = 0;

private:
    bool Line(const std::string& path, CDocData*& list, DOCCONTEXT* ctx, double x, double y)
    {
        if (path.size() % 2 != 0)
            return false;
        DOCNODE* nodes = AppendNode(nullptr, x, y);
        AppendNode(nodes, x + 100.0, y + 50.0);
        list = new CDocDataLine(nodes, 1, ctx);
        ++m_read;
        return true;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static plat::RecordingPrompt prompt(1);
    plat::SetPrompt(&prompt);
    if (size == 0)
        return 0;
    const bool cad = (data[0] & 1) != 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    auto* doc = new CDocListNode;
    DOCCONTEXT ctx;
    ctx.m_pCurrent = doc;
    StubReads reads;
    CFileReadTrans::ImportPluginList(&ctx, "/nonexistent/work/", bytes, cad, reads);

    if (doc->m_pOlder == nullptr)
        std::abort();
    int count = 0;
    for (const CDocData* o = doc->m_pFirst; o != nullptr; o = o->m_pNext) {
        ++count;
        if (o->IsSelected() == 0)
            std::abort();
        for (const DOCNODE* n = o->m_pNodes; n != nullptr; n = n->m_pNext) {
            if (!std::isfinite(n->m_x) || !std::isfinite(n->m_y))
                std::abort();
        }
    }
    if (count != reads.m_read)
        std::abort();
    CDocListNode* oldest = doc->m_pOlder;
    CDocState::DeleteHistoryChain(oldest); // the document too
    return 0;
}
