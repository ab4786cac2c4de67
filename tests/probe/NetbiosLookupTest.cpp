// Names that only the NetBIOS name service knows (a workgroup without DNS):
// a name server (nmbd) in a peer namespace, and a resolver here that knows
// nothing but its own hosts file.

#include "platform/NetbiosName.h"
#include "probe/Probe.h"
#include "support/NetNamespace.h"
#include "support/PeerHost.h"
#include "support/TempDir.h"

#include <QThread>

#include <arpa/inet.h>
#include <poll.h>
#include <unistd.h>

#include <thread>

#include <gtest/gtest.h>

TEST(NetbiosLookup, ANameOnlyTheNameServiceKnowsResolvesBothWays)
{
    NetNamespace::Options options;
    options.hosts = "127.0.0.1 localhost\n";
    NetNamespace::run(options, [] {
        TempDir dir;
        PeerHost peer;
        if (!StartNmbd(peer, QStringLiteral("NBONLY"), dir.path(QStringLiteral("nmbd"))))
            GTEST_SKIP() << peer.why;
        // Its names take the server a few seconds to claim on the network.
        for (int i = 0; i < 20 && !Netbios::addressOf(QStringLiteral("NBONLY")); ++i)
            QThread::msleep(100);
        Probe icmp;
        ASSERT_TRUE(icmp.GetIPByName(QStringLiteral("nbonly"))) << icmp.StatusText().toStdString();
        EXPECT_EQ(icmp.Address(), inet_addr("10.77.0.2"));
        ASSERT_TRUE(icmp.GetNameByIP(QStringLiteral("10.77.0.2"))) << icmp.StatusText().toStdString();
        EXPECT_EQ(icmp.HostName, QStringLiteral("NBONLY"));

        EXPECT_FALSE(icmp.GetIPByName(QStringLiteral("nbnone")));
        EXPECT_FALSE(icmp.GetNameByIP(QStringLiteral("10.77.0.9")));
    });
}

TEST(NetbiosLookup, AnswersToOtherQueriesOrCutShortGiveNothing)
{
    // A positive answer to query 7 about PC01: 10.77.0.2.
    const QByteArray query = Netbios::nameQuery(7, QStringLiteral("pc01"));
    const QByteArray record = QByteArray::fromHex("000493e0000600000a4d0002");
    QByteArray answer = query.left(12) + query.mid(12) + record;
    answer[2] = char(0x85), answer[3] = 0, answer[5] = 0, answer[7] = 1;
    EXPECT_EQ(Netbios::parseNameAnswer(answer, 7, QStringLiteral("PC01")), inet_addr("10.77.0.2"));
    EXPECT_EQ(Netbios::parseNameAnswer(answer, 8, QStringLiteral("PC01")), 0u);
    EXPECT_EQ(Netbios::parseNameAnswer(answer.chopped(1), 7, QStringLiteral("PC01")), 0u);
    // Whoever sees the broadcast may answer first with the right number: an
    // answer about another name answers nothing.
    EXPECT_EQ(Netbios::parseNameAnswer(answer, 7, QStringLiteral("PC02")), 0u);
    // The question sent back, the answer's name a pointer to it.
    QByteArray echoed = query + QByteArray::fromHex("c00c00200001") + record;
    echoed[2] = char(0x85), echoed[3] = 0, echoed[7] = 1;
    EXPECT_EQ(Netbios::parseNameAnswer(echoed, 7, QStringLiteral("PC01")), inet_addr("10.77.0.2"));
    answer[3] = 0x03;  // name error
    EXPECT_EQ(Netbios::parseNameAnswer(answer, 7, QStringLiteral("PC01")), 0u);
    EXPECT_FALSE(Netbios::isName(QStringLiteral("pc01.example")));
    EXPECT_FALSE(Netbios::isName(QStringLiteral("SIXTEEN-CHARS-XX")));
}

// A node status answer that hides an option behind a CP932 ideographic space
// ("PC01", 81 40, "--force"): the name would have reached the entry's "*"
// name and its actions. A name that is not plain is no name.
namespace {
// A node status answer to query `id` naming `name15`.
QByteArray NodeStatusAnswer(quint16 id, const QByteArray &name15)
{
    const QByteArray query = Netbios::nodeStatusQuery(id);
    QByteArray a = query.left(12);
    a[2] = char(0x84), a[3] = 0, a[4] = 0, a[5] = 0, a[6] = 0, a[7] = 1;
    a += query.mid(12);                                // the "*" name, type and class
    a += QByteArray::fromHex("00000000") + QByteArray::fromHex("0013") + '\x01';
    a += name15.leftJustified(15, ' ') + QByteArray::fromHex("000400");  // workstation, unique
    return a;
}

int UdpSocket(const char *address, quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = ::inet_addr(address);
    return fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0 ? fd : -1;
}
} // namespace

// A host that sees the query for another address (a hub, a mirrored port)
// answers first, from its own address, with a name of its choosing; then the
// host asked answers. Only the host asked names itself.
TEST(NetbiosLookup, OnlyTheHostAskedMayAnswerANodeStatusQuery)
{
    NetNamespace::run({}, [] {
        const NetNamespace peer = NetNamespace::create();
        ASSERT_TRUE(NetNamespace::link(NetNamespace::current(), QStringLiteral("vhere"), QStringLiteral("10.77.0.1/24"),
                                       peer, QStringLiteral("vpeer"), QStringLiteral("10.77.0.2/24")));
        ASSERT_TRUE(peer.ip({"addr", "add", "10.77.0.9/24", "dev", "vpeer"}));
        int asked = -1, forger = -1;
        peer.inside([&] {
            asked = UdpSocket("10.77.0.9", 137);
            forger = UdpSocket("10.77.0.2", 137);
        });
        ASSERT_GE(asked, 0);
        ASSERT_GE(forger, 0);
        std::thread answering([&] {
            pollfd pfd{asked, POLLIN, 0};
            if (::poll(&pfd, 1, 5000) != 1)
                return;
            char query[100];
            sockaddr_in from{};
            socklen_t fromLen = sizeof from;
            if (::recvfrom(asked, query, sizeof query, 0, reinterpret_cast<sockaddr *>(&from), &fromLen) < 2)
                return;
            const quint16 id = quint16(quint8(query[0]) << 8 | quint8(query[1]));
            const QByteArray forged = NodeStatusAnswer(id, "FORGED");
            const QByteArray real = NodeStatusAnswer(id, "REAL");
            ::sendto(forger, forged.constData(), size_t(forged.size()), 0, reinterpret_cast<sockaddr *>(&from), fromLen);
            QThread::msleep(50);
            ::sendto(asked, real.constData(), size_t(real.size()), 0, reinterpret_cast<sockaddr *>(&from), fromLen);
        });
        EXPECT_EQ(Netbios::nameOf(::inet_addr("10.77.0.9"), 2000), QStringLiteral("REAL"));
        answering.join();
        ::close(asked);
        ::close(forger);
    });
}

TEST(NetbiosLookup, ANodeStatusNameWithABlankOrALeadingDashIsNoName)
{
    const auto answer = [](const QByteArray &name15) { return NodeStatusAnswer(9, name15); };
    EXPECT_EQ(Netbios::parseNodeStatus(answer("PC01"), 9), QStringLiteral("PC01"));
    EXPECT_EQ(Netbios::parseNodeStatus(answer("PC01\x81\x40--force"), 9), QString());
    EXPECT_EQ(Netbios::parseNodeStatus(answer("-oProxy"), 9), QString());
}
