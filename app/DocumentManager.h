// What the application needs of the document manager, which keeps the open
// documents and their windows.
#pragma once
#include "importexport/FileReadTrans.h"

#include <QString>

class DocumentManager {
public:
    virtual ~DocumentManager() = default;
    // A new document in a new window.
    virtual void NewDocument() = 0;
    // Opens (imports) a file as a new document; false, reporting nothing,
    // when it cannot be opened or imported.
    virtual bool OpenDocumentFile(const QString& path) = 0;
    // Why the last open that failed did: a question the operator cancelled
    // is no failure to report.
    virtual ImportFailure LastOpenFailure() const { return ImportFailure::Damaged; }
    // Asks about every unsaved document; false when the operator cancels.
    virtual bool SaveAllModified() = 0;
};
