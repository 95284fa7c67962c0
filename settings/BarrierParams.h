// The light-guide plate settings of the light-guide page, kept in Bari.par in
// the parameter folder (CReadParamFile::ReadBarrierParam and
// WriteBarrierParam). Lengths are world units (0.1 mm); each field is named by
// its key in the file.
#pragma once
#include <cstdint>

struct BARRIERPARAMS {
    std::int32_t m_guide_mode = 0; // 0 lines, 1 ellipse, 2 rectangle, 3 triangle, 4 scan lines
    double m_guide_width = 0.0;
    double m_width_grad = 0.0;
    double m_guide_hight = 0.0;
    double m_hight_grad = 0.0;
    double m_guide_up = 0.0;
    double m_up_grad = 0.0;
    double m_guide_down = 0.0;
    double m_down_grad = 0.0;
    double m_guide_left = 0.0;
    double m_left_grad = 0.0;
    double m_guide_right = 0.0;
    double m_right_grad = 0.0;
    double m_cntr_offsetx = 0.0;
    double m_cntr_offsety = 0.0;
    std::int32_t m_row_disloc = 0;
    double m_dislocation_row = 0.0;
    std::int32_t m_column_disloc = 0;
    double m_dislocation_column = 0.0;
    double m_reserve_side = 0.0;
    double m_deri_ratio = 0.0;
};
