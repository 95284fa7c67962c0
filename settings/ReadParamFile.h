// Finds the program's folders and reads and writes the parameter files. The
// class holds no data: callers make one on the stack for one or a few calls,
// and every call looks the folders up again, so a changed workPath.txt takes
// effect at the next read or write.
#pragma once
#include <cstdint>
#include <span>
#include <string>

class CMachineTech;
struct MachineNode;
struct WorkParams;
struct SoftwareSettings;
struct NestSettings;
struct BARRIERPARAMS;

class CReadParamFile {
public:
    CReadParamFile() = default;
    virtual ~CReadParamFile();

    // Program folder + name.
    std::string GetProgramPath(const std::string& name) const;
    // Application-data folder + sub-path.
    std::string GetSpecialFolder(const std::string& subPath) const;
    // The work folder (see platform/WorkFolder.h), ending in '/'.
    std::string GetWorkPath() const;
    // The parameter folder: every parameter file lies here.
    std::string GetParamPath() const;
    // The file folder beside the work folder.
    std::string GetFilePath() const;

    // Creates the folder and every missing parent, marking it as the
    // program's own when it is new (see plat::CreateOwnFolder); false when
    // it does not exist afterwards.
    bool CreateWorkFolder(const std::string& folder) const;
    // Empties a work or file folder at exit (see plat::DeleteFolderFiles):
    // only one the program made itself, never the parameter folder. False
    // when refused or incomplete.
    bool DeleteFolderFiles(const std::string& folder) const;
    // Probes serial ports 1 .. count: flags[k - 1] = 1 when port k opens.
    // Returns the number found.
    int ProbeComPorts(unsigned char* flags, int count) const;

    // Fills the language table from the current language file and the
    // language name list from the language folder; returns the number of
    // strings loaded (0 when the current file cannot be read, the table then
    // left as it was).
    int LoadLanguageFiles(std::span<std::u16string> table) const;

    // Technology file of the record's machine: Tech<name>.par in the
    // parameter folder. Writing returns false, writing nothing, when the file
    // cannot be created; reading a missing file leaves the record unchanged
    // and returns true.
    bool WriteTechParam(const CMachineTech& tech) const;
    bool ReadTechParam(CMachineTech& tech) const;

    // Machine list MacInfo.par: "item" with the current index, then eleven
    // entries per machine. Writing a null list writes only "item"; false
    // when the file cannot be created.
    bool WriteMacInfo(const MachineNode* first, std::int32_t curIndex) const;
    // Reads the list, storing "item" through curIndex (when not null). A
    // missing file gives one default machine "Def" at index 0, writes the
    // file and reports it with a message box; a file without machines gives
    // null.
    MachineNode* ReadMacInfo(std::int32_t* curIndex) const;

    // Layer parameters WorkParam.par: one group of entries per record of the
    // list from `first` on. False when the file cannot be created.
    bool WriteWorkParam(const WorkParams* first) const;
    // A new list of 256 records: the defaults, overwritten group by group
    // from the file; a missing file is written from the defaults.
    WorkParams* ReadWorkParam() const;

    // software.par: the option fields of the settings block. Reading sets the
    // option defaults first (show_net and m_file_view keep their values) and
    // writes the file from them when it is missing; it always returns true.
    bool WriteSoftwareParam(const SoftwareSettings& settings) const;
    bool ReadSoftwareParam(SoftwareSettings& settings) const;

    // nest.par: the nesting settings. Reading sets the defaults first and
    // writes the file from them when it is missing; it always returns true.
    bool WriteNestParam(const NestSettings& nest) const;
    bool ReadNestParam(NestSettings& nest) const;

    // A "*.machine" file of an entry's machine parameter block. Writing is
    // false, writing nothing, for a null entry or one without a block, and
    // when the file cannot be created. Reading is false for a null entry and
    // for a file that cannot be opened; an entry without a block gets a new
    // reset one first; unknown keys are skipped, missing keys keep their
    // values, and a real that does not read as a finite number reads as 0.
    bool WriteMachineFile(const MachineNode* node, const std::string& path) const;
    bool ReadMachineFile(MachineNode* node, const std::string& path) const;

    // Bari.par: the light-guide settings. Reading keeps the record as it is
    // and returns false when the file is missing; missing keys keep their
    // values.
    bool WriteBarrierParam(const BARRIERPARAMS& params) const;
    bool ReadBarrierParam(BARRIERPARAMS& params) const;
};
