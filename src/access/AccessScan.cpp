#include "access/AccessScan.h"

#include "config/SettingValues.h"
#include "engine/WatchListModel.h"
#include "platform/Cp932.h"
#include "platform/ServerApi.h"

#include <algorithm>
#include <new>

namespace {

// The consumer family's library fills a buffer the caller provides: fixed
// records at the front, their strings (with terminating zeros) behind them.
constexpr qsizetype SessionBuffer = 1300, SessionRecord = 26;
constexpr qsizetype ConnectionBuffer = 800, ConnectionRecord = 16;
constexpr qsizetype ShareBuffer = 420, ShareRecord = 42;
constexpr qsizetype FileBuffer = 2000, FileRecord = 20;

qsizetype stringBytes(const QString &text)
{
    return Cp932::byteLength(text) + 1;
}

// How many of the entries, in order, fit in one buffer.
size_t entriesThatFit(const std::vector<qsizetype> &strings, qsizetype record, qsizetype buffer)
{
    qsizetype used = 0;
    size_t n = 0;
    for (; n < strings.size(); ++n) {
        used += record + strings[n];
        if (used > buffer)
            break;
    }
    return n;
}

bool isIpc(const QString &share)
{
    return share == QLatin1String("IPC$");
}

struct Scan {
    AccessSessions &list;
    ServerApi &server;
    int family;
    const WatchedTerminals &watched;
    bool skipKnown;
    const AccessScanOptions &options;

    bool consumer() const { return family == 1; }

    bool sessions(std::vector<ServerSession> &out, QString &failure)
    {
        if (!server.Sessions(out)) {
            out.clear();
            failure = server.LastError();
            if (failure.isEmpty())
                failure = QStringLiteral("the server gave no list of sessions");
            return false;
        }
        if (consumer()) {
            std::vector<qsizetype> strings;
            for (const ServerSession &s : out)
                strings.push_back(stringBytes(s.Terminal) + stringBytes(s.Account));
            // More sessions than the buffer holds is the more-data answer,
            // which tells nothing about who is there.
            if (entriesThatFit(strings, SessionRecord, SessionBuffer) < out.size()) {
                out.clear();
                failure = QStringLiteral("more sessions than one answer holds");
                return false;
            }
        }
        return true;
    }

    bool connectionsOf(const QString &terminal, std::vector<ServerConnection> &out)
    {
        if (!server.Connections(QStringLiteral("\\\\") + terminal, out) || out.empty()) {
            out.clear();
            return false;
        }
        if (consumer()) {
            std::vector<qsizetype> strings;
            for (ServerConnection &c : out) {
                c.Account.clear();
                strings.push_back(stringBytes(c.ShareName));
            }
            if (entriesThatFit(strings, ConnectionRecord, ConnectionBuffer) < out.size()) {
                out.clear();
                return false;
            }
        }
        return true;
    }

    QString sharePath(const QString &share)
    {
        QString path;
        if (!server.SharePath(share, path))
            return {};
        if (consumer() && ShareRecord + stringBytes(path) > ShareBuffer)
            return {};
        return path;
    }

    QString watchUser(const QString &terminal, bool &found) const
    {
        found = false;
        for (const WatchedTerminal &w : watched) {
            if (w.Terminal == terminal) {
                found = true;
                return w.User;
            }
        }
        return {};
    }

    void scanConnections(AccessSession &session)
    {
        std::vector<ServerConnection> connections;
        if (!connectionsOf(session.Terminal, connections))
            return;
        bool ipcSkipped = false;
        int kept = 0;
        for (const ServerConnection &entry : connections) {
            if (isIpc(entry.ShareName) && options.IPCNoChk) {
                ipcSkipped = true;
                continue;
            }
            if (!consumer() && options.SysvolNoChk
                && entry.ShareName.compare(QLatin1String("SYSVOL"), Qt::CaseInsensitive) == 0)
                continue;
            ++kept;
            AccessConnection &c = session.Connections[FindOrAddConnection(session, entry.ShareName)];
            if (options.ReportLevel < AccessDepth::Connections)
                c.IsNew = false;
            else if (c.IsNew)
                session.IsNew = true;
            c.Account = consumer() ? QString() : entry.Account;
            c.SharePath = sharePath(entry.ShareName);
        }
        // A terminal that holds nothing but the ignored IPC$ (a client that
        // only browses this machine) is not news yet; Windows clients hold
        // IPC$ beside every share, so the session is news when it holds a
        // share as well, whatever the report level says of connections.
        if (ipcSkipped && kept == 0) {
            if (session.IsNew)
                session.IpcOnly = true;
            session.IsNew = false;
        } else if (kept > 0 && session.IpcOnly) {
            session.IpcOnly = false;
            session.IsNew = true;
        }
    }

