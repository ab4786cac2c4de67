// Presence on MQTT against a real broker (Debian's mosquitto) on a free
// port of 127.0.0.1, started and killed by each test, read back with
// mosquitto_sub: the retained states and discovery documents, what is
// cleared, the status and the will, a broker that is not there at first or
// restarts, names that cannot be topic levels, and TLS brokers that must
// not get the connection.

#include "platform/MqttPresence.h"

#include "support/NetNamespace.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <map>
#include <optional>
#include <set>

using namespace std::chrono_literals;

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

const QString Computer = QStringLiteral("OFFICE1");
const QString Node = QStringLiteral("corvane_OFFICE1");

using Retained = std::map<QString, QByteArray>; // topic -> payload

sockaddr_in loopback(quint16 port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A TCP socket on 127.0.0.1: bound to port (0: a free one), listening.
int listenOn(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = loopback(port);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(fd, 8) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    return fd;
}

quint16 portOf(int fd)
{
    sockaddr_in a{};
    socklen_t length = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &length);
    return ntohs(a.sin_port);
}

quint16 freePort()
{
    const int fd = listenOn(0);
    const quint16 port = portOf(fd);
    ::close(fd);
    return port;
}

bool accepting(const QString &host, quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(port);
    ::inet_pton(AF_INET, host.toLatin1().constData(), &a.sin_addr);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

// Polls condition every 50 ms for at most timeout.
bool eventually(const std::function<bool()> &condition, std::chrono::milliseconds timeout = 10s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        QThread::msleep(50);
    }
    return true;
}

// mosquitto on 127.0.0.1, anonymous, no persistence, everything in its
// log; with a certificate and key, TLS.
class Broker {
public:
    // On a free port (another one if a test running beside takes it first)
    // or on port.
    Broker() : port_(freePort()), portFree_(true) {}
    explicit Broker(quint16 port) : port_(port) {}
    // On host (an address of this namespace), on a free port.
    explicit Broker(const QString &host) : host_(host), port_(freePort()), portFree_(true) {}
    ~Broker() { stop(); }

    bool start(const QString &cert = {}, const QString &key = {}, const QString &ca = {})
    {
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (startOnce(cert, key, ca)) {
                portFree_ = false;
                return true;
            }
            if (!portFree_)
                return false;
            port_ = freePort();
        }
        return false;
    }

    void stop()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    QString host() const { return host_; }
    quint16 port() const { return port_; }
    QByteArray log() const { return dir_.read(QStringLiteral("log")); }

    // The client identifiers of the connections made so far, in order,
    // but for those of mosquitto_sub and mosquitto_pub ("auto-...").
    QStringList clients() const
    {
        static const QRegularExpression connected(QStringLiteral("New client connected from \\S+ as (\\S+) \\("));
        QStringList ids;
        for (auto match = connected.globalMatch(QString::fromUtf8(log())); match.hasNext();)
            ids << match.next().captured(1);
        return ids.filter(QRegularExpression(QStringLiteral("^(?!auto-)")));
    }

    // Another client's retained message (delivered when this returns).
    bool publishRetained(const QString &topic, const QByteArray &payload) const
    {
        QProcess pub;
        pub.start(QStringLiteral("/usr/bin/mosquitto_pub"),
                  {QStringLiteral("-h"), host_, QStringLiteral("-p"), QString::number(port_), QStringLiteral("-q"),
                   QStringLiteral("1"), QStringLiteral("-r"), QStringLiteral("-t"), topic, QStringLiteral("-m"),
                   QString::fromUtf8(payload)});
        const bool done = pub.waitForFinished(10000) && pub.exitCode() == 0;
        if (!done)
            pub.kill();
        return done;
    }

    // The retained messages under filter, as mosquitto_sub gets them within
    // a second.
    Retained retained(const QString &filter, const QString &ca = {}) const
    {
        QStringList args{QStringLiteral("-h"), host_, QStringLiteral("-p"),
                         QString::number(port_), QStringLiteral("-t"), filter, QStringLiteral("-v"),
                         QStringLiteral("--retained-only"), QStringLiteral("-W"), QStringLiteral("1")};
        if (!ca.isEmpty())
            args << QStringLiteral("--cafile") << ca;
        QProcess sub;
        sub.start(QStringLiteral("/usr/bin/mosquitto_sub"), args);
        if (!sub.waitForFinished(10000))
            sub.kill();
        sub.waitForFinished(1000);
        Retained found;
        for (const QByteArray &line : sub.readAllStandardOutput().split('\n')) {
            const qsizetype space = line.indexOf(' ');
            if (space > 0)
                found[QString::fromUtf8(line.left(space))] = line.mid(space + 1);
        }
        return found;
    }

    // Reads until the retained messages under filter are expected (15 s at
    // most); what was read last.
    Retained awaitRetained(const QString &filter, const Retained &expected, const QString &ca = {}) const
    {
        Retained found;
        eventually([&] { return (found = retained(filter, ca)) == expected; }, 15s);
        return found;
    }

