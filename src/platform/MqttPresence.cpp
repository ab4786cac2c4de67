#include "platform/MqttPresence.h"

#include "platform/Journal.h"
#include "platform/MosquittoLibrary.h"
#include "platform/MqttEchoes.h"
#include "platform/MqttTopics.h"

#include <QFile>
#include <QHostAddress>

#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>

using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

// The destructor's wait, and the worker's share of it for "offline" and
// the DISCONNECT.
constexpr auto StopBound = 2s;
constexpr auto GoodbyeBound = 1500ms;
// From the start of an attempt to the broker's acceptance.
constexpr auto ConnectBound = 10s;
constexpr auto FirstPause = std::chrono::duration_cast<Clock::duration>(1s);
constexpr auto LongestPause = std::chrono::duration_cast<Clock::duration>(60s);
// A connection lost after this long is tried again after FirstPause.
constexpr auto SteadyConnection = 60s;
// The retained discovery documents are read until none has come for
// CollectQuiet after the subscription is confirmed, and never longer than
// CollectLongest; at most MostCollected of them are kept.
constexpr auto CollectQuiet = 500ms;
constexpr auto CollectLongest = 3s;
constexpr size_t MostCollected = 10000;
constexpr int KeepAliveSeconds = 30;
constexpr int Qos = 1;
// Another client's values on Corvane's topics are overwritten at most this
// often, so that two writers of one topic cannot make a storm of it.
constexpr auto CorrectionPause = std::chrono::duration_cast<Clock::duration>(1s);

const QByteArray Online = "online";
const QByteArray Offline = "offline";

QString hostAndPort(const MqttSettings &settings)
{
    const QString host = settings.broker.contains(u':') ? u'[' + settings.broker + u']' : settings.broker;
    return host + u':' + QString::number(settings.port);
}

bool publishable(const QByteArray &topic)
{
    return libmosquitto().pub_topic_check2(topic.constData(), size_t(topic.size())) == MOSQ_ERR_SUCCESS &&
           libmosquitto().validate_utf8(topic.constData(), int(topic.size())) == MOSQ_ERR_SUCCESS;
}

QByteArray topicOf(const MqttSettings &settings)
{
    return (settings.topic.isEmpty() ? QStringLiteral("corvane") : settings.topic).toUtf8();
}

QString withoutFinalStop(QString text)
{
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}


} // namespace

QString MqttPresence::objectId(const QString &resource)
{
    return MqttTopics::objectId(resource);
}

QString MqttPresence::nodeId(const QString &computer)
{
    return MqttTopics::nodeId(computer);
}

// What the caller's thread hands over, and the worker's end.
struct MqttPresence::Channel {
    Channel() : wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~Channel()
    {
        if (wakeFd >= 0)
            ::close(wakeFd);
    }
    Channel(const Channel &) = delete;
    Channel &operator=(const Channel &) = delete;

    void wake() const
    {
        const uint64_t one = 1;
        if (wakeFd >= 0 && ::write(wakeFd, &one, sizeof one) < 0) {
            // Full (never, in practice): the worker is woken already.
        }
    }
    void drain() const
    {
        uint64_t count = 0;
        if (wakeFd >= 0 && ::read(wakeFd, &count, sizeof count) < 0) {
            // Nothing was waiting.
        }
    }

    const int wakeFd;
    std::mutex mutex;
    std::condition_variable finishedChanged;
    MqttSettings settings;
    quint64 settingsVersion = 0;
    WatchSnapshotPtr snapshot;
    quint64 snapshotVersion = 0;
    bool stop = false;
    bool finished = false;
};

class MqttPresence::Worker {
public:
    explicit Worker(std::shared_ptr<Channel> channel)
        : channel_(std::move(channel)), clientId_(MqttTopics::clientId())
    {
    }
    void run();

private:
    void takeNews();
    void apply(const MqttSettings &settings);
    void waitForNews(std::optional<Clock::time_point> until) const;
    short waitForSocket(mosquitto *m, Clock::time_point until, bool news) const;

    void connection();
    std::optional<QString> earlyEnd(mosquitto *m, short events) const;
    QString reason(int rc, int error) const;
    void accepted(mosquitto *m);
    void ended(const QString &why);
    void goodbye(mosquitto *m);

