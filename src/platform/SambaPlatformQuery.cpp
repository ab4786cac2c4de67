#include "platform/SambaPlatformQuery.h"

#include "platform/Platform.h"
#include "platform/RunTool.h"

#include <QStandardPaths>
#include <QSysInfo>

SambaPlatformQuery::SambaPlatformQuery()
    : Address(qEnvironmentVariable("CORVANE_SMB_ADDRESS")),
      Port(qEnvironmentVariableIntValue("CORVANE_SMB_PORT")),
      ConfigFile(qEnvironmentVariable("CORVANE_SMB_CONF"))
{
}

QString SambaPlatformQuery::ComputerName()
{
    return NetbiosComputerName(QSysInfo::machineHostName());
}

QStringList SambaPlatformQuery::Arguments(const QString &computerName) const
{
    // No account: the server information is given to anyone, and a password
    // prompt would hang the dialog.
    QStringList args{QStringLiteral("--user=%"), QStringLiteral("--no-pass"), QStringLiteral("--command=srvinfo"),
                     QStringLiteral("--option=unix charset=UTF-8")};
    if (!Address.isEmpty())
        args << QStringLiteral("--dest-ip=") + Address;
    if (Port > 0)
        args << QStringLiteral("--port=") + QString::number(Port);
    if (!ConfigFile.isEmpty())
        args << QStringLiteral("--configfile=") + ConfigFile;
    // After "--" a name that starts with "-" is never read as an option.
    args << QStringLiteral("--") << computerName;
    return args;
}

bool SambaPlatformQuery::ListServers(const QString &, const QString &computerName, QList<ServerListEntry> &servers)
{
    servers.clear();
    const QString program = QStandardPaths::findExecutable(Program);
    if (program.isEmpty() || computerName.isEmpty())
        return false;
    const ToolRun run = RunTool(program, Arguments(computerName), TimeoutMs, ToolChannels::DiscardErrors);
    if (!run.Succeeded())
        return false;
    ServerListEntry entry;
    if (!ParseServerInfo(run.output, entry))
        return false;
    servers.append(entry);
    return true;
}

RemotePlatformQuery::ServerInfoAnswer SambaPlatformQuery::ServerType(const QString &, quint32 &type)
{
    type = 0;
    return ServerInfoAnswer::NoEntryPoint;
}

// The number after the colon of a "key : value" line, when the line has that
// key; set stays false otherwise.
static void ReadKeyValue(const QByteArray &line, const QByteArray &key, int base, quint32 &value, bool &set)
{
    if (!line.startsWith(key))
        return;
    const QByteArray rest = line.mid(key.size()).trimmed();
    if (!rest.startsWith(':'))
        return;
    QByteArray number = rest.mid(1).trimmed();
    if (base == 16) {
        if (!number.startsWith("0x") && !number.startsWith("0X"))
            return;
        number = number.mid(2);
    }
    bool ok = false;
    const quint32 v = number.toUInt(&ok, base);
    if (ok && !number.isEmpty()) {
        value = v;
        set = true;
    }
}

bool ParseServerInfo(const QByteArray &output, ServerListEntry &entry)
{
    QString name;
    quint32 platformId = 0, type = 0;
    bool havePlatform = false, haveType = false, first = true;
    for (const QByteArray &raw : output.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (first) {
            // The name line comes first; anything else there (an error
            // text, a key line) means the answer is not the server's.
            first = false;
            if (line.startsWith("platform_id") || line.startsWith("server type") || line.startsWith("os version"))
                return false;
            name = QString::fromUtf8(line.simplified().split(' ').value(0));
            continue;
        }
        ReadKeyValue(line, "platform_id", 10, platformId, havePlatform);
        ReadKeyValue(line, "server type", 16, type, haveType);
    }
    if (name.isEmpty() || !havePlatform || !haveType)
        return false;
    entry.Name = name;
    entry.PlatformId = platformId;
    entry.Type = type;
    return true;
}
