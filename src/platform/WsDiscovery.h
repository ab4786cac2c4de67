#pragma once

// The computers of the network as they announce themselves today: by
// WS-Discovery on 239.255.255.250:3702, on every up interface with an IPv4
// address. Where no browse list exists (no SMB1, no master browser) this is
// how a computer's name and workgroup are found.
//
// A thread of its own, started by the first look, probes every refreshMs on
// every interface, resolves the devices that answered without an address,
// listens for Hello and Bye in between and asks each new device for its
// metadata over HTTP, several at once. A look answers from the table as it
// stands; only the first one waits (bounded) for one probe round and the
// metadata of that round, so that a start does not find an empty network.
//
// Anyone on the network can answer a Probe or send a Hello, in any number
// and for any address it likes, so the table trusts a device only once its
// metadata came over TCP from the address it answered from (a verified
// device). Verified devices leave by their own Bye or after missing two
// probes in a row, never to make room; a device heard of from another
// address changes nothing about them. The others are bounded per sender
// address and in all, the oldest making room; metadata is asked a fair
// share per sender address, so one host's silent ports cannot hold up
// another's device. Metadata is only ever asked of the address a device
// answered from.
//
// Thread-safe: the watch worker and the editor share one table.

#include "platform/WsdMessage.h"

#include <QHash>
#include <QSet>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

class WsDiscovery {
public:
    struct Options {
        // The discovery port, where the Probe goes and Hello and Bye arrive.
        quint16 port = WsdPort;
        // How long answers to a Probe, and then to Resolve, are collected.
        int probeWaitMs = 1500;
        int resolveWaitMs = 1000;
        // One metadata exchange, and how long the first look waits for all
        // of them of the first probe round (later looks never wait).
        int metadataTimeoutMs = 2000;
        int metadataBudgetMs = 2000;
        // A Probe this often; looks in between answer from the table.
        int refreshMs = 10000;
        // Devices not yet verified, kept per sender address and in all.
        int maxUnverifiedPerSender = 32;
        int maxUnverified = 512;
        // Metadata exchanges under way at once, in all and per sender address.
        int maxFetches = 8;
        int maxFetchesPerSender = 1;
    };

    WsDiscovery();
    explicit WsDiscovery(Options options);
    ~WsDiscovery();
    WsDiscovery(const WsDiscovery &) = delete;
    WsDiscovery &operator=(const WsDiscovery &) = delete;

    // The computers known now. False when no interface could take part in
    // discovery (then the list is empty).
    bool Computers(QList<WsdComputer> &out);

    // Devices held now, verified or not.
    qsizetype DeviceCount();

private:
    using Clock = std::chrono::steady_clock;
    // A device as heard from one address: its endpoint and the sender (host
    // order). Until verified, the same endpoint from two addresses is two
    // devices, so that a stranger naming it cannot take over the real one.
    using Key = std::pair<QString, quint32>;

    struct Device {
        int interface = 0;
        QStringList xaddrs;
        QString metadataVersion;
        WsdComputer computer;
        quint64 born = 0;          // admission order, for eviction
        bool verified = false;
        bool asked = false;        // metadata asked for (or nothing to ask)
        bool askFailed = false;    // asked again after the next Probe
        bool fetching = false;
        int missed = 0;            // Probes in a row it did not answer
    };
    struct Socket {
        int fd = -1;
        int interface = 0;
    };
    struct Fetch {
        int fd = -1;
        Key key;
        QString version;  // the metadata version asked about
        QByteArray out;
        QByteArray in;
        Clock::time_point deadline;
    };

    void run();
    bool startRound(std::vector<Socket> &senders);
    void endProbe(const std::vector<Socket> &senders, QSet<Key> &unresolved);
    bool startFetches();
    bool progress(Fetch &f, short revents);
    void finish(Fetch &f, bool ok, const QByteArray &body);
    bool receive(int fd, int interface, bool locked);
    void handle(const WsdMessage &message, quint32 sender, int interface);
    QHash<Key, Device>::iterator admit(const Key &key);
    QHash<Key, Device>::iterator forget(QHash<Key, Device>::iterator it);
    bool verify(const Key &key);
    void clearTable();

    const Options options_;
    int wake_ = -1;  // eventfd: the destructor stops the thread through it

    std::mutex mutex_;
    std::condition_variable firstRound_;
    std::thread thread_;
    bool started_ = false;
    bool stopping_ = false;
    bool firstDone_ = false;
    bool usable_ = false;
    int listener_ = -1;  // replaced by the thread under the lock
    QString probeId_;
    QSet<QString> resolveIds_;
    QSet<Key> seen_;
    QHash<Key, Device> devices_;
    QHash<QString, quint32> verifiedAt_;                  // endpoint -> its address
    QHash<quint32, std::map<quint64, QString>> waiting_;  // unverified by sender, oldest first
    qsizetype unverified_ = 0;
    quint64 nextBorn_ = 0;
    quint32 lastFetchSender_ = 0;

    // The thread's own.
    std::vector<Fetch> fetches_;
};
