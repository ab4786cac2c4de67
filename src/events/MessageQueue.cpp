#include "events/MessageQueue.h"

#include "events/Messenger.h"
#include "platform/Journal.h"

#include <QCoreApplication>
#include <QMetaObject>

MessageQueue::MessageQueue(Messenger &messenger) : messenger_(messenger) {}

MessageQueue::~MessageQueue()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void MessageQueue::post(std::function<void()> job)
{
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        // Started by the first send: most runs send none.
        if (!thread_.joinable())
            thread_ = std::thread([this] { run(); });
    }
    wake_.notify_one();
}

void MessageQueue::Send(const QString &recipient, const QString &text, QObject *context,
                        std::function<void(bool)> done)
{
    // The result travels by the application object, which outlives every
    // asker; whether the asker still lives is asked on the main thread only.
    const QPointer<QObject> asker(context);
    const auto answer = [asker, done](bool ok) {
        if (!done)
            return;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [asker, done, ok] {
                if (asker)
                    done(ok);
            },
            Qt::QueuedConnection);
    };
    {
        std::unique_lock lock(mutex_);
        if (jobs_.size() >= MaxQueued) {
            lock.unlock();
            JournalLine(JournalPriority::Warning, "message dropped, too many waiting", recipient);
            answer(false);
            return;
        }
    }
    post([this, recipient, text, answer] { answer(messenger_.SendMessenger(recipient, text)); });
}

void MessageQueue::Report(ReportKind kind, const QStringList &list)
{
    {
        std::lock_guard lock(mutex_);
        if (jobs_.size() >= MaxQueued) {
            JournalLine(JournalPriority::Warning, "manager report dropped, too many waiting");
            return;
        }
    }
    post([this, kind, list] { messenger_.ReportToManager(kind, list); });
}

bool MessageQueue::Idle()
{
    std::lock_guard lock(mutex_);
    return jobs_.empty() && !busy_;
}

void MessageQueue::run()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            busy_ = false;
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_)
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
            busy_ = true;
        }
        job();
    }
}
