#pragma once

// Power-off through systemd-logind on the system bus. "yes" and "challenge"
// from CanPowerOff count as allowed (a challenge is answered by the policy
// agent when the power-off comes). PowerOff is asked without interaction;
// for root it also passes over inhibitors, which is the forced shutdown the
// all-logout action wants.

#include "platform/SystemShutdown.h"

#include <QString>

class LogindShutdown : public SystemShutdown {
public:
    bool CanPowerOff() override;
    bool PowerOff() override;
};

// The rule over logind's CanPowerOff answer.
bool LogindAnswerAllows(const QString &answer);
