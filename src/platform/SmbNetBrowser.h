#pragma once

// The real network through SMB browsing (libsmbclient): the one provider
// "Microsoft Windows Network", its workgroups and domains from smb://, a
// workgroup's computers from smb://WORKGROUP, a computer's shares from
// smb://COMPUTER.
//
// Browse lists only exist over SMB1; over SMB2 and later they come back
// empty without an error, so the workgroup and computer lists are asked for
// with NT1. Share lists are asked for with any protocol from NT1 up.
//
// The SMB client library keeps its configuration process-wide and its
// contexts are not safe across threads, so every exchange runs under one
// process-wide lock, and a whole list is read when it is opened.

#include "platform/NetBrowser.h"

#include <QElapsedTimer>
#include <QHash>

class SmbNetBrowser : public NetBrowser {
public:
    struct Options {
        // TCP port of the SMB servers; 0 for the standard ones.
        quint16 port = 0;
        // A client configuration file instead of the system's smb.conf.
        QString configFile;
        // How long one exchange may wait, in milliseconds.
        int timeoutMs = 10000;
        // How long a workgroup or computer list (and a failure to get one)
        // is answered from memory; 0 asks the network every time.
        int listCacheMs = 10000;
    };

    SmbNetBrowser();
    explicit SmbNetBrowser(Options options);
    ~SmbNetBrowser() override;

    quint32 Open(quint32 scope, quint32 type, quint32 usage, const NetResource &container,
                 std::unique_ptr<NetEnumeration> &out) override;

private:
    struct CachedList {
        quint32 result = 0;
        QList<NetResource> entries;
        QElapsedTimer age;
    };

    enum class Level { Workgroups, Computers, Shares };

    // Reads one list from the network; the caller holds the library's lock.
    quint32 List(const QByteArray &url, Level level, const QString &target, std::unique_ptr<NetEnumeration> &out);

    Options options_;
    QHash<QByteArray, CachedList> cache_;
};

// The result number for an errno left by the SMB client library.
quint32 SmbErrorCode(int error);
