#include "DocState.h"

#include "DocContext.h"
#include "DocData.h"
#include "DocListNode.h"
#include "platform/PhysicalMemory.h"
#include "platform/Prompt.h"
#include "settings/LanguageTable.h"
#include "settings/SoftwareSettings.h"
#include "settings/WorkParams.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <unordered_set>
#include <vector>

namespace {

// Hit tolerance of the tools, in pixels.
constexpr double kHitPixels = 3.0;
constexpr double kBezierRepaintGrow = 10.0;

// 0: a quarter of the physical memory.
std::size_t g_historyBudget = 0;

// Whether a layer id is cut or scanned, by its first record in the list.
class LayerSwitches {
public:
    explicit LayerSwitches(const SoftwareSettings& settings)
    {
        for (const WorkParams* rec = settings.m_pLayers; rec != nullptr; rec = rec->m_pNext) {
            unsigned char& s = m_state[rec->m_group_num];
            if (s == kUnknown)
                s = rec->m_border != 0 || rec->m_sweep != 0 ? kOn : kOff;
        }
    }
    bool On(std::int32_t layer) const
    {
        return layer >= 0 && layer < static_cast<std::int32_t>(m_state.size()) &&
               m_state[static_cast<std::size_t>(layer)] == kOn;
    }

private:
    enum : unsigned char { kUnknown, kOn, kOff };
    std::vector<unsigned char> m_state = std::vector<unsigned char>(0x10000, kUnknown);
};

// Heap bytes of one allocation of n bytes: the allocator's header, rounded
// to 16, and never below its smallest chunk.
std::size_t Chunk(std::size_t n)
{
    const std::size_t c = (n + 8 + 15) & ~static_cast<std::size_t>(15);
    return c < 32 ? 32 : c;
}

// Subclasses add a few fields to the base object; images their two names.
constexpr std::size_t kObjectBytes = sizeof(CDocData) + 64;

std::size_t ListBytes(const CDocData* first)
{
    std::size_t bytes = 0;
    for (const CDocData* obj = first; obj != nullptr; obj = obj->m_pNext) {
        bytes += Chunk(kObjectBytes) + static_cast<std::size_t>(CountNodes(obj->m_pNodes)) * Chunk(sizeof(DOCNODE));
        if (obj->m_pLeadInOut != nullptr)
            bytes += Chunk(sizeof(LEADINOUT));
        if (obj->m_pArray != nullptr)
            bytes += Chunk(sizeof(ARRAYREC));
        if (obj->m_pEndGap != nullptr)
            bytes += Chunk(sizeof(ENDGAP));
        bytes += ListBytes(obj->m_pAttached);
        if (CDocData** children = const_cast<CDocData*>(obj)->ChildList())
            bytes += ListBytes(*children);
    }
    return bytes;
}

CDocListNode* OldestOf(CDocListNode* node)
{
    while (node != nullptr && node->m_pOlder != nullptr)
        node = node->m_pOlder;
    return node;
}

std::uint64_t ArrayCount(const ARRAYREC* array)
{
    if (array == nullptr)
        return 1;
    const std::uint64_t rows = array->m_nRows == 0 ? 1 : array->m_nRows;
    const std::uint64_t cols = array->m_nCols == 0 ? 1 : array->m_nCols;
    return rows * cols;
}

std::uint64_t CountIn(CDocData* first, bool selectedOnly)
{
    std::uint64_t n = 0;
    for (CDocData* obj = first; obj != nullptr; obj = obj->m_pNext) {
        if (selectedOnly && obj->IsSelected() == 0)
            continue;
        CDocData** children = obj->GetType() == MT_GROUP ? obj->ChildList() : nullptr;
        n += children != nullptr ? CountIn(*children, false) : ArrayCount(obj->m_pArray);
    }
    return n;
}

std::uint32_t Saturate32(std::uint64_t n)
{
    return n > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                         : static_cast<std::uint32_t>(n);
}

} // namespace

