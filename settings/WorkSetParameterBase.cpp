#include "WorkSetParameterBase.h"

#include "WorkParams.h"

WorkParams& CWorkSetParameterBase::SetDefaults(WorkParams& rec)
{
    rec.m_group_num = 0;
    rec.m_border = 1;
    rec.m_sweep = 0;
    rec.m_sweep_first = 0;
    rec.m_speed_unit = 0;
    rec.m_perc_unit = 0;
    rec.m_size_unit = 0;
    rec.m_b_speed = 100.0;
    rec.m_b_free_speed = 100.0;
    rec.m_b_light_def = 0;
    rec.m_b_min_light1 = 20.0;
    rec.m_b_max_light1 = 30.0;
    rec.m_b_min_light2 = 20.0;
    rec.m_b_max_light2 = 30.0;
    rec.m_b_st_delay = 0;
    rec.m_b_ed_delay = 0;
    rec.m_b_delay_lsr_act = 0;
    rec.m_b_delay_laser = 0.0;
    rec.m_b_cuiqi = 1;
    rec.m_b_auto_cuiqi = 0;
    rec.m_b_hit_point = 0;
    rec.m_b_hit_dis = 0.0;
    rec.m_b_hit_time = 0.0;
    rec.m_b_z_rish = 0.0;
    rec.m_b_delay_after_work = 0;
    rec.m_b_delay_after_work_v = 0.0;
    rec.m_s_speed = 300.0;
    rec.m_s_light_def = 0;
    rec.m_s_min_light1 = 20.0;
    rec.m_s_min_light2 = 20.0;
    rec.m_s_max_light1 = 20.0;
    rec.m_s_max_light2 = 20.0;
    rec.m_s_diameter_use = 0;
    rec.m_s_method = 0;
    rec.m_s_precision = 0.05;
    rec.m_s_incline = 0.0;
    rec.m_s_diameter = 0.1;
    rec.m_s_mid_repair = 0.0;
    rec.m_s_sid_repair = 0.0;
    rec.m_s_map_rpy_tbl = 0;
    rec.m_s_cuiqi = 1;
    rec.m_s_auto_cuiqi = 0;
    rec.m_s_delay_after_work = 0;
    rec.m_s_delay_after_work_v = 0.0;
    rec.m_s_grid_mode = 0;
    rec.m_s_grid_type = 0;
    rec.m_s_grid_size = 0.1;
    rec.m_s_grid_inter = 0.1;
    rec.m_s_z_rish = 0.0;
    rec.m_pPrev = nullptr;
    rec.m_pNext = nullptr;
    return rec;
}
