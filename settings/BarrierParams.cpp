#include "BarrierParams.h"

#include "ParamTextFile.h"
#include "ReadParamFile.h"

#include <string_view>
#include <variant>

namespace {

constexpr const char* kBarrierFile = "Bari.par";

struct Field {
    std::string_view key;
    std::variant<std::int32_t BARRIERPARAMS::*, double BARRIERPARAMS::*> ref;
};

// In file order; integers "%d", reals "%f".
const Field kFields[] = {
    {"m_guide_mode", &BARRIERPARAMS::m_guide_mode},
    {"m_guide_width", &BARRIERPARAMS::m_guide_width},
    {"m_width_grad", &BARRIERPARAMS::m_width_grad},
    {"m_guide_hight", &BARRIERPARAMS::m_guide_hight},
    {"m_hight_grad", &BARRIERPARAMS::m_hight_grad},
    {"m_guide_up", &BARRIERPARAMS::m_guide_up},
    {"m_up_grad", &BARRIERPARAMS::m_up_grad},
    {"m_guide_down", &BARRIERPARAMS::m_guide_down},
    {"m_down_grad", &BARRIERPARAMS::m_down_grad},
    {"m_guide_left", &BARRIERPARAMS::m_guide_left},
    {"m_left_grad", &BARRIERPARAMS::m_left_grad},
    {"m_guide_right", &BARRIERPARAMS::m_guide_right},
    {"m_right_grad", &BARRIERPARAMS::m_right_grad},
    {"m_cntr_offsetx", &BARRIERPARAMS::m_cntr_offsetx},
    {"m_cntr_offsety", &BARRIERPARAMS::m_cntr_offsety},
    {"m_row_disloc", &BARRIERPARAMS::m_row_disloc},
    {"m_dislocation_row", &BARRIERPARAMS::m_dislocation_row},
    {"m_column_disloc", &BARRIERPARAMS::m_column_disloc},
    {"m_dislocation_column", &BARRIERPARAMS::m_dislocation_column},
    {"m_reserve_side", &BARRIERPARAMS::m_reserve_side},
    {"m_deri_ratio", &BARRIERPARAMS::m_deri_ratio},
};

} // namespace

bool CReadParamFile::WriteBarrierParam(const BARRIERPARAMS& params) const
{
    ParamTextFile file;
    for (const Field& f : kFields) {
        if (const auto* i = std::get_if<std::int32_t BARRIERPARAMS::*>(&f.ref))
            file.AddSigned(f.key, params.**i);
        else
            file.AddReal(f.key, params.*std::get<double BARRIERPARAMS::*>(f.ref));
    }
    return file.Write(GetParamPath() + kBarrierFile);
}

bool CReadParamFile::ReadBarrierParam(BARRIERPARAMS& params) const
{
    return ParamTextFile::Read(
        GetParamPath() + kBarrierFile,
        [&](std::string_view key, std::string_view value) {
            for (const Field& f : kFields) {
                if (f.key != key)
                    continue;
                if (const auto* i = std::get_if<std::int32_t BARRIERPARAMS::*>(&f.ref))
                    params.**i = ParamSigned<std::int32_t>(value);
                else
                    params.*std::get<double BARRIERPARAMS::*>(f.ref) = ParamRealValue(value);
                return;
            }
        },
        true);
}
