#include "MachineParams.h"

#include "MachineNode.h"
#include "ParamTextFile.h"
#include "ReadParamFile.h"
#include "machinecomm/OnlineOperate.h"
#include "machinecomm/Vantrel.h"

#include <cfloat>
#include <cmath>
#include <string_view>

namespace {

enum class Format : std::uint8_t { Unsigned, Signed, Real };
// How an answered 32-bit value is stored.
enum class From : std::uint8_t { AsIs, Value, Thousandths, Single };
// How the field becomes its value of the write array.
enum class To : std::uint8_t { NotSent, AsIs, Truncate, Round, RoundAway, ThousandRound };

struct ParamField {
    std::string_view key;
    std::uint32_t MachineParams::*word = nullptr;
    double MachineParams::*real = nullptr;
    Format format;
    std::uint16_t id;
    From from;
    std::int8_t position; // in the write array; -1 not sent
    To to;
};

struct U32 {
    constexpr explicit U32(std::uint32_t MachineParams::*m) : member(m) {}
    std::uint32_t MachineParams::*member;
};
struct F64 {
    constexpr explicit F64(double MachineParams::*m) : member(m) {}
    double MachineParams::*member;
};

struct FieldRow : ParamField {
    constexpr FieldRow(std::string_view k, U32 w, Format f, std::uint16_t i, From fr, std::int8_t p, To t)
        : ParamField{k, w.member, nullptr, f, i, fr, p, t}
    {
    }
    constexpr FieldRow(std::string_view k, F64 r, Format f, std::uint16_t i, From fr, std::int8_t p, To t)
        : ParamField{k, nullptr, r.member, f, i, fr, p, t}
    {
    }
};

// The parameters in field order: key, field, written format, controller id,
// storing of an answer, position and making of the write value.
constexpr FieldRow kFields[] = {
    {"macInfo_m_sys_control", U32(&MachineParams::m_sys_control), Format::Unsigned, 0, From::AsIs, -1, To::NotSent},
    {"macInfo_m_machine_type", U32(&MachineParams::m_machine_type), Format::Unsigned, 1, From::AsIs, 0, To::AsIs},
    {"macInfo_m_linkage_ctrl", U32(&MachineParams::m_linkage_ctrl), Format::Unsigned, 3, From::AsIs, -1, To::NotSent},
    {"macInfo_m_mac_op_mod", U32(&MachineParams::m_mac_op_mod), Format::Unsigned, 4, From::AsIs, 49, To::AsIs},
    {"macInfo_m_doub_plat_len", U32(&MachineParams::m_doub_plat_len), Format::Signed, 5, From::AsIs, 50, To::AsIs},
    {"macInfo_m_doub_head_len", U32(&MachineParams::m_doub_head_len), Format::Signed, 6, From::AsIs, 51, To::AsIs},
    {"m_metal_down_delay", F64(&MachineParams::m_metal_down_delay), Format::Real, 7, From::Value, 57, To::Truncate},
    {"m_metal_up_delay", F64(&MachineParams::m_metal_up_delay), Format::Real, 8, From::Value, 58, To::Truncate},
    {"macInfo_m_metal_uplift_dis", F64(&MachineParams::m_metal_uplift_dis), Format::Real, 9, From::Value, 59, To::Round},
    {"macInfo_m_refer_dinameter", F64(&MachineParams::m_refer_dinameter), Format::Real, 10, From::Value, 46, To::Round},
    {"macInfo_m_refer_resolution", F64(&MachineParams::m_refer_resolution), Format::Real, 11, From::Value, 48, To::Round},
    {"macInfo_m_wheel_dinameter", F64(&MachineParams::m_wheel_dinameter), Format::Real, 12, From::Value, 47, To::Round},
    {"macInfo_m_laser_control", U32(&MachineParams::m_laser_control), Format::Unsigned, 16, From::AsIs, 39, To::AsIs},
    {"macInfo_m_laser_frequency", F64(&MachineParams::m_laser_frequency), Format::Real, 17, From::Value, 41, To::Round},
    {"macInfo_m_laser_min_power", F64(&MachineParams::m_laser_min_power), Format::Real, 18, From::Value, 42, To::Round},
    {"macInfo_m_laser_max_power", F64(&MachineParams::m_laser_max_power), Format::Real, 19, From::Value, 43, To::Round},
    {"macInfo_m_laser_oc_delay", F64(&MachineParams::m_laser_oc_delay), Format::Real, 20, From::Value, 44, To::Round},
    {"macInfo_m_laser_pluse_width", F64(&MachineParams::m_laser_pluse_width), Format::Real, 21, From::Value, 45, To::Round},
    {"macInfo_m_laser_pwm_polarity", U32(&MachineParams::m_laser_pwm_polarity), Format::Unsigned, 22, From::AsIs, 40, To::AsIs},
    {"macInfo_m_focus_len", U32(&MachineParams::m_focus_len), Format::Signed, 23, From::AsIs, 52, To::AsIs},
    {"macInfo_m_laser_drive_lag", U32(&MachineParams::m_laser_drive_lag), Format::Unsigned, 24, From::AsIs, -1, To::NotSent},
    {"macInfo_m_metal_use_other", U32(&MachineParams::m_metal_use_other), Format::Signed, 25, From::AsIs, 60, To::AsIs},
    {"macInfo_m_metal_hanging", F64(&MachineParams::m_metal_hanging), Format::Real, 26, From::Thousandths, 61, To::ThousandRound},
    {"macInfo_m_metal_free_updis", F64(&MachineParams::m_metal_free_updis), Format::Real, 27, From::Thousandths, 62, To::ThousandRound},
    {"macInfo_m_metal_finish_updis", F64(&MachineParams::m_metal_finish_updis), Format::Real, 28, From::Thousandths, 63, To::ThousandRound},
    {"macInfo_m_metal_tolerance", U32(&MachineParams::m_metal_tolerance), Format::Signed, 29, From::AsIs, 64, To::AsIs},
    {"macInfo_m_x_control", U32(&MachineParams::m_x_control), Format::Signed, 32, From::AsIs, 1, To::AsIs},
    {"macInfo_m_x_resolution", F64(&MachineParams::m_x_resolution), Format::Real, 33, From::Value, 2, To::Round},
    {"macInfo_m_x_max_speed", F64(&MachineParams::m_x_max_speed), Format::Real, 35, From::Value, 3, To::Round},
    {"macInfo_m_x_min_speed", F64(&MachineParams::m_x_min_speed), Format::Real, 36, From::Value, 4, To::Round},
    {"macInfo_m_x_acceleration", F64(&MachineParams::m_x_acceleration), Format::Real, 37, From::Value, 5, To::RoundAway},
    {"macInfo_m_x_acc_acceleration", F64(&MachineParams::m_x_acc_acceleration), Format::Real, 40, From::Value, 7, To::RoundAway},
    {"macInfo_m_x_journey", F64(&MachineParams::m_x_journey), Format::Real, 38, From::Value, 6, To::Round},
    {"macInfo_m_y_control", U32(&MachineParams::m_y_control), Format::Signed, 48, From::AsIs, 8, To::AsIs},
    {"macInfo_m_y_resolution", F64(&MachineParams::m_y_resolution), Format::Real, 49, From::Value, 9, To::Round},
    {"macInfo_m_y_max_speed", F64(&MachineParams::m_y_max_speed), Format::Real, 51, From::Value, 10, To::Round},
    {"macInfo_m_y_min_speed", F64(&MachineParams::m_y_min_speed), Format::Real, 52, From::Value, 11, To::Round},
    {"macInfo_m_y_acceleration", F64(&MachineParams::m_y_acceleration), Format::Real, 53, From::Value, 12, To::RoundAway},
    {"macInfo_m_y_acc_acceleration", F64(&MachineParams::m_y_acc_acceleration), Format::Real, 56, From::Value, 14, To::RoundAway},
    {"macInfo_m_y_journey", F64(&MachineParams::m_y_journey), Format::Real, 54, From::Value, 13, To::Round},
    {"macInfo_m_z_control", U32(&MachineParams::m_z_control), Format::Signed, 64, From::AsIs, 15, To::AsIs},
    {"macInfo_m_z_resolution", F64(&MachineParams::m_z_resolution), Format::Real, 65, From::Value, 16, To::Round},
    {"macInfo_m_z_max_speed", F64(&MachineParams::m_z_max_speed), Format::Real, 67, From::Value, 17, To::Round},
    {"macInfo_m_z_min_speed", F64(&MachineParams::m_z_min_speed), Format::Real, 68, From::Value, 18, To::Round},
    {"macInfo_m_z_acceleration", F64(&MachineParams::m_z_acceleration), Format::Real, 69, From::Value, 19, To::RoundAway},
    {"macInfo_m_z_acc_acceleration", F64(&MachineParams::m_z_acc_acceleration), Format::Real, 72, From::Value, 21, To::RoundAway},
    {"macInfo_m_z_journey", F64(&MachineParams::m_z_journey), Format::Real, 70, From::Value, 20, To::Round},
    {"macInfo_m_u_control", U32(&MachineParams::m_u_control), Format::Signed, 80, From::AsIs, 22, To::AsIs},
    {"macInfo_m_u_resolution", F64(&MachineParams::m_u_resolution), Format::Real, 81, From::Value, 23, To::Round},
    {"macInfo_m_u_max_speed", F64(&MachineParams::m_u_max_speed), Format::Real, 83, From::Value, 24, To::Round},
    {"macInfo_m_u_min_speed", F64(&MachineParams::m_u_min_speed), Format::Real, 84, From::Value, 25, To::Round},
    {"macInfo_m_u_acceleration", F64(&MachineParams::m_u_acceleration), Format::Real, 85, From::Value, 26, To::RoundAway},
    {"macInfo_m_u_acc_acceleration", F64(&MachineParams::m_u_acc_acceleration), Format::Real, 88, From::Value, 28, To::RoundAway},
    {"macInfo_m_u_journey", F64(&MachineParams::m_u_journey), Format::Real, 86, From::Value, 27, To::Round},
    {"macInfo_m_v_control", U32(&MachineParams::m_v_control), Format::Signed, 96, From::AsIs, 29, To::AsIs},
    {"macInfo_m_v_resolution", F64(&MachineParams::m_v_resolution), Format::Real, 97, From::Value, 30, To::Round},
    {"macInfo_m_v_max_speed", F64(&MachineParams::m_v_max_speed), Format::Real, 99, From::Value, 31, To::Round},
    {"macInfo_m_v_min_speed", F64(&MachineParams::m_v_min_speed), Format::Real, 100, From::Value, 32, To::Round},
    {"macInfo_m_v_acceleration", F64(&MachineParams::m_v_acceleration), Format::Real, 101, From::Value, 33, To::RoundAway},
    {"macInfo_m_v_acc_acceleration", F64(&MachineParams::m_v_acc_acceleration), Format::Real, 104, From::Value, 35, To::RoundAway},
    {"macInfo_m_v_journey", F64(&MachineParams::m_v_journey), Format::Real, 102, From::Value, 34, To::Round},
    {"macInfo_m_mac_back_pos", U32(&MachineParams::m_mac_back_pos), Format::Signed, 256, From::AsIs, 36, To::AsIs},
    {"macInfo_m_corner_speed", F64(&MachineParams::m_corner_speed), Format::Real, 257, From::Value, -1, To::NotSent},
    {"macInfo_m_cut_mode_acc", F64(&MachineParams::m_cut_mode_acc), Format::Real, 258, From::Value, -1, To::NotSent},
    {"macInfo_m_user_param", U32(&MachineParams::m_user_param), Format::Unsigned, 261, From::AsIs, -1, To::NotSent},
    {"macInfo_m_mac_back_speed", F64(&MachineParams::m_mac_back_speed), Format::Real, 262, From::Value, 37, To::Round},
    {"macInfo_m_mac_pluse_time", F64(&MachineParams::m_mac_pluse_time), Format::Real, 263, From::Value, 38, To::Round},
    {"macInfo_m_free_speed", F64(&MachineParams::m_free_speed), Format::Real, 265, From::Value, -1, To::NotSent},
    {"macInfo_m_free_acc", F64(&MachineParams::m_free_acc), Format::Real, 266, From::Value, -1, To::NotSent},
    {"macInfo_m_file_set", U32(&MachineParams::m_file_set), Format::Unsigned, 268, From::AsIs, -1, To::NotSent},
    {"macInfo_m_ip_address", U32(&MachineParams::m_ip_address), Format::Unsigned, 269, From::AsIs, -1, To::NotSent},
    {"macInfo_m_common_out_polarity", U32(&MachineParams::m_common_out_polarity), Format::Unsigned, 271, From::AsIs, 55, To::AsIs},
    {"macInfo_m_min_acc", U32(&MachineParams::m_min_acc), Format::Signed, 273, From::AsIs, 53, To::AsIs},
    {"macInfo_m_speed_rate", F64(&MachineParams::m_speed_rate), Format::Real, 274, From::Single, 54, To::Truncate},
    {"macInfo_m_run_range_speed", U32(&MachineParams::m_run_range_speed), Format::Unsigned, 275, From::AsIs, 56, To::AsIs},
};
constexpr std::size_t kFieldCount = sizeof kFields / sizeof kFields[0];
static_assert(kFieldCount == 75);

constexpr std::int32_t kLastParamId = 275;
constexpr std::int32_t kStatFirstId = 513;
constexpr std::int32_t kStatLastId = 563;

// A real read from a file or answer as the controller's single-precision
// value; beyond the range of a float, the largest float of its sign.
double ViaSingle(double v)
{
    if (v > FLT_MAX)
        v = FLT_MAX;
    else if (v < -FLT_MAX)
        v = -FLT_MAX;
    return static_cast<float>(v);
}

// A real made integer: truncated toward zero, kept as a 32-bit pattern from
// -2^31 to 2^32 - 1, clamped beyond, 0 for NaN.
std::uint32_t ToWord(double v)
{
    if (std::isnan(v))
        return 0;
    v = std::trunc(v);
    if (v < -2147483648.0)
        v = -2147483648.0;
    else if (v > 4294967295.0)
        v = 4294967295.0;
    if (v < 0.0)
        return static_cast<std::uint32_t>(static_cast<std::int32_t>(v));
    return static_cast<std::uint32_t>(v);
}

std::uint32_t WriteValue(const MachineParams& block, const ParamField& f)
{
    if (f.word != nullptr)
        return block.*(f.word);
    const double v = block.*(f.real);
    switch (f.to) {
    case To::Truncate:
        return ToWord(v);
    case To::Round:
        return ToWord(v + 0.5);
    case To::RoundAway:
        return ToWord(v > 0.00001 ? v + 0.5 : v - 0.5);
    case To::ThousandRound:
        return ToWord(v * 1000.0 + 0.5);
    case To::AsIs:
    case To::NotSent:
        break;
    }
    return ToWord(v);
}

const ParamField* FieldOfKey(std::string_view key)
{
    for (const ParamField& f : kFields)
        if (f.key == key)
            return &f;
    return nullptr;
}

const ParamField* FieldOfId(std::int32_t id)
{
    for (const ParamField& f : kFields)
        if (f.id == id)
            return &f;
    return nullptr;
}

// The entry's link type when it is connected; false without entry or
// connection.
bool ConnectedLink(const MachineParams& block, std::uint8_t& link)
{
    if (block.m_pNode == nullptr || block.m_pNode->m_session == nullptr)
        return false;
    link = block.m_pNode->m_link_type;
    return true;
}

bool Request(const MachineParams& block, std::int32_t operation, const void* data, plat::HWND window)
{
    std::uint8_t link = 0;
    if (!ConnectedLink(block, link))
        return false;
    return VQ_OnlineOperate(link, operation, data, 1, window) != 0;
}

} // namespace

