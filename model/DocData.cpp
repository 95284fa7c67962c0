#include "DocData.h"

#include "DocContext.h"
#include "DocState.h"
#include "GeoFunctions.h"
#include "platform/RecordPool.h"
#include "settings/MachineNode.h"
#include "settings/SettingsCopy.h"
#include "settings/SoftwareSettings.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>

#if BRENVIK_RECORD_POOL

namespace {

// Every outline class fits a slot; larger ones (images) take the heap.
constexpr std::size_t kPooledObjectBytes = 128;
// Blocks of 16 MiB, 131,072 objects each.
using ObjectPool = plat::RecordPool<kPooledObjectBytes, alignof(std::max_align_t), 8 * plat::kLargeBlockGranule>;

// Never destroyed: objects may still be freed while static objects go.
ObjectPool& Pool()
{
    static ObjectPool* pool = new ObjectPool;
    return *pool;
}

} // namespace

void* CDocData::operator new(std::size_t size)
{
    return size <= kPooledObjectBytes ? Pool().Take() : ::operator new(size);
}

void* CDocData::operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void CDocData::operator delete(void* p, std::size_t size) noexcept
{
    if (p == nullptr)
        return;
    if (size <= kPooledObjectBytes)
        Pool().Give(p);
    else
        ::operator delete(p);
}

ObjectBatches::ObjectBatches() : m_batches(new ObjectPool::Batches(Pool())) {}

ObjectBatches::~ObjectBatches()
{
    delete static_cast<ObjectPool::Batches*>(m_batches);
}

DocDataStock::~DocDataStock()
{
    if (m_left != 0)
        Pool().GiveMany(m_slots, m_left);
}

void* DocDataStock::Take(std::size_t size)
{
    if (size > kPooledObjectBytes)
        return ::operator new(size);
    if (m_left == 0) {
        Pool().TakeMany(m_slots, kBatch);
        // Handed out from the back: the first taken, usually the lowest
        // address, goes first.
        std::reverse(m_slots, m_slots + kBatch);
        m_left = kBatch;
    }
    return m_slots[--m_left];
}

// Only called when a constructor throws after a nothrow allocation; no
// size comes with it.
void CDocData::operator delete(void* p, const std::nothrow_t&) noexcept
{
    if (p == nullptr)
        return;
    if (Pool().Owns(p))
        Pool().Give(p);
    else
        ::operator delete(p);
}

#else

ObjectBatches::ObjectBatches() = default;
ObjectBatches::~ObjectBatches() = default;

DocDataStock::~DocDataStock() = default;

// Builds that check memory take every object from the heap.
void* DocDataStock::Take(std::size_t size)
{
    return ::operator new(size);
}

void* CDocData::operator new(std::size_t size)
{
    return ::operator new(size);
}

void* CDocData::operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return ::operator new(size, std::nothrow);
}

void CDocData::operator delete(void* p, std::size_t) noexcept
{
    ::operator delete(p);
}

void CDocData::operator delete(void* p, const std::nothrow_t&) noexcept
{
    ::operator delete(p);
}

#endif

CDocData::CDocData() = default;

CDocData::~CDocData()
{
    delete m_pLeadInOut;
    delete m_pArray;
    delete m_pEndGap;
    DeleteObjectList(m_pAttached);
    CDocState::FreeNodeList(m_pNodes);
}

