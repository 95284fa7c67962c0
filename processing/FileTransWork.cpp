// Work-data generation: the document becomes the layered machine job.
#include "FileTrans.h"

#include "BigFileExc.h"
#include "DislocationProc.h"
#include "JobRecords.h"
#include "MetaCarve.h"
#include "PathProc.h"
#include "RingOrder.h"

#include "model/ArrayExplode.h"
#include "model/BitmapScan.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataBitmap.h"
#include "model/DocDataEllipse.h"
#include "model/DocDataLine.h"
#include "model/DocDataRect.h"
#include "model/DocListNode.h"
#include "model/NodeList.h"
#include "model/PathRecord.h"
#include "model/SegNodePool.h"
#include "platform/CodePage.h"
#include "platform/ParallelFor.h"
#include "platform/Prompt.h"
#include "platform/WorkControl.h"
#include "settings/LanguageTable.h"
#include "settings/MachineNode.h"
#include "settings/MachineTech.h"
#include "settings/SoftwareSettings.h"
#include "settings/WorkParams.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <typeinfo>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

constexpr std::uint16_t kScanSubkind = 2;
constexpr std::uint16_t kLightGuideSubkind = 3;
constexpr std::uint8_t kLightGuideBit = 0x80;
constexpr std::uint8_t kModeCut = 1;
constexpr std::uint8_t kModeScan = 2;
constexpr std::uint8_t kModeBoth = 3;
constexpr std::size_t kJobNameBytes = 8;
// Segment merging: ("circle export" + 1) x 0.2 mm, and 10 degrees.
constexpr double kMergeLengthStep = 0.2;
constexpr double kMergeAngle = 0.17453292519943295;
// Texts of "phase15:error-hint" that tell which layers' images were left
// out: "Layer " + the layer's number + " holds images ...", a line a layer.
constexpr std::u16string_view kErrorSection = u"phase15:error-hint";
constexpr int kImagesLeftOutLayerText = 41;
constexpr int kImagesLeftOutText = 42;

// Percent (or milliseconds) times 100, truncated toward zero into the
// 16-bit field; values beyond it are held at its ends.
std::uint16_t Hundredths(double v)
{
    const double x = v * 100.0;
    if (!(x > 0.0))
        return 0;
    if (x >= 65535.0)
        return 65535;
    return static_cast<std::uint16_t>(x);
}

void FillLayerParams(WORKLAYER& l, const WorkParams* p)
{
    if (p == nullptr)
        return;
    switch (l.m_mode & 0x7F) {
    case kModeCut:
        l.m_speed = static_cast<float>(p->m_b_speed);
        l.m_freeSpeed = static_cast<float>(p->m_b_free_speed);
        l.m_lightDef = p->m_b_light_def;
        l.m_maxPower1 = Hundredths(p->m_b_max_light1);
        l.m_minPower1 = Hundredths(p->m_b_min_light1);
        l.m_maxPower2 = Hundredths(p->m_b_max_light2);
        l.m_minPower2 = Hundredths(p->m_b_min_light2);
        l.m_startDelay = p->m_b_st_delay;
        l.m_endDelay = p->m_b_ed_delay;
        l.m_laserDelay = p->m_b_delay_lsr_act != 0 ? Hundredths(p->m_b_delay_laser) : 0;
        l.m_flags = (p->m_b_cuiqi != 0 ? 1u : 0u) | (p->m_b_auto_cuiqi != 0 ? 2u : 0u);
        l.m_hitTime = static_cast<float>(p->m_b_hit_time);
        l.m_zLift = static_cast<float>(p->m_b_z_rish);
        l.m_delayAfter = p->m_b_delay_after_work != 0 ? p->m_b_delay_after_work_v : 0.0;
        break;
    case kModeScan:
        l.m_speed = static_cast<float>(p->m_s_speed);
        l.m_freeSpeed = static_cast<float>(p->m_s_speed);
        l.m_lightDef = p->m_s_light_def;
        l.m_maxPower1 = Hundredths(p->m_s_max_light1);
        l.m_minPower1 = Hundredths(p->m_s_min_light1);
        l.m_maxPower2 = Hundredths(p->m_s_max_light2);
        l.m_minPower2 = Hundredths(p->m_s_min_light2);
        l.m_flags = p->m_s_cuiqi != 0 ? 1u : 0u;
        l.m_zLift = static_cast<float>(p->m_s_z_rish);
        l.m_delayAfter = p->m_s_delay_after_work != 0 ? p->m_s_delay_after_work_v : 0.0;
        break;
    default:
        break; // a layer of both modes, or of none, keeps zeros
    }
}

