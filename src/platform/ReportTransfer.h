#pragma once

// One attempt to hand a report over, by libcurl: an SMTP transaction or an
// HTTP POST, bounded by a deadline and stoppable from another thread.
//
// The outcome says whether the failure may pass (Retry: no connection, a
// time-out, HTTP 5xx or 429, an SMTP 4xx answer) or will not (Fail:
// everything else). Its text holds no URL path or query and no password:
// the secrets passed in are cut from whatever libcurl or the server said.

#include "platform/ReportDelivery.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>

struct TransferOutcome {
    enum class Kind { Delivered, Retry, Fail, Stopped };
    Kind kind = Kind::Fail;
    QString text; // why it failed; for a delivered mail, the server's answer to it
};

// Stops the transfers run with it, from any thread, at once: its libcurl
// multi handle is woken, and every progress call says stop.
class TransferStop {
public:
    TransferStop();
    ~TransferStop();
    TransferStop(const TransferStop &) = delete;
    TransferStop &operator=(const TransferStop &) = delete;

    void stop();
    bool stopped() const { return stopped_.load(); }
    void *multi() const { return multi_; }

private:
    void *multi_;
    std::atomic<bool> stopped_{false};
};

namespace ReportTransfer {

// Why no transfer can be made (libcurl cannot be loaded), or empty. The
// first call loads and sets it up; everything below calls it.
QString unavailable();

// Why these settings cannot send mail (no server, a bad sender), or empty.
QString mailProblem(const MailSettings &settings);

// Sends the message from settings.from to the address.
TransferOutcome sendMail(const MailSettings &settings, const QString &to, const QByteArray &message,
                         std::chrono::milliseconds deadline, TransferStop &stop);

// POSTs the body to the http(s) URL. secrets: the URL's path, query and
// password, to be kept out of every text.
TransferOutcome post(const QByteArray &url, const QByteArray &contentType, const QByteArray &body,
                     const QStringList &secrets, std::chrono::milliseconds deadline, TransferStop &stop);

} // namespace ReportTransfer
