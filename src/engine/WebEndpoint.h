#pragma once

// The HTTP endpoint: the watch's state for a browser, curl and Prometheus.
//
//     /                    the live list as a page (reloads every 10 s)
//     /api/terminals       the terminals as JSON
//     /api/access          the access list's sessions as JSON
//     /metrics             Prometheus text format 0.0.4
//     /report              today's presence report
//     /report/YYYY-MM-DD   that day's presence report
//     /login               (with a token) the form that sets a session cookie
//
// It serves on a thread of its own and reads the latest snapshot from the
// board for each request; it never touches the main thread's objects, and
// no client, however slow or broken, holds up the watch. Requests are
// bounded: 32 connections, 8 of them from one source (an IPv4 address or an
// IPv6 /64), a request line of 8 KiB (blank lines before it included),
// 16 KiB and 64 lines of headers, a body of 4 KiB (only a login has one), 3
// seconds from the accept to the end of the headers and 10 for the whole
// exchange, after which the connection is cut. A source that gets the token
// wrong 5 times is answered 429 for a second, then for twice as long after
// each further miss (at most 5 minutes), until it gets it right.
//
// Without a token it listens on loopback only, whatever the address says,
// and answers only requests whose Host names loopback (a page of another
// site that resolves its name to 127.0.0.1 gets 403). With a token every
// request but the login form's needs it, as "Authorization: Bearer TOKEN" or
// as the session cookie the form sets. With a certificate and key it speaks
// HTTPS only. A token shorter than WebTokenMinimum characters is refused.

#include "engine/WatchSnapshot.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

class QThread;

// The fewest characters a token may have: guesses are throttled, but a
// short token still falls to a patient guesser.
constexpr int WebTokenMinimum = 16;

struct WebSettings {
    quint16 port = 0;  // 0: no endpoint
    // A literal IPv4 or IPv6 address; "", "*", "0.0.0.0" and "::" for every
    // interface; "localhost" for 127.0.0.1. Loopback alone without a token.
    QString address = QStringLiteral("127.0.0.1");
    QString token;
    // PEM files; both set: HTTPS.
    QString certFile;
    QString keyFile;
    // Listen on a port the system picks, whatever port says (tests);
    // WebEndpoint::port() tells which.
    bool anyPort = false;

    bool operator==(const WebSettings &) const = default;
};

// The bounds of a request. The defaults are the program's; tests shorten
// the times.
struct WebLimits {
    int connections = 32;
    int connectionsPerSource = 8;
    qsizetype requestLine = 8 * 1024;
    qsizetype headerBytes = 16 * 1024;
    int headerLines = 64;
    qsizetype body = 4 * 1024;
    std::chrono::milliseconds requestTime{10000};
    std::chrono::milliseconds headerTime{3000};
    // Failed logins and Bearer tokens of one source before it waits.
    int failuresBeforeWait = 5;
    std::chrono::milliseconds firstWait{1000};
    std::chrono::milliseconds longestWait{5 * 60 * 1000};
    int sessions = 64;
    std::chrono::seconds sessionLife{12 * 3600};
};

class WebEndpoint {
public:
    // The page `corvane REPORT` writes for a day, empty when there is none.
    // Called on the endpoint's thread, one request at a time, while other
    // clients of the endpoint wait: it must not touch the main thread's
    // objects.
    using DayReport = std::function<QByteArray(QDate)>;

    // board and dayReport outlive the endpoint.
    WebEndpoint(const SnapshotBoard &board, DayReport dayReport, WebLimits limits = {});
    // Cuts every connection and ends the thread.
    ~WebEndpoint();

    WebEndpoint(const WebEndpoint &) = delete;
    WebEndpoint &operator=(const WebEndpoint &) = delete;

    // Stops what runs and starts with these settings (port 0: stays
    // stopped); open connections are cut and logins forgotten when the
    // token changes. An error text (address in use, unreadable certificate)
    // or empty. Not on the endpoint's own thread (the dayReport callback).
    QString start(const WebSettings &settings);
    void stop();

    // The port listened on, 0 when stopped.
    quint16 port() const { return port_.load(); }

    class Server;  // the endpoint's thread's part, inside WebEndpoint.cpp

private:
    std::unique_ptr<QThread> thread_;
    Server *server_ = nullptr;  // lives on thread_
    std::atomic<quint16> port_{0};
};
