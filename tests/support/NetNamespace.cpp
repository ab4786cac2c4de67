#include "support/NetNamespace.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The child's options, for namespaces made later in the body.
NetNamespace::Options g_options;
int g_first = -1;

// Records handed from the child to the parent: a kind, the file, the line
// and the message, each field ended by a NUL.
enum : char { kFailure = 'F', kSkip = 'S', kDone = 'D' };

void writeAll(int fd, const std::string &s)
{
    const char *p = s.data();
    size_t left = s.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        p += n;
        left -= size_t(n);
    }
}

void sendRecord(int fd, char kind, const char *file, int line, const char *message)
{
    std::string r(1, kind);
    r += file ? file : "";
    r += '\0';
    r += std::to_string(line);
    r += '\0';
    r += message ? message : "";
    r += '\0';
    writeAll(fd, r);
}

bool writeFile(const char *path, const char *text)
{
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const size_t len = std::strlen(text);
    const bool ok = ::write(fd, text, len) == ssize_t(len);
    ::close(fd);
    return ok;
}

bool loopbackUp()
{
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return false;
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ::ioctl(s, SIOCGIFFLAGS, &ifr) == 0;
    ifr.ifr_flags |= IFF_UP;
    ok = ok && ::ioctl(s, SIOCSIFFLAGS, &ifr) == 0;
    ::close(s);
    return ok;
}

// The current thread's namespace as set up by the options.
bool configure(const NetNamespace::Options &o)
{
    if (!loopbackUp())
        return false;
    if (o.pingSockets && !writeFile("/proc/sys/net/ipv4/ping_group_range", "0 2147483647"))
        return false;
    if (o.ignoreEcho && !writeFile("/proc/sys/net/ipv4/icmp_echo_ignore_all", "1"))
        return false;
    return true;
}

// A private copy of a file laid over path; the copy's name is removed at
// once, the mount keeps its contents.
bool overlay(const char *path, const QByteArray &contents)
{
    char name[] = "/tmp/corvane-netns-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, contents.constData(), size_t(contents.size())) == contents.size();
    ::fchmod(fd, 0644);
    ::close(fd);
    const bool ok = written && ::mount(name, path, nullptr, MS_BIND, nullptr) == 0;
    ::unlink(name);
    return ok;
}

[[noreturn]] void childMain(const NetNamespace::Options &options, const std::function<void()> &body, int out)
{
    const testing::TestResult *result = testing::UnitTest::GetInstance()->current_test_info()->result();
    const int before = result->total_part_count();
    g_options = options;

    if (::unshare(CLONE_NEWNET | CLONE_NEWNS) != 0) {
        const std::string why = std::string("no right to make namespaces: ") + std::strerror(errno);
        sendRecord(out, errno == EPERM ? kSkip : kFailure, __FILE__, __LINE__, why.c_str());
        std::fflush(stdout);
        ::_exit(0);
    }
    bool ready = ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 && configure(options);
    if (ready && !options.hosts.isEmpty())
        ready = overlay("/etc/hosts", options.hosts) && overlay("/etc/nsswitch.conf", "hosts: files\n");
    g_first = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    if (!ready || g_first < 0) {
        sendRecord(out, kFailure, __FILE__, __LINE__, "setting up the private namespace failed");
        std::fflush(stdout);
        ::_exit(0);
    }

    body();

    for (int i = before; i < result->total_part_count(); ++i) {
        const testing::TestPartResult &part = result->GetTestPartResult(i);
        sendRecord(out, part.skipped() ? kSkip : kFailure, part.file_name(), part.line_number(), part.message());
    }
    sendRecord(out, kDone, "", 0, "");
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(0);
}

// GTEST_SKIP returns from the function it is written in.
void markSkipped(const std::string &reason)
{
    GTEST_SKIP() << reason;
}

} // namespace

