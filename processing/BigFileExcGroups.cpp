// The banding's document side: every object grouped with the objects lying
// inside it (or around it) before the document becomes a job, arrays of
// copies first made real objects, so that a contour and its holes are not
// parted when their joint height fits a band.
#include "BigFileExc.h"
#include "BigFileExcBox.h"
#include "OutlineIndex.h"
#include "SpatialGrid.h"

#include "model/ArrayExplode.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataGroup.h"
#include "model/DocListNode.h"
#include "model/PolylineGeometry.h"

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <vector>

using plat::banding::Box;

namespace {

// Outlines of more nodes are classified through an index of their edges.
constexpr std::size_t kIndexedNodes = 64;

bool IsComposite(const CDocData* o)
{
    return (o->m_nType == MT_GROUP || o->m_nType == MT_CHAR) && const_cast<CDocData*>(o)->ChildList() != nullptr;
}

CDocData* ChildrenOf(const CDocData* o)
{
    return *const_cast<CDocData*>(o)->ChildList();
}

template <typename F>
void ForEachNode(const DOCNODE* head, F f)
{
    for (const DOCNODE* n = head; n != nullptr;) {
        f(*n);
        n = n->m_pNext;
        if (n == head)
            break;
    }
}

Box LeafNodeBox(const CDocData* o)
{
    Box b;
    ForEachNode(o->m_pNodes, [&](const DOCNODE& n) { b.Add(n.m_x, n.m_y); });
    return b;
}

// The box of every node of an object, control points included; groups and
// texts through their children.
Box NodeBox(const CDocData* o)
{
    if (!IsComposite(o))
        return LeafNodeBox(o);
    Box b;
    for (const CDocData* c = ChildrenOf(o); c != nullptr; c = c->m_pNext)
        b.Add(NodeBox(c));
    return b;
}

// IsInside with the test of one point against one outline given: the rule
// is the same for the plain test and for the cached one of the grouping.
template <typename Test>
bool PointInside(const CDocData* outer, const CDocData* inner, double x, double y, Test& test)
{
    if (outer->m_nLayer != inner->m_nLayer)
        return false;
    if (!IsComposite(outer))
        return test(outer, x, y);
    for (const CDocData* c = ChildrenOf(outer); c != nullptr; c = c->m_pNext) {
        if (PointInside(c, inner, x, y, test))
            return true;
    }
    return false;
}

template <typename Test>
bool InsideBy(const CDocData* outer, const CDocData* inner, Test& test)
{
    if (outer->m_nLayer != inner->m_nLayer)
        return false;
    if (IsComposite(inner)) {
        for (const CDocData* c = ChildrenOf(inner); c != nullptr; c = c->m_pNext) {
            if (InsideBy(outer, c, test))
                return true;
        }
        return false;
    }
    if (inner->m_pNodes == nullptr)
        return false;
    return PointInside(outer, inner, inner->m_pNodes->m_x, inner->m_pNodes->m_y, test);
}

bool InsideClass(std::uint8_t c)
{
    return c == 1 || c == 2;
}

// The point test of the grouping: node boxes and, for long outlines, edge
// indexes made once per outline.
class CachedOutlines {
public:
    bool operator()(const CDocData* leaf, double x, double y)
    {
        Entry& e = m_entries[leaf];
        if (!e.ready) {
            e.ready = true;
            std::size_t count = 0;
            ForEachNode(leaf->m_pNodes, [&](const DOCNODE& n) {
                e.box.Add(n.m_x, n.m_y);
                ++count;
            });
            if (count > kIndexedNodes)
                e.index = std::make_unique<plat::OutlineIndex>(leaf->m_pNodes);
        }
        if (!e.box.Holds(x, y))
            return false;
        return InsideClass(e.index != nullptr ? e.index->Classify(x, y) : PolylineClassifyPoint(leaf->m_pNodes, x, y));
    }

private:
    struct Entry {
        bool ready = false;
        Box box;
        std::unique_ptr<plat::OutlineIndex> index;
    };
    std::unordered_map<const CDocData*, Entry> m_entries;
};

std::size_t CountTree(const CDocData* o)
{
    std::size_t n = 1;
    if (IsComposite(o)) {
        for (const CDocData* c = ChildrenOf(o); c != nullptr; c = c->m_pNext)
            n += CountTree(c);
    }
    return n;
}

CDocData* CopyObject(const CDocData& source)
{
    return CloneDocData(&source, false);
}

// Turns the object's array (and first the arrays of its children) into real
// copies behind it; returns the last object of the run it now heads.
CDocData* ExpandArrayCopies(CDocData& obj, DOCCONTEXT* ctx, std::size_t& budget)
{
    if (IsComposite(&obj)) {
        bool changed = false;
        for (CDocData* c = ChildrenOf(&obj); c != nullptr;) {
            CDocData* last = ExpandArrayCopies(*c, ctx, budget);
            changed = changed || last != c;
            c = last->m_pNext;
        }
        if (changed)
            obj.RecalcBoundRect(ctx);
    }
    if (!obj.HasArrayCopies() || !ArrayCountsUsable(*obj.m_pArray))
        return &obj;
    const std::size_t cells = static_cast<std::size_t>(obj.m_pArray->m_nRows) * obj.m_pArray->m_nCols;
    const std::size_t made = (cells - 1) * CountTree(&obj);
    if (made > budget)
        return &obj;
    CDocData* after = obj.m_pNext;
    if (!ExplodeArrayCopies(obj, ctx, &CopyObject))
        return &obj;
    budget -= made;
    CDocData* last = &obj;
    while (last->m_pNext != after)
        last = last->m_pNext;
    return last;
}

} // namespace

