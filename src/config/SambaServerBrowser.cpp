#include "config/SambaServerBrowser.h"

#include "config/Platform.h"

#include <QByteArray>

#include <unistd.h>

QString SambaServerBrowser::ComputerName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return NetbiosComputerName(QString::fromLocal8Bit(name));
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