// The output paths of one object; images are scanned with their layer's
// parameters.
PATHREC* ConvertObject(CDocData* o, const WorkParams* params, const MachineNode& machine)
{
    const std::uint32_t type = o->GetType();
    if (type == MT_BITMAP) {
        auto* image = dynamic_cast<CDocDataBitmap*>(o);
        return image != nullptr && params != nullptr ? image->MakeScanPath(*params, machine.m_orign, machine.m_dot)
                                                     : nullptr;
    }
    if ((type >= MT_POINT && type <= MT_NURBS) || type == MT_CHAR || type == MT_GROUP)
        return o->MakeOutputPath();
    return nullptr;
}

// The mode of a new layer from its parameters and its first path. An image
// scan leads: a layer whose first path is one becomes a scan layer even when
// its outlines are cut too, since cutting moves would join its scan lines.
std::uint8_t LayerMode(const WorkParams* params, const PATHREC* first)
{
    if (params == nullptr)
        return 0; // a layer id without a parameter record gives no output
    std::uint8_t mode =
        static_cast<std::uint8_t>((params->m_border != 0 ? kModeCut : 0) + (params->m_sweep != 0 ? kModeScan : 0));
    if (first->m_subkind == kScanSubkind && mode == kModeBoth)
        mode = kModeScan;
    if (first->m_subkind == kLightGuideSubkind)
        mode |= kLightGuideBit;
    return mode;
}

// Objects whose output paths come from reading them alone, exactly as from
// a copy: lines and rectangles (copies of other kinds may differ, a NURBS
// copy is empty).
bool ReadInPlace(const CDocData& o)
{
    return (o.m_nType == MT_LINE && typeid(o) == typeid(CDocDataLine)) ||
           (o.m_nType == MT_RECT && typeid(o) == typeid(CDocDataRect));
}

// The last record of a new chain, which is opened behind it (a chain may
// come closed into a ring).
PATHREC* LastOf(PATHREC* paths)
{
    if (paths == nullptr)
        return nullptr;
    PATHREC* last = paths;
    while (last->m_pNext != nullptr && last->m_pNext != paths)
        last = last->m_pNext;
    last->m_pNext = nullptr;
    return last;
}

// Gathers the output paths of objects, as they come, into layers: one per
// layer id, in the order the ids first appear, each with its paths in
// object order; a scanned layer holding images and outlines gives a layer
// of each.
class LayerGather {
public:
    LayerGather(const SoftwareSettings& settings, const MachineNode& machine) : m_settings(settings), m_machine(machine)
    {
    }

    // The object's paths go to its layer; a copy is freed after. An image
    // goes out only as an engraving: on a layer that does not scan it is
    // left out (and noted), never cut along its scan lines. The images a
    // group holds, at any depth, are engraved as if they lay ungrouped at
    // every place the arrays around them put a copy; they come before the
    // group's outlines when the group begins with one.
    void Add(CDocData* o, bool copy)
    {
        std::vector<NestedImage> images;
        if (o->GetType() != MT_BITMAP && o->ChildList() != nullptr)
            CollectNestedImages(*o, {{0.0, 0.0}}, images);
        const bool imagesLead = !images.empty() && FirstLeafIsImage(*o);
        if (imagesLead)
            AddNestedImages(images);
        Gathered& g = SlotOf(o);
        PATHREC* paths = o->GetType() == MT_BITMAP ? ImagePaths(g, o, {{0.0, 0.0}})
                                                   : ConvertObject(o, g.params, m_machine);
        Place(g, o, paths, LastOf(paths));
        if (!imagesLead)
            AddNestedImages(images);
        if (copy)
            delete o;
    }

    // The layers whose images were left out, in the order of their first.
    const std::vector<std::int32_t>& ImagesLeftOut() const { return m_leftOut; }
    // True when the copies of an image in group arrays were too many, or
    // too large together, to engrave, and were left out.
    bool TooManyImageCopies() const { return m_tooManyCopies; }

    // The paths an object of the document gave (its chain from `paths` to
    // `last`, open at its end), as Add would have made them.
    void AddConverted(CDocData* o, PATHREC* paths, PATHREC* last) { Place(SlotOf(o), o, paths, last); }

    std::size_t Objects() const { return m_objects; }

