// Line-oriented text files. Readers accept LF or CR LF; writers use CR LF so
// files move between installations unchanged.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace plat {

// Reads every line of a file with its line end (LF, and a CR before it)
// removed. False when the file cannot be read (see ReadWholeFile).
bool ReadTextLines(const std::string& path, std::vector<std::string>& lines);

// Splits a buffer into lines the same way.
std::vector<std::string> SplitTextLines(const std::string& text);

// Writes every line followed by CR LF, as WriteWholeFile does.
bool WriteTextLinesCrLf(const std::string& path, const std::vector<std::string>& lines);

// Reads a whole regular file. False, with `data` left as it was, when the
// path names no regular file (a folder, a device, a pipe), or when opening or
// reading fails; never throws.
bool ReadWholeFile(const std::string& path, std::string& data);

// The same for a file read once from front to back (a drawing's text): its
// buffer is not asked for huge pages, whose faults (a 2 MiB page zeroed, and
// memory compacted to find one) cost more than a single pass saves on
// address translation.
bool ReadWholeFileOnce(const std::string& path, std::string& data);

// Replaces a file as one step: the bytes go to a temporary file in the same
// folder, which is flushed to disk and then renamed over the target. On any
// failure (the folder cannot be written, the disk is full) the old file stays
// as it was, the temporary is removed and the result is false. A symbolic
// link keeps pointing at the file it names, which is replaced; a target that
// exists but is no regular file is refused. The old file's permissions are
// kept; a new file gets the usual ones.
bool WriteWholeFile(const std::string& path, const std::string& data);
// The same for size bytes held elsewhere, written without a copy.
bool WriteWholeFile(const std::string& path, const void* data, std::size_t size);

// WriteWholeFile without waiting for the disk, for files that live only as
// long as the program runs (the images in the work and file folders, which
// the program empties at exit): still replaced in one step, so no reader
// ever sees half a file, but a power cut may lose them, as it loses the run.
bool WriteScratchFile(const std::string& path, const std::string& data);

// Creates an empty file under a name that nothing has yet: false when any
// file, folder or link of that name exists or the file cannot be made. Used
// to claim a new name before WriteWholeFile fills it, so that a generated
// file never replaces another one.
bool CreateNewFile(const std::string& path);

// Scratch runs that write thousands of throw-away files (fuzzing) may skip
// the flush to disk: a file is still replaced in one step, it only need not
// survive a power cut. On by default.
void SetFlushToDiskForTesting(bool flush);

} // namespace plat
