#pragma once
// A private Samba server on 127.0.0.1 for one test (tools/samba-test-server),
// and SMB clients that hold a session open against it. Every process started
// here is bounded in time and stopped by the destructors.
#include "TempDir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QThread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>

class SambaTestServer {
public:
    static constexpr char Account[] = "nobody";
    static constexpr char Password[] = "corvane";
    static constexpr char Share[] = "DATA";

    // Why the server cannot run here, or empty when it can.
    static QString Unavailable()
    {
        if (geteuid() != 0)
            return QStringLiteral("the private Samba server needs root");
        for (const char *p : {"smbd", "smbclient", "smbstatus", "testparm", "pdbedit"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(p)).isEmpty()
                && QStandardPaths::findExecutable(QString::fromLatin1(p), {QStringLiteral("/usr/sbin")}).isEmpty())
                return QStringLiteral("%1 is not installed").arg(QLatin1String(p));
        return {};
    }

    bool Start()
    {
        port_ = FreePort();
        QProcess p;
        p.start(script(), {QStringLiteral("start"), dir_.path(QStringLiteral("srv")), QString::number(port_)});
        if (!p.waitForFinished(30000)) {
            p.kill();
            p.waitForFinished();
            return false;
        }
        config_ = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        started_ = p.exitCode() == 0 && !config_.isEmpty();
        return started_;
    }

    ~SambaTestServer()
    {
        if (!started_)
            return;
        QProcess p;
        p.start(script(), {QStringLiteral("stop"), dir_.path(QStringLiteral("srv"))});
        if (!p.waitForFinished(30000))
            p.kill();
        p.waitForFinished();
    }

    int Port() const { return port_; }
    QString Config() const { return config_; }
    QString ShareDir() const { return dir_.path(QStringLiteral("srv/share")); }
    QString MessageDir() const { return dir_.path(QStringLiteral("srv/messages")); }

    // The messages delivered so far, oldest first: sender, recipient line,
    // text (UTF-8 in the files).
    struct Message {
        QString Sender;
        QString Text;
    };
    QList<Message> Messages() const
    {
        QList<Message> out;
        QDir d(MessageDir());
        for (const QString &name : d.entryList({QStringLiteral("*.msg")}, QDir::Files, QDir::Name)) {
            QFile f(d.filePath(name));
            if (!f.open(QIODevice::ReadOnly))
                continue;
            const QString sender = QString::fromUtf8(f.readLine()).chopped(1);
            f.readLine(); // the recipient line carries nothing useful
            out.append({sender, QString::fromUtf8(f.readAll())});
        }
        return out;
    }

    // Waits (at most timeoutMs) until pred holds.
    static bool WaitFor(const std::function<bool()> &pred, int timeoutMs = 8000)
    {
        QElapsedTimer t;
        t.start();
        while (!pred()) {
            if (t.elapsed() > timeoutMs)
                return false;
            QThread::msleep(50);
        }
        return true;
    }

    // A client connected to a share of this server, commands written on its
    // standard input; it stays until Disconnect or destruction (at most two
    // minutes in any case).
    class Client {
    public:
        Client(int port, const QString &share)
        {
            process_.setProcessChannelMode(QProcess::MergedChannels);
            process_.start(QStringLiteral("timeout"),
                           {QStringLiteral("120"), QStringLiteral("smbclient"), QStringLiteral("-p"),
                            QString::number(port), QStringLiteral("//127.0.0.1/") + share, QStringLiteral("-U"),
                            QStringLiteral("%1%%2").arg(QLatin1String(Account), QLatin1String(Password)),
                            QStringLiteral("--option=client min protocol=NT1")});
            process_.waitForStarted(5000);
        }
        ~Client() { Disconnect(); }
        void Command(const QByteArray &line)
        {
            process_.write(line + '\n');
            process_.waitForBytesWritten(1000);
        }
        void Disconnect()
        {
            if (process_.state() == QProcess::NotRunning)
                return;
            process_.closeWriteChannel();
            if (!process_.waitForFinished(5000)) {
                process_.kill();
                process_.waitForFinished(2000);
            }
        }
        QByteArray Output()
        {
            process_.waitForReadyRead(100);
            return process_.readAll();
        }

    private:
        QProcess process_;
    };

    static int FreePort()
    {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        int port = 4450;
        if (s >= 0 && bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0
            && getsockname(s, reinterpret_cast<sockaddr *>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        if (s >= 0)
            close(s);
        return port;
    }

private:
    static QString script() { return QStringLiteral(CORVANE_SOURCE_DIR "/tools/samba-test-server"); }

    TempDir dir_;
    QString config_;
    int port_ = 0;
    bool started_ = false;
};