    // The layers as an open list.
    std::vector<WORKLAYER*> Layers()
    {
        std::vector<WORKLAYER*> layers;
        for (const Gathered& g : m_byLayer) {
            if (g.imageFirst)
                AddLayer(layers, g.scanHead, g.scanTail, g);
            AddLayer(layers, g.head, g.tail, g);
            if (!g.imageFirst)
                AddLayer(layers, g.scanHead, g.scanTail, g);
        }
        m_byLayer.clear();
        for (WORKLAYER* l : layers)
            l->m_prev = l->m_next = nullptr;
        return layers;
    }

private:
    // World offsets of the places a path is engraved at, (0, 0) first.
    using Offsets = std::vector<std::pair<double, double>>;

    struct NestedImage {
        CDocData* image;
        Offsets places; // empty: more copies than an engraving may have
    };

    struct Gathered {
        std::int32_t id;
        const WorkParams* params;
        bool parted; // the layer scans
        PATHREC* head = nullptr;
        PATHREC* tail = nullptr;
        PATHREC* scanHead = nullptr;
        PATHREC* scanTail = nullptr;
        bool imageFirst = false;
        bool imagesLeftOut = false;
    };

    // The images of a composite placed at `outer`, depth first, with the
    // places of their copies: each array of a group multiplies the places
    // of the groups around it.
    void CollectNestedImages(CDocData& composite, const Offsets& outer, std::vector<NestedImage>& out) const
    {
        Offsets places = outer;
        if (composite.HasArrayCopies() && !outer.empty()) {
            Offsets steps{{0.0, 0.0}};
            ForEachArrayOffset(*composite.m_pArray, m_machine.m_orign,
                               [&](double dx, double dy) { steps.push_back({dx, dy}); });
            places.clear();
            if (static_cast<double>(outer.size()) * static_cast<double>(steps.size()) <=
                static_cast<double>(kMaxArrayCopies)) {
                for (const auto& [ox, oy] : outer)
                    for (const auto& [sx, sy] : steps)
                        places.push_back({ox + sx, oy + sy});
            }
        }
        for (CDocData* c = *composite.ChildList(); c != nullptr; c = c->m_pNext) {
            if (c->GetType() == MT_BITMAP)
                out.push_back({c, places});
            else if (c->ChildList() != nullptr)
                CollectNestedImages(*c, places, out);
        }
    }

    static bool FirstLeafIsImage(CDocData& o)
    {
        CDocData** children = o.ChildList();
        if (children == nullptr)
            return o.GetType() == MT_BITMAP;
        for (CDocData* c = *children; c != nullptr; c = c->m_pNext) {
            if (c->ChildList() == nullptr || *c->ChildList() != nullptr)
                return FirstLeafIsImage(*c);
        }
        return false;
    }

    void AddNestedImages(const std::vector<NestedImage>& images)
    {
        for (const NestedImage& n : images) {
            Gathered& g = SlotOf(n.image);
            PATHREC* paths = ImagePaths(g, n.image, n.places);
            Place(g, n.image, paths, LastOf(paths));
        }
    }

    // The scan of an image at each of its places, as one chain; null, and
    // the layer noted, when the layer does not scan. Copies that would hold
    // more segments than one scan may are refused (and noted) as a scan of
    // that size is.
    PATHREC* ImagePaths(Gathered& g, CDocData* image, const Offsets& places)
    {
        if (!g.parted) {
            if (!std::exchange(g.imagesLeftOut, true))
                m_leftOut.push_back(g.id);
            return nullptr;
        }
        if (places.empty()) {
            m_tooManyCopies = true;
            return nullptr;
        }
        PATHREC* scan = ConvertObject(image, g.params, m_machine);
        if (scan == nullptr || places.size() == 1)
            return scan;
        PATHREC* tail = LastOf(scan);
        std::size_t segments = 0;
        ForEachInRing(scan, &PATHREC::m_pNext,
                      [&](PATHREC& p) { ForEachSegment(p, [&](SEGNODE&) { ++segments; }); });
        if (static_cast<double>(segments) * static_cast<double>(places.size()) >
            static_cast<double>(MaxScanSegments())) {
            FreePathRecordList(scan);
            m_tooManyCopies = true;
            return nullptr;
        }
        std::vector<PATHREC*> copies;
        copies.reserve(places.size() - 1);
        for (std::size_t i = 1; i < places.size(); ++i) {
            copies.push_back(CopyPathRecord(scan));
            ForEachInRing(copies.back(), &PATHREC::m_pNext,
                          [&](PATHREC& p) { CPathProc::ShiftPath(&p, places[i].first, places[i].second); });
        }
        for (PATHREC* copy : copies) {
            PATHREC* last = LastOf(copy);
            copy->m_pPrev = tail;
            tail->m_pNext = copy;
            tail = last;
        }
        return scan;
    }