private:
    bool startOnce(const QString &cert, const QString &key, const QString &ca)
    {
        QByteArray conf = "listener " + QByteArray::number(port_) + ' ' + host_.toUtf8() + '\n' +
                          "allow_anonymous true\npersistence false\nlog_dest stderr\nlog_type all\n";
        // Started by root, mosquitto would become the user "mosquitto" and
        // lose the test's files; named as itself it stays.
        if (const passwd *me = ::getpwuid(::getuid()))
            conf += QByteArray("user ") + me->pw_name + '\n';
        if (!cert.isEmpty())
            conf += "cafile " + ca.toUtf8() + "\ncertfile " + cert.toUtf8() + "\nkeyfile " + key.toUtf8() + '\n';
        if (!dir_.write(QStringLiteral("mosquitto.conf"), conf))
            return false;
        process_.setStandardErrorFile(dir_.path(QStringLiteral("log")), QIODevice::Append);
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.start(QStringLiteral("/usr/sbin/mosquitto"),
                       {QStringLiteral("-c"), dir_.path(QStringLiteral("mosquitto.conf"))});
        const bool started =
            process_.waitForStarted(5000) &&
            eventually([&] { return process_.state() != QProcess::Running || accepting(host_, port_); }, 5s) &&
            process_.state() == QProcess::Running;
        if (!started)
            stop();
        return started;
    }

    QString host_ = QStringLiteral("127.0.0.1");
    quint16 port_;
    bool portFree_ = false;
    TempDir dir_;
    QProcess process_;
};

// Standard error, where the journal's lines go, into a file while it lives.
class JournalCapture {
public:
    JournalCapture()
    {
        std::fflush(stderr);
        saved_ = ::dup(2);
        const int fd = ::open(QFile::encodeName(dir_.path(QStringLiteral("stderr"))).constData(),
                              O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ::dup2(fd, 2);
        ::close(fd);
    }
    ~JournalCapture()
    {
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
    }
    QList<QByteArray> lines(const QByteArray &start) const
    {
        QList<QByteArray> found;
        for (const QByteArray &line : dir_.read(QStringLiteral("stderr")).split('\n'))
            if (line.startsWith(start))
                found << line;
        return found;
    }
    QByteArray text() const { return dir_.read(QStringLiteral("stderr")); }

private:
    TempDir dir_;
    int saved_ = -1;
};

struct Terminal {
    QString user, resource, state;
};

WatchSnapshotPtr snapshotOf(const QList<Terminal> &terminals)
{
    auto snapshot = std::make_shared<WatchSnapshot>();
    snapshot->taken = QDateTime::currentDateTime();
    snapshot->computer = Computer;
    for (const Terminal &t : terminals) {
        TerminalState state;
        state.user = t.user;
        state.resource = t.resource;
        state.state = t.state;
        snapshot->terminals << state;
    }
    return snapshot;
}

MqttSettings settingsFor(const Broker &broker)
{
    MqttSettings settings;
    settings.broker = broker.host();
    settings.port = broker.port();
    return settings;
}

const QString Presences = QStringLiteral("corvane/+/presence");
const QString Status = QStringLiteral("corvane/status");
const QString Configs = QStringLiteral("homeassistant/binary_sensor/") + Node + QStringLiteral("/+/config");

QString config(const QString &id)
{
    return QStringLiteral("homeassistant/binary_sensor/") + Node + u'/' + id + QStringLiteral("/config");
}
QString presence(const QString &id)
{
    return QStringLiteral("corvane/") + id + QStringLiteral("/presence");
}

QJsonObject documentAt(const Retained &retained, const QString &topic)
{
    const auto found = retained.find(topic);
    return found == retained.end() ? QJsonObject() : QJsonDocument::fromJson(found->second).object();
}

std::set<QString> topicsOf(const Retained &retained)
{
    std::set<QString> topics;
    for (const auto &entry : retained)
        topics.insert(entry.first);
    return topics;
}

const QList<Terminal> Office{{QStringLiteral("tanaka"), QStringLiteral("PC01"), QStringLiteral("in")},
                             {QStringLiteral("suzuki"), QStringLiteral("PC02"), QStringLiteral("out")},
                             {QStringLiteral("sato"), QStringLiteral("PC03"), QStringLiteral("resting")}};

const Retained OfficePresences{{presence(QStringLiteral("PC01")), "ON"},
                               {presence(QStringLiteral("PC02")), "OFF"},
                               {presence(QStringLiteral("PC03")), "OFF"}};

// --- What the broker holds --------------------------------------------------

TEST(MqttPresence, PublishesEachResourcesPresenceAndDiscoveryDocumentRetained)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    MqttPresence mqtt;
    mqtt.configure(settingsFor(broker));
    mqtt.update(snapshotOf(Office));

