#include "platform/InstanceLock.h"

#include "support/TempDir.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A process that holds the lock file's flock until it is killed, as the user
// `uid` (the file is opened read-only before the switch, as anyone who may
// read it can).
class Holder {
public:
    Holder(const QString &path, uid_t uid)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
            if (fd < 0 || (uid != ::geteuid() && (::setgid(65534) != 0 || ::setuid(uid) != 0))
                || ::flock(fd, LOCK_EX | LOCK_NB) != 0)
                ::_exit(1);
            (void)!::write(ready[1], "x", 1);
            ::pause();
            ::_exit(0);
        }
        ::close(ready[1]);
        char c;
        held_ = pid_ > 0 && ::read(ready[0], &c, 1) == 1;
        ::close(ready[0]);
    }
    ~Holder()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool held() const { return held_; }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    bool held_ = false;
};

mode_t modeOf(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}

} // namespace

// What an older version left (0644, a dead process's id) or someone planted
// (a link to another file) is no running Corvane: the start takes the lock
// on a file of its own, 0600, and the link's target is left alone.
TEST(InstanceLock, ALeftOrPlantedFileIsMadeAnewAsTheOwnersAlone)
{
    TempDir dir;
    const QString lockFile = InstanceLock::FilePath(dir.path());
    ASSERT_TRUE(dir.write(QStringLiteral("elsewhere"), "keep\n"));
    for (int planted = 0; planted < 2; ++planted) {
        QFile::remove(lockFile);
        if (planted) {
            ASSERT_TRUE(QFile::link(dir.path(QStringLiteral("elsewhere")), lockFile));
        } else {
            ASSERT_TRUE(dir.write(QStringLiteral("Krovan.lock"), "999999\n"));
            ASSERT_EQ(::chmod(QFile::encodeName(lockFile).constData(), 0644), 0);
        }
        InstanceLock lock;
        EXPECT_EQ(lock.Acquire(dir.path()), InstanceLock::Result::Acquired);
        EXPECT_TRUE(lock.Locked());
        EXPECT_EQ(modeOf(lockFile), mode_t(S_IFREG | 0600));
        EXPECT_EQ(dir.read(QStringLiteral("Krovan.lock")), QByteArray::number(::getpid()) + '\n');
        EXPECT_EQ(dir.read(QStringLiteral("elsewhere")), "keep\n");

        // And a second start on the folder is refused, naming this process.
        InstanceLock second;
        EXPECT_EQ(second.Acquire(dir.path()), InstanceLock::Result::HeldByOwnUser);
        EXPECT_EQ(second.Holder(), ::getpid());
    }
}

// The holder is named from the kernel's table of locks, not from the file's
// text: a stale number there says nothing. A lock held by another user's
// process is no running Corvane of this folder and is said to be that.
TEST(InstanceLock, TheHolderAndItsUserComeFromTheKernel)
{
    TempDir dir;
    const QString lockFile = InstanceLock::FilePath(dir.path());
    ASSERT_TRUE(dir.write(QStringLiteral("Krovan.lock"), "999999\n"));
    ASSERT_EQ(::chmod(QFile::encodeName(lockFile).constData(), 0600), 0);
    {
        Holder own(lockFile, ::geteuid());
        ASSERT_TRUE(own.held());
        InstanceLock lock;
        EXPECT_EQ(lock.Acquire(dir.path()), InstanceLock::Result::HeldByOwnUser);
        EXPECT_EQ(lock.Holder(), own.pid());
    }
    if (::geteuid() != 0)
        GTEST_SKIP() << "another user's process needs root to make";
    ASSERT_EQ(::chmod(QFile::encodeName(lockFile).constData(), 0644), 0);
    Holder other(lockFile, 65534);
    ASSERT_TRUE(other.held());
    InstanceLock lock;
    EXPECT_EQ(lock.Acquire(dir.path()), InstanceLock::Result::HeldByOtherUser);
    EXPECT_EQ(lock.Holder(), other.pid());
    const struct passwd *nobody = ::getpwuid(65534);
    EXPECT_EQ(lock.HolderUser(), nobody ? QString::fromLocal8Bit(nobody->pw_name) : QStringLiteral("65534"));
    EXPECT_FALSE(lock.Locked());
}
