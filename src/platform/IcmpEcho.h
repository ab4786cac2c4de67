#pragma once

// One ICMP echo exchange at a time on one socket that stays open.
//
// The socket is a ping socket (SOCK_DGRAM/IPPROTO_ICMP) when the group range
// of net.ipv4.ping_group_range admits this process, else a raw socket (root
// or CAP_NET_RAW). The class keeps everything that makes an exchange
// trustworthy in one place: the socket, the identifier and sequence numbers,
// the deadline and the validation of what comes back. Anything that is not
// the answer to the request just sent (another identifier or sequence, other
// data, a truncated or malformed packet, a late answer to an earlier
// request, an error about another request or another destination) is
// dropped and the wait goes on until the deadline. Errors still pending from
// earlier requests are cleared before each send, so every result comes from
// its own request alone.
//
// Addresses that name no single host (0.0.0.0/8, multicast, class E, the
// limited broadcast) are refused with IpStatus::BadDestination unsent.
//
// Outcomes use the echo status numbering of the probe (0 success, 11010 time
// out, 11002-11005 unreachable, 11013 time-to-live expired in transit, ...).

#include "platform/IcmpSocket.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

struct EchoRequest {
    quint32 address = 0;       // IPv4, network byte order
    QByteArrayView data;       // the echo's data, may be empty
    int ttl = 128;             // 1-255; 0 sends with the system's default
    bool ex = true;            // type of service 8 and don't-fragment
    int timeoutMs = 2000;      // below 0 counts as 0
};

struct EchoReply {
    // True when a reply record came back: an echo reply, or an ICMP error
    // quoting the request. False for a time-out or a local failure to send.
    bool replied = false;
    quint32 status = IpStatus::ReqTimedOut;
    quint32 roundTripMs = 0;
    quint8 ttl = 0;            // time-to-live of the reply
    quint16 bytes = 0;         // data bytes in the reply
};

class IcmpEcho {
public:
    using Kind = IcmpSocket::Kind;
    using OpenResult = IcmpSocket::OpenResult;

    IcmpEcho();
    IcmpEcho(const IcmpEcho &) = delete;
    IcmpEcho &operator=(const IcmpEcho &) = delete;

    OpenResult open(Kind kind = Kind::Auto);
    void close() { socket_.close(); }
    bool isOpen() const { return socket_.isOpen(); }
    Kind kind() const { return socket_.kind(); }

    // Sends one echo request and waits for its answer until the deadline.
    EchoReply exchange(const EchoRequest &request);

private:
    void discardPending();
    // Each returns true when a packet answers the outstanding request and
    // fills the reply.
    bool readReply(const EchoRequest &rq, EchoReply &reply);
    bool readError(const EchoRequest &rq, EchoReply &reply);

    IcmpSocket socket_;
    quint16 counter_ = 0;     // of exchanges; the socket turns it into a sequence
    quint16 sequence_ = 0;    // of the exchange under way
    QByteArray buffer_;       // one received datagram
};
