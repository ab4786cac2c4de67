#include "service/SignalPipe.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t SignalWriteFd = -1;

extern "C" void SignalHandler(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full pipe drops the signal rather than blocking inside the handler;
    // the reader is far behind only when the main thread is stuck anyway.
    [[maybe_unused]] const ssize_t n = ::write(SignalWriteFd, &byte, 1);
    errno = savedErrno;
}

}  // namespace

SignalPipe::SignalPipe(const QList<int> &signalNumbers, QObject *parent)
    : QObject(parent)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    readFd_ = fds[0];
    writeFd_ = fds[1];
    SignalWriteFd = writeFd_;

    notifier_ = new QSocketNotifier(readFd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalPipe::ReadPipe);

    valid_ = true;
    for (int signalNumber : signalNumbers) {
        // A signal the starter ignored (SIGHUP under nohup, SIGINT in a
        // background job) was meant to pass this process by.
        struct sigaction current {};
        if (::sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = SignalHandler;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        struct sigaction old {};
        if (::sigaction(signalNumber, &action, &old) != 0) {
            valid_ = false;
            continue;
        }
        previous_.emplace_back(signalNumber, old);
    }
}

SignalPipe::~SignalPipe()
{
    for (auto it = previous_.rbegin(); it != previous_.rend(); ++it)
        ::sigaction(it->first, &it->second, nullptr);
    if (SignalWriteFd == writeFd_)
        SignalWriteFd = -1;
    delete notifier_;
    if (readFd_ >= 0)
        ::close(readFd_);
    if (writeFd_ >= 0)
        ::close(writeFd_);
}

void SignalPipe::ReadPipe()
{
    unsigned char bytes[64];
    for (;;) {
        const ssize_t n = ::read(readFd_, bytes, sizeof bytes);
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n; ++i)
            emit Signalled(bytes[i]);
    }
}
