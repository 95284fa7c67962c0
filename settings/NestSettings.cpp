#include "NestSettings.h"

#include "ParamTextFile.h"
#include "ReadParamFile.h"

#include <string_view>

namespace {
constexpr const char* kNestFile = "nest.par";
} // namespace

void NestSettings::SetDefaults()
{
    const std::uint32_t start = m_start_time;
    *this = NestSettings{};
    m_start_time = start;
}

bool CReadParamFile::WriteNestParam(const NestSettings& nest) const
{
    ParamTextFile file;
    file.AddReal("m_sizex", nest.m_sizex);
    file.AddReal("m_sizey", nest.m_sizey);
    file.AddReal("m_step", nest.m_step);
    // "%d" of the 32-bit fields: a value above 2^31 - 1 is written negative
    // and reads back to the same bits.
    file.AddSigned("m_rot_allow", static_cast<std::int32_t>(nest.m_rot_allow));
    file.AddSigned("m_rot_sum", static_cast<std::int32_t>(nest.m_rot_sum));
    file.AddSigned("m_limit_time", static_cast<std::int32_t>(nest.m_limit_time));
    file.AddSigned("m_limit_ratio", static_cast<std::int32_t>(nest.m_limit_ratio));
    return file.Write(GetParamPath() + kNestFile);
}

bool CReadParamFile::ReadNestParam(NestSettings& nest) const
{
    nest.SetDefaults();
    const bool opened =
        ParamTextFile::Read(GetParamPath() + kNestFile, [&](std::string_view key, std::string_view value) {
            if (key == "m_sizex")
                nest.m_sizex = ParamRealValue(value);
            else if (key == "m_sizey")
                nest.m_sizey = ParamRealValue(value);
            else if (key == "m_step")
                nest.m_step = ParamRealValue(value);
            else if (key == "m_rot_allow")
                nest.m_rot_allow = ParamSigned<std::uint32_t>(value);
            else if (key == "m_rot_sum")
                nest.m_rot_sum = ParamSigned<std::uint32_t>(value);
            else if (key == "m_limit_time")
                nest.m_limit_time = ParamSigned<std::uint32_t>(value);
            else if (key == "m_limit_ratio")
                nest.m_limit_ratio = ParamSigned<std::uint32_t>(value);
        });
    if (!opened)
        WriteNestParam(nest);
    return true;
}
