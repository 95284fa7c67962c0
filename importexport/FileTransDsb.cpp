#include "FileTransDsb.h"

#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/NodeList.h"
#include "platform/TextFile.h"
#include "settings/SoftwareSettings.h"

namespace {

constexpr std::uint8_t kDsbEnd = 0xF8;

} // namespace

bool CFileTransDsb::ReadDsb(const std::string& path, CDocData*& list, DOCCONTEXT* ctx)
{
    list = nullptr;
    std::string bytes;
    if (plat::ReadWholeFile(path, bytes))
        list = StitchesToObjects(ParseStitches(bytes), ctx);
    return true;
}

std::vector<STITCHREC> CFileTransDsb::ParseStitches(std::string_view bytes)
{
    std::vector<STITCHREC> stitches;
    if (bytes.size() < kStitchHeaderSize)
        return stitches;
    stitches.reserve((bytes.size() - kStitchHeaderSize) / 3);
    double x = 0.0, y = 0.0;
    for (std::size_t i = kStitchHeaderSize; i + 3 <= bytes.size(); i += 3) {
        const auto control = static_cast<std::uint8_t>(bytes[i]);
        const auto dy = static_cast<std::uint8_t>(bytes[i + 1]);
        const auto dx = static_cast<std::uint8_t>(bytes[i + 2]);
        if (control == kDsbEnd)
            break;
        const std::uint8_t low = control & 0x0F;
        const bool moves = low <= 1 || low >= 7;
        if (moves) {
            switch (control >> 4) {
            case 0x8: x += dx; y += dy; break;
            case 0xA: x -= dx; y += dy; break;
            case 0xC: x += dx; y -= dy; break;
            case 0xE: x -= dx; y -= dy; break;
            default: break;
            }
        }
        const std::uint8_t kind = low >= 8 ? std::uint8_t{STITCH_COLOUR} : low;
        stitches.push_back(STITCHREC{kind, x, y});
    }
    PropagateJumps(stitches);
    return stitches;
}

void CFileTransDsb::PropagateJumps(std::vector<STITCHREC>& stitches)
{
    // From the last record back: the record before has not been marked yet,
    // so only jumps of the file pass their mark on.
    for (std::size_t i = stitches.size(); i-- > 1;) {
        if (stitches[i - 1].m_nKind == STITCH_JUMP && stitches[i].m_nKind != STITCH_COLOUR)
            stitches[i].m_nKind = STITCH_JUMP;
    }
}

CDocData* CFileTransDsb::StitchesToObjects(const std::vector<STITCHREC>& stitches, DOCCONTEXT* ctx)
{
    CDocData* head = nullptr;
    CDocData* tail = nullptr;
    std::uint8_t layer = 0;
    double px = 0.0, py = 0.0;
    DOCNODE* chain = nullptr;
    DOCNODE* chainTail = nullptr;

    auto closeChain = [&] {
        if (chain == nullptr)
            return;
        CDocData* line = new CDocDataLine(chain, 1, ctx);
        chain = chainTail = nullptr;
        line->m_nLayer = layer;
        line->m_nColor = CDocData::SettingsOf(ctx).m_palette[layer];
        line->m_pPrev = tail;
        if (tail != nullptr)
            tail->m_pNext = line;
        else
            head = line;
        tail = line;
    };
    auto addStitch = [&](const STITCHREC& s) {
        if (chain == nullptr)
            chain = chainTail = AppendNode(nullptr, px, py);
        chainTail = AppendNode(chainTail, s.m_x, s.m_y);
    };

    for (const STITCHREC& s : stitches) {
        switch (s.m_nKind) {
        case STITCH_NORMAL:
            addStitch(s);
            break;
        case STITCH_COLOUR:
            // Without an open run there is nothing for the point to end.
            if (chain != nullptr) {
                addStitch(s);
                closeChain();
            }
            ++layer;
            break;
        case STITCH_JUMP:
        case STITCH_TRIM:
            closeChain();
            break;
        default:
            break;
        }
        px = s.m_x;
        py = s.m_y;
    }
    closeChain();
    return head;
}
