#include "platform/NeighbourTable.h"

#include <cerrno>
#include <cstring>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// NLMSG_OK compares the unsigned header length with a signed remainder; the
// remainder stays signed so that stepping past the end makes it negative.
bool messageFits(const nlmsghdr *h, int len)
{
    return len >= int(sizeof *h) && h->nlmsg_len >= sizeof *h && h->nlmsg_len <= unsigned(len);
}

// How often the table is read again while the kernel resolves.
constexpr auto kRecheck = std::chrono::milliseconds(20);
// One netlink answer never takes longer than this on a working kernel.
constexpr int kAnswerMs = 1000;

class Netlink {
public:
    Netlink() : fd_(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE)) {}
    ~Netlink()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Netlink(const Netlink &) = delete;
    Netlink &operator=(const Netlink &) = delete;
    bool ok() const { return fd_ >= 0; }

    // Sends the request and calls onMessage for every answer message until
    // the answer ends (the one reply, or NLMSG_DONE of a dump). False on an
    // error answer or when the kernel stays silent.
    template <typename F>
    bool ask(nlmsghdr *request, F onMessage)
    {
        request->nlmsg_seq = ++seq_;
        sockaddr_nl kernel{};
        kernel.nl_family = AF_NETLINK;
        if (::sendto(fd_, request, request->nlmsg_len, 0, reinterpret_cast<sockaddr *>(&kernel), sizeof kernel) < 0)
            return false;
        const bool dump = request->nlmsg_flags & NLM_F_DUMP;
        std::vector<char> buf(32768);
        for (;;) {
            pollfd pfd{fd_, POLLIN, 0};
            if (::poll(&pfd, 1, kAnswerMs) <= 0)
                return false;
            const ssize_t n = ::recv(fd_, buf.data(), buf.size(), 0);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            int len = int(n);
            for (auto *h = reinterpret_cast<nlmsghdr *>(buf.data()); messageFits(h, len); h = NLMSG_NEXT(h, len)) {
                if (h->nlmsg_seq != seq_)
                    continue;
                if (h->nlmsg_type == NLMSG_DONE)
                    return true;
                if (h->nlmsg_type == NLMSG_ERROR) {
                    const auto *e = static_cast<const nlmsgerr *>(NLMSG_DATA(h));
                    return h->nlmsg_len >= NLMSG_LENGTH(sizeof *e) && e->error == 0;
                }
                onMessage(h);
                if (!dump)
                    return true;
            }
        }
    }

private:
    int fd_;
    quint32 seq_ = 0;
};

void addAttribute(nlmsghdr *h, int type, const void *data, int len)
{
    auto *rta = reinterpret_cast<rtattr *>(reinterpret_cast<char *>(h) + NLMSG_ALIGN(h->nlmsg_len));
    rta->rta_type = quint16(type);
    rta->rta_len = quint16(RTA_LENGTH(len));
    std::memcpy(RTA_DATA(rta), data, size_t(len));
    h->nlmsg_len = NLMSG_ALIGN(h->nlmsg_len) + RTA_ALIGN(rta->rta_len);
}

// The interface that reaches the address directly, or 0.
int onLinkInterface(Netlink &nl, quint32 address)
{
    struct {
        nlmsghdr h;
        rtmsg r;
        char attrs[64];
    } req{};
    req.h.nlmsg_len = NLMSG_LENGTH(sizeof req.r);
    req.h.nlmsg_type = RTM_GETROUTE;
    req.h.nlmsg_flags = NLM_F_REQUEST;
    req.r.rtm_family = AF_INET;
    req.r.rtm_dst_len = 32;
    addAttribute(&req.h, RTA_DST, &address, 4);

    int ifindex = 0;
    bool direct = false;
    const bool answered = nl.ask(&req.h, [&](nlmsghdr *h) {
        if (h->nlmsg_type != RTM_NEWROUTE)
            return;
        const auto *r = static_cast<const rtmsg *>(NLMSG_DATA(h));
        if (r->rtm_type != RTN_UNICAST)
            return; // local, broadcast, unreachable, ...
        direct = true;
        int len = int(RTM_PAYLOAD(h));
        for (auto *a = RTM_RTA(r); RTA_OK(a, len); a = RTA_NEXT(a, len)) {
            if (a->rta_type == RTA_GATEWAY || a->rta_type == RTA_VIA || a->rta_type == RTA_MULTIPATH)
                direct = false;
            else if (a->rta_type == RTA_OIF && RTA_PAYLOAD(a) >= sizeof(int))
                std::memcpy(&ifindex, RTA_DATA(a), sizeof(int));
        }
    });
    return answered && direct ? ifindex : 0;
}

