#include "platform/IcmpEcho.h"

#include <QRandomGenerator>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kIcmpHeader = 8;
constexpr int kEchoReply = 0;
constexpr int kEchoRequest = 8;
// The largest IPv4 datagram: every answer fits whole, so a reply with more
// data than the request is seen as such and dropped, never cut to fit.
constexpr qsizetype kMaxDatagram = 65536;
// Datagrams read in one go before the deadline is looked at again, so that
// a flood of foreign packets cannot hold the caller past it.
constexpr int kDrainLimit = 64;

quint16 checksum(const unsigned char *p, qsizetype len)
{
    quint32 sum = 0;
    for (; len > 1; p += 2, len -= 2)
        sum += quint32(p[0]) << 8 | p[1];
    if (len == 1)
        sum += quint32(p[0]) << 8;
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return quint16(~sum);
}

quint16 get16(const unsigned char *p) { return quint16(p[0] << 8 | p[1]); }

// A unicast address of one host. "This network" (0.0.0.0/8, which the local
// host answers itself), multicast groups, the reserved class E and the
// limited broadcast name no single terminal.
bool isHostAddress(quint32 address)
{
    const quint32 top = ntohl(address) >> 24;
    return top != 0 && top < 224;
}

} // namespace

quint32 IcmpErrorStatus(int type, int code)
{
    switch (type) {
    case ICMP_DEST_UNREACH:
        switch (code) {
        case ICMP_NET_UNREACH:
        case ICMP_NET_UNKNOWN:
        case ICMP_NET_ANO:
        case ICMP_NET_UNR_TOS:
            return IpStatus::DestNetUnreachable;
        case ICMP_PROT_UNREACH:
            return IpStatus::DestProtUnreachable;
        case ICMP_PORT_UNREACH:
            return IpStatus::DestPortUnreachable;
        case ICMP_FRAG_NEEDED:
            return IpStatus::PacketTooBig;
        case ICMP_SR_FAILED:
            return IpStatus::BadRoute;
        default: // host unreachable, unknown, isolated, prohibited
            return IpStatus::DestHostUnreachable;
        }
    case ICMP_TIME_EXCEEDED:
        return code == ICMP_EXC_FRAGTIME ? IpStatus::TtlExpiredReassem : IpStatus::TtlExpiredTransit;
    case ICMP_PARAMETERPROB:
        return IpStatus::ParamProblem;
    case ICMP_SOURCE_QUENCH:
        return IpStatus::SourceQuench;
    default:
        return 0;
    }
}

quint32 SendErrorStatus(int err)
{
    switch (err) {
    case EMSGSIZE:
        return IpStatus::PacketTooBig;
    case ENETUNREACH:
    case ENETDOWN:
        return IpStatus::DestNetUnreachable;
    case EHOSTUNREACH:
    case EHOSTDOWN:
        return IpStatus::DestHostUnreachable;
    case EACCES: // a broadcast address without broadcast permission
    case EADDRNOTAVAIL:
    case EINVAL:
        return IpStatus::BadDestination;
    case ENOBUFS:
    case ENOMEM:
    case EAGAIN:
        return IpStatus::NoResources;
    default:
        return IpStatus::GeneralFailure;
    }
}

IcmpEcho::IcmpEcho()
    : sequence_(quint16(QRandomGenerator::global()->generate()))
{
}

IcmpEcho::~IcmpEcho() { close(); }

IcmpEcho::OpenResult IcmpEcho::open(Kind kind)
{
    close();
    // The kernel itself refuses a ping socket outside the group range of
    // net.ipv4.ping_group_range (supplementary groups count too).
    if (kind != Kind::RawSocket) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_ICMP);
        kind_ = Kind::PingSocket;
    }
    if (fd_ < 0 && kind != Kind::PingSocket) {
        fd_ = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_ICMP);
        kind_ = Kind::RawSocket;
    }
    if (fd_ < 0)
        return OpenResult::NoSocket;

    const int on = 1;
    if (kind_ == Kind::PingSocket) {
        // Errors about our requests come back on the error queue; the
        // reply's time-to-live comes as ancillary data.
        if (::setsockopt(fd_, SOL_IP, IP_RECVERR, &on, sizeof on) != 0
            || ::setsockopt(fd_, SOL_IP, IP_RECVTTL, &on, sizeof on) != 0) {
            close();
            return OpenResult::Options;
        }
    } else {
        // A raw socket sees every ICMP packet of the host; let through only
        // the kinds that can end an exchange.
        icmp_filter filter{};
        filter.data = ~((1U << ICMP_ECHOREPLY) | (1U << ICMP_DEST_UNREACH) | (1U << ICMP_SOURCE_QUENCH)
                        | (1U << ICMP_TIME_EXCEEDED) | (1U << ICMP_PARAMETERPROB));
        if (::setsockopt(fd_, SOL_RAW, ICMP_FILTER, &filter, sizeof filter) != 0) {
            close();
            return OpenResult::Filter;
        }
        ident_ = quint16(QRandomGenerator::global()->generate());
    }
    buffer_.resize(kMaxDatagram);
    appliedTtl_ = appliedEx_ = -1;
    return OpenResult::Opened;
}

