#pragma once

// Presence on MQTT, for home and office automation (Home Assistant and
// anything else that reads retained topics).
//
// For every resource of the watch list, retained:
//
//     TOPIC/ID/presence                          ON (state "in") or OFF
//     homeassistant/binary_sensor/NODE/ID/config  its Home Assistant discovery document
//     TOPIC/status                               online; offline after a clean stop,
//                                                and as the broker's will when the
//                                                connection dies any other way
//
// ID is objectId(resource), NODE is nodeId(computer): letters, digits and
// "-" stay as they are; every other byte of the name's UTF-8 (the "_"
// included) becomes "__" and its two upper-case hex digits; an empty name
// becomes "_". So "PC-01" stays "PC-01", "PC_01" becomes "PC__5F01",
// "a/b" "a__2Fb", "経理" "__E7__B5__8C__E7__90__86". The mapping never
// changes, distinct names never share an ID, and no NODE + "_" + ID (the
// entity's unique_id) is another computer's or resource's.
//
// The discovery document (JSON) of a resource:
//
//     {"name": "tanaka (PC01)", "unique_id": "NODE_ID", "state_topic": "TOPIC/ID/presence",
//      "payload_on": "ON", "payload_off": "OFF", "device_class": "presence",
//      "availability_topic": "TOPIC/status",
//      "device": {"identifiers": ["NODE"], "name": "Corvane COMPUTER"}}
//
// A resource listed more than once has one presence, ON when any of its
// entries is in, and its users' names in its name.
//
// A broker is shared, and anyone may publish anything on it: Corvane
// clears and corrects only what it makes (see MqttTopics.h).
//
// At every connection, once the watch list is known, the retained presence
// and discovery documents of this computer's resources that left the list
// (while this ran or while it was stopped) are cleared: the connection
// reads the retained documents under homeassistant/binary_sensor/NODE/ for
// a moment (at most 3 s) and, for each resource no longer listed whose
// document names a state topic under TOPIC, clears the document and
// TOPIC/ID/presence. (So the presences left under a former TOPIC by a
// change made while Corvane was stopped stay.)
//
// The connection keeps reading its own presence and discovery topics: a
// value another client publishes there that differs from Corvane's is
// overwritten with Corvane's (at most once a second for each resource),
// and the journal says so once a run. Corvane's own publications coming
// back after its state changed again are not another client's (see
// MqttEchoes.h).
//
// Everything talking to the broker runs on a thread of its own: configure()
// and update() only hand over and never wait for the broker. A connection
// that fails or is lost is tried again after 1 s, then after pauses
// doubling up to 60 s (back to 1 s after a connection that lasted a
// minute). The journal gets one line when a connection cannot be made or
// is lost, and no more until one is made again:
//
//     corvane: mqtt: cannot connect to broker.example:1883: Connection refused
//     corvane: mqtt: connected to broker.example:1883
//
// With a CA file the connection is TLS and the broker's certificate must be
// signed by one of that file's authorities and name the broker as it is
// configured. The user name and password go only to that broker; the
// password appears in no journal line. A password sent without TLS to a
// broker that is not on this computer gets one journal line a run:
//
//     corvane: mqtt: the password travels unencrypted to broker.example:1883; set CAFile ...
//
// The client identifier is drawn at random at each start (MqttTopics::
// clientId), so that no other client can take Corvane's place at the
// broker by connecting with it. Two Corvanes on one broker still need
// distinct computer names and distinct topics.

#include "engine/WatchSnapshot.h"

#include <QString>

#include <memory>
#include <thread>

struct MqttSettings {
    QString broker; // host name or address; empty: no MQTT
    quint16 port = 1883;
    QString topic = QStringLiteral("corvane"); // the prefix of this computer's topics; empty: "corvane"
    QString user;                              // no authentication when empty
    QString password;
    QString caFile; // a PEM file of the authorities to trust: TLS when set

    bool operator==(const MqttSettings &) const = default;
};

class MqttPresence {
public:
    MqttPresence();
    // Publishes "offline" and disconnects cleanly, giving it at most 2 s
    // (a broker that does not answer in time is left as it is).
    ~MqttPresence();
    MqttPresence(const MqttPresence &) = delete;
    MqttPresence &operator=(const MqttPresence &) = delete;

    // Connects to another broker or with other settings after ending the
    // connection made with the former ones cleanly; an empty broker only
    // ends it. The same settings again change nothing.
    void configure(const MqttSettings &settings);

    // The watch list as it is now. Nothing is published before the first
    // one; a null snapshot or one never taken (the empty one a board holds
    // before its first) is ignored. Only the latest one handed over counts:
    // states that come and go faster than the broker takes them are skipped.
    void update(WatchSnapshotPtr snapshot);

    // The topic level and discovery ID of a resource, and the node (this
    // computer's) in the discovery topics, as described above.
    static QString objectId(const QString &resource);
    static QString nodeId(const QString &computer);

private:
    struct Channel;
    class Worker;
    std::shared_ptr<Channel> channel_;
    std::thread thread_;
};