CDocState::~CDocState()
{
    FreeNodeList(m_pNodes);
}

void CDocState::EndPathOpen(DOCCONTEXT*) {}
void CDocState::EndPathClosed(DOCCONTEXT*) {}
void CDocState::Reset(std::uint32_t, DOCCONTEXT*) {}
void CDocState::OnLButtonDown(DOCCONTEXT*) {}
void CDocState::OnLButtonUp(DOCCONTEXT*) {}
void CDocState::OnLButtonDblClk(DOCCONTEXT*) {}
bool CDocState::OnRButtonDown(DOCCONTEXT*) { return true; }
void CDocState::OnRButtonUp(DOCCONTEXT*) {}
void CDocState::OnMouseMove(DOCCONTEXT*) {}
void CDocState::OnKeyDown(DOCCONTEXT*, std::uint32_t) {}
void CDocState::DrawFeedback(DOCCONTEXT*) {}
void CDocState::OnSetCursor(DOCCONTEXT*) {}
void CDocState::SetSelectionColor(DOCCONTEXT*) {}
bool CDocState::UpdateSelectionRect(DOCCONTEXT*) { return false; }
bool CDocState::ClaimsKey(DOCCONTEXT*, std::uint32_t, bool, bool, bool) { return false; }

bool CDocState::SelectAtPoint(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return false;
    const double tol = kHitPixels / ctx->m_dZoom;
    for (CDocData* obj = ctx->m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (obj->HitTest(ctx->m_ptMouse.m_x, ctx->m_ptMouse.m_y, tol)) {
            obj->SetSelected(obj->IsSelected() != 0 ? 0 : 1);
            return true;
        }
    }
    return false;
}

void CDocState::DeselectAll(DOCCONTEXT* ctx)
{
    m_nMode = 0;
    if (ctx == nullptr)
        return;
    ctx->m_rcSelect.SetEmpty();
    if (ctx->m_pCurrent == nullptr)
        return;
    for (CDocData* obj = ctx->m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext)
        obj->SetSelected(0);
}

bool CDocState::SharedUpdateSelectionRect(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return false;
    ctx->m_rcSelect.SetEmpty();
    if (ctx->m_pCurrent != nullptr) {
        for (CDocData* obj = ctx->m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
            if (obj->IsSelected() != 0)
                ctx->m_rcSelect.Union(obj->m_rcBound);
        }
    }
    return true;
}

bool CDocState::HasSelection(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return false;
    for (CDocData* obj = ctx->m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (obj->IsSelected() != 0)
            return true;
    }
    return false;
}

bool CDocState::HasSelectedNodes(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return false;
    for (CDocData* obj = ctx->m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (obj->m_bNodesSelected != 0)
            return true;
    }
    return false;
}

std::uint32_t CDocState::CountSelected(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return 0;
    return ctx->m_pCurrent->CountSelected(-1);
}

std::uint32_t CDocState::CountObjects(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return 0;
    return Saturate32(CountIn(ctx->m_pCurrent->m_pFirst, true));
}

std::uint32_t CDocState::CountObjectsInList(CDocData* first)
{
    return Saturate32(CountIn(first, false));
}

CGeoBox CDocState::GetSelectionBounds(CDocData* first)
{
    CGeoBox box;
    for (CDocData* obj = first; obj != nullptr; obj = obj->m_pNext) {
        if (obj->IsSelected() != 0)
            box.Union(obj->GetAnchorRect());
    }
    return box;
}

void CDocState::SelectAll(DOCCONTEXT* ctx, bool select)
{
    if (ctx == nullptr)
        return;
    const CGeoBox old = ctx->m_rcSelect;
    ctx->m_rcSelect.SetEmpty();
    if (ctx->m_pCurrent != nullptr) {
        for (CDocData* obj = ctx->m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
            obj->SetSelected(select ? 1 : 0);
            if (select)
                ctx->m_rcSelect.Union(obj->m_rcBound);
        }
    }
    if (!ctx->m_rcSelect.IsDifferent(old) || ctx->m_pView == nullptr)
        return;
    CGeoBox area = old;
    area.Union(ctx->m_rcSelect);
    InvalidateWorldBox(ctx, area);
}

