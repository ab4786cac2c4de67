// The browse-list searches over the fixture network tree, and the fixture
// itself: results 1/2/3, the exact name match, the share confirmation and
// the batch reading.

#include "engine/NetSearch.h"
#include "platform/FixtureNetBrowser.h"
#include "platform/ListedEnumeration.h"
#include "platform/NetBrowser.h"
#include "platform/Cp932.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

const QString Wn = SmbProviderName;

class NetSearch : public ::testing::Test {
protected:
    void tree(const QString &text) { ASSERT_TRUE(dir.write("net.txt", Cp932::encode(text))); }
    TempDir dir;
    FixtureNetBrowser net{dir.path("net.txt")};
};

// Counts the opens and reads a search makes, and what each read asked for.
class CountingBrowser : public NetBrowser {
public:
    explicit CountingBrowser(NetBrowser &inner) : inner_(inner) {}
    quint32 Open(quint32 scope, quint32 type, quint32 usage, const NetResource &container,
                 std::unique_ptr<NetEnumeration> &out) override
    {
        opens.append(container.RemoteName);
        std::unique_ptr<NetEnumeration> e;
        const quint32 r = inner_.Open(scope, type, usage, container, e);
        if (e)
            out = std::make_unique<Counted>(std::move(e), requests);
        return r;
    }
    QStringList opens;
    QList<quint32> requests;

private:
    struct Counted : NetEnumeration {
        Counted(std::unique_ptr<NetEnumeration> e, QList<quint32> &log) : e(std::move(e)), log(log) {}
        quint32 Read(quint32 &count, QList<NetResource> &entries, quint32 bytes) override
        {
            log.append(count);
            EXPECT_EQ(bytes, NetReadBufferBytes);
            return e->Read(count, entries, bytes);
        }
        quint32 Close() override { return e->Close(); }
        std::unique_ptr<NetEnumeration> e;
        QList<quint32> &log;
    };
    NetBrowser &inner_;
};

} // namespace

TEST_F(NetSearch, FindsDomainsAndComputersByExactName)
{
    tree(u"# a small office\n"
         "Microsoft Windows Network\n"
         "  WORKGROUP\n"
         "    PC01;comment=受付\n"
         "    pc02\n"
         "  営業部\n"
         "    端末Ａ\n"
         "Other Network\n"
         "  ELSEWHERE\n"
         "    PC09\n"_s);

    EXPECT_TRUE(FindDomain(net, Wn, u"WORKGROUP"_s));
    EXPECT_TRUE(FindDomain(net, Wn, u"営業部"_s));
    EXPECT_FALSE(FindDomain(net, Wn, u"workgroup"_s)) << "the search compares letter case";
    EXPECT_FALSE(FindDomain(net, Wn, u"ELSEWHERE"_s)) << "another provider's domain";
    EXPECT_FALSE(FindDomain(net, u"No Such Provider"_s, u"WORKGROUP"_s));

    EXPECT_EQ(FindComputer(net, u"WORKGROUP"_s, Wn, u"PC01"_s, false), NetFound);
    EXPECT_EQ(FindComputer(net, u"WORKGROUP"_s, Wn, u"pc01"_s, false), NetNotFound);
    EXPECT_EQ(FindComputer(net, u"WORKGROUP"_s, Wn, u"PC02"_s, false), NetNotFound);
    EXPECT_EQ(FindComputer(net, u"WORKGROUP"_s, Wn, u"pc02"_s, false), NetFound);
    EXPECT_EQ(FindComputer(net, u"営業部"_s, Wn, u"端末Ａ"_s, false), NetFound);
    // A domain that is not there is a bad net name: not found, no error.
    EXPECT_EQ(FindComputer(net, u"NOWHERE"_s, Wn, u"PC01"_s, false), NetNotFound);

    NetNode node;
    node.NodeType = NetNodeType::Network;
    EXPECT_EQ(FindNetResource(net, {}, Wn, u"WORKGROUP"_s, node), NetFound);
    EXPECT_EQ(node.NodeType, NetNodeType::Domain);
    EXPECT_EQ(node.Container, QString());
    EXPECT_EQ(node.Provider, Wn);

    NetNode pc;
    EXPECT_EQ(FindNetResource(net, u"WORKGROUP"_s, Wn, u"PC01"_s, pc), NetFound);
    EXPECT_EQ(pc.NodeType, NetNodeType::Other);
    EXPECT_EQ(pc.Container, u"WORKGROUP"_s);
    EXPECT_EQ(pc.Comment, u"受付"_s);

    NetNode top;
    EXPECT_EQ(FindNetResource(net, {}, {}, u"Other Network"_s, top), NetFound);
    EXPECT_EQ(top.NodeType, NetNodeType::Network);
}

