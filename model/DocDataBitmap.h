// The image object: a raster image placed on the drawing for engraving. It
// holds no pixels, only the path of an uncompressed BMP file, a name, a
// placement origin, the raster scan's image flag and five corner nodes
// (the closed outline of the image, its size taken from the file's header).
// The pixels are read again whenever the image is drawn or scanned.
//
// Turning by quarter turns, flipping and scaling rewrite the pixels or the
// resolution, never in place: each rewrite goes to a new file in the file
// folder and the object then points to it. Copies of an object (and so the
// undo snapshots) keep the file they had, so undoing a turn shows the old
// pixels again.
#pragma once
#include "DocData.h"

#include <cstdint>
#include <string>

struct BMPHEADER;
struct WorkParams;

class CDocDataBitmap : public CDocData {
public:
    // Without a file: no nodes, origin (0, 0), flag 0.
    CDocDataBitmap();
    // Reads the file's header for the nodes (none when the file is missing
    // or not a BMP that checks out); the new object is selected.
    CDocDataBitmap(const std::string& name, const std::string& path, double x, double y, std::uint8_t flag,
                   DOCCONTEXT* ctx);
    // Refers to the same file as the source.
    CDocDataBitmap(const CDocDataBitmap& source);
    CDocDataBitmap& operator=(const CDocDataBitmap&) = delete;
    ~CDocDataBitmap() override = default;

    // Copy by the copy constructor; null when the object is not an image.
    static CDocData* Copy(const CDocData& source);

    // Rebuilds the five nodes from the file: width x 10000 / horizontal and
    // height x 10000 / vertical pixels per metre (world units; 3780 pixels
    // per metre where the file gives none). No nodes when the file cannot be
    // read or its header does not check out.
    void ReadBmpHeader();

    // The raster scan of the image with a layer's parameters, placed on the
    // image in world units, as one output path (owned by the caller); null
    // when there is nothing to engrave or the file cannot be read or copied.
    // The file is copied into the work folder first, as every job does.
    PATHREC* MakeScanPath(const WorkParams& params, int originCorner, int posPoint);

    bool DeselectNodes() override;
    bool HitTest(double x, double y, double tol) override;
    void SetColor(std::int32_t layer, std::uint32_t color) override;
    bool GetStartPoint(CGeoPoint& point) override;
    bool GetEndPoint(CGeoPoint& point) override;
    void Draw(CDC* dc, DOCCONTEXT* ctx) override;
    void DrawIndex(CDC* dc, DOCCONTEXT* ctx, int number) override;
    void DrawArrayCopies(CDC* dc, DOCCONTEXT* ctx) override;
    void Move(const CGeoPoint& from, const CGeoPoint& to, DOCCONTEXT* ctx) override;
    void DrawMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to) override;
    void Scale(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx) override;
    void DrawScalePreview(DOCCONTEXT* ctx, CDC* dc, double cx, double cy, double sx, double sy) override;
    // Turns by a quarter turn chosen from the whole degrees d of the angle (a
    // negative d taken into 0 .. 359): 90 up to 90, 180 up to 180, 270 up to
    // 270; nothing for d = 0, d above 270 or angles below 0.001 radians.
    void Rotate(const CGeoPoint& centre, double angle, DOCCONTEXT* ctx) override;
    void RotateBy3Points(const CGeoPoint& centre, const CGeoPoint& from, const CGeoPoint& to,
                         DOCCONTEXT* ctx) override;
    // Reflects the outline and the origin only; the pixels stay.
    CDocData* MirrorAbout(double x1, double y1, double x2, double y2, bool asCopy, bool reverse,
                          DOCCONTEXT* ctx) override;
    void Flip(const CGeoPoint& centre, bool horizontal, bool vertical, DOCCONTEXT* ctx) override;
    // Scales the outline and the file's resolution (the pixels stay). When
    // the file cannot be read or rewritten nothing changes, array pitches
    // included.
    void ScaleNodes(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx) override;

    std::string m_strName;
    std::string m_strPath;
    std::uint8_t m_bFlag = 0; // set: the raster scan skips its slope shading
    double m_x = 0.0;
    double m_y = 0.0;

private:
    // The file's bytes when it is a one-byte-per-pixel bottom-up BMP, the
    // form that turning and mirroring work on.
    bool LoadGrey8(std::string& bytes, BMPHEADER& header) const;
    // Writes the bytes as a new file in the file folder and points the
    // object at it; false, with the object unchanged, when that fails.
    bool StoreRewrite(const std::string& bytes);
    // After a turn, flip or scaling: box from the nodes, origin at its minimum.
    void AfterTransform(DOCCONTEXT* ctx);
    void PlaceOriginAtBox();
    void StretchInto(CDC& dc, const DOCCONTEXT& ctx, const CGeoBox& world) const;
};