bool CBigFileExc::IsInside(const CDocData* outer, const CDocData* inner)
{
    if (outer == nullptr || inner == nullptr)
        return false;
    auto test = [](const CDocData* leaf, double x, double y) {
        return LeafNodeBox(leaf).Holds(x, y) && InsideClass(PolylineClassifyPoint(leaf->m_pNodes, x, y));
    };
    return InsideBy(outer, inner, test);
}

CGeoBox CBigFileExc::GetObjectExtent(const CDocData* object)
{
    if (object == nullptr)
        return CGeoBox();
    if (!IsComposite(object))
        return object->m_rcBound;
    CGeoBox box;
    for (const CDocData* c = ChildrenOf(object); c != nullptr; c = c->m_pNext)
        box.Union(GetObjectExtent(c));
    return box;
}

bool CBigFileExc::GroupContainedObjects(DOCCONTEXT* ctx, CDocData*& objects, bool expand)
{
    if (objects == nullptr || ctx == nullptr || ctx->m_pCurrent == nullptr || !BandingOn(ctx->m_pCurrent->m_pSplit))
        return false;
    const double limit = ctx->m_pCurrent->m_pSplit->m_dDistance * kWorldPerMm;

    if (expand) {
        std::size_t budget = kMaxExpandedObjects;
        for (CDocData* o = objects; o != nullptr;)
            o = ExpandArrayCopies(*o, ctx, budget)->m_pNext;
        UngroupAll(objects);
        if (objects == nullptr)
            return true;
    }

    std::vector<CDocData*> objs;
    for (CDocData* o = objects; o != nullptr; o = o->m_pNext)
        objs.push_back(o);
    const std::uint32_t n = static_cast<std::uint32_t>(objs.size());
    std::vector<Box> boxes(n);
    std::vector<CGeoBox> extents(n);
    std::vector<double> sizes;
    sizes.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        boxes[i] = NodeBox(objs[i]);
        extents[i] = GetObjectExtent(objs[i]);
        if (boxes[i].Valid())
            sizes.push_back(std::max(boxes[i].xmax - boxes[i].xmin, boxes[i].ymax - boxes[i].ymin));
    }
    // Two objects can only lie one in the other when their node boxes meet:
    // the grid finds those, the rule is applied to them in list order.
    plat::SpatialGrid grid(plat::SpatialGrid::MedianCell(std::move(sizes)), n);
    for (std::uint32_t i = 0; i < n; ++i) {
        if (boxes[i].Valid())
            grid.AddBox(boxes[i].xmin, boxes[i].xmax, boxes[i].ymin, boxes[i].ymax, i);
    }
    std::vector<std::uint8_t> alive(n, 1);
    std::vector<CDocData*> lastChild(n, nullptr); // of the groups made here
    auto isAlive = [&](std::uint32_t k) { return alive[k] != 0; };
    CachedOutlines outlines;
    std::vector<std::uint32_t> candidates;
    auto query = [&](const Box& b, std::uint32_t after) {
        candidates.clear();
        grid.ForEachInRect(b.xmin, b.xmax, b.ymin, b.ymax, isAlive, [&](std::uint32_t k) {
            if (k > after)
                candidates.push_back(k);
        });
        std::sort(candidates.begin(), candidates.end());
    };

    for (std::uint32_t i = 0; i < n; ++i) {
        if (alive[i] == 0 || !boxes[i].Valid())
            continue;
        Box box = boxes[i];
        query(box, i);
        for (std::size_t k = 0; k < candidates.size(); ++k) {
            const std::uint32_t j = candidates[k];
            if (alive[j] == 0)
                continue;
            CDocData* a = objs[i];
            CDocData* b = objs[j];
            if (a->m_nLayer != b->m_nLayer)
                continue;
            CGeoBox joint = extents[i];
            joint.Union(extents[j]);
            if (!(joint.Height() < limit))
                continue;
            if (!InsideBy(a, b, outlines) && !InsideBy(b, a, outlines))
                continue;
            // B joins A. Neither is in a list while it happens: the list is
            // linked again from the survivors at the end.
            alive[j] = 0;
            b->m_pPrev = b->m_pNext = nullptr;
            if (lastChild[i] == nullptr) {
                a->m_pPrev = nullptr;
                a->m_pNext = b;
                b->m_pPrev = a;
                objs[i] = new CDocDataGroup(a, ctx);
            } else {
                lastChild[i]->m_pNext = b;
                b->m_pPrev = lastChild[i];
                b->RecalcBoundRect(ctx);
                objs[i]->m_rcBound.Union(b->m_rcBound);
            }
            lastChild[i] = b;
            extents[i] = joint;
            Box grown = box;
            grown.Add(boxes[j]);
            if (!(grown == box)) {
                box = grown;
                query(box, j);
                k = static_cast<std::size_t>(-1);
            }
        }
    }

    CDocData* head = nullptr;
    CDocData* tail = nullptr;
    for (std::uint32_t i = 0; i < n; ++i) {
        if (alive[i] == 0)
            continue;
        AppendObject(head, tail, objs[i]);
    }
    objects = head;
    return true;
}
