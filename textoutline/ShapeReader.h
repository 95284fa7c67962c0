// A compiled shape font (.shx): a plain shape font, a big font for
// double-byte codes, or a Unicode font, with the interpreter that turns one
// shape's byte codes into lines and arcs.
//
// Every offset, length and count read from the file is checked against the
// file's size; a shape whose name or operands run past its own data stops
// there, and subshape calls are limited in depth and in total work, so no
// file can make the reader read outside its buffer or run without end.
#pragma once
#include "DxfObject.h"
#include "Letrova.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CShapeReader {
public:
    static constexpr int kShapeFont = 1;
    static constexpr int kBigFont = 2;
    static constexpr int kUnicodeFont = 3;

    static constexpr int kMaxStack = 9;
    // Nesting of subshape calls; deeper calls are not made.
    static constexpr int kMaxDepth = 16;
    // Commands one Execute may run, subshapes included.
    static constexpr int kMaxCommands = 100000;
    // Larger files are not shape fonts.
    static constexpr std::uint64_t kMaxFileSize = 64u * 1024u * 1024u;

    struct Entry {
        std::uint16_t code = 0;
        std::uint32_t offset = 0; // in the file
        std::uint32_t length = 0;
    };

    // Reads the file and its shape table: 0, or -1 when it cannot be read or
    // is no shape font.
    int LoadFont(const std::string& fileName);
    // The same from bytes in memory.
    int LoadFromMemory(std::vector<std::uint8_t> bytes);

    bool IsLoaded() const { return m_loaded; }
    int FontType() const { return m_type; }
    // Reference height: the font information shape's height, or the
    // default of the font type.
    double FontHeight() const { return m_fontHeight; }
    const std::vector<Entry>& Table() const { return m_table; }

    // Index of the shape with that code in the table; -1 when there is none.
    int FindCode(std::uint32_t code) const;

    // Interprets the shape at the index from a fresh state (point 0, 0,
    // scale 1, pen down) into Objects(); 0, or -1 when the font is not loaded
    // or the index lies outside the table.
    int Execute(std::uint32_t code, int index);

    const std::vector<std::unique_ptr<dxfObject>>& Objects() const { return m_objects; }

    // The lines and arcs of the last shape executed as open contours, at the
    // pen: a shape point (x, y) lands on (penX + x, penY - y). A line gives
    // two plain points, an arc one cubic segment per half turn or less.
    std::vector<COutLine> ToContours(double penX, double penY) const;

private:
    void Reset();
    bool ParseShapeFont(std::size_t eof);
    bool ParseBigFont(std::size_t eof);
    bool ParseUnicodeFont(std::size_t eof);
    // Byte 4 before the end of the shape, when the shape is long enough.
    bool InfoByte(const Entry& e, std::size_t fromEnd, std::uint8_t& value) const;

    // The codes of one shape, read forward up to the end of its entry.
    struct Codes;
    void ExecShape(int index, int depth);
    // The commands that take operands; each answers false when the shape's
    // bytes (or, for the lists, the command budget) end first, which ends
    // the shape. `run` false reads the operands only (after code 14).
    // Code 7: the subshape the next one or two bytes name.
    bool ExecSubshape(Codes& codes, int depth, bool run);
    // Codes 9 and 13: displacements, with a bulge each for 13, up to (0,0).
    bool ExecVectorList(Codes& codes, bool bulges, bool run);
    // Codes 10 and 11: an arc by octants, fractional for 11.
    bool ExecOctantArc(Codes& codes, std::uint8_t code, bool run);
    // An arc that starts at the pen at angle `startDeg` of its circle; the pen
    // moves to its end.
    void ArcFromPen(double radius, double startDeg, double endDeg, bool clockwise);
    void MoveTo(double x, double y);
    void AddArc(double cx, double cy, double radius, double startDeg, double endDeg, bool clockwise);
    void AddBulgeArc(double dx, double dy, int bulge);

    std::vector<std::uint8_t> m_data;
    std::vector<Entry> m_table;
    int m_type = 0;
    double m_fontHeight = 0.0;
    bool m_loaded = false;

    // Interpreter state.
    double m_x = 0.0;
    double m_y = 0.0;
    double m_scale = 1.0;
    bool m_penDown = true;
    bool m_skipNext = false;
    std::vector<std::pair<double, double>> m_stack;
    int m_commandsLeft = 0;
    std::vector<std::unique_ptr<dxfObject>> m_objects;
};
