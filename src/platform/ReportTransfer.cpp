#include "platform/ReportTransfer.h"

#include "platform/LateLibrary.h"
#include "platform/ReportMail.h"

#include <curl/curl.h>

#include <QRegularExpression>

#include <memory>

namespace {

using Kind = TransferOutcome::Kind;

// libcurl, opened by the first transfer and set up for the process then.
struct Curl {
    LateLibrary library{"libcurl.so.4"};
    LATE_FUNCTION(global_init, curl_global_init);
    LATE_FUNCTION(easy_init, curl_easy_init);
    LATE_FUNCTION(easy_cleanup, curl_easy_cleanup);
    LATE_FUNCTION(easy_setopt, curl_easy_setopt);
    LATE_FUNCTION(easy_getinfo, curl_easy_getinfo);
    LATE_FUNCTION(easy_strerror, curl_easy_strerror);
    LATE_FUNCTION(multi_init, curl_multi_init);
    LATE_FUNCTION(multi_cleanup, curl_multi_cleanup);
    LATE_FUNCTION(multi_add_handle, curl_multi_add_handle);
    LATE_FUNCTION(multi_remove_handle, curl_multi_remove_handle);
    LATE_FUNCTION(multi_perform, curl_multi_perform);
    LATE_FUNCTION(multi_poll, curl_multi_poll);
    LATE_FUNCTION(multi_info_read, curl_multi_info_read);
    LATE_FUNCTION(multi_wakeup, curl_multi_wakeup);
    LATE_FUNCTION(slist_append, curl_slist_append);
    LATE_FUNCTION(slist_free_all, curl_slist_free_all);
    bool ready = library.usable();

    Curl()
    {
        if (ready)
            global_init(CURL_GLOBAL_DEFAULT);
    }
};

const Curl &libcurl()
{
    static const Curl curl;
    return curl;
}

// One easy handle with what it points to, alive for one attempt.
struct Easy {
    CURL *curl = libcurl().ready ? libcurl().easy_init() : nullptr;
    curl_slist *list = nullptr;
    char error[CURL_ERROR_SIZE] = {};
    const TransferStop *stop = nullptr;

    // The mail being sent, and what the server said.
    QByteArray upload;
    qsizetype sent = 0;
    bool dataSent = false;
    QByteArray lastAnswer;   // the server's latest line
    QByteArray finalAnswer;  // its first line after the message
    QByteArray firstRefusal; // its first 4xx or 5xx line

    Easy() = default;
    Easy(const Easy &) = delete;
    Easy &operator=(const Easy &) = delete;
    ~Easy()
    {
        if (libcurl().ready) {
            libcurl().easy_cleanup(curl);
            libcurl().slist_free_all(list);
        }
    }

    template <typename Value>
    void set(CURLoption option, Value value)
    {
        libcurl().easy_setopt(curl, option, value);
    }
};

int onProgress(void *data, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<Easy *>(data)->stop->stopped() ? 1 : 0;
}

size_t onRead(char *buffer, size_t size, size_t count, void *data)
{
    Easy &e = *static_cast<Easy *>(data);
    const size_t n = qMin(size * count, size_t(e.upload.size() - e.sent));
    memcpy(buffer, e.upload.constData() + e.sent, n);
    e.sent += qsizetype(n);
    return n;
}

size_t onWrite(char *, size_t size, size_t count, void *)
{
    return size * count;
}

// The lines an SMTP server sends (libcurl hands them over as "headers"
// in); what the client sends is never looked at, since it holds the
// credentials.
int onDebug(CURL *, curl_infotype type, char *data, size_t size, void *user)
{
    Easy &e = *static_cast<Easy *>(user);
    if (type == CURLINFO_DATA_OUT) {
        e.dataSent = true;
    } else if (type == CURLINFO_HEADER_IN) {
        const QByteArray line = QByteArray(data, qsizetype(size)).trimmed();
        if (line.isEmpty())
            return 0;
        e.lastAnswer = line;
        if (e.dataSent && e.finalAnswer.isEmpty())
            e.finalAnswer = line;
        if (e.firstRefusal.isEmpty() && (line.startsWith('4') || line.startsWith('5')))
            e.firstRefusal = line;
    }
    return 0;
}

void common(Easy &e, const QByteArray &url, const char *protocol, std::chrono::milliseconds deadline,
            TransferStop &stop)
{
    e.stop = &stop;
    e.set(CURLOPT_URL, url.constData());
    e.set(CURLOPT_PROTOCOLS_STR, protocol);
    e.set(CURLOPT_REDIR_PROTOCOLS_STR, protocol);
    e.set(CURLOPT_FOLLOWLOCATION, 0L);
    e.set(CURLOPT_NOSIGNAL, 1L);
    e.set(CURLOPT_FORBID_REUSE, 1L);
    // A stopped transfer never waits for a host name lookup to end (the
    // lookup's thread is left to finish on its own).
    e.set(CURLOPT_QUICK_EXIT, 1L);
    e.set(CURLOPT_TIMEOUT_MS, long(deadline.count()));
    e.set(CURLOPT_CONNECTTIMEOUT_MS, long(deadline.count()));
    e.set(CURLOPT_ERRORBUFFER, e.error);
    e.set(CURLOPT_NOPROGRESS, 0L);
    e.set(CURLOPT_XFERINFOFUNCTION, onProgress);
    e.set(CURLOPT_XFERINFODATA, &e);
    e.set(CURLOPT_SSL_VERIFYPEER, 1L);
    e.set(CURLOPT_SSL_VERIFYHOST, 2L);
}

// Runs the transfer on the stop's multi handle until it ends or is
// stopped; its result, CURLE_ABORTED_BY_CALLBACK when stopped.
CURLcode perform(Easy &e, TransferStop &stop)
{
    CURLM *multi = static_cast<CURLM *>(stop.multi());
    if (stop.stopped() || libcurl().multi_add_handle(multi, e.curl) != CURLM_OK)
        return CURLE_ABORTED_BY_CALLBACK;
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    bool done = false;
    while (!done && !stop.stopped()) {
        int running = 0;
        if (libcurl().multi_perform(multi, &running) != CURLM_OK)
            break;
        int queued = 0;
        while (CURLMsg *msg = libcurl().multi_info_read(multi, &queued))
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == e.curl) {
                result = msg->data.result;
                done = true;
            }
        if (!done && libcurl().multi_poll(multi, nullptr, 0, 1000, nullptr) != CURLM_OK)
            break;
    }
    libcurl().multi_remove_handle(multi, e.curl);
    return stop.stopped() ? CURLE_ABORTED_BY_CALLBACK : result;
}

