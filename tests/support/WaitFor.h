#pragma once
// Serving the event loop until something a test waits for has happened.

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <functional>

// Processes events until condition holds or timeoutMs have passed; whether
// it holds in the end.
inline bool WaitFor(const std::function<bool()> &condition, int timeoutMs = 3000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return condition();
}
