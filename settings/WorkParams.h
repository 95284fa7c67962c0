// The parameter record of one layer (one palette colour): whether the layer
// is cut, scanned or both, and the speeds, powers, delays and scanning
// settings that the job builder copies into the job. The 256 records form an
// open list whose head is SoftwareSettings::m_pLayers; they are stored in
// WorkParam.par, one group of 49 entries per record, beginning with
// "m_group_num". Every field is named by its key in that file.
#pragma once
#include <cstdint>

constexpr int kLayerCount = 256;
// Entries per record in WorkParam.par.
constexpr int kWorkParamKeyCount = 49;

struct WorkParams {
    std::uint16_t m_group_num = 0;     // layer id = palette index
    std::uint8_t m_border = 0;         // 1 = outlines are cut
    std::uint8_t m_sweep = 0;          // 1 = the layer is scanned
    std::uint16_t m_sweep_first = 0;   // dialog switch: scan first
    std::uint8_t m_speed_unit = 0;
    std::uint8_t m_perc_unit = 0;
    std::uint8_t m_size_unit = 0;
    double m_b_speed = 0.0;
    double m_b_free_speed = 0.0;
    std::uint8_t m_b_light_def = 0;
    double m_b_min_light1 = 0.0;
    double m_b_max_light1 = 0.0;
    double m_b_min_light2 = 0.0;
    double m_b_max_light2 = 0.0;
    std::uint16_t m_b_st_delay = 0;
    std::uint16_t m_b_ed_delay = 0;
    std::uint16_t m_b_delay_lsr_act = 0;
    double m_b_delay_laser = 0.0;
    std::uint8_t m_b_cuiqi = 0;
    std::uint8_t m_b_auto_cuiqi = 0;
    std::uint16_t m_b_hit_point = 0;   // 1 = cut paths become dots
    double m_b_hit_dis = 0.0;
    double m_b_hit_time = 0.0;
    double m_b_z_rish = 0.0;
    std::uint8_t m_b_delay_after_work = 0;
    double m_b_delay_after_work_v = 0.0;
    double m_s_speed = 0.0;
    std::uint8_t m_s_light_def = 0;
    double m_s_min_light1 = 0.0;
    double m_s_min_light2 = 0.0;
    double m_s_max_light1 = 0.0;
    double m_s_max_light2 = 0.0;
    std::uint8_t m_s_diameter_use = 0;
    std::uint8_t m_s_method = 0;
    double m_s_precision = 0.0;
    double m_s_incline = 0.0;
    double m_s_diameter = 0.0;
    double m_s_mid_repair = 0.0;
    double m_s_sid_repair = 0.0;
    std::uint8_t m_s_map_rpy_tbl = 0;
    std::uint8_t m_s_cuiqi = 0;
    std::uint8_t m_s_auto_cuiqi = 0;
    std::uint8_t m_s_delay_after_work = 0;
    double m_s_delay_after_work_v = 0.0;
    std::uint8_t m_s_grid_mode = 0;
    std::uint8_t m_s_grid_type = 0;
    double m_s_grid_size = 0.0;
    double m_s_grid_inter = 0.0;
    double m_s_z_rish = 0.0;           // held at single precision when read
    WorkParams* m_pPrev = nullptr;
    WorkParams* m_pNext = nullptr;
};

// A list of 256 records with the defaults, the k-th with layer id k.
WorkParams* MakeDefaultLayerList();
// Frees every record of a list; the head becomes null.
void FreeWorkParamList(WorkParams*& head);
// The first record with this layer id, or null.
WorkParams* FindLayerParams(WorkParams* head, int layer);
