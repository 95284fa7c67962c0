#include "LongWork.h"

#include "platform/ImportOptions.h"
#include "platform/Prompt.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// The threads of cancelled work, joined once they have ended.
class Cancelled {
public:
    static Cancelled& Get()
    {
        static Cancelled threads;
        return threads;
    }
    ~Cancelled() { JoinAll(); }

    void Add(std::thread thread, std::shared_ptr<std::atomic<bool>> ended)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        JoinEnded();
        m_threads.push_back({std::move(thread), std::move(ended)});
    }
    void JoinAll()
    {
        std::vector<Entry> threads;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            threads.swap(m_threads);
        }
        for (Entry& e : threads)
            e.thread.join();
    }

private:
    struct Entry {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> ended;
    };
    void JoinEnded()
    {
        for (auto it = m_threads.begin(); it != m_threads.end();) {
            if (it->ended->load()) {
                it->thread.join();
                it = m_threads.erase(it);
            } else {
                ++it;
            }
        }
    }

    std::mutex m_mutex;
    std::vector<Entry> m_threads;
};

} // namespace

struct LongWork::State : plat::Prompt, plat::ImportOptions, std::enable_shared_from_this<LongWork::State> {
    plat::WorkControl control;
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> ended = std::make_shared<std::atomic<bool>>(false);
    std::atomic<bool> ok{false};
    // Questions are asked through the object that lives on the interface
    // thread; without it (cancelled) they are answered silently.
    QObject* asker = nullptr;
    std::mutex mutex;

    // Asks `ask` on the interface thread and waits for its answer, looking
    // for a cancel meanwhile; `silent` is the answer of a cancelled work.
    int AskThere(const std::function<int()>& ask, int silent)
    {
        struct Question {
            std::function<int()> ask;
            std::mutex mutex;
            std::condition_variable answered;
            bool done = false;
            int answer = 0;
        };
        auto question = std::make_shared<Question>();
        question->ask = ask;
        {
            const std::lock_guard<std::mutex> lock(mutex);
            if (asker == nullptr || control.Cancelled())
                return silent;
            QMetaObject::invokeMethod(
                asker,
                [question, self = shared_from_this()] {
                    const int answer = self->control.Cancelled() ? 0 : question->ask();
                    const std::lock_guard<std::mutex> held(question->mutex);
                    question->answer = answer;
                    question->done = true;
                    question->answered.notify_all();
                },
                Qt::QueuedConnection);
        }
        std::unique_lock<std::mutex> lock(question->mutex);
        while (!question->done) {
            if (control.Cancelled())
                return silent;
            question->answered.wait_for(lock, std::chrono::milliseconds(kPollMs));
        }
        return control.Cancelled() ? silent : question->answer;
    }

    int MessageBox(const std::u16string& text, const std::u16string& caption, unsigned type) override
    {
        // The answer of the question as if it was dismissed.
        const int silent = (type & 0xF) == plat::MB_OK ? plat::IDOK : plat::IDCANCEL;
        return AskThere([=] { return plat::GetPrompt().MessageBox(text, caption, type); }, silent);
    }
    // The choices go there and back as copies: the worker's own may be gone
    // by the time a cancelled question is answered.
    int AskDimensions(std::uint8_t& unit) override { return Ask(unit, &plat::ImportOptions::AskDimensions); }
    int AskResolution(plat::ResolutionChoice& choice) override
    {
        return Ask(choice, &plat::ImportOptions::AskResolution);
    }
    int AskBitmap(plat::BitmapChoice& choice) override { return Ask(choice, &plat::ImportOptions::AskBitmap); }

    template <typename Choice>
    int Ask(Choice& choice, int (plat::ImportOptions::*ask)(Choice&))
    {
        auto copy = std::make_shared<Choice>(choice);
        const int answer = AskThere([copy, ask] { return (plat::GetImportOptions().*ask)(*copy); }, plat::IDCANCEL);
        if (answer == plat::IDOK && !control.Cancelled())
            choice = *copy;
        return answer;
    }
};

LongWork::LongWork(QObject* parent) : QObject(parent)
{
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, [this] { Poll(); });
}

LongWork::~LongWork()
{
    Cancel();
}

void LongWork::Start(Work work, Finished finished, Progressed progressed)
{
    Cancel();
    m_state = std::make_shared<State>();
    m_state->asker = this;
    m_finished = std::move(finished);
    m_progressed = std::move(progressed);
    m_shown = -1;
    std::shared_ptr<State> state = m_state;
    m_state->thread = std::thread([state, work = std::move(work)] {
        const plat::WorkControl::Scope scope(&state->control);
        plat::SetThreadPrompt(state.get());
        plat::SetThreadImportOptions(state.get());
        bool ok = false;
        try {
            ok = work() && !state->control.Cancelled();
        } catch (...) {
            ok = false;
        }
        plat::SetThreadPrompt(nullptr);
        plat::SetThreadImportOptions(nullptr);
        state->ok = ok;
        state->ended->store(true);
    });
    m_poll.start();
}

void LongWork::Cancel()
{
    m_poll.stop();
    if (m_state == nullptr)
        return;
    {
        const std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->control.Cancel();
        m_state->asker = nullptr;
    }
    Cancelled::Get().Add(std::move(m_state->thread), m_state->ended);
    m_state.reset();
    m_finished = nullptr;
    m_progressed = nullptr;
}

int LongWork::Progress() const
{
    return m_state != nullptr ? m_state->control.Progress() : 0;
}

void LongWork::Poll()
{
    if (m_state == nullptr)
        return;
    const int now = m_state->control.Progress();
    if (now != m_shown && m_progressed) {
        m_shown = now;
        m_progressed(now);
    }
    if (!m_state->ended->load())
        return;
    m_poll.stop();
    m_state->thread.join();
    const bool ok = m_state->ok;
    m_state.reset();
    Finished finished = std::move(m_finished);
    m_progressed = nullptr;
    if (finished)
        finished(ok);
}

void LongWork::Dispose(std::function<void()> call)
{
    auto ended = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([call = std::move(call), ended] {
        call();
        ended->store(true);
    });
    Cancelled::Get().Add(std::move(thread), std::move(ended));
}

void LongWork::JoinCancelled()
{
    Cancelled::Get().JoinAll();
}
