// The base drawing object. Every shape of a document is one of its
// subclasses; the class of an object is told by its type id alone. Objects
// are chained into object lists through m_pPrev / m_pNext, and the holder of a
// list's head owns every object of it.
#pragma once
#include "GeoBox.h"
#include "GeoPoint.h"
#include "NodeList.h"
#include "machinecomm/VantrelRecords.h"
#include "platform/DeviceContext.h"

#include <cstddef>
#include <cstdint>
#include <new>

struct DOCCONTEXT;
struct SoftwareSettings;

// Type ids (CDocData::m_nType); they also index the type names of the
// document file format.
enum : std::uint32_t {
    MT_UNKNOWN = 0, // base object, and a NURBS object before its reader sets 6
    MT_POINT = 1,
    MT_LINE = 2,
    MT_RECT = 3,
    MT_ELLIPSE = 4,
    MT_BEZIER = 5,
    MT_NURBS = 6,
    MT_BITMAP = 7,
    MT_CHAR = 8,
    MT_GROUP = 9,
};
constexpr std::uint32_t kDocTypeCount = 10;

// Lead-in and lead-out of an outline. Lengths and points in world units,
// angles in degrees.
struct LEADINOUT {
    std::uint8_t m_nKind = 2; // 0 inner, 1 outer, 2 automatic
    std::uint8_t m_bDone = 0; // lead lines built for this object
    std::uint8_t m_bLeadIn = 0;
    double m_dInAngle = 0.0;
    double m_dInLength = 0.0; // a lead-in exists only above 0.001
    double m_dInX = 0.0;      // the lead-in runs from here to the first node
    double m_dInY = 0.0;
    std::uint8_t m_bLeadOut = 0;
    double m_dOutAngle = 0.0;
    double m_dOutLength = 0.0;
    double m_dOutX = 0.0;     // the lead-out runs from the last node to here
    double m_dOutY = 0.0;
};

// End gap of an outline: the gap in millimetres, the marker in world units.
struct ENDGAP {
    std::uint8_t m_bOn = 0;
    double m_dGap = 0.3;
    double m_dMarkX = 0.0;
    double m_dMarkY = 0.0;
};

// Minimum length of a lead line that is drawn and output.
constexpr double kMinLeadLength = 0.001;

class CDocData {
public:
    CDocData();
    virtual ~CDocData();
    // A drawing holds objects by the million: the usual sizes come from a
    // pool of their own (see NodeList.h). The size a delete passes is the
    // object's own class's, so each object goes back where it came from.
    static void* operator new(std::size_t size);
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
    static void operator delete(void* p, std::size_t size) noexcept;
    static void operator delete(void* p, const std::nothrow_t&) noexcept;
    // Objects are copied only through their class's copy constructor, which
    // deep-copies with CopyFrom; a base copy would share nodes and records.
    CDocData(const CDocData&) = delete;
    CDocData& operator=(const CDocData&) = delete;

