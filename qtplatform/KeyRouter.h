// Keys of one main window, translated before any widget sees them. An
// application event filter maps each Qt key to its virtual-key code and
// offers it, in this order, to the pre-translation of the windows between the
// focus widget and the main window (the view's), to the main window's own
// pre-translation, and to the accelerator table, whose match runs its
// command. A key taken at any step goes no further: one press, one action.
// Keys of other windows, of open menus and of modal dialogs pass untouched.
#pragma once
#include "platform/Win.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <span>

class QKeyEvent;

// Virtual-key codes as the design numbers keys.
namespace vk {
constexpr int Cancel = 0x03, Back = 0x08, Tab = 0x09, Return = 0x0D, Shift = 0x10, Control = 0x11, Menu = 0x12,
              Escape = 0x1B, Space = 0x20, Prior = 0x21, Next = 0x22, End = 0x23, Home = 0x24, Left = 0x25,
              Up = 0x26, Right = 0x27, Down = 0x28, Insert = 0x2D, Delete = 0x2E, F1 = 0x70;
}

struct VirtualKey {
    int code = 0; // virtual-key code
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
    bool down = true; // key down (also when repeated), else key up
};

// The virtual-key code of a Qt key (letters and digits as their upper-case
// character, F1 to F24, the editing and moving keys, Cancel); 0 for any
// other key.
int ToVirtualKey(int qtKey);
// The key of an event (Ctrl+Pause is Cancel); code 0 for keys without a
// virtual-key code.
VirtualKey ToVirtualKey(const QKeyEvent& event);

// One accelerator: a key with exactly these modifiers runs the command.
struct Accelerator {
    int code;
    bool ctrl;
    bool shift;
    bool alt;
    plat::UINT id;
};

// The command of a key in an accelerator table, 0 when none (key up never
// matches).
plat::UINT FindAccelerator(std::span<const Accelerator> table, const VirtualKey& key);

// A window between the focus widget and the main window that looks at keys
// first (the drawing view).
class KeyPreTranslator {
public:
    virtual ~KeyPreTranslator() = default;
    // True when the key is taken.
    virtual bool PreTranslateKey(const VirtualKey& key) = 0;
};

// The main window's side of the routing.
class KeyRouteTarget {
public:
    virtual ~KeyRouteTarget() = default;
    // The main window's own keys; true when taken.
    virtual bool PreTranslateFrameKey(const VirtualKey& key) = 0;
    // An accelerator matched: run its command if it is enabled.
    virtual void RunAccelerator(plat::UINT id) = 0;
};

class KeyRouter : public QObject {
public:
    // Installs itself as an application event filter for the window's keys.
    KeyRouter(QWidget* window, KeyRouteTarget* target, std::span<const Accelerator> accelerators);
    ~KeyRouter() override;

    // The accelerator of a key, 0 when none (key up never matches).
    plat::UINT FindAccelerator(const VirtualKey& key) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Route(QWidget* receiver, const VirtualKey& key);

    QPointer<QWidget> m_window;
    KeyRouteTarget* m_target;
    std::span<const Accelerator> m_accelerators;
    // The event last seen and its receiver: an unhandled key event is offered
    // to each parent widget in turn, and the filter sees it at every step.
    const QEvent* m_lastEvent = nullptr;
    QPointer<QWidget> m_lastReceiver;
};
