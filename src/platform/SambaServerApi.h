#pragma once

// The server interface over Samba: `smbstatus --json` for sessions, tree
// connections and open files, `testparm -s` for the shares' local paths.
//
// Samba keeps no session start or idle time: a session's time counts from
// the earliest connection it holds, its idle time from the newest connection
// or file open (0 when it has neither). The terminal is the client's NetBIOS
// name when it gave one (a session on port 139), else the name its address
// has in the resolver (first label, upper case, at most 15 characters, the
// form other machines list it in), else the address.
//
// One status report is read per Sessions() call and answers the connection
// and file queries that follow, so that one scan sees one consistent state.

#include "platform/SambaStatus.h"
#include "platform/ServerApi.h"

#include <QHash>
#include <QStringList>

#include <functional>
#include <mutex>

class SambaServerApi : public ServerApi {
public:
    // configFile: the smb.conf of the server to read (empty: Samba's own).
    explicit SambaServerApi(QString configFile = {});
    // The server CORVANE_SMB_CONF names, else Samba's own.
    static QString ConfigFromEnvironment() { return qEnvironmentVariable("CORVANE_SMB_CONF"); }

    bool Load() override;
    void Free() override;
    bool Sessions(std::vector<ServerSession> &sessions) override;
    bool Connections(const QString &qualifier, std::vector<ServerConnection> &connections) override;
    bool SharePath(const QString &shareName, QString &path) override;
    bool Files(const QString &basePath, const QString &user, std::vector<ServerFile> &files) override;
    bool ServerInfo(ServerInformation &info) override;
    QString LastError() const override { return error_; }

    // The programs run; tests point them elsewhere.
    QString StatusProgram = QStringLiteral("smbstatus");
    QString ConfigProgram = QStringLiteral("testparm");
    // Runs the status program for a user other than root.
    QString SudoProgram = QStringLiteral("sudo");
    int TimeoutMs = 10000;
    // The name of an IPv4 or IPv6 address, empty when it has none.
    std::function<QString(const QString &address)> NameOfAddress;

    // The sessions of a report with the terminal names and times described
    // above; now is the time they are measured against.
    std::vector<ServerSession> SessionsOf(const SambaStatus &status, const QDateTime &now) const;

    // The shares and their paths in the output of `testparm -s`
    // (share names upper case).
    static QHash<QString, QString> ParseSharePaths(const QByteArray &testparmOutput);

    // How many client names are kept now.
    qsizetype CachedNames() const
    {
        const std::lock_guard lock(namesLock_);
        return names_.size();
    }

private:
    bool run(const QString &program, const QStringList &arguments, QByteArray &output) const;
    bool runStatus(QByteArray &output);
    QStringList statusArguments() const;
    QStringList configArguments(const QString &parameter) const;
    QString terminalOf(const SambaStatus::Session &session) const;
    bool loadShares();

    QString configFile_;
    bool loaded_ = false;
    mutable QString error_;
    SambaStatus status_;
    std::vector<QString> terminals_;  // the terminal of each session of status_
    QHash<QString, QString> shares_;
    bool sharesRead_ = false;
    bool throughSudo_ = false;  // the status program last ran through sudo
    // Names of client addresses, kept a while so that a slow resolver is not
    // asked again at every scan.
    struct CachedName {
        QString name;
        qint64 expires = 0;  // ms since the epoch
    };
    // The scan's worker fills it through the const SessionsOf while the
    // main thread may ask CachedNames or Free; the lock is never held over
    // a lookup.
    mutable std::mutex namesLock_;
    mutable QHash<QString, CachedName> names_;
    static constexpr qsizetype MaxCachedNames = 1024;
};