TEST_F(NetSearch, OpenReadAndCloseFailuresGiveTheirResults)
{
    tree(u"Microsoft Windows Network\n"
         "  DOWN;open=1222\n"
         "    PC01\n"
         "  GONE;open=67\n"
         "  STUCK;read=59\n"
         "    PC01\n"
         "  LEAKY;close=6\n"
         "    PC01\n"_s);
    EXPECT_EQ(FindComputer(net, u"DOWN"_s, Wn, u"PC01"_s, false), NetError);
    EXPECT_EQ(FindComputer(net, u"GONE"_s, Wn, u"PC01"_s, false), NetNotFound);
    EXPECT_EQ(FindComputer(net, u"STUCK"_s, Wn, u"PC01"_s, false), NetNotFound) << "a failed read ends the search";
    EXPECT_EQ(FindComputer(net, u"LEAKY"_s, Wn, u"PC01"_s, false), NetError) << "a failed close is an error";

    // The listed domains themselves are fine to find at the top level.
    EXPECT_TRUE(FindDomain(net, Wn, u"DOWN"_s));

    // No network at all (the tree file is missing): domains are not found.
    FixtureNetBrowser none(dir.path("missing.txt"));
    EXPECT_FALSE(FindDomain(none, Wn, u"DOWN"_s));
    EXPECT_EQ(FindComputer(none, u"DOWN"_s, Wn, u"PC01"_s, false), NetError);
}

TEST_F(NetSearch, SafeCheckAcceptsOnlyComputersThatAnswerOrRefuseForRights)
{
    tree(u"Microsoft Windows Network\n"
         "  WG\n"
         "    OPEN\n"
         "      public\n"
         "    EMPTY\n"
         "    DENIED;open=5\n"
         "    NOAUTH;open=1244\n"
         "    STALE;open=67\n"
         "    BUSY;open=53\n"_s);
    for (const char *name : {"OPEN", "EMPTY", "DENIED", "NOAUTH", "STALE", "BUSY"})
        EXPECT_EQ(FindComputer(net, u"WG"_s, Wn, QString::fromLatin1(name), false), NetFound) << name;
    EXPECT_EQ(FindComputer(net, u"WG"_s, Wn, u"OPEN"_s, true), NetFound);
    EXPECT_EQ(FindComputer(net, u"WG"_s, Wn, u"EMPTY"_s, true), NetFound);
    EXPECT_EQ(FindComputer(net, u"WG"_s, Wn, u"DENIED"_s, true), NetFound);
    EXPECT_EQ(FindComputer(net, u"WG"_s, Wn, u"NOAUTH"_s, true), NetFound);
    EXPECT_EQ(FindComputer(net, u"WG"_s, Wn, u"STALE"_s, true), NetNotFound);
    EXPECT_EQ(FindComputer(net, u"WG"_s, Wn, u"BUSY"_s, true), NetNotFound);
}

