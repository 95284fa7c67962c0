// DXF drawings (".dxf", the ASCII form: a group code line, then a value
// line) to drawing objects. The reader walks the sections of the file: the
// drawing unit of HEADER, the layer colours and the first text style of
// TABLES, the block definitions of BLOCKS and the entities of ENTITIES.
// LINE, POINT, CIRCLE, ARC, ELLIPSE, SPLINE, POLYLINE, LWPOLYLINE and INSERT
// become polylines, points, ellipses and Bezier paths; TEXT and MTEXT become
// text objects through the text outline library. Everything else is passed
// over. The binary form of DXF is not read.
//
// Coordinates come out in micrometres: every file value is multiplied by
// 1000 and by m_dUnit (millimetres per drawing unit). The y axis stays the
// file's; the import dispatcher scales to world units and mirrors.
//
// An entity whose extrusion is exactly (0, 0, -1) lies in a plane seen from
// below: CIRCLE, ARC, POLYLINE, LWPOLYLINE and the copies of an INSERT are
// mirrored in x (and their arcs run the other way); an ELLIPSE, whose centre
// and axis are world coordinates, keeps its place and its parameters run the
// other way. Every other extrusion is read as (0, 0, 1).
#pragma once
#include "model/DocData.h"
#include "model/NodeList.h"
#include "platform/NumText.h"
#include "platform/Win.h"
#include "processing/FileTrans.h"
#include "textoutline/Letrova.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace plat {
class WorkControl;
}

class CDocData;
struct DOCCONTEXT;
struct DOCNODE;

// One read: the whole file and the walk's state.
struct DXFFILE {
    std::uint32_t m_nSection = 0;   // DXF_SECTION_...
    std::uint32_t m_nTableType = 0; // DXF_TABLE_...
    std::size_t m_nPos = 0;         // read position
    std::size_t m_nSaved = 0;       // saved position
    std::uint32_t m_bInBlock = 1;   // 1 while the entities of a block are read
    std::string_view m_buffer;      // the file's bytes, held by the caller
};

enum : std::uint32_t {
    DXF_SECTION_NONE = 0,
    DXF_SECTION_HEADER = 1,
    DXF_SECTION_TABLES = 4,
    DXF_SECTION_BLOCKS = 8,
    DXF_SECTION_ENTITIES = 16,
    DXF_SECTION_OTHER = 64,
};

enum : std::uint32_t {
    DXF_TABLE_DIMSTYLE = 4,
    DXF_TABLE_LAYER = 8,
    DXF_TABLE_LTYPE = 16,
    DXF_TABLE_STYLE = 32,
    DXF_TABLE_VPORT = 256,
    DXF_TABLE_OTHER = 512,
};

// Entity type ids.
enum : std::uint16_t {
    DXF_LINE = 1,
    DXF_POINT = 2,
    DXF_CIRCLE = 3,
    DXF_ELLIPSE = 5,
    DXF_SPLINE = 6,
    DXF_TEXT = 7,
    DXF_MTEXT = 8,
    DXF_ARC = 9,
    DXF_SOLID = 12,
    DXF_INSERT = 15,
    DXF_POLYLINE = 19,
    DXF_DIMENSION = 23,
    DXF_IGNORED = 103,
    DXF_NONE = 104, // no entity: the section or block has ended
};

// The first entry of the STYLE table. Names are held to 511 bytes, as in a
// 512-byte field with its terminator.
struct DXFSTYLE {
    std::string m_name;         // 2
    std::string m_font_file;    // 3, or 1000 with ".ttf" appended
    std::uint8_t m_flags = 0;   // 70, low byte
    std::int32_t m_gen_flags = 0; // 71
    double m_fixed_height = 0.0; // 40
    double m_width_factor = 0.0; // 41
    double m_last_height = 0.0;  // 42
    double m_oblique = 0.0;      // 50, degrees
    std::string m_bigfont_file; // 4
};

