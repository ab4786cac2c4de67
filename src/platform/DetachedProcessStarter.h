#pragma once

// fork/exec of a program that outlives nothing of ours: it is not waited for
// and not killed when this process ends.

#include "platform/ProcessStarter.h"

class DetachedProcessStarter : public ProcessStarter {
public:
    bool Start(const QString &program, const QStringList &arguments) override;
};
