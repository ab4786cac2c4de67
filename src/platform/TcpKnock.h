#pragma once

// Whether a terminal is there by a TCP connection attempt to its ports:
// a terminal whose firewall drops echo requests still accepts a connection
// to a service it offers, or resets one to a closed port.
//
// Every attempt is a non-blocking connect. An accepted connection (closed
// at once, nothing sent) or a refusal from the terminal itself makes the
// terminal present; the terminal's first such answer ends its other
// attempts. A time-out, "no route", "host/net unreachable" and the like tell
// nothing. A refusal also surfaces when a router or firewall on the way
// answers the connection attempt with an ICMP "port unreachable" of its own:
// such a refusal counts only when the ICMP message came from the terminal
// itself (see TcpKnock.cpp for how the two are told apart). A reset forged
// by a firewall on the way in the terminal's name cannot be told from the
// terminal's own and counts.
//
// The attempts go address by address, every port of an address at once, at
// most inFlight sockets open together, fewer when the process has fewer
// descriptors to spare (never failing for want of them). Each attempt has
// the whole wait for its answer, so a list of silent terminals takes about
// ceil(addresses * ports / inFlight) waits.
//
// Blocking; for a worker thread. Holds no state between calls, so calls on
// several threads at once are safe.

#include <QtGlobal>

#include <chrono>
#include <functional>
#include <vector>

struct TcpAnswer {
    bool present = false;
    quint16 port = 0;       // the port that answered
    bool accepted = false;  // true: connection accepted; false: refused (reset)
};

constexpr int TcpKnockInFlight = 256;

// One answer per address (IPv4, host byte order), in the same order; an
// address listed twice is knocked on once. Ports of 0 are left out, as
// are addresses that name no single host (0.0.0.0/8, multicast, class E,
// the limited broadcast). stopping is called at least every 50 ms; when it
// returns true the call closes its sockets and returns at once, addresses
// without an answer yet counting as not present.
std::vector<TcpAnswer> KnockTcp(const std::vector<quint32> &addresses, const std::vector<quint16> &ports,
                                std::chrono::milliseconds wait, const std::function<bool()> &stopping = {},
                                int inFlight = TcpKnockInFlight);