// Where an object of a block takes its colour from: its layer, its colour
// number (0 by block, 256 by layer) and the layer whose colour "by layer"
// means. An INSERT resolves them against its own: layer 0 becomes the
// INSERT's layer, by block the INSERT's colour.
struct DXFATTR {
    std::string_view m_layer;
    std::int32_t m_nColor = 256;
    std::string_view m_colourLayer;
};

// One block definition: its objects relative to its base point.
struct DXFBLOCK {
    std::string m_name;
    double m_baseX = 0.0; // base point, micrometres
    double m_baseY = 0.0;
    CDocData* m_pFirst = nullptr; // owned
    CDocData* m_pLast = nullptr;
    std::vector<DXFATTR> m_attrs; // one per object of the chain
    std::uint32_t m_nDepth = 1;  // levels of blocks, this one included
    std::size_t m_nObjects = 0;  // objects and nodes a copy makes
    std::size_t m_nNodes = 0;
};

// The common groups of the entity being read. Names point into the file's
// bytes, which live as long as the read.
struct DXFENTITY {
    std::uint16_t m_nType = DXF_NONE;
    std::string_view m_layer;    // 8
    std::string_view m_linetype; // 6
    std::int32_t m_nColor = 256; // 62; 256 = the layer's colour
    double m_dThickness = 0.0;   // 39
    double m_dLinetypeScale = 1.0; // 48
};

struct DXFPOINT3 {
    double x = 0.0, y = 0.0, z = 0.0;
};

// Entity records. Coordinates and lengths are file values x 1000, angles
// radians unless noted; the extrusion stays as read.
struct DXFLINE {
    DXFPOINT3 m_start, m_end, m_extrusion;
};
struct DXFPOINTREC {
    DXFPOINT3 m_at;
};
struct DXFCIRCLE {
    DXFPOINT3 m_centre;
    double m_radius = 0.0;
    DXFPOINT3 m_extrusion;
};
struct DXFARC {
    DXFPOINT3 m_centre;
    double m_radius = 0.0;
    double m_start = 0.0;
    double m_end = 0.0;
    DXFPOINT3 m_extrusion;
};
struct DXFELLIPSE {
    DXFPOINT3 m_centre;
    DXFPOINT3 m_axis; // major-axis end point relative to the centre
    double m_ratio = 0.0;
    double m_start = 0.0; // parameters
    double m_end = 0.0;
    DXFPOINT3 m_extrusion;
};
struct DXFINSERT {
    DXFPOINT3 m_at;
    double m_sx = 1.0, m_sy = 1.0, m_sz = 1.0;
    double m_rotation = 0.0;
    std::string_view m_block;
    DXFPOINT3 m_extrusion;
    // A grid of copies: counts (70, 71) and spacings (44, 45).
    std::int32_t m_nColumns = 1, m_nRows = 1;
    double m_dColumnSpacing = 0.0, m_dRowSpacing = 0.0;
};
struct DXFSPLINE {
    std::int32_t m_flags = 0;  // 70; bit 0 closed, bit 4 (16) coarse sampling
    std::int32_t m_degree = 3; // 71
    bool m_bDegreeRead = false;
    std::vector<double> m_knots;       // 72 gives the count, 40 the values
    std::vector<DXFPOINT3> m_controls; // 73 gives the count, 10/20/30 the points
    std::vector<DXFPOINT3> m_fits;     // 74, 11/21/31: read, not used
    std::size_t m_nKnots = 0, m_nControls = 0, m_nFits = 0; // values filled so far
    bool m_bControlX = false, m_bFitX = false; // the point being filled has its x
    std::vector<double> m_weights; // 41, one per control point in file order
};
struct DXFVERTEX {
    double x = 0.0, y = 0.0, z = 0.0;
    double bulge = 0.0;
};
struct DXFPOLYLINE {
    std::vector<DXFVERTEX> m_vertices;
    std::uint16_t m_flags = 0; // 70; bit 0 closed
    DXFPOINT3 m_extrusion;
};
// No group of a text is scaled when read.
struct DXFTEXT {
    DXFPOINT3 m_at;          // 10
    double m_height = 0.0;   // 40
    double m_rotation = 0.0; // 50, degrees
    double m_width_factor = 0.0; // 41
    bool m_bWidthRead = false;
    DXFPOINT3 m_align;       // 11
    bool m_bAlignRead = false;
    std::uint8_t m_hjust = 0; // 72
    std::uint8_t m_vjust = 0; // 73
    std::string_view m_style; // 7
    std::string m_text;       // 1, decoded, 255 bytes at most
    DXFPOINT3 m_extrusion;
};
struct DXFMTEXT {
    DXFPOINT3 m_at;        // 10
    DXFPOINT3 m_direction; // 11, 21, 31
    bool m_bDirX = false, m_bDirY = false;
    double m_height = 0.0;    // 40
    double m_ref_width = 0.0; // 41
    std::int32_t m_attach = 0;    // 71
    std::int32_t m_drawing = 0;   // 72
    std::string_view m_style;     // 7
    double m_rotation = 0.0;      // radians: 50, else the direction, else 0
    bool m_bRotationRead = false;
    std::string m_text;           // 1, decoded, 255 bytes at most
    DXFPOINT3 m_extrusion;
    std::string m_more;           // 3, as read, pieces appended, 1023 bytes at most
    double m_g42 = 0.0, m_g43 = 0.0;
    double m_line_spacing = 0.0;  // 44
    bool m_bSpacingRead = false;
    std::int32_t m_bg_color = 0;  // 63
    double m_g1040 = 0.0;
};

