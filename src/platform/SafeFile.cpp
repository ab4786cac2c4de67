#include "platform/SafeFile.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <utility>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A descriptor closed when it goes out of scope, errno kept.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd()
    {
        if (fd_ >= 0) {
            const int saved = errno;
            ::close(fd_);
            errno = saved;
        }
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset(int fd)
    {
        Fd old(fd_);
        fd_ = fd;
    }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

struct Place {
    Fd dir;
    QByteArray name;
};

// The folder of path, opened, and the last component's name. A path without
// a name (empty, or ending in "/") has no place.
bool placeOf(const QString &path, Place &place)
{
    const QByteArray encoded = QFile::encodeName(path);
    const qsizetype slash = encoded.lastIndexOf('/');
    place.name = encoded.mid(slash + 1);
    if (place.name.isEmpty() || place.name == "." || place.name == "..") {
        errno = EISDIR;
        return false;
    }
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : encoded.left(slash);
    place.dir.reset(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return place.dir.valid();
}

// The name opened without following a link and without blocking on a FIFO,
// and checked to be a regular file.
int openRegular(const Place &place, int flags, mode_t mode = 0)
{
    Fd fd(::openat(place.dir.get(), place.name.constData(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode));
    if (!fd.valid())
        return -1;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return -1;
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    // Regular files never block; the descriptor goes back to plain writes.
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd.release();
}

bool writeAll(int fd, QByteArrayView bytes)
{
    const char *p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

} // namespace

namespace SafeFile {

bool replace(const QString &path, QByteArrayView bytes, bool isPrivate)
{
    Place place;
    if (!placeOf(path, place))
        return false;
    mode_t mode = 0666;
    bool keepMode = false;
    {
        struct stat st;
        if (::fstatat(place.dir.get(), place.name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            // A link, a FIFO or a folder at the name is refused, not replaced.
            if (!S_ISREG(st.st_mode)) {
                errno = S_ISLNK(st.st_mode) ? ELOOP : EINVAL;
                return false;
            }
            mode = st.st_mode & 07777;
            keepMode = true;
        } else if (errno != ENOENT) {
            return false;
        }
    }
    if (isPrivate) {
        mode = keepMode ? mode & ~mode_t(077) : 0600;
        keepMode = true; // the temporary file, made 0600, takes the mode
    }

    QByteArray temp;
    Fd fd;
    for (int attempt = 0; attempt < 16 && !fd.valid(); ++attempt) {
        temp = '.' + place.name + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        fd.reset(::openat(place.dir.get(), temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          keepMode ? 0600 : mode));
        if (!fd.valid() && errno != EEXIST)
            return false;
    }
    if (!fd.valid())
        return false;
    const bool written = writeAll(fd.get(), bytes) && (!keepMode || ::fchmod(fd.get(), mode) == 0)
        && ::fsync(fd.get()) == 0;
    if (!written || ::renameat(place.dir.get(), temp.constData(), place.dir.get(), place.name.constData()) != 0) {
        const int saved = errno;
        ::unlinkat(place.dir.get(), temp.constData(), 0);
        errno = saved;
        return false;
    }
    return true;
}

bool append(const QString &path, QByteArrayView bytes)
{
    Place place;
    if (!placeOf(path, place))
        return false;
    const Fd fd(openRegular(place, O_WRONLY | O_APPEND | O_CREAT, 0666));
    if (!fd.valid())
        return false;
    while (::flock(fd.get(), LOCK_EX) != 0)
        if (errno != EINTR)
            return false;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return false;
    if (writeAll(fd.get(), bytes))
        return true;
    const int saved = errno;
    if (::ftruncate(fd.get(), st.st_size) != 0) {
        // Nothing more can be done; the failure that counts is the write's.
    }
    errno = saved;
    return false;
}

std::optional<QByteArray> read(const QString &path)
{
    Place place;
    if (!placeOf(path, place))
        return std::nullopt;
    const Fd fd(openRegular(place, O_RDONLY));
    if (!fd.valid())
        return std::nullopt;
    QByteArray out;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (n == 0)
            return out;
        out.append(buffer, n);
    }
}

bool isRegular(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace SafeFile
