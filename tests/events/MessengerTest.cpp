#include "config/Settings.h"
#include "events/Messenger.h"
#include "platform/Cp932.h"
#include "platform/MessageTransport.h"
#include "platform/ReportDelivery.h"
#include "platform/SmbclientMessageTransport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

struct FakeNetwork : MessageTransport {
    bool Present = true;
    bool Result = true;
    QStringList Sent; // recipient|sender|text
    bool Available() override { return Present; }
    bool Send(const QString &recipient, const QString &sender, const QString &text) override
    {
        Sent << recipient + QLatin1Char('|') + sender + QLatin1Char('|') + text;
        return Result;
    }
};

struct FakeMailslot : MailslotTransport {
    bool Result = true;
    QList<QByteArray> Names, Datagrams;
    bool Write(const QByteArray &name, const QByteArray &datagram) override
    {
        Names << name;
        Datagrams << datagram;
        return Result;
    }
};

class MessengerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings = ProgramSettings();
        messenger.Family = [this] { return family; };
    }

    FakeNetwork network;
    FakeMailslot mailslot;
    QString computerName = QStringLiteral("CORVANEPC");
    Messenger messenger{network, mailslot, [this] { return computerName; }};
    int family = 2;
};

QStringList names(int count, const QString &pattern)
{
    QStringList list;
    for (int i = 1; i <= count; ++i)
        list << pattern.arg(i, 2, 10, QLatin1Char('0')) + QStringLiteral("\tPC");
    return list;
}

} // namespace

TEST(ManagerReportTextTest, TextsOfTheReportKinds)
{
    const QStringList two{QStringLiteral("tanaka\tPC01"), QStringLiteral("suzuki\tPC02")};
    EXPECT_EQ(Cp932::encode(ManagerReportText(ReportKind::Login, &two)),
              Cp932::encode(QStringLiteral("tanaka：suzuki\r\nがログインしました。")));
    EXPECT_EQ(ManagerReportText(ReportKind::Logout, &two),
              QStringLiteral("tanaka：suzuki\r\nがログアウトしました。"));
    EXPECT_EQ(ManagerReportText(ReportKind::Access, &two),
              QStringLiteral("tanaka：suzuki\r\nにアクセスされています！"));
    EXPECT_EQ(ManagerReportText(ReportKind::AllLogin, nullptr), QStringLiteral("全員がログインしました。"));
    EXPECT_EQ(ManagerReportText(ReportKind::AllLogout, nullptr), QStringLiteral("全員がログアウトしました。"));
    EXPECT_EQ(ManagerReportText(ReportKind{9}, &two), QStringLiteral("tanaka：suzuki"));
    // The full-width colon is the two bytes 81 46.
    EXPECT_EQ(Cp932::encode(ManagerReportText(ReportKind{0}, &two)), QByteArray("tanaka\x81\x46suzuki"));
    for (int kind = 1; kind <= 5; ++kind)
        EXPECT_LE(Cp932::byteLength(ManagerClosingText(ReportKind{kind})), 26) << kind;
}

TEST(ManagerReportTextTest, LongListsAreCutWithTheCountOfTheRest)
{
    // Seven names on the first line, six on the next; the room for names
    // runs out and the rest are counted.
    const QStringList long5{QStringLiteral("abcdefghijklmnopqrs1\tA"), QStringLiteral("abcdefghijklmnopqrs2\tB"),
                            QStringLiteral("abcdefghijklmnopqrs3\tC"), QStringLiteral("abcdefghijklmnopqrs4\tD"),
                            QStringLiteral("abcdefghijklmnopqrs5\tE")};
    const QString cut = ManagerReportText(ReportKind::Login, &long5);
    EXPECT_EQ(cut, QStringLiteral("abcdefghijklmnopqrs1：abcdefghijklmnopqrs2：abcdefghijklmnopqrs3\r\nその他2名"
                                  "\r\nがログインしました。"));
    EXPECT_EQ(Cp932::byteLength(cut), 97);

    const QStringList eight = names(8, QStringLiteral("u%1"));
    EXPECT_EQ(ManagerReportText(ReportKind::Login, &eight),
              QStringLiteral("u01：u02：u03：u04：u05：u06：u07\r\nu08\r\nがログインしました。"));

    // Twenty short names: the plain rule would give 106 bytes, which no
    // manager would receive; the report lists fewer names instead.
    const QStringList twenty = names(20, QStringLiteral("u%1"));
    const QString text = ManagerReportText(ReportKind::Login, &twenty);
    EXPECT_EQ(text, QStringLiteral("u01：u02：u03：u04：u05：u06：u07\r\nu08：u09：u10：u11：u12：u13\r\nその他7名"
                                   "\r\nがログインしました。"));
    EXPECT_LE(Cp932::byteLength(text), 100);
}