    // Virtual operations. The bodies here are the base bodies: what a class
    // gets when it does not override the operation.
    virtual bool Reserved5() { return false; }
    virtual bool SelectAllNodes() { return false; }
    virtual bool DeselectNodes() { return false; }
    virtual std::uint8_t IsSelected() const { return m_bSelected; }
    virtual bool SelectInRect(const CGeoBox& box);
    // Result: 0 nothing hit, else the kind of node hit. State 255 only finds.
    virtual std::uint8_t SelectNodeAt(double x, double y, double tol, std::uint8_t state);
    virtual bool HitSegment(double x, double y, double tol, std::uint8_t state);
    // Grows the box by every node whose state is not 0; with `first` the
    // first such node replaces the box.
    virtual bool GetSelectedNodesRect(CGeoBox& box, bool first);
    virtual bool UnionSelectedNodesRect(CGeoBox& box, bool withNeighbours, bool reset);
    virtual bool HitTest(double x, double y, double tol);
    virtual void SetSelected(std::uint8_t selected) { m_bSelected = selected; }
    virtual void SetColor(std::int32_t layer, std::uint32_t color);
    virtual std::uint32_t GetType() const { return m_nType; }
    virtual void SetType(std::uint32_t type) { m_nType = type; }
    virtual CGeoBox GetBoundRect() const { return m_rcBound; }
    // The first node in a state other than 0 within tol of the point (after
    // scaling the difference); the box becomes the degenerate box there.
    virtual bool SnapToNode(CGeoBox& box, const CGeoPoint& point, double scale, double tol);
    virtual void RecalcBoundRect(DOCCONTEXT* ctx);
    virtual CGeoBox GetAnchorRect();
    virtual bool Reverse();
    virtual bool SetStartPoint(double x, double y, double tol);
    virtual bool GetStartPoint(CGeoPoint& point);
    virtual bool GetEndPoint(CGeoPoint& point);
    virtual bool Close();
    // New output path chain, owned by the caller; null: no output.
    virtual PATHREC* MakeOutputPath();
    virtual void ExplodeArray(DOCCONTEXT* ctx);
    // New anchor-only point list of the outline, owned by the caller.
    virtual DOCNODE* CopyNodes();
    virtual void ReservedNoOp() {}
    virtual void Draw(CDC* dc, DOCCONTEXT* ctx);
    virtual void DrawArrayPreview(CDC* dc, DOCCONTEXT* ctx, const ARRAYREC* array);
    virtual void DrawNodes(CDC* dc, DOCCONTEXT* ctx);
    virtual void DrawStartPoint(CDC* dc, DOCCONTEXT* ctx);
    virtual void DrawIndex(CDC* dc, DOCCONTEXT* ctx, int number);
    virtual void DrawDirection(CDC* dc, DOCCONTEXT* ctx);
    virtual void DrawArrayCopies(CDC* dc, DOCCONTEXT* ctx);
    virtual void Move(const CGeoPoint& from, const CGeoPoint& to, DOCCONTEXT* ctx);
    virtual void DrawMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to);
    virtual void Scale(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx);
    virtual void DrawScalePreview(DOCCONTEXT* ctx, CDC* dc, double cx, double cy, double sx, double sy);
    // direction 0 shears y along x, any other value x along y.
    virtual void Skew(double factor, double from, double to, int direction, DOCCONTEXT* ctx);
    virtual void DrawSkewPreview(DOCCONTEXT* ctx, CDC* dc, double factor, double from, double to, int direction);
    virtual void Rotate(const CGeoPoint& centre, double angle, DOCCONTEXT* ctx);
    virtual void RotateBy3Points(const CGeoPoint& centre, const CGeoPoint& from, const CGeoPoint& to,
                                 DOCCONTEXT* ctx);
    virtual void DrawRotatePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& centre, const CGeoPoint& from,
                                   const CGeoPoint& to);
    virtual void MoveSelectedNodes(const CGeoPoint& from, const CGeoPoint& to, int mode, DOCCONTEXT* ctx);
    virtual void DrawNodeMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to,
                                     int mode);
    // As copy: returns a reflected copy owned by the caller and leaves this
    // object unchanged; otherwise reflects this object and returns null.
    virtual CDocData* MirrorAbout(double x1, double y1, double x2, double y2, bool asCopy, bool reverse,
                                  DOCCONTEXT* ctx);
    virtual void Flip(const CGeoPoint& centre, bool horizontal, bool vertical, DOCCONTEXT* ctx);
    virtual void DrawMirrorPreview(DOCCONTEXT* ctx, CDC* dc, double x1, double y1, double x2, double y2);
    virtual void ScaleNodes(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx);
    virtual bool InsertNodeAt(double x, double y, double tol);
    virtual bool DeleteSelectedNodes();

    // Head of the owned child list of a composite (group, text); null for
    // every other class.
    virtual CDocData** ChildList() { return nullptr; }

    // Turns array pitches from machine direction into world direction by the
    // current machine's origin corner (0: -dx; 2: -dx, -dy; 3: -dy; 1 and no
    // machine: unchanged), or by the given corner.
    static void ApplyOriginSign(double& dx, double& dy);
    static void ApplyOriginSign(int corner, double& dx, double& dy);
    // The current machine's origin corner; 1 without a machine.
    static int CurrentOriginCorner();
    // Start-corner flags of the current machine's origin corner and
    // positioning point; both 0 without a machine.
    static void GetOriginFlags(const DOCCONTEXT* ctx, int& xFlag, int& yFlag);
    // Arrow head at the middle of (x0, y0)-(x1, y1), client coordinates, drawn
    // wing, middle, wing with the current pen.
    static void DrawArrowHead(CDC* dc, double x0, double y0, double x1, double y1);
    // Node mark of node editing: a hollow square of half-size `half` about p,
    // drawn with lines whose closing stroke runs `closeShort` pixels past the
    // starting corner (a thick pen's corner would otherwise stay open).
    static void DrawNodeSquare(CDC* dc, const plat::POINT& p, int half, int closeShort);
    // The end-gap marker: a cross about p, client pixels.
    static void DrawEndGapCross(CDC* dc, const plat::POINT& p);
    // Copies every field of the source record; a null source changes nothing.
    static void CopyLeadInOut(LEADINOUT* dest, const LEADINOUT* source);

    // Rotation angle (radians) of a drag about c from p to q: positive
    // counter-clockwise. A degenerate drag (p on q, or either on the centre)
    // gives 0. Every rotation, its previews and the point and image classes
    // take their angle from here.
    static double RotationAngleOf3Points(const CGeoPoint& c, const CGeoPoint& p, const CGeoPoint& q);
    // The shear of Skew on one point; a reference of zero extent (to = from)
    // leaves the point unchanged. False when nothing was changed.
    static bool SkewPoint(double& x, double& y, double factor, double from, double to, int direction);
    // The same shear on every node of a list (for Skew and its previews).
    static void SkewNodeList(DOCNODE* head, double factor, double from, double to, int direction);
    // Settings in force for a context: its own, else the process-wide block.
    static const SoftwareSettings& SettingsOf(const DOCCONTEXT* ctx);

    LEADINOUT* m_pLeadInOut = nullptr;
    ARRAYREC* m_pArray = nullptr;
    CDocData* m_pAttached = nullptr;
    ENDGAP* m_pEndGap = nullptr;
    std::uint32_t m_nColor = 0;
    std::int32_t m_nLayer = 0;
    std::uint8_t m_bOutput = 1; // output when (value AND 0x7F) != 0
    std::uint32_t m_nType = MT_UNKNOWN;
    std::uint8_t m_bSelected = 0;
    std::uint8_t m_bNodesSelected = 0;
    std::uint8_t m_bClosed = 0;
    CGeoBox m_rcBound;
    DOCNODE* m_pNodes = nullptr;
    CDocData* m_pPrev = nullptr;
    CDocData* m_pNext = nullptr;

    // True when the array record describes more than one copy.
    bool HasArrayCopies() const;
    // True when the output switch (low seven bits) is on.
    bool IsOutputOn() const { return (m_bOutput & 0x7F) != 0; }

