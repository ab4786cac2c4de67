#pragma once

// The computers of the network as they announce themselves today: by
// WS-Discovery on 239.255.255.250:3702, on every up interface with an IPv4
// address. Where no browse list exists (no SMB1, no master browser) this is
// how a computer's name and workgroup are found.
//
// A look at the table first takes the Hello and Bye messages that arrived
// since the last look; when the last Probe is older than refreshMs it
// probes again on every interface, resolves the devices that answered
// without an address, and then asks each new device for its metadata over
// HTTP. Every wait is bounded, and metadata is only asked of the address a
// device answered from.
//
// Thread-safe: the watch worker and the editor share one table.

#include "platform/WsdMessage.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>

#include <functional>
#include <mutex>

class WsDiscovery {
public:
    struct Options {
        // The discovery port, where the Probe goes and Hello and Bye arrive.
        quint16 port = WsdPort;
        // How long answers to a Probe, and then to Resolve, are collected.
        int probeWaitMs = 1500;
        int resolveWaitMs = 1000;
        // One metadata exchange, and all of them in one look.
        int metadataTimeoutMs = 2000;
        int metadataBudgetMs = 6000;
        // A Probe at most this often; looks in between answer from the table.
        int refreshMs = 10000;
    };

    WsDiscovery();
    explicit WsDiscovery(Options options);
    ~WsDiscovery();
    WsDiscovery(const WsDiscovery &) = delete;
    WsDiscovery &operator=(const WsDiscovery &) = delete;

    // The computers known now. False when no interface could take part in
    // discovery (then the list is empty).
    bool Computers(QList<WsdComputer> &out);

private:
    struct Device {
        quint32 address = 0;  // host order
        int interface = 0;
        QStringList xaddrs;
        QString metadataVersion;
        WsdComputer computer;
        bool asked = false;        // metadata asked for (or nothing to ask)
        bool askFailed = false;    // asked again after the next Probe
        int missed = 0;            // Probes in a row it did not answer
    };
    struct Socket {
        int fd = -1;
        int interface = 0;
    };

    void probe();
    void collect(const QList<Socket> &sockets, int waitMs, const std::function<bool()> &done);
    void receive(int fd, int interface);
    void handle(const WsdMessage &message, quint32 sender, int interface);
    void fetchMetadata();
    void closeListener();

    Options options_;
    std::mutex mutex_;
    int listener_ = -1;
    bool usable_ = false;
    QElapsedTimer lastProbe_;
    QString probeId_;
    QSet<QString> resolveIds_;
    QSet<QString> seen_;
    QHash<QString, Device> devices_;
};
