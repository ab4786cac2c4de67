// The SMB browser against a private Samba server on loopback: a computer's
// share list, and the share confirmation of a listed computer in a pass.
// The browse lists themselves come from the fixture tree (a real browse list
// needs a master browser, which takes half a minute to elect itself).

#include "EngineHarness.h"

#include "engine/NetSearch.h"
#include "platform/SmbNetBrowser.h"

#include <QProcess>
#include <QStandardPaths>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

class SambaServer {
public:
    SambaServer()
    {
        if (QStandardPaths::findExecutable(u"smbd"_s).isEmpty() &&
            !QFile::exists(u"/usr/sbin/smbd"_s))
            return;
        port = freePort();
        if (port == 0)
            return;
        QProcess p;
        p.start(script(), {u"start"_s, dir.path(u"samba"_s), QString::number(port)});
        if (!p.waitForFinished(20000) || p.exitCode() != 0)
            return;
        running = true;
    }
    ~SambaServer()
    {
        if (!running)
            return;
        QProcess p;
        p.start(script(), {u"stop"_s, dir.path(u"samba"_s)});
        p.waitForFinished(20000);
    }
    // A port on 127.0.0.1 that nothing listens on right now, so that tests
    // running at the same time do not share a server.
    static quint16 freePort()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0)
            return 0;
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        quint16 port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        ::close(fd);
        return port;
    }
    static QString script() { return QStringLiteral(CORVANE_SOURCE_DIR "/tools/samba-test-server"); }

    // A client configuration that never resolves a name by broadcast.
    SmbNetBrowser::Options client()
    {
        dir.write("client.conf", "[global]\n  name resolve order = lmhosts\n  client min protocol = NT1\n");
        SmbNetBrowser::Options o;
        o.port = port;
        o.configFile = dir.path("client.conf");
        o.timeoutMs = 5000;
        return o;
    }

    TempDir dir;
    quint16 port = 0;
    bool running = false;
};

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
    TWatchEngine checking(&model, &probe, &mixed, &events);

    network(u"Microsoft Windows Network\n  WORKGROUP\n    127.0.0.1\n    127.0.0.2\n"_s);
    add(u"server"_s, u"127.0.0.1"_s);
    add(u"gone"_s, u"127.0.0.2"_s);

    Settings.Config.SafeCheck = true;
    checking.StartPass(-1);
    QEventLoop loop;
    QObject::connect(&checking, &TWatchEngine::PassApplied, &loop, &QEventLoop::quit);
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