protected:
    // Bodies that several classes share; each class's override calls the one
    // that its behaviour names.
    bool SharedSelectAllNodes();
    // Every anchor in state 1; controls and the node-editing flag untouched.
    void MarkAnchorsSelected();
    bool SharedDeselectNodes(); // polyline family
    void SharedSetColor(std::int32_t layer, std::uint32_t color);
    bool SharedGetStartPoint(CGeoPoint& point) const;
    bool SharedGetEndPoint(CGeoPoint& point) const;
    DOCNODE* SharedCopyNodes() const; // polyline family
    void SharedDrawStartPoint(CDC* dc, DOCCONTEXT* ctx) const;
    void SharedDrawIndex(CDC* dc, DOCCONTEXT* ctx, int number) const;
    // Nodes, lead points and end-gap marker translated.
    void ShiftOutline(double dx, double dy);
    void SharedMove(const CGeoPoint& from, const CGeoPoint& to, DOCCONTEXT* ctx); // ellipse, rectangle
    // The polyline's and the Bezier path's move: the box is translated with
    // the outline instead of recomputed.
    void SharedMoveWithBox(const CGeoPoint& from, const CGeoPoint& to);
    void SharedDrawMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to) const;
    void SharedScale(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx);
    void SharedSkew(double factor, double from, double to, int direction, DOCCONTEXT* ctx);
    void SharedRotate(const CGeoPoint& centre, double angle, DOCCONTEXT* ctx);
    void SharedRotateBy3Points(const CGeoPoint& centre, const CGeoPoint& from, const CGeoPoint& to,
                               DOCCONTEXT* ctx);
    // The polyline family's node hit and selected-anchor box.
    std::uint8_t SharedSelectNodeAt(double x, double y, double tol, std::uint8_t state);
    bool SharedUnionSelectedNodesRect(CGeoBox& box, bool withNeighbours, bool reset);
    // The Bezier path's reflection: nodes only; lead and end-gap points stay.
    CDocData* SharedMirrorNodes(double x1, double y1, double x2, double y2, bool asCopy, bool reverse,
                                DOCCONTEXT* ctx);
    // The copy step of the ellipse, polyline and rectangle copy constructors,
    // used on a freshly constructed object.
    void CopyFrom(const CDocData& source);
    // What every copy step takes over alike: layer, colour, output switch,
    // box, deep copies of the end-gap, lead and array records and of the
    // attached objects; the copy is left unlinked.
    void CopyAttributesFrom(const CDocData& source);
    // Dotted pen of width 1 in background XOR object colour, for the
    // exclusive-or previews.
    plat::Pen PreviewPen(const DOCCONTEXT* ctx) const;
};

