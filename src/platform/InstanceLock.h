#pragma once

// One watching Corvane per program folder. The lock is an flock on a small
// file in the folder that holds the process id of its holder. The kernel
// lets go of it when the process ends, however it ends, so nothing stale is
// left behind; the file is opened close-on-exec, so programs that Corvane
// starts never hold it on.
//
// Anyone who can open the file can hold its lock, so the file is this
// user's alone (a regular file, mode 0600). Anything else found at its name
// (a link, a file of another owner or with other modes, left by an older
// version or planted) is removed and made anew, unless a process of this
// user holds its lock: that is a running Corvane.

#include <QString>
#include <QtGlobal>

class InstanceLock {
public:
    enum class Result {
        Acquired,          // this process holds the lock
        NoLockFile,        // no lock file can be made here; the start goes on
        HeldByOwnUser,     // a Corvane of this user runs on the folder
        HeldByOtherUser,   // another user's process holds the lock
    };

    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    // The lock file of a program folder (which ends in '/').
    static QString FilePath(const QString &programDir);

    // Takes the folder's lock. When it is held, Holder() gives the holding
    // process's id (0 when it cannot be told) and HolderUser() its user's
    // name (or number).
    Result Acquire(const QString &programDir);
    bool Locked() const { return fd_ >= 0; }
    qint64 Holder() const { return holder_; }
    QString HolderUser() const { return holderUser_; }

private:
    int fd_ = -1;
    qint64 holder_ = 0;
    QString holderUser_;
};

// The exit status of a start that found its folder's Corvane running. The
// systemd units name it in RestartPreventExitStatus=, so that such a start
// is not tried again and again.
inline constexpr int AlreadyRunningExitCode = 10;

// The exit status of a start whose folder's lock another user's process
// holds: not a running Corvane of this folder, so the units try again.
inline constexpr int LockHeldByOtherUserExitCode = 11;
