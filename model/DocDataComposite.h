// The operation bodies that the group and the text object share: both hold
// an owned list of child objects instead of nodes and answer almost every
// operation by asking each child in list order. Hit and select queries stop
// at the first child that answers true.
#pragma once
#include "DocData.h"

class CDocDataComposite : public CDocData {
public:
    ~CDocDataComposite() override;

    bool SelectAllNodes() override;
    bool DeselectNodes() override;
    bool SelectInRect(const CGeoBox& box) override;
    std::uint8_t SelectNodeAt(double x, double y, double tol, std::uint8_t state) override;
    bool HitSegment(double x, double y, double tol, std::uint8_t state) override;
    bool UnionSelectedNodesRect(CGeoBox& box, bool withNeighbours, bool reset) override;
    bool HitTest(double x, double y, double tol) override;
    void SetSelected(std::uint8_t selected) override;
    void SetColor(std::int32_t layer, std::uint32_t color) override;
    // The children's boxes, plus the own array extent. A composite without
    // children keeps the empty box.
    void RecalcBoundRect(DOCCONTEXT* ctx) override;
    CGeoBox GetAnchorRect() override;
    bool Reverse() override;
    bool SetStartPoint(double x, double y, double tol) override;
    bool GetStartPoint(CGeoPoint& point) override;
    bool GetEndPoint(CGeoPoint& point) override;
    // The children's paths between a bracket pair that carries the own array
    // record, or a 1 x 1 record of the box's size. Null when no child yields
    // a path.
    PATHREC* MakeOutputPath() override;
    void Draw(CDC* dc, DOCCONTEXT* ctx) override;
    void DrawArrayPreview(CDC* dc, DOCCONTEXT* ctx, const ARRAYREC* array) override;
    void DrawNodes(CDC* dc, DOCCONTEXT* ctx) override;
    void DrawStartPoint(CDC* dc, DOCCONTEXT* ctx) override;
    void DrawIndex(CDC* dc, DOCCONTEXT* ctx, int number) override;
    void DrawDirection(CDC* dc, DOCCONTEXT* ctx) override;
    void Move(const CGeoPoint& from, const CGeoPoint& to, DOCCONTEXT* ctx) override;
    void DrawMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to) override;
    void Scale(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx) override;
    void DrawScalePreview(DOCCONTEXT* ctx, CDC* dc, double cx, double cy, double sx, double sy) override;
    void Skew(double factor, double from, double to, int direction, DOCCONTEXT* ctx) override;
    void DrawSkewPreview(DOCCONTEXT* ctx, CDC* dc, double factor, double from, double to, int direction) override;
    // Rotations leave the box at the children's union, without the own array
    // extent, until the next RecalcBoundRect.
    void Rotate(const CGeoPoint& centre, double angle, DOCCONTEXT* ctx) override;
    void RotateBy3Points(const CGeoPoint& centre, const CGeoPoint& from, const CGeoPoint& to,
                         DOCCONTEXT* ctx) override;
    void DrawRotatePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& centre, const CGeoPoint& from,
                           const CGeoPoint& to) override;
    void MoveSelectedNodes(const CGeoPoint& from, const CGeoPoint& to, int mode, DOCCONTEXT* ctx) override;
    void DrawNodeMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to,
                             int mode) override;
    CDocData* MirrorAbout(double x1, double y1, double x2, double y2, bool asCopy, bool reverse,
                          DOCCONTEXT* ctx) override;
    void Flip(const CGeoPoint& centre, bool horizontal, bool vertical, DOCCONTEXT* ctx) override;
    void DrawMirrorPreview(DOCCONTEXT* ctx, CDC* dc, double x1, double y1, double x2, double y2) override;
    // Children scaled; the own box is the old box scaled. With an array
    // record the gap between copies stays as it was and the box is that of
    // the scaled copies.
    void ScaleNodes(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx) override;
    bool InsertNodeAt(double x, double y, double tol) override;
    bool DeleteSelectedNodes() override;
    CDocData** ChildList() override { return &m_pChildren; }

    // Head of the owned child list (the children's own links).
    CDocData* m_pChildren = nullptr;

protected:
    CDocDataComposite() = default;
    // New copy made by the class's own copy constructor.
    virtual CDocData* CopySelf() const = 0;
    // Takes the children, then layer and colour from the first, the box and
    // the selected flag: the end of the constructors from a list.
    void AdoptChildren(CDocData* children, DOCCONTEXT* ctx);
    // The copy step of both classes on a fresh object; `children` is the
    // class's deep copy of the source's children.
    void CopyCompositeFrom(const CDocDataComposite& source, CDocData* children);
    CDocData* LastChild() const;
};
