#include "platform/Platform.h"
#include "platform/RemotePlatformQuery.h"

#include <gtest/gtest.h>

namespace {

PlatformVersion Version(quint32 id, quint32 major, quint32 minor, const QString &service = {}, quint32 build = 0,
                        quint16 suite = 0)
{
    PlatformVersion v;
    v.PlatformId = id;
    v.MajorVersion = major;
    v.MinorVersion = minor;
    v.ServiceText = service;
    v.BuildNumber = build;
    v.SuiteMask = suite;
    return v;
}

struct NameRow {
    PlatformVersion version;
    const char *text;
    int family;
};

TEST(PlatformName, EveryVersionRowAndItsFamily)
{
    const NameRow rows[] = {
        // The build number keeps only its low 16 bits.
        {Version(0, 3, 10, {}, 0x04000000 | 172), "Windows 3.1 with Win32s Build 172", 0},
        {Version(1, 4, 0, QStringLiteral(" C")), "Windows 95 C", 1},
        {Version(1, 4, 10, QStringLiteral(" A")), "Windows 98SE", 1},
        {Version(1, 4, 10, QStringLiteral(" B")), "Windows 98 B", 1},
        {Version(1, 4, 10, {}), "Windows 98", 1},
        {Version(1, 4, 10, QStringLiteral("A")), "Windows 98A", 1},
        {Version(1, 4, 90, QStringLiteral(" x")), "Windows ME x", 1},
        {Version(1, 4, 20, QStringLiteral("sp")), "Windows ??sp", 1},
        {Version(2, 5, 0, QStringLiteral("Service Pack 4")), "Windows 2000 Service Pack 4", 2},
        {Version(2, 5, 1, QStringLiteral("Service Pack 2"), 2600, SuitePersonal), "Windows XP Home Edition", 2},
        {Version(2, 5, 1, QStringLiteral("Service Pack 2"), 2600, 0x0100), "Windows XP Professional", 2},
        {Version(2, 5, 2, QStringLiteral("Service Pack 1")), "Windows Server 2003 ", 2},
        {Version(2, 4, 0, QStringLiteral("Service Pack 6")), "Windows NT4.0 Service Pack 6", 2},
        {Version(2, 6, 0, QStringLiteral("Service Pack 1")), "Windows NT6.0 Service Pack 1", 2},
        {Version(2, 6, 1, {}), "Windows NT6.1 ", 2},
        {Version(3, 10, 0, QStringLiteral("x")), "OS Unknown", 3},
        {Version(7, 1, 0), "OS Unknown", 3},
    };
    for (const NameRow &row : rows) {
        const PlatformIdentity id = IdentifyPlatform(row.version);
        EXPECT_EQ(id.Name, QString::fromUtf8(row.text)) << row.text;
        EXPECT_EQ(PlatformName(row.version), id.Name) << row.text;
        EXPECT_EQ(id.Family, row.family) << row.text;
        EXPECT_FALSE(id.OldShell) << row.text;
    }
}

TEST(PlatformName, OnlyNtThreeIsTheOldShell)
{
    const PlatformIdentity nt3 = IdentifyPlatform(Version(2, 3, 51, QStringLiteral("Service Pack 5")));
    EXPECT_EQ(nt3.Name, QStringLiteral("Windows NT3.51 Service Pack 5"));
    EXPECT_TRUE(nt3.OldShell);
    EXPECT_FALSE(IdentifyPlatform(Version(2, 5, 0)).OldShell);
    EXPECT_FALSE(LocalPlatform().OldShell);
    EXPECT_FALSE(IdentifyPlatform(Version(1, 3, 0)).OldShell);  // major 3 outside the NT family
}

TEST(PlatformName, ThisMachineIsTheNtFamilyWithItsDistributionAndKernel)
{
    const PlatformIdentity local = LocalPlatform();
    const QString text = local.Name;
    EXPECT_EQ(local.Family, 2);
    EXPECT_EQ(PlatformFamily, 2);
    EXPECT_EQ(PlatformName(), text);
    EXPECT_FALSE(text.isEmpty());
    EXPECT_EQ(LinuxPlatformName(QStringLiteral("Debian GNU/Linux 12 (bookworm)"), QStringLiteral("6.1.0-18-amd64")),
              QStringLiteral("Debian GNU/Linux 12 (bookworm) 6.1.0-18-amd64"));
    EXPECT_EQ(LinuxPlatformName({}, QStringLiteral("6.1.0")), QStringLiteral("Linux 6.1.0"));
    EXPECT_EQ(LinuxPlatformName(QStringLiteral("Alpine"), {}), QStringLiteral("Alpine"));
}

TEST(OsReleaseValue, QuotesEscapesAndMissingKeys)
{
    const QByteArray file = "NAME=Debian\n"
                            "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"
                            "VERSION='12 (bookworm)'\n"
                            "ESCAPED=\"a \\\"b\\\" \\\\c\"\n"
                            "# PRETTY_NAME=comment\n"
                            "UTF=\"Ubuntu\xE2\x84\xA2\"\n";
    EXPECT_EQ(OsReleaseValue(file, "PRETTY_NAME"), QStringLiteral("Debian GNU/Linux 12 (bookworm)"));
    EXPECT_EQ(OsReleaseValue(file, "NAME"), QStringLiteral("Debian"));
    EXPECT_EQ(OsReleaseValue(file, "VERSION"), QStringLiteral("12 (bookworm)"));
    EXPECT_EQ(OsReleaseValue(file, "ESCAPED"), QStringLiteral("a \"b\" \\c"));
    EXPECT_EQ(OsReleaseValue(file, "UTF"), QString::fromUtf8("Ubuntu\xE2\x84\xA2"));
    EXPECT_EQ(OsReleaseValue(file, "ID"), QString());
    EXPECT_EQ(OsReleaseValue("PRETTY_NAME=\"unterminated", "PRETTY_NAME"), QStringLiteral("unterminated"));
}

TEST(ServerTypeName, EveryRow)
{
    struct Row {
        quint32 id, type;
        const char *text;
    } rows[] = {
        {0, SV_TYPE_WINDOWS, "Windows 9x"},
        {0, SV_TYPE_WINDOWS | SV_TYPE_NT, "Windows 9x"},  // the consumer bit is tested first
        {0, SV_TYPE_NT | 0x3, "Windows NT"},
        {0, 0x3, "OS Unknown"},
        {300, SV_TYPE_NT, "DOS"},
        {400, SV_TYPE_WINDOWS, "Windows 9x"},
        {400, SV_TYPE_NT, "OS/2"},
        {500, 0, "Windows NT"},
        {600, SV_TYPE_NT, "OS Unknown"},
        {1, SV_TYPE_WINDOWS, "OS Unknown"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(ServerTypeName(r.id, r.type), QString::fromLatin1(r.text)) << r.id << " " << r.type;
}

TEST(NetbiosComputerName, FirstLabelUpperCaseAtMostFifteen)
{
    EXPECT_EQ(NetbiosComputerName(QStringLiteral("pc12.example.com")), QStringLiteral("PC12"));
    EXPECT_EQ(NetbiosComputerName(QStringLiteral("a-very-long-host-name")), QStringLiteral("A-VERY-LONG-HOS"));
    EXPECT_EQ(NetbiosComputerName(QString()), QString());
}

class FakeBrowser : public RemotePlatformQuery {
public:
    QString name = QStringLiteral("MYPC");
    bool listAnswers = true;
    QList<ServerListEntry> list;
    ServerInfoAnswer infoAnswer = ServerInfoAnswer::Answered;
    quint32 infoType = 0;
    QString askedDomain, askedComputer, askedServer;
    int queries = 0;

    QString ComputerName() override { return name; }
    bool ListServers(const QString &domain, const QString &computerName, QList<ServerListEntry> &servers) override
    {
        ++queries;
        askedDomain = domain;
        askedComputer = computerName;
        servers = list;
        return listAnswers;
    }
    ServerInfoAnswer ServerType(const QString &server, quint32 &type) override
    {
        ++queries;
        askedServer = server;
        type = infoType;
        return infoAnswer;
    }
};

QString Remote(const QString &computer, FakeBrowser &browser, const PlatformVersion &local)
{
    return RemotePlatformName(computer, QStringLiteral("WORKGROUP"), browser, [&] { return IdentifyPlatform(local); });
}

TEST(RemotePlatformName, NtFamilyUsesTheServerListAndTheLastEqualName)
{
    const PlatformVersion nt = Version(2, 5, 0, QStringLiteral("SP4"));
    FakeBrowser b;
    b.list = {{QStringLiteral("PC1"), 500, SV_TYPE_NT},
              {QStringLiteral("PC2"), 400, 0},
              {QStringLiteral("pc2"), 300, 0},
              {QStringLiteral("PC2"), 0, SV_TYPE_WINDOWS}};
    EXPECT_EQ(Remote(QStringLiteral("PC1"), b, nt), QStringLiteral("Windows NT"));
    EXPECT_EQ(b.askedDomain, QStringLiteral("WORKGROUP"));
    EXPECT_EQ(b.askedComputer, QStringLiteral("PC1"));
    EXPECT_EQ(Remote(QStringLiteral("PC2"), b, nt), QStringLiteral("Windows 9x"));
    EXPECT_EQ(Remote(QStringLiteral("PC3"), b, nt), QString());
    b.listAnswers = false;
    EXPECT_EQ(Remote(QStringLiteral("PC1"), b, nt), QString());
}

TEST(RemotePlatformName, ThisMachineAndTheVersionBoxAnswerLocallyWithoutAsking)
{
    FakeBrowser b;
    b.list = {{QStringLiteral("MYPC"), 300, 0}};
    const PlatformVersion nt = Version(2, 5, 0, QStringLiteral("SP4"));
    EXPECT_EQ(Remote(QStringLiteral("MYPC"), b, nt), QStringLiteral("Windows 2000 SP4"));
    EXPECT_EQ(Remote(QStringLiteral("Get My OS Version"), b, nt), QStringLiteral("Windows 2000 SP4"));
    EXPECT_EQ(b.queries, 0);
    // The name comparison is exact.
    EXPECT_EQ(Remote(QStringLiteral("mypc"), b, nt), QString());
    EXPECT_EQ(b.queries, 1);
    b.name.clear();
    EXPECT_EQ(Remote(QStringLiteral("MYPC"), b, nt), QString());

    // With the default, this machine is Linux (family 2).
    FakeBrowser local;
    EXPECT_EQ(RemotePlatformName(QStringLiteral("MYPC"), {}, local), PlatformName());
}

TEST(RemotePlatformName, ConsumerFamilyAsksTheServerItself)
{
    const PlatformVersion me = Version(1, 4, 90);
    FakeBrowser b;
    b.infoType = SV_TYPE_NT;
    EXPECT_EQ(Remote(QStringLiteral("PC1"), b, me), QStringLiteral("Windows NT"));
    EXPECT_EQ(b.askedServer, QStringLiteral("PC1"));
    b.infoAnswer = RemotePlatformQuery::ServerInfoAnswer::Refused;
    EXPECT_EQ(Remote(QStringLiteral("PC1"), b, me), QStringLiteral("WindowsNT ?"));
    b.infoAnswer = RemotePlatformQuery::ServerInfoAnswer::NoEntryPoint;
    EXPECT_EQ(Remote(QStringLiteral("PC1"), b, me), QString());
    EXPECT_EQ(Remote(QStringLiteral("MYPC"), b, me), QStringLiteral("Windows ME"));
}

TEST(RemotePlatformName, OtherFamiliesAreUnknown)
{
    FakeBrowser b;
    EXPECT_EQ(Remote(QStringLiteral("MYPC"), b, Version(0, 3, 10)), QStringLiteral("OS Unknown"));
    EXPECT_EQ(Remote(QStringLiteral("PC1"), b, Version(9, 0, 0)), QStringLiteral("OS Unknown"));
    EXPECT_EQ(b.queries, 0);
}

}  // namespace