// The records of every entity kind; the parser of an entity resets its own.
struct DXFDATA {
    DXFLINE m_line;
    DXFPOINTREC m_point;
    DXFCIRCLE m_circle;
    DXFARC m_arc;
    DXFELLIPSE m_ellipse;
    DXFINSERT m_insert;
    DXFSPLINE m_spline;
    DXFPOLYLINE m_polyline;
    DXFTEXT m_text;
    DXFMTEXT m_mtext;
};

// A circular arc: centre, radius, start and end angle, and whether it runs
// counter-clockwise (1) or clockwise (0).
struct DXFARCGEOM {
    double cx = 0.0, cy = 0.0, r = 0.0, start = 0.0, end = 0.0;
    int direction = 0;
};

class CFileTransDxf : public CFileTrans {
public:
    CFileTransDxf();
    ~CFileTransDxf() override;
    CFileTransDxf(const CFileTransDxf&) = delete;
    CFileTransDxf& operator=(const CFileTransDxf&) = delete;

    // Drawing unit as chosen before reading: 0 takes it from the file's
    // $INSUNITS (millimetres without one), 1 inches, anything else
    // millimetres; the last two replace the file's own.
    void SetUnitChoice(std::uint8_t choice);

    // Reads a file and appends its objects to `list` (an empty list takes
    // them). True when the file held a drawable entity. False, with the list
    // as it was, for a folder or a file that cannot be read, a binary DXF, a
    // file without drawable entities, or when memory runs out. A file that
    // ends inside an entity or before its end-of-file group gives what was
    // whole (the cut entity is dropped) and, when read for a document (a
    // context given) and something was whole, one message with the number
    // of entities read.
    bool ReadDxf(const std::string& path, CDocData*& list, DOCCONTEXT* ctx);

    // The same on bytes in memory. One object reads one file.
    bool ReadDxfBytes(std::string bytes, CDocData*& list, DOCCONTEXT* ctx);

    // From how many bytes on an ENTITIES section is read in pieces side by
    // side, and how long a piece is at least (4 MiB and 1 MiB; tests make
    // them small to compare the two ways on small files).
    static void SetSideBySideSizes(std::size_t fromBytes, std::size_t pieceBytes)
    {
        s_sideBySideBytes = fromBytes;
        s_pieceBytes = pieceBytes;
    }

    double m_dUnit = 1.0;       // millimetres per drawing unit
    double m_dCurveTol = 1000.0; // base of the curve tolerances
    DXFSTYLE m_style;