    Gathered& SlotOf(const CDocData* o)
    {
        const auto [it, added] = m_slot.try_emplace(o->m_nLayer, m_byLayer.size());
        if (added) {
            const WorkParams* params = FindLayerParams(m_settings.m_pLayers, o->m_nLayer);
            // On a scanned layer the image scans and the outlines go to
            // layers of their own, in the order of their first objects:
            // engraving would take the scan lines for outlines, and cutting
            // would join them.
            m_byLayer.push_back({o->m_nLayer, params, params != nullptr && params->m_sweep != 0});
        }
        return m_byLayer[it->second];
    }

    void Place(Gathered& g, const CDocData* o, PATHREC* paths, PATHREC* last)
    {
        ++m_objects;
        if (paths == nullptr)
            return;
        const bool image = g.parted && o->GetType() == MT_BITMAP;
        if (g.head == nullptr && g.scanHead == nullptr)
            g.imageFirst = image;
        PATHREC*& head = image ? g.scanHead : g.head;
        PATHREC*& tail = image ? g.scanTail : g.tail;
        if (head == nullptr) {
            paths->m_pPrev = nullptr;
            head = paths;
        } else {
            tail->m_pNext = paths;
            paths->m_pPrev = tail;
        }
        tail = last;
    }

    // One work layer of the paths (a ring is made of them); vector
    // engraving fills the outlines of a scan layer and may divide a layer
    // of both modes into a cut and a scan layer. An image scan is engraved
    // as it is.
    void AddLayer(std::vector<WORKLAYER*>& layers, PATHREC* head, PATHREC* tail, const Gathered& g) const
    {
        if (head == nullptr)
            return;
        head->m_pPrev = tail;
        tail->m_pNext = head;
        auto* layer = new WORKLAYER{};
        layer->m_paths = head;
        layer->m_layerId = static_cast<std::uint32_t>(g.id);
        layer->m_mode = LayerMode(g.params, head);
        layer->m_style = g.params != nullptr ? g.params->m_s_method : 0;
        WORKLAYER* first = layer;
        if (g.parted && head->m_subkind != kScanSubkind)
            CMetaCarve::Process(first, m_settings.m_pLayers, m_machine.m_orign, m_machine.m_dot);
        for (WORKLAYER* l = first; l != nullptr; l = l->m_next) {
            FillLayerParams(*l, g.params);
            layers.push_back(l);
        }
    }

    const SoftwareSettings& m_settings;
    const MachineNode& m_machine;
    std::vector<Gathered> m_byLayer;
    std::unordered_map<std::int32_t, std::size_t> m_slot;
    std::vector<std::int32_t> m_leftOut;
    bool m_tooManyCopies = false;
    std::size_t m_objects = 0;
};

// One message for the whole job, a line for each layer whose images were
// left out, named by its number as the layer list shows it.
void ReportImagesLeftOut(const std::vector<std::int32_t>& layers)
{
    if (layers.empty())
        return;
    const std::span<const std::u16string> table = RegisteredLanguageTable();
    std::u16string text;
    for (std::int32_t id : layers) {
        if (!text.empty())
            text += u'\n';
        text += LanguageText(table, kErrorSection, kImagesLeftOutLayerText);
        text += plat::Utf8ToUtf16(std::to_string(id));
        text += LanguageText(table, kErrorSection, kImagesLeftOutText);
    }
    plat::MessageBox(text, std::u16string(), plat::MB_OK);
}

struct Converted {
    PATHREC* paths = nullptr;
    PATHREC* last = nullptr;
    bool done = false; // the paths stand for the object
};

// Curves go out through a copy of their own; a copy of one is a single
// object, converted alone, so many of them are converted side by side.
bool CurveConvertedFromCopy(const CDocData& o)
{
    return typeid(o) == typeid(CDocDataEllipse) || typeid(o) == typeid(CDocDataBezier);
}

// Thousandths of the job's building done when the objects are converted,
// and when their paths stand as a placed job in its header.
constexpr int kConvertedStep = 400;
constexpr int kPlacedStep = 600;