bool CDocData::SelectInRect(const CGeoBox&) { return false; }
std::uint8_t CDocData::SelectNodeAt(double, double, double, std::uint8_t) { return 0; }
bool CDocData::HitSegment(double, double, double, std::uint8_t) { return false; }
bool CDocData::UnionSelectedNodesRect(CGeoBox&, bool, bool) { return false; }
bool CDocData::HitTest(double, double, double) { return false; }
void CDocData::SetColor(std::int32_t, std::uint32_t) {}
bool CDocData::Reverse() { return false; }
bool CDocData::SetStartPoint(double, double, double) { return false; }
bool CDocData::GetStartPoint(CGeoPoint&) { return false; }
bool CDocData::GetEndPoint(CGeoPoint&) { return false; }
bool CDocData::Close() { return false; }
PATHREC* CDocData::MakeOutputPath() { return nullptr; }
void CDocData::ExplodeArray(DOCCONTEXT*) {}
DOCNODE* CDocData::CopyNodes() { return nullptr; }
void CDocData::Draw(CDC*, DOCCONTEXT*) {}
void CDocData::DrawArrayPreview(CDC*, DOCCONTEXT*, const ARRAYREC*) {}
void CDocData::DrawNodes(CDC*, DOCCONTEXT*) {}
void CDocData::DrawStartPoint(CDC*, DOCCONTEXT*) {}
void CDocData::DrawIndex(CDC*, DOCCONTEXT*, int) {}
void CDocData::DrawDirection(CDC*, DOCCONTEXT*) {}
void CDocData::DrawArrayCopies(CDC*, DOCCONTEXT*) {}
void CDocData::Move(const CGeoPoint&, const CGeoPoint&, DOCCONTEXT*) {}
void CDocData::DrawMovePreview(DOCCONTEXT*, CDC*, const CGeoPoint&, const CGeoPoint&) {}
void CDocData::Scale(double, double, double, double, DOCCONTEXT*) {}
void CDocData::DrawScalePreview(DOCCONTEXT*, CDC*, double, double, double, double) {}
void CDocData::Skew(double, double, double, int, DOCCONTEXT*) {}
void CDocData::DrawSkewPreview(DOCCONTEXT*, CDC*, double, double, double, int) {}
void CDocData::Rotate(const CGeoPoint&, double, DOCCONTEXT*) {}
void CDocData::RotateBy3Points(const CGeoPoint&, const CGeoPoint&, const CGeoPoint&, DOCCONTEXT*) {}
void CDocData::DrawRotatePreview(DOCCONTEXT*, CDC*, const CGeoPoint&, const CGeoPoint&, const CGeoPoint&) {}
void CDocData::MoveSelectedNodes(const CGeoPoint&, const CGeoPoint&, int, DOCCONTEXT*) {}
void CDocData::DrawNodeMovePreview(DOCCONTEXT*, CDC*, const CGeoPoint&, const CGeoPoint&, int) {}
CDocData* CDocData::MirrorAbout(double, double, double, double, bool, bool, DOCCONTEXT*) { return nullptr; }
void CDocData::Flip(const CGeoPoint&, bool, bool, DOCCONTEXT*) {}
void CDocData::DrawMirrorPreview(DOCCONTEXT*, CDC*, double, double, double, double) {}
void CDocData::ScaleNodes(double, double, double, double, DOCCONTEXT*) {}
bool CDocData::InsertNodeAt(double, double, double) { return false; }
bool CDocData::DeleteSelectedNodes() { return false; }

bool CDocData::GetSelectedNodesRect(CGeoBox& box, bool first)
{
    bool replace = first;
    for (DOCNODE* n = m_pNodes; n != nullptr;) {
        if (n->m_nSelect != NODE_UNSELECTED) {
            const CGeoPoint p(n->m_x, n->m_y);
            if (replace)
                box.SetFromPoints(p, p);
            else
                box.AddPoint(p);
            replace = false;
        }
        n = n->m_pNext;
        if (n == m_pNodes)
            break;
    }
    return true;
}

bool CDocData::SnapToNode(CGeoBox& box, const CGeoPoint& point, double scale, double tol)
{
    for (DOCNODE* n = m_pNodes; n != nullptr;) {
        if (n->m_nSelect != NODE_UNSELECTED && std::fabs((n->m_x - point.m_x) * scale) < tol &&
            std::fabs((n->m_y - point.m_y) * scale) < tol) {
            const CGeoPoint p(n->m_x, n->m_y);
            box.SetFromPoints(p, p);
            return true;
        }
        n = n->m_pNext;
        if (n == m_pNodes)
            break;
    }
    return false;
}

bool CDocData::HasArrayCopies() const
{
    return m_pArray != nullptr && (m_pArray->m_nRows > 1 || m_pArray->m_nCols > 1);
}

void CDocData::RecalcBoundRect(DOCCONTEXT*)
{
    m_rcBound.SetEmpty();
    if (m_pNodes == nullptr)
        return;
    // Seeded at the world's reach, so that every object within it, also one
    // lying beyond 1e8, gets its own box.
    double xmin = kWorldLimit, ymin = kWorldLimit;
    double xmax = -kWorldLimit, ymax = -kWorldLimit;
    // Written out rather than std::fmin/fmax, which are library calls here:
    // a box of a million objects spent more in the calls than in the walk.
    // A coordinate that is not a number is passed over as fmin/fmax do.
    for (const DOCNODE* n = m_pNodes; n != nullptr;) {
        const double x = n->m_x, y = n->m_y;
        xmin = x < xmin ? x : xmin;
        xmax = x > xmax ? x : xmax;
        ymin = y < ymin ? y : ymin;
        ymax = y > ymax ? y : ymax;
        n = n->m_pNext;
        if (n == m_pNodes)
            break;
    }
    if (HasArrayCopies()) {
        double dx = m_pArray->m_dDx;
        double dy = m_pArray->m_dDy;
        ApplyOriginSign(dx, dy);
        const double ex = (m_pArray->m_nCols - 1) * dx;
        const double ey = (m_pArray->m_nRows - 1) * dy;
        if (ex < 0.0)
            xmin += ex;
        else
            xmax += ex;
        if (ey < 0.0)
            ymin += ey;
        else
            ymax += ey;
    }
    m_rcBound = CGeoBox::FromCoords(xmin, ymin, xmax, ymax);
}

