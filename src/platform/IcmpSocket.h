#pragma once

// The ICMP echo socket and the reading of what comes back on it, shared by
// the exchange of one request at a time (IcmpEcho) and the exchange of many
// (EchoBatch).
//
// The socket is a ping socket (SOCK_DGRAM/IPPROTO_ICMP) when the group range
// of net.ipv4.ping_group_range admits this process, else a raw socket (root
// or CAP_NET_RAW). It is non-blocking. What arrives is decoded into an
// Answer, an echo reply or an ICMP error quoting one of our requests, and
// answers() decides whether it belongs to a given request: the peer (the
// reply's source, the error's quoted destination), the sequence number, the
// identifier where the socket is raw, and the data (all of it for a reply,
// the quoted part for an error). Malformed, truncated and foreign packets
// never become an Answer.
//
// A host that sees our requests to it must not be able to answer for
// another: every request's data begins with a token of TokenBytes that only
// this socket can compute (from a key drawn when it opens, the destination
// and the sequence number), and the sequence numbers follow a keyed
// permutation of a counter, so neither is predictable from earlier
// requests. A reply must carry the token and the caller's data whole; an
// error must quote whatever part of them it quotes as sent.

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <array>

// Outcomes use the echo status numbering of the probe.
namespace IpStatus {
constexpr quint32 Success = 0;
constexpr quint32 BufTooSmall = 11001;
constexpr quint32 DestNetUnreachable = 11002;
constexpr quint32 DestHostUnreachable = 11003;
constexpr quint32 DestProtUnreachable = 11004;
constexpr quint32 DestPortUnreachable = 11005;
constexpr quint32 NoResources = 11006;
constexpr quint32 BadOption = 11007;
constexpr quint32 HwError = 11008;
constexpr quint32 PacketTooBig = 11009;
constexpr quint32 ReqTimedOut = 11010;
constexpr quint32 BadReq = 11011;
constexpr quint32 BadRoute = 11012;
constexpr quint32 TtlExpiredTransit = 11013;
constexpr quint32 TtlExpiredReassem = 11014;
constexpr quint32 ParamProblem = 11015;
constexpr quint32 SourceQuench = 11016;
constexpr quint32 BadDestination = 11018;
constexpr quint32 GeneralFailure = 11050;
} // namespace IpStatus

// The status of an ICMP error message (type, code) received for our request.
// Zero for a message that does not end an echo exchange (a redirect).
quint32 IcmpErrorStatus(int type, int code);

// The status for a local failure to send (an errno of sendto).
quint32 SendErrorStatus(int err);

class IcmpSocket {
public:
    enum class Kind { Auto, PingSocket, RawSocket };
    // Which step of opening failed: no socket kind is permitted, the
    // socket's options could not be set, the raw socket's type filter could
    // not be installed.
    enum class OpenResult { Opened, NoSocket, Options, Filter };

    struct Answer {
        bool error = false;    // an ICMP error (or a local one) about a request
        quint32 peer = 0;      // reply: its source; error: the request's destination
        quint16 ident = 0;     // raw socket: the reply's or quoted request's identifier
        quint16 sequence = 0;
        QByteArrayView data;   // reply: its data; error: the quoted part of the request's
        quint32 status = 0;    // 0 for a reply, the echo status of an error
        quint8 ttl = 0;        // of the packet that carried it, 0 when unknown
    };
    enum class Read { Answer, Other, Empty };

    IcmpSocket() = default;
    ~IcmpSocket() { close(); }
    IcmpSocket(const IcmpSocket &) = delete;
    IcmpSocket &operator=(const IcmpSocket &) = delete;

    OpenResult open(Kind kind);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    Kind kind() const { return kind_; }

    // A unicast address of one host. "This network" (0.0.0.0/8, which the
    // local host answers itself), multicast groups, the reserved class E and
    // the limited broadcast name no single terminal.
    static bool isHostAddress(quint32 address);

    // Time-to-live (0 sends with the system's default) and, with ex, type of
    // service 8 and don't-fragment; set only when they change.
    bool applyOptions(int ttl, bool ex);

    // Sends one echo request; 0 or the errno of the failure.
    int send(quint32 address, quint16 sequence, QByteArrayView data);

    // One datagram from the receive queue, or from the error queue (where a
    // ping socket's errors arrive). An Answer's data points into buffer.
    Read readAnswer(QByteArray &buffer, Answer &answer);
    Read readQueuedError(QByteArray &buffer, Answer &answer);
    // Reads the socket's pending error, which would otherwise end every
    // later poll at once and fail the next send.
    void clearError();

    bool answers(const Answer &answer, quint32 address, quint16 sequence, QByteArrayView data) const;

    // The sequence number of the request counted `counter`: distinct for
    // 65536 counters in a row, and unpredictable without the key.
    quint16 sequenceAt(quint16 counter) const;
    // The caller's data bytes in a reply that answers() accepted (the token
    // not counted); 0 for an error.
    static quint16 replyBytes(const Answer &answer);

    static constexpr qsizetype TokenBytes = 16;

    // The largest IPv4 datagram: a receive buffer of this size takes every
    // answer whole, so a reply with more data than the request is seen as
    // such and dropped, never cut to fit.
    static constexpr qsizetype MaxDatagram = 65536;

private:
    // A received datagram as an Answer: a ping socket delivers the ICMP
    // message alone (source given apart), a raw socket the IP header first.
    bool decodePing(const unsigned char *p, qsizetype len, quint32 source, Answer &answer) const;
    bool decodeRaw(const unsigned char *p, qsizetype len, Answer &answer) const;
    void token(quint32 address, quint16 sequence, unsigned char *out) const;

    int fd_ = -1;
    Kind kind_ = Kind::Auto;
    quint16 ident_ = 0;       // raw sockets only; the kernel picks a ping socket's
    int appliedTtl_ = -1;     // last options set on the socket, -1 = unknown
    int appliedEx_ = -1;
    QByteArray packet_;       // request being sent
    // Drawn at open: the tokens' key and the sequence permutation's rounds.
    std::array<quint32, 4> key_{};  // the tokens' key, 128 bits
    alignas(quint32) unsigned char rounds_[4][256] = {};
};
