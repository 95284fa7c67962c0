// The few texts that the application framework itself shows (message box
// buttons, a file that cannot be opened, a lock that cannot be taken, unsaved
// changes). They are not in the language files: each is kept here in English
// and Chinese, and the language is chosen as the help file is.
#pragma once
#include "importexport/FileReadTrans.h"

#include <QString>

enum class FrameworkText {
    Ok,
    Cancel,
    Yes,
    No,
    CannotOpenFile, // %1: the file
    CannotLock,     // %1: the lock file
    SaveChanges,    // %1: the document's title
    EnterNumber,    // an edit that must hold a number holds none
    FileNotFound,   // %1: the file
    NotAFile,       // %1: the path
    UnknownType,    // %1: the file
    FileEmpty,      // %1: the file
    FileDamaged,    // %1: the file
};

// True when the pointer file Language/Language of the program folder cannot
// be read or names one of the two Chinese language files.
bool IsChineseLanguageCurrent();

QString FrameworkString(FrameworkText text);

// The message of an open or import that failed, naming the file and the
// reason; empty for a cancelled question (and for no failure).
QString OpenFailureText(const QString& file, ImportFailure why);
