#pragma once

// Whether a terminal on a directly connected network is there now: it
// answers an address-resolution (ARP) request sent for it now. Below any
// firewall of the terminal's, so a computer that drops echo requests still
// shows itself this way.
//
// The kernel's neighbour table is never read: a computer that left seconds
// ago stays REACHABLE there for up to 45 s and STALE long after. Only a
// reply that comes from the asked address, to our address on the interface
// that asked, and arrives after the request went out counts.
//
// Any computer on the link can reply in an address's name, asked or not.
// When the caller knows the terminal's hardware address (the MAC its list
// holds), only a reply whose sender hardware address is that one counts; a
// reply from another says so, and counts for nothing.
//
// An address is on link when it lies in the subnet of an up IPv4 interface
// that resolves addresses (neither loopback, nor point-to-point, nor
// NOARP, with Ethernet hardware addresses); that interface and its address
// ask. When several subnets hold it, the narrowest does. Off-link
// addresses, and the network and broadcast addresses of a subnet, are never
// asked. This computer's own address on the interface counts as answered.
//
// With the raw-socket right (CAP_NET_RAW) the requests go out on one packet
// socket, one every millisecond, and the replies are read as they come;
// every request then has the whole wait for its answer, and the call
// returns when every address has answered, or when the wait has passed
// since the last request went out. Without it, iputils' arping asks
// (`arping -b -w SECONDS -I INTERFACE -s SOURCE ADDRESS`: a broadcast
// request a second, a line naming the sender's hardware address for every
// reply), ArpingsAtOnce processes at a time, each ended when its address is
// answered or after the wait; no shell runs it. ArpingsAtOnce addresses
// thus take one wait, a longer list as many waits as it needs rounds.
//
// Blocking; for a worker thread. Holds no state between calls, so calls on
// several threads at once are safe.

#include <QtGlobal>

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

class ArpCheck {
public:
    enum class Means { PacketSocket, Arping, None };

    // What this process can use now: a packet socket when it may open one,
    // else arping when it is installed (found on PATH, then in /usr/sbin and
    // /usr/bin) with the raw-socket right of its own (a file capability or
    // set-user-ID root) that our bounding set lets it take, else nothing.
    static Means Available();

    using Hardware = std::array<quint8, 6>;

    struct Answer {
        bool onLink = false;    // asked (or this computer's own address)
        bool answered = false;  // a fresh reply came within the wait (from the owner, when one is named)
        bool otherSender = false;  // an owner is named, and only other hardware addresses replied
    };

    // One answer per address (IPv4, host byte order), in the same order; an
    // address listed twice is asked once. owners, when not empty, names per
    // address the hardware address its reply must come from, or none (any
    // sender counts). stopping is called at least every 50 ms; when it
    // returns true the call ends at once (ending any arping it started),
    // addresses without an answer yet counting as unanswered. With a means
    // that does not work (None, or a socket that cannot be opened now)
    // nothing is asked and nothing answers.
    static std::vector<Answer> Ask(const std::vector<quint32> &addresses, std::chrono::milliseconds wait,
                                   Means means, const std::function<bool()> &stopping = {},
                                   const std::vector<std::optional<Hardware>> &owners = {});

    static constexpr int ArpingsAtOnce = 32;
};
