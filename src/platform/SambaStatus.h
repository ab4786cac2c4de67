#pragma once

// The status report of a Samba server (`smbstatus --json`) as plain records.
// The parser accepts any input: text that is not a JSON object, or an object
// without the expected members, gives a failed or empty report, never more.

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <vector>

struct SambaStatus {
    struct Session {
        QString Id;
        QString ServerId;       // the smbd process serving the client
        QString UserName;
        QString RemoteMachine;  // the client's NetBIOS name, or its address
        QString Address;        // the client's address without the port
        qint64 Uid = -1;
    };
    struct ShareConnection {
        QString SessionId;
        QString ServerId;
        QString Service;        // the share name
        QDateTime ConnectedAt;  // invalid when missing
    };
    struct Open {
        QString ServerId;
        qint64 Uid = -1;
        QDateTime OpenedAt;
    };
    struct File {
        QString Path;           // full local path
        QString ServicePath;    // the local path of the share it is open through
        std::vector<Open> Opens;
    };

    QDateTime Timestamp;        // the server's time of the report
    std::vector<Session> Sessions;
    std::vector<ShareConnection> ShareConnections;
    std::vector<File> Files;
};

// False (and an empty report) when the text is not a JSON object.
bool ParseSambaStatus(QByteArrayView json, SambaStatus &status);

// The address in a Samba client description such as "ipv4:10.0.0.5:49152"
// or "ipv6:[fe80::1]:445"; the text itself when it has no such form.
QString SambaClientAddress(const QString &hostname);