void CDocState::ApplyLayerFlags(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return;
    // Without records every object keeps its switch: no walk over a large
    // document for nothing.
    if (CDocData::SettingsOf(ctx).m_pLayers == nullptr)
        return;
    // One pass over the layer list, one over the objects, with the result of
    // applying every record of a layer id in list order: an "off" record
    // clears bits 0 to 6, an "on" record sets bit 0, the last record decides
    // bit 0.
    enum : unsigned char { kNoRecord = 0, kLastOn = 1, kAnyOff = 2 };
    std::vector<unsigned char> state(0x10000, kNoRecord);
    for (const WorkParams* rec = CDocData::SettingsOf(ctx).m_pLayers; rec != nullptr; rec = rec->m_pNext) {
        unsigned char& s = state[rec->m_group_num];
        if (rec->m_border != 0 || rec->m_sweep != 0)
            s = static_cast<unsigned char>(s | kLastOn);
        else
            s = static_cast<unsigned char>((s & ~kLastOn) | kAnyOff);
    }
    for (CDocData* obj = ctx->m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (obj->m_nLayer < 0 || obj->m_nLayer >= static_cast<std::int32_t>(state.size()))
            continue;
        const unsigned char s = state[static_cast<std::size_t>(obj->m_nLayer)];
        if ((s & kAnyOff) != 0)
            obj->m_bOutput &= 0x80;
        if ((s & kLastOn) != 0)
            obj->m_bOutput |= 0x01;
    }
}

void CDocState::AddObjects(DOCCONTEXT* ctx, CDocData* first)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || first == nullptr)
        return;
    const SoftwareSettings& settings = CDocData::SettingsOf(ctx);
    CDocListNode& doc = *ctx->m_pCurrent;

    const CGeoBox oldSelect = ctx->m_rcSelect;
    ctx->m_rcSelect.SetEmpty();
    CurrentToolOr(ctx, *this).SelectAll(ctx, false);

    // Every new object's switch from its own layer: a chain may span
    // layers (a paste, an import).
    const LayerSwitches switches(settings);
    for (CDocData* obj = first; obj != nullptr; obj = obj->m_pNext)
        obj->m_bOutput = switches.On(obj->m_nLayer) ? 1 : 0;

    // A layer new to the document has the layer list rebuilt.
    std::unordered_set<std::int32_t> newLayers;
    for (CDocData* obj = first; obj != nullptr; obj = obj->m_pNext)
        newLayers.insert(obj->m_nLayer);
    CDocData* last = nullptr;
    for (CDocData* obj = doc.m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (!newLayers.empty())
            newLayers.erase(obj->m_nLayer);
        last = obj;
    }
    const bool newLayer = !newLayers.empty();

    first->m_pPrev = last;
    if (last != nullptr)
        last->m_pNext = first;
    else
        doc.m_pFirst = first;

    CGeoBox nodesBox;
    for (CDocData* obj = first; obj != nullptr; obj = obj->m_pNext) {
        obj->SetSelected(1);
        ctx->m_rcSelect.Union(obj->m_rcBound);
        ForEachNode(obj->m_pNodes, [&](DOCNODE& n) { nodesBox.AddPoint(CGeoPoint(n.m_x, n.m_y)); });
    }

    plat::ViewWindow* view = ctx->m_pView;
    if (view != nullptr) {
        view->RefreshSelectionPage();
        if (newLayer)
            view->RefreshLayerList();
        if (settings.m_bOrderPage != 0)
            view->RefreshOrderList();
    }

    if (doc.m_pArray != nullptr) {
        CGeoBox all;
        doc.GetAllObjectsRect(all);
        doc.m_pArray->m_dDx = all.Width();
    }
    if (view == nullptr)
        return;
    if (doc.m_pArray != nullptr || settings.m_bShowOrder != 0) {
        view->InvalidateRect(nullptr, true);
        return;
    }
    InvalidateWorldBox(ctx, oldSelect);
    CGeoBox area = ctx->m_rcSelect;
    area.AddPoint(ctx->m_ptMouse);
    area.Union(nodesBox);
    if (settings.m_bShowTravel != 0 && last != nullptr)
        area.Union(last->m_rcBound);
    InvalidateWorldBox(ctx, area);
}