    EXPECT_EQ(broker.awaitRetained(Presences, OfficePresences), OfficePresences);
    EXPECT_EQ(broker.awaitRetained(Status, {{Status, "online"}}), (Retained{{Status, "online"}}));
    const Retained configs = broker.retained(Configs);
    EXPECT_EQ(topicsOf(configs), (std::set<QString>{config(QStringLiteral("PC01")), config(QStringLiteral("PC02")),
                                                    config(QStringLiteral("PC03"))}));

    const QJsonObject document = documentAt(configs, config(QStringLiteral("PC01")));
    EXPECT_EQ(document.value(QStringLiteral("name")).toString(), QStringLiteral("tanaka (PC01)"));
    EXPECT_EQ(document.value(QStringLiteral("unique_id")).toString(), QStringLiteral("corvane_OFFICE1_PC01"));
    EXPECT_EQ(document.value(QStringLiteral("state_topic")).toString(), presence(QStringLiteral("PC01")));
    EXPECT_EQ(document.value(QStringLiteral("payload_on")).toString(), QStringLiteral("ON"));
    EXPECT_EQ(document.value(QStringLiteral("payload_off")).toString(), QStringLiteral("OFF"));
    EXPECT_EQ(document.value(QStringLiteral("device_class")).toString(), QStringLiteral("presence"));
    EXPECT_EQ(document.value(QStringLiteral("availability_topic")).toString(), Status);
    const QJsonObject device = document.value(QStringLiteral("device")).toObject();
    EXPECT_EQ(device.value(QStringLiteral("identifiers")).toArray(), QJsonArray{Node});
    EXPECT_EQ(device.value(QStringLiteral("name")).toString(), QStringLiteral("Corvane OFFICE1"));
}

TEST(MqttPresence, AChangeFlipsThatResourcesPresenceAlone)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    MqttPresence mqtt;
    mqtt.configure(settingsFor(broker));
    mqtt.update(snapshotOf(Office));
    ASSERT_EQ(broker.awaitRetained(Presences, OfficePresences), OfficePresences);

    QList<Terminal> changed = Office;
    changed[1].state = QStringLiteral("in");
    mqtt.update(snapshotOf(changed));
    Retained expected = OfficePresences;
    expected[presence(QStringLiteral("PC02"))] = "ON";
    EXPECT_EQ(broker.awaitRetained(Presences, expected), expected);
}

TEST(MqttPresence, AResourceListedTwiceHasOnePresenceOnWhileEitherEntryIsIn)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    MqttPresence mqtt;
    mqtt.configure(settingsFor(broker));
    mqtt.update(snapshotOf({{QStringLiteral("tanaka"), QStringLiteral("PC01"), QStringLiteral("in")},
                            {QStringLiteral("suzuki"), QStringLiteral("PC01"), QStringLiteral("out")}}));

    const Retained on{{presence(QStringLiteral("PC01")), "ON"}};
    EXPECT_EQ(broker.awaitRetained(Presences, on), on);
    const Retained configs = broker.retained(Configs);
    ASSERT_EQ(topicsOf(configs), std::set<QString>{config(QStringLiteral("PC01"))});
    EXPECT_EQ(documentAt(configs, config(QStringLiteral("PC01"))).value(QStringLiteral("name")).toString(),
              QStringLiteral("tanaka, suzuki (PC01)"));
}

