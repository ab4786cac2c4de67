// The real program, run as a child process on the offscreen platform with
// its program directory in a scratch folder.

#include "config/Settings.h"
#include "support/TempDir.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <csignal>

#include <gtest/gtest.h>

namespace {

QProcessEnvironment Environment(const TempDir &dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CORVANE_DIR"), dir.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("CORVANE_UNIT_DIR"), dir.path(QStringLiteral("units")));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
}

// True once the process catches the signal, that is once its handlers are in.
bool Catches(qint64 pid, int signalNumber)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signalNumber - 1)) & 1;
    }
    return false;
}

class CorvaneProcess : public ::testing::Test {
protected:
    void Start()
    {
        process.setProcessEnvironment(Environment(dir));
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(QStringLiteral(CORVANE_BINARY), {});
        ASSERT_TRUE(process.waitForStarted(10000));
        QDeadlineTimer deadline(30000);
        while (!Catches(process.processId(), SIGTERM) && !deadline.hasExpired())
            QThread::msleep(20);
        ASSERT_TRUE(Catches(process.processId(), SIGTERM));
    }

    void Signal(int signalNumber) { ASSERT_EQ(::kill(pid_t(process.processId()), signalNumber), 0); }

    void TearDown() override
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    TempDir dir;
    QProcess process;
};

TEST_F(CorvaneProcess, StartsWithNoFilesAndEndsOnSigtermWithTheSettingsWritten)
{
    Start();
    // Stop and start requests leave the process running.
    Signal(SIGUSR2);
    Signal(SIGUSR1);
    EXPECT_FALSE(process.waitForFinished(500));
    EXPECT_FALSE(dir.exists(QStringLiteral("Krovan.ini")));

    Signal(SIGTERM);
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);

    ASSERT_TRUE(dir.exists(QStringLiteral("Krovan.ini")));
    EXPECT_FALSE(dir.exists(QStringLiteral("Krovan.NT")));  // an empty list is not saved on its own
    TSettings back;
    LoadSettings(back, dir.path(), {}, nullptr);
    EXPECT_EQ(back.Krovan.Version, QStringLiteral("2.10a"));
    EXPECT_EQ(back.MainWnd.ColPosition, QStringLiteral("0,1,2,3,4,5,6,7,8,9,10"));
    EXPECT_FALSE(back.MainWnd.Size.isEmpty());
}

TEST_F(CorvaneProcess, StoppedServiceEndsOnSighupToo)
{
    Start();
    Signal(SIGUSR2);
    Signal(SIGHUP);
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(dir.exists(QStringLiteral("Krovan.ini")));
}

TEST_F(CorvaneProcess, InstallAndUninstallTouchOnlyTheUnit)
{
    QProcess install;
    install.setProcessEnvironment(Environment(dir));
    install.start(QStringLiteral(CORVANE_BINARY), {QStringLiteral("INSTALL")});
    ASSERT_TRUE(install.waitForFinished(30000));
    EXPECT_EQ(install.exitCode(), 0);
    EXPECT_TRUE(install.readAllStandardOutput().contains("installed"));
    const QByteArray unit = dir.read(QStringLiteral("units/krovan.service"));
    EXPECT_TRUE(unit.contains("Description=Corvane Service\n"));
    EXPECT_TRUE(unit.contains("ExecStart=\"" CORVANE_BINARY "\"\n"));
    EXPECT_TRUE(unit.contains("Environment=\"CORVANE_DIR=" + dir.path().toUtf8() + "\"\n"));
    // Neither command starts the console, so no settings are written.
    EXPECT_FALSE(dir.exists(QStringLiteral("Krovan.ini")));

    QProcess uninstall;
    uninstall.setProcessEnvironment(Environment(dir));
    uninstall.start(QStringLiteral(CORVANE_BINARY), {QStringLiteral("UNINSTALL"), QStringLiteral("SILENT")});
    ASSERT_TRUE(uninstall.waitForFinished(30000));
    EXPECT_EQ(uninstall.exitCode(), 0);
    EXPECT_EQ(uninstall.readAllStandardOutput(), QByteArray());
    EXPECT_FALSE(dir.exists(QStringLiteral("units/krovan.service")));

    // Nothing left to remove is a failure.
    uninstall.start(QStringLiteral(CORVANE_BINARY), {QStringLiteral("UNINSTALL"), QStringLiteral("SILENT")});
    ASSERT_TRUE(uninstall.waitForFinished(30000));
    EXPECT_NE(uninstall.exitCode(), 0);
    EXPECT_FALSE(dir.exists(QStringLiteral("Krovan.ini")));
}

}  // namespace
