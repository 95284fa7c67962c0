#include "HandOverReads.h"

#include "BmpLoader.h"
#include "FileTransAi.h"

bool CHandOverReads::ReadDxf(const std::string&, CDocData*&, DOCCONTEXT*)
{
    // No DXF reader is built in yet.
    return false;
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
