// The base class of the drawing file readers, and the home of the shared
// geometry operations that the readers and the job generation call:
// scaling, measuring and placing document object lists and a job's layer
// list. It holds no data; readers derived from it are made on the stack for
// one file. The operations keep no state and touch no object, so they are
// static and may be called with or without an instance.
//
// Every walk over a layer, path or segment list starts at the first element
// and follows the next links until a null link or until it is back at the
// first, so open lists and rings are both accepted. Extents are x min,
// x max, y min, y max.
#pragma once
#include "machinecomm/VantrelRecords.h"
#include "model/PathRecord.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

class CDocData;
struct DOCCONTEXT;
struct MachineNode;

class CFileTrans {
public:
    CFileTrans() = default;
    virtual ~CFileTrans() = default;

    // Removes the segments shorter than 1e-5 in both x and y from every path
    // that is not a dot, keeping the path connected; a path left without
    // segments is freed unless it is a group bracket. Rings stay rings.
    static void RemoveZeroSegments(PATHREC*& paths);

    // Divides every node of the objects by the factor and recomputes their
    // boxes; groups and texts treat their whole child list and take the union of
    // their children's boxes. Nothing for a factor below 1e-5. With `firstOnly`
    // only the first object is treated.
    static void ScaleObjects(CDocData* objects, double factor, bool firstOnly, DOCCONTEXT* ctx);

    // Divides path extents, segment ends and the lengths of a bracket's array
    // record by the factor; z stays. Nothing for a factor below 1e-5.
    static void ScaleLayers(WORKLAYER* layers, double factor, bool firstOnly);

    // The group bounds of an opening bracket over its members, with or without
    // the widening by its array copies; returns the closing bracket so that a
    // walk goes on after it. The model's output paths use the same rule, which
    // lives with the path records.
    static PATHREC* GetGroupBoundRect(PATHREC* bracket, double& xmin, double& xmax, double& ymin, double& ymax,
                                      bool withArrays);

    // Grows the extents by every segment end; an opening bracket counts through
    // GetGroupBoundRect and the walk goes on after its closing bracket. False
    // for a null list.
    static bool GetPathBoundRect(PATHREC* paths, double& xmin, double& xmax, double& ymin, double& ymax,
                                 bool withArrays);

    // Grows the extents by the boxes of every object of the list (objects with
    // the empty box add nothing). False for a null list.
    static bool GetObjectsBoundRect(CDocData* objects, double& xmin, double& xmax, double& ymin, double& ymax);

    // Extents of every layer's paths, starting from 1e8 / -1e8. False for a null
    // list.
    static bool GetLayersBoundRect(WORKLAYER* layers, double& xmin, double& xmax, double& ymin, double& ymax,
                                   bool withArrays);

    // Links every open segment list of the layers into a ring.
    static void CloseRings(WORKLAYER* layers);

    // Every path's extents and closed flag from its segments; every opening
    // bracket, and its closing bracket, get the union of the paths between them,
    // nested groups included.
    static void RecalcPathBoundRects(WORKLAYER* layers);
    // The same, and RemoveZeroSegments on the layers whose mode shares a bit
    // with `zeroModes` (a layer left without paths stays, empty), in one walk
    // over the paths: the extents are those measured before the zero
    // segments go.
    static void RecalcPathBoundRects(WORKLAYER* layers, std::uint32_t zeroModes);

    // Short segments merged on the cut layers (CPathProc::MergeShortSegments)
    // and the segment lists closed (CloseRings) in one walk over the paths,
    // with `recalc` after RecalcPathBoundRects in the same walk: on a job of
    // a million paths each walk is paid in cache misses.
    static void MergeAndCloseRings(WORKLAYER* layers, double mergeLength, double mergeAngle, bool recalc);

    // The job extents from the stored extents of all paths; with banding, the y
    // pitch becomes the job height. Nothing without layers.
    static void RecalcHeaderBoundRect(WORKHEAD* header);

    // Mirrors the objects about the centre of their joint box so that
    // coordinates counted from one origin corner are counted from the other: in
    // x when exactly one corner is 0 or 2, in y when exactly one is 2 or 3.
    // Returns 0 for equal corners, else 1 (x only), 2 (y only) or 3 (both).
    static int ConvertOrigin(CDocData* objects, int from, int to, DOCCONTEXT* ctx);

    // ScaleObjects on the whole list followed by ConvertOrigin, taking the joint
    // box while scaling instead of walking the list once more for it.
    static int ScaleAndConvertOrigin(CDocData* objects, double factor, int from, int to, DOCCONTEXT* ctx);

    // The flip that ConvertOrigin gives every object, found but not made yet:
    // each object's flip is its own, so a caller that walks the list anyway
    // makes it there with Apply, once for every object.
    struct OriginFlip {
        bool pending = false;
        double cx = 0.0;
        double cy = 0.0;
        bool horizontal = false;
        bool vertical = false;
        void Apply(CDocData* object, DOCCONTEXT* ctx) const;
    };
    // ScaleAndConvertOrigin, leaving the objects' flip to the caller.
    static OriginFlip ScaleForOrigin(CDocData* objects, double factor, int from, int to, DOCCONTEXT* ctx);
    // The same for a list of objects given also as one pointer each, in
    // list order: scaled in pieces side by side, with the same result.
    static OriginFlip ScaleForOrigin(const std::vector<CDocData*>& lines, double factor, int from, int to,
                                     DOCCONTEXT* ctx);