// The paths of every object read in place, and of every curve through its
// copy, in pieces side by side: the conversion reads the object alone and
// makes new records only. Each piece's records, nodes and copies come and go in
// batches, so that the pieces do not queue for the pools. When the memory
// runs out, what was made is freed again. Each piece done moves the
// thread's work on; a cancelled work converts no more.
void ConvertSideBySide(const std::vector<CDocData*>& objects, std::vector<Converted>& converted,
                        const MachineNode& machine)
{
    constexpr std::size_t kPiece = 4096;
    const std::size_t pieces = (objects.size() + kPiece - 1) / kPiece;
    plat::WorkControl* work = plat::WorkControl::Current();
    std::atomic<std::size_t> done{0};
    try {
        plat::ParallelFor(pieces, [&](std::size_t k) {
            if (work != nullptr && work->Cancelled())
                return;
            PathRecordStock stock;
            NodeBatches nodes;
            ObjectBatches copies;
            const std::size_t end = std::min(objects.size(), (k + 1) * kPiece);
            for (std::size_t i = k * kPiece; i < end; ++i) {
                Converted& c = converted[i];
                if (ReadInPlace(*objects[i])) {
                    c.paths = ConvertObject(objects[i], nullptr, machine);
                } else if (CurveConvertedFromCopy(*objects[i])) {
                    const std::unique_ptr<CDocData> copy(CloneDocData(objects[i], false));
                    // A copy of another kind takes the walk that follows.
                    if (copy == nullptr || copy->ChildList() != nullptr || copy->GetType() == MT_BITMAP)
                        continue;
                    c.paths = ConvertObject(copy.get(), nullptr, machine);
                } else {
                    continue;
                }
                c.last = LastOf(c.paths);
                c.done = true;
            }
            if (work != nullptr)
                work->Advance(static_cast<int>((done.fetch_add(1) + 1) * kConvertedStep / pieces));
        });
    } catch (...) {
        for (Converted& c : converted)
            FreePathRecordList(c.paths);
        throw;
    }
}

WORKLAYER* LinkRing(const std::vector<WORKLAYER*>& layers)
{
    if (layers.empty())
        return nullptr;
    const std::size_t n = layers.size();
    for (std::size_t i = 0; i < n; ++i) {
        layers[i]->m_next = layers[(i + 1) % n];
        layers[i]->m_prev = layers[(i + n - 1) % n];
    }
    return layers.front();
}

std::vector<WORKLAYER*> Detach(WORKLAYER*& head)
{
    std::vector<WORKLAYER*> out;
    ForEachLayer(head, false, [&](WORKLAYER& l) { out.push_back(&l); });
    for (WORKLAYER* l : out)
        l->m_prev = l->m_next = nullptr;
    head = nullptr;
    return out;
}

void FreeLayer(WORKLAYER* layer)
{
    layer->m_prev = layer->m_next = nullptr;
    FreePathRecordGroups(layer);
}

// Zero-length segments leave the cut layers; a layer left without paths is
// freed.
// Every path's extents, the zero segments of the cut layers gone, and the
// layers left without paths dropped.
void RecalcAndRemoveZeroSegments(WORKLAYER*& layers)
{
    CFileTrans::RecalcPathBoundRects(layers, kModeCut);
    std::vector<WORKLAYER*> kept;
    for (WORKLAYER* l : Detach(layers)) {
        if (l->m_paths != nullptr)
            kept.push_back(l);
        else
            FreeLayer(l);
    }
    layers = LinkRing(kept);
}

// Every coordinate of the job, and every array pitch, a finite number: the
// later steps measure, move and band the job by them.
bool AllFinite(WORKLAYER* layers)
{
    bool finite = true;
    ForEachLayer(layers, false, [&](WORKLAYER& layer) {
        ForEachPath(layer, [&](PATHREC& p) {
            if (const ARRAYREC* a = p.m_pArray) {
                finite = finite && std::isfinite(a->m_dDx) && std::isfinite(a->m_dDy) &&
                         std::isfinite(a->m_dAreaW) && std::isfinite(a->m_dAreaH);
            }
            ForEachSegment(p, [&](SEGNODE& s) {
                finite = finite && std::isfinite(s.m_x0) && std::isfinite(s.m_y0) && std::isfinite(s.m_x1) &&
                         std::isfinite(s.m_y1);
            });
        });
    });
    return finite;
}


bool HasChildNeedingFlattening(CDocData* group)
{
    CDocData** children = group->ChildList();
    for (CDocData* c = children != nullptr ? *children : nullptr; c != nullptr; c = c->m_pNext) {
        if (c->m_nType == MT_GROUP || c->m_pArray != nullptr)
            return true;
    }
    return false;
}

