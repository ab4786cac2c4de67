#pragma once

// The hardware address of an IPv4 neighbour, read from the kernel's
// neighbour table over rtnetlink.
//
// Only an address that the routing table reaches directly on an interface
// with six-byte hardware addresses has one: an address behind a gateway, one
// of this machine's own or a broadcast address gives nothing. When the
// table has no valid entry yet, one empty UDP datagram to the discard port
// makes the kernel resolve it, and the table is read again until the wait
// runs out.

#include <QtGlobal>

#include <array>
#include <chrono>
#include <optional>

class NeighbourTable {
public:
    using Address = std::array<quint8, 6>;

    // True when rtnetlink can be opened at all.
    static bool available();

    // address: IPv4 in network byte order.
    static std::optional<Address> hardwareAddress(quint32 address,
                                                  std::chrono::milliseconds wait = std::chrono::milliseconds(1000));
};
