#include "WorkParams.h"

#include "ParamTextFile.h"
#include "ReadParamFile.h"
#include "WorkSetParameterBase.h"

#include <cmath>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <variant>

namespace {

constexpr const char* kWorkParamFile = "WorkParam.par";
constexpr std::string_view kGroupKey = "m_group_num";
// Held at single precision: the value read is stored as the nearest float.
constexpr std::string_view kScanZLiftKey = "m_s_z_rish";

using FieldRef = std::variant<std::uint8_t WorkParams::*, std::uint16_t WorkParams::*, double WorkParams::*>;

struct Field {
    std::string_view key;
    FieldRef ref;
};

// The record's entries in file order; integers are written "%d" and read by
// the unsigned conversion, reals "%f".
const Field kFields[kWorkParamKeyCount] = {
    {"m_group_num", &WorkParams::m_group_num},
    {"m_border", &WorkParams::m_border},
    {"m_sweep", &WorkParams::m_sweep},
    {"m_sweep_first", &WorkParams::m_sweep_first},
    {"m_speed_unit", &WorkParams::m_speed_unit},
    {"m_perc_unit", &WorkParams::m_perc_unit},
    {"m_size_unit", &WorkParams::m_size_unit},
    {"m_b_speed", &WorkParams::m_b_speed},
    {"m_b_free_speed", &WorkParams::m_b_free_speed},
    {"m_b_light_def", &WorkParams::m_b_light_def},
    {"m_b_min_light1", &WorkParams::m_b_min_light1},
    {"m_b_max_light1", &WorkParams::m_b_max_light1},
    {"m_b_min_light2", &WorkParams::m_b_min_light2},
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
    {"m_b_delay_after_work", &WorkParams::m_b_delay_after_work},
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
    {"m_s_delay_after_work", &WorkParams::m_s_delay_after_work},
    {"m_s_delay_after_work_v", &WorkParams::m_s_delay_after_work_v},
    {"m_s_grid_mode", &WorkParams::m_s_grid_mode},
    {"m_s_grid_type", &WorkParams::m_s_grid_type},
    {"m_s_grid_size", &WorkParams::m_s_grid_size},
    {"m_s_grid_inter", &WorkParams::m_s_grid_inter},
    {"m_s_z_rish", &WorkParams::m_s_z_rish},
};

// The file is read at every start: one hash lookup per key line rather than
// 49 comparisons.
const Field* FindField(std::string_view key)
{
    static const std::unordered_map<std::string_view, const Field*> byKey = [] {
        std::unordered_map<std::string_view, const Field*> map;
        for (const Field& f : kFields)
            map.emplace(f.key, &f);
        return map;
    }();
    const auto it = byKey.find(key);
    return it != byKey.end() ? it->second : nullptr;
}

// The nearest 32-bit float, widened again. A value beyond the float range
// becomes an infinity of its sign, as the conversion would on the hardware,
// without the undefined cast.
double ToSinglePrecision(double v)
{
    constexpr double kMax = std::numeric_limits<float>::max();
    if (std::isfinite(v) && std::fabs(v) > kMax) {
        // Values within half a float step above FLT_MAX round down to it.
        const double halfUlp = std::ldexp(1.0, 127 - 24);
        if (std::fabs(v) < kMax + halfUlp)
            return std::copysign(kMax, v);
        return std::copysign(std::numeric_limits<double>::infinity(), v);
    }
    return static_cast<double>(static_cast<float>(v));
}

void SetField(WorkParams& rec, const Field& field, std::string_view value)
{
    if (const auto* u8 = std::get_if<std::uint8_t WorkParams::*>(&field.ref))
        rec.**u8 = ParamUnsigned<std::uint8_t>(value);
    else if (const auto* u16 = std::get_if<std::uint16_t WorkParams::*>(&field.ref))
        rec.**u16 = ParamUnsigned<std::uint16_t>(value);
    else if (const auto* f64 = std::get_if<double WorkParams::*>(&field.ref))
        rec.**f64 = ParamRealValue(value);
}

void AddField(ParamTextFile& file, const WorkParams& rec, const Field& field)
{
    if (const auto* u8 = std::get_if<std::uint8_t WorkParams::*>(&field.ref))
        file.AddSigned(field.key, rec.**u8);
    else if (const auto* u16 = std::get_if<std::uint16_t WorkParams::*>(&field.ref))
        file.AddSigned(field.key, rec.**u16);
    else if (const auto* f64 = std::get_if<double WorkParams::*>(&field.ref))
        file.AddReal(field.key, rec.**f64);
}

} // namespace

WorkParams* MakeDefaultLayerList()
{
    WorkParams* head = nullptr;
    WorkParams* tail = nullptr;
    for (int k = 0; k < kLayerCount; ++k) {
        WorkParams* rec = new WorkParams;
        CWorkSetParameterBase::SetDefaults(*rec);
        rec->m_group_num = static_cast<std::uint16_t>(k);
        rec->m_pPrev = tail;
        if (tail != nullptr)
            tail->m_pNext = rec;
        else
            head = rec;
        tail = rec;
    }
    return head;
}

void FreeWorkParamList(WorkParams*& head)
{
    while (head != nullptr) {
        WorkParams* next = head->m_pNext;
        delete head;
        head = next;
    }
}

WorkParams* FindLayerParams(WorkParams* head, int layer)
{
    for (WorkParams* rec = head; rec != nullptr; rec = rec->m_pNext) {
        if (rec->m_group_num == layer)
            return rec;
    }
    return nullptr;
}

bool CReadParamFile::WriteWorkParam(const WorkParams* first) const
{
    ParamTextFile file;
    for (const WorkParams* rec = first; rec != nullptr; rec = rec->m_pNext) {
        for (const Field& field : kFields)
            AddField(file, *rec, field);
    }
    return file.Write(GetParamPath() + kWorkParamFile);
}

WorkParams* CReadParamFile::ReadWorkParam() const
{
    WorkParams* head = MakeDefaultLayerList();
    // Groups fill the records by position, whatever their layer id. Values
    // before the first group, and groups beyond the last record, have no
    // record to go to and are skipped.
    WorkParams* nextGroup = head;
    WorkParams* rec = nullptr;
    const bool opened = ParamTextFile::Read(
        GetParamPath() + kWorkParamFile,
        [&](std::string_view key, std::string_view value) {
            if (key == kGroupKey) {
                rec = nextGroup;
                if (rec == nullptr)
                    return;
                nextGroup = rec->m_pNext;
                rec->m_group_num = ParamUnsigned<std::uint16_t>(value);
                return;
            }
            if (rec == nullptr)
                return;
            if (const Field* field = FindField(key)) {
                SetField(*rec, *field, value);
                if (field->key == kScanZLiftKey)
                    rec->m_s_z_rish = ToSinglePrecision(rec->m_s_z_rish);
            }
        },
        true);
    if (!opened)
        WriteWorkParam(head);
    return head;
}
