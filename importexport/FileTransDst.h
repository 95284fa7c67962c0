// Embroidery stitch files in the balanced-ternary layout (".dst"). The
// records become polylines through the stage shared with the DSB reader.
#pragma once
#include "FileTransDsb.h"

class CFileTransDst : public CFileTrans {
public:
    // A new object list (null when the file cannot be read or holds no
    // record); always true.
    bool ReadDst(const std::string& path, CDocData*& list, DOCCONTEXT* ctx);

    // The records after the header up to the end code (byte 2 = 0xF3) or
    // the last whole record, with the jump marks passed on.
    static std::vector<STITCHREC> ParseStitches(std::string_view bytes);
};
