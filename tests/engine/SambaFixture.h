#pragma once

// A private Samba server on loopback (tools/samba-test-server) for the SMB
// browsing tests, and a client configuration to reach it with.

#include "platform/SmbNetBrowser.h"

#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

class SambaServer {
public:
    // port 0: a free port on 127.0.0.1.
    explicit SambaServer(quint16 wanted = 0)
    {
        if (QStandardPaths::findExecutable(u"smbd"_s).isEmpty() &&
            !QFile::exists(u"/usr/sbin/smbd"_s))
            return;
        port = wanted != 0 ? wanted : freePort();
        if (port == 0)
            return;
        QProcess p;
        p.start(script(), {u"start"_s, dir.path(u"samba"_s), QString::number(port)});
        if (!p.waitForFinished(20000) || p.exitCode() != 0)
            return;
        running = true;
    }
    ~SambaServer()
    {
        if (!running)
            return;
        QProcess p;
        p.start(script(), {u"stop"_s, dir.path(u"samba"_s)});
        p.waitForFinished(20000);
    }
    // A port on 127.0.0.1 that nothing listens on right now, so that tests
    // running at the same time do not share a server.
    static quint16 freePort()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0)
            return 0;
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        quint16 port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        ::close(fd);
        return port;
    }
    static QString script() { return QStringLiteral(CORVANE_SOURCE_DIR "/tools/samba-test-server"); }

    // A client configuration that never resolves a name by broadcast and
    // keeps its name cache to itself.
    SmbNetBrowser::Options client()
    {
        QDir().mkpath(dir.path(u"client"_s));
        const QByteArray own = QFile::encodeName(dir.path(u"client"_s));
        dir.write("client.conf", "[global]\n  name resolve order = lmhosts\n  client min protocol = NT1\n"
                                 "  workgroup = CORVANE\n  interfaces = 127.0.0.1/8\n"
                                 "  cache directory = " + own + "\n  lock directory = " + own +
                                 "\n  state directory = " + own + "\n");
        SmbNetBrowser::Options o;
        o.configFile = dir.path("client.conf");
        o.port = port == 445 ? 0 : port;
        o.timeoutMs = 5000;
        return o;
    }

    TempDir dir;
    quint16 port = 0;
    bool running = false;
};
