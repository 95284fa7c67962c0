#include "FileReadTrans.h"

#include "BmpLoader.h"
#include "DocFileReader.h"
#include "FileTransAi.h"
#include "FileTransDsb.h"
#include "FileTransDst.h"
#include "FileTransDxf.h"
#include "FileTransPlt.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataBitmap.h"
#include "model/DocDataEllipse.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/NodeList.h"
#include "platform/Folders.h"
#include "platform/ImportOptions.h"
#include "platform/NumText.h"
#include "platform/ParallelFor.h"
#include "platform/Prompt.h"
#include "platform/WorkControl.h"
#include "platform/WorkFolder.h"
#include "processing/FileTrans.h"
#include "processing/PathProc.h"
#include "settings/LanguageTable.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <numbers>
#include <numeric>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <vector>

namespace {

// What a road may leave to the clean-up: the flip into the document's
// orientation, made on the first walk over the new objects, and the new
// objects one by one when the road has gathered them (many polylines and
// curves, for work side by side).
struct RoadResult {
    CFileTrans::OriginFlip flip;
    std::vector<CDocData*> lines;
    // The operator cancelled the road's question.
    bool cancelled = false;
    // Files the road wrote for its objects.
    std::vector<std::string> made;
    // The road's image took the first free layer of the context's document.
    bool freeLayer = false;
};

// A road turns a file into a new object list in world units and the
// document's orientation, asking the operator first where it needs to.
// False, or no list: nothing is imported.
using ImportRoad = bool (*)(const std::string& path, CDocData*& list, DOCCONTEXT* ctx, bool place, RoadResult& out);

bool ReadWcvrRoad(const std::string& path, CDocData*& list, DOCCONTEXT* ctx, bool place, RoadResult& out);
bool ReadImageRoad(const std::string& path, CDocData*& list, DOCCONTEXT* ctx, bool place, RoadResult& out);
bool ReadBmpRoad(const std::string& path, CDocData*& list, DOCCONTEXT* ctx, bool place, RoadResult& out);
bool ReadDsbRoad(const std::string& path, CDocData*& list, DOCCONTEXT* ctx, bool place, RoadResult& out);
bool ReadDstRoad(const std::string& path, CDocData*& list, DOCCONTEXT* ctx, bool place, RoadResult& out);
bool ReadDxfRoad(const std::string& path, CDocData*& list, DOCCONTEXT* ctx, bool place, RoadResult& out);
bool ReadAiRoad(const std::string& path, CDocData*& list, DOCCONTEXT* ctx, bool place, RoadResult& out);
bool ReadPltRoad(const std::string& path, CDocData*& list, DOCCONTEXT* ctx, bool place, RoadResult& out);

struct RoadRow {
    std::string_view ext;
    ImportRoad road;
};

// The extensions in the order they are compared. A row without a road
// imports nothing.
constexpr RoadRow kRoads[] = {
    {"wcvr", &ReadWcvrRoad}, // native drawing file
    {"jpg", &ReadImageRoad}, // images
    {"png", &ReadImageRoad},
    {"gif", &ReadImageRoad},
    {"bmp", &ReadBmpRoad},
    {"dsb", &ReadDsbRoad}, // stitch files
    {"dst", &ReadDstRoad},
    {"dxf", &ReadDxfRoad},
    {"ai", &ReadAiRoad},
    {"plt", &ReadPltRoad},
};

constexpr std::u16string_view kErrorSection = u"phase15:error-hint";
constexpr int kOutOfWorldText = 45;

constexpr double kDuplicateTol = 0.001;
// Thousandths of a file's import done once its road has read it.
constexpr int kReadStep = 700;
constexpr double kUniteTol = 0.001;
constexpr double kReduceLength = 1.0;
constexpr double kReduceAngle = std::numbers::pi / 2.0;
// Origin corners of the conversions; between 0 and 2 only y is mirrored.
constexpr int kCorner0 = 0;
constexpr int kCorner2 = 2;
constexpr double kOwnPltFactor = 4.0;
// The DXF reader gives micrometres whatever the drawing unit.
constexpr double kDxfFactor = 100.0;
constexpr double kDxfCurveTol = 1000.0;
// The maker word stands on a short first line; a foreign file's first line
// may be the whole file, so only its start is searched.
constexpr std::size_t kFirstLineLimit = 4096;
// Names tried for the BMP of a converted image.
constexpr int kMaxConversionNames = 100000;

// Objects per piece of the side-by-side work on a new list, which takes
// lists of at least two pieces.
constexpr std::size_t kPiece = 8192;

// The objects of a list when all of them are polylines, ellipses or Bezier
// paths (the curves a drawing program writes) and enough of them for the
// work on them to be shared out; else nothing. Scaling, flipping, cleaning,
// moving and node reduction of such an object touch its own nodes and box
// only.
std::vector<CDocData*> ObjectsSideBySide(CDocData* list)
{
    std::vector<CDocData*> lines;
    try {
        for (CDocData* o = list; o != nullptr; o = o->m_pNext) {
            const bool own = o->GetType() == MT_LINE || typeid(*o) == typeid(CDocDataEllipse) ||
                             typeid(*o) == typeid(CDocDataBezier);
            if (!own)
                return {};
            lines.push_back(o);
        }
    } catch (const std::bad_alloc&) {
        // The walks one object at a time need no memory of their own.
        return {};
    }
    if (lines.size() < 2 * kPiece)
        return {};
    return lines;
}

std::string Extension(const std::string& path)
{
    const std::size_t dot = path.rfind('.');
    std::string ext = dot == std::string::npos ? path : path.substr(dot + 1);
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return ext;
}

bool FirstLineHoldsMakerWord(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string head(kFirstLineLimit, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    const std::size_t end = head.find('\n');
    if (end != std::string::npos)
        head.resize(end);
    return head.find(kPltMakerWord) != std::string::npos;
}

// The answers of the import dialogs are kept in software.par, unless the
// dialogs in force only look (a preview).
void Remember(const SoftwareSettings& settings)
{
    if (plat::GetImportOptions().KeepsAnswers())
        CReadParamFile().WriteSoftwareParam(settings);
}

// The system's own drawings are in world units already.
bool ReadWcvrRoad(const std::string& path, CDocData*& list, DOCCONTEXT* ctx, bool, RoadResult& out)
{
    CDocFileReader reader;
    if (!reader.Read(path, list, ctx))
        return false;
    out.made = reader.Written();
    return true;
}

// A BMP becomes one image object, already placed, after the operator has
// confirmed the bitmap options; the confirmed options are remembered.
bool ReadBmpRoad(const std::string& path, CDocData*& list, DOCCONTEXT* ctx, bool place, RoadResult& out)
{
    SoftwareSettings& settings = SettingsOf(ctx);
    plat::BitmapChoice choice;
    choice.m_bGrey = settings.bitmap_type;
    choice.m_nHalftone = settings.bitmap_dot;
    choice.m_angleText = plat::FormatInt(settings.dot_agl);
    choice.m_dCellSize = settings.dot_size;
    if (plat::GetImportOptions().AskBitmap(choice) != plat::IDOK) {
        out.cancelled = true;
        return false;
    }
    settings.bitmap_type = choice.m_bGrey;
    settings.bitmap_dot = choice.m_nHalftone != 0 ? 1 : 0;
    settings.dot_agl = static_cast<std::uint8_t>(plat::ParseInt(choice.m_angleText));
    settings.dot_size = choice.m_dCellSize;
    Remember(settings);
    CBmpLoader loader;
    loader.Reset();
    if (!loader.LoadBitmap(path, list, &choice, ctx, place))
        return false;
    out.made.push_back(static_cast<const CDocDataBitmap*>(list)->m_strPath);
    out.freeLayer = true;
    return true;
}

// JPEG, PNG and GIF files are converted into a BMP in the work folder
// first, under the file's name unless a file has that name already.
bool ReadImageRoad(const std::string& path, CDocData*& list, DOCCONTEXT* ctx, bool place, RoadResult& out)
{
    const std::string folder = plat::WithTrailingSeparator(CReadParamFile().GetWorkPath());
    if (!plat::CreateOwnFolder(folder))
        return false;
    std::string stem = plat::FileNameOf(path);
    stem.erase(std::min(stem.rfind('.'), stem.size()));
    std::string target = folder + stem + ".bmp";
    std::error_code ec;
    for (int n = 1; std::filesystem::exists(std::filesystem::symlink_status(target, ec)); ++n) {
        if (n > kMaxConversionNames)
            return false;
        target = folder + stem + "~" + plat::FormatInt(n) + ".bmp";
    }
    if (CBmpLoader::ConvertToBmp(path, target) && ReadBmpRoad(target, list, ctx, place, out)) {
        out.made.push_back(target);
        return true;
    }
    // A cancelled or failed import leaves no copy behind.
    std::filesystem::remove(target, ec);
    return false;
}

// Stitch units are world units: only y is mirrored.
bool ReadDsbRoad(const std::string& path, CDocData*& list, DOCCONTEXT* ctx, bool, RoadResult&)
{
    CFileTransDsb reader;
    reader.ReadDsb(path, list, ctx);
    CFileTrans::ConvertOrigin(list, kCorner2, kCorner0, ctx);
    return true;
}

bool ReadDstRoad(const std::string& path, CDocData*& list, DOCCONTEXT* ctx, bool, RoadResult&)
{
    CFileTransDst reader;
    reader.ReadDst(path, list, ctx);
    CFileTrans::ConvertOrigin(list, kCorner2, kCorner0, ctx);
    return true;
}

// DXF: the operator confirms the drawing unit first (0 the file's own,
// 1 inches, 2 millimetres), which the reader applies itself.
bool ReadDxfRoad(const std::string& path, CDocData*& list, DOCCONTEXT* ctx, bool, RoadResult& out)
{
    SoftwareSettings& settings = SettingsOf(ctx);
    std::uint8_t unit = settings.dxf_dimension;
    if (plat::GetImportOptions().AskDimensions(unit) != plat::IDOK) {
        out.cancelled = true;
        return false;
    }
    settings.dxf_dimension = unit;
    Remember(settings);
    CFileTransDxf reader;
    reader.SetUnitChoice(unit);
    reader.m_dCurveTol = kDxfCurveTol;
    if (!reader.ReadDxf(path, list, ctx))
        return false;
    out.lines = ObjectsSideBySide(list);
    out.flip = out.lines.empty() ? CFileTrans::ScaleForOrigin(list, kDxfFactor, kCorner2, kCorner0, ctx)
                                 : CFileTrans::ScaleForOrigin(out.lines, kDxfFactor, kCorner2, kCorner0, ctx);
    return true;
}

// Illustrator: the reader brings points to world units itself.
bool ReadAiRoad(const std::string& path, CDocData*& list, DOCCONTEXT* ctx, bool, RoadResult&)
{
    CFileTransAi reader;
    if (!reader.ReadAi(path, list, ctx))
        return false;
    CFileTrans::ConvertOrigin(list, kCorner2, kCorner0, ctx);
    return true;
}

// HPGL: the reader runs first, then the operator confirms the resolution,
// shown with the drawing's size in file units; the system's own files are
// in plotter units whatever the answer.
bool ReadPltRoad(const std::string& path, CDocData*& list, DOCCONTEXT* ctx, bool, RoadResult& out)
{
    CFileTransPlt reader;
    if (!reader.ReadPlt(path, list, ctx))
        return false;
    const bool own = FirstLineHoldsMakerWord(path);
    double xmin = 1e8, xmax = -1e8, ymin = 1e8, ymax = -1e8;
    CFileTrans::GetObjectsBoundRect(list, xmin, xmax, ymin, ymax);
    SoftwareSettings& settings = SettingsOf(ctx);
    plat::ResolutionChoice choice;
    choice.m_dWidth = xmax - xmin;
    choice.m_dHeight = ymax - ymin;
    choice.m_nResolution = settings.plt_resolution;
    choice.m_nCustom = settings.plt_other_resolution;
    if (plat::GetImportOptions().AskResolution(choice) != plat::IDOK || choice.m_nResolution < 1) {
        DeleteObjectList(list);
        out.cancelled = true;
        return false;
    }
    settings.plt_resolution = choice.m_nResolution;
    settings.plt_other_resolution = choice.m_nCustom;
    Remember(settings);
    const double factor = own ? kOwnPltFactor : settings.plt_resolution / 25.4 / 10.0;
    CFileTrans::ScaleAndConvertOrigin(list, factor, kCorner0, kCorner2, ctx);
    return true;
}

// The extent of the nodes of new objects as the clean-up will leave them
// (flipped where the road left that), and whether every one of them was a
// number within the world's reach.
struct WorldExtent {
    double x0 = kWorldLimit, x1 = -kWorldLimit, y0 = kWorldLimit, y1 = -kWorldLimit;
    bool inRange = true;

    void Add(const CDocData* o, const CFileTrans::OriginFlip& flip)
    {
        const bool flipX = flip.pending && flip.horizontal, flipY = flip.pending && flip.vertical;
        ForEachNode(o->m_pNodes, [&](DOCNODE& n) {
            const double x = flipX ? 2.0 * flip.cx - n.m_x : n.m_x;
            const double y = flipY ? 2.0 * flip.cy - n.m_y : n.m_y;
            inRange = inRange && InWorldRange(x) && InWorldRange(y) && InWorldRange(n.m_x) && InWorldRange(n.m_y);
            x0 = std::min(x0, x);
            x1 = std::max(x1, x);
            y0 = std::min(y0, y);
            y1 = std::max(y1, y);
        });
        if (CDocData* const* children = const_cast<CDocData*>(o)->ChildList())
            for (const CDocData* c = *children; c != nullptr; c = c->m_pNext)
                Add(c, flip);
    }
    void Join(const WorldExtent& e)
    {
        inRange = inRange && e.inRange;
        x0 = std::min(x0, e.x0);
        x1 = std::max(x1, e.x1);
        y0 = std::min(y0, e.y0);
        y1 = std::max(y1, e.y1);
    }
};

// Whether a new drawing lies within the world's reach, and, placed with its
// lower-left corner on `placeAt`, still does.
bool DrawingInWorld(CDocData* list, const RoadResult& road, const CGeoPoint* placeAt)
{
    WorldExtent extent;
    if (!road.lines.empty()) {
        const std::size_t pieces = (road.lines.size() + kPiece - 1) / kPiece;
        std::vector<WorldExtent> parts(pieces);
        plat::ParallelFor(pieces, [&](std::size_t k) {
            const std::size_t end = std::min(road.lines.size(), (k + 1) * kPiece);
            for (std::size_t i = k * kPiece; i < end; ++i)
                parts[k].Add(road.lines[i], road.flip);
        });
        for (const WorldExtent& e : parts)
            extent.Join(e);
    } else {
        for (const CDocData* o = list; o != nullptr; o = o->m_pNext)
            extent.Add(o, road.flip);
    }
    if (!extent.inRange)
        return false;
    if (placeAt == nullptr || extent.x0 > extent.x1)
        return true;
    return InWorldRange(placeAt->m_x + (extent.x1 - extent.x0)) && InWorldRange(placeAt->m_y + (extent.y1 - extent.y0));
}

// step(o) for every object, in pieces side by side; `boxes` gets the union
// of each piece's boxes after the steps. Returns how many steps returned
// true (none when they return nothing).
template <typename Step>
std::size_t EachPiece(const std::vector<CDocData*>& objects, std::vector<CGeoBox>& boxes, const Step& step)
{
    const std::size_t pieces = (objects.size() + kPiece - 1) / kPiece;
    boxes.assign(pieces, CGeoBox());
    std::vector<std::size_t> counted(pieces, 0);
    plat::ParallelFor(pieces, [&](std::size_t k) {
        CGeoBox box;
        box.SetEmpty();
        std::size_t count = 0;
        const std::size_t end = std::min(objects.size(), (k + 1) * kPiece);
        for (std::size_t i = k * kPiece; i < end; ++i) {
            if constexpr (std::is_same_v<decltype(step(objects[i])), bool>)
                count += step(objects[i]) ? 1 : 0;
            else
                step(objects[i]);
            box.Union(objects[i]->m_rcBound);
        }
        boxes[k] = box;
        counted[k] = count;
    });
    return std::accumulate(counted.begin(), counted.end(), std::size_t{0});
}

// The union of the boxes of the objects of each piece, joined in list order:
// the union of one walk, as long as no box holds a value that is not a
// number (which a union keeps or drops by its place); then one walk makes it.
CGeoBox JoinPieceBoxes(const std::vector<CGeoBox>& pieces, const std::vector<CDocData*>& objects)
{
    CGeoBox box;
    box.SetEmpty();
    bool numbers = true;
    for (const CGeoBox& b : pieces) {
        numbers = numbers && !std::isnan(b.m_xmin) && !std::isnan(b.m_xmax) && !std::isnan(b.m_ymin) &&
                  !std::isnan(b.m_ymax);
        box.Union(b);
    }
    if (numbers)
        return box;
    box.SetEmpty();
    for (const CDocData* o : objects)
        box.Union(o->m_rcBound);
    return box;
}

// The placing walk of AddToDocument for many polylines and curves, in
// pieces side by side: every object is moved first, then, once the moved
// boxes are known not to be all empty, the document's objects are reduced
// in order and the new ones reduced and selected. Each object goes through the same steps in
// the same order as on the walk, and the boxes are joined in list order.
void PlaceSideBySide(DOCCONTEXT* ctx, CDocData* first, CDocData* list, const std::vector<CDocData*>& lines,
                     const CGeoPoint& from, CPathProc::NodeReduction& reduction, bool& reduced, CGeoBox& chosen)
{
    std::vector<CGeoBox> boxes;
    EachPiece(lines, boxes, [&](CDocData* o) { o->Move(from, ctx->m_ptMouse, ctx); });
    ctx->m_rcSelect = JoinPieceBoxes(boxes, lines);
    if (ctx->m_rcSelect.IsEmpty())
        return;
    reduced = true;
    const bool reducing = reduction.Start(ctx);
    for (CDocData* w = first; reducing && w != list; w = w->m_pNext)
        reduction.Take(w, ctx);
    // The progress control is stepped on this thread, once the pieces are
    // done, as often and in the order the walk would step it.
    const std::size_t steps = EachPiece(lines, boxes, [&](CDocData* o) {
        const bool stepped = reducing && reduction.Reduce(o, ctx);
        o->SetSelected(1);
        return stepped;
    });
    for (std::size_t k = 0; k < steps; ++k)
        reduction.Step();
    chosen = JoinPieceBoxes(boxes, lines);
}

// Clean-up of a new list, without the document: each object is flipped
// where its road left that and cleaned before any is joined (many
// polylines and curves in pieces side by side first, else on the
// uniting's first walk). The box of the cleaned objects.
CGeoBox CleanUp(DOCCONTEXT* ctx, CDocData*& list, const RoadResult& road)
{
    const CFileTrans::OriginFlip& flip = road.flip;
    auto prepare = [ctx, &flip](CDocData* o) {
        flip.Apply(o, ctx);
        RemoveDuplicatePoints(o->m_pNodes, kDuplicateTol);
        o->SetSelected(1);
        o->RecalcBoundRect(ctx);
    };
    CGeoBox box;
    box.SetEmpty();
    std::vector<CDocData*> gathered;
    if (road.lines.empty())
        gathered = ObjectsSideBySide(list);
    const std::vector<CDocData*>& lines = road.lines.empty() ? gathered : road.lines;
    if (!lines.empty()) {
        std::vector<CGeoBox> boxes;
        EachPiece(lines, boxes, prepare);
        box = JoinPieceBoxes(boxes, lines);
        CPathProc::UniteCurves(list, kUniteTol, 0, ctx, lines);
    } else {
        CPathProc::UniteCurves(list, kUniteTol, 0, ctx, [&box, &prepare](CDocData* o) {
            prepare(o);
            box.Union(o->m_rcBound);
        });
    }
    return box;
}

// Placement and linking of a cleaned list, as one undo step.
void AddToDocument(DOCCONTEXT* ctx, CDocData* list, bool place, const CGeoBox& cleaned)
{
    CDocState::PushHistory(ctx);
    ctx->m_rcSelect = cleaned;

    // The document's objects are no longer selected; the new ones follow
    // them.
    CDocData*& first = ctx->m_pCurrent->m_pFirst;
    bool oldSelected = false;
    bool anyBezier = false;
    if (first == nullptr) {
        first = list;
    } else {
        CDocData* last = first;
        for (;;) {
            last->SetSelected(0);
            oldSelected = oldSelected || last->IsSelected() != 0;
            anyBezier = anyBezier || last->GetType() == MT_BEZIER;
            if (last->m_pNext == nullptr)
                break;
            last = last->m_pNext;
        }
        last->m_pNext = list;
        list->m_pPrev = last;
    }

    // Placing, node reduction and selecting in one walk, while an object's
    // nodes are at hand. The reduction starts once the selection box is
    // known not to be empty (as it would after all objects are placed), and
    // takes up the objects placed before then. Without Bezier paths to
    // turn into polylines nothing changes an object after this walk, so it
    // also selects the new objects and gathers their boxes.
    bool reduced = false;
    CGeoBox chosen;
    chosen.SetEmpty();
    if (place && !oldSelected && !ctx->m_rcSelect.IsEmpty()) {
        const CGeoPoint from(ctx->m_rcSelect.m_xmin, ctx->m_rcSelect.m_ymin);
        ctx->m_rcSelect.SetEmpty();
        CPathProc::NodeReduction reduction(kReduceLength, kReduceAngle);
        bool reducing = false;
        const std::vector<CDocData*> placed = ObjectsSideBySide(list);
        if (!placed.empty()) {
            PlaceSideBySide(ctx, first, list, placed, from, reduction, reduced, chosen);
            anyBezier = anyBezier || std::any_of(placed.begin(), placed.end(),
                                                 [](const CDocData* o) { return o->GetType() == MT_BEZIER; });
        }
        for (CDocData* o = placed.empty() ? list : nullptr; o != nullptr; o = o->m_pNext) {
            o->Move(from, ctx->m_ptMouse, ctx);
            ctx->m_rcSelect.Union(o->m_rcBound);
            anyBezier = anyBezier || o->GetType() == MT_BEZIER;
            if (!reduced) {
                if (ctx->m_rcSelect.IsEmpty())
                    continue;
                reduced = true;
                reducing = reduction.Start(ctx);
                for (CDocData* w = first; reducing && w != list; w = w->m_pNext)
                    reduction.Take(w, ctx);
                for (CDocData* w = list; w != o; w = w->m_pNext) {
                    if (reducing)
                        reduction.Take(w, ctx);
                    w->SetSelected(1);
                    chosen.Union(w->m_rcBound);
                }
            }
            if (reducing)
                reduction.Take(o, ctx);
            o->SetSelected(1);
            chosen.Union(o->m_rcBound);
        }
    } else if (place && !ctx->m_rcSelect.IsEmpty()) {
        const CGeoPoint from(ctx->m_rcSelect.m_xmin, ctx->m_rcSelect.m_ymin);
        ctx->m_rcSelect.SetEmpty();
        for (CDocData* o = list; o != nullptr; o = o->m_pNext) {
            o->Move(from, ctx->m_ptMouse, ctx);
            ctx->m_rcSelect.Union(o->m_rcBound);
        }
    }
    // An empty box after the walk reduces nothing.
    const bool walked = place && !oldSelected;

    CDocState base;
    CDocState* tool = CurrentTool(ctx);
    (tool != nullptr ? tool : &base)->ApplyLayerFlags(ctx);
    if (!walked)
        CPathProc::ReduceNodes(ctx, kReduceLength, kReduceAngle);

    if (reduced && !anyBezier) {
        // Every new object was selected and gathered on the walk; at least
        // one box was not empty, so the union does not depend on where it
        // starts.
        CGeoBox box = first->m_rcBound;
        for (CDocData* o = first; o != list; o = o->m_pNext) {
            o->SetSelected(1);
            box.Union(o->m_rcBound);
        }
        box.Union(chosen);
        ctx->m_rcSelect = box;
        return;
    }
    CPathProc::BezierToPolyline(first, ctx);
    ctx->m_rcSelect = first->m_rcBound;
    for (CDocData* o = first; o != nullptr; o = o->m_pNext) {
        o->SetSelected(1);
        ctx->m_rcSelect.Union(o->m_rcBound);
    }
}

} // namespace

ImportedObjects::~ImportedObjects()
{
    Drop();
}

void ImportedObjects::Drop()
{
    DeleteObjectList(list);
    for (const std::string& file : made) {
        std::error_code ec;
        std::filesystem::remove(file, ec);
    }
    made.clear();
}

bool CFileReadTrans::ReadFile(DOCCONTEXT* ctx, const std::string& path, bool place, ImportFailure* why)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr) {
        if (why != nullptr)
            *why = ImportFailure::Damaged;
        return false;
    }
    ImportedObjects objects;
    if (!ReadObjects(ctx, path, place, objects, why))
        return false;
    if (AddObjects(ctx, objects, place))
        return true;
    if (why != nullptr)
        *why = ImportFailure::Damaged;
    return false;
}

