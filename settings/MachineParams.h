// A machine controller's parameters as the main program keeps them: 75
// numbered parameters (axes, laser, metal-cutting head, general settings)
// and a few statistics counters, one block per machine, hung on its list
// entry (MachineNode::m_params). The block is read from the controller with
// online operation 31, written with operation 32, its statistics read with
// operation 34, and the whole set exported and imported as a "*.machine"
// parameter file: the 75 entries in field order, one key line and one
// value line each.
#pragma once
#include "platform/Win.h"

#include <array>
#include <cstdint>
#include <string>

struct MachineNode;

// Values of the operation-32 write array.
constexpr int kMachineParamWriteCount = 65;

// One run-time counter of the controller, from a number of seconds.
struct RUNTIMECOUNTER {
    std::uint32_t m_hours = 0;
    std::uint32_t m_minutes = 0;
    std::uint32_t m_seconds = 0;
};

struct MachineStatistics {
    RUNTIMECOUNTER m_runTime[3];    // controller ids 513, 529 and 514
    std::uint32_t m_count = 0;      // id 515
    double m_reals[2] = {0.0, 0.0}; // ids 547 and 563
};

struct MachineParams {
    MachineStatistics m_statistics;
    std::uint32_t m_valid = 0;
    MachineNode* m_pNode = nullptr; // the entry whose parameters these are

    // The parameters, named after their keys in the "*.machine" file.
    std::uint32_t m_sys_control = 0;
    std::uint32_t m_machine_type = 0;
    std::uint32_t m_linkage_ctrl = 0;
    std::uint32_t m_mac_op_mod = 0;
    std::uint32_t m_doub_plat_len = 0;
    std::uint32_t m_doub_head_len = 0;
    double m_metal_down_delay = 0.0;
    double m_metal_up_delay = 0.0;
    double m_metal_uplift_dis = 0.0;
    double m_refer_dinameter = 0.0;
    double m_refer_resolution = 0.0;
    double m_wheel_dinameter = 0.0;
    std::uint32_t m_laser_control = 0;
    double m_laser_frequency = 0.0;
    double m_laser_min_power = 0.0;
    double m_laser_max_power = 0.0;
    double m_laser_oc_delay = 0.0;
    double m_laser_pluse_width = 0.0;
    std::uint32_t m_laser_pwm_polarity = 0;
    std::uint32_t m_focus_len = 0;
    std::uint32_t m_laser_drive_lag = 0;
    std::uint32_t m_metal_use_other = 0;
    double m_metal_hanging = 0.0;
    double m_metal_free_updis = 0.0;
    double m_metal_finish_updis = 0.0;
    std::uint32_t m_metal_tolerance = 0;
    std::uint32_t m_x_control = 0;
    double m_x_resolution = 0.0;
    double m_x_max_speed = 0.0;
    double m_x_min_speed = 0.0;
    double m_x_acceleration = 0.0;
    double m_x_acc_acceleration = 0.0;
    double m_x_journey = 0.0;
    std::uint32_t m_y_control = 0;
    double m_y_resolution = 0.0;
    double m_y_max_speed = 0.0;
    double m_y_min_speed = 0.0;
    double m_y_acceleration = 0.0;
    double m_y_acc_acceleration = 0.0;
    double m_y_journey = 0.0;
    std::uint32_t m_z_control = 0;
    double m_z_resolution = 0.0;
    double m_z_max_speed = 0.0;
    double m_z_min_speed = 0.0;
    double m_z_acceleration = 0.0;
    double m_z_acc_acceleration = 0.0;
    double m_z_journey = 0.0;
    std::uint32_t m_u_control = 0;
    double m_u_resolution = 0.0;
    double m_u_max_speed = 0.0;
    double m_u_min_speed = 0.0;
    double m_u_acceleration = 0.0;
    double m_u_acc_acceleration = 0.0;
    double m_u_journey = 0.0;
    std::uint32_t m_v_control = 0;
    double m_v_resolution = 0.0;
    double m_v_max_speed = 0.0;
    double m_v_min_speed = 0.0;
    double m_v_acceleration = 0.0;
    double m_v_acc_acceleration = 0.0;
    double m_v_journey = 0.0;
    std::uint32_t m_mac_back_pos = 0;
    double m_corner_speed = 0.0;
    double m_cut_mode_acc = 0.0;
    std::uint32_t m_user_param = 0;
    double m_mac_back_speed = 0.0;
    double m_mac_pluse_time = 0.0;
    double m_free_speed = 0.0;
    double m_free_acc = 0.0;
    std::uint32_t m_file_set = 0;
    std::uint32_t m_ip_address = 0;
    std::uint32_t m_common_out_polarity = 0;
    std::uint32_t m_min_acc = 0;
    double m_speed_rate = 0.0;
    std::uint32_t m_run_range_speed = 0;

    // The entry whose link and connection the online operations use.
    void SetMachine(MachineNode* node) { m_pNode = node; }
};

// Sets the statistics, m_valid, m_pNode and every parameter to zero, except
// the ten that operation 32 never sends. Returns the block.
MachineParams& ResetMachineParam(MachineParams& block);

// True when every parameter but "macInfo_m_metal_use_other" agrees:
// integers equal, reals within 1.0 of each other.
bool IsSameMachineParam(const MachineParams& a, const MachineParams& b);

// Online operations 34 (statistics), 31 (read the parameters) and 32 (write
// them), answered to window. False, nothing sent, when the block has no
// entry, the entry no connection (MachineNode::m_session) or the library no
// link for it.
bool RequestStatistic(const MachineParams& block, plat::HWND window);
bool RequestMachineParam(const MachineParams& block, plat::HWND window);
bool SendMachineParam(const MachineParams& block, plat::HWND window);

// The 65 values that operation 32 writes, in the order of its write list.
// Reals are made integers by their own rule: truncated, rounded (+0.5),
// rounded away from zero, or multiplied by 1000 and rounded. A result from
// -2^31 to 2^32 - 1 keeps its 32-bit pattern, so a value read from the
// controller goes back as it came; beyond, the nearer end; NaN gives 0.
std::array<std::uint32_t, kMachineParamWriteCount> MachineParamWriteArray(const MachineParams& block);
// The controller parameter ids of those values, in the same order.
std::array<std::int32_t, kMachineParamWriteCount> MachineParamWriteIds();

// Stores one answer of a statistics read: ids 513, 529 and 514 are seconds,
// stored as hours, minutes and seconds; 515 the count; 547 and 563 the reals.
// Other ids are ignored.
void SetStatisticByIndex(MachineParams& block, std::int32_t id, std::uint32_t value);

// Stores one answer of a parameter read by the parameter table; ids above
// 275 and ids not in the table are ignored.
void SetMachineParamByIndex(MachineParams& block, std::int32_t id, std::uint32_t value);

// The block's entry written to or read from a "*.machine" file
// (CReadParamFile::WriteMachineFile and ReadMachineFile).
bool ExportMachineFile(const MachineParams& block, const std::string& path);
bool ImportMachineFile(const MachineParams& block, const std::string& path);
