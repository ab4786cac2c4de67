#include "platform/TcpKnock.h"

#include "platform/IcmpSocket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <optional>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>

// A refusal is told from a router's ICMP "port unreachable" by IP_RECVERR.
// Both end a connection attempt with ECONNREFUSED, but with IP_RECVERR set
// the kernel also queues every ICMP error it takes for a socket in SYN_SENT
// on the socket's error queue (tcp_v4_err calls ip_icmp_error before it
// aborts the attempt), with the ICMP message's sender as the offender: a
// reset leaves the queue empty, a router's rejection leaves an entry whose
// offender is the router. (Seen on Linux 6.18: a rejection by
// `reject with icmp type port-unreachable` in a router's forward chain
// queues origin ICMP, type 3, code 3, offender the router's address; a
// reset queues nothing.)
//
// The pending error (SO_ERROR) is read before the queue: the ICMP entry is
// queued before the error is set, so an ECONNREFUSED read first always
// finds its entry in the queue read next. An ICMP "port unreachable" taken
// while the socket was busy does not end the attempt (the SYN goes out
// again), but its entry is remembered for the attempt: a refusal that
// follows it is put down to it, never to a reset.

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The longest wait between two looks at the stop callback.
constexpr auto kStopCheck = 20ms;
// How long to wait before trying again when no socket can be opened and
// none is open to wait for.
constexpr auto kRetryOpen = 10ms;
// Descriptors left to the rest of the process at the least.
constexpr int kSpareDescriptors = 8;

// Descriptors this process has open now, or -1.
int openDescriptors()
{
    DIR *dir = ::opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int count = 0;
    while (const dirent *e = ::readdir(dir))
        if (e->d_name[0] != '.')
            ++count;
    ::closedir(dir);
    return count - 1; // the directory's own
}

// How many sockets may be open together: at most `wanted`, and no more
// than three quarters of the descriptors left, keeping a few for the rest
// of the process.
int socketBudget(int wanted)
{
    wanted = qMax(wanted, 1);
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return wanted;
    const int open = openDescriptors();
    const qint64 left = qint64(limit.rlim_cur) - qMax(open, 0);
    const qint64 keep = qMax<qint64>(kSpareDescriptors, left / 4);
    return int(qBound<qint64>(1, left - keep, qint64(wanted)));
}

enum class Outcome { Pending, Nothing, Accepted, Refused };

struct Attempt {
    int fd = -1;
    int target = 0;
    quint16 port = 0;
    Clock::time_point deadline;
    bool icmpRefusal = false;  // an ICMP port unreachable came for it
    quint32 icmpFrom = 0;      // its sender, network order
};

// Reads the socket's error queue into the attempt.
void readErrorQueue(Attempt &a)
{
    for (int i = 0; i < 8; ++i) {
        char data[64];
        alignas(cmsghdr) char control[512];
        iovec iov{data, sizeof data};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        if (::recvmsg(a.fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level != SOL_IP || c->cmsg_type != IP_RECVERR ||
                c->cmsg_len < CMSG_LEN(sizeof(sock_extended_err) + sizeof(sockaddr_in)))
                continue;
            sock_extended_err ee;
            std::memcpy(&ee, CMSG_DATA(c), sizeof ee);
            sockaddr_in from;
            std::memcpy(&from, CMSG_DATA(c) + sizeof ee, sizeof from);
            if (ee.ee_origin == SO_EE_ORIGIN_ICMP && ee.ee_type == ICMP_DEST_UNREACH &&
                ee.ee_code == ICMP_PORT_UNREACH && from.sin_family == AF_INET) {
                a.icmpRefusal = true;
                a.icmpFrom = from.sin_addr.s_addr;
            }
        }
    }
}

// What an ended connection attempt (errno `err`, 0 for none) says.
Outcome judge(Attempt &a, int err, quint32 address)
{
    readErrorQueue(a);
    if (err == 0) {
        sockaddr_in peer{};
        socklen_t len = sizeof peer;
        return ::getpeername(a.fd, reinterpret_cast<sockaddr *>(&peer), &len) == 0 ? Outcome::Accepted
                                                                                   : Outcome::Pending;
    }
    if (err != ECONNREFUSED)
        return Outcome::Nothing;
    if (a.icmpRefusal)
        return a.icmpFrom == htonl(address) ? Outcome::Refused : Outcome::Nothing;
    return Outcome::Refused;
}

bool lacksResources(int err)
{
    // Out of descriptors, buffers or local ports: worth another try once
    // other attempts have ended.
    return err == EMFILE || err == ENFILE || err == ENOBUFS || err == ENOMEM || err == EAGAIN ||
           err == EADDRNOTAVAIL;
}

} // namespace

