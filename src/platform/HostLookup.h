#pragma once

// Blocking name and address lookups, IPv4 only: the system resolver (hosts
// file, DNS, ... as nsswitch.conf orders them) first, then the NetBIOS name
// service of the local network, then NAME.local where Avahi runs.
//
// Failures carry the resolver's error in the lookup error numbering that
// the probe reports to its callers: 11001 host not found, 11002 try again,
// 11003 unrecoverable failure, 11004 no address of the family, 10055 no
// memory.

#include <QString>
#include <QtGlobal>

class HostLookup {
public:
    struct Address {
        quint32 address = 0; // network byte order
        int error = 0;       // 0 on success
    };
    struct Name {
        QString name;
        int error = 0;
    };

    // The first IPv4 address of the name.
    static Address addressOf(const QString &name);
    // The official name of the address (the first name of its hosts line).
    static Name nameOf(quint32 address);

    // The lookup error number of a getaddrinfo/getnameinfo result.
    static int errorNumber(int eaiError);
};
