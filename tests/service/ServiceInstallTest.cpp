#include "service/ServiceInstall.h"
#include "support/TempDir.h"

#include <QFile>

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
    const QString user = UnitText(QStringLiteral("/opt/corvane/corvane"), QStringLiteral("/opt/corvane/"), false);
    EXPECT_EQ(user, QStringLiteral("[Unit]\n"
                                   "Description=Corvane Service\n"
                                   "\n"
                                   "[Service]\n"
                                   "Type=simple\n"
                                   "Environment=\"CORVANE_DIR=/opt/corvane/\"\n"
                                   "ExecStart=\"/opt/corvane/corvane\"\n"
                                   "\n"
                                   "[Install]\n"
                                   "WantedBy=default.target\n"));
    EXPECT_TRUE(UnitText(QStringLiteral("/c"), QStringLiteral("/"), true).contains(QStringLiteral("WantedBy=multi-user.target\n")));
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
