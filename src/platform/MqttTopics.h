#pragma once

// The topics one connection of MqttPresence owns on a broker, what it wants
// them to hold, and which of the retained values it reads back there are
// its own (the layout and the ID mapping are described in MqttPresence.h).
//
// A broker is shared: anyone may publish under any topic. So nothing read
// back is trusted to name a topic: a discovery document found under this
// node is Corvane's to clear only when the state topic it names lies under
// this connection's prefix, and then only the document and the presence
// topic Corvane itself makes for that ID are cleared, never the topic the
// document names.

#include "engine/WatchSnapshot.h"

#include <QByteArray>
#include <QString>

#include <map>
#include <utility>
#include <vector>

class MqttTopics {
public:
    // What the topics of one resource should hold.
    struct Entry {
        QByteArray presence; // "ON" or "OFF"
        QByteArray document; // the discovery document, compact JSON
    };
    using Entries = std::map<QByteArray, Entry>; // by ID
    using Messages = std::vector<std::pair<QByteArray, QByteArray>>; // topic, payload; in order
    enum Part { Presence = 1, Document = 2, Both = 3 };

    MqttTopics() = default;
    // topic: the prefix ("corvane"); computer: this computer's name.
    MqttTopics(const QByteArray &topic, const QString &computer);

    QByteArray status() const { return topic_ + "/status"; }
    QByteArray presence(const QByteArray &id) const { return topic_ + '/' + id + "/presence"; }
    QByteArray config(const QByteArray &id) const;
    // Subscriptions that read back this node's discovery documents and
    // this prefix's presences.
    QByteArray configs() const;
    QByteArray presences() const { return topic_ + "/+/presence"; }
    // The ID a topic is the discovery (presence) topic of; empty when it is
    // none of this node's (this prefix's).
    QByteArray configId(const QByteArray &topic) const;
    QByteArray presenceId(const QByteArray &topic) const;

    // Whether a retained discovery document found under this node may be
    // cleared: the state topic it names lies under this prefix.
    bool mayClear(const QByteArray &document) const;
    // The ID of the published entry whose topic holds another payload than
    // published; empty when the topic is none of theirs, or holds that.
    QByteArray differing(const Entries &published, const QByteArray &topic, const QByteArray &payload) const;

    // What the snapshot's resources should hold. A resource listed more
    // than once has one presence, ON when any of its entries is in, and
    // its users' names in its name.
    Entries wanted(const WatchSnapshot &snapshot) const;

    // The messages that take the broker from holding from to holding to:
    // a new or changed resource's document before its presence, a departed
    // one's both cleared.
    Messages changes(const Entries &from, const Entries &to) const;
    // The messages that clear these IDs' topics (or one part of them).
    template <typename Ids>
    Messages cleared(const Ids &ids, Part part = Both) const
    {
        Messages messages;
        for (const auto &id : ids)
            clear(idOf(id), part, messages);
        return messages;
    }

    static QString objectId(const QString &resource);
    static QString nodeId(const QString &computer);
    // "corvane" and 16 random letters and digits, drawn anew at each call:
    // 23 bytes of the characters every broker must take as a client id,
    // about 95 bits no one else can guess.
    static QByteArray clientId();

private:
    static const QByteArray &idOf(const QByteArray &id) { return id; }
    static const QByteArray &idOf(const Entries::value_type &entry) { return entry.first; }
    void clear(const QByteArray &id, Part part, Messages &messages) const;

    QByteArray topic_;
    QString computer_;
    QByteArray node_;
};
