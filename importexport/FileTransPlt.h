// HPGL plotter files (".plt"), both ways. The export writes the whole
// document as pen-up / pen-down paths in plotter units of 1/40 mm, marked
// with the maker word on its first line; the import replays a plotter's pen
// over the file and turns every pen-down run into a polyline (a pen put
// down without moving into a point) in plotter units, which the import
// dispatcher scales and mirrors.
//
// What the reader understands, in either case and with HP-GL/2's number
// forms: PU, PD, PA, PR; SP (SP0 ends the file); LT (ends the path); IN and
// DF; IP and SC (user units, scaling types 0, 1 and 2); PE encoded
// polylines; AA, AR and CI, flattened within one plotter unit. LB labels are
// skipped up to their terminator (ETX or the one DT sets), DT and SM take
// the character that follows, PCL escapes are passed over; every other
// command (IR, PS, RO, IW, polygons, rectangles, wedges, labels' text) draws
// nothing and its numbers are no coordinates.
#pragma once
#include "processing/FileTrans.h"

#include <string>
#include <string_view>

class CDocData;
struct DOCCONTEXT;

// The maker word on the first line of every file the export writes.
inline constexpr std::string_view kPltMakerWord = "Halvoren";

class CFileTransPlt : public CFileTrans {
public:
    // Writes the objects of the current snapshot, array copies as real
    // paths, to `path`, asking before an existing file is replaced. The
    // document and its undo history stay as they are. The file is replaced
    // in one step (plat::WriteWholeFile), so a failed export leaves an old
    // file whole. False for an empty document, a cancel, or a write failure
    // (reported).
    bool ExportPlt(const std::string& path, DOCCONTEXT* ctx);

    // Appends the lines of one object (texts and groups: of each child, in
    // order). False when a coordinate does not fit a 32-bit plotter unit;
    // what was appended is then of no use.
    bool WriteObject(std::string& file, const CDocData* object);

    // Reads a file into a new object list in file units (null when it holds
    // no path). False when the file cannot be read, or when a coordinate is
    // not finite or outside the 32-bit range; the list is then null.
    bool ReadPlt(const std::string& path, CDocData*& list, DOCCONTEXT* ctx);

    // The same on bytes in memory.
    bool ParsePlt(std::string_view bytes, CDocData*& list, DOCCONTEXT* ctx);
};