    // What one file may ask for. Counts above kMaxCount are cut to it; an
    // INSERT is left out when its copies would nest deeper than
    // kMaxInsertDepth blocks or make more than kMaxInsertObjects objects or
    // kMaxInsertNodes nodes in all; a spline gives kMaxSplinePoints points at
    // most, and at most kMaxSplineWork / (degree + 1)^2 (each point costs
    // that much), sampled evenly when its curve would need more.
    static constexpr std::size_t kMaxCount = 1000000;
    static constexpr std::uint32_t kMaxInsertDepth = 16;
    static constexpr std::size_t kMaxInsertObjects = 1000000;
    static constexpr std::size_t kMaxInsertNodes = 8000000;
    static constexpr std::size_t kMaxSplinePoints = 100000;
    static constexpr std::size_t kMaxSplineWork = 1600000;
    // Samples per knot span at least, and with flag 16 set; a span's steps
    // are halved while a chord lies farther than kSplineChordTol
    // micrometres (0.01 mm) from the curve.
    static constexpr int kSplineSteps = 20;
    static constexpr int kSplineCoarseSteps = 5;
    static constexpr double kSplineChordTol = 10.0;
    // The longest line kept; the rest of a longer line is passed over.
    static constexpr std::size_t kMaxLine = 1023;
    // Names (styles, fonts, layers, blocks) are held to 511 bytes, as in a
    // 512-byte field with its terminator.
    static constexpr std::size_t kMaxName = 511;

    // The longest start of the code-page bytes of at most maxBytes bytes
    // that does not end inside a double-byte character.
    static std::string_view CutBytes(std::string_view bytes, std::size_t maxBytes);

    // The number of an integer group, held to the 32-bit range.
    static int IntOf(std::string_view v)
    {
        return static_cast<int>(std::clamp<std::int64_t>(plat::ParseInt(v), INT32_MIN, INT32_MAX));
    }

    // Colour of a colour number of the format's standard table (1 to 255);
    // the foreground colour 7 (black) for any other number.
    static plat::COLORREF StandardColour(int number);

    // Text decoding: \U+XXXX with exactly four hex digits becomes that
    // character, \M+nXXXX the double-byte character XXXX of the code page;
    // the result is code-page text of at most `maxBytes` bytes, never cut
    // inside a character.
    static std::string DecodeText(std::string_view value, std::size_t maxBytes = kMaxLine);

    // Geometry of the reader (coordinates in any one unit).
    static DXFARCGEOM BulgeToArc(double px, double py, double qx, double qy, double bulge);
    static DXFARCGEOM CircleThrough3Points(double x1, double y1, double x2, double y2, double x3, double y3);
    static double Bearing(double px, double py, double qx, double qy);
    static double Distance(double px, double py, double qx, double qy);
    static double VectorAngle(double x, double y);
    static bool IsEqualTol(double a, double b);
    static bool IsFlippedExtrusion(const DXFPOINT3& e);

    // Builders of the text records, as handed to the text outline library.
    void BuildTextRecord(const DXFENTITY& entity, const DXFTEXT& rec, Text& out) const;
    void BuildMTextRecord(const DXFENTITY& entity, const DXFMTEXT& rec, MText& out) const;

    // Outline point of the library's working space to micrometres.
    double MapOutlinePoint(double v, bool isY) const;

private:
    using Chain = std::pair<CDocData*, CDocData*>; // head and tail

    // Reads the sections; the objects of ENTITIES go to m_result.
    void ParseDxf(DXFFILE& f, DOCCONTEXT* ctx);
    static void Append(Chain& to, Chain chain);

    // Tokenizer.
    static void SavePos(DXFFILE& f) { f.m_nSaved = f.m_nPos; }
    static void RestorePos(DXFFILE& f) { f.m_nPos = f.m_nSaved; }
    std::string_view ReadLine(DXFFILE& f, bool isCode);
    // False at the end of the bytes (code 0, empty value).
    bool ReadGroup(DXFFILE& f, int& code, std::string_view& value);
    // With `bounded` the search ends at the end of the section or table.
    bool FindGroup(DXFFILE& f, int code, std::string_view text, bool bounded);
    bool FindSection(DXFFILE& f);

