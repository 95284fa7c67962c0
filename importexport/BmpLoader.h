// Raster images into the drawing. A BMP file becomes one image object that
// refers to an 8-bit grey copy of it (or a black and white one, or a
// halftone screen of it) in the program's file folder, on a layer no object
// of the document uses yet, switched to engraving. JPEG, PNG and GIF files
// are first converted into a 24-bit BMP.
//
// Every copy gets a name no file has yet; a failed import leaves no copy
// behind and changes neither the document nor the layer records.
#pragma once
#include "platform/ImportOptions.h"

#include <cstdint>
#include <string>

class BmpPixels;
class CDocData;
struct DOCCONTEXT;

class CBmpLoader {
public:
    CBmpLoader() = default;
    virtual ~CBmpLoader() = default;

    // The placement record: the size in millimetres that an image without
    // a resolution of its own is given. Reset clears it; SetSize stores
    // both sizes, and counts only when both are positive and finite.
    void Reset() { m_bSizeValid = 0; }
    void SetSize(double widthMm, double heightMm);

    // Makes the image object of a BMP file at the context's mouse point
    // (with `place`) or at the machine origin. Without options (no dialog
    // was shown) the copy is grey; otherwise it is grey or cut to black and
    // white as the options say, and a grey one becomes a halftone screen of
    // the options' cell size (millimetres) and angle (0 or 45) when they ask
    // for one. The object's layer is the highest palette index that no
    // object of the document uses, groups and texts searched through; that
    // layer's record is set to engrave only. False, with nothing changed,
    // for a file that is not a BMP of 1, 8, 24 or 32 bits per pixel
    // (compressed and 4- and 16-bit files are refused), a size beyond the
    // import's limits, a halftone that cannot be made (cell of 0 or less, or
    // of more than the screen's limit, an angle other than 0 and 45), a
    // document that uses every layer, and a copy that cannot be written.
    bool LoadBitmap(const std::string& path, CDocData*& object, const plat::BitmapChoice* options, DOCCONTEXT* ctx,
                    bool place);

    // Decodes a JPEG, PNG or GIF file (told by its first bytes) into a
    // 24-bit BMP at `target`, a file for the program's run only (see
    // plat::WriteScratchFile), as the copies are. Any file already at the
    // target is removed first, so a failure never leaves an older image
    // there to be imported instead. False when the source cannot be read or
    // decoded or the target cannot be written.
    static bool ConvertToBmp(const std::string& source, const std::string& target);

    // The grey copy of a BMP held in memory: the source's headers with 8
    // bits per pixel, 256 colours used, the grey ramp palette at 54 and the
    // pixels at 1078, rows bottom-up (a top-down source is turned), padding
    // 255. 1-bit pixels become 0 or 255 (BmpPixels::BitGrey; the padding
    // takes the byte of bit 0); 8, 24 and 32-bit pixels (8 bits through
    // their palette entry) become (306 red + 601 green + 117 blue) >> 10,
    // 32-bit pixels laid over white first when the file uses its alpha
    // bytes. The resolution fields are written as given. False for a form
    // BmpPixels::Open refuses or when the memory cannot be had.
    static bool ToGrey8(const BmpPixels& source, std::int32_t xPels, std::int32_t yPels, std::string& grey);

    // Every pixel of a grey copy below 128 becomes 0, every other 255.
    static void Binarise(std::string& grey);

    // The highest palette index (255 down) that no object of the document
    // uses as its layer, groups and texts searched through, and its colour.
    // False when every index is in use.
    static bool FindFreeLayer(int& index, std::uint32_t& colour, DOCCONTEXT* ctx);
    // Gives an image the free layer of the context's document and its
    // colour, and makes that layer engrave; false when no layer is free.
    static bool SettleLayer(CDocData& image, DOCCONTEXT* ctx);

    // Replaces every pixel of a grey image file by its complement, in one
    // step (a temporary file renamed over it). False, the file untouched,
    // when it cannot be read or written (a read-only file included) or is
    // not an uncompressed bottom-up 8-bit BMP whose rows lie in the file.
    static bool InvertImage(const std::string& path);

    // The copies are numbered by one counter for the program's run.
    static void SetImageCounterForTesting(int value);

private:
    static void SettleLayer(CDocData& image, int layer, std::uint32_t colour, DOCCONTEXT* ctx);

    std::uint8_t m_bSizeValid = 0;
    double m_dWidthMm = 0.0;
    double m_dHeightMm = 0.0;
};