    int publish(mosquitto *m, const QByteArray &topic, const QByteArray &payload) const;
    void publish(mosquitto *m, const MqttTopics::Messages &messages);
    void publishState(mosquitto *m);
    void clearLeftovers(mosquitto *m);
    void collect(const mosquitto_message *message);
    void readBack(const mosquitto_message *message);
    void correct(mosquitto *m);
    void passwordSent(mosquitto *m);

    static void onConnect(mosquitto *, void *self, int rc);
    static void onDisconnect(mosquitto *, void *self, int rc);
    static void onPublish(mosquitto *, void *self, int mid);
    static void onSubscribe(mosquitto *, void *self, int mid, int count, const int *granted);
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message);
    static void onLog(mosquitto *, void *self, int level, const char *text);

    std::shared_ptr<Channel> channel_;
    // Drawn once a start: a client that took this id at the broker would
    // take Corvane's place there.
    const QByteArray clientId_;

    // What the channel held when last looked at.
    quint64 settingsSeen_ = 0;
    quint64 snapshotSeen_ = 0;
    std::optional<MqttSettings> pending_;
    WatchSnapshotPtr snapshot_;
    bool snapshotChanged_ = false;
    bool stop_ = false;

    // The settings in use.
    MqttSettings settings_;
    QByteArray topic_;
    bool usable_ = false;

    // Trying again.
    Clock::duration pause_ = FirstPause;
    Clock::time_point nextAttempt_{};
    bool troubled_ = false;  // a failure is in the journal, no connection since
    bool announced_ = false; // "connected" is in the journal for these settings

    // Said once a run: the brokers that got the password without TLS, and
    // that another client wrote Corvane's topics.
    std::set<QString> plainPasswordSaid_;
    bool overwriteSaid_ = false;

    // The connection.
    QString computer_;
    MqttTopics topics_;
    bool accepted_ = false;
    bool justAccepted_ = false;
    int refusal_ = 0;
    bool disconnected_ = false;
    Clock::time_point acceptedAt_{};
    QString lastError_;
    MqttTopics::Entries published_;
    MqttEchoes echoes_; // what is published on the topics read back and not yet back
    int offlineMid_ = -1;
    bool offlineAcked_ = false;
    std::set<QByteArray> corrections_; // IDs whose topics another client wrote
    Clock::time_point nextCorrection_{};

    // Reading the retained discovery documents of this node.
    bool collecting_ = false;
    bool subscribed_ = false;
    int subscribeMid_ = -1;
    Clock::time_point collectStart_{};
    Clock::time_point lastCollected_{};
    std::set<QByteArray> collected_; // IDs of documents Corvane may clear
    bool leftoversKnown_ = false;
};

void MqttPresence::Worker::run()
{
    for (;;) {
        takeNews();
        if (stop_)
            break;
        if (pending_)
            apply(*std::exchange(pending_, std::nullopt));
        if (!usable_ || !snapshot_)
            waitForNews(std::nullopt);
        else if (Clock::now() < nextAttempt_)
            waitForNews(nextAttempt_);
        else
            connection();
    }
    std::lock_guard lock(channel_->mutex);
    channel_->finished = true;
    channel_->finishedChanged.notify_all();
}

void MqttPresence::Worker::takeNews()
{
    channel_->drain();
    std::lock_guard lock(channel_->mutex);
    stop_ = channel_->stop;
    if (channel_->settingsVersion != settingsSeen_) {
        settingsSeen_ = channel_->settingsVersion;
        pending_ = channel_->settings;
    }
    if (channel_->snapshotVersion != snapshotSeen_) {
        snapshotSeen_ = channel_->snapshotVersion;
        snapshot_ = channel_->snapshot;
        snapshotChanged_ = true;
    }
}

void MqttPresence::Worker::apply(const MqttSettings &settings)
{
    settings_ = settings;
    topic_ = topicOf(settings);
    pause_ = FirstPause;
    nextAttempt_ = {};
    troubled_ = false;
    announced_ = false;
    usable_ = !settings.broker.isEmpty();
    if (usable_ && !libmosquitto().ready) {
        usable_ = false;
        JournalLine(JournalPriority::Warning, "mqtt", libmosquitto().library.error());
        return;
    }
    if (usable_ && !publishable(MqttTopics(topic_, {}).status())) {
        usable_ = false;
        JournalLine(JournalPriority::Warning, "mqtt",
                    QStringLiteral("\"%1\" cannot start a topic (it may not hold + or # or control characters)")
                        .arg(QString::fromUtf8(topic_)));
    }
}

