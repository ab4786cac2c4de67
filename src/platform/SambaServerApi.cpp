#include "platform/SambaServerApi.h"

#include "platform/HostLookup.h"
#include "platform/RunTool.h"

#include <QFileInfo>
#include <QStandardPaths>

#include <arpa/inet.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>

namespace {

bool isAddress(const QString &text)
{
    const QByteArray bytes = text.toLatin1();
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, bytes.constData(), buffer) == 1 || inet_pton(AF_INET6, bytes.constData(), buffer) == 1;
}

QString defaultNameOfAddress(const QString &address)
{
    in_addr a{};
    if (inet_pton(AF_INET, address.toLatin1().constData(), &a) != 1)
        return {};
    return HostLookup::nameOf(a.s_addr).name;
}

QString findProgram(const QString &program)
{
    if (program.contains(QLatin1Char('/'))) {
        const QFileInfo info(program);
        return info.isFile() && info.isExecutable() ? program : QString();
    }
    QString found = QStandardPaths::findExecutable(program);
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(program, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                                                         QStringLiteral("/usr/local/sbin")});
    return found;
}

quint32 secondsBetween(const QDateTime &from, const QDateTime &to)
{
    const qint64 s = from.secsTo(to);
    return s <= 0 ? 0 : quint32(std::min<qint64>(s, 0xFFFFFFFF));
}

QString userOfUid(qint64 uid)
{
    if (uid < 0)
        return {};
    passwd pw{};
    passwd *result = nullptr;
    char buffer[4096];
    if (getpwuid_r(uid_t(uid), &pw, buffer, sizeof buffer, &result) == 0 && result)
        return QString::fromLocal8Bit(result->pw_name);
    return QString::number(uid);
}

// A path lies under a share when it is the share's path or continues it
// after a separator; "/srv/data2/x" is not under "/srv/data".
bool isUnder(const QString &path, const QString &base)
{
    if (base.isEmpty())
        return true;
    if (!path.startsWith(base))
        return false;
    return path.size() == base.size() || base.endsWith(QLatin1Char('/')) || path.at(base.size()) == QLatin1Char('/');
}

} // namespace

SambaServerApi::SambaServerApi(QString configFile) : configFile_(std::move(configFile)) {}

bool SambaServerApi::Load()
{
    loaded_ = !findProgram(StatusProgram).isEmpty() && !findProgram(ConfigProgram).isEmpty();
    return loaded_;
}

void SambaServerApi::Free()
{
    loaded_ = false;
    status_ = SambaStatus();
    terminals_.clear();
    shares_.clear();
    sharesRead_ = false;
    const std::lock_guard lock(namesLock_);
    names_.clear();
}

QStringList SambaServerApi::statusArguments() const
{
    QStringList args{QStringLiteral("--json")};
    if (!configFile_.isEmpty())
        args << QStringLiteral("-s") << configFile_;
    return args;
}

// testparm takes the configuration file as its argument; -s only skips the
// prompt it would otherwise show.
QStringList SambaServerApi::configArguments(const QString &parameter) const
{
    QStringList args{QStringLiteral("-s")};
    if (!parameter.isEmpty())
        args << parameter;
    if (!configFile_.isEmpty())
        args << configFile_;
    return args;
}

bool SambaServerApi::run(const QString &program, const QStringList &arguments, QByteArray &output) const
{
    output.clear();
    error_.clear();
    const ToolRun tool = RunTool(findProgram(program), arguments, TimeoutMs);
    if (!tool.started) {
        error_ = QStringLiteral("%1 did not start").arg(program);
        return false;
    }
    if (tool.timedOut) {
        error_ = QStringLiteral("%1 gave no answer within %2 s").arg(program).arg(TimeoutMs / 1000);
        return false;
    }
    output = tool.output;
    if (tool.crashed) {
        error_ = QStringLiteral("%1 crashed").arg(program);
        return false;
    }
    if (tool.exitCode != 0) {
        // The program's own first word on what went wrong, when it has one.
        QString said;
        for (const QByteArray &line : tool.errors.split('\n')) {
            said = QString::fromLocal8Bit(line).simplified();
            if (!said.isEmpty())
                break;
        }
        error_ = QStringLiteral("%1 exited with code %2").arg(program).arg(tool.exitCode);
        if (!said.isEmpty())
            error_ += QStringLiteral(": ") + said;
        return false;
    }
    return true;
}

