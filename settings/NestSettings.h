// The settings of the nesting engine, kept in nest.par in the parameter
// folder (CReadParamFile::ReadNestParam and WriteNestParam).
#pragma once
#include <cstdint>

struct NestSettings {
    double m_sizex = 9000.0;          // sheet width, 0.1 mm
    double m_sizey = 6000.0;          // sheet height, 0.1 mm
    double m_step = 10.0;
    std::uint32_t m_rot_allow = 1;    // 1 = parts may rotate
    std::uint32_t m_rot_sum = 4;      // rotation positions
    std::uint32_t m_limit_time = 3;   // seconds
    std::uint32_t m_limit_ratio = 75; // target utilisation, percent
    std::uint32_t m_start_time = 0;   // of a run, ms; not stored

    // The defaults of every stored field; the start time stays.
    void SetDefaults();
};