MachineParams& ResetMachineParam(MachineParams& block)
{
    block.m_statistics = MachineStatistics{};
    block.m_valid = 0;
    block.m_pNode = nullptr;
    for (const ParamField& f : kFields) {
        if (f.to == To::NotSent)
            continue;
        if (f.word != nullptr)
            block.*(f.word) = 0;
        else
            block.*(f.real) = 0.0;
    }
    return block;
}

bool IsSameMachineParam(const MachineParams& a, const MachineParams& b)
{
    for (const ParamField& f : kFields) {
        if (f.word == &MachineParams::m_metal_use_other)
            continue;
        if (f.word != nullptr ? a.*(f.word) != b.*(f.word) : !(std::fabs(a.*(f.real) - b.*(f.real)) <= 1.0))
            return false;
    }
    return true;
}

bool RequestStatistic(const MachineParams& block, plat::HWND window)
{
    return Request(block, OP_READ_STATISTICS, nullptr, window);
}

bool RequestMachineParam(const MachineParams& block, plat::HWND window)
{
    return Request(block, OP_READ_PARAMS, nullptr, window);
}

bool SendMachineParam(const MachineParams& block, plat::HWND window)
{
    std::uint8_t link = 0;
    if (!ConnectedLink(block, link))
        return false;
    const std::array<std::uint32_t, kMachineParamWriteCount> values = MachineParamWriteArray(block);
    return Request(block, OP_WRITE_PARAMS, values.data(), window);
}