// --- What leaves the list ------------------------------------------------

TEST(MqttPresence, AResourceLeavingTheListLeavesTheBroker)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    MqttPresence mqtt;
    mqtt.configure(settingsFor(broker));
    mqtt.update(snapshotOf(Office));
    ASSERT_EQ(broker.awaitRetained(Presences, OfficePresences), OfficePresences);

    mqtt.update(snapshotOf(Office.mid(0, 2)));
    Retained expected = OfficePresences;
    expected.erase(presence(QStringLiteral("PC03")));
    EXPECT_EQ(broker.awaitRetained(Presences, expected), expected);
    EXPECT_EQ(topicsOf(broker.retained(Configs)),
              (std::set<QString>{config(QStringLiteral("PC01")), config(QStringLiteral("PC02"))}));
}

TEST(MqttPresence, AResourceRemovedWhileStoppedIsClearedAtTheNextStart)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    {
        MqttPresence before;
        before.configure(settingsFor(broker));
        before.update(snapshotOf(Office));
        ASSERT_EQ(broker.awaitRetained(Presences, OfficePresences), OfficePresences);
    }

    MqttPresence after;
    after.configure(settingsFor(broker));
    after.update(snapshotOf({Office[0], Office[2]}));
    const Retained expected{{presence(QStringLiteral("PC01")), "ON"}, {presence(QStringLiteral("PC03")), "OFF"}};
    EXPECT_EQ(broker.awaitRetained(Presences, expected), expected);
    Retained configs;
    eventually([&] { return (configs = broker.retained(Configs)).size() == 2; });
    EXPECT_EQ(topicsOf(configs), (std::set<QString>{config(QStringLiteral("PC01")), config(QStringLiteral("PC03"))}));
}

TEST(MqttPresence, ANewTopicTakesThePresencesAlong)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    MqttPresence mqtt;
    MqttSettings settings = settingsFor(broker);
    settings.topic = QStringLiteral("office/old");
    mqtt.configure(settings);
    mqtt.update(snapshotOf({Office[0]}));
    const Retained old{{QStringLiteral("office/old/PC01/presence"), "ON"}};
    ASSERT_EQ(broker.awaitRetained(QStringLiteral("office/old/+/presence"), old), old);

    settings.topic = QStringLiteral("office/new");
    mqtt.configure(settings);
    const Retained moved{{QStringLiteral("office/new/PC01/presence"), "ON"}};
    EXPECT_EQ(broker.awaitRetained(QStringLiteral("office/+/+/presence"), moved), moved);
    const QString document = config(QStringLiteral("PC01"));
    EXPECT_EQ(documentAt(broker.retained(document), document).value(QStringLiteral("availability_topic")).toString(),
              QStringLiteral("office/new/status"));
}

// --- Online and offline -------------------------------------------------------

TEST(MqttPresence, ACleanStopLeavesOffline)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    {
        MqttPresence mqtt;
        mqtt.configure(settingsFor(broker));
        mqtt.update(snapshotOf(Office));
        ASSERT_EQ(broker.awaitRetained(Status, {{Status, "online"}}), (Retained{{Status, "online"}}));
    }
    EXPECT_EQ(broker.retained(Status), (Retained{{Status, "offline"}}));
    // The states stay as they were last known.
    EXPECT_EQ(broker.retained(Presences), OfficePresences);
}

TEST(MqttPresence, TurningItOffLeavesOffline)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    MqttPresence mqtt;
    mqtt.configure(settingsFor(broker));
    mqtt.update(snapshotOf(Office));
    ASSERT_EQ(broker.awaitRetained(Status, {{Status, "online"}}), (Retained{{Status, "online"}}));

    mqtt.configure({});
    EXPECT_EQ(broker.awaitRetained(Status, {{Status, "offline"}}), (Retained{{Status, "offline"}}));
}

