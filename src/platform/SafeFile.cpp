#include "platform/SafeFile.h"

#include "platform/Journal.h"

#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
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
    Fd(Fd &&other) noexcept : fd_(other.release()) {}
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

// Writes the bytes at the end of the file; with the lock held, a write cut
// short is cut back to the length before it. Without the lock another
// writer may have appended meanwhile: only what this write alone left is
// cut back.
bool appendAt(int fd, QByteArrayView bytes, bool locked)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return false;
    const qsizetype before = bytes.size();
    if (writeAll(fd, bytes))
        return true;
    const int saved = errno;
    struct stat now;
    const bool alone = locked || (::fstat(fd, &now) == 0 && now.st_size < st.st_size + before);
    if (alone && ::ftruncate(fd, st.st_size) != 0) {
        // Nothing more can be done; the failure that counts is the write's.
    }
    errno = saved;
    return false;
}

std::atomic<qint64> lockWaitMs{1000};

// The appends whose lock was held when they came, in the order they came,
// each with its own descriptor and a deadline after which it goes out
// without the lock.
class Appender {
public:
    ~Appender()
    {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

    bool waiting(const QString &path)
    {
        const std::lock_guard lock(mutex_);
        return waitingFor_.contains(path);
    }

    void hand(const QString &path, int fd, QByteArrayView bytes)
    {
        using namespace std::chrono;
        {
            const std::lock_guard lock(mutex_);
            queue_.push_back({path, Fd(fd), bytes.toByteArray(),
                              steady_clock::now() + milliseconds(lockWaitMs.load())});
            ++waitingFor_[path];
            if (!thread_.joinable())
                thread_ = std::thread([this] { run(); });
        }
        wake_.notify_all();
    }

    void finish()
    {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [this] { return queue_.empty(); });
    }

private:
    struct Item {
        QString path;
        Fd fd;
        QByteArray bytes;
        std::chrono::steady_clock::time_point deadline;
    };

    void run()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty())
                return;
            Item &item = queue_.front();
            lock.unlock();
            const bool locked = takeLock(item);
            const bool written = appendAt(item.fd.get(), item.bytes, locked);
            const QString path = item.path;
            lock.lock();
            const bool say = !locked && !unlockedSaid_.contains(path);
            if (locked)
                unlockedSaid_.remove(path);
            else
                unlockedSaid_.insert(path);
            if (--waitingFor_[path] == 0)
                waitingFor_.remove(path);
            queue_.pop_front();
            const bool empty = queue_.empty();
            lock.unlock();
            // Once per file until its lock is had again: whoever holds it
            // may hold it for hours.
            if (say)
                JournalLine(JournalPriority::Warning, "appended without its lock (another process holds it)", path);
            if (!written)
                JournalLine(JournalPriority::Warning, "not written", path);
            if (empty)
                done_.notify_all();
            lock.lock();
        }
    }

    static bool takeLock(const Item &item)
    {
        for (;;) {
            if (::flock(item.fd.get(), LOCK_EX | LOCK_NB) == 0)
                return true;
            if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= item.deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::deque<Item> queue_;
    QHash<QString, int> waitingFor_;
    QSet<QString> unlockedSaid_;
    std::thread thread_;
    bool stopping_ = false;
};

Appender &appender()
{
    static Appender a;
    return a;
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

bool append(const QString &path, QByteArrayView bytes, bool isPrivate)
{
    Place place;
    if (!placeOf(path, place))
        return false;
    Fd fd(openRegular(place, O_WRONLY | O_APPEND | O_CREAT, isPrivate ? 0600 : 0666));
    if (!fd.valid())
        return false;
    if (isPrivate) {
        struct stat st;
        if (::fstat(fd.get(), &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 077) != 0)
            ::fchmod(fd.get(), st.st_mode & 07700);
    }
    Appender &writer = appender();
    if (!writer.waiting(path)) {
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0)
            return appendAt(fd.get(), bytes, true);
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
    }
    writer.hand(path, fd.release(), bytes);
    return true;
}

void finishAppends()
{
    appender().finish();
}

void setAppendLockWait(std::chrono::milliseconds wait)
{
    lockWaitMs = wait.count();
}

std::optional<QByteArray> read(const QString &path)
{
    Place place;
    if (!placeOf(path, place))
        return std::nullopt;
    const Fd fd(openRegular(place, O_RDONLY));
    if (!fd.valid())
        return std::nullopt;
    // Read in place, in room for the size the file has (a record file of
    // months is megabytes) and one byte more, so that its end is seen
    // without growing; a file that grows meanwhile is read on to its end.
    struct stat st;
    const qsizetype size = ::fstat(fd.get(), &st) == 0 && st.st_size > 0 ? qsizetype(st.st_size) : 0;
    QByteArray out;
    out.resize(size + 1);
    qsizetype used = 0;
    for (;;) {
        if (used == out.size())
            out.resize(used + std::max<qsizetype>(used, 65536));
        const ssize_t n = ::read(fd.get(), out.data() + used, size_t(out.size() - used));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (n == 0) {
            if (used == 0)
                return QByteArray(); // as it always was for an empty file
            out.truncate(used);
            return out;
        }
        used += n;
    }
}

bool isRegular(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace SafeFile
