// Node lists: the outline of a drawing object as a doubly linked list of
// nodes. A list is open (null links at both ends); a closed outline repeats
// its first anchor as its last node. The copying, measuring and freeing
// walkers also accept a list closed into a ring.
#pragma once
#include <cstddef>
#include <cstdint>

enum : std::uint8_t {
    NODE_ANCHOR = 0,
    NODE_CONTROL_IN = 1,
    NODE_CONTROL_OUT = 2,
};

enum : std::uint8_t {
    NODE_UNSELECTED = 0,
    NODE_SELECTED = 1,
    NODE_ACTIVE = 2,
};

struct DOCNODE {
    double m_x = 0.0;
    double m_y = 0.0;
    std::uint8_t m_nKind = NODE_ANCHOR;
    std::uint8_t m_nSelect = NODE_UNSELECTED;
    DOCNODE* m_pPrev = nullptr;
    DOCNODE* m_pNext = nullptr;

    // A drawing holds millions of nodes: they come from a pool of their own.
    static void* operator new(std::size_t size);
    static void operator delete(void* p) noexcept;
};

// New node linked behind `prev` (which may be null); returns it.
DOCNODE* AppendNode(DOCNODE* prev, double x, double y, std::uint8_t kind = NODE_ANCHOR, std::uint8_t select = NODE_UNSELECTED);

// Nodes for code that makes them by the million: they are taken from the
// node pool a batch at a time, under one lock instead of one each. Nodes it
// handed out are freed like any other; those it still holds go back when
// it ends.
class NodeStock {
public:
    NodeStock() = default;
    ~NodeStock();
    NodeStock(const NodeStock&) = delete;
    NodeStock& operator=(const NodeStock&) = delete;

    // AppendNode with a node of the stock.
    DOCNODE* Append(DOCNODE* prev, double x, double y, std::uint8_t kind = NODE_ANCHOR,
                    std::uint8_t select = NODE_UNSELECTED);

private:
    static constexpr std::size_t kBatch = 64;
    void* m_slots[kBatch] = {};
    std::size_t m_left = 0; // slots [0, m_left) not handed out yet
};

// While one lives on a thread, the nodes that thread makes and frees come
// from and go back to the node pool in batches, the freed ones serving its
// next nodes first (plat::RecordPool::Batches): threads that copy and
// sample curves side by side do not queue for the pool's lock.
class NodeBatches {
public:
    NodeBatches();
    ~NodeBatches();
    NodeBatches(const NodeBatches&) = delete;
    NodeBatches& operator=(const NodeBatches&) = delete;

private:
    void* m_batches = nullptr; // the pool's batches, where there is a pool
};

// Frees the nodes from `first` along next links up to a null link or back
// at `first`, a batch at a time under one lock (a dropped snapshot frees
// millions).
void FreeNodeChain(DOCNODE* first);

// New open list with one node per source node (x, y, kind, selection), in
// order; stops at a null link or back at the head. Null in, null out.
DOCNODE* CopyPointList(const DOCNODE* head);

// Unlinks every successor that lies within tol (strictly, in x and in y) of
// the node before it and has the same kind. The head stays. On a ring the walk
// stops before the head.
void RemoveDuplicatePoints(DOCNODE* head, double tol);

// Turns a Bezier list whose controls sit on their anchors (within 0.001) into
// anchors only. False, and the list untouched, when a neighbour of an anchor
// lies farther away, or when the list is a ring.
bool CompactNodeList(DOCNODE*& head);

// Number of nodes, stopping at a null link or back at the head.
int CountNodes(const DOCNODE* head);

// Last node of a list (the node before the head on a ring).
DOCNODE* LastNode(DOCNODE* head);

// Calls f on every node, stopping at a null link or back at the head.
template <typename F>
void ForEachNode(DOCNODE* head, F f)
{
    for (DOCNODE* n = head; n != nullptr;) {
        f(*n);
        n = n->m_pNext;
        if (n == head)
            break;
    }
}
