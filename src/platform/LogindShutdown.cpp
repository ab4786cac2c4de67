#include "platform/LogindShutdown.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

QDBusMessage managerCall(const char *method)
{
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.login1"),
                                          QStringLiteral("/org/freedesktop/login1"),
                                          QStringLiteral("org.freedesktop.login1.Manager"),
                                          QString::fromLatin1(method));
}

// A bus that does not answer soon means no.
constexpr int ReplyTimeoutMs = 3000;
// An interactive request waits for the user at the authentication agent.
constexpr int InteractiveTimeoutMs = 5 * 60 * 1000;

} // namespace

bool LogindAnswerAllows(const QString &answer)
{
    return answer == QLatin1String("yes") || answer == QLatin1String("challenge");
}

LogindShutdown::LogindShutdown(const QDBusConnection &bus)
    : bus_(bus)
{
}

bool LogindShutdown::AskCanPowerOff(QString &answer)
{
    if (!bus_.isConnected()) {
        answer = QStringLiteral("no system bus");
        return false;
    }
    const QDBusMessage reply = bus_.call(managerCall("CanPowerOff"), QDBus::Block, ReplyTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        answer = reply.type() == QDBusMessage::ErrorMessage ? reply.errorMessage() : QStringLiteral("no answer");
        return false;
    }
    answer = reply.arguments().constFirst().toString();
    return true;
}

bool LogindShutdown::CanPowerOff()
{
    QString answer;
    return AskCanPowerOff(answer) && LogindAnswerAllows(answer);
}

void LogindShutdown::PowerOff(Answer answer)
{
    // Asked again now: the right may have changed since the start.
    QString can;
    if (!AskCanPowerOff(can)) {
        answer(false, can);
        return;
    }
    if (!LogindAnswerAllows(can)) {
        answer(false, QStringLiteral("not allowed (%1)").arg(can));
        return;
    }
    const bool interactive = can == QLatin1String("challenge");
    QDBusMessage call = managerCall("PowerOff");
    call << interactive;
    auto *watcher = new QDBusPendingCallWatcher(
        bus_.asyncCall(call, interactive ? InteractiveTimeoutMs : ReplyTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [watcher, answer = std::move(answer)] {
        watcher->deleteLater();
        if (watcher->isError())
            answer(false, watcher->error().message());
        else
            answer(true, QString());
    });
}
