#include "platform/MqttPresence.h"

#include "platform/Journal.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <mosquitto.h>

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
#include <map>
#include <mutex>
#include <optional>

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

const QByteArray DiscoveryPrefix = "homeassistant/binary_sensor/";
const QByteArray Online = "online";
const QByteArray Offline = "offline";
const QByteArray On = "ON";
const QByteArray Off = "OFF";

bool keptAsIs(uchar b)
{
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '-';
}

QString hostAndPort(const MqttSettings &settings)
{
    const QString host = settings.broker.contains(u':') ? u'[' + settings.broker + u']' : settings.broker;
    return host + u':' + QString::number(settings.port);
}

bool publishable(const QByteArray &topic)
{
    return mosquitto_pub_topic_check2(topic.constData(), size_t(topic.size())) == MOSQ_ERR_SUCCESS &&
           mosquitto_validate_utf8(topic.constData(), int(topic.size())) == MOSQ_ERR_SUCCESS;
}

QString withoutFinalStop(QString text)
{
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

void initialiseLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

} // namespace

QString MqttPresence::objectId(const QString &resource)
{
    if (resource.isEmpty())
        return QStringLiteral("_");
    static const char Hex[] = "0123456789ABCDEF";
    QString id;
    for (const char c : resource.toUtf8()) {
        const auto b = uchar(c);
        if (keptAsIs(b)) {
            id += QChar(b);
        } else {
            id += QLatin1String("__");
            id += QChar(Hex[b >> 4]);
            id += QChar(Hex[b & 15]);
        }
    }
    return id;
}

QString MqttPresence::nodeId(const QString &computer)
{
    return QStringLiteral("corvane_") + objectId(computer);
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
    explicit Worker(std::shared_ptr<Channel> channel) : channel_(std::move(channel)) {}
    void run();

private:
    struct Entry {
        QByteArray presence;
        QByteArray document;
    };

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

    QByteArray statusTopic() const { return topic_ + "/status"; }
    QByteArray presenceTopic(const QByteArray &id) const { return topic_ + '/' + id + "/presence"; }
    QByteArray configTopic(const QByteArray &id) const { return DiscoveryPrefix + node_ + '/' + id + "/config"; }
    int publish(mosquitto *m, const QByteArray &topic, const QByteArray &payload) const;
    std::map<QByteArray, Entry> wanted() const;
    void publishState(mosquitto *m);
    void clearLeftovers(mosquitto *m);
    void collect(const mosquitto_message *message);

    static void onConnect(mosquitto *, void *self, int rc);
    static void onDisconnect(mosquitto *, void *self, int rc);
    static void onPublish(mosquitto *, void *self, int mid);
    static void onSubscribe(mosquitto *, void *self, int mid, int count, const int *granted);
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message);
    static void onLog(mosquitto *, void *self, int level, const char *text);

    std::shared_ptr<Channel> channel_;

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

    // The connection.
    QString computer_;
    QByteArray node_;
    bool accepted_ = false;
    bool justAccepted_ = false;
    int refusal_ = 0;
    bool disconnected_ = false;
    Clock::time_point acceptedAt_{};
    QString lastError_;
    std::map<QByteArray, Entry> published_; // by ID
    int offlineMid_ = -1;
    bool offlineAcked_ = false;

    // Reading the retained discovery documents of this node.
    bool collecting_ = false;
    bool subscribed_ = false;
    int subscribeMid_ = -1;
    QByteArray subscription_;
    Clock::time_point collectStart_{};
    Clock::time_point lastCollected_{};
    std::map<QByteArray, QByteArray> collected_; // ID -> the state topic its document names
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
    topic_ = (settings.topic.isEmpty() ? QStringLiteral("corvane") : settings.topic).toUtf8();
    pause_ = FirstPause;
    nextAttempt_ = {};
    troubled_ = false;
    announced_ = false;
    usable_ = !settings.broker.isEmpty();
    if (usable_ && !publishable(statusTopic())) {
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
    const int sock = mosquitto_socket(m);
    if (sock >= 0)
        fds[count++] = {sock, short(POLLIN | (mosquitto_want_write(m) ? POLLOUT : 0)), 0};
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
    node_ = nodeId(computer_).toUtf8();
    accepted_ = justAccepted_ = disconnected_ = offlineAcked_ = false;
    refusal_ = 0;
    offlineMid_ = -1;
    lastError_.clear();
    published_.clear();
    collecting_ = subscribed_ = leftoversKnown_ = false;
    collected_.clear();
    snapshotChanged_ = false;

    mosquitto *m = mosquitto_new(node_.constData(), true, this);
    if (!m) {
        ended(QStringLiteral("out of memory"));
        return;
    }
    const std::unique_ptr<mosquitto, void (*)(mosquitto *)> owner(m, mosquitto_destroy);
    mosquitto_int_option(m, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(m, onConnect);
    mosquitto_disconnect_callback_set(m, onDisconnect);
    mosquitto_publish_callback_set(m, onPublish);
    mosquitto_subscribe_callback_set(m, onSubscribe);
    mosquitto_message_callback_set(m, onMessage);
    mosquitto_log_callback_set(m, onLog);

    const QByteArray status = statusTopic();
    int rc = mosquitto_will_set(m, status.constData(), int(Offline.size()), Offline.constData(), Qos, true);
    if (rc == MOSQ_ERR_SUCCESS && !settings_.user.isEmpty()) {
        const QByteArray password = settings_.password.toUtf8();
        rc = mosquitto_username_pw_set(m, settings_.user.toUtf8().constData(),
                                       settings_.password.isEmpty() ? nullptr : password.constData());
    }
    if (rc == MOSQ_ERR_SUCCESS && !settings_.caFile.isEmpty()) {
        rc = mosquitto_tls_set(m, QFile::encodeName(settings_.caFile).constData(), nullptr, nullptr, nullptr, nullptr);
        if (rc == MOSQ_ERR_INVAL) {
            ended(QStringLiteral("cannot read the CA file %1").arg(settings_.caFile));
            return;
        }
    }
    if (rc == MOSQ_ERR_SUCCESS) {
        errno = 0;
        rc = mosquitto_connect_async(m, settings_.broker.toUtf8().constData(), settings_.port, KeepAliveSeconds);
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
        const short events = waitForSocket(m, until, true);
        takeNews();
        if (!accepted_) {
            if (const std::optional<QString> why = earlyEnd(m, events)) {
                ended(*why);
                return;
            }
        }
        errno = 0;
        rc = mosquitto_loop(m, 0, 1);
        if (rc != MOSQ_ERR_SUCCESS) {
            ended(reason(rc, errno));
            return;
        }
        if (stop_ || pending_) {
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
                for (const auto &entry : published_)
                    publish(m, configTopic(entry.first), {});
                goodbye(m);
                nextAttempt_ = {};
                return;
            }
            publishState(m);
        }
        if (collecting_) {
            const Clock::time_point at = Clock::now();
            if ((subscribed_ && at - lastCollected_ >= CollectQuiet) || at - collectStart_ >= CollectLongest) {
                collecting_ = false;
                leftoversKnown_ = true;
                mosquitto_unsubscribe(m, nullptr, subscription_.constData());
            }
        }
        if (leftoversKnown_) {
            leftoversKnown_ = false;
            clearLeftovers(m);
        }
    }
}

