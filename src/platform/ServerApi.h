#pragma once

// What this machine's file server tells about its clients: the sessions that
// remote terminals hold, the shares one terminal has connected, a share's
// local path and the files open through the server. One real implementation
// reads Samba (SambaServerApi); tests use fakes.
//
// Every query answers false when the server could not be asked; the lists
// are then left empty.
//
// Three SMB-side interfaces with similar names, each about something else:
// - ServerApi (here): this machine's own file server, who uses its shares.
// - NetBrowser (NetBrowser.h): the network's workgroups, the computers each
//   one lists and a computer's shares, as the watch list browses them.
// - RemotePlatformQuery (RemotePlatformQuery.h): which system another
//   computer runs, asked of its server service for its properties.

#include <QString>
#include <QtGlobal>

#include <vector>

struct ServerSession {
    QString Terminal;        // the remote computer's name
    QString Account;         // the account the session was opened with
    quint32 SessionSeconds = 0;
    quint32 IdleSeconds = 0;
};

struct ServerConnection {
    QString ShareName;
    QString Account;
};

struct ServerFile {
    QString Path;            // full local path
    QString User;
    QString Share;
};

struct ServerInformation {
    QString Name;            // the server's computer name
    QString Comment;
    quint32 PlatformId = 0;  // 500 for an NT-family server
    quint32 VersionMajor = 0;
    quint32 VersionMinor = 0;
    quint32 Type = 0;        // SV_TYPE_* bits
};

class ServerApi {
public:
    virtual ~ServerApi() = default;

    // True when the server can be asked at all (its tools are installed).
    virtual bool Load() = 0;
    virtual void Free() = 0;

    virtual bool Sessions(std::vector<ServerSession> &sessions) = 0;
    // The connections of the terminal named by qualifier ("\\" + terminal).
    virtual bool Connections(const QString &qualifier, std::vector<ServerConnection> &connections) = 0;
    virtual bool SharePath(const QString &shareName, QString &path) = 0;
    // Open files whose full path starts with basePath and whose user is
    // user; an empty filter matches every file.
    virtual bool Files(const QString &basePath, const QString &user, std::vector<ServerFile> &files) = 0;
    virtual bool ServerInfo(ServerInformation &info) = 0;

    // Why the last query that answered false failed, in a few words.
    virtual QString LastError() const { return {}; }
};