void IcmpEcho::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool IcmpEcho::applyOptions(int ttl, bool ex)
{
    if (ttl != appliedTtl_) {
        // The kernel refuses a time-to-live of 0 (no packet could carry it);
        // -1 sends with the system's default instead.
        const int value = ttl == 0 ? -1 : ttl;
        if (::setsockopt(fd_, SOL_IP, IP_TTL, &value, sizeof value) != 0)
            return false;
        appliedTtl_ = ttl;
    }
    if (int(ex) != appliedEx_) {
        const int tos = ex ? 8 : 0;
        const int pmtu = ex ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT;
        if (::setsockopt(fd_, SOL_IP, IP_TOS, &tos, sizeof tos) != 0
            || ::setsockopt(fd_, SOL_IP, IP_MTU_DISCOVER, &pmtu, sizeof pmtu) != 0) {
            appliedEx_ = -1;
            return false;
        }
        appliedEx_ = int(ex);
    }
    return true;
}

EchoReply IcmpEcho::exchange(const EchoRequest &rq)
{
    EchoReply reply;
    if (fd_ < 0) {
        reply.status = IpStatus::GeneralFailure;
        return reply;
    }
    if (!isHostAddress(rq.address)) {
        reply.status = IpStatus::BadDestination;
        return reply;
    }
    if (!applyOptions(rq.ttl & 0xFF, rq.ex)) {
        reply.status = IpStatus::BadOption;
        return reply;
    }

    ++sequence_;
    packet_.resize(kIcmpHeader + rq.data.size());
    auto *p = reinterpret_cast<unsigned char *>(packet_.data());
    p[0] = kEchoRequest;
    p[1] = 0;
    p[2] = p[3] = 0;
    p[4] = quint8(ident_ >> 8); // a ping socket's kernel puts its own here
    p[5] = quint8(ident_);
    p[6] = quint8(sequence_ >> 8);
    p[7] = quint8(sequence_);
    if (!rq.data.isEmpty())
        std::memcpy(p + kIcmpHeader, rq.data.data(), size_t(rq.data.size()));
    if (kind_ == Kind::RawSocket) {
        const quint16 sum = checksum(p, packet_.size());
        p[2] = quint8(sum >> 8);
        p[3] = quint8(sum);
    }

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = rq.address;
    discardPending();
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::milliseconds(qMax(rq.timeoutMs, 0));
    ssize_t sent;
    do
        sent = ::sendto(fd_, p, size_t(packet_.size()), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
    while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        reply.status = SendErrorStatus(errno);
        return reply;
    }

    for (;;) {
        const auto now = Clock::now();
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
        pollfd pfd{fd_, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, int(qMax<qint64>(left, 0)));
        if (ready < 0 && errno != EINTR)
            break;
        bool done = false;
        if (ready > 0 && (pfd.revents & POLLERR)) {
            done = readError(rq, reply);
            // An error about another request may leave the socket's error
            // set with nothing queued; it would end every later poll at once.
            if (!done)
                clearSocketError();
        }
        if (!done && ready > 0 && (pfd.revents & POLLIN))
            done = readReply(rq, reply);
        if (done) {
            reply.replied = true;
            reply.roundTripMs = quint32(
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
            return reply;
        }
        if (ready == 0 || Clock::now() >= deadline)
            break;
    }
    reply = EchoReply{};
    reply.status = IpStatus::ReqTimedOut;
    return reply;
}

void IcmpEcho::clearSocketError()
{
    int err = 0;
    socklen_t len = sizeof err;
    ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len);
}

void IcmpEcho::discardPending()
{
    // Errors queued since the last exchange are about earlier requests: a
    // terminal switched off on the local link times out first, and address
    // resolution gives up on it only seconds later, when the kernel reports
    // "host unreachable". Left on the socket, that error would fail the next
    // send at once and mark a present terminal unreachable.
    for (int i = 0; i < kDrainLimit; ++i) {
        iovec iov{buffer_.data(), size_t(buffer_.size())};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        if (::recvmsg(fd_, &msg, MSG_ERRQUEUE | MSG_DONTWAIT) < 0 && errno != EINTR)
            break;
    }
    clearSocketError();
}

bool IcmpEcho::readReply(const EchoRequest &rq, EchoReply &reply)
{
    // Everything queued is read; the first datagram that answers us wins.
    for (int i = 0; i < kDrainLimit; ++i) {
        alignas(cmsghdr) char control[64];
        iovec iov{buffer_.data(), size_t(buffer_.size())};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(fd_, &msg, MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            // A ping socket also reports a queued error here once; the error
            // queue carries the details.
            return false;
        }
        if (msg.msg_flags & MSG_TRUNC)
            continue;
        const auto *data = reinterpret_cast<const unsigned char *>(buffer_.constData());
        if (kind_ == Kind::PingSocket) {
            if (!matchPing(data, n, rq, reply))
                continue;
            reply.ttl = 0;
            for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c))
                if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_TTL && c->cmsg_len >= CMSG_LEN(sizeof(int))) {
                    int ttl;
                    std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
                    reply.ttl = quint8(ttl);
                }
            return true;
        }
        if (matchRaw(data, n, rq, reply))
            return true;
    }
    return false;
}

