#include "config/SambaServerBrowser.h"

#include "config/Platform.h"

#include <QSysInfo>

QString SambaServerBrowser::ComputerName()
{
    return NetbiosComputerName(QSysInfo::machineHostName());
}

bool SambaServerBrowser::ListServers(const QString &, QList<ServerListEntry> &servers)
{
    servers.clear();
    return false;
}

ServerBrowser::ServerInfoAnswer SambaServerBrowser::ServerType(const QString &, quint32 &type)
{
    type = 0;
    return ServerInfoAnswer::NoEntryPoint;
}