CGeoBox CDocData::GetAnchorRect()
{
    double xmin = kWorldLimit, ymin = kWorldLimit;
    double xmax = -kWorldLimit, ymax = -kWorldLimit;
    bool any = false;
    for (const DOCNODE* n = m_pNodes; n != nullptr;) {
        if (n->m_nKind == NODE_ANCHOR) {
            xmin = std::fmin(xmin, n->m_x);
            xmax = std::fmax(xmax, n->m_x);
            ymin = std::fmin(ymin, n->m_y);
            ymax = std::fmax(ymax, n->m_y);
            any = true;
        }
        n = n->m_pNext;
        if (n == m_pNodes)
            break;
    }
    // A list of control points alone has no anchor box; the seeds would
    // otherwise come back as a box from the world's one end to the other.
    if (!any)
        return CGeoBox();
    return CGeoBox::FromCoords(xmin, ymin, xmax, ymax);
}

int CDocData::CurrentOriginCorner()
{
    const MachineNode* machine = GetCurrentMachine(ThreadSettings());
    return machine != nullptr ? machine->m_orign : 1;
}

void CDocData::ApplyOriginSign(double& dx, double& dy)
{
    ApplyOriginSign(CurrentOriginCorner(), dx, dy);
}

void CDocData::ApplyOriginSign(int corner, double& dx, double& dy)
{
    switch (corner) {
    case 0:
        dx = -dx;
        break;
    case 2:
        dx = -dx;
        dy = -dy;
        break;
    case 3:
        dy = -dy;
        break;
    default:
        break;
    }
}

void CDocData::GetOriginFlags(const DOCCONTEXT* ctx, int& xFlag, int& yFlag)
{
    xFlag = 0;
    yFlag = 0;
    const MachineNode* machine = GetCurrentMachine(SettingsOf(ctx));
    if (machine == nullptr)
        return;
    const int corner = machine->m_orign;
    const int column = machine->m_dot % 3;
    const int row = machine->m_dot / 3;
    if ((column == 0 && (corner == 0 || corner == 2)) || (column == 2 && (corner == 1 || corner == 3)))
        xFlag = 1;
    if ((row == 2 && (corner == 0 || corner == 1)) || (row == 0 && (corner == 2 || corner == 3)))
        yFlag = 1;
}

void CDocData::DrawArrowHead(CDC* dc, double x0, double y0, double x1, double y1)
{
    if (dc == nullptr)
        return;
    const double mx = (x0 + x1) * 0.5;
    const double my = (y0 + y1) * 0.5;
    double bx = 0.0, by = 0.0;
    GeoPointAlong(mx, my, x0, y0, 8.0, bx, by);
    double w1x = 0.0, w1y = 0.0, w2x = 0.0, w2y = 0.0;
    GeoRotatePoint(mx, my, bx, by, std::numbers::pi / 6.0, w1x, w1y);
    GeoRotatePoint(mx, my, bx, by, -std::numbers::pi / 6.0, w2x, w2y);
    dc->MoveTo(plat::RoundPixel(w1x), plat::RoundPixel(w1y));
    dc->LineTo(plat::RoundPixel(mx), plat::RoundPixel(my));
    dc->LineTo(plat::RoundPixel(w2x), plat::RoundPixel(w2y));
}

void CDocData::CopyLeadInOut(LEADINOUT* dest, const LEADINOUT* source)
{
    if (dest == nullptr || source == nullptr)
        return;
    *dest = *source;
}

const SoftwareSettings& CDocData::SettingsOf(const DOCCONTEXT* ctx)
{
    return ::SettingsOf(ctx);
}

void DeleteObjectList(CDocData*& head)
{
    while (head != nullptr) {
        CDocData* obj = head;
        head = head->m_pNext;
        delete obj;
    }
}

void DeleteEmptyObjects(CDocData*& head)
{
    CDocData* obj = head;
    while (obj != nullptr) {
        CDocData* next = obj->m_pNext;
        if (obj->m_nType == MT_GROUP || obj->m_nType == MT_CHAR) {
            if (CDocData** children = obj->ChildList())
                DeleteEmptyObjects(*children);
        } else if (obj->m_pNodes == nullptr) {
            UnlinkObject(head, obj);
            delete obj;
        }
        obj = next;
    }
}
