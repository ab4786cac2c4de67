#include "platform/Platform.h"

#include "platform/Cp932.h"
#include "platform/RemotePlatformQuery.h"

#include <QFile>

#include <sys/utsname.h>

int PlatformFamily = LinuxFamily;

static QString VersionName(const PlatformVersion &v)
{
    switch (v.PlatformId) {
    case 0:
        return QStringLiteral("Windows 3.1 with Win32s Build ") + QString::number(v.BuildNumber & 0xFFFF);
    case 1:
        switch (v.MinorVersion) {
        case 0:
            return QStringLiteral("Windows 95") + v.ServiceText;
        case 10:
            // Second edition marks itself with " A" in the service text.
            if (v.ServiceText.size() >= 2 && v.ServiceText.at(1) == QLatin1Char('A'))
                return QStringLiteral("Windows 98SE");
            return QStringLiteral("Windows 98") + v.ServiceText;
        case 90:
            return QStringLiteral("Windows ME") + v.ServiceText;
        default:
            return QStringLiteral("Windows ??") + v.ServiceText;
        }
    case 2:
        if (v.MajorVersion == 5) {
            if (v.MinorVersion == 1)
                return QStringLiteral("Windows XP ")
                    + ((v.SuiteMask & SuitePersonal) ? QStringLiteral("Home Edition") : QStringLiteral("Professional"));
            if (v.MinorVersion == 2)
                return QStringLiteral("Windows Server 2003 ");
            return QStringLiteral("Windows 2000 ") + v.ServiceText;
        }
        return QStringLiteral("Windows NT") + QString::number(v.MajorVersion) + QLatin1Char('.')
            + QString::number(v.MinorVersion) + QLatin1Char(' ') + v.ServiceText;
    default:
        return QStringLiteral("OS Unknown");
    }
}

PlatformIdentity IdentifyPlatform(const PlatformVersion &v)
{
    PlatformIdentity id;
    id.Name = VersionName(v);
    id.Family = v.PlatformId <= 2 ? int(v.PlatformId) : 3;
    id.OldShell = v.PlatformId == 2 && v.MajorVersion == 3;
    return id;
}

QString LinuxPlatformName(const QString &prettyName, const QString &kernelRelease)
{
    QString text = prettyName.trimmed().isEmpty() ? QStringLiteral("Linux") : prettyName.trimmed();
    if (!kernelRelease.isEmpty())
        text += QLatin1Char(' ') + kernelRelease;
    return text;
}

QString OsReleaseValue(const QByteArray &content, const QByteArray &key)
{
    const QByteArray prefix = key + '=';
    for (const QByteArray &rawLine : content.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (!line.startsWith(prefix))
            continue;
        QByteArray value = line.mid(prefix.size());
        QByteArray out;
        if (!value.isEmpty() && (value.front() == '"' || value.front() == '\'')) {
            // Shell-style quoting: inside double quotes a backslash escapes
            // the next character; single quotes are taken literally.
            const char quote = value.front();
            for (qsizetype i = 1; i < value.size() && value.at(i) != quote; ++i) {
                if (quote == '"' && value.at(i) == '\\' && i + 1 < value.size())
                    ++i;
                out += value.at(i);
            }
        } else {
            out = value;
        }
        return QString::fromUtf8(out);
    }
    return {};
}

PlatformIdentity LocalPlatform()
{
    QByteArray osRelease;
    for (const char *path : {"/etc/os-release", "/usr/lib/os-release"}) {
        QFile f(QString::fromLatin1(path));
        if (f.open(QIODevice::ReadOnly)) {
            osRelease = f.read(64 * 1024);
            break;
        }
    }
    QString prettyName = OsReleaseValue(osRelease, "PRETTY_NAME");
    if (prettyName.isEmpty())
        prettyName = OsReleaseValue(osRelease, "NAME");
    utsname u{};
    const QString release = uname(&u) == 0 ? QString::fromLocal8Bit(u.release) : QString();
    PlatformIdentity id;
    id.Name = LinuxPlatformName(prettyName, release);
    id.Family = LinuxFamily;
    return id;
}

QString NetbiosComputerName(const QString &hostName)
{
    return hostName.section(QLatin1Char('.'), 0, 0).toUpper().left(15);
}

QString ServerTypeName(quint32 platformId, quint32 type)
{
    switch (platformId) {
    case 0:
        if (type & SV_TYPE_WINDOWS)
            return QStringLiteral("Windows 9x");
        if (type & SV_TYPE_NT)
            return QStringLiteral("Windows NT");
        return QStringLiteral("OS Unknown");
    case 300:
        return QStringLiteral("DOS");
    case 400:
        return (type & SV_TYPE_WINDOWS) ? QStringLiteral("Windows 9x") : QStringLiteral("OS/2");
    case 500:
        return QStringLiteral("Windows NT");
    default:
        return QStringLiteral("OS Unknown");
    }
}

static QString ConsumerFamilyQuery(const QString &computerName, const QString &localText, RemotePlatformQuery &browser)
{
    const QString myName = browser.ComputerName();
    if (myName.isEmpty())
        return {};
    if (computerName == myName)
        return localText;
    quint32 type = 0;
    switch (browser.ServerType(computerName, type)) {
    case RemotePlatformQuery::ServerInfoAnswer::NoEntryPoint:
        return {};
    case RemotePlatformQuery::ServerInfoAnswer::Answered:
        return ServerTypeName(0, type);
    case RemotePlatformQuery::ServerInfoAnswer::Refused:
        break;
    }
    return QStringLiteral("WindowsNT ?");
}

static QString NtFamilyQuery(const QString &computerName, const QString &domainName, const QString &localText,
                             RemotePlatformQuery &browser)
{
    const QString myName = browser.ComputerName();
    if (myName.isEmpty())
        return {};
    if (computerName == myName)
        return localText;
    QList<ServerListEntry> servers;
    if (!browser.ListServers(domainName, computerName, servers))
        return {};
    QString result;
    for (const ServerListEntry &server : servers) {
        // A later entry of the same name replaces an earlier one.
        if (Cp932::leftBytes(server.Name, 128) == computerName)
            result = ServerTypeName(server.PlatformId, server.Type);
    }
    return result;
}

QString RemotePlatformName(const QString &computerName, const QString &domainName, RemotePlatformQuery &browser,
                           const std::function<PlatformIdentity()> &localPlatform)
{
    const PlatformIdentity local = localPlatform ? localPlatform() : LocalPlatform();
    const QString &localText = local.Name;
    if (computerName == QLatin1String(GetMyOsVersion))
        return localText;
    switch (local.Family) {
    case 1:
        return ConsumerFamilyQuery(computerName, localText, browser);
    case 2:
        return NtFamilyQuery(computerName, domainName, localText, browser);
    default:
        return QStringLiteral("OS Unknown");
    }
}
