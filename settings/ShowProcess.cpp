#include "ShowProcess.h"

CShowProcess::~CShowProcess()
{
    // The control keeps its last position.
    m_pFrame = nullptr;
}

bool CShowProcess::Start(std::int32_t steps)
{
    // The frame is taken even when the start is refused for its step count,
    // so that later Steps still move the control in the range of 100.
    m_pFrame = plat::GetProgressSink();
    if (m_pFrame == nullptr || steps < 1)
        return false;
    m_nRange = static_cast<std::uint32_t>(steps) + 1;
    m_pFrame->SetRange(0, steps);
    m_pFrame->SetPos(0);
    return true;
}

bool CShowProcess::Step()
{
    if (m_nRange == 0)
        return false;
    if (m_pFrame == nullptr)
        return true;
    // Read back the position: another user of the control may have moved it.
    const std::uint32_t pos = (static_cast<std::uint32_t>(m_pFrame->GetPos()) + 1) % m_nRange;
    m_pFrame->SetPos(static_cast<int>(pos));
    if (pos + 1 == m_nRange)
        m_pFrame->SetPos(static_cast<int>(m_nEnd));
    return true;
}
