#pragma once

// What one connection of MqttPresence published on the topics it reads
// back, and which of the messages it reads there are its own.
//
// MQTT 3.1.1 tells a subscriber nothing of a message's sender, and a broker
// hands a client its own publications on the topics it subscribes to, late
// when it is busy: by then the state may have changed again, and the value
// coming back differs from the one Corvane holds. But a broker keeps the
// order of one sender's messages on one topic. So each topic keeps the
// payloads published there that have not come back yet, oldest first: a
// message equal to one of them is Corvane's own, and those sent before it
// will not come any more (a broker may drop messages to a slow subscriber);
// any other message is another client's. Another client's value that the
// broker took after Corvane's last one comes back after all of Corvane's,
// so it is never taken for Corvane's own.
//
// A topic is held only while something published there is on its way (a
// message the broker dropped is forgotten when a later one of that topic
// comes back, or at the next connection), with at most MostAwaited
// payloads, shared with the caller's copies.

#include <QByteArray>
#include <QHashFunctions>

#include <unordered_map>
#include <vector>

class MqttEchoes {
public:
    // A message published on topic.
    void sent(const QByteArray &topic, const QByteArray &payload);
    // Whether a message read back on topic is one of this connection's
    // publications (then it and those sent before it are no longer awaited).
    bool own(const QByteArray &topic, const QByteArray &payload);
    // A new connection: nothing of the former one comes back on it.
    void clear() { awaited_.clear(); }
    bool empty() const { return awaited_.empty(); }

    static constexpr size_t MostAwaited = 32;

private:
    std::unordered_map<QByteArray, std::vector<QByteArray>> awaited_; // by topic, oldest first
};