// Ends an attempt that libmosquitto would keep trying: a refused or reset
// connection, or a broker that hung up during the TLS handshake.
std::optional<QString> MqttPresence::Worker::earlyEnd(mosquitto *m, short events) const
{
    const int sock = mosquitto_socket(m);
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
        return withoutFinalStop(QString::fromUtf8(mosquitto_connack_string(refusal_)));
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
    return withoutFinalStop(QString::fromUtf8(mosquitto_strerror(rc)));
}

void MqttPresence::Worker::accepted(mosquitto *m)
{
    acceptedAt_ = Clock::now();
    if (troubled_ || !announced_)
        JournalLine(JournalPriority::Notice, "mqtt", QStringLiteral("connected to ") + hostAndPort(settings_));
    troubled_ = false;
    announced_ = true;

    subscription_ = DiscoveryPrefix + node_ + "/+/config";
    collecting_ = true;
    collectStart_ = lastCollected_ = acceptedAt_;
    if (mosquitto_subscribe(m, &subscribeMid_, subscription_.constData(), 0) != MOSQ_ERR_SUCCESS)
        collecting_ = false;
    publishState(m);
    publish(m, statusTopic(), Online);
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
    offlineMid_ = publish(m, statusTopic(), Offline);
    while (offlineMid_ >= 0 && !offlineAcked_ && Clock::now() < deadline) {
        waitForSocket(m, deadline, false);
        if (mosquitto_loop(m, 0, 1) != MOSQ_ERR_SUCCESS)
            return;
    }
    if (mosquitto_disconnect(m) != MOSQ_ERR_SUCCESS)
        return;
    while (!disconnected_ && Clock::now() < deadline) {
        waitForSocket(m, deadline, false);
        if (mosquitto_loop(m, 0, 1) != MOSQ_ERR_SUCCESS)
            return;
    }
}

int MqttPresence::Worker::publish(mosquitto *m, const QByteArray &topic, const QByteArray &payload) const
{
    int mid = -1;
    if (mosquitto_publish(m, &mid, topic.constData(), int(payload.size()), payload.constData(), Qos, true) !=
        MOSQ_ERR_SUCCESS)
        return -1;
    return mid;
}

