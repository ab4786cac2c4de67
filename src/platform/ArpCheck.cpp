#include "platform/ArpCheck.h"

#include "platform/IcmpSocket.h"
#include "platform/LocalInterfaces.h"

#include <QByteArray>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>

#include <arpa/inet.h>
#include <array>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <algorithm>
#include <cstring>
#include <endian.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <linux/filter.h>
#include <net/if_arp.h>
#include <linux/if_ether.h>
#include <netpacket/packet.h>
#include <net/if.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The least time between two requests (or two arping starts), so that a
// long list never floods the link.
constexpr auto kPace = 1ms;
// The longest sleep between two looks at the stop callback.
constexpr auto kStopCheck = 20ms;
// How often running arping processes are looked at.
constexpr auto kReapEvery = 5ms;
// How long past the wait an arping is still read: a reply that came in
// time may still be on its way through the pipe.
constexpr auto kArpingGrace = 100ms;
constexpr int kDrainLimit = 256;

using Hardware = ArpCheck::Hardware;

// An interface that resolves addresses, with one of its IPv4 addresses.
struct Link {
    int index = 0;
    QByteArray name;
    quint32 address = 0;  // host order
    quint32 mask = 0;     // host order
    Hardware hardware{};
};

std::vector<Link> resolvingLinks()
{
    std::vector<Link> links;
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return links;
    for (const LocalInterface &i : UpIPv4Interfaces()) {
        char name[IF_NAMESIZE] = {};
        if (i.mask == 0 || !::if_indextoname(unsigned(i.index), name))
            continue;
        ifreq ifr{};
        std::memcpy(ifr.ifr_name, name, std::min(sizeof ifr.ifr_name - 1, std::strlen(name)));
        if (::ioctl(s, SIOCGIFFLAGS, &ifr) != 0 || !(ifr.ifr_flags & IFF_UP) ||
            (ifr.ifr_flags & (IFF_LOOPBACK | IFF_POINTOPOINT | IFF_NOARP)))
            continue;
        if (::ioctl(s, SIOCGIFHWADDR, &ifr) != 0 || ifr.ifr_hwaddr.sa_family != ARPHRD_ETHER)
            continue;
        Link link;
        link.index = i.index;
        link.name = name;
        link.address = i.address;
        link.mask = i.mask;
        std::memcpy(link.hardware.data(), ifr.ifr_hwaddr.sa_data, 6);
        links.push_back(link);
    }
    ::close(s);
    return links;
}

// One address to ask, listed once however often the caller names it, with
// the hardware addresses its listings want the reply from.
struct Target {
    quint32 address = 0;
    int link = -1;          // index into the links; -1 when not on link
    bool self = false;
    bool sent = false;
    bool anyWanted = false;    // a listing takes a reply from any sender
    bool anyAnswered = false;  // a reply came, from any sender
    std::vector<Hardware> owners;
    std::vector<bool> ownerAnswered;

    bool done() const
    {
        return (!anyWanted || anyAnswered) &&
               std::all_of(ownerAnswered.begin(), ownerAnswered.end(), [](bool b) { return b; });
    }

    // A reply from this sender came; true when it completed the target.
    bool answeredBy(const quint8 *sender)
    {
        const bool wasDone = done();
        anyAnswered = true;
        for (size_t i = 0; i < owners.size(); ++i)
            if (std::memcmp(owners[i].data(), sender, 6) == 0)
                ownerAnswered[i] = true;
        return !wasDone && done();
    }
};

// The link that asks for the address: the narrowest subnet that holds it.
int linkFor(const std::vector<Link> &links, quint32 address, bool &self)
{
    self = false;
    int best = -1;
    if (!IcmpSocket::isHostAddress(htonl(address)))
        return -1;
    for (int i = 0; i < int(links.size()); ++i) {
        const Link &l = links[size_t(i)];
        if ((address & l.mask) != (l.address & l.mask))
            continue;
        if (best >= 0 && links[size_t(best)].mask >= l.mask)
            continue;
        best = i;
    }
    if (best < 0)
        return -1;
    const Link &l = links[size_t(best)];
    for (const Link &other : links)
        if (other.address == address)
            self = true;
    // Below /31 the all-zeros and all-ones hosts name the subnet and its
    // broadcast, no terminal.
    const quint32 host = address & ~l.mask;
    if (!self && l.mask < 0xFFFFFFFEu && (host == 0 || host == ~l.mask))
        return -1;
    return best;
}