    // Sections, tables, blocks.
    std::uint32_t NextSection(DXFFILE& f);
    // Reads on to the next entry `name` (code 0) of the section; false, the
    // section left, at its end or the file's.
    bool NextInSection(DXFFILE& f, std::string_view name);
    void ReadHeader(DXFFILE& f);
    bool NextTable(DXFFILE& f);
    void ReadTable(DXFFILE& f);
    void ReadStyle(DXFFILE& f);
    void ReadLayer(DXFFILE& f);
    bool NextBlock(DXFFILE& f);
    void ReadBlockHead(DXFFILE& f);
    void AddToBlock(Chain chain, DOCCONTEXT* ctx);

    // Entities.
    void ReadEntity(DXFFILE& f, DXFENTITY& e);
    void EndBlock(DXFFILE& f);
    // The next group of the entity being read; false at the code 0 group
    // that ends it (its value in m_lastValue, the position saved before it)
    // or at the end of the bytes (m_bAtEnd).
    bool NextEntityGroup(DXFFILE& f, int& code, std::string_view& value);
    void SkipEntity(DXFFILE& f);
    Chain ConvertEntities(DXFFILE& f, DOCCONTEXT* ctx);
    // The ENTITIES section from f's position read in pieces side by side
    // by readers of their own, each from the start of an entity to the
    // next piece's first entity; true, the chain in `out` and f past the
    // section, when every piece ended exactly where the next began and held
    // only entities that need nothing outside themselves. False, nothing
    // changed, otherwise: the section is then read in one walk.
    bool ConvertEntitiesSideBySide(DXFFILE& f, DOCCONTEXT* ctx, Chain& out);
    // A piece's step: counts its bytes read and moves the progress; false
    // once the work is cancelled.
    bool PieceStep(const DXFFILE& f);
    Chain ConvertEntity(const DXFENTITY& e, DOCCONTEXT* ctx);
    // Stores a common group; false when the code is not one.
    static bool CommonGroup(DXFENTITY& e, int code, std::string_view value);

    void ParseLine(DXFFILE& f, DXFENTITY& e);
    void ParsePoint(DXFFILE& f, DXFENTITY& e);
    void ParseCircle(DXFFILE& f, DXFENTITY& e);
    void ParseArc(DXFFILE& f, DXFENTITY& e);
    void ParseEllipse(DXFFILE& f, DXFENTITY& e);
    void ParseInsert(DXFFILE& f, DXFENTITY& e);
    void ParseSpline(DXFFILE& f, DXFENTITY& e);
    void ParsePolyline(DXFFILE& f, DXFENTITY& e);
    void ParseLwPolyline(DXFFILE& f, DXFENTITY& e);
    void ParseText(DXFFILE& f, DXFENTITY& e);
    void ParseMText(DXFFILE& f, DXFENTITY& e);
    // Entities read and not converted (SOLID, DIMENSION).
    void ParseOther(DXFFILE& f, DXFENTITY& e, std::uint16_t type);

    CDocData* ConvertLine(DOCCONTEXT* ctx);
    CDocData* ConvertPoint(DOCCONTEXT* ctx);
    CDocData* ConvertCircle(DOCCONTEXT* ctx);
    CDocData* ConvertArc(DOCCONTEXT* ctx);
    CDocData* ConvertEllipse(DOCCONTEXT* ctx);
    CDocData* ConvertSpline(DOCCONTEXT* ctx);
    CDocData* ConvertPolyline(DOCCONTEXT* ctx);
    // The copies of the block, their attributes resolved in m_insertAttrs.
    Chain InsertBlock(const DXFENTITY& e, DOCCONTEXT* ctx);
    Chain ConvertText(const DXFENTITY& e, DOCCONTEXT* ctx);
    Chain ConvertMText(const DXFENTITY& e, DOCCONTEXT* ctx);
    Chain WordsToObjects(const CMWordList& words, std::uint32_t layer, DOCCONTEXT* ctx) const;
    // Moves the outline points of a TEXT so that its justification point
    // lands on the alignment point.
    void JustifyText(const DXFTEXT& rec, double angle, CMWordList& words) const;

