// Message boxes of engine code shown as QMessageBox. Only the user-interface
// thread can show one: a call from any other thread shows nothing and gets
// IDCANCEL.
#pragma once
#include "platform/Prompt.h"

#include <QMessageBox>

#include <memory>

class QtPrompt : public plat::Prompt {
public:
    int MessageBox(const std::u16string& text, const std::u16string& caption, unsigned type) override;

    // The box for a text, caption and button set with icon (MB_* flags): an
    // empty caption gives the application's name; an unknown button set is
    // shown as MB_OK.
    static std::unique_ptr<QMessageBox> BuildBox(const std::u16string& text, const std::u16string& caption,
                                                 unsigned type, QWidget* parent = nullptr);
    // IDOK, IDCANCEL, IDYES or IDNO for the button that closed the box; a box
    // closed without a button counts as cancelled.
    static int ResultOf(const QMessageBox& box);
};
