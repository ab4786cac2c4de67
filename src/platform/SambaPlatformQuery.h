#pragma once

// The network's server list as Samba provides it on this machine.
//
// The computer name is the NetBIOS name Samba derives from the host name.
// The whole browse list needs the SMB1 browse service, which current
// networks rarely run; what every SMB server still answers is its own
// server information (level 101: name, platform identifier, type bits) over
// the server service. So the list holds the one computer asked about, as
// that computer names itself, got by `rpcclient -c srvinfo` without an
// account. A computer that does not answer gives "no list", which the
// callers turn into an empty text. The consumer family's per-server query
// has no library on Linux.

#include "platform/RemotePlatformQuery.h"

#include <QByteArray>
#include <QStringList>

class SambaPlatformQuery : public RemotePlatformQuery {
public:
    // Reads CORVANE_SMB_ADDRESS and CORVANE_SMB_PORT (ask every computer at
    // one address, a test's private Samba) and CORVANE_SMB_CONF (the client
    // configuration). Unset, the resolver finds each computer.
    SambaPlatformQuery();

    QString ComputerName() override;
    bool ListServers(const QString &domain, const QString &computerName, QList<ServerListEntry> &servers) override;
    ServerInfoAnswer ServerType(const QString &server, quint32 &type) override;

    // The arguments that ask one computer for its server information
    // (without the program).
    QStringList Arguments(const QString &computerName) const;

    QString Program = QStringLiteral("rpcclient");
    QString Address;
    int Port = 0;        // 0: the client's default
    QString ConfigFile;  // empty: Samba's own configuration
    // The dialog waits for the answer, so an absent computer must not hold
    // it for long.
    int TimeoutMs = 5000;
};

// The server entry in the output of `rpcclient -c srvinfo`: the name is the
// first word of the first line, then "platform_id : <decimal>" and
// "server type : 0x<hex>". False (entry untouched) when any of them is
// missing or malformed.
bool ParseServerInfo(const QByteArray &output, ServerListEntry &entry);