    // Palette index of a colour number (the layer's for 256, the foreground
    // colour for 0), looked up once per colour number.
    std::uint32_t PaletteIndexOf(std::string_view colourLayer, std::int32_t colour, DOCCONTEXT* ctx);
    std::uint32_t PaletteIndexOf(const DXFENTITY& e, DOCCONTEXT* ctx)
    {
        return PaletteIndexOf(e.m_layer, e.m_nColor, ctx);
    }

    void ShowTooLong();
    void ShowEndedEarly() const;

    bool m_bUnitFixed = false;
    DXFDATA m_data;
    Chain m_result{};     // objects of the ENTITIES sections, owned
    Chain m_converting{}; // objects of the section or block being converted
    std::vector<DXFATTR> m_convertingAttrs; // with the objects of a block
    std::vector<DXFATTR> m_insertAttrs;     // with the copies of the last INSERT
    std::string_view m_lastValue;
    bool m_bAtEnd = false;
    // The code 0 group that ended the last entity: where it starts and ends
    // in the bytes, and its value.
    bool m_bHeldGroup = false;
    std::size_t m_heldAt = 0;
    std::size_t m_heldEnd = 0;
    std::string_view m_heldValue;
    std::vector<DXFBLOCK> m_blocks;
    std::unordered_map<std::string, std::size_t> m_blockIndex;
    // The block whose head was read last, and what its entities nest.
    std::string m_blockName;
    double m_blockBaseX = 0.0, m_blockBaseY = 0.0;
    std::uint32_t m_nBlockDepth = 1;
    std::size_t m_nInsertedObjects = 0;
    std::size_t m_nInsertedNodes = 0;
    // Layer colour numbers by name.
    std::map<std::string, std::int32_t, std::less<>> m_layerColours;
    std::string_view m_lastLayer;
    std::int32_t m_lastLayerColour = 7;
    bool m_bLastLayerValid = false;
    std::array<std::int16_t, 257> m_paletteCache{};
    NodeStock m_nodeStock; // the nodes of the conversions
    DocDataStock m_objectStock; // the lines among their objects
    bool m_bTooLongShown = false;
    // A reader of one piece of a section read side by side: it shows no
    // message (a long line is only noted), stops at m_nStop, and notes an
    // entity it may not convert on its own.
    static inline std::size_t s_sideBySideBytes = std::size_t{4} << 20;
    static inline std::size_t s_pieceBytes = std::size_t{1} << 20;
    bool m_bPiece = false;
    // Shared by the pieces of one section: bytes read of the section's
    // `total`, the work's control and where the section's progress lies in
    // the whole; one piece at a time moves the bar.
    struct PieceWork {
        std::atomic<std::size_t> done{0};
        std::size_t total = 1;
        plat::WorkControl* control = nullptr;
        int wholeFrom = 0;
        int wholeTo = 0;
        std::mutex stepping;
    };
    PieceWork* m_pieceWork = nullptr;
    std::size_t m_nPieceStepAt = 0;
    bool m_bPieceCancelled = false;
    bool m_bTooLongSeen = false;
    bool m_bNeedsWhole = false;
    std::size_t m_nStop = static_cast<std::size_t>(-1);
    // The bytes ended inside an entity; an end-of-file group was read; the
    // entities read whole.
    bool m_bCutShort = false;
    bool m_bSawEof = false;
    std::size_t m_nEntitiesRead = 0;
    // Entities since the last step of the work's progress.
    static constexpr std::size_t kEntitiesPerStep = 4096;
    std::size_t m_nSinceStep = 0;
};
