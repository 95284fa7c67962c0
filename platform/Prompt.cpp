#include "Prompt.h"
#include "Progress.h"

#include <atomic>

namespace plat {

namespace {
RecordingPrompt g_headlessPrompt(kHeadlessPromptKeep);
std::atomic<Prompt*> g_prompt{nullptr};
std::atomic<ProgressSink*> g_progress{nullptr};
thread_local Prompt* t_prompt = nullptr;
} // namespace

void SetPrompt(Prompt* prompt) { g_prompt.store(prompt); }
void SetThreadPrompt(Prompt* prompt) { t_prompt = prompt; }

Prompt& GetPrompt()
{
    if (t_prompt != nullptr)
        return *t_prompt;
    Prompt* p = g_prompt.load();
    return p != nullptr ? *p : g_headlessPrompt;
}

int MessageBox(const std::u16string& text, const std::u16string& caption, unsigned type)
{
    return GetPrompt().MessageBox(text, caption, type);
}

void SetProgressSink(ProgressSink* sink) { g_progress.store(sink); }
ProgressSink* GetProgressSink() { return g_progress.load(); }

} // namespace plat
