#include "platform/MqttTopics.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QStringList>

namespace {

const QByteArray DiscoveryPrefix = "homeassistant/binary_sensor/";
const QByteArray ConfigEnd = "/config";
const QByteArray PresenceEnd = "/presence";

bool keptAsIs(uchar b)
{
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '-';
}

// The single level between head and end of topic; empty when topic is not
// of that form.
QByteArray levelBetween(const QByteArray &topic, const QByteArray &head, const QByteArray &end)
{
    if (topic.size() <= head.size() + end.size() || !topic.startsWith(head) || !topic.endsWith(end))
        return {};
    const QByteArray level = topic.mid(head.size(), topic.size() - head.size() - end.size());
    return level.contains('/') ? QByteArray() : level;
}

} // namespace

MqttTopics::MqttTopics(const QByteArray &topic, const QString &computer)
    : topic_(topic), computer_(computer), node_(nodeId(computer).toUtf8())
{
}

QByteArray MqttTopics::config(const QByteArray &id) const
{
    return DiscoveryPrefix + node_ + '/' + id + ConfigEnd;
}

QByteArray MqttTopics::configs() const
{
    return DiscoveryPrefix + node_ + "/+" + ConfigEnd;
}

QByteArray MqttTopics::configId(const QByteArray &topic) const
{
    return levelBetween(topic, DiscoveryPrefix + node_ + '/', ConfigEnd);
}

QByteArray MqttTopics::presenceId(const QByteArray &topic) const
{
    return levelBetween(topic, topic_ + '/', PresenceEnd);
}

bool MqttTopics::mayClear(const QByteArray &document) const
{
    const QJsonValue state = QJsonDocument::fromJson(document).object().value(QStringLiteral("state_topic"));
    return state.isString() && state.toString().toUtf8().startsWith(topic_ + '/');
}

QByteArray MqttTopics::differing(const Entries &published, const QByteArray &topic, const QByteArray &payload) const
{
    const QByteArray presenceOf = presenceId(topic);
    const QByteArray id = presenceOf.isEmpty() ? configId(topic) : presenceOf;
    const auto found = published.find(id);
    if (id.isEmpty() || found == published.end())
        return {};
    const QByteArray &held = presenceOf.isEmpty() ? found->second.document : found->second.presence;
    return held == payload ? QByteArray() : id;
}

MqttTopics::Entries MqttTopics::wanted(const WatchSnapshot &snapshot) const
{
    struct Resource {
        QString name;
        QStringList users;
        bool in = false;
    };
    std::map<QByteArray, Resource> resources;
    for (const TerminalState &terminal : snapshot.terminals) {
        Resource &resource = resources[objectId(terminal.resource).toUtf8()];
        resource.name = terminal.resource;
        if (!terminal.user.isEmpty() && !resource.users.contains(terminal.user))
            resource.users << terminal.user;
        resource.in = resource.in || terminal.state == QLatin1String("in");
    }

    const QString node = QString::fromLatin1(node_);
    const QJsonObject device{{QStringLiteral("identifiers"), QJsonArray{node}},
                             {QStringLiteral("name"), QStringLiteral("Corvane ") + computer_}};
    const QString availability = QString::fromUtf8(status());
    Entries entries;
    for (const auto &[id, resource] : resources) {
        QString name = resource.users.join(QStringLiteral(", "));
        if (name.isEmpty())
            name = resource.name;
        else if (!resource.name.isEmpty())
            name += QStringLiteral(" (") + resource.name + u')';
        const QJsonObject document{
            {QStringLiteral("name"), name},
            {QStringLiteral("unique_id"), node + u'_' + QString::fromLatin1(id)},
            {QStringLiteral("state_topic"), QString::fromUtf8(presence(id))},
            {QStringLiteral("payload_on"), QStringLiteral("ON")},
            {QStringLiteral("payload_off"), QStringLiteral("OFF")},
            {QStringLiteral("device_class"), QStringLiteral("presence")},
            {QStringLiteral("availability_topic"), availability},
            {QStringLiteral("device"), device},
        };
        entries[id] = {resource.in ? QByteArray("ON") : QByteArray("OFF"),
                       QJsonDocument(document).toJson(QJsonDocument::Compact)};
    }
    return entries;
}

MqttTopics::Messages MqttTopics::changes(const Entries &from, const Entries &to) const
{
    Messages messages;
    for (const auto &[id, entry] : to) {
        const auto old = from.find(id);
        if (old == from.end() || old->second.document != entry.document)
            messages.emplace_back(config(id), entry.document);
        if (old == from.end() || old->second.presence != entry.presence)
            messages.emplace_back(presence(id), entry.presence);
    }
    for (const auto &[id, entry] : from)
        if (!to.count(id))
            clear(id, Both, messages);
    return messages;
}

void MqttTopics::clear(const QByteArray &id, Part part, Messages &messages) const
{
    if (part & Document)
        messages.emplace_back(config(id), QByteArray());
    if (part & Presence)
        messages.emplace_back(presence(id), QByteArray());
}

QString MqttTopics::objectId(const QString &resource)
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

QString MqttTopics::nodeId(const QString &computer)
{
    return QStringLiteral("corvane_") + objectId(computer);
}

QByteArray MqttTopics::clientId()
{
    static const char Alphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    QByteArray id = "corvane";
    for (int i = 0; i < 16; ++i)
        id += Alphabet[QRandomGenerator::system()->bounded(int(sizeof Alphabet - 1))];
    return id;
}
