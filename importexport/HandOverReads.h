// How the plug-in hand-over reads the files its list names: each kind of
// entry through the reader of its format, with the settings the hand-over
// fixes (no dialogs). The readers are virtual so that the list's handling
// can be exercised without them.
#pragma once
#include <string>

class CDocData;
struct DOCCONTEXT;

class CHandOverReads {
public:
    CHandOverReads() = default;
    virtual ~CHandOverReads() = default;

    // A DXF drawing in world units and the document's orientation, read in
    // the file's own unit (millimetres when it names none) with the curve
    // tolerance 1000. False when it cannot be read or draws nothing.
    virtual bool ReadDxf(const std::string& path, CDocData*& list, DOCCONTEXT* ctx);

    // One image object with its origin on the context's mouse point; an
    // image without a resolution of its own takes the size given in
    // millimetres. False when the file cannot be read as an image.
    virtual bool ReadBitmap(const std::string& path, double widthMm, double heightMm, CDocData*& object,
                            DOCCONTEXT* ctx);

    // An Illustrator drawing with its lower-left corner on the context's
    // mouse point, the file's y axis kept. False when it cannot be read.
    virtual bool ReadAi(const std::string& path, CDocData*& list, DOCCONTEXT* ctx);
};