// True when a cut layer's parameters ask for dots (the layers MakeHitPoints
// may change, and a few more).
bool DotsAsked(WORKLAYER* layers, WorkParams* params)
{
    bool asked = false;
    ForEachLayer(layers, false, [&](WORKLAYER& layer) {
        if ((layer.m_mode & 0x7F) != kModeCut)
            return;
        const WorkParams* own = FindLayerParams(params, static_cast<int>(layer.m_layerId));
        asked = asked || (own != nullptr && own->m_b_hit_point != 0);
    });
    return asked;
}

} // namespace

void CFileTrans::FlattenGroups(CDocData*& objects)
{
    for (CDocData* o = objects; o != nullptr;) {
        CDocData** children = o->ChildList();
        if (o->m_nType != MT_GROUP || children == nullptr || o->m_pArray != nullptr ||
            !HasChildNeedingFlattening(o)) {
            o = o->m_pNext;
            continue;
        }
        CDocData* prev = o->m_pPrev;
        CDocData* after = o->m_pNext;
        CDocData* first = *children;
        *children = nullptr;
        CDocData* last = first;
        while (last->m_pNext != nullptr)
            last = last->m_pNext;
        first->m_pPrev = prev;
        last->m_pNext = after;
        if (after != nullptr)
            after->m_pPrev = last;
        if (prev != nullptr)
            prev->m_pNext = first;
        else
            objects = first;
        o->m_pPrev = o->m_pNext = nullptr;
        delete o;
        o = first;
    }
}

void CFileTrans::PlaceAtAnchor(WORKLAYER* layers, int corner, int point)
{
    double xmin = 0.0;
    double xmax = 0.0;
    double ymin = 0.0;
    double ymax = 0.0;
    if (!GetLayersBoundRect(layers, xmin, xmax, ymin, ymax, false) || xmin > xmax || ymin > ymax)
        return;
    double x = xmin;
    double y = ymin;
    AnchorPoint(corner, point, xmin, xmax, ymin, ymax, x, y);
    OffsetLayers(layers, -x, -y, true, false);
}

void CFileTrans::SetJobName(char (&field)[12], std::string_view path)
{
    std::memset(field, 0, sizeof field);
    const std::size_t separator = path.find_last_of("/\\");
    std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
    if (name.size() > 4) {
        const std::string_view ending = name.substr(name.size() - 4);
        if (ending == ".out" || ending == ".OUT")
            name.remove_suffix(4);
    }
    const std::string bytes = plat::WideToCodePageCut(plat::Utf8ToUtf16(name), kJobNameBytes);
    std::memcpy(field, bytes.data(), std::min(bytes.size(), kJobNameBytes));
}

void CFileTrans::FillOutHeader(WORKHEAD* header, WORKLAYER*& first, const MachineNode* machine,
                               std::string_view jobName, std::uint32_t comPort, const Bounds* known)
{
    if (header == nullptr || first == nullptr || machine == nullptr)
        return;
    double xmin = 0.0;
    double xmax = 0.0;
    double ymin = 0.0;
    double ymax = 0.0;
    if (known != nullptr) {
        xmin = std::min(kBoxSeedMin, known->xmin);
        xmax = std::max(kBoxSeedMax, known->xmax);
        ymin = std::min(kBoxSeedMin, known->ymin);
        ymax = std::max(kBoxSeedMax, known->ymax);
    } else {
        GetLayersBoundRect(first, xmin, xmax, ymin, ymax, true);
    }
    header->m_minX = xmin;
    header->m_maxX = xmax;
    header->m_minY = ymin;
    header->m_maxY = ymax;
    header->m_firstExtents[0] = xmax;
    header->m_firstExtents[1] = xmin;
    header->m_firstExtents[2] = ymax;
    header->m_firstExtents[3] = ymin;

    // Layers without output never reach the encoder; the list stays open.
    std::vector<WORKLAYER*> kept;
    for (WORKLAYER* l : Detach(first)) {
        if ((l->m_mode & 0x7F) != 0)
            kept.push_back(l);
        else
            FreeLayer(l);
    }
    for (std::size_t i = 0; i + 1 < kept.size(); ++i) {
        kept[i]->m_next = kept[i + 1];
        kept[i + 1]->m_prev = kept[i];
    }
    first = kept.empty() ? nullptr : kept.front();

    header->m_workMode = 0;
    header->m_comPort = comPort;
    if (header->m_arrayUse == 0) {
        header->m_pitchX = header->m_maxX - header->m_minX;
        header->m_pitchY = header->m_maxY - header->m_minY;
    }
    const CMachineTech* tech = machine->m_tech;
    header->m_closeRepay = tech != nullptr && tech->m_close_use != 0 ? tech->m_close_repay : 0.0;
    SetJobName(header->m_jobName, jobName);
    header->m_originCorner = machine->m_orign;
    header->m_posPoint = machine->m_dot;
    header->m_layers = first;
}

