// Line-oriented text files. Readers accept LF or CR LF; writers use CR LF so
// files move between installations unchanged.
#pragma once
#include <string>
#include <vector>

namespace plat {

// Reads every line of a file with its line end (LF, and a CR before it)
// removed. False when the file cannot be read (see ReadWholeFile).
bool ReadTextLines(const std::string& path, std::vector<std::string>& lines);

// Splits a buffer into lines the same way.
std::vector<std::string> SplitTextLines(const std::string& text);

// Writes every line followed by CR LF. False when the file cannot be written
// completely.
bool WriteTextLinesCrLf(const std::string& path, const std::vector<std::string>& lines);

// Reads a whole regular file. False, with `data` left as it was, when the
// path names no regular file (a folder, a device, a pipe), or when opening or
// reading fails; never throws.
bool ReadWholeFile(const std::string& path, std::string& data);

bool WriteWholeFile(const std::string& path, const std::string& data);

} // namespace plat