QString scrub(QString text, const QStringList &secrets)
{
    for (const QString &secret : secrets)
        if (!secret.isEmpty())
            text.replace(secret, QStringLiteral("…"));
    return text;
}

QString curlText(const Easy &e, CURLcode code)
{
    return e.error[0] ? QString::fromUtf8(e.error).trimmed() : QString::fromUtf8(libcurl().easy_strerror(code));
}

// Whether a failure with no answer from the server (or none that tells)
// may pass.
bool mayPass(CURLcode code)
{
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_WEIRD_SERVER_REPLY:
        return true;
    default:
        return false;
    }
}

// The outcome of a failure that no status or answer explains.
TransferOutcome transportFailure(const Easy &e, CURLcode code, std::chrono::milliseconds deadline,
                                 const QStringList &secrets)
{
    switch (code) {
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
        return {Kind::Fail,
                scrub(QStringLiteral("the server's certificate was refused: ") + curlText(e, code), secrets)};
    case CURLE_OPERATION_TIMEDOUT:
        return {Kind::Retry, QStringLiteral("no answer within %1 s").arg(double(deadline.count()) / 1000.0)};
    default:
        return {mayPass(code) ? Kind::Retry : Kind::Fail, scrub(curlText(e, code), secrets)};
    }
}

// host, [IPv6] or nothing when the name could make more of a URL than a
// host.
QByteArray urlHost(const QString &server)
{
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9.-]+$"));
    static const QRegularExpression v6(QStringLiteral("^[0-9A-Fa-f:.]+$"));
    if (name.match(server).hasMatch())
        return server.toLatin1();
    if (server.contains(u':') && v6.match(server).hasMatch())
        return '[' + server.toLatin1() + ']';
    return {};
}

} // namespace

TransferStop::TransferStop() : multi_(libcurl().ready ? libcurl().multi_init() : nullptr) {}

TransferStop::~TransferStop()
{
    if (multi_)
        libcurl().multi_cleanup(static_cast<CURLM *>(multi_));
}

void TransferStop::stop()
{
    stopped_ = true;
    if (multi_)
        libcurl().multi_wakeup(static_cast<CURLM *>(multi_));
}

