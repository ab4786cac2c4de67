#include "platform/IcmpSocket.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <sodium/crypto_shorthash_siphash24.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kIcmpHeader = 8;
constexpr int kEchoReply = 0;
constexpr int kEchoRequest = 8;

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

// One received datagram or queued error: its payload goes into the buffer,
// its sender and control data stay here.
struct Received {
    msghdr msg{};
    iovec iov{};
    sockaddr_in peer{};
    alignas(cmsghdr) char control[256];

    ssize_t receive(int fd, QByteArray &buffer, int flags)
    {
        buffer.resize(IcmpSocket::MaxDatagram);
        iov = {buffer.data(), size_t(buffer.size())};
        msg.msg_name = &peer;
        msg.msg_namelen = sizeof peer;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        return ::recvmsg(fd, &msg, flags);
    }
};

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

bool IcmpSocket::isHostAddress(quint32 address)
{
    const quint32 top = ntohl(address) >> 24;
    return top != 0 && top < 224;
}

IcmpSocket::OpenResult IcmpSocket::open(Kind kind)
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
    QRandomGenerator::system()->fillRange(key_.data(), qsizetype(key_.size()));
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(&rounds_[0][0]), sizeof rounds_ / 4);
    appliedTtl_ = appliedEx_ = -1;
    return OpenResult::Opened;
}

void IcmpSocket::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool IcmpSocket::applyOptions(int ttl, bool ex)
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

quint16 IcmpSocket::sequenceAt(quint16 counter) const
{
    // A four-round Feistel network over the two bytes, its round functions
    // random tables: a permutation of the 65536 numbers.
    quint8 left = quint8(counter >> 8), right = quint8(counter);
    for (const auto &round : rounds_) {
        const quint8 next = quint8(left ^ round[right]);
        left = right;
        right = next;
    }
    return quint16(left << 8 | right);
}

void IcmpSocket::token(quint32 address, quint16 sequence, unsigned char *out) const
{
    // A keyed pseudo-random function of the destination and the sequence
    // (SipHash-2-4, 128 bits): one per send and one per reply considered,
    // cheap beside the exchange itself.
    static_assert(TokenBytes == crypto_shorthash_siphashx24_BYTES);
    const unsigned char about[6] = {quint8(address), quint8(address >> 8), quint8(address >> 16),
                                    quint8(address >> 24), quint8(sequence >> 8), quint8(sequence)};
    crypto_shorthash_siphashx24(out, about, sizeof about, reinterpret_cast<const unsigned char *>(key_.data()));
}

quint16 IcmpSocket::replyBytes(const Answer &answer)
{
    return answer.error ? 0 : quint16(qMax<qsizetype>(answer.data.size() - TokenBytes, 0));
}

int IcmpSocket::send(quint32 address, quint16 sequence, QByteArrayView data)
{
    packet_.resize(kIcmpHeader + TokenBytes + data.size());
    auto *p = reinterpret_cast<unsigned char *>(packet_.data());
    p[0] = kEchoRequest;
    p[1] = 0;
    p[2] = p[3] = 0;
    p[4] = quint8(ident_ >> 8); // a ping socket's kernel puts its own here
    p[5] = quint8(ident_);
    p[6] = quint8(sequence >> 8);
    p[7] = quint8(sequence);
    token(address, sequence, p + kIcmpHeader);
    if (!data.isEmpty())
        std::memcpy(p + kIcmpHeader + TokenBytes, data.data(), size_t(data.size()));
    if (kind_ == Kind::RawSocket) {
        const quint16 sum = checksum(p, packet_.size());
        p[2] = quint8(sum >> 8);
        p[3] = quint8(sum);
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = address;
    ssize_t sent;
    do
        sent = ::sendto(fd_, p, size_t(packet_.size()), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
    while (sent < 0 && errno == EINTR);
    return sent < 0 ? errno : 0;
}

void IcmpSocket::clearError()
{
    int err = 0;
    socklen_t len = sizeof err;
    ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len);
}

IcmpSocket::Read IcmpSocket::readAnswer(QByteArray &buffer, Answer &answer)
{
    Received r;
    const ssize_t n = r.receive(fd_, buffer, MSG_DONTWAIT);
    msghdr &msg = r.msg;
    const sockaddr_in &from = r.peer;
    if (n < 0)
        // A ping socket also reports a queued error here once; the error
        // queue carries the details.
        return errno == EINTR ? Read::Other : Read::Empty;
    if (msg.msg_flags & MSG_TRUNC)
        return Read::Other;
    const auto *p = reinterpret_cast<const unsigned char *>(buffer.constData());
    answer = Answer{};
    if (kind_ == Kind::RawSocket)
        return decodeRaw(p, n, answer) ? Read::Answer : Read::Other;

    if (msg.msg_namelen < sizeof from || !decodePing(p, n, from.sin_addr.s_addr, answer))
        return Read::Other;
    for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c))
        if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_TTL && c->cmsg_len >= CMSG_LEN(sizeof(int))) {
            int ttl;
            std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
            answer.ttl = quint8(ttl);
        }
    return Read::Answer;
}

