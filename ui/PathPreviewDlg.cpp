#include "PathPreviewDlg.h"

#include "settings/MachineNode.h"
#include "settings/MachineParams.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

bool Usable(double scale)
{
    return std::isfinite(scale) && scale > 1e-5;
}

std::u16string Digits(long long value, bool twoDigits)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, twoDigits ? "%02lld" : "%lld", value);
    return std::u16string(buffer, buffer + std::char_traits<char>::length(buffer));
}

} // namespace

double CPathPreviewDlg::FitScale(double pictureWidth, double pictureHeight, double extentX, double extentY)
{
    const double sx = pictureWidth / extentX;
    const double sy = pictureHeight / extentY;
    if (Usable(sx) && Usable(sy))
        return std::min(sx, sy);
    if (Usable(sx))
        return sx;
    if (Usable(sy))
        return sy;
    return 1.0;
}

RUNTIMEPARAMS CPathPreviewDlg::RunTimeParams(const MachineNode* machine, double scale)
{
    RUNTIMEPARAMS params;
    if (machine != nullptr && machine->m_params != nullptr && machine->m_params->m_valid != 0)
        params.TakeMachine(*machine->m_params);
    params.m_divisor = scale;
    return params;
}

std::u16string CPathPreviewDlg::RunTimeText(double seconds, const std::u16string& hours,
                                            const std::u16string& minutes, const std::u16string& secondsText)
{
    // Beyond about a million years the count is meaningless; keep it in range.
    const double clamped = std::isfinite(seconds) ? std::clamp(seconds, 0.0, 1e15) : 0.0;
    const auto total = static_cast<long long>(clamped + 0.5);
    return Digits(total / 3600, false) + u" " + hours + u"\r" + Digits(total / 60 % 60, true) + u" " + minutes +
           u"\r" + Digits(total % 60, true) + u" " + secondsText;
}
