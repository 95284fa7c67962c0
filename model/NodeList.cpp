#include "NodeList.h"

#include "DocState.h"

#include "platform/RecordPool.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <type_traits>

#if BRENVIK_RECORD_POOL

namespace {

// Blocks of 16 MiB, about 419,000 nodes each.
using NodePool = plat::RecordPool<sizeof(DOCNODE), alignof(DOCNODE), 8 * plat::kLargeBlockGranule>;

// Never destroyed: nodes may still be freed while static objects go.
NodePool& Pool()
{
    static NodePool* pool = new NodePool;
    return *pool;
}

} // namespace

// Nothing derives from DOCNODE, so every request is one node.
void* DOCNODE::operator new(std::size_t)
{
    return Pool().Take();
}

void DOCNODE::operator delete(void* p) noexcept
{
    if (p != nullptr)
        Pool().Give(p);
}

NodeBatches::NodeBatches() : m_batches(new NodePool::Batches(Pool())) {}

NodeBatches::~NodeBatches()
{
    delete static_cast<NodePool::Batches*>(m_batches);
}

NodeStock::~NodeStock()
{
    if (m_left != 0)
        Pool().GiveMany(m_slots, m_left);
}

// `count` nodes under one lock, and back.
static void TakeNodes(void** out, std::size_t count)
{
    Pool().TakeMany(out, count);
}

static void GiveNodes(void* const* nodes, std::size_t count)
{
    Pool().GiveMany(nodes, count);
}

static void* TakeFrom(void** slots, std::size_t& left, std::size_t batch)
{
    if (left == 0) {
        Pool().TakeMany(slots, batch);
        // Handed out from the back: the first taken, usually the lowest
        // address, goes first.
        std::reverse(slots, slots + batch);
        left = batch;
    }
    return slots[--left];
}

#else

void* DOCNODE::operator new(std::size_t size)
{
    return ::operator new(size);
}

void DOCNODE::operator delete(void* p) noexcept
{
    ::operator delete(p);
}

// Builds that check memory take and give every node on its own.
NodeBatches::NodeBatches() = default;
NodeBatches::~NodeBatches() = default;

NodeStock::~NodeStock() = default;

// Builds that check memory take every node from the heap.
static void TakeNodes(void** out, std::size_t count)
{
    std::size_t taken = 0;
    try {
        for (; taken < count; ++taken)
            out[taken] = ::operator new(sizeof(DOCNODE));
    } catch (...) {
        while (taken > 0)
            ::operator delete(out[--taken]);
        throw;
    }
}

static void GiveNodes(void* const* nodes, std::size_t count)
{
    for (std::size_t k = 0; k < count; ++k)
        ::operator delete(nodes[k]);
}

static void* TakeFrom(void**, std::size_t&, std::size_t)
{
    return ::operator new(sizeof(DOCNODE));
}

#endif

namespace {

DOCNODE* Link(DOCNODE* node, DOCNODE* prev, double x, double y, std::uint8_t kind, std::uint8_t select)
{
    node->m_x = x;
    node->m_y = y;
    node->m_nKind = kind;
    node->m_nSelect = select;
    node->m_pPrev = prev;
    if (prev != nullptr) {
        node->m_pNext = prev->m_pNext;
        if (prev->m_pNext != nullptr)
            prev->m_pNext->m_pPrev = node;
        prev->m_pNext = node;
    }
    return node;
}

} // namespace

DOCNODE* AppendNode(DOCNODE* prev, double x, double y, std::uint8_t kind, std::uint8_t select)
{
    return Link(new DOCNODE, prev, x, y, kind, select);
}

DOCNODE* NodeStock::Append(DOCNODE* prev, double x, double y, std::uint8_t kind, std::uint8_t select)
{
    return Link(::new (TakeFrom(m_slots, m_left, kBatch)) DOCNODE, prev, x, y, kind, select);
}

