#include "MyButton.h"

#include "machinecomm/OnlineOperate.h"
#include "machinecomm/Vantrel.h"
#include "model/DocContext.h"
#include "platform/Prompt.h"
#include "platform/Sleep.h"
#include "settings/LanguageTable.h"
#include "settings/MachineNode.h"
#include "settings/TransThreadInfo.h"

#include <QMouseEvent>

#include <cmath>
#include <limits>

namespace {

constexpr std::uint32_t kShotKind = 22;

// Press and stop operations of the continuous kinds 1 to 10.
constexpr std::int32_t kJogPress[10] = {OP_JOG_X_1, OP_JOG_X_2, OP_JOG_Y_1, OP_JOG_Y_2, OP_JOG_Z_1,
                                        OP_JOG_Z_2, OP_JOG_U_1, OP_JOG_U_2, OP_JOG_V_1, OP_JOG_V_2};
constexpr std::int32_t kJogStop[10] = {OP_JOG_X_STOP, OP_JOG_X_STOP, OP_JOG_Y_STOP, OP_JOG_Y_STOP, OP_JOG_Z_STOP,
                                       OP_JOG_Z_STOP, OP_JOG_U_STOP, OP_JOG_U_STOP, OP_JOG_V_STOP, OP_JOG_V_STOP};

// Precise kinds 11 to 20 by origin corner 0 to 3: true where the distance
// is negative.
constexpr bool kNegative[10][4] = {
    {false, true, false, true},  // 11 left
    {true, false, true, false},  // 12 right
    {true, true, false, false},  // 13 up
    {false, false, true, true},  // 14 down
    {true, true, true, true},    // 15 "Z+"
    {false, false, false, false}, // 16 "Z-"
    {false, false, false, false}, // 17 "U+"
    {true, true, true, true},    // 18 "U-"
    {false, false, false, false}, // 19 "V+"
    {true, true, true, true},    // 20 "V-"
};

bool IsContinuous(std::uint32_t kind)
{
    return (kind >= 1 && kind <= 10) || kind == kShotKind;
}

bool IsPrecise(std::uint32_t kind)
{
    return kind >= 11 && kind <= 20;
}

std::int32_t StopOperation(std::uint32_t kind)
{
    return kind == kShotKind ? OP_HOLD_END : kJogStop[kind - 1];
}

} // namespace

CMyButton::CMyButton(QWidget* parent) : CXPButton(parent)
{
    if (QtMessagePoster* poster = QtMessagePoster::Current())
        m_hWnd = poster->RegisterWindow(this);
}

CMyButton::~CMyButton()
{
    if (QtMessagePoster* poster = QtMessagePoster::Current(); poster != nullptr && m_hWnd != 0)
        poster->UnregisterWindow(m_hWnd);
}

double CMyButton::GetSignedStep(std::uint8_t originCorner, double step) const
{
    const double magnitude = std::fabs(step);
    if (!IsPrecise(m_kind) || originCorner > 3)
        return magnitude;
    return kNegative[m_kind - 11][originCorner] ? -magnitude : magnitude;
}

std::int32_t CMyButton::RoundForController(double v)
{
    const double half = v + 0.5;
    if (std::isnan(half))
        return 0;
    // Truncated toward zero, everything strictly between these fits.
    if (half >= 2147483648.0)
        return std::numeric_limits<std::int32_t>::max();
    if (half <= -2147483649.0)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(half);
}

MachineNode* CMyButton::CurrentMachine(const SoftwareSettings& settings)
{
    return MachineAt(settings.m_pMachines, settings.m_nCurMachine);
}

bool CMyButton::OnLButtonDown()
{
    if (m_context == nullptr)
        return false;
    // A hold whose end went unnoticed ends before the next begins.
    SendOwedStop();
    SoftwareSettings* settings = m_context->m_pSettings;
    MachineNode* machine = settings != nullptr ? CurrentMachine(*settings) : nullptr;
    if (machine == nullptr)
        return true;
    if (!MachineLinkUsable(*machine, *settings)) {
        plat::MessageBox(LanguageText(RegisteredLanguageTable(), u"phase15:error-hint", 5));
        return false;
    }
    const std::uint32_t kind = m_kind;
    const bool sends = IsContinuous(kind) || IsPrecise(kind);
    // The command goes to this machine only: another machine's link closes.
    if (sends && !ConnectOnly(settings->m_pMachines, *machine, *settings))
        return false;

    const std::uint8_t laser = m_laser != 0 ? 1 : 0;
    if (kind >= 1 && kind <= 10) {
        VQ_OnlineOperate(machine->m_link_type, kJogPress[kind - 1], &laser, 0, m_hWnd);
    } else if (IsPrecise(kind)) {
        const std::int32_t move[3] = {static_cast<std::int32_t>((kind - 11) / 2), laser != 0 ? 3 : 2,
                                      RoundForController(GetSignedStep(machine->m_orign, m_step) * 1000.0)};
        VQ_OnlineOperate(machine->m_link_type, OP_AXIS_MOVE, move, 0, m_hWnd);
    } else if (kind == kShotKind) {
        VQ_OnlineOperate(machine->m_link_type, OP_HOLD_START, nullptr, 0, m_hWnd);
    }
    if (IsContinuous(kind)) {
        m_stopOwed = true;
        m_pressedKind = kind;
    }
    plat::Sleep(kPressWaitMs);
    return true;
}

void CMyButton::SendOwedStop()
{
    if (!m_stopOwed)
        return;
    m_stopOwed = false;
    if (m_context == nullptr || m_context->m_pSettings == nullptr)
        return;
    MachineNode* machine = CurrentMachine(*m_context->m_pSettings);
    if (machine == nullptr || machine->m_session == nullptr)
        return;
    VQ_OnlineOperate(machine->m_link_type, StopOperation(m_pressedKind), nullptr, 0, m_hWnd);
}

void CMyButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        CXPButton::mousePressEvent(event);
        return;
    }
    if (OnLButtonDown())
        CXPButton::mousePressEvent(event);
    else
        event->accept();
}

void CMyButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        SendOwedStop();
    CXPButton::mouseReleaseEvent(event);
}

void CMyButton::focusOutEvent(QFocusEvent* event)
{
    SendOwedStop();
    CXPButton::focusOutEvent(event);
}

void CMyButton::hideEvent(QHideEvent* event)
{
    SendOwedStop();
    CXPButton::hideEvent(event);
}

void CMyButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        SendOwedStop();
    CXPButton::changeEvent(event);
}

bool CMyButton::event(QEvent* event)
{
    // A modal window takes the mouse release away from the button.
    if (event->type() == QEvent::WindowBlocked) {
        SendOwedStop();
        if (isDown())
            setDown(false);
    }
    return CXPButton::event(event);
}
