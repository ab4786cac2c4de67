#pragma once

// What the remote platform query needs from the network: this machine's
// computer name, the network's server list with each server's platform
// identifier and type bits, and one server's own type bits (the query the
// consumer family asks). One real implementation over Samba; tests use a fake.

#include <QList>
#include <QString>

struct ServerListEntry {
    QString Name;
    quint32 PlatformId = 0;
    quint32 Type = 0;
};

class RemotePlatformQuery {
public:
    enum class ServerInfoAnswer {
        NoEntryPoint,  // the library that answers it is not there
        Answered,      // success or more-data: Type is valid
        Refused,       // the computer did not answer
    };

    virtual ~RemotePlatformQuery() = default;

    // This machine's computer name; empty when it cannot be had.
    virtual QString ComputerName() = 0;

    // The servers of the network list for a domain or workgroup, in the
    // order the list gives them. False when the list could not be had.
    // computerName is the one server the caller wants to know about; a
    // browser that cannot list the whole network may answer with that
    // server's own entry alone.
    virtual bool ListServers(const QString &domain, const QString &computerName,
                             QList<ServerListEntry> &servers) = 0;

    // The type bits one server gives about itself.
    virtual ServerInfoAnswer ServerType(const QString &server, quint32 &type) = 0;
};
