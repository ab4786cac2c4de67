// Many echoes outstanding at once on one socket, against the kernel inside
// private namespaces: answers, silences and failures each land on their own
// request, retries, strict matching, stopping, and the pace on the wire.

#include "support/RawIcmp.h"
#include "platform/EchoBatch.h"
#include "support/NetNamespace.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <linux/errqueue.h>
#include <thread>

using namespace std::chrono_literals;
using Kind = EchoBatch::Kind;
using Clock = std::chrono::steady_clock;

namespace {

class EchoBatchKinds : public testing::TestWithParam<Kind> {};

EchoRequest echo(const char *to, int timeoutMs, QByteArrayView data = {})
{
    EchoRequest rq;
    rq.address = ::inet_addr(to);
    rq.timeoutMs = timeoutMs;
    rq.data = data;
    return rq;
}

EchoBatch::Options options(int retries, std::chrono::microseconds pace = 1ms)
{
    EchoBatch::Options o;
    o.retries = retries;
    o.pace = pace;
    return o;
}

// A raw socket that sends from the given local address.
int forgerAt(const char *from)
{
    const int fd = RawIcmp::open();
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = ::inet_addr(from);
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A raw socket that sees every request, and one forging from each of
// 127.0.0.1 (A) and 127.0.0.2 (B); closed with the scope.
struct Forgers {
    const int sniffer = RawIcmp::open();
    const int atA = forgerAt("127.0.0.1");
    const int atB = forgerAt("127.0.0.2");
    bool ok() const { return sniffer >= 0 && atA >= 0 && atB >= 0; }
    ~Forgers()
    {
        for (const int fd : {sniffer, atA, atB})
            if (fd >= 0)
                ::close(fd);
    }
};

// An ICMP error body quoting an echo request of ours to `to`.
QByteArray quoting(quint32 from, quint32 to, quint16 ident, quint16 sequence, const QByteArray &data)
{
    QByteArray quoted(20, '\0');
    quoted[0] = 0x45;
    quoted[3] = char(28 + data.size());
    quoted[8] = 1;
    quoted[9] = IPPROTO_ICMP;
    std::memcpy(quoted.data() + 12, &from, 4);
    std::memcpy(quoted.data() + 16, &to, 4);
    QByteArray request(8, '\0');
    request[0] = 8;
    request[4] = char(ident >> 8);
    request[5] = char(ident);
    request[6] = char(sequence >> 8);
    request[7] = char(sequence);
    return quoted + request + data;
}

} // namespace

// here 10.9.0.1 -- peer 10.9.0.2-4, which ignores echoes; nobody has
// 10.9.0.77, whose resolution fails only after its echo timed out.
TEST_P(EchoBatchKinds, EachEchoGetsItsOwnOutcomeAndTheBatchWaitsOnce)
{
    const Kind kind = GetParam();
    NetNamespace::run({}, [kind] {
        const NetNamespace here = NetNamespace::current();
        const NetNamespace peer = NetNamespace::create();
        ASSERT_TRUE(NetNamespace::link(here, "vhere", "10.9.0.1/24", peer, "vpeer", "10.9.0.2/24"));
        ASSERT_TRUE(peer.ip({"addr", "add", "10.9.0.3/24", "dev", "vpeer"}));
        ASSERT_TRUE(peer.ip({"addr", "add", "10.9.0.4/24", "dev", "vpeer"}));
        ASSERT_TRUE(peer.sysctl("net/ipv4/icmp_echo_ignore_all", "1"));
        ASSERT_TRUE(here.ip({"route", "add", "unreachable", "10.4.0.0/16"}));
        ASSERT_TRUE(here.sysctl("net/ipv4/neigh/vhere/ucast_solicit", "0"));
        ASSERT_TRUE(here.sysctl("net/ipv4/neigh/vhere/mcast_solicit", "2"));
        ASSERT_TRUE(here.sysctl("net/ipv4/neigh/vhere/retrans_time_ms", "200"));

        EchoBatch batch;
        ASSERT_EQ(batch.open(kind, options(0)), EchoBatch::OpenResult::Opened);
        ASSERT_EQ(batch.kind(), kind);
        const QByteArray data(32, '\0');
        const auto start = Clock::now();
        const int live = batch.submit(echo("127.0.0.1", 1000, data));
        const int silent[] = {batch.submit(echo("10.9.0.2", 1000, data)), batch.submit(echo("10.9.0.3", 1000, data)),
                              batch.submit(echo("10.9.0.4", 1000, data))};
        const int gone = batch.submit(echo("10.9.0.77", 300, data));
        const int noRoute = batch.submit(echo("10.4.0.1", 1000, data));
        const int nobody = batch.submit(echo("0.0.0.0", 1000, data));
        const int self = batch.submit(echo("10.9.0.1", 1000));

        auto reply = batch.wait(live);
        ASSERT_TRUE(reply);
        EXPECT_TRUE(reply->replied);
        EXPECT_EQ(reply->status, IpStatus::Success);
        EXPECT_EQ(reply->bytes, 32);
        EXPECT_EQ(reply->ttl, 64);
        for (int id : silent) {
            reply = batch.wait(id);
            ASSERT_TRUE(reply);
            EXPECT_FALSE(reply->replied) << id;
            EXPECT_EQ(reply->status, IpStatus::ReqTimedOut) << id;
        }
        reply = batch.wait(gone);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, IpStatus::ReqTimedOut);
        reply = batch.wait(noRoute);
        ASSERT_TRUE(reply);
        EXPECT_FALSE(reply->replied);
        EXPECT_EQ(reply->status, IpStatus::DestHostUnreachable);
        reply = batch.wait(nobody);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, IpStatus::BadDestination);
        reply = batch.wait(self);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, IpStatus::Success);
        EXPECT_EQ(reply->bytes, 0);
        // Three silent terminals of a second each, waited for together
        // (a bound, not a speed target).
        EXPECT_LT(Clock::now() - start, 2900ms);

