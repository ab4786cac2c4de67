#pragma once

// Starts a program with its arguments, never through a shell. The real
// starter is DetachedProcessStarter; tests use a fake.

#include <QString>
#include <QStringList>

class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;

    // Starts program (a path, or a name looked up in PATH) detached from this
    // process. True when it started. Callable from any thread.
    virtual bool Start(const QString &program, const QStringList &arguments) = 0;
};