std::map<QByteArray, MqttPresence::Worker::Entry> MqttPresence::Worker::wanted() const
{
    struct Resource {
        QString name;
        QStringList users;
        bool in = false;
    };
    std::map<QByteArray, Resource> resources;
    for (const TerminalState &terminal : snapshot_->terminals) {
        Resource &resource = resources[objectId(terminal.resource).toUtf8()];
        resource.name = terminal.resource;
        if (!terminal.user.isEmpty() && !resource.users.contains(terminal.user))
            resource.users << terminal.user;
        resource.in = resource.in || terminal.state == QLatin1String("in");
    }

    const QString node = QString::fromLatin1(node_);
    const QJsonObject device{{QStringLiteral("identifiers"), QJsonArray{node}},
                             {QStringLiteral("name"), QStringLiteral("Corvane ") + computer_}};
    const QString availability = QString::fromUtf8(statusTopic());
    std::map<QByteArray, Entry> entries;
    for (const auto &[id, resource] : resources) {
        QString name = resource.users.join(QStringLiteral(", "));
        if (name.isEmpty())
            name = resource.name;
        else if (!resource.name.isEmpty())
            name += QStringLiteral(" (") + resource.name + u')';
        const QJsonObject document{
            {QStringLiteral("name"), name},
            {QStringLiteral("unique_id"), node + u'_' + QString::fromLatin1(id)},
            {QStringLiteral("state_topic"), QString::fromUtf8(presenceTopic(id))},
            {QStringLiteral("payload_on"), QString::fromLatin1(On)},
            {QStringLiteral("payload_off"), QString::fromLatin1(Off)},
            {QStringLiteral("device_class"), QStringLiteral("presence")},
            {QStringLiteral("availability_topic"), availability},
            {QStringLiteral("device"), device},
        };
        entries[id] = {resource.in ? On : Off, QJsonDocument(document).toJson(QJsonDocument::Compact)};
    }
    return entries;
}

// Publishes what changed since the last time on this connection: a new
// resource's document before its presence, a departed one's both cleared.
void MqttPresence::Worker::publishState(mosquitto *m)
{
    std::map<QByteArray, Entry> entries = wanted();
    for (const auto &[id, entry] : entries) {
        const auto old = published_.find(id);
        if (old == published_.end() || old->second.document != entry.document)
            publish(m, configTopic(id), entry.document);
        if (old == published_.end() || old->second.presence != entry.presence)
            publish(m, presenceTopic(id), entry.presence);
    }
    for (const auto &[id, entry] : published_) {
        if (!entries.count(id)) {
            publish(m, configTopic(id), {});
            publish(m, presenceTopic(id), {});
        }
    }
    published_ = std::move(entries);
}

void MqttPresence::Worker::clearLeftovers(mosquitto *m)
{
    for (const auto &[id, stateTopic] : collected_) {
        const QByteArray current = presenceTopic(id);
        if (!published_.count(id)) {
            publish(m, configTopic(id), {});
            publish(m, current, {});
        }
        // A presence under a former topic; only one of this ID's form, so
        // that a document can name no other topic to be cleared.
        if (!stateTopic.isEmpty() && stateTopic != current && stateTopic.endsWith('/' + id + "/presence") &&
            publishable(stateTopic))
            publish(m, stateTopic, {});
    }
    collected_.clear();
}

void MqttPresence::Worker::collect(const mosquitto_message *message)
{
    if (!collecting_ || !message->retain || !message->topic || collected_.size() >= MostCollected)
        return;
    const QByteArray topic(message->topic);
    const QByteArray head = DiscoveryPrefix + node_ + '/';
    if (!topic.startsWith(head) || !topic.endsWith("/config"))
        return;
    const QByteArray id = topic.mid(head.size(), topic.size() - head.size() - int(sizeof "/config") + 1);
    if (id.isEmpty() || id.contains('/'))
        return;
    const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
    collected_[id] = QJsonDocument::fromJson(payload).object().value(QStringLiteral("state_topic")).toString().toUtf8();
    lastCollected_ = Clock::now();
}

void MqttPresence::Worker::onConnect(mosquitto *, void *self, int rc)
{
    auto *worker = static_cast<Worker *>(self);
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
    static_cast<Worker *>(self)->collect(message);
}

void MqttPresence::Worker::onLog(mosquitto *, void *self, int level, const char *text)
{
    if ((level & MOSQ_LOG_ERR) && text)
        static_cast<Worker *>(self)->lastError_ = QString::fromUtf8(text);
}

MqttPresence::MqttPresence() : channel_(std::make_shared<Channel>())
{
    initialiseLibrary();
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