// smbstatus reads the sessions for root only ("smbstatus only works as
// root!"). An ordinary user's run asks sudo, without a password prompt, for
// exactly this command, which one sudoers rule can allow; once sudo ran it,
// it is asked first.
bool SambaServerApi::runStatus(QByteArray &output)
{
    if (!throughSudo_) {
        if (run(StatusProgram, statusArguments(), output))
            return true;
        if (::geteuid() == 0)
            return false;
    }
    const QString refused = throughSudo_ ? QStringLiteral("smbstatus only works as root") : error_;
    const QString status = findProgram(StatusProgram);
    const QStringList arguments = QStringList{QStringLiteral("-n"), status} + statusArguments();
    if (findProgram(SudoProgram).isEmpty())
        error_ = QStringLiteral("%1 is not installed").arg(SudoProgram);
    else if (run(SudoProgram, arguments, output))
        return throughSudo_ = true;
    throughSudo_ = false;
    error_ = QStringLiteral("%1; %2 %3 was not allowed either (%4); README gives the sudoers rule that allows it")
                 .arg(refused, SudoProgram, arguments.join(u' '), error_);
    return false;
}

QString SambaServerApi::terminalOf(const SambaStatus::Session &session) const
{
    if (!session.RemoteMachine.isEmpty() && !isAddress(session.RemoteMachine))
        return session.RemoteMachine;
    const QString address = session.Address.isEmpty() || !isAddress(session.Address) ? session.RemoteMachine
                                                                                      : session.Address;
    if (address.isEmpty())
        return {};
    QString name;
    bool known = false;
    {
        const std::lock_guard lock(namesLock_);
        const auto cached = names_.constFind(address);
        if (cached != names_.cend() && cached->expires > QDateTime::currentMSecsSinceEpoch()) {
            name = cached->name;
            known = true;
        }
    }
    if (!known) {
        const QString found = NameOfAddress ? NameOfAddress(address) : defaultNameOfAddress(address);
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const std::lock_guard lock(namesLock_);
        // Clients that come and go with new addresses must not grow the
        // table without end: the expired go first, then the soonest to.
        if (!names_.contains(address) && names_.size() >= MaxCachedNames) {
            names_.removeIf([now](const auto &entry) { return entry.value().expires <= now; });
            while (names_.size() >= MaxCachedNames) {
                const auto oldest = std::min_element(names_.begin(), names_.end(),
                                                     [](const CachedName &a, const CachedName &b) {
                                                         return a.expires < b.expires;
                                                     });
                names_.erase(oldest);
            }
        }
        names_.insert(address, {found, now + 10 * 60 * 1000});
        name = found;
    }
    if (name.isEmpty() || isAddress(name))
        return address;
    return name.section(QLatin1Char('.'), 0, 0).toUpper().left(15);
}

std::vector<ServerSession> SambaServerApi::SessionsOf(const SambaStatus &status, const QDateTime &now) const
{
    std::vector<ServerSession> sessions;
    for (const SambaStatus::Session &s : status.Sessions) {
        QDateTime first, last;
        const auto seen = [&](const QDateTime &t) {
            if (!t.isValid())
                return;
            if (!first.isValid() || t < first)
                first = t;
            if (!last.isValid() || t > last)
                last = t;
        };
        for (const SambaStatus::ShareConnection &t : status.ShareConnections)
            if (t.SessionId == s.Id)
                seen(t.ConnectedAt);
        const QDateTime connected = first;
        for (const SambaStatus::File &f : status.Files)
            for (const SambaStatus::Open &o : f.Opens)
                if (!s.ServerId.isEmpty() && o.ServerId == s.ServerId)
                    seen(o.OpenedAt);
        ServerSession session;
        session.Terminal = terminalOf(s);
        session.Account = s.UserName;
        session.SessionSeconds = connected.isValid() ? secondsBetween(connected, now) : 0;
        session.IdleSeconds = last.isValid() ? std::min(secondsBetween(last, now), session.SessionSeconds) : 0;
        sessions.push_back(std::move(session));
    }
    return sessions;
}

