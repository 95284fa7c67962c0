// The press-and-hold jog button of the machine control page. Pressed, it
// sends the current machine the online command of its kind: a continuous
// move of an axis (kinds 1 to 10), a relative move by the page's step
// (kinds 11 to 20, the same buttons in precise mode) or the laser's spot
// shot (22); kinds 0, 21 and above 22 send nothing. A continuous command is
// followed by exactly one stop: at the mouse release, or as soon as the
// button is disabled, hidden, loses the focus or is blocked by a modal
// window while held, whichever comes first.
//
// The button has no machine of its own: it finds the current machine
// through the document's edit context at every press and release. The page
// writes the context, the step, the laser flag and the kind.
#pragma once
#include "XPButton.h"
#include "qtplatform/QtMessagePoster.h"

#include <cstdint>

struct DOCCONTEXT;
struct MachineNode;
struct SoftwareSettings;

class CMyButton : public CXPButton, public PostedMessageTarget {
public:
    // The wait after every press that passed the link check.
    static constexpr int kPressWaitMs = 100;

    explicit CMyButton(QWidget* parent = nullptr);
    ~CMyButton() override;
    CMyButton(const CMyButton&) = delete;
    CMyButton& operator=(const CMyButton&) = delete;

    DOCCONTEXT* m_context = nullptr;
    double m_step = 0.0;
    std::uint8_t m_laser = 0;

    // The signed distance in millimetres of a precise move of this kind for
    // the machine's origin corner: the step's magnitude, negative where
    // the corner reverses the axis ("Z+", "U-" and "V-" are negative for
    // corners 0 to 3; a corner above 3 makes every distance positive).
    double GetSignedStep(std::uint8_t originCorner, double step) const;
    // A scaled value as the controller takes it: trunc(v + 0.5), clamped to
    // 32 bits; NaN gives 0.
    static std::int32_t RoundForController(double v);

    // The current machine of the settings: the entry at m_nCurMachine
    // counted from the head; null for a negative index or one past the end.
    static MachineNode* CurrentMachine(const SoftwareSettings& settings);

    // A continuous command was sent and its stop is still to go.
    bool StopOwed() const { return m_stopOwed; }
    // The release, and every other end of a hold: sends the stop still owed
    // through the context the press used. The page calls it before it
    // rebinds the button to another document or to none.
    void SendOwedStop();
    plat::HWND Handle() const { return m_hWnd; }

    void OnPostedMessage(plat::UINT, plat::WPARAM, plat::LPARAM) override {}

protected:
    // The press: false when the standard button handling must not run
    // (no context, or the link settings refused with a message).
    bool OnLButtonDown();

    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    plat::HWND m_hWnd = 0;
    bool m_stopOwed = false;
    std::uint32_t m_pressedKind = 0; // the kind whose stop is owed
};
