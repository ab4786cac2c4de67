#include "ProbeTest.h"
#include "probe/Probe.h"

#include <QMetaProperty>
#include <gtest/gtest.h>

TEST(Probe, StartsWithTheStoredDefaults)
{
    Probe icmp;
    EXPECT_FALSE(icmp.ActiveFlag());
    EXPECT_FALSE(icmp.LookupPending());
    EXPECT_EQ(icmp.GetIPAddr(), QStringLiteral("0.0.0.0"));
    EXPECT_TRUE(icmp.HostName.isEmpty());
    EXPECT_EQ(icmp.PingMode, Probe::IPCheck);
    EXPECT_EQ(icmp.TimeOut, 2000);
    EXPECT_EQ(icmp.TTL, 128);
    EXPECT_EQ(icmp.SendBytes(), 0);
    EXPECT_TRUE(icmp.EX);
    EXPECT_EQ(icmp.LastError(), 0);
    EXPECT_EQ(icmp.ReplyTime(), 0u);
    EXPECT_EQ(icmp.ReplyTTL(), 0);
    EXPECT_EQ(icmp.ReplyBytes(), 0);

    // The stored properties in their order, reachable by name.
    const QMetaObject *meta = icmp.metaObject();
    QStringList names;
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
        names << QString::fromLatin1(meta->property(i).name());
    EXPECT_EQ(names, QStringList({"IPAddr", "HostName", "PingMode", "TimeOut", "TTL", "SendBytes", "EX"}));
    EXPECT_TRUE(icmp.setProperty("IPAddr", QStringLiteral("10.0.0.1")));
    EXPECT_EQ(icmp.property("IPAddr").toString(), QStringLiteral("10.0.0.1"));
    EXPECT_TRUE(icmp.setProperty("SendBytes", QVariant::fromValue<qint16>(30000)));
    EXPECT_EQ(icmp.SendBytes(), 10240);
}

TEST(Probe, AddressTextDropsBlanksAndUnparsableTextIsNoAddress)
{
    Probe icmp;
    icmp.SetIPAddr(QStringLiteral(" 192.168.  1.  2 "));
    EXPECT_EQ(icmp.GetIPAddr(), QStringLiteral("192.168.1.2"));
    // Network byte order: the first number is the first byte in memory.
    const quint32 a = icmp.Address();
    EXPECT_EQ(reinterpret_cast<const quint8 *>(&a)[0], 192);
    icmp.SetIPAddr(QStringLiteral("192.168.1.x"));
    EXPECT_EQ(icmp.GetIPAddr(), QStringLiteral("255.255.255.255"));
    icmp.SetIPAddr(QString());
    EXPECT_EQ(icmp.GetIPAddr(), QStringLiteral("255.255.255.255"));
}

TEST(Probe, SendBytesIsCappedAboveOnly)
{
    Probe icmp;
    icmp.SetSendBytes(20000);
    EXPECT_EQ(icmp.SendBytes(), 10240);
    icmp.SetSendBytes(10240);
    EXPECT_EQ(icmp.SendBytes(), 10240);
    icmp.SetSendBytes(-5);
    EXPECT_EQ(icmp.SendBytes(), -5);
}

TEST(Probe, ErrorNamesCoverTheStatusTableAndNothingElse)
{
    EXPECT_EQ(Probe::GetErrMsg(11001), QStringLiteral("IP_BUF_TOO_SMALL"));
    EXPECT_EQ(Probe::GetErrMsg(11002), QStringLiteral("IP_DEST_NET_UNREACHABLE"));
    EXPECT_EQ(Probe::GetErrMsg(11005), QStringLiteral("IP_DEST_PORT_UNREACHABLE"));
    EXPECT_EQ(Probe::GetErrMsg(11009), QStringLiteral("IP_PACKET_TOO_BIG"));
    EXPECT_EQ(Probe::GetErrMsg(11010), QStringLiteral("IP_REQ_TIMED_OUT"));
    EXPECT_EQ(Probe::GetErrMsg(11013), QStringLiteral("IP_TTL_EXPIRED_TRANSIT"));
    EXPECT_EQ(Probe::GetErrMsg(11034), QStringLiteral("IP_DUPLICATE_IPADD"));
    EXPECT_EQ(Probe::GetErrMsg(11050), QStringLiteral("IP_GENERAL_FAILURE"));
    EXPECT_EQ(Probe::GetErrMsg(11255), QStringLiteral("IP_PENDING"));
    EXPECT_EQ(Probe::GetErrMsg(11035), QStringLiteral("ErrorCode = 11035"));
    EXPECT_EQ(Probe::GetErrMsg(11000), QStringLiteral("ErrorCode = 11000"));
    EXPECT_EQ(Probe::GetErrMsg(12345), QStringLiteral("ErrorCode = 12345"));
    EXPECT_EQ(Probe::GetErrMsg(0), QStringLiteral("ErrorCode = 0"));
    EXPECT_EQ(Probe::GetErrMsg(4294967295u), QStringLiteral("ErrorCode = 4294967295"));
}

TEST(Probe, IcmpErrorsMapToTheStatusNumbers)
{
    EXPECT_EQ(IcmpErrorStatus(3, 0), 11002u);
    EXPECT_EQ(IcmpErrorStatus(3, 1), 11003u);
    EXPECT_EQ(IcmpErrorStatus(3, 2), 11004u);
    EXPECT_EQ(IcmpErrorStatus(3, 3), 11005u);
    EXPECT_EQ(IcmpErrorStatus(3, 4), 11009u);
    EXPECT_EQ(IcmpErrorStatus(3, 13), 11003u);
    EXPECT_EQ(IcmpErrorStatus(11, 0), 11013u);
    EXPECT_EQ(IcmpErrorStatus(11, 1), 11014u);
    EXPECT_EQ(IcmpErrorStatus(12, 0), 11015u);
    EXPECT_EQ(IcmpErrorStatus(4, 0), 11016u);
    EXPECT_EQ(IcmpErrorStatus(5, 1), 0u); // a redirect ends nothing
    EXPECT_EQ(SendErrorStatus(EMSGSIZE), 11009u);
    EXPECT_EQ(SendErrorStatus(ENETUNREACH), 11002u);
    EXPECT_EQ(SendErrorStatus(EHOSTUNREACH), 11003u);
}

TEST(Probe, NameCheckWithoutANameFailsBeforeSending)
{
    Probe icmp;
    icmp.PingMode = Probe::NameCheck;
    icmp.SetIPAddr(QStringLiteral("127.0.0.1"));
    if (!icmp.Active(true))
        GTEST_SKIP() << "no right to open an ICMP socket: " << icmp.StatusText().toStdString();
    bool stepped = false;
    icmp.OnPingStep = [&](int, const QString &) { stepped = true; };
    EXPECT_FALSE(icmp.Ping());
    EXPECT_EQ(icmp.StatusText(), QStringLiteral("コンピュータ名を指定して下さい。"));
    EXPECT_FALSE(stepped);
    EXPECT_EQ(icmp.GetIPAddr(), QStringLiteral("127.0.0.1"));
}

TEST(Probe, CancelWithNothingPendingSaysSo)
{
    Probe icmp;
    EXPECT_FALSE(icmp.AsyncGetCancel());
    EXPECT_EQ(icmp.StatusText(), QStringLiteral("現在、非同期ホストIP取得をしていません。"));
    EXPECT_FALSE(icmp.AsyncGetIPByName(QString()));
    EXPECT_EQ(icmp.StatusText(), QStringLiteral("コンピュータ名を指定して下さい。"));
}