void MqttPresence::Worker::waitForNews(std::optional<Clock::time_point> until) const
{
    int timeout = -1;
    if (until)
        timeout = int(std::clamp<Clock::rep>(
            std::chrono::ceil<std::chrono::milliseconds>(*until - Clock::now()).count(), 0, 60000));
    if (channel_->wakeFd < 0 && (timeout < 0 || timeout > 1000))
        timeout = 1000;
    pollfd wake{channel_->wakeFd, POLLIN, 0};
    ::poll(&wake, channel_->wakeFd < 0 ? 0 : 1, timeout);
}

// Waits until the connection's socket (or, with news, the channel) has
// something or until (never longer than a second, for the keep-alive);
// the socket's events.
short MqttPresence::Worker::waitForSocket(mosquitto *m, Clock::time_point until, bool news) const
{
    pollfd fds[2];
    nfds_t count = 0;
    const int sock = libmosquitto().socket(m);
    if (sock >= 0)
        fds[count++] = {sock, short(POLLIN | (libmosquitto().want_write(m) ? POLLOUT : 0)), 0};
    if (news && channel_->wakeFd >= 0)
        fds[count++] = {channel_->wakeFd, POLLIN, 0};
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
    if (::poll(fds, count, int(std::clamp<decltype(left)>(left, 0, 1000))) <= 0 || sock < 0)
        return 0;
    return fds[0].revents;
}

