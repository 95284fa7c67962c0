// The work folder, the parameter folder, the file folder and the name of a
// machine's technology file.
//
// Both the main program and the communication library find their files
// through these functions, so that they always agree on where a file lies:
//  - work folder: the first line of workPath.txt in the program folder when it
//    is an absolute path, else <application-data folder>/Halvoren/Brenvik/work/;
//  - parameter folder: the work folder without its final "work" component
//    (MacInfo.par, software.par, Tech<name>.par, ... lie there);
//  - file folder: the work folder with its final "work" component replaced by
//    "file";
//  - technology file: parameter folder + "Tech" + machine name + ".par", the
//    name in UTF-8 with every character that could lead out of the folder
//    replaced. The main program starts from the UTF-16 name; the
//    communication library starts from the code-page bytes it was handed and
//    converts them back to the same name (a name whose characters the code
//    page holds arrives unchanged).
//
// The string rules take the separator as a parameter: the same rule serves
// Linux paths ('/', the default) and the Windows form of the same paths.
#pragma once
#include <string>
#include <string_view>

namespace plat {

// Program-relative file naming the work folder.
inline constexpr const char* kWorkPathFile = "workPath.txt";

// <application-data folder>/Halvoren/Brenvik/work/
std::string DefaultWorkFolder();

// The work folder for a first line of workPath.txt (CR already stripped).
// A line that is not an absolute path, or that holds a NUL byte, gives the
// default; the result always ends in a separator.
std::string WorkFolderFromLine(const std::string& line);

// The work folder in force: looked up again on every call, so a changed
// workPath.txt takes effect at once.
std::string WorkFolder();

// Parameter folder of a work folder: doubled separators made single, then the
// final component removed when it is "work" (only that one: "/a/Artwork/work/"
// gives "/a/Artwork/"). A work folder with another final component is its own
// parameter folder.
std::string ParamFolderOf(std::string_view workFolder, char sep = '/');

// File folder of a work folder: the final "work" component replaced by
// "file"; unchanged when the final component is another name.
std::string FileFolderOf(std::string_view workFolder, char sep = '/');

// ParamFolderOf(WorkFolder()) and FileFolderOf(WorkFolder()).
std::string ParamFolder();
std::string FileFolder();

// Last component of a folder path, ignoring trailing separators.
std::string LastComponent(std::string_view folder, char sep = '/');

// File name (no folder) of the technology file of a machine name:
// "Tech" + name + ".par", the name in UTF-8 (an unpaired surrogate becomes
// U+FFFD). Separators ('/' and '\') and control characters are replaced by
// '_', so no name can lead out of the parameter folder; the name part is cut
// to 200 bytes without splitting a character.
std::string TechFileName(std::u16string_view machineName);
// The same from the machine name in the process code page, as the
// communication library receives it.
std::string TechFileNameFromCodePage(std::string_view machineName);

// ParamFolder() + TechFileName(name).
std::string TechFilePath(std::u16string_view machineName);

// Creates a folder and every missing parent (one trailing separator is
// ignored), each with mode 0755 whatever the umask. True when the folder
// exists afterwards.
bool CreateFolderPath(const std::string& folder);

// The file that marks a work or file folder as the program's own, the only
// kind DeleteFolderFiles empties. Its leading dot keeps it out of listings.
inline constexpr const char* kOwnFolderMarker = ".brenvik-folder";

// CreateFolderPath for a work or file folder: a folder this call creates is
// marked as the program's own. It counts as such only while the folder and
// the marker belong to the user the program runs as and the folder is not
// writable by group or others (unless sticky). A folder that exists already is left as it is,
// so a workPath.txt naming someone's folder gives a folder that is used but
// never emptied.
bool CreateOwnFolder(const std::string& folder);

// Deletes every file in a folder and in its subfolders; the subfolders and
// the marker stay. The folder itself is removed too (once empty, marker and
// all) when the path has no trailing separator. Symbolic links are removed as
// links, never followed. Refuses (false, nothing deleted) a folder that does
// not carry the marker, checked where the path really leads (links and ".."
// resolved), saying so once on standard error; refuses as well, marker or
// not, unless the folder's last component is "work" or "file", an empty path,
// "/", a path that is itself a symbolic link, and a folder that is or holds
// the home folder or `protectedFolder` (the parameter folder, which holds the
// settings).
bool DeleteFolderFiles(const std::string& folder, const std::string& protectedFolder);

} // namespace plat