bool CFileTrans::ProcessLayers(WORKHEAD* header, DOCCONTEXT* ctx, bool leadRecords)
{
    if (header == nullptr || ctx == nullptr)
        return false;
    const SoftwareSettings& settings = CDocData::SettingsOf(ctx);
    const MachineNode* machine = GetCurrentMachine(settings);
    if (machine == nullptr)
        return false;
    const int corner = machine->m_orign;
    const int workPos = settings.path_work_pos;

    CPathProc::JoinLightGuideLayers(header, corner, workPos);
    if (!plat::WorkStep(620))
        return false;

    if (settings.use_path != 0) {
        // "path mode" 2, and the values above 5 that name no direction,
        // keep the document's order.
        int code = -1;
        switch (settings.path_mode) {
        case 0: {
            // Records laid in their new order: every walk below reads them.
            const bool measured = CPathProc::OrderPathsOptimised(header, ctx, true, leadRecords);
            if (!plat::WorkStep(760))
                return false;
            // The ring order reads the bounds of the layers just ordered,
            // unless the ordering measured them; without it, the steps below
            // take them anew before anything reads them.
            if (settings.path_in_out != 0) {
                if (!measured)
                    RecalcPathBoundRects(header->m_layers);
                CRingOrder().Process(header->m_layers);
            }
            break;
        }
        case 1:
            code = 1;
            break;
        case 3:
            code = 0;
            break;
        case 4:
            code = 2;
            break;
        case 5:
            code = 3;
            break;
        default:
            break;
        }
        if (code >= 0) {
            RecalcPathBoundRects(header->m_layers);
            CPathProc::OrderPathsSimple(header->m_layers, code, settings.path_hight, corner, workPos);
            if (!leadRecords)
                CPathProc::OrientOpenPaths(header->m_layers);
        }
    }

    if (!plat::WorkStep(850))
        return false;

    // Start points where the machine's technology asks for them, then dots
    // on the layers whose parameters ask for them.
    if (machine->m_tech != nullptr && machine->m_tech->m_disloc_use != 0) {
        RecalcPathBoundRects(header->m_layers);
        CDislocationProc::Process(header->m_layers);
        if (!plat::WorkStep(880))
            return false;
    }
    // The bounds are wanted before dots and bands; without either they are
    // taken in the last walk over the paths. No layer asking for dots, the
    // dots change nothing and the bands take the bounds as they are.
    header->m_banded = 0;
    const SPLITFEED* split = ctx->m_pCurrent != nullptr ? ctx->m_pCurrent->m_pSplit : nullptr;
    const bool banding = CBigFileExc::BandingOn(split);
    const bool dots = DotsAsked(header->m_layers, settings.m_pLayers);
    if (dots) {
        RecalcPathBoundRects(header->m_layers);
        CPathProc::MakeHitPoints(header->m_layers, settings.m_pLayers);
        if (!plat::WorkStep(900))
            return false;
    }

    if (banding) {
        RecalcPathBoundRects(header->m_layers);
        if (!CBigFileExc::SplitIntoBands(header, split, machine->m_ratio))
            return false;
        header->m_banded = 1;
        RecalcPathBoundRects(header->m_layers);
        RecalcHeaderBoundRect(header);
        if (!plat::WorkStep(940))
            return false;
    }

    MergeAndCloseRings(header->m_layers, (settings.circle_export + 1) * kMergeLengthStep, kMergeAngle,
                       !dots && !banding);
    return true;
}

