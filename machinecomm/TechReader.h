// The library's own reader of a machine's technology file Tech<name>.par:
// only its speed-limit section, which caps the cutting speed of small
// closed shapes when a job is encoded. The file is the one the main program
// writes, found by the same rules (platform/WorkFolder.h).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A row of the speed-limit table: frame size in micrometres and its speed
// limit x 1000, each the file's value v as trunc(v x 1000 + 0.5).
struct SpeedLimitRow {
    std::int32_t frame = 0;
    std::int32_t speed = 0; // 0 when the row has no speed line
};

struct SpeedLimitTable {
    std::int32_t enable = 0;          // 0: no limiting
    std::vector<SpeedLimitRow> rows;  // in file order
};

// A machine name as the main program hands it over, in a char[50] of the
// process code page: the bytes before the terminator, at most 49 of them,
// never reading past the 50th byte; a name without a terminator is cut to
// 49 bytes without splitting a double-byte character. Null gives "".
std::string MachineNameBytes(const char* name);

// subPath under the folder of the technology files: the parameter folder
// that the main program writes them to ("" gives the folder itself, with
// its trailing separator).
std::string GetTechFolder(const std::string& subPath);

// Full path of a machine's technology file.
std::string TechParamPath(const char* machineName);

// The speed-limit table of a technology file's lines: the value after the
// line "speed limit" is the enable value; then key and value lines up to
// "limit end", where "frame" starts a row and "speed" sets the current
// row's speed. Keys are compared exactly; unparsable numbers read as 0.
SpeedLimitTable ParseSpeedLimits(const std::vector<std::string>& lines);

// Replaces the library-wide table with the machine's: empty when its file
// is missing or has no speed-limit section.
void ReadTechParam(const char* machineName);

// The table of the last ReadTechParam.
const SpeedLimitTable& TechSpeedLimits();
