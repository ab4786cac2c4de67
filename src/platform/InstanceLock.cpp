#include "platform/InstanceLock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

InstanceLock::~InstanceLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

QString InstanceLock::FilePath(const QString &programDir)
{
    return programDir + QStringLiteral("Krovan.lock");
}

bool InstanceLock::Acquire(const QString &programDir)
{
    const QByteArray path = QFile::encodeName(FilePath(programDir));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0)
        return true;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        char text[32] = {};
        const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
        holder_ = n > 0 ? QByteArray(text, int(n)).trimmed().toLongLong() : 0;
        ::close(fd);
        return !held;
    }
    // Should the number not go in, the lock still holds; a second start
    // then names process 0.
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0)
        (void)!::pwrite(fd, pid.constData(), size_t(pid.size()), 0);
    fd_ = fd;
    return true;
}