TEST(MqttPresence, AKilledProcessLeavesOfflineByItsWill)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    const MqttSettings settings = settingsFor(broker);
    const WatchSnapshotPtr snapshot = snapshotOf(Office);
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        MqttPresence mqtt;
        mqtt.configure(settings);
        mqtt.update(snapshot);
        for (int i = 0; i < 600; ++i) // ten minutes at most
            ::sleep(1);
        ::_exit(0);
    }
    struct Reap {
        pid_t pid;
        ~Reap()
        {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    } reap{child};

    ASSERT_EQ(broker.awaitRetained(Status, {{Status, "online"}}), (Retained{{Status, "online"}}));
    ::kill(child, SIGKILL);
    EXPECT_EQ(broker.awaitRetained(Status, {{Status, "offline"}}), (Retained{{Status, "offline"}}));
}

// --- Brokers that are not there ----------------------------------------------

TEST(MqttPresence, ABrokerDownAtFirstGetsTheStateOnceItRunsWithOneJournalLineMeanwhile)
{
    JournalCapture journal;
    // At first something holds the port that takes connections and never
    // answers them, then hangs up on them, then the broker starts there.
    const int holder = listenOn(0);
    ASSERT_GE(holder, 0);
    Broker broker(portOf(holder));
    MqttPresence mqtt;
    MqttSettings settings = settingsFor(broker);
    settings.user = QStringLiteral("watcher");
    settings.password = QStringLiteral("pw-never-in-journal");

    auto handedOver = std::async(std::launch::async, [&] {
        mqtt.configure(settings);
        mqtt.update(snapshotOf(Office));
    });
    EXPECT_EQ(handedOver.wait_for(5s), std::future_status::ready) << "configure() or update() waited for the broker";
    handedOver.wait();

    ::fcntl(holder, F_SETFL, O_NONBLOCK);
    int hungUp = 0;
    eventually([&] {
        const int connection = ::accept(holder, nullptr, nullptr);
        if (connection >= 0) {
            ::close(connection);
            ++hungUp;
        }
        return hungUp == 2;
    });
    ::close(holder);
    EXPECT_EQ(hungUp, 2) << "no second attempt";
    ASSERT_TRUE(broker.start());

    EXPECT_EQ(broker.awaitRetained(Presences, OfficePresences), OfficePresences);
    EXPECT_EQ(journal.lines("corvane: mqtt: cannot connect to 127.0.0.1:").size(), 1) << journal.text().constData();
    EXPECT_EQ(journal.lines("corvane: mqtt: connected to 127.0.0.1:").size(), 1) << journal.text().constData();
    EXPECT_FALSE(journal.text().contains("pw-never-in-journal"));
}

TEST(MqttPresence, ABrokerThatRestartsEmptyGetsTheStateAgain)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    MqttPresence mqtt;
    mqtt.configure(settingsFor(broker));
    mqtt.update(snapshotOf(Office));
    ASSERT_EQ(broker.awaitRetained(Presences, OfficePresences), OfficePresences);

    broker.stop();
    ASSERT_TRUE(broker.start());
    EXPECT_EQ(broker.awaitRetained(Presences, OfficePresences), OfficePresences);
    EXPECT_EQ(broker.retained(Status), (Retained{{Status, "online"}}));
}

// --- Names ----------------------------------------------------------------------

TEST(MqttPresence, NamesThatCannotBeTopicLevelsGetDistinctValidIds)
{
    const QStringList names{QStringLiteral("a/b"), QStringLiteral("a"),     QStringLiteral("+"),
                            QStringLiteral("#"),   QStringLiteral("a b"),   QStringLiteral("経理のPC"),
                            QString(),             QStringLiteral("_"),     QStringLiteral("__5F"),
                            QStringLiteral("a_"),  QStringLiteral("a__5F"), QStringLiteral("/"),
                            QString(1, QChar(0))};
    Broker broker;
    ASSERT_TRUE(broker.start());
    MqttPresence mqtt;
    mqtt.configure(settingsFor(broker));
    QList<Terminal> terminals;
    for (const QString &name : names)
        terminals.append({QStringLiteral("tanaka"), name, QStringLiteral("in")});
    mqtt.update(snapshotOf(terminals));

    Retained presences;
    eventually([&] { return (presences = broker.retained(Presences)).size() == size_t(names.size()); });
    EXPECT_EQ(presences.size(), size_t(names.size()));
    const Retained configs = broker.retained(Configs);
    ASSERT_EQ(configs.size(), size_t(names.size()));
    const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9_-]+$"));
    std::set<QString> named;
    for (const QString &topic : topicsOf(configs)) {
        const QString id = topic.section(u'/', 3, 3);
        EXPECT_TRUE(valid.match(id).hasMatch()) << topic.toStdString();
        const QJsonObject document = documentAt(configs, topic);
        const QString state = document.value(QStringLiteral("state_topic")).toString();
        EXPECT_TRUE(presences.count(state) && presences.at(state) == "ON") << topic.toStdString();
        named.insert(document.value(QStringLiteral("name")).toString());
    }
    for (const QString &name : names)
        EXPECT_TRUE(named.count(name.isEmpty() ? QStringLiteral("tanaka") : QStringLiteral("tanaka (%1)").arg(name)))
            << name.toStdString();
}