DOCNODE* CopyPointList(const DOCNODE* head)
{
    // Nodes taken as many at a time as the list holds, up to a batch: a
    // snapshot copies millions, and a lock each costs as much as the copy.
    constexpr std::size_t kBatch = 64;
    void* slots[kBatch];
    std::size_t left = static_cast<std::size_t>(CountNodes(head));
    std::size_t have = 0;
    std::size_t next = 0;
    DOCNODE* first = nullptr;
    DOCNODE* last = nullptr;
    try {
        for (const DOCNODE* n = head; n != nullptr;) {
            if (next == have) {
                have = std::min(left, kBatch);
                TakeNodes(slots, have);
                left -= have;
                next = 0;
            }
            last = Link(::new (slots[next++]) DOCNODE, last, n->m_x, n->m_y, n->m_nKind, n->m_nSelect);
            if (first == nullptr)
                first = last;
            n = n->m_pNext;
            if (n == head)
                break;
        }
    } catch (...) {
        for (DOCNODE* n = first; n != nullptr;) {
            DOCNODE* after = n->m_pNext;
            delete n;
            n = after;
        }
        throw;
    }
    return first;
}

void FreeNodeChain(DOCNODE* first)
{
    static_assert(std::is_trivially_destructible_v<DOCNODE>);
    constexpr std::size_t kBatch = 64;
    void* batch[kBatch];
    std::size_t count = 0;
    for (DOCNODE* n = first; n != nullptr;) {
        DOCNODE* next = n->m_pNext;
        batch[count++] = n;
        if (count == kBatch) {
            GiveNodes(batch, count);
            count = 0;
        }
        n = next == first ? nullptr : next;
    }
    GiveNodes(batch, count);
}

void RemoveDuplicatePoints(DOCNODE* head, double tol)
{
    DOCNODE* cur = head;
    while (cur != nullptr && cur->m_pNext != nullptr && cur->m_pNext != head) {
        DOCNODE* next = cur->m_pNext;
        if (std::fabs(next->m_x - cur->m_x) < tol && std::fabs(next->m_y - cur->m_y) < tol &&
            next->m_nKind == cur->m_nKind) {
            cur->m_pNext = next->m_pNext;
            if (next->m_pNext != nullptr)
                next->m_pNext->m_pPrev = cur;
            delete next;
        } else {
            cur = next;
        }
    }
}

int CountNodes(const DOCNODE* head)
{
    int n = 0;
    for (const DOCNODE* p = head; p != nullptr;) {
        ++n;
        p = p->m_pNext;
        if (p == head)
            break;
    }
    return n;
}

DOCNODE* LastNode(DOCNODE* head)
{
    if (head == nullptr)
        return nullptr;
    DOCNODE* p = head;
    while (p->m_pNext != nullptr && p->m_pNext != head)
        p = p->m_pNext;
    return p;
}

namespace {
bool IsRing(const DOCNODE* head)
{
    for (const DOCNODE* p = head; p != nullptr; p = p->m_pNext) {
        if (p->m_pNext == head)
            return true;
    }
    return false;
}

bool Near(const DOCNODE* a, const DOCNODE* b)
{
    return !(std::fabs(a->m_x - b->m_x) > 0.001 || std::fabs(a->m_y - b->m_y) > 0.001);
}
} // namespace

bool CompactNodeList(DOCNODE*& head)
{
    if (head == nullptr || IsRing(head))
        return false;
    for (const DOCNODE* p = head; p != nullptr; p = p->m_pNext) {
        if (p->m_nKind != NODE_ANCHOR)
            continue;
        if (p->m_pPrev != nullptr && !Near(p, p->m_pPrev))
            return false;
        if (p->m_pNext != nullptr && !Near(p, p->m_pNext))
            return false;
    }
    DOCNODE* p = head;
    while (p != nullptr) {
        DOCNODE* next = p->m_pNext;
        if (p->m_nKind != NODE_ANCHOR) {
            if (p->m_pPrev != nullptr)
                p->m_pPrev->m_pNext = next;
            if (next != nullptr)
                next->m_pPrev = p->m_pPrev;
            if (p == head)
                head = next;
            delete p;
        }
        p = next;
    }
    return true;
}