namespace ReportTransfer {

QString unavailable()
{
    return libcurl().ready ? QString() : libcurl().library.error();
}

QString mailProblem(const MailSettings &settings)
{
    if (settings.server.isEmpty())
        return QStringLiteral("no mail server is set");
    if (urlHost(settings.server).isEmpty())
        return QStringLiteral("the mail server is no host name or address");
    if (settings.port < 1 || settings.port > 65535)
        return QStringLiteral("the mail server's port is not between 1 and 65535");
    if (settings.from.isEmpty())
        return QStringLiteral("no sender address is set");
    if (const QString problem = ReportMail::addressProblem(settings.from); !problem.isEmpty())
        return QStringLiteral("the sender address: ") + problem;
    return {};
}

TransferOutcome sendMail(const MailSettings &settings, const QString &to, const QByteArray &message,
                         std::chrono::milliseconds deadline, TransferStop &stop)
{
    if (const QString problem = mailProblem(settings); !problem.isEmpty())
        return {Kind::Fail, problem};
    if (const QString problem = ReportMail::addressProblem(to); !problem.isEmpty())
        return {Kind::Fail, problem};
    if (const QString problem = unavailable(); !problem.isEmpty())
        return {Kind::Fail, problem};
    const bool implicitTls = settings.security == MailSettings::Security::Tls;
    const QByteArray url =
        (implicitTls ? "smtps://" : "smtp://") + urlHost(settings.server) + ':' + QByteArray::number(settings.port);
    const QStringList secrets{settings.password};

    Easy e;
    common(e, url, implicitTls ? "smtps" : "smtp", deadline, stop);
    e.set(CURLOPT_USE_SSL,
                     long(settings.security == MailSettings::Security::None ? CURLUSESSL_NONE : CURLUSESSL_ALL));
    if (!settings.caFile.isEmpty()) {
        e.set(CURLOPT_CAINFO, settings.caFile.toLocal8Bit().constData());
        e.set(CURLOPT_CAPATH, static_cast<char *>(nullptr));
    }
    if (!settings.user.isEmpty()) {
        e.set(CURLOPT_USERNAME, settings.user.toUtf8().constData());
        e.set(CURLOPT_PASSWORD, settings.password.toUtf8().constData());
    }
    e.set(CURLOPT_MAIL_FROM, ('<' + settings.from.toLatin1() + '>').constData());
    e.list = libcurl().slist_append(e.list, ('<' + to.toLatin1() + '>').constData());
    e.set(CURLOPT_MAIL_RCPT, e.list);
    e.upload = message;
    e.set(CURLOPT_UPLOAD, 1L);
    e.set(CURLOPT_READFUNCTION, onRead);
    e.set(CURLOPT_READDATA, &e);
    e.set(CURLOPT_INFILESIZE_LARGE, curl_off_t(message.size()));
    e.set(CURLOPT_VERBOSE, 1L);
    e.set(CURLOPT_DEBUGFUNCTION, onDebug);
    e.set(CURLOPT_DEBUGDATA, &e);

    const CURLcode code = perform(e, stop);
    if (code == CURLE_OK)
        return {Kind::Delivered,
                scrub(QString::fromUtf8(e.finalAnswer.isEmpty() ? e.lastAnswer : e.finalAnswer), secrets)};
    if (stop.stopped())
        return {Kind::Stopped, QStringLiteral("stopped")};
    if (code == CURLE_USE_SSL_FAILED)
        return {Kind::Fail, QStringLiteral("the server does not offer STARTTLS; nothing was sent")};
    if (!e.firstRefusal.isEmpty()) {
        const QString answer = scrub(QString::fromUtf8(e.firstRefusal), secrets);
        return {e.firstRefusal.startsWith('4') ? Kind::Retry : Kind::Fail,
                QStringLiteral("the server answered \"%1\"").arg(answer)};
    }
    if (code == CURLE_LOGIN_DENIED)
        return {Kind::Fail, QStringLiteral("the server refused the user name or password")};
    return transportFailure(e, code, deadline, secrets);
}

TransferOutcome post(const QByteArray &url, const QByteArray &contentType, const QByteArray &body,
                     const QStringList &secrets, std::chrono::milliseconds deadline, TransferStop &stop)
{
    if (const QString problem = unavailable(); !problem.isEmpty())
        return {Kind::Fail, problem};
    Easy e;
    common(e, url, url.startsWith("https:") ? "https" : "http", deadline, stop);
    e.list = libcurl().slist_append(e.list, ("Content-Type: " + contentType).constData());
    e.list = libcurl().slist_append(e.list, "Expect:");
    e.set(CURLOPT_HTTPHEADER, e.list);
    e.set(CURLOPT_USERAGENT, "Corvane");
    e.set(CURLOPT_POST, 1L);
    e.set(CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
    e.set(CURLOPT_POSTFIELDS, body.constData());
    e.set(CURLOPT_WRITEFUNCTION, onWrite);

    const CURLcode code = perform(e, stop);
    if (stop.stopped())
        return {Kind::Stopped, QStringLiteral("stopped")};
    if (code != CURLE_OK)
        return transportFailure(e, code, deadline, secrets);
    long status = 0;
    libcurl().easy_getinfo(e.curl, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 200 && status < 300)
        return {Kind::Delivered, {}};
    const QString answer = QStringLiteral("the server answered HTTP %1").arg(status);
    if (status == 429 || (status >= 500 && status < 600))
        return {Kind::Retry, answer};
    if (status >= 300 && status < 400)
        return {Kind::Fail, answer + QStringLiteral(" (a redirection, not followed)")};
    return {Kind::Fail, answer};
}

} // namespace ReportTransfer
