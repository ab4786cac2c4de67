// The SMB browser against a private Samba server on the host's loopback: a
// computer's share list, and the share confirmation of a listed computer in
// a pass, with the browse lists from the fixture tree. (Real browse lists
// need name service by broadcast, so they are tested in a private namespace:
// SmbBrowseTest.)

#include "support/EngineHarness.h"

#include "engine/NetSearch.h"
#include "platform/SmbNetBrowser.h"

#include "SambaFixture.h"

#include <cerrno>

namespace {

// Browse lists from the fixture, share lists from the SMB browser.
class SharesFromSmb : public NetBrowser {
public:
    SharesFromSmb(NetBrowser &lists, NetBrowser &shares) : lists_(lists), shares_(shares) {}
    quint32 Open(quint32 scope, quint32 type, quint32 usage, const NetResource &c,
                 std::unique_ptr<NetEnumeration> &out) override
    {
        return (c.RemoteName.startsWith(u"\\\\") ? shares_ : lists_).Open(scope, type, usage, c, out);
    }

private:
    NetBrowser &lists_;
    NetBrowser &shares_;
};

QStringList names(NetBrowser &net, const QString &remote, quint32 &result)
{
    NetResource c;
    c.RemoteName = remote;
    std::unique_ptr<NetEnumeration> e;
    result = net.Open(NetScope::GlobalNet, NetType::Any, 0, c, e);
    QStringList out;
    if (!e)
        return out;
    QList<NetResource> got;
    quint32 count = 0xFFFFFFFFu;
    while (e->Read(count, got, NetReadBufferBytes) == NetCode::Success) {
    }
    e->Close();
    for (const NetResource &r : got)
        out << r.RemoteName;
    return out;
}

} // namespace

TEST(SmbNetBrowser, ListsTheSharesOfAComputerAndMapsFailures)
{
    SambaServer samba;
    if (!samba.running)
        GTEST_SKIP() << "no private Samba server (smbd missing or did not start)";
    SmbNetBrowser smb(samba.client());
    quint32 result = 99;
    const QStringList shares = names(smb, u"\\\\127.0.0.1"_s, result);
    EXPECT_EQ(result, NetCode::Success);
    EXPECT_TRUE(shares.contains(u"\\\\127.0.0.1\\DATA"_s)) << shares.join(u' ').toStdString();

    // Nothing listens on that address: the computer is not on the network.
    names(smb, u"\\\\127.0.0.2"_s, result);
    EXPECT_EQ(result, NetCode::BadNetName);
    names(smb, u"\\\\"_s, result);
    EXPECT_EQ(result, NetCode::BadNetName);

    // The one provider, and only it.
    EXPECT_EQ(names(smb, QString(), result), QStringList({SmbProviderName}));
    NetResource other;
    other.Provider = u"Other Network"_s;
    other.Usage = NetUsage::Container | NetUsage::Reserved;
    std::unique_ptr<NetEnumeration> e;
    EXPECT_EQ(smb.Open(NetScope::GlobalNet, NetType::Any, 0, other, e), NetCode::BadProvider);
}

TEST(SmbNetBrowser, ErrorNumbersMapToTheResultsCallersCompare)
{
    for (int e : {ENOENT, ECONNREFUSED, EHOSTUNREACH, ENETUNREACH})
        EXPECT_EQ(SmbErrorCode(e), NetCode::BadNetName) << e;
    EXPECT_EQ(SmbErrorCode(EACCES), NetCode::AccessDenied);
    EXPECT_EQ(SmbErrorCode(EPERM), NetCode::AccessDenied);
    EXPECT_EQ(SmbErrorCode(EKEYREJECTED), NetCode::NotAuthenticated);
    EXPECT_EQ(SmbErrorCode(ETIMEDOUT), NetCode::SemTimeout);
    EXPECT_EQ(SmbErrorCode(EINVAL), NetCode::ExtendedError);
}

class SafeCheck : public EngineHarness {};

TEST_F(SafeCheck, AListedComputerCountsOnlyWhenItsShareListAnswers)
{
    SambaServer samba;
    if (!samba.running)
        GTEST_SKIP() << "no private Samba server (smbd missing or did not start)";
    SmbNetBrowser smb(samba.client());
    SharesFromSmb mixed(net, smb);
    WatchEngine checking(&model, &probe, &mixed, &events);

    network(u"Microsoft Windows Network\n  WORKGROUP\n    127.0.0.1\n    127.0.0.2\n"_s);
    add(u"server"_s, u"127.0.0.1"_s);
    add(u"gone"_s, u"127.0.0.2"_s);

    Settings.Config.SafeCheck = true;
    checking.StartPass(-1);
    QEventLoop loop;
    QObject::connect(&checking, &WatchEngine::PassApplied, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    ASSERT_FALSE(checking.PassRunning());
    EXPECT_EQ(status(0), StatusLoggedIn);
    EXPECT_EQ(status(1), StatusLoggedOut) << "listed, but its shares cannot be had";

    // Without the confirmation the browse list alone decides.
    Settings.Config.SafeCheck = false;
    EXPECT_EQ(FindComputer(mixed, u"WORKGROUP"_s, SmbProviderName, u"127.0.0.2"_s, false), NetFound);
    Settings.Config.SafeCheck = true;
    EXPECT_EQ(FindComputer(mixed, u"WORKGROUP"_s, SmbProviderName, u"127.0.0.2"_s, true), NetNotFound);
}
