// Real browse lists over SMB1 in a private network namespace: a private
// Samba server on 127.0.0.1:445 whose browse list is written by the test, a
// name server (nmbd) that answers the node-status query for it, and an
// lmhosts file that names the workgroup's master browser. Broadcasts go to
// the namespace's own interfaces and nowhere else.

#include "support/EngineHarness.h"

#include "engine/NetSearch.h"

#include "SambaFixture.h"
#include "support/NetNamespace.h"

#include <QThread>

#include <sys/mount.h>

namespace {

// The workgroup CORVANE with its master CORVANETEST (the Samba server) and a
// second computer PC01 that is listed but not on the network, and a second
// workgroup OTHERWG.
class BrowseNetwork {
public:
    BrowseNetwork()
    {
        const NetNamespace here = NetNamespace::current();
        // The name server wants an interface that is not loopback.
        if (!here.ip({u"link"_s, u"add"_s, u"vbrowse"_s, u"type"_s, u"veth"_s, u"peer"_s, u"name"_s, u"vpeer"_s}) ||
            !here.ip({u"addr"_s, u"add"_s, u"10.99.0.1/24"_s, u"dev"_s, u"vbrowse"_s}) ||
            !here.ip({u"link"_s, u"set"_s, u"vbrowse"_s, u"up"_s}) || !here.ip({u"link"_s, u"set"_s, u"vpeer"_s, u"up"_s})) {
            why = "no veth pair";
            return;
        }
        // Samba's own lmhosts and configuration folder, private to this
        // mount namespace.
        QDir().mkpath(dir.path(u"etc"_s));
        // The server by its file-server name only (#20): a plain name would also
        // answer the workgroup queries smb://CORVANETEST makes first.
        dir.write("etc/lmhosts", "127.0.0.1 CORVANE#1D\n127.0.0.1 CORVANE#1B\n127.0.0.1 CORVANETEST#20\n");
        dir.write("etc/smb.conf", "[global]\n");
        if (::mount(QFile::encodeName(dir.path(u"etc"_s)).constData(), "/etc/samba", nullptr, MS_BIND, nullptr) != 0) {
            why = "cannot mount a private /etc/samba";
            return;
        }
        samba = std::make_unique<SambaServer>(445);
        if (!samba->running) {
            why = "no private Samba server";
            return;
        }
        // What the server answers for the browse list: its own workgroup
        // (with itself as master), a second workgroup, two computers.
        samba->dir.write("samba/cache/browse.dat",
                         "\"CORVANETEST\" 00051003 \"Test server\" \"CORVANE\"\n"
                         "\"PC01\" 00001003 \"Front desk\" \"CORVANE\"\n"
                         "\"CORVANE\" c0001000 \"CORVANETEST\" \"CORVANE\"\n"
                         "\"OTHERWG\" 80001000 \"OTHERMASTER\" \"OTHERWG\"\n");
        if (!startNameServer())
            why = "the name server did not start";
        else
            ready = true;
    }

    ~BrowseNetwork()
    {
        if (nmbd.state() != QProcess::NotRunning) {
            nmbd.terminate();
            if (!nmbd.waitForFinished(5000))
                nmbd.kill();
            nmbd.waitForFinished(5000);
        }
        samba.reset();
        ::umount("/etc/samba");
    }

    SmbNetBrowser::Options client() { return samba->client(); }

