#pragma once

// Delivers POSIX signals to the main thread's event loop.
//
// The handler only writes the signal number into a non-blocking pipe; a
// socket notifier on the read end emits Signalled on the thread that owns
// this object, where the real work may run. One instance per process: it
// installs the handlers on construction and restores the previous ones when
// destroyed. A signal that is ignored when the pipe is built stays ignored.

#include <QList>
#include <QObject>

#include <csignal>
#include <vector>

class QSocketNotifier;

class SignalPipe : public QObject {
    Q_OBJECT

public:
    explicit SignalPipe(const QList<int> &signalNumbers, QObject *parent = nullptr);
    ~SignalPipe() override;

    // False when the pipe or a handler could not be set up.
    bool IsValid() const { return valid_; }

signals:
    void Signalled(int signalNumber);

private:
    void ReadPipe();

    int readFd_ = -1;
    int writeFd_ = -1;
    bool valid_ = false;
    QSocketNotifier *notifier_ = nullptr;
    std::vector<std::pair<int, struct sigaction>> previous_;
};