    void scanFilesNt(AccessSession &session)
    {
        for (AccessConnection &c : session.Connections) {
            // A query that did not answer tells nothing about the files: they
            // stay as they were, or each would be news again next time.
            std::vector<ServerFile> files;
            if (c.SharePath.isEmpty() || !server.Files(c.SharePath, c.Account, files)) {
                for (AccessFile &f : c.Files)
                    f.Seen = true;
                continue;
            }
            QHash<QString, size_t> index;
            index.reserve(qsizetype(c.Files.size() + files.size()));
            for (size_t i = 0; i < c.Files.size(); ++i)
                index.insert(c.Files[i].Path, i);
            for (const ServerFile &f : files) {
                const QString path = RelativeFilePath(f.Path, c.SharePath);
                if (!path.isEmpty())
                    FindOrAddFile(session, c, path, options.ReportLevel, &index);
            }
        }
    }

    void scanFilesConsumer()
    {
        std::vector<ServerFile> files;
        if (!server.Files({}, {}, files))
            return;
        std::vector<qsizetype> strings;
        for (const ServerFile &f : files)
            strings.push_back(stringBytes(f.Path) + stringBytes(f.User) + stringBytes(f.Share));
        // The more-data answer is used: the files that fit count.
        files.resize(entriesThatFit(strings, FileRecord, FileBuffer));
        for (const ServerFile &f : files) {
            AccessSession &s = list[FindOrAddSession(list, f.User)];
            AccessConnection &c = s.Connections[FindOrAddConnection(s, f.Share)];
            const QString path = RelativeFilePath(f.Path, c.SharePath);
            if (!path.isEmpty())
                FindOrAddFile(s, c, path, options.ReportLevel);
        }
    }

    bool run(QString &failure)
    {
        // Without the list of sessions nothing is known about anyone: the
        // tree stays as it is, or everyone would be news again at the next
        // scan that works.
        std::vector<ServerSession> entries;
        if (!sessions(entries, failure))
            return false;
        for (AccessSession &s : list) {
            s.Seen = false;
            for (AccessConnection &c : s.Connections) {
                c.Seen = false;
                for (AccessFile &f : c.Files)
                    f.Seen = false;
            }
        }
        const QString ownAccount = options.ComputerName + QLatin1Char('$');
        for (const ServerSession &entry : entries) {
            if (options.MyPCNoChk && !options.ComputerName.isEmpty()
                && entry.Account.compare(ownAccount, Qt::CaseInsensitive) == 0)
                continue;
            bool known = false;
            const QString user = watchUser(entry.Terminal, known);
            if (skipKnown && known)
                continue;
            AccessSession &s = list[FindOrAddSession(list, entry.Terminal)];
            s.UserName = known ? user : QLatin1Char('*') + entry.Account;
            s.ConnectTime = FormatDuration(entry.SessionSeconds);
            // The NT family reports how long the session has been idle; the
            // column shows how long it was active. A server that reports more
            // idle time than session time shows no activity rather than a
            // wrapped-around count.
            if (consumer())
                s.AccessTime = FormatDuration(entry.IdleSeconds);
            else
                s.AccessTime = FormatDuration(entry.SessionSeconds > entry.IdleSeconds
                                                  ? entry.SessionSeconds - entry.IdleSeconds : 0);
            if (options.CheckLevel >= AccessDepth::Connections)
                scanConnections(s);
            if (!consumer() && options.CheckLevel >= AccessDepth::Files)
                scanFilesNt(s);
        }
        if (consumer() && !entries.empty() && options.CheckLevel >= AccessDepth::Files)
            scanFilesConsumer();
        PruneUnseen(list);
        return true;
    }
};

} // namespace

QString FormatDuration(quint32 seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString RelativeFilePath(const QString &fullPath, const QString &sharePath)
{
    if (sharePath.isEmpty() || !fullPath.startsWith(sharePath))
        return fullPath;
    const bool endsInSeparator = sharePath.endsWith(QLatin1Char('\\')) || sharePath.endsWith(QLatin1Char('/'));
    return fullPath.mid(sharePath.size() + (endsInSeparator ? 0 : 1));
}

size_t FindOrAddSession(AccessSessions &list, const QString &terminal)
{
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].Terminal == terminal) {
            list[i].Seen = true;
            return i;
        }
    }
    AccessSession s;
    s.Terminal = terminal;
    s.Seen = true;
    s.IsNew = true;
    list.push_back(std::move(s));
    return list.size() - 1;
}

size_t FindOrAddConnection(AccessSession &session, const QString &shareName)
{
    auto &connections = session.Connections;
    for (size_t i = 0; i < connections.size(); ++i) {
        if (connections[i].ShareName == shareName) {
            connections[i].Seen = true;
            return i;
        }
    }
    AccessConnection c;
    c.ShareName = shareName;
    c.Seen = true;
    c.IsNew = true;
    connections.push_back(std::move(c));
    return connections.size() - 1;
}

