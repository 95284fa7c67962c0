#include "SignalCloser.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t g_writeFd = -1;

void OnSignal(int signal)
{
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    if (g_writeFd >= 0 && ::write(g_writeFd, &byte, 1) < 0) {
        // A full pipe already holds a wake-up.
    }
    errno = saved;
}

} // namespace

SignalCloser::SignalCloser(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal))
{
    if (g_writeFd >= 0 || ::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    g_writeFd = m_pipe[1];
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGTERM, &action, &m_oldTerm) != 0 || ::sigaction(SIGINT, &action, &m_oldInt) != 0) {
        ::sigaction(SIGTERM, &m_oldTerm, nullptr);
        g_writeFd = -1;
        return;
    }
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalCloser::OnReadable);
}

SignalCloser::~SignalCloser()
{
    if (m_notifier != nullptr) {
        ::sigaction(SIGTERM, &m_oldTerm, nullptr);
        ::sigaction(SIGINT, &m_oldInt, nullptr);
        g_writeFd = -1;
    }
    for (int fd : m_pipe) {
        if (fd >= 0)
            ::close(fd);
    }
}

void SignalCloser::OnReadable()
{
    char bytes[64];
    while (::read(m_pipe[0], bytes, sizeof bytes) > 0) {
    }
    if (m_onSignal)
        m_onSignal();
}
