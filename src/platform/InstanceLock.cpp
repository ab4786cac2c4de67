#include "platform/InstanceLock.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// The process holding an flock on the file, from the kernel's table of
// locks; 0 when none is listed (or the table cannot be read).
qint64 lockHolder(const struct stat &file)
{
    FILE *locks = std::fopen("/proc/locks", "re");
    if (!locks)
        return 0;
    qint64 holder = 0;
    char line[256];
    while (holder == 0 && std::fgets(line, sizeof line, locks)) {
        char kind[16] = {};
        long long pid = 0;
        unsigned int major = 0, minor = 0;
        unsigned long long inode = 0;
        // "1: FLOCK  ADVISORY  WRITE 1234 08:01:56789 0 EOF"; a blocked
        // waiter's line has "->" before its kind.
        if (std::sscanf(line, "%*d: %15s %*s %*s %lld %x:%x:%llu", kind, &pid, &major, &minor, &inode) == 5
            && QByteArrayView(kind) == "FLOCK" && inode == file.st_ino && major == ::major(file.st_dev)
            && minor == ::minor(file.st_dev) && pid > 0)
            holder = pid;
    }
    std::fclose(locks);
    return holder;
}

// The effective user of a process, from its status ("Uid: real effective
// ..."); its folder's owner would say root for any process that changed
// its user.
bool processUser(qint64 pid, uid_t &uid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (!line.startsWith("Uid:"))
            continue;
        const QList<QByteArray> ids = line.mid(4).simplified().split(' ');
        bool ok = false;
        if (ids.size() >= 2)
            uid = uid_t(ids[1].toUInt(&ok));
        return ok;
    }
    return false;
}

QString userName(uid_t uid)
{
    struct passwd pw {};
    struct passwd *found = nullptr;
    char buffer[1024];
    if (::getpwuid_r(uid, &pw, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(uid);
}

} // namespace

InstanceLock::~InstanceLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

QString InstanceLock::FilePath(const QString &programDir)
{
    return programDir + QStringLiteral("Krovan.lock");
}

InstanceLock::Result InstanceLock::Acquire(const QString &programDir)
{
    const QByteArray path = QFile::encodeName(FilePath(programDir));
    // A few rounds: another start may remove or make the file between our
    // steps; each round starts from what is at the name then.
    for (int round = 0; round < 4; ++round) {
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0) {
            if (errno != ENOENT)
                return Result::NoLockFile;
            const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
            if (fd < 0) {
                if (errno == EEXIST)
                    continue;
                return Result::NoLockFile;
            }
            ::close(fd);
            continue;
        }
        const bool ours = S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 07777) == 0600;
        int fd = -1;
        if (S_ISREG(st.st_mode)) {
            // Read-only is enough to hold a lock, so it is all another
            // owner's file needs to be tried.
            fd = ::open(path.constData(), (ours ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
            struct stat opened {};
            if (fd >= 0 && (::fstat(fd, &opened) != 0 || opened.st_ino != st.st_ino || opened.st_dev != st.st_dev)) {
                ::close(fd);
                continue;
            }
        }
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool held = errno == EWOULDBLOCK;
            ::close(fd);
            if (!held)
                return Result::NoLockFile;
            holder_ = lockHolder(st);
            uid_t user = ::geteuid();
            if (holder_ > 0 && processUser(holder_, user) && user != ::geteuid()) {
                holderUser_ = userName(user);
                return Result::HeldByOtherUser;
            }
            holderUser_ = userName(::geteuid());
            return Result::HeldByOwnUser;
        }
        if (ours) {
            // The name may have been replaced between the look and the lock.
            struct stat now {};
            if (::lstat(path.constData(), &now) != 0 || now.st_ino != st.st_ino || now.st_dev != st.st_dev) {
                ::close(fd);
                continue;
            }
            // Should the number not go in, the lock still holds; a second
            // start then names process 0.
            const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
            if (::ftruncate(fd, 0) == 0)
                (void)!::pwrite(fd, pid.constData(), size_t(pid.size()), 0);
            fd_ = fd;
            holder_ = 0;
            holderUser_.clear();
            return Result::Acquired;
        }
        // Not ours and not held: made anew as ours.
        if (fd >= 0)
            ::close(fd);
        if (::unlink(path.constData()) != 0 && errno != ENOENT)
            return Result::NoLockFile;
    }
    return Result::NoLockFile;
}
