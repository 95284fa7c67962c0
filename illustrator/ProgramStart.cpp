#include "ProgramStart.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Only async-signal-safe calls from here to the exec: the host may run
// threads that held locks when it forked.
[[noreturn]] void SendErrnoAndExit(int fd, int error)
{
    const char* p = reinterpret_cast<const char*>(&error);
    std::size_t left = sizeof error;
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        p += n;
        left -= std::size_t(n);
    }
    ::_exit(127);
}

void CloseRange(int first, int last, int maxFd)
{
    if (first > last)
        return;
    if (::close_range(unsigned(first), unsigned(last), 0) != 0)
        for (int fd = first; fd <= last && fd < maxFd; ++fd)
            ::close(fd);
}

// Closes every descriptor from 3 up but `keep`.
void CloseDescriptorsFrom3(int keep, int maxFd)
{
    constexpr int kLast = 0x7FFFFFFF;
    if (keep < 3) {
        CloseRange(3, kLast, maxFd);
        return;
    }
    CloseRange(3, keep - 1, maxFd);
    CloseRange(keep + 1, kLast, maxFd);
}

} // namespace

int StartDetachedProgram(const std::string& program)
{
    // Everything the children need is made before the fork.
    char* const argv[] = {const_cast<char*>(program.c_str()), nullptr};
    long openMax = ::sysconf(_SC_OPEN_MAX);
    if (openMax < 0 || openMax > 65536)
        openMax = 65536;

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return errno;

    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return error;
    }
    if (child == 0) {
        ::close(pipeFds[0]);
        const pid_t grandchild = ::fork();
        if (grandchild < 0)
            SendErrnoAndExit(pipeFds[1], errno);
        if (grandchild > 0)
            ::_exit(0);
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        CloseDescriptorsFrom3(pipeFds[1], int(openMax));
        ::execve(argv[0], argv, environ);
        SendErrnoAndExit(pipeFds[1], errno);
    }

    ::close(pipeFds[1]);
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    // The pipe ends when the exec succeeds (close-on-exec) or when the
    // failing child has written its errno and ended.
    int error = 0;
    std::size_t got = 0;
    char* p = reinterpret_cast<char*>(&error);
    while (got < sizeof error) {
        const ssize_t n = ::read(pipeFds[0], p + got, sizeof error - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += std::size_t(n);
    }
    ::close(pipeFds[0]);
    return got == sizeof error ? error : 0;
}
