#include "service/ServiceInstall.h"
#include "support/TempDir.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

TEST(ServiceSwitches, AnyCaseAndPrefixInstallWins)
{
    EXPECT_EQ(ParseServiceSwitches({}).Command, ServiceCommand::None);
    EXPECT_EQ(ParseServiceSwitches({QStringLiteral("34")}).Command, ServiceCommand::None);
    EXPECT_EQ(ParseServiceSwitches({QStringLiteral("INSTALL")}).Command, ServiceCommand::Install);
    EXPECT_EQ(ParseServiceSwitches({QStringLiteral("/install")}).Command, ServiceCommand::Install);
    EXPECT_EQ(ParseServiceSwitches({QStringLiteral("--UnInstall")}).Command, ServiceCommand::Uninstall);
    EXPECT_EQ(ParseServiceSwitches({QStringLiteral("UNINSTALL"), QStringLiteral("INSTALL")}).Command,
              ServiceCommand::Install);
    EXPECT_EQ(ParseServiceSwitches({QStringLiteral("INSTALLX")}).Command, ServiceCommand::None);
    const ServiceSwitches silent = ParseServiceSwitches({QStringLiteral("-silent"), QStringLiteral("UNINSTALL")});
    EXPECT_EQ(silent.Command, ServiceCommand::Uninstall);
    EXPECT_TRUE(silent.Silent);
    EXPECT_FALSE(ParseServiceSwitches({QStringLiteral("INSTALL")}).Silent);
}

TEST(UnitText, RunsTheProgramWithItsDirectory)
{
    // A user's unit starts with the desktop, which gives it its display.
    const QString user = UnitText(QStringLiteral("/opt/corvane/corvane"), QStringLiteral("/opt/corvane/"), false);
    EXPECT_EQ(user, QStringLiteral("[Unit]\n"
                                   "Description=Corvane Service\n"
                                   "PartOf=graphical-session.target\n"
                                   "After=graphical-session.target\n"
                                   "\n"
                                   "[Service]\n"
                                   "Type=simple\n"
                                   "Environment=\"CORVANE_DIR=/opt/corvane/\"\n"
                                   "ExecStart=\"/opt/corvane/corvane\"\n"
                                   "Restart=on-failure\n"
                                   "RestartSec=5\n"
                                   "RestartPreventExitStatus=10\n"
                                   "\n"
                                   "[Install]\n"
                                   "WantedBy=graphical-session.target\n"));
    // The system's unit runs headless for a server, its files in systemd's
    // state folder.
    const QString system = UnitText(QStringLiteral("/c"), QStringLiteral("/var/lib/corvane/"), true);
    EXPECT_TRUE(system.contains(QStringLiteral("WantedBy=multi-user.target\n")));
    EXPECT_TRUE(system.contains(QStringLiteral("StateDirectory=corvane\n")));
    // No login gives a service a runtime folder; Qt wants one of its own.
    EXPECT_TRUE(system.contains(QStringLiteral("RuntimeDirectory=corvane\nRuntimeDirectoryMode=0700\n"
                                               "Environment=XDG_RUNTIME_DIR=%t/corvane\n")));
    EXPECT_TRUE(system.contains(QStringLiteral("Restart=on-failure\n")));
    EXPECT_FALSE(system.contains(QStringLiteral("graphical")));
}

TEST(UnitText, SystemdReadsBothUnitsWithoutAComplaint)
{
    const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    if (analyze.isEmpty())
        GTEST_SKIP() << "no systemd-analyze here";
    for (const bool systemUnit : {false, true}) {
        TempDir dir;
        QString error;
        ASSERT_TRUE(InstallUnit(dir.path(), QStringLiteral("/bin/true"), QStringLiteral("/var/lib/corvane/"), systemUnit,
                                error));
        QProcess verify;
        verify.setProcessChannelMode(QProcess::MergedChannels);
        verify.start(analyze, {QStringLiteral("verify"), dir.path(QLatin1String(UnitFileName))});
        ASSERT_TRUE(verify.waitForFinished(30000));
        EXPECT_EQ(verify.exitCode(), 0);
        EXPECT_EQ(verify.readAll(), QByteArray()) << systemUnit;
    }
}

TEST(UnitText, PathsThatSystemdWouldReadOtherwiseAreEscaped)
{
    EXPECT_EQ(SystemdQuote(QStringLiteral("/my dir/100%/a\"b\\c$HOME"), true),
              QStringLiteral("\"/my dir/100%%/a\\\"b\\\\c$$HOME\""));
    // Environment assignments expand no variables, only specifiers.
    EXPECT_EQ(SystemdQuote(QStringLiteral("CORVANE_DIR=/x$y%z/"), false), QStringLiteral("\"CORVANE_DIR=/x$y%%z/\""));
}

TEST(UnitFile, InstallWritesAndUninstallRemoves)
{
    TempDir dir;
    const QString unitDir = dir.path(QStringLiteral("systemd/user"));
    QString error;
    ASSERT_TRUE(InstallUnit(unitDir, QStringLiteral("/opt/c/corvane"), QStringLiteral("/opt/c/"), false, error)) << qPrintable(error);
    EXPECT_EQ(dir.read(QStringLiteral("systemd/user/krovan.service")),
              UnitText(QStringLiteral("/opt/c/corvane"), QStringLiteral("/opt/c/"), false).toUtf8());
    // Installing again rewrites the unit (the program may have moved).
    ASSERT_TRUE(InstallUnit(unitDir, QStringLiteral("/new/corvane"), QStringLiteral("/new/"), false, error));
    EXPECT_TRUE(dir.read(QStringLiteral("systemd/user/krovan.service")).contains("ExecStart=\"/new/corvane\""));

    ASSERT_TRUE(UninstallUnit(unitDir, error)) << qPrintable(error);
    EXPECT_FALSE(dir.exists(QStringLiteral("systemd/user/krovan.service")));
    EXPECT_FALSE(UninstallUnit(unitDir, error));
    EXPECT_TRUE(error.contains(QStringLiteral("not installed")));
}

TEST(UnitFile, AnUnwritableDirectoryFails)
{
    TempDir dir;
    ASSERT_TRUE(dir.write(QStringLiteral("file"), "x"));
    QString error;
    EXPECT_FALSE(InstallUnit(dir.path(QStringLiteral("file/sub")), QStringLiteral("/c"), QStringLiteral("/"), false, error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(UnitDirectory, RedirectedOrBySortOfUnit)
{
    const QByteArray saved = qgetenv("CORVANE_UNIT_DIR");
    qputenv("CORVANE_UNIT_DIR", "/tmp/units");
    EXPECT_EQ(UnitDirectory(true), QStringLiteral("/tmp/units"));
    qunsetenv("CORVANE_UNIT_DIR");
    EXPECT_EQ(UnitDirectory(true), QStringLiteral("/etc/systemd/system"));
    EXPECT_TRUE(UnitDirectory(false).endsWith(QStringLiteral("/systemd/user")));
    if (!saved.isNull())
        qputenv("CORVANE_UNIT_DIR", saved);
}

}  // namespace
