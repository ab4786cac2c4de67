#pragma once
// Another computer for tests: a peer namespace joined to the calling one by
// a veth pair (10.77.0.1/24 here on "vhere", 10.77.0.2/24 there on "vpeer")
// running one program. Inside a NetNamespace::run body only; nothing of it
// reaches the host's interfaces.
//
//     PeerHost peer;
//     StartWsdd(peer, "pc01", "WORKGROUP");   // announces itself by WS-Discovery
//     StartNmbd(peer, "NBONLY", dir);         // answers NetBIOS name queries

#include "support/NetNamespace.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

class PeerHost {
public:
    PeerHost() : peer_(NetNamespace::create())
    {
        if (!NetNamespace::link(NetNamespace::current(), QStringLiteral("vhere"), QStringLiteral("10.77.0.1/24"), peer_,
                                QStringLiteral("vpeer"), QStringLiteral("10.77.0.2/24")))
            why = "no veth pair";
    }

    ~PeerHost() { stop(); }

    // Runs the program in the peer and waits until `table` (a file under
    // /proc/net: "tcp", "udp") there shows `entry` (a socket it opens).
    bool start(const QString &program, const QStringList &args, const char *table, const QByteArray &entry)
    {
        if (*why)
            return false;
        if (QStandardPaths::findExecutable(program).isEmpty()) {
            why = "a program the test needs is not installed";
            return false;
        }
        process.setProgram(QStringLiteral("nsenter"));
        process.setArguments(QStringList{QStringLiteral("--net=") + peer_.path(), program} + args);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start();
        const QString path = QStringLiteral("/proc/thread-self/net/") + QString::fromLatin1(table);
        for (int i = 0; i < 200 && process.state() != QProcess::NotRunning; ++i) {
            const bool listening = peer_.inside([&] {
                QFile f(path);
                return f.open(QIODevice::ReadOnly) && f.readAll().contains(entry);
            });
            if (listening) {
                ready = true;
                return true;
            }
            QThread::msleep(50);
        }
        why = "the peer's program did not start";
        return false;
    }

    // Ends the program as a shutdown does (a WS-Discovery host says Bye).
    void stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(5000);
    }

    bool ready = false;
    const char *why = "";
    QProcess process;

private:
    NetNamespace peer_;
};

// Serving when its metadata port (5357) listens. With a uuid, its endpoint
// is "urn:uuid:" and that.
inline bool StartWsdd(PeerHost &peer, const QString &name, const QString &workgroup, const QString &uuid = {})
{
    QStringList args{QStringLiteral("-i"), QStringLiteral("vpeer"), QStringLiteral("-4"), QStringLiteral("-n"), name,
                     QStringLiteral("-w"), workgroup};
    if (!uuid.isEmpty())
        args << QStringLiteral("-U") << uuid;
    return peer.start(QStringLiteral("wsdd"), args, "tcp", ":14ED 00000000:0000 0A");
}

// A name server with its own configuration and state in `dir`; serving when
// it has bound the name service port (137).
inline bool StartNmbd(PeerHost &peer, const QString &name, const QString &dir)
{
    QDir().mkpath(dir);
    QFile conf(dir + QStringLiteral("/nmbd.conf"));
    const QByteArray d = QFile::encodeName(dir);
    if (!conf.open(QIODevice::WriteOnly) ||
        conf.write("[global]\n  netbios name = " + name.toLatin1() +
                   "\n  workgroup = WORKGROUP\n  interfaces = vpeer\n  bind interfaces only = yes\n"
                   "  disable netbios = no\n  local master = no\n  domain master = no\n  preferred master = no\n"
                   "  lock directory = " + d + "\n  state directory = " + d + "\n  cache directory = " + d +
                   "\n  pid directory = " + d + "\n  private dir = " + d + "\n  log file = " + d + "/log\n") < 0)
        return false;
    conf.close();
    return peer.start(QStringLiteral("nmbd"),
                      {QStringLiteral("-F"), QStringLiteral("--no-process-group"), QStringLiteral("-s"), conf.fileName()},
                      "udp", ":0089 ");
}