struct Plan {
    std::vector<Link> links;
    std::vector<Target> targets;
    // Per listed address: its target, and the index of its owner there (-1
    // for any sender).
    std::vector<std::pair<int, int>> of;
};

Plan plan(const std::vector<quint32> &addresses, const std::vector<std::optional<Hardware>> &owners)
{
    Plan p;
    p.links = resolvingLinks();
    p.of.reserve(addresses.size());
    std::unordered_map<quint32, int> seen;
    for (size_t k = 0; k < addresses.size(); ++k) {
        const quint32 a = addresses[k];
        const auto [it, added] = seen.emplace(a, int(p.targets.size()));
        if (added) {
            Target t;
            t.address = a;
            t.link = linkFor(p.links, a, t.self);
            p.targets.push_back(t);
        }
        Target &t = p.targets[size_t(it->second)];
        int owner = -1;
        if (k < owners.size() && owners[k]) {
            const auto o = std::find(t.owners.begin(), t.owners.end(), *owners[k]);
            owner = int(o - t.owners.begin());
            if (o == t.owners.end()) {
                t.owners.push_back(*owners[k]);
                t.ownerAnswered.push_back(false);
            }
        } else {
            t.anyWanted = true;
        }
        p.of.emplace_back(it->second, owner);
    }
    // This computer's own address answers with its interface's hardware.
    for (Target &t : p.targets)
        if (t.self)
            t.answeredBy(p.links[size_t(t.link)].hardware.data());
    return p;
}

std::vector<ArpCheck::Answer> answersOf(const Plan &p)
{
    std::vector<ArpCheck::Answer> out;
    out.reserve(p.of.size());
    for (const auto &[i, owner] : p.of) {
        const Target &t = p.targets[size_t(i)];
        const bool answered = owner < 0 ? t.anyAnswered : bool(t.ownerAnswered[size_t(owner)]);
        out.push_back({t.link >= 0, answered, !answered && t.anyAnswered});
    }
    return out;
}

bool stopped(const std::function<bool()> &stopping)
{
    return stopping && stopping();
}

timespec timespecOf(Clock::duration d)
{
    const qint64 ns = qMax<qint64>(std::chrono::duration_cast<std::chrono::nanoseconds>(d).count(), 0);
    return {time_t(ns / 1000000000), long(ns % 1000000000)};
}

// --- Packet socket ---

int openPacketSocket()
{
    return ::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, htons(ETH_P_ARP));
}

// Lets only ARP replies through; packets that came before the filter are
// checked like all others.
void keepReplies(int fd)
{
    static sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 6),                  // ar_op
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ARPOP_REPLY, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0xFFFF),
        BPF_STMT(BPF_RET | BPF_K, 0),
    };
    const sock_fprog program{quint16(std::size(code)), code};
    ::setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program);
}

// Sends the request; 0 or the errno of the failure.
int sendRequest(int fd, const Link &link, quint32 address)
{
    unsigned char packet[28] = {};
    const quint16 hrd = htons(ARPHRD_ETHER), pro = htons(ETH_P_IP), op = htons(ARPOP_REQUEST);
    std::memcpy(packet, &hrd, 2);
    std::memcpy(packet + 2, &pro, 2);
    packet[4] = 6;
    packet[5] = 4;
    std::memcpy(packet + 6, &op, 2);
    std::memcpy(packet + 8, link.hardware.data(), 6);
    const quint32 sender = htonl(link.address), target = htonl(address);
    std::memcpy(packet + 14, &sender, 4);
    std::memcpy(packet + 24, &target, 4);

    sockaddr_ll to{};
    to.sll_family = AF_PACKET;
    to.sll_protocol = htons(ETH_P_ARP);
    to.sll_ifindex = link.index;
    to.sll_halen = 6;
    std::memset(to.sll_addr, 0xFF, 6);
    if (::sendto(fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr *>(&to), sizeof to) == ssize_t(sizeof packet))
        return 0;
    return errno ? errno : EIO;
}