TEST(MqttPresence, NoTwoComputersAndResourcesShareAUniqueId)
{
    const QStringList names{QString(),          QStringLiteral("a"),   QStringLiteral("a_"),  QStringLiteral("_b"),
                            QStringLiteral("b"), QStringLiteral("_"),   QStringLiteral("__"),  QStringLiteral("5F"),
                            QStringLiteral("a "), QStringLiteral("20"), QStringLiteral("20,"), QStringLiteral("2C"),
                            QStringLiteral("é"),  QStringLiteral("C3"), QStringLiteral("-")};
    std::set<QString> ids;
    for (const QString &computer : names)
        for (const QString &resource : names)
            ids.insert(MqttPresence::nodeId(computer) + u'_' + MqttPresence::objectId(resource));
    EXPECT_EQ(ids.size(), size_t(names.size() * names.size()));
}

// --- Other clients of a shared broker -------------------------------------------

TEST(MqttPresence, AClientWithThePredictableIdDoesNotKnockCorvaneOff)
{
    JournalCapture journal;
    Broker broker;
    ASSERT_TRUE(broker.start());
    std::optional<MqttPresence> mqtt;
    for (int start = 0; start < 2; ++start) {
        mqtt.emplace();
        mqtt->configure(settingsFor(broker));
        mqtt->update(snapshotOf(Office));
        ASSERT_EQ(broker.awaitRetained(Presences, OfficePresences), OfficePresences);
    }
    // Each start draws its own, within the 23 letters and digits every
    // broker must take.
    const QStringList ids = broker.clients();
    ASSERT_EQ(ids.size(), 2) << broker.log().constData();
    EXPECT_NE(ids[0], ids[1]);
    for (const QString &id : ids)
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[A-Za-z0-9]{1,23}$")).match(id).hasMatch()) << id.toStdString();

    QProcess intruder;
    intruder.start(QStringLiteral("/usr/bin/mosquitto_sub"),
                   {QStringLiteral("-h"), broker.host(), QStringLiteral("-p"), QString::number(broker.port()),
                    QStringLiteral("-i"), Node, QStringLiteral("-t"), QStringLiteral("nothing"), QStringLiteral("-W"),
                    QStringLiteral("5")});
    ASSERT_TRUE(eventually([&] { return broker.clients().contains(Node); })) << broker.log().constData();
    QList<Terminal> changed = Office;
    changed[1].state = QStringLiteral("in");
    mqtt->update(snapshotOf(changed));
    Retained expected = OfficePresences;
    expected[presence(QStringLiteral("PC02"))] = "ON";
    EXPECT_EQ(broker.awaitRetained(Presences, expected), expected);
    intruder.waitForFinished(10000);
    EXPECT_TRUE(journal.lines("corvane: mqtt: connection to").isEmpty()) << journal.text().constData();
}

