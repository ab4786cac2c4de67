#include "platform/LogindShutdown.h"

#include <QDBusConnection>
#include <QDBusMessage>

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

} // namespace

bool LogindAnswerAllows(const QString &answer)
{
    return answer == QLatin1String("yes") || answer == QLatin1String("challenge");
}

bool LogindShutdown::CanPowerOff()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return false;
    const QDBusMessage reply = bus.call(managerCall("CanPowerOff"), QDBus::Block, ReplyTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    return LogindAnswerAllows(reply.arguments().constFirst().toString());
}

bool LogindShutdown::PowerOff()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = managerCall("PowerOff");
    call << false; // not interactive
    const QDBusMessage reply = bus.call(call, QDBus::Block, ReplyTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}