void CDocState::DeleteSelectedObjects(DOCCONTEXT* ctx, DeleteRepaint repaint)
{
    if (ctx == nullptr || !HasSelection(ctx))
        return;
    PushHistory(ctx);
    CDocListNode& doc = *ctx->m_pCurrent;
    CGeoBox removed;
    CGeoBox neighbours;
    for (CDocData* obj = doc.m_pFirst; obj != nullptr;) {
        CDocData* next = obj->m_pNext;
        if (obj->IsSelected() != 0) {
            CDocData* prev = obj->m_pPrev;
            if (prev != nullptr) {
                prev->m_pNext = next;
                neighbours.Union(prev->m_rcBound);
            } else {
                doc.m_pFirst = next;
            }
            if (next != nullptr) {
                next->m_pPrev = prev;
                neighbours.Union(next->m_rcBound);
            }
            obj->m_pPrev = obj->m_pNext = nullptr;
            removed.Union(obj->m_rcBound);
            delete obj;
        }
        obj = next;
    }

    const SoftwareSettings& settings = CDocData::SettingsOf(ctx);
    // The removed objects' own boxes too, so that nothing of them stays on
    // screen when the selection box was out of date.
    CGeoBox region = ctx->m_rcSelect;
    region.Union(removed);
    ctx->m_rcSelect.SetEmpty();
    if (settings.m_bShowTravel != 0 && !neighbours.IsEmpty())
        region.Union(neighbours);
    if (ctx->m_pView != nullptr) {
        if (repaint == DeleteRepaint::Bezier) {
            if (settings.m_bShowOrder != 0)
                ctx->m_pView->InvalidateRect(nullptr, true);
            else
                InvalidateWorldBox(ctx, region, kBezierRepaintGrow);
        } else {
            InvalidateSelectionArea(ctx, region);
        }
        ctx->m_pView->RefreshLayerList();
        if (settings.m_bOrderPage != 0)
            ctx->m_pView->RefreshOrderList();
    }
}

void CDocState::ConstrainSquare(const CGeoPoint& down, CGeoPoint& cur)
{
    const double dx = cur.m_x - down.m_x;
    const double dy = cur.m_y - down.m_y;
    if (std::fabs(dx) > std::fabs(dy))
        cur.m_x = down.m_x + std::copysign(std::fabs(dy), dx);
    else
        cur.m_y = down.m_y + std::copysign(std::fabs(dx), dy);
}

void CDocState::SetArrowCursor(DOCCONTEXT* ctx)
{
    if (ctx != nullptr && ctx->m_pView != nullptr)
        ctx->m_pView->SetCursor(plat::IDC_ARROW);
}

void CDocState::InvalidateWorldBox(DOCCONTEXT* ctx, const CGeoBox& world, double grow)
{
    if (ctx == nullptr || ctx->m_pView == nullptr || world.IsEmpty())
        return;
    CGeoBox client;
    ctx->WorldToClientRect(world, client);
    const plat::RECT rect = ClientRectOf(client, grow);
    ctx->m_pView->InvalidateRect(&rect, true);
}

void CDocState::InvalidateSelectionArea(DOCCONTEXT* ctx, const CGeoBox& box, double grow)
{
    if (ctx == nullptr || box.IsEmpty())
        return;
    CGeoBox area = box;
    // Only further columns widen the area: a record of none places the
    // objects once, as one column does.
    if (ctx->m_pCurrent != nullptr && ctx->m_pCurrent->m_pArray != nullptr && ctx->m_pCurrent->m_pArray->m_nCols > 1) {
        const ARRAYREC& array = *ctx->m_pCurrent->m_pArray;
        area.m_xmax += (static_cast<double>(array.m_nCols) - 1.0) * array.m_dDx;
    }
    InvalidateWorldBox(ctx, area, grow);
}