// Reads what has arrived and marks the targets it answers; how many.
int readReplies(int fd, Plan &p, const std::unordered_map<quint32, int> &bySender)
{
    unsigned char packet[64];
    int answered = 0;
    for (int i = 0; i < kDrainLimit; ++i) {
        sockaddr_ll from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n =
            ::recvfrom(fd, packet, sizeof packet, MSG_DONTWAIT, reinterpret_cast<sockaddr *>(&from), &fromLen);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (n < 28 || from.sll_pkttype == PACKET_OUTGOING)
            continue;
        quint16 hrd, pro, op;
        std::memcpy(&hrd, packet, 2);
        std::memcpy(&pro, packet + 2, 2);
        std::memcpy(&op, packet + 6, 2);
        if (ntohs(hrd) != ARPHRD_ETHER || ntohs(pro) != ETH_P_IP || packet[4] != 6 || packet[5] != 4 ||
            ntohs(op) != ARPOP_REPLY)
            continue;
        quint32 sender, target;
        std::memcpy(&sender, packet + 14, 4);
        std::memcpy(&target, packet + 24, 4);
        const auto it = bySender.find(ntohl(sender));
        if (it == bySender.end())
            continue;
        Target &t = p.targets[size_t(it->second)];
        const Link &link = p.links[size_t(t.link)];
        if (!t.sent || t.done() || from.sll_ifindex != link.index || ntohl(target) != link.address ||
            std::memcmp(packet + 18, link.hardware.data(), 6) != 0)
            continue;
        answered += t.answeredBy(packet + 8);
    }
    return answered;
}

void askByPacketSocket(Plan &p, std::chrono::milliseconds wait, const std::function<bool()> &stopping)
{
    std::vector<int> toAsk;
    std::unordered_map<quint32, int> bySender;
    for (int i = 0; i < int(p.targets.size()); ++i) {
        const Target &t = p.targets[size_t(i)];
        if (t.link >= 0 && !t.self) {
            toAsk.push_back(i);
            bySender.emplace(t.address, i);
        }
    }
    if (toAsk.empty())
        return;
    const int fd = openPacketSocket();
    if (fd < 0)
        return;
    keepReplies(fd);

    size_t next = 0;
    int unanswered = int(toAsk.size());
    auto nextSend = Clock::now();
    auto firstTry = nextSend;   // of the request at `next`
    auto lastSent = nextSend;
    for (;;) {
        if (stopped(stopping))
            break;
        auto now = Clock::now();
        if (next < toAsk.size() && now >= nextSend) {
            // Whatever arrived before this request goes out is read first:
            // it cannot be this request's answer.
            unanswered -= readReplies(fd, p, bySender);
            Target &t = p.targets[size_t(toAsk[next])];
            const int err = sendRequest(fd, p.links[size_t(t.link)], t.address);
            now = Clock::now();
            if ((err == ENOBUFS || err == EAGAIN) && now - firstTry < wait) {
                // The interface's queue is full; this one waits its turn.
                nextSend = now + kPace;
                continue;
            }
            if (err == 0) {
                t.sent = true;
                lastSent = now;
            }
            ++next;
            firstTry = nextSend = now + kPace;
            continue;
        }
        if (next == toAsk.size() && unanswered == 0)
            break;
        if (next == toAsk.size() && now >= lastSent + wait) {
            // A thread woken late (a busy machine) still takes the replies
            // that came while it slept.
            readReplies(fd, p, bySender);
            break;
        }
        auto until = next < toAsk.size() ? nextSend : lastSent + wait;
        until = qMin(until, now + kStopCheck);
        pollfd pfd{fd, POLLIN, 0};
        const timespec left = timespecOf(until - now);
        if (::ppoll(&pfd, 1, &left, nullptr) > 0)
            unanswered -= readReplies(fd, p, bySender);
    }
    ::close(fd);
}

// --- arping ---