std::array<std::uint32_t, kMachineParamWriteCount> MachineParamWriteArray(const MachineParams& block)
{
    std::array<std::uint32_t, kMachineParamWriteCount> values{};
    for (const ParamField& f : kFields)
        if (f.position >= 0)
            values[static_cast<std::size_t>(f.position)] = WriteValue(block, f);
    return values;
}

std::array<std::int32_t, kMachineParamWriteCount> MachineParamWriteIds()
{
    std::array<std::int32_t, kMachineParamWriteCount> ids{};
    for (const ParamField& f : kFields)
        if (f.position >= 0)
            ids[static_cast<std::size_t>(f.position)] = f.id;
    return ids;
}

void SetStatisticByIndex(MachineParams& block, std::int32_t id, std::uint32_t value)
{
    if (id < kStatFirstId || id > kStatLastId)
        return;
    MachineStatistics& s = block.m_statistics;
    RUNTIMECOUNTER* counter = nullptr;
    switch (id) {
    case 513:
        counter = &s.m_runTime[0];
        break;
    case 529:
        counter = &s.m_runTime[1];
        break;
    case 514:
        counter = &s.m_runTime[2];
        break;
    case 515:
        s.m_count = value;
        return;
    case 547:
        s.m_reals[0] = value;
        return;
    case 563:
        s.m_reals[1] = value;
        return;
    default:
        return;
    }
    // Seconds taken as a signed number.
    const auto seconds = static_cast<std::int32_t>(value);
    const std::int32_t hours = seconds / 3600;
    counter->m_hours = static_cast<std::uint32_t>(hours);
    counter->m_minutes = static_cast<std::uint32_t>((seconds - hours * 3600) / 60);
    counter->m_seconds = static_cast<std::uint32_t>(seconds - seconds / 60 * 60);
}