std::vector<TcpAnswer> KnockTcp(const std::vector<quint32> &addresses, const std::vector<quint16> &ports,
                                std::chrono::milliseconds wait, const std::function<bool()> &stopping, int inFlight)
{
    std::vector<TcpAnswer> answers(addresses.size());
    wait = qMax(wait, 0ms);

    // The addresses and ports to knock on, each once.
    std::vector<quint32> targets;
    std::vector<int> of(addresses.size(), -1);
    std::unordered_map<quint32, int> seen;
    for (size_t i = 0; i < addresses.size(); ++i) {
        if (!IcmpSocket::isHostAddress(htonl(addresses[i])))
            continue;
        const auto [it, added] = seen.emplace(addresses[i], int(targets.size()));
        if (added)
            targets.push_back(addresses[i]);
        of[i] = it->second;
    }
    std::vector<quint16> knocked;
    for (const quint16 p : ports)
        if (p != 0 && std::find(knocked.begin(), knocked.end(), p) == knocked.end())
            knocked.push_back(p);
    std::vector<TcpAnswer> found(targets.size());
    if (targets.empty() || knocked.empty())
        return answers;

    int budget = socketBudget(inFlight);
    std::vector<Attempt> attempts;
    std::vector<pollfd> polled;
    size_t nextTarget = 0, nextPort = 0;
    // When no socket could be had and none was open; unset otherwise.
    bool starved = false;
    Clock::time_point starvedSince{};

    auto settle = [&](const Attempt &a, Outcome o) {
        if (o != Outcome::Accepted && o != Outcome::Refused)
            return;
        TcpAnswer &f = found[size_t(a.target)];
        if (!f.present)
            f = {true, a.port, o == Outcome::Accepted};
    };

    for (;;) {
        if (stopping && stopping())
            break;
        auto now = Clock::now();

        // Start attempts, skipping the addresses already answered.
        while (int(attempts.size()) < budget && nextTarget < targets.size()) {
            if (found[nextTarget].present) {
                ++nextTarget;
                nextPort = 0;
                continue;
            }
            Attempt a;
            a.target = int(nextTarget);
            a.port = knocked[nextPort];
            int err = 0;
            a.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (a.fd < 0) {
                err = errno;
            } else {
                const int on = 1;
                ::setsockopt(a.fd, SOL_IP, IP_RECVERR, &on, sizeof on);
                sockaddr_in to{};
                to.sin_family = AF_INET;
                to.sin_port = htons(a.port);
                to.sin_addr.s_addr = htonl(targets[nextTarget]);
                if (::connect(a.fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0)
                    err = errno;
            }
            if (lacksResources(err)) {
                if (a.fd >= 0)
                    ::close(a.fd);
                // Fewer at once from now on; with none open, try again
                // shortly, for as long as an attempt's wait. Past that the
                // attempts go by unmade until a socket can be had again.
                budget = qMax(int(attempts.size()), 1);
                if (!attempts.empty())
                    break;
                if (!starved) {
                    starved = true;
                    starvedSince = now;
                }
                if (now - starvedSince < wait)
                    break;
                err = ETIMEDOUT;
            } else {
                starved = false;
            }
            if (++nextPort == knocked.size()) {
                ++nextTarget;
                nextPort = 0;
            }
            if (err == EINPROGRESS || err == EINTR) {
                a.deadline = now + wait;
                attempts.push_back(a);
                continue;
            }
            if (a.fd >= 0) {
                settle(a, judge(a, err, targets[size_t(a.target)]));
                ::close(a.fd);
            }
        }
        if (attempts.empty() && nextTarget >= targets.size())
            break;

        auto until = now + kStopCheck;
        if (starved && attempts.empty())
            until = qMin(until, now + kRetryOpen);
        for (const Attempt &a : attempts)
            until = qMin(until, a.deadline);
        polled.clear();
        for (const Attempt &a : attempts)
            polled.push_back({a.fd, POLLOUT, 0});
        const qint64 ns = qMax<qint64>(std::chrono::duration_cast<std::chrono::nanoseconds>(until - now).count(), 0);
        const timespec left{time_t(ns / 1000000000), long(ns % 1000000000)};
        if (polled.empty())
            std::this_thread::sleep_for(until - now);
        else if (::ppoll(polled.data(), nfds_t(polled.size()), &left, nullptr) < 0 && errno != EINTR)
            std::this_thread::sleep_for(1ms);
        now = Clock::now();

        // Judge what moved, then close what is over: answered, timed out, or
        // of an address that has its answer.
        for (size_t i = 0; i < attempts.size(); ++i) {
            Attempt &a = attempts[i];
            const short events = i < polled.size() ? polled[i].revents : 0;
            Outcome o = Outcome::Pending;
            if (events) {
                int err = 0;
                socklen_t len = sizeof err;
                if (::getsockopt(a.fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
                    err = errno;
                o = judge(a, err, targets[size_t(a.target)]);
                if (o == Outcome::Pending && (events & POLLHUP))
                    o = Outcome::Nothing;
            }
            settle(a, o);
            if (o != Outcome::Pending || now >= a.deadline) {
                ::close(a.fd);
                a.fd = -1;
            }
        }
        for (Attempt &a : attempts) {
            if (a.fd >= 0 && found[size_t(a.target)].present) {
                ::close(a.fd);
                a.fd = -1;
            }
        }
        std::erase_if(attempts, [](const Attempt &a) { return a.fd < 0; });
    }
    for (const Attempt &a : attempts)
        ::close(a.fd);

    for (size_t i = 0; i < addresses.size(); ++i)
        if (of[i] >= 0)
            answers[i] = found[size_t(of[i])];
    return answers;
}
