#pragma once

// Runs a command-line tool (smbclient, smbstatus, testparm, systemctl) to its
// end and hands back what it wrote. A tool that hangs (a server that never
// answers, a sudo that would prompt) is killed after the time-out, so no
// caller waits longer than it chose.

#include <QByteArray>
#include <QString>
#include <QStringList>

enum class ToolChannels {
    Separate,       // standard output and standard error each kept
    Merged,         // standard error mixed into standard output
    DiscardErrors,  // standard output kept, standard error thrown away
    ForwardErrors,  // standard output kept, standard error goes to ours
};

struct ToolRun {
    bool started = false;
    bool timedOut = false; // killed after the time-out
    bool crashed = false;  // ended by a signal
    int exitCode = -1;
    QByteArray output;     // standard output (with standard error when merged)
    QByteArray errors;     // standard error, when kept apart

    bool Succeeded() const { return started && !timedOut && !crashed && exitCode == 0; }
};

// Starts program with arguments, gives it input on its standard input (empty:
// nothing to read, as from /dev/null), waits timeoutMs for it to start and
// again for it to end, then kills it and gives it one second to go.
ToolRun RunTool(const QString &program, const QStringList &arguments, int timeoutMs,
                ToolChannels channels = ToolChannels::Separate, const QByteArray &input = {});