bool CFileReadTrans::AddObjects(DOCCONTEXT* ctx, ImportedObjects& objects, bool place)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || objects.list == nullptr)
        return false;
    if (objects.needsLayer && !CBmpLoader::SettleLayer(*objects.list, ctx))
        return false;
    CDocData* list = objects.list;
    objects.list = nullptr;
    objects.made.clear();
    AddToDocument(ctx, list, place, objects.box);
    return true;
}

bool CFileReadTrans::ReadObjects(DOCCONTEXT* ctx, const std::string& path, bool place, ImportedObjects& out,
                                 ImportFailure* why)
{
    ImportFailure failure = ImportFailure::None;
    ImportFailure& reason = why != nullptr ? *why : failure;
    reason = ImportFailure::Damaged;
    out.Drop();
    if (ctx == nullptr)
        return false;
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) {
        reason = ImportFailure::NotFound;
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        reason = ImportFailure::NotRegularFile;
        return false;
    }
    const std::string ext = Extension(path);
    ImportRoad road = nullptr;
    for (const RoadRow& row : kRoads) {
        if (row.ext == ext) {
            road = row.road;
            break;
        }
    }
    if (road == nullptr) {
        reason = ImportFailure::UnknownType;
        return false;
    }
    RoadResult result;
    bool read = false;
    {
        const plat::WorkPart reading(0, kReadStep);
        read = road(path, out.list, ctx, place, result);
    }
    out.made = std::move(result.made);
    out.needsLayer = result.freeLayer && ctx->m_pCurrent == nullptr;
    if (!read || out.list == nullptr || !plat::WorkStep(kReadStep)) {
        out.Drop();
        if (result.cancelled || plat::WorkCancelled())
            reason = ImportFailure::Cancelled;
        else if (std::filesystem::file_size(path, ec) == 0 && !ec)
            reason = ImportFailure::Empty;
        return false;
    }
    if (!DrawingInWorld(out.list, result, place ? &ctx->m_ptMouse : nullptr)) {
        out.Drop();
        plat::MessageBox(LanguageText(RegisteredLanguageTable(), kErrorSection, kOutOfWorldText), std::u16string(),
                         plat::MB_OK | plat::MB_ICONWARNING);
        reason = ImportFailure::OutOfReach;
        return false;
    }
    out.box = CleanUp(ctx, out.list, result);
    if (!plat::WorkStep(plat::WorkControl::kWhole)) {
        out.Drop();
        reason = ImportFailure::Cancelled;
        return false;
    }
    reason = ImportFailure::None;
    return true;
}

std::uint32_t CFileReadTrans::NearestPaletteIndex(plat::COLORREF colour, const plat::COLORREF* palette)
{
    if (palette == nullptr)
        return 0;
    std::uint32_t best = 0;
    int bestDistance = 100000000;
    for (std::uint32_t i = 0; i < kPaletteSize; ++i) {
        const plat::COLORREF e = palette[i];
        const int d = std::abs(static_cast<int>(plat::GetRValue(e)) - static_cast<int>(plat::GetRValue(colour))) +
                      std::abs(static_cast<int>(plat::GetGValue(e)) - static_cast<int>(plat::GetGValue(colour))) +
                      std::abs(static_cast<int>(plat::GetBValue(e)) - static_cast<int>(plat::GetBValue(colour)));
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

void CFileReadTrans::PlaceObjects(DOCCONTEXT* ctx, const CGeoBox& box)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return;
    const CGeoPoint from(box.m_xmin, box.m_ymin);
    for (CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext)
        o->Move(from, ctx->m_ptMouse, ctx);
}