    bool ready = false;
    const char *why = "";

private:
    bool startNameServer()
    {
        QFile conf(samba->dir.path(u"samba/smb.conf"_s));
        if (!conf.open(QIODevice::ReadOnly))
            return false;
        const QString own = dir.path(u"nmbd"_s);
        QDir().mkpath(own);
        QStringList lines;
        for (QString line : QString::fromUtf8(conf.readAll()).split(u'\n')) {
            const QString key = line.section(u'=', 0, 0).trimmed();
            if (key == u"disable netbios")
                line = u"  disable netbios = no"_s;
            else if (key == u"bind interfaces only")
                line = u"  bind interfaces only = no"_s;  // node status asked at 127.0.0.1
            else if (key == u"interfaces")
                line = u"  interfaces = 10.99.0.1/24"_s;
            else if (key == u"log file")
                line = u"  log file = "_s + own + u"/log"_s;
            else if (key == u"cache directory" || key == u"lock directory" || key == u"state directory" ||
                     key == u"pid directory")
                line = u"  "_s + key + u" = "_s + own;
            lines << line;
        }
        dir.write("nmbd.conf", lines.join(u'\n').toUtf8());
        nmbd.setProgram(u"nmbd"_s);
        nmbd.setArguments({u"-F"_s, u"--no-process-group"_s, u"-s"_s, dir.path(u"nmbd.conf"_s)});
        nmbd.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        nmbd.setStandardOutputFile(QProcess::nullDevice());
        nmbd.start();
        if (!nmbd.waitForStarted(5000))
            return false;
        // Ready when UDP port 137 is bound (a few hundred milliseconds).
        for (int i = 0; i < 100 && nmbd.state() == QProcess::Running; ++i) {
            QFile udp(u"/proc/net/udp"_s);
            if (udp.open(QIODevice::ReadOnly) && udp.readAll().contains(":0089 "))
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    TempDir dir;
    std::unique_ptr<SambaServer> samba;
    QProcess nmbd;
};

const QString Wn = SmbProviderName;

class SmbBrowse : public EngineHarness {};

} // namespace

TEST_F(SmbBrowse, WorkgroupsAndTheirComputersComeFromTheBrowseList)
{
    NetNamespace::run({}, [this] {
        BrowseNetwork network;
        if (!network.ready)
            GTEST_SKIP() << network.why;
        SmbNetBrowser smb(network.client());

        EXPECT_TRUE(FindDomain(smb, Wn, u"CORVANE"_s));
        EXPECT_TRUE(FindDomain(smb, Wn, u"OTHERWG"_s));
        EXPECT_FALSE(FindDomain(smb, Wn, u"corvane"_s));
        EXPECT_FALSE(FindDomain(smb, Wn, u"NOWG"_s));
        NetNode node;
        node.NodeType = NetNodeType::Network;
        EXPECT_EQ(FindNetResource(smb, {}, Wn, u"OTHERWG"_s, node), NetFound);
        EXPECT_EQ(node.NodeType, NetNodeType::Domain);
        EXPECT_EQ(node.Comment, u"OTHERMASTER"_s);

        EXPECT_EQ(FindComputer(smb, u"CORVANE"_s, Wn, u"PC01"_s, false), NetFound);
        EXPECT_EQ(FindComputer(smb, u"CORVANE"_s, Wn, u"pc01"_s, false), NetNotFound);
        EXPECT_EQ(FindComputer(smb, u"CORVANE"_s, Wn, u"PC02"_s, false), NetNotFound);
        // A workgroup nobody answers for is not on the network: no error.
        EXPECT_EQ(FindComputer(smb, u"NOWG"_s, Wn, u"PC01"_s, false), NetNotFound);
        // Listed and showing its shares, or listed and gone.
        EXPECT_EQ(FindComputer(smb, u"CORVANE"_s, Wn, u"CORVANETEST"_s, true), NetFound);
        EXPECT_EQ(FindComputer(smb, u"CORVANE"_s, Wn, u"PC01"_s, true), NetNotFound);

        // A whole pass over the real browser, with the share confirmation.
        Settings.Config.SafeCheck = true;
        add(u"server"_s, u"CORVANETEST"_s);
        add(u"desk"_s, u"PC01"_s);
        const int elsewhere = add(u"far"_s, u"PC09"_s);
        for (int row = 0; row < model.rowCount(); ++row)
            model.setText(row, WatchListModel::ColDomain, u"CORVANE"_s);
        model.setText(elsewhere, WatchListModel::ColDomain, u"NOWG"_s);
        WatchEngine browsing(&model, &probe, &smb, &events);
        browsing.StartPass(-1);
        QEventLoop loop;
        QObject::connect(&browsing, &WatchEngine::PassApplied, &loop, &QEventLoop::quit);
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        loop.exec();
        ASSERT_FALSE(browsing.PassRunning());
        EXPECT_EQ(status(0), StatusLoggedIn);
        EXPECT_EQ(status(1), StatusLoggedOut);
        EXPECT_EQ(status(2), StatusLoggedOut);
    });
}