TEST(ManagerRecipientsTest, StopsAtTheFirstEmptyField)
{
    EXPECT_EQ(ManagerRecipients(QStringLiteral("pc1,pc2")), (QStringList{QStringLiteral("pc1"), QStringLiteral("pc2")}));
    EXPECT_EQ(ManagerRecipients(QStringLiteral("pc1,,pc2")), QStringList{QStringLiteral("pc1")});
    EXPECT_EQ(ManagerRecipients(QStringLiteral(" pc1 ,pc2,")), (QStringList{QStringLiteral(" pc1 "), QStringLiteral("pc2")}));
    EXPECT_TRUE(ManagerRecipients(QString()).isEmpty());
    EXPECT_TRUE(ManagerRecipients(QStringLiteral(",pc1")).isEmpty());
}

TEST(MailslotTest, DatagramIsByteExact)
{
    EXPECT_EQ(MailslotName("PC01"), QByteArray("\\\\PC01\\mailslot\\messngr"));
    EXPECT_EQ(MailslotName("*"), QByteArray("\\\\*\\mailslot\\messngr"));
    const QByteArray d = MailslotDatagram("ME", "*", "a\r\nb");
    EXPECT_EQ(d, QByteArray("ME\0*\0a\r\nb\0", 10));
}

TEST_F(MessengerTest, HundredBytesAreSentAndOneMoreIsRefused)
{
    EXPECT_TRUE(messenger.SendNetMessage(QStringLiteral("PC01"), QString(100, QLatin1Char('a'))));
    EXPECT_FALSE(messenger.SendNetMessage(QStringLiteral("PC01"), QString(101, QLatin1Char('a'))));
    // Bytes of code page 932 count: 50 double-byte characters are 100.
    EXPECT_TRUE(messenger.SendNetMessage(QStringLiteral("PC01"), QString(50, QChar(0x3042))));
    EXPECT_FALSE(messenger.SendNetMessage(QStringLiteral("PC01"), QString(50, QChar(0x3042)) + QLatin1Char('a')));
    EXPECT_FALSE(messenger.SendNetMessage(QString(101, QLatin1Char('P')), QStringLiteral("hi")));
    EXPECT_EQ(network.Sent.size(), 2);
    EXPECT_EQ(network.Sent[0].section(QLatin1Char('|'), 0, 1), QStringLiteral("PC01|CORVANEPC"));

    // The same limits on the mailslot.
    EXPECT_TRUE(messenger.SendMailslotMessage(QStringLiteral("PC01"), QString(100, QLatin1Char('a'))));
    EXPECT_FALSE(messenger.SendMailslotMessage(QStringLiteral("PC01"), QString(101, QLatin1Char('a'))));
    EXPECT_EQ(mailslot.Datagrams.size(), 1);
}

TEST_F(MessengerTest, WhatIsSentIsWhatTheCodePageHolds)
{
    // A character the code page lacks goes out as "?" and counts one byte.
    messenger.SendNetMessage(QStringLiteral("PC01"), QStringLiteral("ﾃｽﾄ～\U0001F600"));
    ASSERT_EQ(network.Sent.size(), 1);
    EXPECT_EQ(network.Sent[0], QStringLiteral("PC01|CORVANEPC|ﾃｽﾄ～?"));

    family = 1;
    EXPECT_TRUE(messenger.SendMessenger(QStringLiteral("*"), QStringLiteral("ﾃｽﾄ\r\n")));
    ASSERT_EQ(mailslot.Datagrams.size(), 1);
    EXPECT_EQ(mailslot.Names[0], QByteArray("\\\\*\\mailslot\\messngr"));
    EXPECT_EQ(mailslot.Datagrams[0], QByteArray("CORVANEPC\0*\0\xC3\xBD\xC4\r\n\0", 18));
}