void CDocState::ReportOutOfWorld(DOCCONTEXT* ctx)
{
    constexpr int kOutOfWorldEditText = 46;
    const std::u16string text = LanguageText(RegisteredLanguageTable(), u"phase15:error-hint", kOutOfWorldEditText);
    const auto show = [text] { plat::MessageBox(text, std::u16string(), plat::MB_OK | plat::MB_ICONWARNING); };
    // Once the event is over: a drag's release still holds the screen image.
    if (ctx != nullptr && ctx->m_pView != nullptr)
        ctx->m_pView->RunLater(show);
    else
        show();
}

plat::RECT CDocState::ClientRectOf(const CGeoBox& client, double grow)
{
    CGeoBox box = client;
    InflateRect(box, grow);
    return plat::RECT{plat::RoundPixel(box.m_xmin), plat::RoundPixel(box.m_ymin), plat::RoundPixel(box.m_xmax),
                      plat::RoundPixel(box.m_ymax)};
}

void CDocState::FreeNodeList(DOCNODE*& head)
{
    if (head == nullptr)
        return;
    if (head->m_pPrev != nullptr) {
        head->m_pPrev->m_pNext = nullptr;
        head->m_pPrev = nullptr;
    }
    // A ring whose head lost its back link still ends at the head.
    FreeNodeChain(head);
    head = nullptr;
}

void CDocState::InflateRect(CGeoBox& box, double d)
{
    box.m_xmin -= d;
    box.m_xmax += d;
    box.m_ymin -= d;
    box.m_ymax += d;
}

// ---- Undo history ----------------------------------------------------------

void CDocState::SetHistoryBudget(std::size_t bytes)
{
    g_historyBudget = bytes;
}

std::size_t CDocState::HistoryBudget()
{
    if (g_historyBudget != 0)
        return g_historyBudget;
    const std::uint64_t physical = plat::PhysicalMemoryBytes();
    if (physical == 0 || physical / 4 > std::numeric_limits<std::size_t>::max())
        return std::numeric_limits<std::size_t>::max();
    return static_cast<std::size_t>(physical / 4);
}

std::size_t CDocState::SnapshotBytes(const CDocListNode& snapshot)
{
    std::size_t bytes = Chunk(sizeof(CDocListNode));
    if (snapshot.m_pArray != nullptr)
        bytes += Chunk(sizeof(ARRAYREC));
    if (snapshot.m_pFeed != nullptr)
        bytes += Chunk(sizeof(FEEDREPEAT));
    if (snapshot.m_pSplit != nullptr)
        bytes += Chunk(sizeof(SPLITFEED));
    return bytes + ListBytes(snapshot.m_pFirst);
}

