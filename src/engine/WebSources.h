#pragma once

// What each source of clients may take of the web endpoint: its share of
// the connections, and its tries at the token. Kept on the endpoint's
// thread.

#include "engine/WebEndpoint.h"

#include <QHash>
#include <QString>

#include <chrono>

class QHostAddress;

// The source a client counts as: its IPv4 address (also when it comes
// mapped into IPv6), or the /64 its IPv6 address lies in, since one host of
// IPv6 is given a whole /64 and takes addresses from it at will.
QString WebSourceOf(const QHostAddress &peer);

class WebSources {
public:
    explicit WebSources(const WebLimits &limits) : limits_(limits) {}

    // A place for one more connection of source: false when the source holds
    // its share or every place is taken.
    bool enter(const QString &source);
    void leave(const QString &source);
    void leaveAll() { open_.clear(), total_ = 0; }

    // How long source must still wait before it may try the token again;
    // zero when it may.
    std::chrono::milliseconds wait(const QString &source) const;
    // A wrong token or login from source; true when it is the miss that
    // starts the source's waits.
    bool failed(const QString &source);
    void succeeded(const QString &source) { misses_.remove(source); }
    void forgetMisses() { misses_.clear(); }

private:
    using Clock = std::chrono::steady_clock;
    struct Misses {
        int count = 0;
        std::chrono::milliseconds wait{0};  // the latest; zero before the first
        Clock::time_point until;
        Clock::time_point last;
    };

    const WebLimits &limits_;
    QHash<QString, int> open_;
    int total_ = 0;
    QHash<QString, Misses> misses_;
};
