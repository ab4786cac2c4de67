// Names and addresses through a private hosts file in a namespace of their
// own, so no lookup ever leaves the machine.

#include "ProbeTest.h"
#include "probe/Probe.h"
#include "support/NetNamespace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

namespace {

NetNamespace::Options hostsFile()
{
    NetNamespace::Options o;
    o.hosts = "127.0.0.1 localhost\n"
              "10.20.30.40 alpha.corvane.test alpha\n"
              "10.20.30.41 beta\n"
              "127.0.0.5 loopfive\n";
    return o;
}

struct Received {
    int calls = 0;
    QObject *sender = nullptr;
    quint32 host = 0;
    QString text;
    quint16 err = 0;
    bool onOwnerThread = false;
};

void listen(Probe &icmp, Received &r)
{
    icmp.OnReceiveIP = [&icmp, &r](QObject *sender, quint32 host, const QString &text, quint16 err) {
        ++r.calls;
        r.sender = sender;
        r.host = host;
        r.text = text;
        r.err = err;
        r.onOwnerThread = QThread::currentThread() == icmp.thread();
    };
}

// Runs the event loop until the condition holds or the time is up.
template <typename F>
bool processUntil(F done, int ms = 3000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

} // namespace

TEST(Lookup, ForwardAndReverseThroughTheHostsFile)
{
    NetNamespace::run(hostsFile(), [] {
        Probe icmp;
        ASSERT_TRUE(icmp.GetIPByName(QStringLiteral("alpha"))) << icmp.StatusText().toStdString();
        EXPECT_EQ(icmp.GetIPAddr(), QStringLiteral("10.20.30.40"));
        EXPECT_TRUE(icmp.StatusText().isEmpty());

        EXPECT_FALSE(icmp.GetIPByName(QStringLiteral("nowhere")));
        EXPECT_EQ(icmp.StatusText(), QStringLiteral("IPアドレスを取得できませんでした。"));
        EXPECT_EQ(icmp.LastError(), 11001);
        EXPECT_EQ(icmp.GetIPAddr(), QStringLiteral("10.20.30.40"));

        EXPECT_FALSE(icmp.GetIPByName(QString()));
        EXPECT_EQ(icmp.StatusText(), QStringLiteral("コンピュータ名を指定して下さい。"));
        EXPECT_EQ(icmp.GetIPAddr(), QStringLiteral("10.20.30.40"));

        // The official name is the first on the line, whatever was asked.
        ASSERT_TRUE(icmp.GetNameByIP(QStringLiteral("10.20.30.40"))) << icmp.StatusText().toStdString();
        EXPECT_EQ(icmp.HostName, QStringLiteral("alpha.corvane.test"));
        icmp.HostName = QStringLiteral("kept");
        EXPECT_FALSE(icmp.GetNameByIP(QStringLiteral("10.20.30.99")));
        EXPECT_EQ(icmp.StatusText(), QStringLiteral("ホスト名の取得に失敗しました。11001"));
        EXPECT_EQ(icmp.LastError(), 11001);
        EXPECT_EQ(icmp.HostName, QStringLiteral("kept"));
    });
}

TEST(Lookup, NameCheckPingsTheAddressTheNameResolvesTo)
{
    NetNamespace::run(hostsFile(), [] {
        Probe icmp;
        icmp.PingMode = Probe::NameCheck;
        icmp.HostName = QStringLiteral("loopfive");
        ASSERT_TRUE(icmp.Ping()) << icmp.StatusText().toStdString();
        EXPECT_EQ(icmp.GetIPAddr(), QStringLiteral("127.0.0.5"));
        icmp.HostName = QStringLiteral("nowhere");
        EXPECT_FALSE(icmp.Ping());
        EXPECT_EQ(icmp.StatusText(), QStringLiteral("IPアドレスを取得できませんでした。"));
    });
}

TEST(Lookup, AsynchronousLookupCompletesOnTheOwnersThread)
{
    NetNamespace::run(hostsFile(), [] {
        Probe icmp;
        Received r;
        listen(icmp, r);
        ASSERT_TRUE(icmp.AsyncGetIPByName(QStringLiteral("beta"))) << icmp.StatusText().toStdString();
        EXPECT_TRUE(icmp.LookupPending());
        EXPECT_FALSE(icmp.AsyncGetIPByName(QStringLiteral("alpha")));
        EXPECT_EQ(icmp.StatusText(), QStringLiteral("現在IPアドレスを問い合わせ中です。"));

        ASSERT_TRUE(processUntil([&] { return r.calls > 0; }));
        EXPECT_EQ(r.calls, 1);
        EXPECT_EQ(r.sender, &icmp);
        EXPECT_EQ(r.err, 0);
        EXPECT_EQ(r.text, QStringLiteral("10.20.30.41"));
        EXPECT_EQ(r.host, icmp.Address());
        EXPECT_TRUE(r.onOwnerThread);
        EXPECT_FALSE(icmp.LookupPending());
        EXPECT_EQ(icmp.GetIPAddr(), QStringLiteral("10.20.30.41"));

        // A failed lookup reports its error and the address held before.
        ASSERT_TRUE(icmp.AsyncGetIPByName(QStringLiteral("nowhere")));
        ASSERT_TRUE(processUntil([&] { return r.calls > 1; }));
        EXPECT_EQ(r.err, 11001);
        EXPECT_EQ(r.text, QStringLiteral("10.20.30.41"));
        EXPECT_EQ(icmp.StatusText(), QStringLiteral("IPアドレスを取得できませんでした。"));
        EXPECT_EQ(icmp.LastError(), 11001);
        EXPECT_FALSE(icmp.LookupPending());
    });
}

TEST(Lookup, CancelledLookupNeverDelivers)
{
    NetNamespace::run(hostsFile(), [] {
        Probe icmp;
        Received r;
        listen(icmp, r);
        ASSERT_TRUE(icmp.AsyncGetIPByName(QStringLiteral("alpha")));
        EXPECT_TRUE(icmp.AsyncGetCancel());
        EXPECT_TRUE(icmp.StatusText().isEmpty());
        EXPECT_FALSE(icmp.LookupPending());
        EXPECT_FALSE(icmp.AsyncGetCancel());
        EXPECT_EQ(icmp.StatusText(), QStringLiteral("現在、非同期ホストIP取得をしていません。"));

        // A new lookup starts at once; only its own answer arrives, even if
        // the cancelled one finishes later.
        ASSERT_TRUE(icmp.AsyncGetIPByName(QStringLiteral("beta")));
        ASSERT_TRUE(processUntil([&] { return r.calls > 0; }));
        processUntil([] { return false; }, 300);
        EXPECT_EQ(r.calls, 1);
        EXPECT_EQ(r.text, QStringLiteral("10.20.30.41"));

        // Deactivation and destruction drop a pending lookup too.
        ASSERT_TRUE(icmp.AsyncGetIPByName(QStringLiteral("alpha")));
        EXPECT_TRUE(icmp.Active(false));
        EXPECT_FALSE(icmp.LookupPending());
        {
            Probe gone;
            ASSERT_TRUE(gone.AsyncGetIPByName(QStringLiteral("alpha")));
        }
        processUntil([] { return false; }, 300);
        EXPECT_EQ(r.calls, 1);
        EXPECT_EQ(icmp.GetIPAddr(), QStringLiteral("10.20.30.41"));
    });
}
