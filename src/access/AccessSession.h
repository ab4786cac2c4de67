#pragma once

// The access tree: the remote terminals that hold a session on this machine,
// the shares each has connected and the files open through each connection.
// Every record carries Seen (found by the latest scan) and IsNew (appeared
// since the last access report).

#include <QString>

#include <vector>

struct AccessFile {
    QString Path;        // relative to the connection's SharePath; the key
    bool IsNew = false;
    bool Seen = false;
};

struct AccessConnection {
    QString ShareName;   // the key within its session
    QString SharePath;   // empty when the share's path is unknown
    QString Account;     // empty where the server does not report it
    bool Seen = false;
    bool IsNew = false;
    std::vector<AccessFile> Files;
};

struct AccessSession {
    QString Terminal;    // the key (exact match)
    QString ConnectTime; // "hh:mm:ss"
    QString AccessTime;  // "hh:mm:ss"
    QString UserName;    // the watch entry's user, or "*" and the account
    bool Seen = false;
    bool IsNew = false;
    std::vector<AccessConnection> Connections;
    // Kept from counting as new because it held nothing but the ignored
    // IPC$; it becomes new when it connects a share.
    bool IpcOnly = false;
};

// In the order the sessions were first found.
using AccessSessions = std::vector<AccessSession>;
