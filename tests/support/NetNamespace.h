#pragma once

// Private network namespaces for tests that need a real network without
// touching the host's.
//
// NetNamespace::run forks; the child moves into a fresh network namespace
// (only lo, which is brought up) and a fresh mount namespace, applies the
// options and runs the body. The test process itself never changes
// namespace. gtest assertions work in the body: the failures (and skips) it
// records are handed back and reported by the calling test at the file and
// line where they happened. The parent waits at most Options::limit; a child
// still running then is killed and the test fails.
//
//     NetNamespace::Options opt;
//     opt.hosts = "10.1.2.3 alpha alpha.example\n";
//     NetNamespace::run(opt, [] {
//         EXPECT_EQ(lookUp("alpha"), "10.1.2.3");
//     });
//
// Inside the body more namespaces can be made and joined by veth pairs:
//
//     NetNamespace::run({}, [] {
//         const NetNamespace here = NetNamespace::current();
//         const NetNamespace peer = NetNamespace::create();
//         ASSERT_TRUE(NetNamespace::link(here, "vhere", "10.9.0.1/24", peer, "vpeer", "10.9.0.2/24"));
//         int listener = peer.inside([] { return openUdpListener(9001); });  // socket lives in peer
//         ...                                                                 // traffic from here
//     });
//
// A socket belongs to the namespace it was opened in, wherever the thread
// goes afterwards, so inside() is how a body places sockets and threads.
// Configuration beyond link() goes through ip(), which runs iproute2's `ip`
// in the namespace. Interface names must not read as `ip` keywords ("a",
// "dev", ...); names like "vhere", "vpeer" are safe.
//
// Needs root (or CAP_SYS_ADMIN and CAP_NET_ADMIN); without the right run()
// skips the test with the reason.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>

class NetNamespace {
public:
    struct Options {
        // How long the child may run before it is killed.
        std::chrono::milliseconds limit{20000};
        // Ping sockets for every group (net.ipv4.ping_group_range).
        bool pingSockets = true;
        // The namespace does not answer echo requests (icmp_echo_ignore_all).
        bool ignoreEcho = false;
        // When not empty: the contents of a private /etc/hosts, together
        // with an nsswitch.conf that resolves hosts from files only, so that
        // no lookup ever leaves the machine.
        QByteArray hosts;
    };

    // Runs body in the forked child. False when the body did not run to its
    // end (set-up failed, no right, time-out, crash); the reason has been
    // reported to gtest already.
    static bool run(const Options &options, const std::function<void()> &body);

    // --- Inside the body only ---

    // The namespace the child started in.
    static NetNamespace current();
    // Another fresh network namespace, lo up, with the options of run(). The
    // calling thread stays where it is.
    static NetNamespace create();

    // Joins a and b by a veth pair named nameA (in a) and nameB (in b),
    // gives each end its address ("10.9.0.1/24") and brings both up.
    static bool link(const NetNamespace &a, const QString &nameA, const QString &cidrA, const NetNamespace &b,
                     const QString &nameB, const QString &cidrB);

    // Runs `ip args...` in this namespace; true when it exits with 0.
    bool ip(const QStringList &args) const;
    // Writes a value under /proc/sys ("net/ipv4/ip_forward") for this
    // namespace.
    bool sysctl(const QString &key, const QString &value) const;

    // Moves the calling thread into this namespace for good.
    bool enter() const;

    // Runs f in this namespace and returns the calling thread to where it
    // was; returns what f returns.
    template <typename F>
    auto inside(F f) const
    {
        const int back = openCurrent();
        enter();
        struct Return {
            int fd;
            ~Return() { restore(fd); }
        } guard{back};
        return f();
    }

    // The namespace's file descriptor, for setns() and `ip ... netns PATH`.
    int fd() const { return fd_; }
    // A path naming the namespace for other processes.
    QString path() const;

private:
    explicit NetNamespace(int fd) : fd_(fd) {}
    static int openCurrent();
    static void restore(int fd);
    static bool prepare(const Options &options);

    // Owned by the child for its whole life; never closed.
    int fd_ = -1;
};