// Memory for code that makes objects by the million: taken from the object
// pool a batch at a time, under one lock instead of one each. An object is
// built in it with ::new (stock.Take(sizeof(T))) T(...) and freed like any
// other; what the stock still holds goes back when it ends.
class DocDataStock {
public:
    DocDataStock() = default;
    ~DocDataStock();
    DocDataStock(const DocDataStock&) = delete;
    DocDataStock& operator=(const DocDataStock&) = delete;

    void* Take(std::size_t size);

private:
    static constexpr std::size_t kBatch = 64;
    void* m_slots[kBatch] = {};
    std::size_t m_left = 0; // slots [0, m_left) not handed out yet
};

// While one lives on a thread, the objects that thread makes and frees come
// from and go back to the object pool in batches, the freed ones serving
// its next objects first (plat::RecordPool::Batches): threads that copy
// objects side by side do not queue for the pool's lock.
class ObjectBatches {
public:
    ObjectBatches();
    ~ObjectBatches();
    ObjectBatches(const ObjectBatches&) = delete;
    ObjectBatches& operator=(const ObjectBatches&) = delete;

private:
    void* m_batches = nullptr; // the pool's batches, where there is a pool
};

// Destroys every object of a list through its virtual destructor; the head
// becomes null.
void DeleteObjectList(CDocData*& head);

// Takes o out of the list that starts at head; its own links are cleared.
inline void UnlinkObject(CDocData*& head, CDocData* o)
{
    if (o->m_pPrev != nullptr)
        o->m_pPrev->m_pNext = o->m_pNext;
    else
        head = o->m_pNext;
    if (o->m_pNext != nullptr)
        o->m_pNext->m_pPrev = o->m_pPrev;
    o->m_pPrev = nullptr;
    o->m_pNext = nullptr;
}

// Appends o to a chain given by its head and tail.
inline void AppendObject(CDocData*& head, CDocData*& tail, CDocData* o)
{
    o->m_pPrev = tail;
    o->m_pNext = nullptr;
    (tail != nullptr ? tail->m_pNext : head) = o;
    tail = o;
}

// Links a chain (first .. last) into the list that starts at head, after
// `after`, or at the head when it is null.
inline void LinkAfter(CDocData*& head, CDocData* after, CDocData* first, CDocData* last)
{
    CDocData* const before = after != nullptr ? after->m_pNext : head;
    first->m_pPrev = after;
    last->m_pNext = before;
    (after != nullptr ? after->m_pNext : head) = first;
    if (before != nullptr)
        before->m_pPrev = last;
}

// Unlinks and destroys every object without nodes. Groups and texts stay and
// are cleaned inside.
void DeleteEmptyObjects(CDocData*& head);
