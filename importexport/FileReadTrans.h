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
#include <vector>

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

// A file's drawing read by its road, not yet in a document: in world units
// and the document's orientation, cleaned, open curves joined, every object
// selected; `box` is their box. `made` names the files the reading wrote
// (image copies in the work and file folders). Unless taken, the objects
// are freed and those files removed with it.
struct ImportedObjects {
    ImportedObjects() = default;
    ~ImportedObjects();
    ImportedObjects(const ImportedObjects&) = delete;
    ImportedObjects& operator=(const ImportedObjects&) = delete;
    // Frees the objects and removes the files.
    void Drop();

    CDocData* list = nullptr;
    CGeoBox box;
    std::vector<std::string> made;
    // An image read without the document: it takes the document's free
    // layer when it is added.
    bool needsLayer = false;
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
    // ReadFile in two halves. The first reads the file through its road and
    // cleans its objects up; it changes no document (only the context's
    // settings), so it may run off the interface thread on a context of
    // copies without a document, where its progress moves with the reading
    // and it stops when the thread's work is cancelled (Cancelled). The
    // second places the objects and links them into the document as
    // ReadFile does, as one undo step; false, nothing added, when no layer
    // is left for an image read without the document.
    bool ReadObjects(DOCCONTEXT* ctx, const std::string& path, bool place, ImportedObjects& out,
                     ImportFailure* why = nullptr);
    bool AddObjects(DOCCONTEXT* ctx, ImportedObjects& objects, bool place);

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
