// A network without SMB1 (no browse list anywhere): browse-checked entries
// are found through WS-Discovery. The announcing host is wsdd in a peer
// namespace.

#include "support/EngineHarness.h"

#include "engine/NetSearch.h"
#include "platform/DiscoveringNetBrowser.h"
#include "platform/ListedEnumeration.h"
#include "platform/SmbNetBrowser.h"
#include "platform/WsDiscovery.h"

#include "support/PeerHost.h"

#include <QElapsedTimer>
#include <QEventLoop>

#include <cstdio>

namespace {

class WsDiscoveryPass : public EngineHarness {};

} // namespace

TEST_F(WsDiscoveryPass, AnEntryFoundOnlyByDiscoveryLogsInAndAnAbsentOneLogsOut)
{
    NetNamespace::run({}, [this] {
        PeerHost peer;
        if (!StartWsdd(peer, u"pc-wsd"_s, u"WORKGROUP"_s))
            GTEST_SKIP() << peer.why;
        // SMB browsing that finds no browse list: names resolve from an
        // empty lmhosts only, so it fails at once, as on such a network.
        const QByteArray own = QFile::encodeName(dir.path(u"smb"_s));
        QDir().mkpath(dir.path(u"smb"_s));
        dir.write(u"client.conf"_s, "[global]\n  name resolve order = lmhosts\n  workgroup = WORKGROUP\n"
                                    "  cache directory = " + own + "\n  lock directory = " + own +
                                    "\n  state directory = " + own + "\n");
        SmbNetBrowser::Options smb;
        smb.configFile = dir.path(u"client.conf"_s);
        smb.timeoutMs = 3000;
        DiscoveringNetBrowser network(std::make_unique<SmbNetBrowser>(smb), std::make_unique<WsDiscovery>());

        add(u"wsd"_s, u"PC-WSD"_s);
        add(u"gone"_s, u"PC-GONE"_s);
        WatchEngine watching(&model, &probe, &network, &events);
        QElapsedTimer took;
        took.start();
        watching.StartPass(-1);
        QEventLoop loop;
        QObject::connect(&watching, &WatchEngine::PassApplied, &loop, &QEventLoop::quit);
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        loop.exec();
        ASSERT_FALSE(watching.PassRunning());
        std::fprintf(stderr, "first pass after start: %lld ms\n", took.elapsed());
        EXPECT_EQ(status(0), StatusLoggedIn);
        EXPECT_EQ(status(1), StatusLoggedOut);

        // What the editor's tree reads: the workgroup, and the computer in
        // it without a comment.
        EXPECT_TRUE(FindDomain(network, SmbProviderName, u"WORKGROUP"_s));
        NetResource workgroup;
        workgroup.Usage = NetUsage::Container;
        workgroup.RemoteName = u"WORKGROUP"_s;
        workgroup.Provider = SmbProviderName;
        std::unique_ptr<NetEnumeration> computers;
        ASSERT_EQ(network.Open(NetScope::GlobalNet, NetType::Any, 0, workgroup, computers), NetCode::Success);
        quint32 count = 0xFFFFFFFFu;
        QList<NetResource> listed;
        ASSERT_EQ(computers->Read(count, listed, NetReadBufferBytes), NetCode::Success);
        ASSERT_EQ(listed.size(), 1);
        EXPECT_EQ(listed[0].RemoteName, u"\\\\PC-WSD"_s);
        EXPECT_EQ(listed[0].DisplayType, NetDisplay::Server);
        EXPECT_TRUE(listed[0].Comment.isEmpty());
    });
}

namespace {

// Share lists as the SMB client would give them, recording which computer
// they were asked of: only the discovered host's address answers.
class ShareListsAt : public NetBrowser {
public:
    QStringList asked;
    quint32 Open(quint32, quint32, quint32, const NetResource &where, std::unique_ptr<NetEnumeration> &out) override
    {
        if (!where.RemoteName.startsWith(u"\\\\"_s))
            return NetCode::BadNetName;  // no browse list on this network
        asked << where.RemoteName;
        if (where.RemoteName != u"\\\\10.77.0.2"_s)
            return NetCode::BadNetName;  // the name resolves nowhere
        out = std::make_unique<ListedEnumeration>(QList<NetResource>{});
        return NetCode::Success;
    }
};

} // namespace

// The strict check asks a computer for its share list: one known only by
// WS-Discovery, whose name no resolver knows, is asked at the address it
// answered from.
TEST_F(WsDiscoveryPass, TheStrictCheckReachesADiscoveredComputerAtItsAddress)
{
    NetNamespace::run({}, [] {
        PeerHost peer;
        if (!StartWsdd(peer, u"pc-wsd"_s, u"WORKGROUP"_s))
            GTEST_SKIP() << peer.why;
        auto shares = std::make_unique<ShareListsAt>();
        ShareListsAt *seen = shares.get();
        DiscoveringNetBrowser network(std::move(shares), std::make_unique<WsDiscovery>());
        EXPECT_EQ(FindComputer(network, u"WORKGROUP"_s, SmbProviderName, u"PC-WSD"_s, true), NetFound);
        EXPECT_EQ(seen->asked, QStringList{u"\\\\10.77.0.2"_s});
    });
}
