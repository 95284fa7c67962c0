// What the application needs of the document manager, which keeps the open
// documents and their windows.
#pragma once
#include <QString>

class DocumentManager {
public:
    virtual ~DocumentManager() = default;
    // A new document in a new window.
    virtual void NewDocument() = 0;
    // Opens (imports) a file as a new document; false, reporting nothing,
    // when it cannot be opened or imported.
    virtual bool OpenDocumentFile(const QString& path) = 0;
    // Asks about every unsaved document; false when the operator cancels.
    virtual bool SaveAllModified() = 0;
};
