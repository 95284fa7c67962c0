#include "KeyRouter.h"

#include <QApplication>
#include <QKeyEvent>

int ToVirtualKey(int qtKey)
{
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 'A' + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return '0' + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return vk::F1 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
    case Qt::Key_Backspace:
        return vk::Back;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return vk::Tab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return vk::Return;
    case Qt::Key_Shift:
        return vk::Shift;
    case Qt::Key_Control:
        return vk::Control;
    case Qt::Key_Alt:
        return vk::Menu;
    case Qt::Key_Escape:
        return vk::Escape;
    case Qt::Key_Space:
        return vk::Space;
    case Qt::Key_PageUp:
        return vk::Prior;
    case Qt::Key_PageDown:
        return vk::Next;
    case Qt::Key_End:
        return vk::End;
    case Qt::Key_Home:
        return vk::Home;
    case Qt::Key_Left:
        return vk::Left;
    case Qt::Key_Up:
        return vk::Up;
    case Qt::Key_Right:
        return vk::Right;
    case Qt::Key_Down:
        return vk::Down;
    case Qt::Key_Insert:
        return vk::Insert;
    case Qt::Key_Delete:
        return vk::Delete;
    case Qt::Key_Cancel:
        return vk::Cancel;
    default:
        return 0;
    }
}

VirtualKey ToVirtualKey(const QKeyEvent& event)
{
    VirtualKey key;
    key.code = ToVirtualKey(event.key());
    const Qt::KeyboardModifiers mods = event.modifiers();
    key.ctrl = mods.testFlag(Qt::ControlModifier);
    // Ctrl turns Pause into Break, the cancel key.
    if (event.key() == Qt::Key_Pause && key.ctrl)
        key.code = vk::Cancel;
    key.shift = mods.testFlag(Qt::ShiftModifier);
    key.alt = mods.testFlag(Qt::AltModifier);
    key.down = event.type() == QEvent::KeyPress;
    return key;
}

KeyRouter::KeyRouter(QWidget* window, KeyRouteTarget* target, std::span<const Accelerator> accelerators)
    : QObject(window), m_window(window), m_target(target), m_accelerators(accelerators)
{
    qApp->installEventFilter(this);
}

KeyRouter::~KeyRouter()
{
    if (qApp != nullptr)
        qApp->removeEventFilter(this);
}

plat::UINT FindAccelerator(std::span<const Accelerator> table, const VirtualKey& key)
{
    if (!key.down || key.code == 0)
        return 0;
    for (const Accelerator& a : table) {
        if (a.code == key.code && a.ctrl == key.ctrl && a.shift == key.shift && a.alt == key.alt)
            return a.id;
    }
    return 0;
}

plat::UINT KeyRouter::FindAccelerator(const VirtualKey& key) const
{
    return ::FindAccelerator(m_accelerators, key);
}

bool KeyRouter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    auto* receiver = qobject_cast<QWidget*>(watched);
    if (receiver == nullptr || m_window.isNull() || receiver->window() != m_window.data())
        return false;
    if (QApplication::activeModalWidget() != nullptr || QApplication::activePopupWidget() != nullptr)
        return false;
    const bool passedOn = event == m_lastEvent && !m_lastReceiver.isNull() && m_lastReceiver->parentWidget() == receiver;
    m_lastEvent = event;
    m_lastReceiver = receiver;
    if (passedOn)
        return false; // routed when its first receiver had it

    const auto* keyEvent = static_cast<const QKeyEvent*>(event);
    const VirtualKey key = ToVirtualKey(*keyEvent);
    if (key.code == 0)
        return false;
    return Route(receiver, key);
}

bool KeyRouter::Route(QWidget* receiver, const VirtualKey& key)
{
    for (QWidget* w = receiver; w != nullptr && w != m_window.data(); w = w->parentWidget()) {
        if (auto* translator = dynamic_cast<KeyPreTranslator*>(w); translator != nullptr && translator->PreTranslateKey(key))
            return true;
    }
    if (m_target->PreTranslateFrameKey(key))
        return true;
    if (const plat::UINT id = FindAccelerator(key); id != 0) {
        m_target->RunAccelerator(id);
        return true;
    }
    return false;
}