void SetMachineParamByIndex(MachineParams& block, std::int32_t id, std::uint32_t value)
{
    if (id < 0 || id > kLastParamId)
        return;
    const ParamField* f = FieldOfId(id);
    if (f == nullptr)
        return;
    if (f->word != nullptr) {
        block.*(f->word) = value;
        return;
    }
    double& real = block.*(f->real);
    switch (f->from) {
    case From::Thousandths:
        real = value / 1000.0;
        break;
    case From::Single:
        real = static_cast<float>(value);
        break;
    case From::AsIs:
    case From::Value:
        real = value;
        break;
    }
}

bool ExportMachineFile(const MachineParams& block, const std::string& path)
{
    return CReadParamFile().WriteMachineFile(block.m_pNode, path);
}

bool ImportMachineFile(const MachineParams& block, const std::string& path)
{
    return CReadParamFile().ReadMachineFile(block.m_pNode, path);
}

bool CReadParamFile::WriteMachineFile(const MachineNode* node, const std::string& path) const
{
    // An entry without a block has nothing to export: no empty file.
    if (node == nullptr || node->m_params == nullptr)
        return false;
    const MachineParams& block = *node->m_params;
    ParamTextFile file;
    for (const ParamField& f : kFields) {
        switch (f.format) {
        case Format::Unsigned:
            file.AddUnsigned(f.key, block.*(f.word));
            break;
        case Format::Signed:
            file.AddSigned(f.key, static_cast<std::int32_t>(block.*(f.word)));
            break;
        case Format::Real:
            file.AddReal(f.key, block.*(f.real));
            break;
        }
    }
    return file.Write(path);
}

bool CReadParamFile::ReadMachineFile(MachineNode* node, const std::string& path) const
{
    if (node == nullptr)
        return false;
    if (node->m_params == nullptr)
        ResetMachineParam(*(node->m_params = new MachineParams));
    MachineParams& block = *node->m_params;
    return ParamTextFile::Read(path, [&](std::string_view key, std::string_view value) {
        const ParamField* f = FieldOfKey(key);
        if (f == nullptr)
            return;
        switch (f->format) {
        case Format::Unsigned:
            block.*(f->word) = ParamUnsigned<std::uint32_t>(value);
            break;
        case Format::Signed:
            block.*(f->word) = static_cast<std::uint32_t>(ParamSigned<std::int32_t>(value));
            break;
        case Format::Real:
            block.*(f->real) = f->from == From::Single ? ViaSingle(ParamRealValue(value)) : ParamRealValue(value);
            break;
        }
    });
}

void DestroyMachineParams(MachineParams* params)
{
    delete params;
}
