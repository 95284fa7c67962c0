// The process parameter file of one layer (.prp): the layer's record as 48
// key and value lines in a fixed order, integers "%d", reals "%f", CR LF.
// The file carries the scan-first switch under "m_work_level" and leaves
// out the speed unit byte. Reading starts from the defaults, so keys the file
// lacks take them, not whatever the record held before.
#pragma once
#include "ParamTextFile.h"

#include <string>
#include <vector>

struct WorkParams;

class CLayerParamFile {
public:
    static constexpr int kKeyCount = 48;

    // The file's lines for a record.
    static ParamTextFile Lines(const WorkParams& rec);
    // Creates or empties the file and writes the record. False when it
    // cannot be written.
    static bool Write(const std::string& path, const WorkParams& rec);

    // Fills `rec` (links untouched) from the file. False, leaving `rec` as it
    // was, when the file cannot be read.
    static bool Read(const std::string& path, WorkParams& rec);
    // The same over lines already read: a line equal to a key (case
    // matters) takes the next line as its value; every other line is
    // skipped on its own. A value that is no number gives 0.
    static void ReadLines(const std::vector<std::string>& lines, WorkParams& rec);
};
