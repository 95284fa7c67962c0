// File names as the file system holds them: bytes, which need not be UTF-8.
// A name keeps its bytes from the command line to the document and into the
// recent-file list, and becomes text only to be shown: in Qt 6
// QFile::decodeName turns bytes that are not UTF-8 into U+FFFD, and
// encodeName does not give them back.
#pragma once
#include <QString>

#include <string>

// The bytes of a name held as text (as a file dialog gives it).
std::string FileNameBytes(const QString& name);
// A name as text to show; bytes that are not UTF-8 show as U+FFFD.
QString FileNameText(const std::string& name);
// Whether the name's text gives its bytes back exactly.
bool IsTextName(const std::string& name);
// The absolute form of a name: a relative one is taken from the current
// folder; empty, "." and ".." components are resolved as written.
std::string AbsoluteFileName(const std::string& name);
// The bytes of the file a file dialog returned. False, after telling the
// operator so, when the dialog could not hold the file's name (bytes that
// are not UTF-8 come back as U+FFFD, naming no file).
bool ChosenFileName(const QString& chosen, std::string& name);
