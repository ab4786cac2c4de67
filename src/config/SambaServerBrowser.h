#pragma once

// The network's server list as Samba provides it on this machine.
//
// The computer name is the NetBIOS name Samba derives from the host name.
// Browsing the server list (with platform identifiers and type bits) needs
// the SMB1 browse service; until the SMB browsing layer exists this answers
// "no list", which the callers turn into an empty text, as for a network
// that does not answer. The consumer family's per-server query has no
// library on Linux.

#include "config/ServerBrowser.h"

class SambaServerBrowser : public ServerBrowser {
public:
    QString ComputerName() override;
    bool ListServers(const QString &domain, QList<ServerListEntry> &servers) override;
    ServerInfoAnswer ServerType(const QString &server, quint32 &type) override;
};
