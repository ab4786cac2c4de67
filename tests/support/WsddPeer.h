#pragma once
// A computer that announces itself by WS-Discovery only (wsdd), in a peer
// namespace joined to the calling one by a veth pair: 10.77.0.1 here,
// 10.77.0.2 there. Inside a NetNamespace::run body only; nothing of it
// reaches the host's interfaces. Ends with SIGTERM, which makes it say Bye.

#include "support/NetNamespace.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

class WsddPeer {
public:
    WsddPeer(const QString &name, const QString &workgroup)
    {
        if (QStandardPaths::findExecutable(QStringLiteral("wsdd")).isEmpty()) {
            why = "wsdd is not installed";
            return;
        }
        const NetNamespace here = NetNamespace::current();
        const NetNamespace peer = NetNamespace::create();
        if (!NetNamespace::link(here, QStringLiteral("vhere"), QStringLiteral("10.77.0.1/24"), peer,
                                QStringLiteral("vpeer"), QStringLiteral("10.77.0.2/24"))) {
            why = "no veth pair";
            return;
        }
        process.setProgram(QStringLiteral("nsenter"));
        process.setArguments({QStringLiteral("--net=") + peer.path(), QStringLiteral("wsdd"), QStringLiteral("-i"),
                              QStringLiteral("vpeer"), QStringLiteral("-4"), QStringLiteral("-n"), name,
                              QStringLiteral("-w"), workgroup});
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start();
        // Serving when its HTTP port listens (well under a second).
        for (int i = 0; i < 100 && process.state() != QProcess::NotRunning; ++i) {
            const bool listening = peer.inside([] {
                QFile tcp(QStringLiteral("/proc/thread-self/net/tcp"));
                return tcp.open(QIODevice::ReadOnly) && tcp.readAll().contains(":14ED 00000000:0000 0A");
            });
            if (listening) {
                ready = true;
                return;
            }
            QThread::msleep(50);
        }
        why = "wsdd did not start";
    }

    ~WsddPeer() { stop(); }

    // Ends it as a shutdown does: it says Bye first.
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
};