        // The late "host unreachable" of 10.9.0.77 belongs to its finished
        // echo alone: a later echo in the same batch is answered.
        std::this_thread::sleep_for(1s);
        ASSERT_TRUE(peer.sysctl("net/ipv4/icmp_echo_ignore_all", "0"));
        reply = batch.wait(batch.submit(echo("10.9.0.2", 2000, data)));
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, IpStatus::Success);
    });
}

// The kernel is silent; a forger answers only the second request it sees.
TEST_P(EchoBatchKinds, AnAnsweredRetryCounts)
{
    const Kind kind = GetParam();
    for (const int retries : {1, 0}) {
        NetNamespace::Options o;
        o.ignoreEcho = true;
        NetNamespace::run(o, [kind, retries] {
            const int forger = RawIcmp::open();
            ASSERT_GE(forger, 0);
            std::optional<RawIcmp::Packet> first, second;
            std::thread t([&] {
                first = RawIcmp::next(forger, 8, 3s);
                second = RawIcmp::next(forger, 8, 1500ms);
                if (second)
                    RawIcmp::send(forger, second->source, 0, second->ident, second->sequence, second->data, 77);
            });
            EchoBatch batch;
            ASSERT_EQ(batch.open(kind, options(retries)), EchoBatch::OpenResult::Opened);
            const QByteArray data(16, '\x5A');
            const auto reply = batch.wait(batch.submit(echo("127.0.0.1", 300, data)));
            t.join();
            ::close(forger);
            ASSERT_TRUE(reply);
            ASSERT_TRUE(first);
            if (retries == 0) {
                EXPECT_FALSE(second) << "sent again without retries";
                EXPECT_EQ(reply->status, IpStatus::ReqTimedOut);
                return;
            }
            ASSERT_TRUE(second);
            EXPECT_NE(second->sequence, first->sequence);
            // The operator's data again, behind a token of the send's own.
            constexpr qsizetype token = IcmpSocket::TokenBytes;
            EXPECT_EQ(second->data.sliced(token), data);
            EXPECT_NE(second->data.first(token), first->data.first(token));
            EXPECT_TRUE(reply->replied);
            EXPECT_EQ(reply->status, IpStatus::Success);
            EXPECT_EQ(reply->ttl, 77);
            EXPECT_EQ(reply->bytes, 16);
        });
    }
}