bool CFileTrans::MakeWorkData(WORKHEAD* header, DOCCONTEXT* ctx, std::string_view jobName,
                              const std::function<void()>& objectsRead)
{
    if (header == nullptr)
        return false;
    header->m_layers = nullptr;
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || ctx->m_pCurrent->m_pFirst == nullptr)
        return false;
    const SoftwareSettings& settings = CDocData::SettingsOf(ctx);
    const MachineNode* machine = GetCurrentMachine(settings);
    if (machine == nullptr)
        return false;

    // The steps that reshape objects work on copies, so the document and its
    // history are never touched. Without banding, which regroups the whole
    // list, only the objects that are not merely read are copied.
    LayerGather gather(settings, *machine);
    auto addCopies = [&gather](CDocData* copies) {
        for (CDocData* c = copies; c != nullptr;) {
            CDocData* next = c->m_pNext;
            c->m_pPrev = c->m_pNext = nullptr;
            gather.Add(c, true);
            c = next;
        }
    };
    if (CBigFileExc::BandingOn(ctx->m_pCurrent->m_pSplit)) {
        CDocData* copies = CloneDocData(ctx->m_pCurrent->m_pFirst, true);
        if (copies == nullptr)
            return false;
        FlattenGroups(copies);
        CBigFileExc::GroupContainedObjects(ctx, copies, true);
        if (!plat::WorkStep(kConvertedStep / 2)) {
            DeleteObjectList(copies);
            return false;
        }
        addCopies(copies);
    } else {
        // The objects that are only read are converted side by side, each
        // into paths of its own; they are gathered in document order after.
        std::vector<CDocData*> objects;
        for (CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext)
            objects.push_back(o);
        std::vector<Converted> converted(objects.size());
        ConvertSideBySide(objects, converted, *machine);
        if (!plat::WorkStep(kConvertedStep)) {
            for (Converted& c : converted)
                FreePathRecordList(c.paths);
            return false;
        }
        for (std::size_t i = 0; i < objects.size(); ++i) {
            CDocData* o = objects[i];
            if (converted[i].done) {
                gather.AddConverted(o, converted[i].paths, converted[i].last);
            } else if (CDocData* copy = CloneDocData(o, false); copy != nullptr) {
                FlattenGroups(copy);
                addCopies(copy);
            }
        }
    }
    ReportImagesLeftOut(gather.ImagesLeftOut());
    if (gather.TooManyImageCopies())
        ShowScanTooLarge();
    if (gather.Objects() == 0)
        return false;

    WORKLAYER* layers = LinkRing(gather.Layers());
    // The last read of the objects; the caller may free them now.
    const bool leadRecords = CPathProc::HasLeadRecords(ctx->m_pCurrent->m_pFirst);
    if (objectsRead)
        objectsRead();
    RecalcAndRemoveZeroSegments(layers);
    if (layers == nullptr)
        return true;
    if (!plat::WorkStep(500)) {
        FreePathRecordGroups(layers);
        return false;
    }

    // Jobs with arrays or extreme coordinates take the steps one by one.
    bool finite = true;
    Bounds placed{};
    const bool inOneWalk = PlaceInOneWalk(layers, kWorldPerMm, machine->m_orign, machine->m_dot, &placed);
    if (!inOneWalk) {
        OffsetLayers(layers, 0.0, 0.0, false, false);
        ScaleLayers(layers, kWorldPerMm, false);
        ConvertLayersOrigin(layers, 1, machine->m_orign);
        PlaceAtAnchor(layers, machine->m_orign, machine->m_dot);
        finite = AllFinite(layers);
    }
    if (!finite || !plat::WorkStep(560)) {
        FreePathRecordGroups(layers);
        return false;
    }

    FillOutHeader(header, layers, machine, jobName, static_cast<std::uint32_t>(settings.m_nComPort),
                  inOneWalk ? &placed : nullptr);
    if (layers == nullptr) {
        header->m_layers = nullptr;
        return true;
    }
    if (!plat::WorkStep(kPlacedStep) || !ProcessLayers(header, ctx, leadRecords)) {
        FreePathRecordGroups(header->m_layers);
        return false;
    }
    return true;
}

void CFileTrans::ApplyLayerOptions(WORKHEAD* header, DOCCONTEXT* ctx)
{
    if (header == nullptr || ctx == nullptr)
        return;
    const MachineNode* machine = GetCurrentMachine(CDocData::SettingsOf(ctx));
    if (machine == nullptr || machine->m_tech == nullptr)
        return;
    const CMachineTech& tech = *machine->m_tech;
    if (tech.m_cut_use != 0)
        CPathProc::ApplyCutRepair(header->m_layers, tech.m_pCutRepair);
    if (tech.m_carve_use != 0)
        CPathProc::ApplyCarveRepair(header->m_layers, tech.m_pCarveRepair);
}