bool IcmpSocket::decodePing(const unsigned char *p, qsizetype len, quint32 source, Answer &answer) const
{
    // The kernel has checked the checksum and the identifier.
    if (len < kIcmpHeader || p[0] != kEchoReply || p[1] != 0)
        return false;
    answer.peer = source;
    answer.sequence = get16(p + 6);
    answer.data = QByteArrayView(p + kIcmpHeader, len - kIcmpHeader);
    return true;
}

bool IcmpSocket::decodeRaw(const unsigned char *p, qsizetype len, Answer &answer) const
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
    answer.ttl = p[8];

    if (icmp[0] == kEchoReply) {
        if (icmp[1] != 0)
            return false;
        std::memcpy(&answer.peer, p + 12, 4);
        answer.ident = get16(icmp + 4);
        answer.sequence = get16(icmp + 6);
        answer.data = QByteArrayView(icmp + kIcmpHeader, icmpLen - kIcmpHeader);
        return true;
    }

    // An error message quotes the IP header and at least 8 bytes of the
    // packet that caused it, which must be an echo request.
    answer.status = IcmpErrorStatus(icmp[0], icmp[1]);
    if (answer.status == 0)
        return false;
    const unsigned char *quoted = icmp + kIcmpHeader;
    const qsizetype quotedLen = icmpLen - kIcmpHeader;
    if (quotedLen < 20 || (quoted[0] >> 4) != 4)
        return false;
    const qsizetype qihl = (quoted[0] & 0x0F) * 4;
    if (qihl < 20 || quotedLen < qihl + kIcmpHeader || quoted[9] != IPPROTO_ICMP)
        return false;
    const unsigned char *request = quoted + qihl;
    if (request[0] != kEchoRequest)
        return false;
    answer.error = true;
    std::memcpy(&answer.peer, quoted + 16, 4);
    answer.ident = get16(request + 4);
    answer.sequence = get16(request + 6);
    answer.data = QByteArrayView(request + kIcmpHeader, quotedLen - qihl - kIcmpHeader);
    return true;
}

IcmpSocket::Read IcmpSocket::readQueuedError(QByteArray &buffer, Answer &answer)
{
    Received r;
    const ssize_t n = r.receive(fd_, buffer, MSG_ERRQUEUE | MSG_DONTWAIT);
    msghdr &msg = r.msg;
    const sockaddr_in &about = r.peer;
    if (n < 0)
        return errno == EINTR ? Read::Other : Read::Empty;
    const sock_extended_err *ee = nullptr;
    for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c))
        if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_RECVERR)
            ee = reinterpret_cast<const sock_extended_err *>(CMSG_DATA(c));
    // The kernel names the destination of the request the error is about;
    // the queued payload is the part of the request the error quoted (ICMP
    // header first) or, for a local error, the request.
    const auto *p = reinterpret_cast<const unsigned char *>(buffer.constData());
    if (!ee || msg.msg_namelen < sizeof about || n < kIcmpHeader || p[0] != kEchoRequest)
        return Read::Other;
    answer = Answer{};
    if (ee->ee_origin == SO_EE_ORIGIN_ICMP)
        answer.status = IcmpErrorStatus(ee->ee_type, ee->ee_code);
    else if (ee->ee_origin == SO_EE_ORIGIN_LOCAL)
        answer.status = SendErrorStatus(int(ee->ee_errno));
    if (answer.status == 0)
        return Read::Other;
    // Only an ICMP error's sender is known (it follows the extended error);
    // its time-to-live is not reported.
    answer.error = true;
    answer.peer = about.sin_addr.s_addr;
    answer.sequence = get16(p + 6);
    answer.data = QByteArrayView(p + kIcmpHeader, n - kIcmpHeader);
    return Read::Answer;
}

bool IcmpSocket::answers(const Answer &answer, quint32 address, quint16 sequence, QByteArrayView data) const
{
    if (answer.peer != address || answer.sequence != sequence)
        return false;
    if (kind_ == Kind::RawSocket && answer.ident != ident_)
        return false;
    unsigned char expected[TokenBytes];
    token(address, sequence, expected);
    const QByteArrayView tokenPart(expected, TokenBytes);
    if (!answer.error)
        return answer.data.size() == TokenBytes + data.size() && answer.data.first(TokenBytes) == tokenPart
            && answer.data.sliced(TokenBytes) == data;
    // Whatever part of the request was quoted must be ours (an error may
    // quote no more than the header, whose sequence is unpredictable).
    const qsizetype quotedToken = qMin(answer.data.size(), TokenBytes);
    if (answer.data.first(quotedToken) != tokenPart.first(quotedToken))
        return false;
    const qsizetype quoted = qMin(answer.data.size() - quotedToken, data.size());
    return answer.data.sliced(quotedToken, quoted) == data.first(quoted);
}