    // The same on a job's paths, about the centre of the extents without arrays.
    static int ConvertLayersOrigin(WORKLAYER* layers, int from, int to);

    // Absolute: moves the paths by (dx, dy); false, and nothing moved, when both
    // are below 1e-7 in size. Relative: moves them so that the lower-left corner
    // of their extents (arrays included) lands on (dx, dy). With `firstOnly`
    // only the first layer moves, by its own extents. False for a null list.
    static bool OffsetLayers(WORKLAYER* layers, double dx, double dy, bool absolute, bool firstOnly);

    // OffsetLayers to (0, 0), ScaleLayers by factor, ConvertLayersOrigin
    // from corner 1 and PlaceAtAnchor, with the same result to the bit, in
    // one walk over the segments after the one that measures them. False,
    // nothing changed, for a job it does not take: a null list, an array
    // record, a group record with segments, a coordinate that is not a
    // finite number, no segment, or extents beyond the box seeds (1e8) the
    // separate steps measure from. `placed`, when given, receives the
    // extents of the placed segments.
    struct Bounds {
        double xmin;
        double xmax;
        double ymin;
        double ymax;
    };
    static bool PlaceInOneWalk(WORKLAYER* layers, double factor, int corner, int point, Bounds* placed = nullptr);
    // Where PlaceAtAnchor puts (0, 0) on these extents.
    static void AnchorPoint(int corner, int point, double xmin, double xmax, double ymin, double ymax, double& x,
                            double& y);

    // ---- Work-data generation -------------------------------------------
    // The job of the context's document for the current machine. Lines and
    // rectangles are only read; the other objects (all of them with banding)
    // are worked on as copies: the document and its undo history stay as
    // they were. Plain groups holding groups or arrayed objects are
    // dissolved (FlattenGroups); with banding, contained objects are grouped
    // (CBigFileExc). Every object becomes output paths, gathered per layer in
    // the order the layers first appear, with its layer's parameters; the
    // outlines of scan layers are engraved (CMetaCarve). Then zero-length
    // segments leave the cut layers, the job is moved to (0, 0), turned into
    // millimetres and the machine's frame, placed at its positioning point,
    // its header filled (FillOutHeader) and its paths processed
    // (ProcessLayers). `jobName` is the path that names the job.
    // False, with the header's layers null, for an empty document, no
    // current machine, coordinates that are not finite numbers, or a job the
    // banding refuses; a document that gives no output is true with no
    // layers. `objectsRead`, when given, is called once every object has
    // become paths: nothing after reads the objects of the context's list
    // (its records stay read), so a caller that built the list for this job
    // alone may free them there and spare their memory for the rest.
    static bool MakeWorkData(WORKHEAD* header, DOCCONTEXT* ctx, std::string_view jobName,
                             const std::function<void()>& objectsRead = nullptr);

    // The processing chain of a placed job: light-guide lines joined, paths
    // ordered by the path options, closed paths given their start points
    // (when the machine's technology asks for it) and cut paths turned into
    // dots (when their layer asks for it), bands split when the split-feed
    // record asks for them, short segments merged on cut layers by "circle
    // export", segment rings closed. False, with every layer still in the
    // header, when there is no current machine or the banding refuses the
    // job. `leadRecords` tells whether the document's objects have lead
    // records (which fix where paths begin), as they may be gone by now.
    static bool ProcessLayers(WORKHEAD* header, DOCCONTEXT* ctx, bool leadRecords);

    // Extents (arrays included) and first extents, the work mode, COM port,
    // pitches (without an array), closing overlap, job name, origin corner,
    // positioning point and layer list of the header. Layers without output
    // (mode 0) are freed first and the list is left open. The job name is
    // the part of the path after its last / or \, without a ".out" or
    // ".OUT" ending, cut to 8 bytes in the code page at a character
    // boundary. Nothing when any argument is missing.
    // The job name of a header from the path naming the job: the part after
    // its last / or \, without a ".out" or ".OUT" ending when longer than
    // that, cut to 8 bytes in the code page at a character boundary; the
    // rest of the field zero.
    static void SetJobName(char (&field)[12], std::string_view path);

    // `known`, when given, are the extents of the segments of every layer
    // (a job without arrays), which are then not measured again.
    static void FillOutHeader(WORKHEAD* header, WORKLAYER*& first, const MachineNode* machine,
                              std::string_view jobName, std::uint32_t comPort, const Bounds* known = nullptr);

    // The current machine's cut repair, then its carve repair, each where
    // its table is switched on. Nothing without a machine or technology
    // record.
    static void ApplyLayerOptions(WORKHEAD* header, DOCCONTEXT* ctx);

    // Replaces every top-level group without an array record that holds a
    // group or an object with an array record by its children, which are
    // looked at in turn.
    static void FlattenGroups(CDocData*& objects);

    // Moves the job so that its positioning point (0 to 8: column p mod 3,
    // row p div 3 of min, middle and max, counted from the origin corner's
    // sides) lies at (0, 0); a corner above 3 or a point above 8 takes the
    // lower-left corner. Extents without arrays.
    static void PlaceAtAnchor(WORKLAYER* layers, int corner, int point);
};