enum class Entry { Absent, Pending, Valid };

Entry readEntry(Netlink &nl, int ifindex, quint32 address, NeighbourTable::Address &out)
{
    struct {
        nlmsghdr h;
        ndmsg n;
    } req{};
    req.h.nlmsg_len = NLMSG_LENGTH(sizeof req.n);
    req.h.nlmsg_type = RTM_GETNEIGH;
    req.h.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    req.n.ndm_family = AF_INET;

    Entry found = Entry::Absent;
    nl.ask(&req.h, [&](nlmsghdr *h) {
        if (h->nlmsg_type != RTM_NEWNEIGH || found == Entry::Valid)
            return;
        const auto *n = static_cast<const ndmsg *>(NLMSG_DATA(h));
        if (n->ndm_family != AF_INET || n->ndm_ifindex != ifindex)
            return;
        bool ours = false;
        const unsigned char *lladdr = nullptr;
        int len = int(h->nlmsg_len) - int(NLMSG_LENGTH(sizeof *n));
        for (auto *a = reinterpret_cast<rtattr *>(reinterpret_cast<char *>(NLMSG_DATA(h)) + NLMSG_ALIGN(sizeof *n));
             RTA_OK(a, len); a = RTA_NEXT(a, len)) {
            if (a->rta_type == NDA_DST && RTA_PAYLOAD(a) == 4)
                ours = std::memcmp(RTA_DATA(a), &address, 4) == 0;
            else if (a->rta_type == NDA_LLADDR && RTA_PAYLOAD(a) == 6)
                lladdr = static_cast<const unsigned char *>(RTA_DATA(a));
        }
        if (!ours)
            return;
        constexpr int valid = NUD_REACHABLE | NUD_STALE | NUD_DELAY | NUD_PROBE | NUD_PERMANENT | NUD_NOARP;
        if ((n->ndm_state & valid) && lladdr) {
            std::memcpy(out.data(), lladdr, 6);
            found = Entry::Valid;
        } else if (n->ndm_state & NUD_INCOMPLETE) {
            found = Entry::Pending;
        }
    });
    return found;
}

void provokeResolution(quint32 address)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    to.sin_addr.s_addr = address;
    ::sendto(fd, "", 0, MSG_DONTWAIT, reinterpret_cast<sockaddr *>(&to), sizeof to);
    ::close(fd);
}

} // namespace

bool NeighbourTable::available()
{
    return Netlink().ok();
}

std::optional<NeighbourTable::Address> NeighbourTable::hardwareAddress(quint32 address, std::chrono::milliseconds wait)
{
    Netlink nl;
    if (!nl.ok())
        return std::nullopt;
    const int ifindex = onLinkInterface(nl, address);
    if (ifindex <= 0)
        return std::nullopt;
    Address mac{};
    Entry entry = readEntry(nl, ifindex, address, mac);
    if (entry == Entry::Valid)
        return mac;
    // A pending entry is already being resolved; a failed or missing one
    // needs a packet to start it.
    if (entry == Entry::Absent)
        provokeResolution(address);
    const auto deadline = Clock::now() + wait;
    while (Clock::now() < deadline) {
        std::this_thread::sleep_for(kRecheck);
        if (readEntry(nl, ifindex, address, mac) == Entry::Valid)
            return mac;
    }
    return std::nullopt;
}
