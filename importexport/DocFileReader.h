// The system's own drawing files (".wcvr"): a keyword text format that
// spells every object out field by field, one value per line, and embeds
// the bytes of image files as three-digit decimal fields. Read only.
//
// Top level: "VERSION" (one line), "COORDINATE" (one integer line),
// "UNITS" (one real line) are read and not used; "META" is followed by an
// object: a tag line ("MT_POINT" ... "MT_GROUP") and its block up to "END"
// or the end of the file. Other lines are skipped, and so is an object with
// any other tag. In a block, "PEN" gives the layer, "START" makes the
// object, "VALUE" adds a node (x, y, kind, selection), a child object (text
// and group: one line, then a whole object) or the image bytes (image:
// after "LEN", "POSITION" and "BITCOUNT"), "EXTERN" the lead record (ten
// lines) and "ARRAY" the array record (seven lines, whatever they hold).
//
// What is checked, so that no file can make a broken drawing: a layer
// outside the 256-entry palette, a coordinate that is not finite or lies
// beyond 1e9, a node kind or selection other than 0 to 2, an array record
// of no or too many copies, image bytes outside 0 to 255 or beyond the end
// of the file, a record cut off by the end of the file, and objects nested
// deeper than kMaxDocFileDepth all fail the whole read. A failed read gives
// no objects and leaves no image file behind.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CDocData;
struct DOCCONTEXT;

// Objects nested inside each other (groups and texts) deeper than this fail
// the read: each level is read by a call of its own.
constexpr int kMaxDocFileDepth = 64;
// Largest coordinate (and length, angle, pitch) a file may give.
constexpr double kMaxDocFileCoordinate = 1e9;

class CDocFileReader {
public:
    CDocFileReader() = default;
    virtual ~CDocFileReader() = default;

    // The objects of a file in file order, as a new list (owned by the
    // caller). With a context every object takes its colour from the
    // palette by its layer and gets its box. True when at least one object
    // was read; false, with `list` null, for a file that cannot be read,
    // that holds no object, or that fails a check.
    bool Read(const std::string& path, CDocData*& list, DOCCONTEXT* ctx);
    // The image files the last successful read wrote.
    const std::vector<std::string>& Written() const { return m_written; }

    // The same on the bytes of a file; `fileName` is its name, whose part
    // before the last "." names the image files it embeds (in the file
    // folder: name, number from 0, ".bmp", the number going on past names
    // another file has already).
    bool ReadBytes(std::string_view bytes, const std::string& fileName, CDocData*& list, DOCCONTEXT* ctx);

    // The keywords, in the order of their indices; the ten "MT_" tags follow
    // the type ids 0 to 9.
    static constexpr std::array<std::string_view, 23> kKeywords = {
        "VERSION", "COORDINATE", "UNITS",      "META",      "PEN",       "LEN",     "POSITION", "BITCOUNT",
        "START",   "VALUE",      "END",        "EXTERN",    "ARRAY",     "MT_UNKNOWN", "MT_POINT", "MT_LINE",
        "MT_RECT", "MT_ELLIPSE", "MT_BEZIER",  "MT_NURBS",  "MT_BITMAP", "MT_CHAR", "MT_GROUP"};

private:
    // The object after a META (or inside a text or group); null when its
    // tag names no class, when it had no START, or when the read failed.
    CDocData* ReadObject(DOCCONTEXT* ctx, int depth);
    // One block up to END or the end of the file; `object` is made at START.
    void ReadBlock(std::uint32_t type, CDocData*& object, DOCCONTEXT* ctx, int depth);
    void ReadImageBlock(CDocData*& object, DOCCONTEXT* ctx);
    bool ReadLeads(CDocData* object);
    bool ReadArray(CDocData* object);
    bool WriteImage(std::string_view fields, std::string& path);

    // The next line without its line end; false at the end of the text.
    bool NextLine(std::string_view& line);
    // Value lines: false (and the read failed) when the text ends first or
    // the value breaks its check.
    bool IntLine(std::int64_t& value, std::int64_t lowest, std::int64_t highest);
    bool RealLine(double& value);
    bool Fail();

    std::string_view m_text;
    std::size_t m_pos = 0;
    bool m_failed = false;
    std::string m_imageStem;
    int m_nImage = 0;
    std::vector<std::string> m_written;
};