void MqttPresence::Worker::connection()
{
    const Clock::time_point start = Clock::now();
    computer_ = snapshot_->computer;
    topics_ = MqttTopics(topic_, computer_);
    accepted_ = justAccepted_ = disconnected_ = offlineAcked_ = false;
    refusal_ = 0;
    offlineMid_ = -1;
    lastError_.clear();
    published_.clear();
    echoes_.clear();
    corrections_.clear();
    collecting_ = subscribed_ = leftoversKnown_ = false;
    collected_.clear();
    snapshotChanged_ = false;

    mosquitto *m = libmosquitto().create(clientId_.constData(), true, this);
    if (!m) {
        ended(QStringLiteral("out of memory"));
        return;
    }
    const std::unique_ptr<mosquitto, void (*)(mosquitto *)> owner(m, libmosquitto().destroy);
    libmosquitto().int_option(m, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    libmosquitto().connect_callback_set(m, onConnect);
    libmosquitto().disconnect_callback_set(m, onDisconnect);
    libmosquitto().publish_callback_set(m, onPublish);
    libmosquitto().subscribe_callback_set(m, onSubscribe);
    libmosquitto().message_callback_set(m, onMessage);
    libmosquitto().log_callback_set(m, onLog);

    const QByteArray status = topics_.status();
    int rc = libmosquitto().will_set(m, status.constData(), int(Offline.size()), Offline.constData(), Qos, true);
    if (rc == MOSQ_ERR_SUCCESS && !settings_.user.isEmpty()) {
        const QByteArray password = settings_.password.toUtf8();
        rc = libmosquitto().username_pw_set(m, settings_.user.toUtf8().constData(),
                                       settings_.password.isEmpty() ? nullptr : password.constData());
    }
    if (rc == MOSQ_ERR_SUCCESS && !settings_.caFile.isEmpty()) {
        rc = libmosquitto().tls_set(m, QFile::encodeName(settings_.caFile).constData(), nullptr, nullptr, nullptr, nullptr);
        if (rc == MOSQ_ERR_INVAL) {
            ended(QStringLiteral("cannot read the CA file %1").arg(settings_.caFile));
            return;
        }
    }
    if (rc == MOSQ_ERR_SUCCESS) {
        errno = 0;
        rc = libmosquitto().connect_async(m, settings_.broker.toUtf8().constData(), settings_.port, KeepAliveSeconds);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        ended(reason(rc, errno));
        return;
    }

    for (;;) {
        const Clock::time_point now = Clock::now();
        Clock::time_point until = now + 1s;
        if (!accepted_)
            until = std::min(until, start + ConnectBound);
        if (collecting_) {
            until = std::min(until, collectStart_ + CollectLongest);
            if (subscribed_)
                until = std::min(until, lastCollected_ + CollectQuiet);
        }
        if (!corrections_.empty())
            until = std::min(until, nextCorrection_);
        const short events = waitForSocket(m, until, true);
        takeNews();
        if (!accepted_) {
            if (const std::optional<QString> why = earlyEnd(m, events)) {
                ended(*why);
                return;
            }
        }
        errno = 0;
        rc = libmosquitto().loop(m, 0, 1);
        if (rc != MOSQ_ERR_SUCCESS) {
            ended(reason(rc, errno));
            return;
        }
        if (stop_ || pending_) {
            // Moving to another prefix on the same broker: the presences
            // under this one are this connection's own, and known to it
            // alone (the next connection finds only documents naming them).
            if (pending_ && accepted_ && pending_->broker == settings_.broker && pending_->port == settings_.port &&
                topicOf(*pending_) != topic_)
                publish(m, topics_.cleared(published_, MqttTopics::Presence));
            // What comes back meanwhile is no one else's.
            published_.clear();
            goodbye(m);
            return;
        }
        if (!accepted_) {
            if (Clock::now() - start >= ConnectBound) {
                ended(QStringLiteral("no answer within %1 s").arg(std::chrono::seconds(ConnectBound).count()));
                return;
            }
            continue;
        }
        if (justAccepted_) {
            justAccepted_ = false;
            accepted(m);
        } else if (snapshotChanged_) {
            snapshotChanged_ = false;
            if (snapshot_->computer != computer_) {
                // Another node: its documents are published anew on the
                // next connection, under the new name.
                publish(m, topics_.cleared(published_, MqttTopics::Document));
                published_.clear();
                goodbye(m);
                nextAttempt_ = {};
                return;
            }
            publishState(m);
        }
        if (collecting_) {
            const Clock::time_point at = Clock::now();
            if ((subscribed_ && at - lastCollected_ >= CollectQuiet) || at - collectStart_ >= CollectLongest) {
                // The subscription stays, to see the documents overwritten.
                collecting_ = false;
                leftoversKnown_ = true;
            }
        }
        if (leftoversKnown_) {
            leftoversKnown_ = false;
            clearLeftovers(m);
        }
        if (!corrections_.empty() && Clock::now() >= nextCorrection_)
            correct(m);
    }
}

// Ends an attempt that libmosquitto would keep trying: a refused or reset
// connection, or a broker that hung up during the TLS handshake.
std::optional<QString> MqttPresence::Worker::earlyEnd(mosquitto *m, short events) const
{
    const int sock = libmosquitto().socket(m);
    if (sock < 0)
        return std::nullopt;
    if (events & (POLLERR | POLLHUP)) {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(sock, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error != 0)
            return QString::fromLocal8Bit(std::strerror(error));
        return QStringLiteral("the broker closed the connection");
    }
    if (events & POLLIN) {
        char byte;
        const ssize_t got = ::recv(sock, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        if (got == 0)
            return QStringLiteral("the broker closed the connection");
        if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return QString::fromLocal8Bit(std::strerror(errno));
    }
    return std::nullopt;
}

QString MqttPresence::Worker::reason(int rc, int error) const
{
    if (refusal_ != 0)
        return withoutFinalStop(QString::fromUtf8(libmosquitto().connack_string(refusal_)));
    switch (rc) {
    case MOSQ_ERR_ERRNO:
        return error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : QStringLiteral("the connection failed");
    case MOSQ_ERR_EAI:
        return QString::fromLocal8Bit(gai_strerror(error));
    case MOSQ_ERR_TLS:
        if (!lastError_.isEmpty())
            return QStringLiteral("TLS: ") + lastError_;
        break;
    default:
        break;
    }
    return withoutFinalStop(QString::fromUtf8(libmosquitto().strerror(rc)));
}

void MqttPresence::Worker::accepted(mosquitto *m)
{
    acceptedAt_ = Clock::now();
    if (troubled_ || !announced_)
        JournalLine(JournalPriority::Notice, "mqtt", QStringLiteral("connected to ") + hostAndPort(settings_));
    troubled_ = false;
    announced_ = true;

    // Both subscriptions go before the state: what they bring retained is
    // older than what this connection publishes, and what they bring
    // afterwards is either that or another client's.
    collecting_ = true;
    collectStart_ = lastCollected_ = acceptedAt_;
    if (libmosquitto().subscribe(m, &subscribeMid_, topics_.configs().constData(), 0) != MOSQ_ERR_SUCCESS)
        collecting_ = false;
    libmosquitto().subscribe(m, nullptr, topics_.presences().constData(), 0);
    publishState(m);
    publish(m, topics_.status(), Online);
}

void MqttPresence::Worker::ended(const QString &why)
{
    const Clock::time_point now = Clock::now();
    if (accepted_) {
        if (!troubled_)
            JournalLine(JournalPriority::Warning, "mqtt",
                        QStringLiteral("connection to %1 lost: %2").arg(hostAndPort(settings_), why));
        if (now - acceptedAt_ >= SteadyConnection)
            pause_ = FirstPause;
    } else if (!troubled_) {
        JournalLine(JournalPriority::Warning, "mqtt",
                    QStringLiteral("cannot connect to %1: %2").arg(hostAndPort(settings_), why));
    }
    troubled_ = true;
    nextAttempt_ = now + pause_;
    pause_ = std::min(pause_ * 2, LongestPause);
}

// "offline" (once the broker has it, all that went before it is there
// too), then a DISCONNECT, within GoodbyeBound.
void MqttPresence::Worker::goodbye(mosquitto *m)
{
    if (!accepted_)
        return;
    const Clock::time_point deadline = Clock::now() + GoodbyeBound;
    offlineMid_ = publish(m, topics_.status(), Offline);
    while (offlineMid_ >= 0 && !offlineAcked_ && Clock::now() < deadline) {
        waitForSocket(m, deadline, false);
        if (libmosquitto().loop(m, 0, 1) != MOSQ_ERR_SUCCESS)
            return;
    }
    if (libmosquitto().disconnect(m) != MOSQ_ERR_SUCCESS)
        return;
    while (!disconnected_ && Clock::now() < deadline) {
        waitForSocket(m, deadline, false);
        if (libmosquitto().loop(m, 0, 1) != MOSQ_ERR_SUCCESS)
            return;
    }
}

int MqttPresence::Worker::publish(mosquitto *m, const QByteArray &topic, const QByteArray &payload) const
{
    int mid = -1;
    if (libmosquitto().publish(m, &mid, topic.constData(), int(payload.size()), payload.constData(), Qos, true) !=
        MOSQ_ERR_SUCCESS)
        return -1;
    return mid;
}

void MqttPresence::Worker::publish(mosquitto *m, const MqttTopics::Messages &messages)
{
    for (const auto &[topic, payload] : messages)
        if (publish(m, topic, payload) >= 0)
            echoes_.sent(topic, payload);
}

// Publishes what changed since the last time on this connection.
void MqttPresence::Worker::publishState(mosquitto *m)
{
    MqttTopics::Entries entries = topics_.wanted(*snapshot_);
    publish(m, topics_.changes(published_, entries));
    published_ = std::move(entries);
}

void MqttPresence::Worker::clearLeftovers(mosquitto *m)
{
    std::erase_if(collected_, [this](const QByteArray &id) { return published_.count(id) != 0; });
    publish(m, topics_.cleared(collected_));
    collected_.clear();
}

// A retained discovery document of this node, as the subscription found it.
void MqttPresence::Worker::collect(const mosquitto_message *message)
{
    if (!collecting_ || collected_.size() >= MostCollected)
        return;
    const QByteArray id = topics_.configId(message->topic);
    if (id.isEmpty())
        return;
    lastCollected_ = Clock::now();
    if (topics_.mayClear(QByteArray(static_cast<const char *>(message->payload), message->payloadlen)))
        collected_.insert(id);
}

// A message published on one of this connection's topics after it
// subscribed: its own, or another client's to be overwritten when it
// differs from what this connection published there.
void MqttPresence::Worker::readBack(const mosquitto_message *message)
{
    const QByteArray topic(message->topic);
    const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
    if (echoes_.own(topic, payload))
        return;
    const QByteArray id = topics_.differing(published_, topic, payload);
    if (id.isEmpty())
        return;
    corrections_.insert(id);
    if (!overwriteSaid_) {
        overwriteSaid_ = true;
        JournalLine(JournalPriority::Warning, "mqtt",
                    QStringLiteral("another client wrote %1 on %2; Corvane publishes its own value again "
                                   "(does another program or Corvane use the same Topic or computer name?)")
                        .arg(QString::fromUtf8(topic), hostAndPort(settings_)));
    }
}

void MqttPresence::Worker::correct(mosquitto *m)
{
    MqttTopics::Entries again;
    for (const QByteArray &id : corrections_)
        if (const auto found = published_.find(id); found != published_.end())
            again.insert(*found);
    publish(m, topics_.changes({}, again));
    corrections_.clear();
    nextCorrection_ = Clock::now() + CorrectionPause;
}

// The CONNECT carried the password: said once a run for each broker it
// reached without TLS beyond this computer.
void MqttPresence::Worker::passwordSent(mosquitto *m)
{
    if (settings_.user.isEmpty() || settings_.password.isEmpty() || !settings_.caFile.isEmpty())
        return;
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    const int sock = libmosquitto().socket(m);
    if (sock < 0 || ::getpeername(sock, reinterpret_cast<sockaddr *>(&peer), &length) != 0 ||
        QHostAddress(reinterpret_cast<const sockaddr *>(&peer)).isLoopback())
        return;
    const QString where = hostAndPort(settings_);
    if (!plainPasswordSaid_.insert(where).second)
        return;
    JournalLine(JournalPriority::Warning, "mqtt",
                QStringLiteral("the password travels unencrypted to %1; set CAFile in [MQTT] (the PEM file of "
                               "the broker's authority) for TLS")
                    .arg(where));
}

void MqttPresence::Worker::onConnect(mosquitto *m, void *self, int rc)
{
    auto *worker = static_cast<Worker *>(self);
    worker->passwordSent(m);
    if (rc == 0) {
        worker->accepted_ = true;
        worker->justAccepted_ = true;
    } else {
        worker->refusal_ = rc;
    }
}

void MqttPresence::Worker::onDisconnect(mosquitto *, void *self, int)
{
    static_cast<Worker *>(self)->disconnected_ = true;
}

void MqttPresence::Worker::onPublish(mosquitto *, void *self, int mid)
{
    auto *worker = static_cast<Worker *>(self);
    if (mid == worker->offlineMid_)
        worker->offlineAcked_ = true;
}

void MqttPresence::Worker::onSubscribe(mosquitto *, void *self, int mid, int, const int *)
{
    auto *worker = static_cast<Worker *>(self);
    if (mid == worker->subscribeMid_) {
        worker->subscribed_ = true;
        worker->lastCollected_ = Clock::now();
    }
}

void MqttPresence::Worker::onMessage(mosquitto *, void *self, const mosquitto_message *message)
{
    if (!message->topic)
        return;
    // Retained means sent for a new subscription, so older than this
    // connection's own publications (MQTT 3.1.1, 3.3.1.3).
    auto *worker = static_cast<Worker *>(self);
    if (message->retain)
        worker->collect(message);
    else
        worker->readBack(message);
}

void MqttPresence::Worker::onLog(mosquitto *, void *self, int level, const char *text)
{
    if ((level & MOSQ_LOG_ERR) && text)
        static_cast<Worker *>(self)->lastError_ = QString::fromUtf8(text);
}

MqttPresence::MqttPresence() : channel_(std::make_shared<Channel>())
{
    thread_ = std::thread([channel = channel_] { Worker(channel).run(); });
}

MqttPresence::~MqttPresence()
{
    std::unique_lock lock(channel_->mutex);
    channel_->stop = true;
    channel_->wake();
    // A worker held up by a name lookup is left to end on its own; it keeps
    // the channel.
    if (channel_->finishedChanged.wait_for(lock, StopBound, [this] { return channel_->finished; })) {
        lock.unlock();
        thread_.join();
    } else {
        lock.unlock();
        thread_.detach();
    }
}

void MqttPresence::configure(const MqttSettings &settings)
{
    {
        std::lock_guard lock(channel_->mutex);
        if (channel_->settingsVersion != 0 && channel_->settings == settings)
            return;
        channel_->settings = settings;
        ++channel_->settingsVersion;
    }
    channel_->wake();
}

void MqttPresence::update(WatchSnapshotPtr snapshot)
{
    if (!snapshot || !snapshot->taken.isValid())
        return;
    {
        std::lock_guard lock(channel_->mutex);
        channel_->snapshot = std::move(snapshot);
        ++channel_->snapshotVersion;
    }
    channel_->wake();
}
