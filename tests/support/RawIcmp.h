#pragma once
// Watching and forging ICMP on the wire of a private namespace: a raw
// socket sees every echo request the probe sends (on lo the request comes
// back in as it goes out) and can answer in the probe's place.

#include <QByteArray>

#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace RawIcmp {

struct Packet {
    int ttl = 0;
    int tos = 0;
    bool dontFragment = false;
    quint32 source = 0;
    quint32 destination = 0;
    int type = -1;
    quint16 ident = 0;
    quint16 sequence = 0;
    QByteArray data;
};

inline int open()
{
    return ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
}

inline quint16 checksum(const QByteArray &bytes)
{
    quint32 sum = 0;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    qsizetype len = bytes.size();
    for (; len > 1; p += 2, len -= 2)
        sum += quint32(p[0]) << 8 | p[1];
    if (len)
        sum += quint32(p[0]) << 8;
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return quint16(~sum);
}

// The next ICMP packet of the given type within the wait.
inline std::optional<Packet> next(int fd, int type, std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    QByteArray buf(70000, '\0');
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, int(left.count())) <= 0)
            return std::nullopt;
        const ssize_t n = ::recv(fd, buf.data(), size_t(buf.size()), 0);
        if (n < 28)
            continue;
        const auto *p = reinterpret_cast<const unsigned char *>(buf.constData());
        const int ihl = (p[0] & 0x0F) * 4;
        if (p[ihl] != type)
            continue;
        Packet pk;
        pk.tos = p[1];
        pk.dontFragment = (p[6] & 0x40) != 0;
        pk.ttl = p[8];
        std::memcpy(&pk.source, p + 12, 4);
        std::memcpy(&pk.destination, p + 16, 4);
        pk.type = type;
        pk.ident = quint16(p[ihl + 4] << 8 | p[ihl + 5]);
        pk.sequence = quint16(p[ihl + 6] << 8 | p[ihl + 7]);
        pk.data = buf.mid(ihl + 8, n - ihl - 8);
        return pk;
    }
}

// Sends an ICMP message from this socket to the address, with the given
// time-to-live; checksum is filled in unless corrupt is set.
inline bool send(int fd, quint32 to, int type, quint16 ident, quint16 sequence, const QByteArray &data, int ttl = 64,
                 bool corrupt = false)
{
    QByteArray msg(8, '\0');
    msg[0] = char(type);
    msg[4] = char(ident >> 8);
    msg[5] = char(ident);
    msg[6] = char(sequence >> 8);
    msg[7] = char(sequence);
    msg += data;
    quint16 sum = checksum(msg);
    if (corrupt)
        sum ^= 0x5A5A;
    msg[2] = char(sum >> 8);
    msg[3] = char(sum);
    ::setsockopt(fd, SOL_IP, IP_TTL, &ttl, sizeof ttl);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = to;
    return ::sendto(fd, msg.constData(), size_t(msg.size()), 0, reinterpret_cast<sockaddr *>(&sa), sizeof sa)
        == msg.size();
}

// An ICMP message of any type: the 4 bytes after the checksum are zero and
// body follows them.
inline bool sendMessage(int fd, quint32 to, int type, int code, const QByteArray &body)
{
    QByteArray msg(8, '\0');
    msg[0] = char(type);
    msg[1] = char(code);
    msg += body;
    const quint16 sum = checksum(msg);
    msg[2] = char(sum >> 8);
    msg[3] = char(sum);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = to;
    return ::sendto(fd, msg.constData(), size_t(msg.size()), 0, reinterpret_cast<sockaddr *>(&sa), sizeof sa)
        == msg.size();
}

} // namespace RawIcmp
