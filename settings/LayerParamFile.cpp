#include "LayerParamFile.h"

#include "ParamTextFile.h"
#include "WorkParams.h"
#include "WorkSetParameterBase.h"
#include "platform/TextFile.h"

#include <cstdint>
#include <string_view>
#include <variant>

namespace {

// The two delay-after switches are read unsigned, every other integer
// signed; either way the value is cut to the field's width.
struct UnsignedU8 {
    std::uint8_t WorkParams::*field;
};
using FieldRef =
    std::variant<std::uint8_t WorkParams::*, std::uint16_t WorkParams::*, double WorkParams::*, UnsignedU8>;

struct Field {
    std::string_view key;
    FieldRef ref;
};

const Field kFields[CLayerParamFile::kKeyCount] = {
    {"m_group_num", &WorkParams::m_group_num},
    {"m_border", &WorkParams::m_border},
    {"m_sweep", &WorkParams::m_sweep},
    {"m_work_level", &WorkParams::m_sweep_first},
    {"m_perc_unit", &WorkParams::m_perc_unit},
    {"m_size_unit", &WorkParams::m_size_unit},
    {"m_b_speed", &WorkParams::m_b_speed},
    {"m_b_free_speed", &WorkParams::m_b_free_speed},
    {"m_b_light_def", &WorkParams::m_b_light_def},
    {"m_b_min_light1", &WorkParams::m_b_min_light1},
    {"m_b_min_light2", &WorkParams::m_b_min_light2},
    {"m_b_max_light1", &WorkParams::m_b_max_light1},
    {"m_b_max_light2", &WorkParams::m_b_max_light2},
    {"m_b_st_delay", &WorkParams::m_b_st_delay},
    {"m_b_ed_delay", &WorkParams::m_b_ed_delay},
    {"m_b_delay_lsr_act", &WorkParams::m_b_delay_lsr_act},
    {"m_b_delay_laser", &WorkParams::m_b_delay_laser},
    {"m_b_cuiqi", &WorkParams::m_b_cuiqi},
    {"m_b_auto_cuiqi", &WorkParams::m_b_auto_cuiqi},
    {"m_b_hit_point", &WorkParams::m_b_hit_point},
    {"m_b_hit_dis", &WorkParams::m_b_hit_dis},
    {"m_b_hit_time", &WorkParams::m_b_hit_time},
    {"m_b_z_rish", &WorkParams::m_b_z_rish},
    {"m_b_delay_after_work", UnsignedU8{&WorkParams::m_b_delay_after_work}},
    {"m_b_delay_after_work_v", &WorkParams::m_b_delay_after_work_v},
    {"m_s_speed", &WorkParams::m_s_speed},
    {"m_s_light_def", &WorkParams::m_s_light_def},
    {"m_s_min_light1", &WorkParams::m_s_min_light1},
    {"m_s_min_light2", &WorkParams::m_s_min_light2},
    {"m_s_max_light1", &WorkParams::m_s_max_light1},
    {"m_s_max_light2", &WorkParams::m_s_max_light2},
    {"m_s_diameter_use", &WorkParams::m_s_diameter_use},
    {"m_s_method", &WorkParams::m_s_method},
    {"m_s_precision", &WorkParams::m_s_precision},
    {"m_s_incline", &WorkParams::m_s_incline},
    {"m_s_diameter", &WorkParams::m_s_diameter},
    {"m_s_mid_repair", &WorkParams::m_s_mid_repair},
    {"m_s_sid_repair", &WorkParams::m_s_sid_repair},
    {"m_s_map_rpy_tbl", &WorkParams::m_s_map_rpy_tbl},
    {"m_s_cuiqi", &WorkParams::m_s_cuiqi},
    {"m_s_auto_cuiqi", &WorkParams::m_s_auto_cuiqi},
    {"m_s_grid_mode", &WorkParams::m_s_grid_mode},
    {"m_s_grid_type", &WorkParams::m_s_grid_type},
    {"m_s_grid_size", &WorkParams::m_s_grid_size},
    {"m_s_grid_inter", &WorkParams::m_s_grid_inter},
    {"m_s_z_rish", &WorkParams::m_s_z_rish},
    {"m_s_delay_after_work", UnsignedU8{&WorkParams::m_s_delay_after_work}},
    {"m_s_delay_after_work_v", &WorkParams::m_s_delay_after_work_v},
};

const Field* FindField(std::string_view key)
{
    for (const Field& f : kFields) {
        if (f.key == key)
            return &f;
    }
    return nullptr;
}

void SetField(WorkParams& rec, const Field& field, std::string_view value)
{
    if (const auto* u8 = std::get_if<std::uint8_t WorkParams::*>(&field.ref))
        rec.**u8 = ParamSigned<std::uint8_t>(value);
    else if (const auto* u16 = std::get_if<std::uint16_t WorkParams::*>(&field.ref))
        rec.**u16 = ParamSigned<std::uint16_t>(value);
    else if (const auto* f64 = std::get_if<double WorkParams::*>(&field.ref))
        rec.**f64 = ParamRealValue(value);
    else if (const auto* un = std::get_if<UnsignedU8>(&field.ref))
        rec.*(un->field) = ParamUnsigned<std::uint8_t>(value);
}

void AddField(ParamTextFile& file, const WorkParams& rec, const Field& field)
{
    if (const auto* u8 = std::get_if<std::uint8_t WorkParams::*>(&field.ref))
        file.AddSigned(field.key, rec.**u8);
    else if (const auto* u16 = std::get_if<std::uint16_t WorkParams::*>(&field.ref))
        file.AddSigned(field.key, rec.**u16);
    else if (const auto* f64 = std::get_if<double WorkParams::*>(&field.ref))
        file.AddReal(field.key, rec.**f64);
    else if (const auto* un = std::get_if<UnsignedU8>(&field.ref))
        file.AddSigned(field.key, rec.*(un->field));
}

} // namespace

ParamTextFile CLayerParamFile::Lines(const WorkParams& rec)
{
    ParamTextFile file;
    for (const Field& field : kFields)
        AddField(file, rec, field);
    return file;
}

bool CLayerParamFile::Write(const std::string& path, const WorkParams& rec)
{
    return Lines(rec).Write(path);
}

bool CLayerParamFile::Read(const std::string& path, WorkParams& rec)
{
    std::vector<std::string> lines;
    if (!plat::ReadTextLines(path, lines))
        return false;
    ReadLines(lines, rec);
    return true;
}

void CLayerParamFile::ReadLines(const std::vector<std::string>& lines, WorkParams& rec)
{
    WorkParams* prev = rec.m_pPrev;
    WorkParams* next = rec.m_pNext;
    CWorkSetParameterBase::SetDefaults(rec);
    rec.m_pPrev = prev;
    rec.m_pNext = next;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Field* field = FindField(lines[i]);
        if (field == nullptr || i + 1 >= lines.size())
            continue;
        SetField(rec, *field, lines[++i]);
    }
}
