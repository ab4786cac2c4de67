#pragma once

// Power-off through systemd-logind. "yes" and "challenge" from CanPowerOff
// count as allowed. With "challenge" PowerOff is asked interactively, so that
// a desktop's authentication agent can ask the user; with "yes" it is asked
// without interaction, and for root it also passes over inhibitors, which is
// the forced shutdown the all-logout action wants. The answer to PowerOff
// comes back through the event loop, so the program keeps running while an
// agent asks.

#include "platform/SystemShutdown.h"

#include <QDBusConnection>
#include <QString>

class LogindShutdown : public SystemShutdown {
public:
    // The system bus by default; tests hand in a private bus with a fake
    // logind on it.
    explicit LogindShutdown(const QDBusConnection &bus = QDBusConnection::systemBus());

    bool CanPowerOff() override;
    void PowerOff(Answer answer) override;

private:
    // logind's answer to CanPowerOff, or why there is none.
    bool AskCanPowerOff(QString &answer);

    QDBusConnection bus_;
};

// The rule over logind's CanPowerOff answer.
bool LogindAnswerAllows(const QString &answer);