TEST_F(MessengerTest, FailuresAreFalse)
{
    network.Result = false;
    EXPECT_FALSE(messenger.SendMessenger(QStringLiteral("PC01"), QStringLiteral("x")));
    network.Result = true;
    network.Present = false;
    EXPECT_FALSE(messenger.SendMessenger(QStringLiteral("PC01"), QStringLiteral("x")));
    network.Present = true;
    computerName.clear();
    EXPECT_FALSE(messenger.SendMessenger(QStringLiteral("PC01"), QStringLiteral("x")));
    family = 1;
    EXPECT_FALSE(messenger.SendMessenger(QStringLiteral("PC01"), QStringLiteral("x")));
    computerName = QStringLiteral("ME");
    mailslot.Result = false;
    EXPECT_FALSE(messenger.SendMessenger(QStringLiteral("PC01"), QStringLiteral("x")));
    for (int other : {0, 3}) {
        family = other;
        EXPECT_FALSE(messenger.SendMessenger(QStringLiteral("PC01"), QStringLiteral("x")));
    }
    EXPECT_EQ(network.Sent.size(), 1);
    EXPECT_EQ(mailslot.Datagrams.size(), 1);
}

TEST_F(MessengerTest, ReportGoesToEveryManagerInOrder)
{
    const QStringList list{QStringLiteral("tanaka\tPC01")};
    messenger.ReportToManager(ReportKind::Login, &list);
    EXPECT_TRUE(network.Sent.isEmpty());

    Settings.Config.Manager = QStringLiteral("pc1,pc2");
    messenger.ReportToManager(ReportKind::Login, &list);
    EXPECT_EQ(network.Sent, (QStringList{QStringLiteral("pc1|CORVANEPC|tanaka\r\nがログインしました。"),
                                         QStringLiteral("pc2|CORVANEPC|tanaka\r\nがログインしました。")}));
    network.Sent.clear();
    Settings.Config.Manager = QStringLiteral("pc1,,pc2");
    messenger.ReportToManager(ReportKind::AllLogout, nullptr);
    messenger.ReportToManager(ReportKind::AllLogin, QStringList());
    EXPECT_EQ(network.Sent, (QStringList{QStringLiteral("pc1|CORVANEPC|全員がログアウトしました。"),
                                         QStringLiteral("pc1|CORVANEPC|全員がログインしました。")}));
}

TEST(SmbclientMessageTransportTest, ArgumentsKeepNamesFromBeingOptions)
{
    SmbclientMessageTransport t;
    t.Address = QStringLiteral("127.0.0.1");
    t.Port = 4450;
    const QStringList args = t.Arguments(QStringLiteral("-PC"), QStringLiteral("ME"));
    EXPECT_EQ(args.first(), QStringLiteral("--message=-PC"));
    EXPECT_TRUE(args.contains(QStringLiteral("--user=ME")));
    EXPECT_TRUE(args.contains(QStringLiteral("--netbiosname=ME")));
    EXPECT_TRUE(args.contains(QStringLiteral("--option=dos charset=CP932")));
    EXPECT_TRUE(args.contains(QStringLiteral("--ip-address=127.0.0.1")));
    EXPECT_TRUE(args.contains(QStringLiteral("--port=4450")));
}

