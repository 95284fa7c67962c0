// Where the program and the user's data live.
#pragma once
#include <string>

namespace plat {

// Folder of the running executable, ending in '/'.
std::string ProgramFolder();

// Overrides the program folder (tests point it at a scratch folder); empty
// restores the real one.
void SetProgramFolderForTesting(const std::string& folder);

// The user's application-data folder ($XDG_DATA_HOME, default ~/.local/share),
// ending in '/'.
std::string AppDataFolder();

// Index of the last path separator, or npos.
std::size_t LastSeparator(const std::string& path);

// Folder of a file: everything up to and including the last separator;
// empty when there is none.
std::string FolderOf(const std::string& path);

// File name after the last separator.
std::string FileNameOf(const std::string& path);

// Ensures a trailing separator.
std::string WithTrailingSeparator(const std::string& folder);

} // namespace plat
