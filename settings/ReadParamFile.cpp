#include "ReadParamFile.h"

#include "platform/Folders.h"
#include "platform/SerialPorts.h"
#include "platform/WorkFolder.h"

CReadParamFile::~CReadParamFile() = default;

std::string CReadParamFile::GetProgramPath(const std::string& name) const
{
    return plat::ProgramFolder() + name;
}

std::string CReadParamFile::GetSpecialFolder(const std::string& subPath) const
{
    return plat::AppDataFolder() + subPath;
}

std::string CReadParamFile::GetWorkPath() const
{
    return plat::WorkFolder();
}

std::string CReadParamFile::GetParamPath() const
{
    return plat::ParamFolder();
}

std::string CReadParamFile::GetFilePath() const
{
    return plat::FileFolder();
}

bool CReadParamFile::CreateWorkFolder(const std::string& folder) const
{
    return plat::CreateOwnFolder(folder);
}

bool CReadParamFile::DeleteFolderFiles(const std::string& folder) const
{
    return plat::DeleteFolderFiles(folder, GetParamPath());
}

int CReadParamFile::ProbeComPorts(unsigned char* flags, int count) const
{
    return plat::ProbeSerialPorts(flags, count);
}