TEST(SmbclientMessageTransportTest, EnvironmentPointsEveryMessageAtOneServer)
{
    qputenv("CORVANE_SMB_ADDRESS", "127.0.0.1");
    qputenv("CORVANE_SMB_PORT", "4455");
    qputenv("CORVANE_SMB_CONF", "/tmp/x/smb.conf");
    const SmbclientMessageTransport t = SmbclientMessageTransport::FromEnvironment();
    qunsetenv("CORVANE_SMB_ADDRESS");
    qunsetenv("CORVANE_SMB_PORT");
    qunsetenv("CORVANE_SMB_CONF");
    EXPECT_EQ(t.Address, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(t.Port, 4455);
    EXPECT_EQ(t.ConfigFile, QStringLiteral("/tmp/x/smb.conf"));
    EXPECT_TRUE(SmbclientMessageTransport::FromEnvironment().Address.isEmpty());
}

namespace {

// Takes HTTP requests on a loopback port and answers each with 200, keeping
// what came; at most `count` requests, and never longer than ten seconds.
struct HttpReceiver {
    explicit HttpReceiver(int count)
    {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(fd, 8);
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &length);
        port = ntohs(a.sin_port);
        thread = std::thread([this, count] {
            for (int i = 0; i < count; ++i) {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 10000) != 1)
                    return;
                const int c = ::accept(fd, nullptr, nullptr);
                QByteArray request;
                char buffer[4096];
                for (int reads = 0; reads < 1000; ++reads) {
                    pollfd q{c, POLLIN, 0};
                    if (::poll(&q, 1, 5000) != 1)
                        break;
                    const ssize_t n = ::read(c, buffer, sizeof buffer);
                    if (n <= 0)
                        break;
                    request.append(buffer, n);
                    const qsizetype head = request.indexOf("\r\n\r\n");
                    const qsizetype at = request.toLower().indexOf("content-length:");
                    if (head >= 0 && at >= 0
                        && request.size() >= head + 4 + request.mid(at + 15, request.indexOf('\r', at) - at - 15).trimmed().toInt())
                        break;
                }
                const char answer[] = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
                [[maybe_unused]] const ssize_t sent = ::write(c, answer, sizeof answer - 1);
                ::close(c);
                std::lock_guard lock(mutex);
                requests << request;
            }
        });
    }
    ~HttpReceiver()
    {
        thread.join();
        ::close(fd);
    }
    QList<QByteArray> taken()
    {
        std::lock_guard lock(mutex);
        return requests;
    }
    int fd = -1;
    quint16 port = 0;
    std::mutex mutex;
    QList<QByteArray> requests;
    std::thread thread;
};

QByteArray bodyOf(const QByteArray &request)
{
    return request.mid(request.indexOf("\r\n\r\n") + 4);
}

} // namespace

// A manager of today reads a chat or a phone: webhooks get the whole report
// (no 100-byte cut) in the background, beside the SMB message that keeps
// its cut; the webhook's path never reaches the journal or the message.
TEST_F(MessengerTest, WebhooksGetTheWholeReportBesideTheMessage)
{
    HttpReceiver receiver(2);
    ReportDelivery delivery;
    messenger.Delivery = &delivery;
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(receiver.port);
    Settings.Config.Manager = QStringLiteral("pc1, text+%1/office/secret-topic ,%1/hooks/T0/B0/secret").arg(base);
    const QStringList list = names(20, QStringLiteral("user%1"));
    messenger.ReportToManager(ReportKind::Login, &list);
    ASSERT_TRUE(delivery.finish(std::chrono::seconds(10)));

    ASSERT_EQ(network.Sent.size(), 1);
    EXPECT_TRUE(network.Sent[0].startsWith(QStringLiteral("pc1|CORVANEPC|user01：")));
    EXPECT_TRUE(network.Sent[0].contains(QStringLiteral("その他"))) << "the message keeps its cut";

    const QList<QByteArray> requests = receiver.taken();
    ASSERT_EQ(requests.size(), 2);
    QByteArray text, json;
    for (const QByteArray &r : requests)
        (r.startsWith("POST /office/secret-topic ") ? text : json) = r;
    ASSERT_TRUE(json.startsWith("POST /hooks/T0/B0/secret ")) << json.left(80).constData();
    EXPECT_TRUE(text.toLower().contains("content-type: text/plain; charset=utf-8"));
    const QString whole = QString::fromUtf8(bodyOf(text));
    EXPECT_TRUE(whole.contains(QStringLiteral("user20"))) << whole.toStdString();
    EXPECT_FALSE(whole.contains(QStringLiteral("その他")));
    EXPECT_TRUE(whole.endsWith(QStringLiteral("がログインしました。")));
    const QJsonObject o = QJsonDocument::fromJson(bodyOf(json)).object();
    EXPECT_EQ(o.value(QStringLiteral("event")).toString(), QStringLiteral("login"));
    EXPECT_EQ(o.value(QStringLiteral("computer")).toString(), QStringLiteral("CORVANEPC"));
    EXPECT_EQ(o.value(QStringLiteral("entries")).toArray().size(), 20);
    EXPECT_EQ(o.value(QStringLiteral("entries")).toArray()[19].toObject().value(QStringLiteral("user")).toString(),
              QStringLiteral("user20"));
    EXPECT_TRUE(o.value(QStringLiteral("text")).toString().contains(QStringLiteral("user20")));
}
