#pragma once

// One watching Corvane per program folder. The lock is an flock on a small
// file in the folder that holds the process id of its holder. The kernel
// lets go of it when the process ends, however it ends, so nothing stale is
// left behind; the file is opened close-on-exec, so programs that Corvane
// starts never hold it on.

#include <QString>
#include <QtGlobal>

class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    // The lock file of a program folder (which ends in '/').
    static QString FilePath(const QString &programDir);

    // Takes the folder's lock. False only when another process holds it;
    // Holder() then gives that process's id (0 when it is not known yet).
    // A folder where no lock file can be made (missing, not writable, a
    // link in the way) is no reason to refuse the start: true, unlocked.
    bool Acquire(const QString &programDir);
    bool Locked() const { return fd_ >= 0; }
    qint64 Holder() const { return holder_; }

private:
    int fd_ = -1;
    qint64 holder_ = 0;
};

// The exit status of a start that found its folder's Corvane running. The
// systemd units name it in RestartPreventExitStatus=, so that such a start
// is not tried again and again.
inline constexpr int AlreadyRunningExitCode = 10;