QString arpingPath()
{
    QString path = QStandardPaths::findExecutable(QStringLiteral("arping"));
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(QStringLiteral("arping"),
                                              {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    return path;
}

// Whether the program takes the raw-socket right when we run it: it is
// set-user-ID root, or its file capabilities permit CAP_NET_RAW, and our
// bounding set still holds that capability.
bool takesRawRight(const QByteArray &path)
{
    struct stat st{};
    if (::stat(path.constData(), &st) != 0 || ::access(path.constData(), X_OK) != 0)
        return false;
    if (::prctl(PR_CAPBSET_READ, CAP_NET_RAW, 0, 0, 0) != 1)
        return false;
    if ((st.st_mode & S_ISUID) && st.st_uid == 0)
        return true;
    vfs_ns_cap_data caps{};
    const ssize_t n = ::getxattr(path.constData(), "security.capability", &caps, sizeof caps);
    if (n < ssize_t(sizeof(quint32) * 3))
        return false;
    const quint32 revision = quint32(le32toh(caps.magic_etc)) & VFS_CAP_REVISION_MASK;
    if (revision != VFS_CAP_REVISION_1 && revision != VFS_CAP_REVISION_2 && revision != VFS_CAP_REVISION_3)
        return false;
    return le32toh(caps.data[0].permitted) & (1u << CAP_NET_RAW);
}

// A running arping: its process, the target it asks for, when it is ended
// at the latest, and the read end of its output with what is not a whole
// line yet.
struct Arping {
    pid_t pid = -1;
    int target = 0;
    Clock::time_point end;
    int output = -1;
    QByteArray partial;
};

// Starts `arping` for one address, its output on a pipe; pid -1 when it
// could not be started.
Arping startArping(const QByteArray &path, const Link &link, quint32 address, std::chrono::milliseconds wait)
{
    Arping run;
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return run;
    // The child's end blocks: an arping whose output is not read yet waits
    // rather than losing a line.
    ::fcntl(pipe[1], F_SETFL, 0);
    // arping's deadline is in whole seconds; the caller ends it after the
    // wait if it is still running then.
    const qint64 seconds = qMax<qint64>(1, (wait.count() + 999) / 1000);
    QByteArray w = QByteArray::number(seconds);
    QByteArray device = link.name;
    in_addr a{htonl(link.address)};
    char source[INET_ADDRSTRLEN] = {}, target[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, source, sizeof source);
    a.s_addr = htonl(address);
    ::inet_ntop(AF_INET, &a, target, sizeof target);
    QByteArray program = path;
    // No count: it asks every second and prints every reply until the
    // deadline, so that a reply from some other computer that comes first
    // does not end it before the owner's. -b keeps the requests broadcast
    // (after a reply arping would send them only to that reply's sender).
    char b[] = "-b", wOpt[] = "-w", iOpt[] = "-I", sOpt[] = "-s";
    char *argv[] = {program.data(), b, wOpt, w.data(), iOpt, device.data(), sOpt, source, target, nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // The child starts with no signal blocked or caught, whatever this
    // thread holds.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    if (::posix_spawn(&run.pid, program.constData(), &actions, &attributes, argv, environ) != 0)
        run.pid = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[1]);
    if (run.pid > 0)
        run.output = pipe[0];
    else
        ::close(pipe[0]);
    return run;
}

// The hardware address that a line of arping's names between brackets
// ("Unicast reply from 10.9.0.2 [02:00:0A:09:00:02]  0.6ms"), if any.
std::optional<Hardware> senderOf(const QByteArray &line)
{
    const qsizetype open = line.indexOf('[');
    if (open < 0 || line.size() < open + 19 || line[open + 18] != ']')
        return std::nullopt;
    Hardware h{};
    for (int i = 0; i < 6; ++i) {
        const qsizetype at = open + 1 + 3 * i;
        if (i < 5 && line[at + 2] != ':')
            return std::nullopt;
        bool ok = false;
        const uint byte = line.mid(at, 2).toUInt(&ok, 16);
        if (!ok || !std::isxdigit(uchar(line[at])) || !std::isxdigit(uchar(line[at + 1])))
            return std::nullopt;
        h[size_t(i)] = quint8(byte);
    }
    return h;
}

// Reads what the arping wrote and marks its target with every sender it
// names. A long flood of lines is read a bounded amount at a time.
void readArping(Arping &run, Target &t)
{
    constexpr qsizetype kLongestLine = 256;
    char buffer[4096];
    for (int i = 0; i < 16; ++i) {
        const ssize_t n = ::read(run.output, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        run.partial.append(buffer, n);
        qsizetype from = 0;
        for (qsizetype eol; (eol = run.partial.indexOf('\n', from)) >= 0; from = eol + 1)
            if (const auto sender = senderOf(run.partial.mid(from, eol - from)))
                t.answeredBy(sender->data());
        run.partial.remove(0, from);
        if (run.partial.size() > kLongestLine)
            run.partial.clear();
    }
}

void endArping(Arping &run, Target &t, bool kill)
{
    if (kill)
        ::kill(run.pid, SIGKILL);
    while (::waitpid(run.pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    readArping(run, t);
    ::close(run.output);
}

void askByArping(Plan &p, std::chrono::milliseconds wait, const std::function<bool()> &stopping)
{
    std::vector<int> toAsk;
    for (int i = 0; i < int(p.targets.size()); ++i)
        if (p.targets[size_t(i)].link >= 0 && !p.targets[size_t(i)].self)
            toAsk.push_back(i);
    if (toAsk.empty())
        return;
    const QByteArray path = QFile::encodeName(arpingPath());
    if (path.isEmpty())
        return;

    std::vector<Arping> running;
    size_t next = 0;
    auto nextStart = Clock::now();
    for (;;) {
        if (stopped(stopping)) {
            for (Arping &r : running)
                endArping(r, p.targets[size_t(r.target)], true);
            return;
        }
        auto now = Clock::now();
        while (next < toAsk.size() && int(running.size()) < ArpCheck::ArpingsAtOnce && now >= nextStart) {
            const int target = toAsk[next++];
            const Target &t = p.targets[size_t(target)];
            Arping run = startArping(path, p.links[size_t(t.link)], t.address, wait);
            now = Clock::now();
            if (run.pid > 0) {
                run.target = target;
                run.end = now + wait + kArpingGrace;
                running.push_back(std::move(run));
            }
            nextStart = now + kPace;
        }
        for (size_t i = 0; i < running.size();) {
            Arping &r = running[i];
            Target &t = p.targets[size_t(r.target)];
            readArping(r, t);
            const pid_t done = ::waitpid(r.pid, nullptr, WNOHANG);
            if (done == r.pid || (done < 0 && errno != EINTR)) {
                // Exited (or no longer ours to wait for): what it wrote last
                // is still read.
                readArping(r, t);
                ::close(r.output);
            } else if (t.done() || now >= r.end) {
                endArping(r, t, true);
            } else {
                ++i;
                continue;
            }
            if (i + 1 != running.size())
                running[i] = std::move(running.back());
            running.pop_back();
        }
        if (next == toAsk.size() && running.empty())
            return;
        std::this_thread::sleep_for(kReapEvery);
    }
}

} // namespace

// Whether this thread holds the raw-socket right now. Asked of the kernel
// rather than tried: closing a packet socket waits for the network stack's
// readers to move on, milliseconds that every pass would pay.
static bool holdsRawRight()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    return data[CAP_NET_RAW / 32].effective & (1u << (CAP_NET_RAW % 32));
}

ArpCheck::Means ArpCheck::Available()
{
    if (holdsRawRight())
        return Means::PacketSocket;
    const QString path = arpingPath();
    if (!path.isEmpty() && takesRawRight(QFile::encodeName(path)))
        return Means::Arping;
    return Means::None;
}

std::vector<ArpCheck::Answer> ArpCheck::Ask(const std::vector<quint32> &addresses, std::chrono::milliseconds wait,
                                            Means means, const std::function<bool()> &stopping,
                                            const std::vector<std::optional<Hardware>> &owners)
{
    Plan p = plan(addresses, owners);
    wait = qMax(wait, std::chrono::milliseconds(0));
    if (means == Means::PacketSocket)
        askByPacketSocket(p, wait, stopping);
    else if (means == Means::Arping)
        askByArping(p, wait, stopping);
    return answersOf(p);
}