// Two echoes out at once, A to 127.0.0.1 and B to 127.0.0.2, and nothing
// that is not the answer to one of them may end it: a reply with the other's
// numbers, a reply from the other's address, an error about a request to the
// other address. Then A's late reply and error, after A timed out, must not
// touch the next echo C.
TEST_P(EchoBatchKinds, AnswersOfOtherAndFinishedRequestsAreIgnored)
{
    const Kind kind = GetParam();
    NetNamespace::Options o;
    o.ignoreEcho = true;
    NetNamespace::run(o, [kind] {
        const Forgers forgers;
        ASSERT_TRUE(forgers.ok());
        const int sniffer = forgers.sniffer, atA = forgers.atA, atB = forgers.atB;
        const quint32 a = ::inet_addr("127.0.0.1"), b = ::inet_addr("127.0.0.2");
        std::optional<RawIcmp::Packet> rqA, rqB, rqC;
        std::thread t([&] {
            for (int i = 0; i < 2; ++i) {
                auto rq = RawIcmp::next(sniffer, 8, 3s);
                if (!rq)
                    return;
                (rq->destination == a ? rqA : rqB) = rq;
            }
            if (!rqA || !rqB)
                return;
            RawIcmp::send(atA, a, 0, rqB->ident, rqB->sequence, rqB->data);
            RawIcmp::send(atB, a, 0, rqA->ident, rqA->sequence, rqA->data);
            RawIcmp::sendMessage(atA, a, 3, 1, quoting(a, b, rqA->ident, rqA->sequence, rqA->data));
            RawIcmp::sendMessage(atB, a, 3, 1, quoting(a, a, rqB->ident, rqB->sequence, rqB->data));
            std::this_thread::sleep_for(100ms);
            RawIcmp::send(atB, a, 0, rqB->ident, rqB->sequence, rqB->data, 77);
            rqC = RawIcmp::next(sniffer, 8, 3s);
            if (!rqC)
                return;
            RawIcmp::send(atA, a, 0, rqA->ident, rqA->sequence, rqA->data);
            RawIcmp::sendMessage(atA, a, 3, 1, quoting(a, a, rqA->ident, rqA->sequence, rqA->data));
        });
        EchoBatch batch;
        ASSERT_EQ(batch.open(kind, options(0)), EchoBatch::OpenResult::Opened);
        const QByteArray data(32, '\x11');
        const int idA = batch.submit(echo("127.0.0.1", 700, data));
        const int idB = batch.submit(echo("127.0.0.2", 700, data));
        const auto replyA = batch.wait(idA);
        const auto replyB = batch.wait(idB);
        const auto replyC = batch.wait(batch.submit(echo("127.0.0.1", 500, data)));
        t.join();
        ASSERT_TRUE(rqC) << "the forger missed a request";
        ASSERT_TRUE(replyA && replyB && replyC);
        EXPECT_EQ(replyA->status, IpStatus::ReqTimedOut);
        EXPECT_EQ(replyB->status, IpStatus::Success);
        EXPECT_EQ(replyB->ttl, 77);
        EXPECT_EQ(replyC->status, IpStatus::ReqTimedOut);
    });
}

// A watched host (127.0.0.1, played by a raw socket) reads the request it
// gets and answers it, then answers "from" a switched-off host (127.0.0.2)
// with the next sequence numbers and the same data: the absent host must
// not show present.
TEST_P(EchoBatchKinds, AWatchedHostCannotAnswerForAnother)
{
    const Kind kind = GetParam();
    NetNamespace::Options o;
    o.ignoreEcho = true;
    NetNamespace::run(o, [kind] {
        const Forgers forgers;
        ASSERT_TRUE(forgers.ok());
        const int sniffer = forgers.sniffer, atA = forgers.atA, atB = forgers.atB;
        const quint32 a = ::inet_addr("127.0.0.1");
        std::thread t([&] {
            const auto rq = RawIcmp::next(sniffer, 8, 3s);
            if (!rq)
                return;
            RawIcmp::send(atA, a, 0, rq->ident, rq->sequence, rq->data);
            for (quint16 ahead = 1; ahead <= 64; ++ahead)
                RawIcmp::send(atB, a, 0, rq->ident, quint16(rq->sequence + ahead), rq->data);
        });
        EchoBatch batch;
        ASSERT_EQ(batch.open(kind, options(0)), EchoBatch::OpenResult::Opened);
        const int idA = batch.submit(echo("127.0.0.1", 1500));
        const auto replyA = batch.wait(idA);
        const auto replyB = batch.wait(batch.submit(echo("127.0.0.2", 500)));
        t.join();
        ASSERT_TRUE(replyA && replyB);
        EXPECT_EQ(replyA->status, IpStatus::Success);
        EXPECT_EQ(replyA->bytes, 0) << "the token is not the operator's data";
        EXPECT_EQ(replyB->status, IpStatus::ReqTimedOut);
    });
}