bool IcmpEcho::matchPing(const unsigned char *p, qsizetype len, const EchoRequest &rq, EchoReply &reply) const
{
    // The kernel has checked the checksum and the identifier.
    if (len < kIcmpHeader || p[0] != kEchoReply || p[1] != 0 || get16(p + 6) != sequence_)
        return false;
    const QByteArrayView data(p + kIcmpHeader, len - kIcmpHeader);
    if (data != rq.data)
        return false;
    reply.status = IpStatus::Success;
    reply.bytes = quint16(data.size());
    return true;
}

bool IcmpEcho::matchRaw(const unsigned char *p, qsizetype len, const EchoRequest &rq, EchoReply &reply) const
{
    if (len < 20 || (p[0] >> 4) != 4)
        return false;
    const qsizetype ihl = (p[0] & 0x0F) * 4;
    if (ihl < 20 || len < ihl + kIcmpHeader || p[9] != IPPROTO_ICMP)
        return false;
    const unsigned char *icmp = p + ihl;
    const qsizetype icmpLen = len - ihl;
    if (checksum(icmp, icmpLen) != 0)
        return false;
    quint32 source;
    std::memcpy(&source, p + 12, 4);

    if (icmp[0] == kEchoReply) {
        if (icmp[1] != 0 || source != rq.address || get16(icmp + 4) != ident_ || get16(icmp + 6) != sequence_)
            return false;
        const QByteArrayView data(icmp + kIcmpHeader, icmpLen - kIcmpHeader);
        if (data != rq.data)
            return false;
        reply.status = IpStatus::Success;
        reply.ttl = p[8];
        reply.bytes = quint16(data.size());
        return true;
    }

    // An error message quotes the IP header and at least 8 bytes of the
    // packet that caused it: our request to our address with our numbers.
    const quint32 status = IcmpErrorStatus(icmp[0], icmp[1]);
    if (status == 0)
        return false;
    const unsigned char *quoted = icmp + kIcmpHeader;
    const qsizetype quotedLen = icmpLen - kIcmpHeader;
    if (quotedLen < 20 || (quoted[0] >> 4) != 4)
        return false;
    const qsizetype qihl = (quoted[0] & 0x0F) * 4;
    if (qihl < 20 || quotedLen < qihl + kIcmpHeader || quoted[9] != IPPROTO_ICMP)
        return false;
    quint32 destination;
    std::memcpy(&destination, quoted + 16, 4);
    const unsigned char *request = quoted + qihl;
    if (destination != rq.address || request[0] != kEchoRequest || get16(request + 4) != ident_
        || get16(request + 6) != sequence_)
        return false;
    // Whatever part of our data was quoted must be ours.
    const QByteArrayView data(request + kIcmpHeader, qMin(quotedLen - qihl - kIcmpHeader, rq.data.size()));
    if (data != rq.data.first(data.size()))
        return false;
    reply.status = status;
    reply.ttl = p[8];
    return true;
}

bool IcmpEcho::readError(const EchoRequest &rq, EchoReply &reply)
{
    for (int i = 0; i < kDrainLimit; ++i) {
        alignas(cmsghdr) char control[256];
        iovec iov{buffer_.data(), size_t(buffer_.size())};
        sockaddr_in about{};
        msghdr msg{};
        msg.msg_name = &about;
        msg.msg_namelen = sizeof about;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(fd_, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        const sock_extended_err *ee = nullptr;
        for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c))
            if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_RECVERR)
                ee = reinterpret_cast<const sock_extended_err *>(CMSG_DATA(c));
        // The kernel names the destination of the request the error is
        // about.
        if (!ee || msg.msg_namelen < sizeof about || about.sin_addr.s_addr != rq.address)
            continue;
        // The queued payload is the part of our request that the error
        // quoted (ICMP header first) or, for a local error, the request.
        const auto *p = reinterpret_cast<const unsigned char *>(buffer_.constData());
        if (n < kIcmpHeader || p[0] != kEchoRequest || get16(p + 6) != sequence_)
            continue;
        const QByteArrayView data(p + kIcmpHeader, qMin(qsizetype(n) - kIcmpHeader, rq.data.size()));
        if (data != rq.data.first(data.size()))
            continue;
        quint32 status = 0;
        if (ee->ee_origin == SO_EE_ORIGIN_ICMP)
            status = IcmpErrorStatus(ee->ee_type, ee->ee_code);
        else if (ee->ee_origin == SO_EE_ORIGIN_LOCAL)
            status = SendErrorStatus(int(ee->ee_errno));
        if (status == 0)
            continue;
        // Only an ICMP error's sender is known (it follows the extended
        // error); its time-to-live is not reported.
        reply.status = status;
        reply.ttl = 0;
        return true;
    }
    return false;
}
