// Adobe Illustrator files (".ai", PostScript text) to Bezier paths,
// polylines and points. Only what the geometry needs is read: the stroke
// colour operators, path construction and painting. Each distinct colour
// becomes the next layer in order of first use. Coordinates are points; a
// world unit is 0.1 mm, so a node lies at the file value / 0.2834... . The
// y axis stays the file's; the import dispatcher mirrors it.
#pragma once
#include "processing/FileTrans.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CDocData;
struct DOCCONTEXT;
struct DOCNODE;

// One path construction operator waiting for its painting operator.
struct AISEGMENT {
    std::uint32_t m_nKind = 0; // 0 moveto, 1 lineto, 2 curveto
    double m_coords[8] = {};   // x, y pairs; a curve holds its start point first
    std::uint32_t m_nCount = 0; // 2 or 8
    std::uint8_t m_bSmooth = 0;
};

// Points per world unit: 72 / (25.4 x 10).
inline constexpr double kAiPointsPerWorldUnit = 0.28346246479299203;

class CFileTransAi : public CFileTrans {
public:
    CFileTransAi();
    ~CFileTransAi() override;
    CFileTransAi(const CFileTransAi&) = delete;
    CFileTransAi& operator=(const CFileTransAi&) = delete;

    // Reads a file into a new object list, newest path first, its lower-left
    // corner on the context's mouse point (on (0, 0) without a context);
    // null when it holds no path. False when the file cannot be read, when
    // it is a PDF-based file, or when a number of a path or colour operator
    // is not finite or lies beyond 1e9 points.
    bool ReadAi(const std::string& path, CDocData*& list, DOCCONTEXT* ctx);

    // The same on bytes in memory. One object reads one file.
    bool ParseAi(std::string_view bytes, CDocData*& list, DOCCONTEXT* ctx);

    // Splits a line into its operator (the text after the last blank) and
    // the numbers before it. A comment line gives neither; a token starting
    // with '%' drops every number of the line. False for a line of more
    // than kMaxNumbers numbers, which is ignored whole.
    static bool Tokenize(std::string_view line, std::vector<double>& numbers, std::string_view& op);

    static constexpr std::size_t kMaxNumbers = 1003;
    static constexpr std::uint32_t kNoColour = 65535;
    static constexpr std::size_t kMaxColours = 300;

private:
    // False when a number the operator uses is not finite or lies beyond
    // 1e9 points.
    bool ExecOperator(std::string_view op, const std::vector<double>& numbers);
    std::uint32_t ColourFromOperator(std::string_view op, const std::vector<double>& numbers);
    std::uint32_t ColourIndex(std::uint32_t colour);
    void AddSegment(std::string_view op, const std::vector<double>& numbers);
    void CloseSubpath();
    void SegmentsToNodes();
    void FreeSegments() { m_segments.clear(); }
    void AppendNode(double x, double y, std::uint8_t kind);
    void FinishObject();
    void PlaceAtMouse(CDocData* list, DOCCONTEXT* ctx);

    std::uint8_t m_bInLayer = 0;
    std::int32_t m_nColour = 0;
    // The colour of the path under construction, saved when it began.
    std::int32_t m_nPrevColour = 0;
    std::int32_t m_nFinishColour = 0;
    DOCNODE* m_pCurrent = nullptr; // node list of the path under construction
    DOCNODE* m_pLastNode = nullptr;
    CDocData* m_pObjects = nullptr;
    std::uint8_t m_bSmooth = 0;
    std::vector<AISEGMENT> m_segments;
    std::vector<std::uint32_t> m_colours;
    DOCCONTEXT* m_pCtx = nullptr;
};