TEST_P(EchoBatchKinds, StopEndsEveryWaitAtOnce)
{
    const Kind kind = GetParam();
    NetNamespace::Options o;
    o.ignoreEcho = true;
    NetNamespace::run(o, [kind] {
        EchoBatch batch;
        ASSERT_EQ(batch.open(kind, options(EchoBatch::MaxRetries)), EchoBatch::OpenResult::Opened);
        const int first = batch.submit(echo("127.0.0.1", 10000));
        const int second = batch.submit(echo("127.0.0.2", 10000));
        const auto start = Clock::now();
        std::thread stopper([&] {
            std::this_thread::sleep_for(200ms);
            batch.stop();
        });
        EXPECT_FALSE(batch.wait(first));
        stopper.join();
        EXPECT_LT(Clock::now() - start, 5s); // far less than one time-out
        EXPECT_FALSE(batch.wait(second));
        EXPECT_FALSE(batch.wait(batch.submit(echo("127.0.0.1", 10000))));
    });
}

// Requests nobody answers, on the wire by the kernel's receive time: never
// more than the pace allows in any 20 ms (one more for a send the scheduler
// delayed).
TEST(EchoBatch, UnansweredSendsKeepTheirPaceOnTheWire)
{
    NetNamespace::Options o;
    o.ignoreEcho = true;
    NetNamespace::run(o, [] {
        const int sniffer = RawIcmp::open();
        ASSERT_GE(sniffer, 0);
        const int on = 1;
        ASSERT_EQ(::setsockopt(sniffer, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on), 0);
        EchoBatch batch;
        ASSERT_EQ(batch.open(Kind::Auto, options(0, 4ms)), EchoBatch::OpenResult::Opened);
        constexpr int kEchoes = 40;
        QList<int> ids;
        for (int i = 1; i <= kEchoes; ++i)
            ids << batch.submit(echo(QStringLiteral("127.0.1.%1").arg(i).toLatin1().constData(), 100));
        for (int id : ids) {
            const auto reply = batch.wait(id);
            ASSERT_TRUE(reply);
            EXPECT_EQ(reply->status, IpStatus::ReqTimedOut) << id;
        }
        QList<qint64> seenNs;
        char buf[256];
        for (int i = 0; i < 2 * kEchoes; ++i) {
            alignas(cmsghdr) char control[64];
            iovec iov{buf, sizeof buf};
            msghdr msg{};
            msg.msg_iov = &iov;
            msg.msg_iovlen = 1;
            msg.msg_control = control;
            msg.msg_controllen = sizeof control;
            if (::recvmsg(sniffer, &msg, MSG_DONTWAIT) < 28)
                break;
            if (buf[(buf[0] & 0x0F) * 4] != 8)
                continue;
            for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c))
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_TIMESTAMPNS) {
                    timespec ts;
                    std::memcpy(&ts, CMSG_DATA(c), sizeof ts);
                    seenNs << qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
                }
        }
        ::close(sniffer);
        ASSERT_EQ(seenNs.size(), kEchoes);
        for (qsizetype i = 0; i < seenNs.size(); ++i) {
            qsizetype inWindow = 0;
            for (qsizetype j = i; j < seenNs.size() && seenNs[j] - seenNs[i] < 20000000; ++j)
                ++inWindow;
            EXPECT_LE(inWindow, 6) << "from request " << i;
        }
    });
}

INSTANTIATE_TEST_SUITE_P(Sockets, EchoBatchKinds, testing::Values(Kind::PingSocket, Kind::RawSocket),
                         [](const testing::TestParamInfo<Kind> &info) {
                             return info.param == Kind::PingSocket ? std::string("Ping") : std::string("Raw");
                         });