TEST(MqttPresence, APlantedDiscoveryDocumentCannotMakeCorvaneEraseAnotherSystemsTopic)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    ASSERT_TRUE(broker.publishRetained(QStringLiteral("lights/PC90/presence"), "home"));
    ASSERT_TRUE(broker.publishRetained(config(QStringLiteral("PC90")), R"({"state_topic":"lights/PC90/presence"})"));
    // Corvane's own leftover, cleared after the planted document was read.
    ASSERT_TRUE(broker.publishRetained(config(QStringLiteral("PC99")), R"({"state_topic":"corvane/PC99/presence"})"));
    ASSERT_TRUE(broker.publishRetained(presence(QStringLiteral("PC99")), "ON"));

    MqttPresence mqtt;
    mqtt.configure(settingsFor(broker));
    mqtt.update(snapshotOf(Office));
    EXPECT_EQ(broker.awaitRetained(Presences, OfficePresences), OfficePresences);
    EXPECT_TRUE(broker.awaitRetained(config(QStringLiteral("PC99")), {}).empty());
    EXPECT_EQ(broker.retained(QStringLiteral("lights/#")),
              (Retained{{QStringLiteral("lights/PC90/presence"), "home"}}));
}

TEST(MqttPresence, RetainedValuesOthersPublishOnCorvanesTopicsAreCorrected)
{
    JournalCapture journal;
    Broker broker;
    ASSERT_TRUE(broker.start());
    MqttPresence mqtt;
    mqtt.configure(settingsFor(broker));
    mqtt.update(snapshotOf(Office));
    ASSERT_EQ(broker.awaitRetained(Presences, OfficePresences), OfficePresences);
    const QString document = config(QStringLiteral("PC01"));
    const Retained original = broker.retained(document);

    ASSERT_TRUE(broker.publishRetained(presence(QStringLiteral("PC01")), "OFF"));
    ASSERT_TRUE(broker.publishRetained(document, R"({"state_topic":"forged/PC01/presence"})"));
    EXPECT_EQ(broker.awaitRetained(Presences, OfficePresences), OfficePresences);
    EXPECT_EQ(broker.awaitRetained(document, original), original);
    EXPECT_EQ(journal.lines("corvane: mqtt: another client").size(), 1) << journal.text().constData();
}

TEST(MqttPresence, ItsOwnValuesComingBackLateAreNotTakenForAnotherClients)
{
    // Hundreds of entries flipping faster than the broker hands Corvane's
    // own publications back, and no other client on the broker.
    JournalCapture journal;
    Broker broker;
    ASSERT_TRUE(broker.start());
    QList<Terminal> out, in;
    Retained allIn;
    for (int i = 0; i < 300; ++i) {
        const QString resource = QStringLiteral("PC%1").arg(i, 3, 10, QChar(u'0'));
        out << Terminal{QStringLiteral("user%1").arg(i), resource, QStringLiteral("out")};
        in << Terminal{QStringLiteral("user%1").arg(i), resource, QStringLiteral("in")};
        allIn[presence(resource)] = "ON";
    }
    MqttPresence mqtt;
    mqtt.configure(settingsFor(broker));
    mqtt.update(snapshotOf(in));
    ASSERT_EQ(broker.awaitRetained(Presences, allIn), allIn);
    for (int flip = 0; flip < 5; ++flip) {
        mqtt.update(snapshotOf(out));
        QThread::msleep(2);
        mqtt.update(snapshotOf(in));
        QThread::msleep(2);
    }
    EXPECT_EQ(broker.awaitRetained(Presences, allIn), allIn);
    EXPECT_TRUE(journal.lines("corvane: mqtt: another client").isEmpty()) << journal.text().constData();
}

TEST(MqttPresence, APasswordSentWithoutTlsBeyondLoopbackIsSaidOnce)
{
    NetNamespace::run({}, [] {
        ASSERT_TRUE(NetNamespace::current().ip(
            {QStringLiteral("addr"), QStringLiteral("add"), QStringLiteral("10.9.0.1/32"), QStringLiteral("dev"),
             QStringLiteral("lo")}));
        JournalCapture journal;
        MqttPresence mqtt;
        mqtt.update(snapshotOf(Office));
        // On this computer, then beyond it, twice.
        for (const QString &host : {QStringLiteral("127.0.0.1"), QStringLiteral("10.9.0.1")}) {
            Broker broker(host);
            ASSERT_TRUE(broker.start());
            MqttSettings settings = settingsFor(broker);
            settings.user = QStringLiteral("watcher");
            settings.password = QStringLiteral("secret");
            mqtt.configure(settings);
            ASSERT_EQ(broker.awaitRetained(Presences, OfficePresences), OfficePresences);
            broker.stop();
            ASSERT_TRUE(broker.start());
            ASSERT_EQ(broker.awaitRetained(Presences, OfficePresences), OfficePresences);
        }

        const QList<QByteArray> lines = journal.lines("corvane: mqtt: the password");
        ASSERT_EQ(lines.size(), 1) << journal.text().constData();
        EXPECT_TRUE(lines[0].contains("10.9.0.1:")) << lines[0].constData();
        EXPECT_TRUE(lines[0].contains("CAFile")) << lines[0].constData();
        EXPECT_FALSE(journal.text().contains("secret"));
    });
}

