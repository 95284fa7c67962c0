// What the application needs of the document manager, which keeps the open
// documents and their windows.
#pragma once
#include "FileNames.h"
#include "importexport/FileReadTrans.h"

#include <QString>

#include <string>

class DocumentManager {
public:
    virtual ~DocumentManager() = default;
    // A new document in a new window.
    virtual void NewDocument() = 0;
    // Opens (imports) a file, named by the file system's bytes, as a new
    // document; false, reporting nothing, when it cannot be opened or
    // imported.
    virtual bool OpenDocumentFile(const std::string& path) = 0;
    // The same for a name held as text.
    bool OpenDocumentFile(const QString& path) { return OpenDocumentFile(FileNameBytes(path)); }
    // Why the last open that failed did: a question the operator cancelled
    // is no failure to report.
    virtual ImportFailure LastOpenFailure() const { return ImportFailure::Damaged; }
    // Asks about every unsaved document; false when the operator cancels.
    virtual bool SaveAllModified() = 0;
};