bool CDocState::TakeStep(DOCCONTEXT* ctx, CDocListNode** redo, CDocListNode** dropped)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return false;
    CDocListNode* current = ctx->m_pCurrent;
    if (CDocListNode* newer = current->m_pNewer) {
        newer->m_pOlder = nullptr;
        current->m_pNewer = nullptr;
        if (redo != nullptr)
            *redo = newer;
        else
            DeleteHistoryChain(newer);
    }

    // The older side, newest first, with the bytes each holds.
    std::vector<CDocListNode*> older;
    std::size_t olderBytes = 0;
    for (CDocListNode* n = current->m_pOlder; n != nullptr; n = n->m_pOlder) {
        if (n->m_nBytes == 0)
            n->m_nBytes = SnapshotBytes(*n);
        olderBytes += n->m_nBytes;
        older.push_back(n);
    }
    // The count rule drops one; the budget drops more of the oldest while
    // the older side, the live snapshot and its coming copy would pass it.
    const std::size_t liveBytes = SnapshotBytes(*current);
    const std::size_t budget = HistoryBudget();
    std::size_t drop = older.size() > static_cast<std::size_t>(kHistoryOlderLimit) ? 1 : 0;
    for (std::size_t k = 0; k < drop; ++k)
        olderBytes -= older[older.size() - 1 - k]->m_nBytes;
    while (drop < older.size() && (olderBytes > budget || 2 * liveBytes > budget - olderBytes)) {
        olderBytes -= older[older.size() - 1 - drop]->m_nBytes;
        ++drop;
    }
    if (drop > 0) {
        // Cut between the newest dropped node and the oldest kept one.
        CDocListNode* newestDropped = older[older.size() - drop];
        CDocListNode* oldestKept = newestDropped->m_pNewer;
        oldestKept->m_pOlder = nullptr;
        newestDropped->m_pNewer = nullptr;
        CDocListNode* head = older.back();
        if (dropped != nullptr)
            *dropped = head;
        else
            DeleteHistoryChain(head);
    }

    auto* copy = new CDocListNode(*current);
    copy->m_nBytes = liveBytes;
    copy->m_pOlder = current->m_pOlder;
    copy->m_pNewer = current;
    if (current->m_pOlder != nullptr)
        current->m_pOlder->m_pNewer = copy;
    current->m_pOlder = copy;
    ctx->NoteChange();
    return true;
}

bool CDocState::PushHistory(DOCCONTEXT* ctx)
{
    return TakeStep(ctx, nullptr, nullptr);
}

bool CDocState::Undo(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || ctx->m_pCurrent->m_pOlder == nullptr)
        return false;
    ctx->m_pCurrent = ctx->m_pCurrent->m_pOlder;
    ctx->NoteChange();
    ++ctx->m_nHistoryMoves;
    return true;
}

bool CDocState::Redo(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || ctx->m_pCurrent->m_pNewer == nullptr)
        return false;
    ctx->m_pCurrent = ctx->m_pCurrent->m_pNewer;
    ctx->NoteChange();
    ++ctx->m_nHistoryMoves;
    return true;
}

void CDocState::DeleteHistoryChain(CDocListNode*& head)
{
    if (head == nullptr)
        return;
    if (head->m_pOlder != nullptr)
        head->m_pOlder->m_pNewer = nullptr;
    while (head != nullptr) {
        CDocListNode* node = head;
        head = head->m_pNewer;
        delete node;
    }
}

CDocState::PendingStep::PendingStep(DOCCONTEXT* ctx) : m_ctx(ctx)
{
    if (!TakeStep(ctx, &m_redo, &m_dropped))
        return;
    m_live = ctx->m_pCurrent;
    m_copy = m_live->m_pOlder;
}

CDocState::PendingStep::~PendingStep()
{
    DeleteHistoryChain(m_redo);
    DeleteHistoryChain(m_dropped);
}

void CDocState::PendingStep::Withdraw()
{
    // Only while the history is as the step left it.
    if (m_copy == nullptr || m_ctx->m_pCurrent != m_live || m_live->m_pOlder != m_copy)
        return;
    CDocListNode* older = m_copy->m_pOlder;
    m_live->m_pOlder = older;
    if (older != nullptr)
        older->m_pNewer = m_live;
    delete m_copy;
    m_copy = nullptr;
    if (m_dropped != nullptr) {
        CDocListNode* newestDropped = m_dropped;
        while (newestDropped->m_pNewer != nullptr)
            newestDropped = newestDropped->m_pNewer;
        CDocListNode* oldestKept = OldestOf(m_live);
        newestDropped->m_pNewer = oldestKept;
        oldestKept->m_pOlder = newestDropped;
        m_dropped = nullptr;
    }
    if (m_redo != nullptr) {
        m_live->m_pNewer = m_redo;
        m_redo->m_pOlder = m_live;
        m_redo = nullptr;
    }
    --m_ctx->m_nChangeCount;
}
