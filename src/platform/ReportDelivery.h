#pragma once

// Reports to the manager by e-mail and by webhook.
//
// A recipient is one of
//
//     mailto:ADDRESS         an e-mail through the mail server of MailSettings
//     http://… or https://…  a webhook: an HTTP POST of a JSON object
//     text+http(s)://…       a webhook: an HTTP POST of the report's text alone
//
// Every recipient has a queue and a thread of its own, made at its first
// report: a slow or dead recipient delays nobody else, and each recipient
// gets its reports in the order they were handed over. deliver() only
// queues; nothing is ever sent on the caller's thread.
//
// Each attempt has Options::deadline to finish. A failure that may pass (no
// connection, a time-out, HTTP 5xx or 429, an SMTP 4xx answer) is tried
// again after each of Options::pauses in turn; one that will not pass (any
// other HTTP 4xx or a redirection, an SMTP 5xx answer, a refused
// certificate, a server that will not encrypt) ends the report at once.
// While a report is tried, at most Options::maxQueued more wait behind it;
// a report beyond that pushes out the oldest waiting one.
//
// The journal gets one line for every report that is given up, dropped or
// left at the end, and one when a recipient takes a report again after
// such a line:
//
//     corvane: report not delivered: boss@example.org: the server answered "550 5.1.1 no such user"
//     corvane: report not delivered: https://hooks.example.org: the server answered HTTP 404
//     corvane: report delivered again: https://hooks.example.org
//
// A webhook is named by scheme://host[:port] alone: its path and query are
// its key and appear in no journal line and no error text; neither does a
// password.
//
// E-mail (libcurl SMTP): Security::StartTls sends nothing, credentials
// included, unless the server encrypts the connection with STARTTLS first;
// Security::Tls speaks TLS from the start (smtps); Security::None is for a
// server on this machine or a trusted relay. Certificates are always
// verified, against caFile when it is set, else against the system's
// authorities. The subject is MIME-encoded when it is not ASCII, the body
// is text/plain in UTF-8 (base64 when it is not ASCII).
//
// Webhook JSON (see ReportWebhook.h for the escaping of "text"):
//
//     {"text": "...", "event": "login", "computer": "PC01",
//      "time": "2025-03-04T09:30:00+09:00",
//      "entries": [{"user": "tanaka", "resource": "DATA"}]}
//
// Redirections are not followed. Proxies named in the environment
// (https_proxy, all_proxy, no_proxy) are used as libcurl uses them.

#include <QDateTime>
#include <QList>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

struct MailSettings {
    enum class Security { StartTls, Tls, None };

    QString server; // host name or address
    int port = 587;
    Security security = Security::StartTls;
    QString user; // no authentication when empty
    QString password;
    QString from;   // the sender's address
    QString caFile; // a PEM file of the authorities to trust instead of the system's
};

struct Report {
    QString event;                              // login, logout, all-login, all-logout or access
    QString text;                               // UTF-8, lines separated by \n
    QList<std::pair<QString, QString>> entries; // (user, resource)
    QString computer;                           // this computer's name
    QDateTime time;                             // with its offset from UTC
    QString subject;                            // an e-mail's subject (the text's first line when empty)
};

class ReportDelivery {
public:
    struct Options {
        std::chrono::milliseconds deadline{30000};
        std::vector<std::chrono::milliseconds> pauses{std::chrono::seconds(10), std::chrono::seconds(60),
                                                      std::chrono::seconds(300)};
        size_t maxQueued = 100;
    };

    // The answer of a test mail.
    struct TestAnswer {
        bool delivered = false;
        QString text; // the server's last answer, or why the mail was not sent
    };

    ReportDelivery();
    explicit ReportDelivery(Options options);
    // finish(0) when finish was not called.
    ~ReportDelivery();
    ReportDelivery(const ReportDelivery &) = delete;
    ReportDelivery &operator=(const ReportDelivery &) = delete;

    // The mail settings of the reports handed over from now on.
    void setMail(const MailSettings &settings);

    // Queues the report for the recipient and returns at once. A recipient
    // that can never take it (see recipientProblem) and any report after
    // finish get their journal line here.
    void deliver(const QString &recipient, const Report &report);

    // Ends delivery: waits up to grace for the queues to empty, then stops
    // what is still under way and names every report left in the journal.
    // True when every report handed over was delivered. Later reports are
    // not delivered (each gets its journal line).
    bool finish(std::chrono::milliseconds grace);

    // Why the recipient can take no report (an unknown kind, a malformed
    // address or URL), or empty when it can.
    static QString recipientProblem(const QString &recipient);

    // The recipient as the journal names it: the mail address, or a
    // webhook's scheme://host[:port].
    static QString recipientName(const QString &recipient);

    // Sends one mail now, on this thread, and waits for the outcome (up to
    // deadline): for the settings dialog's test button, best called on a
    // thread of its own.
    static TestAnswer testMail(const MailSettings &settings, const QString &to, const QString &subject,
                               const QString &text, std::chrono::milliseconds deadline = std::chrono::seconds(30));

private:
    struct Lane;
    struct Item;

    void run(Lane &lane);
    bool allIdle() const;
    void undelivered(const QString &name, const QString &reason);

    const Options options_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    MailSettings mail_;
    std::map<QString, std::unique_ptr<Lane>> lanes_;
    bool stopping_ = false;
    bool finished_ = false;
    size_t failures_ = 0;
};