bool SambaServerApi::Sessions(std::vector<ServerSession> &sessions)
{
    sessions.clear();
    terminals_.clear();
    sharesRead_ = false;
    status_ = SambaStatus();
    if (!loaded_) {
        error_ = QStringLiteral("%1 or %2 is not installed").arg(StatusProgram, ConfigProgram);
        return false;
    }
    QByteArray output;
    if (!runStatus(output)) {
        status_ = SambaStatus();
        return false;
    }
    if (!ParseSambaStatus(output, status_)) {
        status_ = SambaStatus();
        error_ = QStringLiteral("%1 gave no status report").arg(StatusProgram);
        return false;
    }
    const QDateTime now = status_.Timestamp.isValid() ? status_.Timestamp : QDateTime::currentDateTimeUtc();
    sessions = SessionsOf(status_, now);
    for (const ServerSession &s : sessions)
        terminals_.push_back(s.Terminal);
    return true;
}

bool SambaServerApi::Connections(const QString &qualifier, std::vector<ServerConnection> &connections)
{
    connections.clear();
    if (!loaded_)
        return false;
    QString terminal = qualifier;
    while (terminal.startsWith(QLatin1Char('\\')))
        terminal.remove(0, 1);
    for (size_t i = 0; i < status_.Sessions.size() && i < terminals_.size(); ++i) {
        if (terminals_[i] != terminal)
            continue;
        const SambaStatus::Session &s = status_.Sessions[i];
        for (const SambaStatus::ShareConnection &t : status_.ShareConnections)
            if (t.SessionId == s.Id)
                connections.push_back({t.Service, s.UserName});
    }
    return true;
}

QHash<QString, QString> SambaServerApi::ParseSharePaths(const QByteArray &testparmOutput)
{
    QHash<QString, QString> shares;
    QString section;
    for (const QByteArray &raw : testparmOutput.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2).trimmed().toUpper();
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (section.isEmpty() || section == QLatin1String("GLOBAL") || eq < 0)
            continue;
        if (line.left(eq).trimmed().compare(QLatin1String("path"), Qt::CaseInsensitive) == 0)
            shares.insert(section, line.mid(eq + 1).trimmed());
    }
    return shares;
}

bool SambaServerApi::loadShares()
{
    if (sharesRead_)
        return true;
    QByteArray output;
    if (!run(ConfigProgram, configArguments({}), output))
        return false;
    shares_ = ParseSharePaths(output);
    sharesRead_ = true;
    return true;
}

bool SambaServerApi::SharePath(const QString &shareName, QString &path)
{
    path.clear();
    if (!loaded_ || !loadShares())
        return false;
    const auto it = shares_.constFind(shareName.toUpper());
    if (it == shares_.constEnd() || it->isEmpty())
        return false;
    path = *it;
    return true;
}

bool SambaServerApi::Files(const QString &basePath, const QString &user, std::vector<ServerFile> &files)
{
    files.clear();
    if (!loaded_)
        return false;
    loadShares();
    for (const SambaStatus::File &f : status_.Files) {
        if (!isUnder(f.Path, basePath))
            continue;
        QStringList users;
        for (const SambaStatus::Open &o : f.Opens) {
            QString name;
            for (const SambaStatus::Session &s : status_.Sessions)
                if (!o.ServerId.isEmpty() && s.ServerId == o.ServerId && (o.Uid < 0 || s.Uid == o.Uid)) {
                    name = s.UserName;
                    break;
                }
            if (name.isEmpty())
                name = userOfUid(o.Uid);
            if (!users.contains(name))
                users << name;
        }
        for (const QString &name : users) {
            if (!user.isEmpty() && name.compare(user, Qt::CaseInsensitive) != 0)
                continue;
            QString share;
            for (auto it = shares_.constBegin(); it != shares_.constEnd(); ++it)
                if (*it == f.ServicePath) {
                    share = it.key();
                    break;
                }
            files.push_back({f.Path, name, share});
        }
    }
    return true;
}

bool SambaServerApi::ServerInfo(ServerInformation &info)
{
    info = ServerInformation();
    if (!loaded_)
        return false;
    QByteArray name, comment;
    if (!run(ConfigProgram, configArguments(QStringLiteral("--parameter-name=netbios name")), name))
        return false;
    run(ConfigProgram, configArguments(QStringLiteral("--parameter-name=server string")), comment);
    info.Name = QString::fromUtf8(name).trimmed();
    info.Comment = QString::fromUtf8(comment).trimmed();
    info.PlatformId = 500;
    info.VersionMajor = 4;
    info.VersionMinor = 9;
    info.Type = 0x00000001 | 0x00000002 | 0x00001000;  // workstation, server, NT
    return true;
}
