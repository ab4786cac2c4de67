// The power-off request over D-Bus, against a fake logind on a private bus
// daemon that this test starts: the real system bus is never touched.

#include "platform/LogindShutdown.h"

#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include <atomic>
#include <optional>

#include <gtest/gtest.h>

namespace {

class FakeLogind : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    // Set before the first call, read on the fake's own thread.
    QString canAnswer;
    QString refusal; // empty: PowerOff is accepted

    std::atomic<int> powerOffs{0};
    std::atomic<int> interactive{-1};

public slots:
    QString CanPowerOff() { return canAnswer; }
    void PowerOff(bool asked)
    {
        ++powerOffs;
        interactive = asked ? 1 : 0;
        if (!refusal.isEmpty())
            sendErrorReply(QDBusError::AccessDenied, refusal);
    }
};

// A bus daemon of its own, the fake logind served on a thread of its own (the
// right is asked with a blocking call), and a client connection for the code
// under test.
class PrivateLogind : public ::testing::Test {
protected:
    void SetUp() override
    {
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                      QStringLiteral("--address=unix:path=") + dir.path(QStringLiteral("bus")),
                      QStringLiteral("--print-address")});
        if (!daemon.waitForStarted(5000))
            GTEST_SKIP() << "no dbus-daemon";
        QDeadlineTimer deadline(5000);
        while (!daemon.canReadLine() && !deadline.hasExpired())
            daemon.waitForReadyRead(100);
        const QString address = QString::fromLatin1(daemon.readLine().trimmed());
        ASSERT_FALSE(address.isEmpty());

        fake.moveToThread(&thread);
        thread.start();
        service.emplace(QDBusConnection::connectToBus(address, QStringLiteral("fake-logind")));
        ASSERT_TRUE(service->isConnected());
        ASSERT_TRUE(service->registerObject(QStringLiteral("/org/freedesktop/login1"), &fake,
                                            QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(service->registerService(QStringLiteral("org.freedesktop.login1")));
        client.emplace(QDBusConnection::connectToBus(address, QStringLiteral("logind-client")));
        ASSERT_TRUE(client->isConnected());
    }

    void TearDown() override
    {
        client.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("logind-client"));
        if (service)
            service->unregisterObject(QStringLiteral("/org/freedesktop/login1"));
        service.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-logind"));
        thread.quit();
        thread.wait(5000);
        daemon.terminate();
        if (!daemon.waitForFinished(5000)) {
            daemon.kill();
            daemon.waitForFinished(5000);
        }
    }

    struct Outcome {
        bool answered = false;
        bool accepted = false;
        QString reason;
    };

    // One power-off request, waited for (bounded) through the event loop.
    Outcome request()
    {
        Outcome outcome;
        LogindShutdown logind(*client);
        logind.PowerOff([&](bool accepted, const QString &reason) {
            outcome = {true, accepted, reason};
        });
        QDeadlineTimer deadline(5000);
        while (!outcome.answered && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return outcome;
    }

    TempDir dir;
    QProcess daemon;
    QThread thread;
    FakeLogind fake;
    std::optional<QDBusConnection> service, client;
};

} // namespace

TEST_F(PrivateLogind, AChallengeIsAnsweredInteractivelyAndYesIsNot)
{
    fake.canAnswer = QStringLiteral("challenge");
    EXPECT_TRUE(LogindShutdown(*client).CanPowerOff());
    Outcome outcome = request();
    EXPECT_TRUE(outcome.answered);
    EXPECT_TRUE(outcome.accepted);
    EXPECT_EQ(fake.interactive, 1);

    fake.canAnswer = QStringLiteral("yes");
    outcome = request();
    EXPECT_TRUE(outcome.accepted);
    EXPECT_EQ(fake.interactive, 0);
    EXPECT_EQ(fake.powerOffs, 2);
}

TEST_F(PrivateLogind, ARefusalComesBackWithItsReason)
{
    fake.canAnswer = QStringLiteral("challenge");
    fake.refusal = QStringLiteral("Interactive authentication required.");
    Outcome outcome = request();
    EXPECT_TRUE(outcome.answered);
    EXPECT_FALSE(outcome.accepted);
    EXPECT_EQ(outcome.reason.toStdString(), "Interactive authentication required.");

    // A right that is gone by now is not even asked for.
    fake.canAnswer = QStringLiteral("no");
    outcome = request();
    EXPECT_FALSE(outcome.accepted);
    EXPECT_EQ(outcome.reason.toStdString(), "not allowed (no)");
    EXPECT_EQ(fake.powerOffs, 1);
}

#include "LogindShutdownTest.moc"
