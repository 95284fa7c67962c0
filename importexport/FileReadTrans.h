// The one entry through which a drawing file becomes document objects. It
// picks a road by the file name's extension, asks the operator for the
// options the road needs, has the road's reader make the objects, brings
// them to world units and the document's orientation, cleans them up,
// places them and links them into the document as one undo step.
#pragma once
#include "model/GeoBox.h"
#include "platform/Win.h"

#include <cstdint>
#include <string>
#include <string_view>

class CDocData;
class CHandOverReads;
struct DOCCONTEXT;

// Why an import added nothing: the operator cancelled one of its questions,
// or the file is missing, is not a regular file, has a type without a
// reader, is empty, or holds nothing its reader could take; or its drawing
// reaches beyond the world, which the import has said itself.
enum class ImportFailure : std::uint8_t {
    None,
    Cancelled,
    NotFound,
    NotRegularFile,
    UnknownType,
    Empty,
    Damaged,
    OutOfReach
};

class CFileReadTrans {
public:
    CFileReadTrans() = default;
    virtual ~CFileReadTrans() = default;

    // Imports one regular file into the document of ctx; with `place` the
    // drawing's lower-left corner lands on the context's mouse point. True
    // when objects were added, as one undo step, after which every object of
    // the document is selected. False, with document and history as they
    // were, for a missing file or a folder, an extension without a road, a
    // cancelled dialog, a reader failure or a file without objects; `why`
    // (when given) then tells which.
    bool ReadFile(DOCCONTEXT* ctx, const std::string& path, bool place, ImportFailure* why = nullptr);

    // Index of the palette entry nearest to the colour (sum of the three
    // byte distances; the first of equal ones wins); 0 without a palette.
    static std::uint32_t NearestPaletteIndex(plat::COLORREF colour, const plat::COLORREF* palette);

    // Moves every object of the document so that the box's lower-left
    // corner lands on the context's mouse point.
    static void PlaceObjects(DOCCONTEXT* ctx, const CGeoBox& box);

    // The plug-in hand-over: imports what the list file "cad.param" of the
    // folder names, or "cor.param" when there is no cad.param (see
    // CPluginParamList). Without either nothing happens and nothing is
    // shown. The list files stay where they are.
    void ReadPluginParam(DOCCONTEXT* ctx, const std::string& folder);

    // The import of a list file's bytes, its entries read through `reads`
    // from the folder (ending in a separator). Every entry's objects are
    // gathered in file order; a cor.param import is mirrored top to bottom
    // within the extents its entries give (an image by its origin, its
    // pixels untouched). Then, as one undo step, the gathered objects
    // become the document's object list, are placed with their lower-left
    // corner on the machine origin and are all selected. Entries that are
    // refused or cannot be read are named in one message; the others are
    // still imported.
    static void ImportPluginList(DOCCONTEXT* ctx, const std::string& folder, std::string_view bytes, bool cad,
                                 CHandOverReads& reads);
};
