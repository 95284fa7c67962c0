// Message boxes asked for by engine code. The program shows them with Qt;
// tests and headless runs record them and answer with a preset result.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace plat {

// Button sets and answers, numbered as the message boxes were designed.
enum : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

class Prompt {
public:
    virtual ~Prompt() = default;
    virtual int MessageBox(const std::u16string& text, const std::u16string& caption, unsigned type) = 0;
};

// Registers the process-wide prompt; null restores the headless default, a
// RecordingPrompt that keeps the latest kHeadlessPromptKeep messages.
void SetPrompt(Prompt* prompt);
Prompt& GetPrompt();

// The prompt of the calling thread alone, in place of the process-wide one
// (the questions of work done off the interface thread are asked there
// through it); null: none.
void SetThreadPrompt(Prompt* prompt);

// Shows a message box through the registered prompt.
int MessageBox(const std::u16string& text, const std::u16string& caption = std::u16string(), unsigned type = MB_OK);

// Records every message shown and answers with m_answer. With a nonzero
// `keepLast` only that many of the latest messages are kept, so that a long
// headless run does not grow without bound.
class RecordingPrompt : public Prompt {
public:
    struct Shown {
        std::u16string text;
        std::u16string caption;
        unsigned type;
    };
    explicit RecordingPrompt(std::size_t keepLast = 0) : m_keepLast(keepLast) {}
    int MessageBox(const std::u16string& text, const std::u16string& caption, unsigned type) override
    {
        m_shown.push_back({text, caption, type});
        if (m_keepLast != 0 && m_shown.size() > m_keepLast)
            m_shown.erase(m_shown.begin(), m_shown.end() - static_cast<std::ptrdiff_t>(m_keepLast));
        return m_answer;
    }
    std::vector<Shown> m_shown;
    int m_answer = IDOK;

private:
    std::size_t m_keepLast;
};

// Messages the headless default prompt (used while none is registered)
// keeps: the latest ones.
constexpr std::size_t kHeadlessPromptKeep = 100;

} // namespace plat