TEST_F(NetSearch, ListedNamesLoseTheirLeadingBackslashesAndRejectedMatchesLetTheSearchGoOn)
{
    // Two entries with the same name: the first refuses its share list, the
    // second answers. The search has to go on past the rejected one.
    QList<NetResource> listed;
    for (const char *name : {"\\\\\\\\PC01", "\\\\PC01"}) {
        NetResource r;
        r.RemoteName = QString::fromLatin1(name);
        r.DisplayType = NetDisplay::Server;
        listed.append(r);
    }
    struct Twice : NetBrowser {
        QList<NetResource> listed;
        QStringList computersOpened;
        quint32 Open(quint32, quint32, quint32, const NetResource &c, std::unique_ptr<NetEnumeration> &out) override
        {
            if (c.RemoteName == u"WG") {
                out = std::make_unique<ListedEnumeration>(listed);
                return 0;
            }
            computersOpened.append(c.RemoteName);
            if (c.RemoteName == u"\\\\\\\\PC01")
                return NetCode::BadNetName;
            out = std::make_unique<ListedEnumeration>(QList<NetResource>{});
            return 0;
        }
    } twice;
    twice.listed = listed;
    EXPECT_EQ(FindComputer(twice, u"WG"_s, Wn, u"PC01"_s, true), NetFound);
    EXPECT_EQ(twice.computersOpened, QStringList({u"\\\\\\\\PC01"_s, u"\\\\PC01"_s}))
        << "the share list is asked of the name as listed";
    EXPECT_EQ(StripBackslashes(u"\\\\\\PC\\x"_s), u"PC\\x"_s);
}

TEST_F(NetSearch, LongListsAreReadInBatchesThatNeverGrow)
{
    QString text = u"Microsoft Windows Network\n  BIG\n"_s;
    for (int i = 0; i < 2000; ++i)
        text += u"    PC%1;comment=%2\n"_s.arg(i, 4, 10, QChar(u'0')).arg(QString(i % 7 * 20, u'x'));
    tree(text);
    CountingBrowser counting(net);
    EXPECT_EQ(FindComputer(counting, u"BIG"_s, Wn, u"PC1999"_s, false), NetFound);
    ASSERT_GT(counting.requests.size(), 3);
    EXPECT_EQ(counting.requests.first(), 0xFFFFFFFFu);
    for (qsizetype i = 2; i < counting.requests.size(); ++i)
        EXPECT_LE(counting.requests[i], counting.requests[i - 1]);
    EXPECT_EQ(FindComputer(counting, u"BIG"_s, Wn, u"PC2000"_s, false), NetNotFound);
}

TEST(ListedEnumeration, FillsTheBufferByCodePageBytesAndEndsWithNoMoreItems)
{
    NetResource r;
    r.RemoteName = u"\\\\端末"_s;   // 6 bytes + zero
    r.Provider = SmbProviderName;   // 25 bytes + zero
    EXPECT_EQ(NetResourceBytes(r), 32u + 7 + 26);
    ListedEnumeration e({r, r, r});
    QList<NetResource> got;
    quint32 count = 0xFFFFFFFFu;
    EXPECT_EQ(e.Read(count, got, 2 * NetResourceBytes(r) + 1), NetCode::Success);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(e.Read(count, got, 10), NetCode::MoreData);
    EXPECT_EQ(e.Read(count, got, 1000), NetCode::Success);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(e.Read(count, got, 1000), NetCode::NoMoreItems);
    EXPECT_EQ(got.size(), 3);
    EXPECT_EQ(e.Close(), NetCode::Success);
    EXPECT_EQ(e.Close(), NetCode::InvalidHandle);
}

TEST(NetBrowserChoice, TheFixtureOnlyWhenTheVariableNamesAFile)
{
    const QByteArray old = qgetenv(NetFixtureVariable);
    qunsetenv(NetFixtureVariable);
    EXPECT_EQ(dynamic_cast<FixtureNetBrowser *>(CreateNetBrowser().get()), nullptr);
    qputenv(NetFixtureVariable, "");
    EXPECT_EQ(dynamic_cast<FixtureNetBrowser *>(CreateNetBrowser().get()), nullptr);
    qputenv(NetFixtureVariable, "/tmp/some-tree.txt");
    auto chosen = CreateNetBrowser();
    auto *fixture = dynamic_cast<FixtureNetBrowser *>(chosen.get());
    ASSERT_NE(fixture, nullptr);
    EXPECT_EQ(fixture->Path(), u"/tmp/some-tree.txt"_s);
    if (old.isNull())
        qunsetenv(NetFixtureVariable);
    else
        qputenv(NetFixtureVariable, old);
}
