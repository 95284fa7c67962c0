#include "HandOverReads.h"

#include "FileTransAi.h"

bool CHandOverReads::ReadDxf(const std::string&, CDocData*&, DOCCONTEXT*)
{
    // No DXF reader is built in yet.
    return false;
}

bool CHandOverReads::ReadBitmap(const std::string&, double, double, CDocData*&, DOCCONTEXT*)
{
    // No image import is built in yet.
    return false;
}

bool CHandOverReads::ReadAi(const std::string& path, CDocData*& list, DOCCONTEXT* ctx)
{
    CFileTransAi reader;
    return reader.ReadAi(path, list, ctx);
}