void FindOrAddFile(AccessSession &session, AccessConnection &connection, const QString &path, int reportLevel,
                   QHash<QString, size_t> *index)
{
    AccessFile *file = nullptr;
    if (index) {
        if (const auto at = index->constFind(path); at != index->cend())
            file = &connection.Files[*at];
    } else {
        const auto at = std::find_if(connection.Files.begin(), connection.Files.end(),
                                     [&](const AccessFile &f) { return f.Path == path; });
        if (at != connection.Files.end())
            file = &*at;
    }
    if (file) {
        file->Seen = true;
    } else {
        AccessFile f;
        f.Path = path;
        f.Seen = true;
        f.IsNew = true;
        if (index)
            index->insert(path, connection.Files.size());
        connection.Files.push_back(std::move(f));
        file = &connection.Files.back();
    }
    if (reportLevel >= AccessDepth::Files) {
        if (file->IsNew) {
            connection.IsNew = true;
            session.IsNew = true;
        }
    } else {
        file->IsNew = false;
    }
}

void PruneUnseen(AccessSessions &list)
{
    for (size_t i = list.size(); i-- > 0;) {
        AccessSession &s = list[i];
        for (size_t j = s.Connections.size(); j-- > 0;) {
            AccessConnection &c = s.Connections[j];
            std::erase_if(c.Files, [](const AccessFile &f) { return !f.Seen; });
            if (!c.Files.empty())
                c.Seen = true;
            else if (!c.Seen)
                s.Connections.erase(s.Connections.begin() + qsizetype(j));
        }
        if (!s.Connections.empty())
            s.Seen = true;
        else if (!s.Seen)
            list.erase(list.begin() + qsizetype(i));
    }
}

WatchedTerminals WatchedTerminalsOf(const WatchListModel &rows, int column)
{
    WatchedTerminals watched;
    const int count = rows.rowCount();
    watched.reserve(size_t(std::max(count, 0)));
    for (int r = 0; r < count; ++r)
        watched.push_back({rows.text(r, column), rows.text(r, WatchListModel::ColUserName)});
    return watched;
}

bool ScanAccesses(AccessSessions &list, ServerApi &server, int family, const WatchListModel &rows, int column,
                  bool skipKnown, const AccessScanOptions &options, QString *failure)
{
    if (family != 1 && family != 2)
        return true;
    return ScanAccesses(list, server, family, WatchedTerminalsOf(rows, column), skipKnown, options, failure);
}

bool ScanAccesses(AccessSessions &list, ServerApi &server, int family, const WatchedTerminals &watched,
                  bool skipKnown, const AccessScanOptions &options, QString *failure)
{
    if (family != 1 && family != 2)
        return true;
    QString why;
    bool ok = false;
    // A failure part-way leaves the tree as far as the scan got; the next
    // scan starts again from the seen flags.
    try {
        ok = Scan{list, server, family, watched, skipKnown, options}.run(why);
    } catch (const std::bad_alloc &) {
        why = QStringLiteral("out of memory");
    }
    if (failure)
        *failure = why;
    return ok;
}

int CountNewSessions(const AccessSessions &list)
{
    int count = 0;
    for (const AccessSession &s : list) {
        bool isNew = s.IsNew;
        for (const AccessConnection &c : s.Connections) {
            if (isNew)
                break;
            isNew = c.IsNew;
            for (const AccessFile &f : c.Files)
                isNew = isNew || f.IsNew;
        }
        count += isNew ? 1 : 0;
    }
    return count;
}

void BuildAccessReport(AccessSessions &list, QStringList &report, QStringList &detail)
{
    const QChar tab = QLatin1Char('\t');
    // The lines are TAB-separated; a TAB inside a name or path from a client
    // would read as a column of its own.
    const auto field = [](QString text) { return text.replace(QLatin1Char('\t'), QLatin1Char(' ')); };
    report.clear();
    detail.clear();
    for (AccessSession &s : list) {
        s.IsNew = false;
        const QString user = field(s.UserName), terminal = field(s.Terminal);
        report << user + tab + terminal;
        detail << QLatin1Char('0') + user + tab + terminal + tab + s.ConnectTime + tab + s.AccessTime;
        for (AccessConnection &c : s.Connections) {
            c.IsNew = false;
            const QString share = field(c.ShareName);
            detail << QLatin1Char('1') + share + tab + field(c.Account);
            qsizetype left = 0;
            for (AccessFile &f : c.Files) {
                f.IsNew = false;
                if (detail.size() < MaxAccessDetailLines)
                    detail << QLatin1Char('2') + share + QLatin1Char('\\') + field(f.Path);
                else
                    ++left;
            }
            if (left > 0)
                detail << QLatin1Char('2') + share + QLatin1Char('\\')
                              + QStringLiteral("（ほか %1 ファイルは記録していません）").arg(left);
        }
    }
}
