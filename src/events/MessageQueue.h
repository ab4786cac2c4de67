#pragma once

// The messenger's sends, worked off the main thread one after another. A
// send may take seconds: a recipient's name is looked up, and a client that
// names itself with an address whose port accepts and never answers holds
// the send to its time-out. The console and the access check go on
// meanwhile; each result comes back on the main thread, and not at all once
// the object that asked for it is gone.
//
// Bounded: a send queued while MaxQueued wait is dropped with a journal
// line and reported as failed.

#include "engine/EventKinds.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class Messenger;

class MessageQueue {
public:
    static constexpr size_t MaxQueued = 256;

    explicit MessageQueue(Messenger &messenger);
    // Drops what still waits and waits for the send under way (its own
    // time-out bounds it).
    ~MessageQueue();
    MessageQueue(const MessageQueue &) = delete;
    MessageQueue &operator=(const MessageQueue &) = delete;

    // The family's send to one recipient; done(ok) runs on the main thread
    // if context (an object of the main thread) still lives.
    void Send(const QString &recipient, const QString &text, QObject *context, std::function<void(bool)> done);
    // A manager report; silent, as reports are.
    void Report(ReportKind kind, const QStringList &list);

    // Whether nothing waits and nothing is under way (for an orderly end and
    // for tests).
    bool Idle();

private:
    void post(std::function<void()> job);
    void run();

    Messenger &messenger_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread thread_;
};