bool NetNamespace::run(const Options &options, const std::function<void()> &body)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return false;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        ADD_FAILURE() << "fork: " << std::strerror(errno);
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (pid == 0) {
        ::close(fds[0]);
        childMain(options, body, fds[1]);
    }
    ::close(fds[1]);

    // Read the child's records until it closes the pipe or runs out of time.
    std::string records;
    const auto deadline = Clock::now() + options.limit;
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd pfd{fds[0], POLLIN, 0};
        const int ready = ::poll(&pfd, 1, int(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            timedOut = ready == 0;
            break;
        }
        char buf[4096];
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        records.append(buf, size_t(n));
    }
    ::close(fds[0]);

    // The pipe closes when the child ends, or earlier if something in it
    // closes the descriptor: give it a moment, then end it.
    int status = 0;
    pid_t done = 0;
    const auto reapBy = timedOut ? Clock::now() : Clock::now() + std::chrono::seconds(2);
    while ((done = ::waitpid(pid, &status, WNOHANG)) == 0 && Clock::now() < reapBy)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (done == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        if (timedOut) {
            ADD_FAILURE() << "the namespace child ran longer than " << options.limit.count() << " ms and was killed";
            return false;
        }
    }

    bool finished = false;
    bool skipped = false;
    std::string skipReason;
    size_t pos = 0;
    auto field = [&]() {
        const size_t end = records.find('\0', pos);
        if (end == std::string::npos) {
            pos = records.size();
            return std::string();
        }
        std::string f = records.substr(pos, end - pos);
        pos = end + 1;
        return f;
    };
    while (pos < records.size()) {
        const char kind = records[pos++];
        const std::string file = field();
        const int line = std::atoi(field().c_str());
        const std::string message = field();
        if (kind == kDone) {
            finished = true;
        } else if (kind == kSkip) {
            skipped = true;
            skipReason = message;
        } else {
            ADD_FAILURE_AT(file.c_str(), line) << message;
        }
    }
    if (WIFSIGNALED(status))
        ADD_FAILURE() << "the namespace child was ended by signal " << WTERMSIG(status);
    else if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
        ADD_FAILURE() << "the namespace child exited with " << WEXITSTATUS(status);
    else if (!finished && !skipped)
        ADD_FAILURE() << "the namespace child ended without finishing its body";
    if (skipped)
        markSkipped(skipReason);
    return finished;
}

NetNamespace NetNamespace::current()
{
    return NetNamespace(g_first);
}

NetNamespace NetNamespace::create()
{
    const int back = openCurrent();
    int fd = -1;
    if (::unshare(CLONE_NEWNET) == 0) {
        if (configure(g_options))
            fd = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        restore(back);
    } else {
        ::close(back);
    }
    return NetNamespace(fd);
}

int NetNamespace::openCurrent()
{
    return ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
}

void NetNamespace::restore(int fd)
{
    if (fd >= 0) {
        ::setns(fd, CLONE_NEWNET);
        ::close(fd);
    }
}

bool NetNamespace::enter() const
{
    return fd_ >= 0 && ::setns(fd_, CLONE_NEWNET) == 0;
}

QString NetNamespace::path() const
{
    return QStringLiteral("/proc/%1/fd/%2").arg(::getpid()).arg(fd_);
}

bool NetNamespace::ip(const QStringList &args) const
{
    if (fd_ < 0)
        return false;
    std::vector<QByteArray> bytes;
    bytes.reserve(size_t(args.size()) + 1);
    bytes.push_back("ip");
    for (const QString &a : args)
        bytes.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    return inside([&] {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execvp("ip", argv.data());
            ::_exit(127);
        }
        int status = 0;
        return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    });
}

bool NetNamespace::sysctl(const QString &key, const QString &value) const
{
    if (fd_ < 0)
        return false;
    const QByteArray path = "/proc/sys/" + key.toLocal8Bit();
    const QByteArray text = value.toLocal8Bit();
    return inside([&] { return writeFile(path.constData(), text.constData()); });
}

bool NetNamespace::link(const NetNamespace &a, const QString &nameA, const QString &cidrA, const NetNamespace &b,
                        const QString &nameB, const QString &cidrB)
{
    return a.ip({"link", "add", nameA, "type", "veth", "peer", "name", nameB})
        && a.ip({"link", "set", nameB, "netns", b.path()})
        && a.ip({"addr", "add", cidrA, "dev", nameA}) && a.ip({"link", "set", nameA, "up"})
        && b.ip({"addr", "add", cidrB, "dev", nameB}) && b.ip({"link", "set", nameB, "up"});
}
