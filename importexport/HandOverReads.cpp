#include "HandOverReads.h"

#include "BmpLoader.h"
#include "FileTransAi.h"
#include "FileTransDxf.h"
#include "processing/FileTrans.h"

namespace {

// The reader gives micrometres; the drawing's y axis points up (corner 2).
constexpr double kDxfFactor = 100.0;
constexpr int kDxfCorner = 2;
constexpr int kDocumentCorner = 0;

} // namespace

bool CHandOverReads::ReadDxf(const std::string& path, CDocData*& list, DOCCONTEXT* ctx)
{
    // No dialog: the reader as constructed, the file's own unit or
    // millimetres, and the curve tolerance 1000.
    CFileTransDxf reader;
    if (!reader.ReadDxf(path, list, ctx))
        return false;
    CFileTrans::ScaleAndConvertOrigin(list, kDxfFactor, kDxfCorner, kDocumentCorner, ctx);
    return true;
}

bool CHandOverReads::ReadBitmap(const std::string& path, double widthMm, double heightMm, CDocData*& object,
                                DOCCONTEXT* ctx)
{
    // No dialog: a grey copy, as the plug-in exported it.
    CBmpLoader loader;
    loader.SetSize(widthMm, heightMm);
    return loader.LoadBitmap(path, object, nullptr, ctx, true);
}

bool CHandOverReads::ReadAi(const std::string& path, CDocData*& list, DOCCONTEXT* ctx)
{
    CFileTransAi reader;
    return reader.ReadAi(path, list, ctx);
}