// --- TLS ----------------------------------------------------------------------------

bool run(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("openssl"), args);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Two test authorities; the first signed a certificate for IP:127.0.0.1,
// the other one for another name.
struct Authorities {
    TempDir dir;
    bool made = false;
    QString path(const char *name) const { return dir.path(QString::fromLatin1(name)); }

    bool authority(const char *name)
    {
        return run({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                    QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
                    QStringLiteral("-nodes"), QStringLiteral("-keyout"), path(name) + ".key", QStringLiteral("-out"),
                    path(name) + ".pem",
                    QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                    QStringLiteral("/CN=Corvane Test ") + QString::fromLatin1(name), QStringLiteral("-addext"),
                    QStringLiteral("basicConstraints=critical,CA:TRUE"), QStringLiteral("-addext"),
                    QStringLiteral("keyUsage=critical,keyCertSign")});
    }
    bool server(const char *name, const char *by, const QByteArray &altName)
    {
        return dir.write(QString::fromLatin1(name) + ".ext", "subjectAltName=" + altName + "\n") &&
               run({QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                    QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"), QStringLiteral("-keyout"),
                    path(name) + ".key", QStringLiteral("-out"), path(name) + ".csr", QStringLiteral("-subj"),
                    QStringLiteral("/CN=broker")}) &&
               run({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), path(name) + ".csr",
                    QStringLiteral("-CA"), path(by) + ".pem", QStringLiteral("-CAkey"), path(by) + ".key",
                    QStringLiteral("-CAcreateserial"), QStringLiteral("-days"), QStringLiteral("2"),
                    QStringLiteral("-extfile"), path(name) + ".ext", QStringLiteral("-out"), path(name) + ".pem"});
    }

    Authorities()
    {
        made = authority("trusted") && authority("other") && server("broker", "trusted", "IP:127.0.0.1") &&
               server("elsewhere", "trusted", "DNS:elsewhere.example");
    }
    static const Authorities &get()
    {
        static const Authorities authorities;
        return authorities;
    }
};

// The broker shows certificate; the client trusts caFile and has a
// password. Whether the connection was refused before the broker got the
// client's CONNECT.
void expectRefused(const char *certificate, const char *caFile)
{
    const Authorities &a = Authorities::get();
    ASSERT_TRUE(a.made) << "openssl could not make the test certificates";
    JournalCapture journal;
    Broker broker;
    ASSERT_TRUE(broker.start(a.path(certificate) + ".pem", a.path(certificate) + ".key", a.path("trusted") + ".pem"));
    MqttPresence mqtt;
    MqttSettings settings = settingsFor(broker);
    settings.caFile = a.path(caFile) + ".pem";
    settings.user = QStringLiteral("watcher");
    settings.password = QStringLiteral("tls-secret");
    mqtt.configure(settings);
    mqtt.update(snapshotOf(Office));

    EXPECT_TRUE(eventually([&] { return !journal.lines("corvane: mqtt: cannot connect").isEmpty(); }))
        << journal.text().constData();
    EXPECT_FALSE(broker.log().contains("New client connected")) << broker.log().constData();

    // Trusting the right authority for the right name, it gets through.
    if (QByteArray(certificate) == "broker") {
        settings.caFile = a.path("trusted") + ".pem";
        mqtt.configure(settings);
        EXPECT_EQ(broker.awaitRetained(Presences, OfficePresences, a.path("trusted") + ".pem"), OfficePresences);
    }
}

TEST(MqttPresence, ABrokerSignedByAnotherAuthorityGetsNoConnection)
{
    expectRefused("broker", "other");
}

TEST(MqttPresence, ABrokerWithACertificateForAnotherNameGetsNoConnection)
{
    expectRefused("elsewhere", "trusted");
}

} // namespace
