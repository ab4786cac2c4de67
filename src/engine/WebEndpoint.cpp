#include "engine/WebEndpoint.h"

#include "engine/WebPages.h"
#include "engine/WebSources.h"
#include "platform/Journal.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QHostAddress>
#include <QSet>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <sodium.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <vector>

// The server is written here on QTcpServer rather than taken from a
// library. Qt's HTTP server (a preview in 6.4) bounds nothing; libmicrohttpd
// 0.9.75 bounds connections and memory, but its time-out is one of
// inactivity: with MHD_OPTION_CONNECTION_TIMEOUT at 10 s, a client sending
// one byte of its headers a second was still connected after 30 s, so 32
// such clients would hold the endpoint for hours. Here the times count
// from the accept, whatever the client does in between, and every bound
// answers with its own status (414, 431, 413).

namespace {

using Clock = std::chrono::steady_clock;

const char SessionCookie[] = "corvane_session";
const char Csp[] = "default-src 'none'; style-src 'unsafe-inline'; form-action 'self'; frame-ancestors 'none'; "
                   "base-uri 'none'";
constexpr std::chrono::milliseconds Linger{2000};

struct Request {
    QString source;  // WebSourceOf the client
    QByteArray method;
    QByteArray target;
    QByteArray version;
    QList<std::pair<QByteArray, QByteArray>> headers;  // names in lower case
    qsizetype contentLength = 0;
    QByteArray body;

    QList<QByteArray> all(const char *name) const
    {
        QList<QByteArray> values;
        for (const auto &[n, v] : headers)
            if (n == name)
                values << v;
        return values;
    }
    QByteArray first(const char *name) const
    {
        for (const auto &[n, v] : headers)
            if (n == name)
                return v;
        return {};
    }
    bool head() const { return method == "HEAD"; }
};

struct Response {
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QList<QByteArray> headers;  // whole lines without CRLF

    static Response text(int status, QByteArray body = {})
    {
        Response r;
        r.status = status;
        r.contentType = "text/plain; charset=utf-8";
        r.body = std::move(body);
        return r;
    }
    static Response html(int status, QByteArray body)
    {
        Response r;
        r.status = status;
        r.contentType = "text/html; charset=utf-8";
        r.body = std::move(body);
        return r;
    }
};

const char *reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 303: return "See Other";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 413: return "Content Too Large";
    case 414: return "URI Too Long";
    case 415: return "Unsupported Media Type";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 503: return "Service Unavailable";
    case 505: return "HTTP Version Not Supported";
    default: return "Error";
    }
}

Response refusal(int status)
{
    return Response::text(status, QByteArray::number(status) + ' ' + reason(status) + '\n');
}

QByteArray serialised(const Response &r, bool head)
{
    QByteArray out;
    out.reserve(512 + (head ? 0 : r.body.size()));
    out += "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + reason(r.status) + "\r\n";
    out += "Content-Type: " + r.contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(r.body.size()) + "\r\n";
    out += "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nReferrer-Policy: no-referrer\r\n";
    if (r.contentType.startsWith("text/html"))
        out += QByteArray("Content-Security-Policy: ") + Csp + "\r\n";
    for (const QByteArray &line : r.headers)
        out += line + "\r\n";
    out += "Connection: close\r\n\r\n";
    if (!head)
        out += r.body;
    return out;
}

bool isToken(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text)
        if (!(std::isalnum(uchar(c)) || (c != 0 && std::strchr("!#$%&'*+-.^_`|~", c))))
            return false;
    return true;
}

bool allDigits(const QByteArray &text, qsizetype maxLength)
{
    return !text.isEmpty() && text.size() <= maxLength
        && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A Host header that names this machine's loopback: localhost, 127.x.y.z
// as a dotted quad, or [::1], each with or without a port. A name that a
// foreign site's DNS points at 127.0.0.1 does not.
bool namesLoopback(const QByteArray &host)
{
    QByteArray name = host;
    qsizetype portStart = -1;
    if (name.startsWith('[')) {
        const qsizetype close = name.indexOf(']');
        if (close < 0)
            return false;
        if (close + 1 < name.size()) {
            if (name[close + 1] != ':' || !allDigits(name.mid(close + 2), 5))
                return false;
        }
        QHostAddress address;
        return address.setAddress(QString::fromLatin1(name.mid(1, close - 1)))
            && address.protocol() == QAbstractSocket::IPv6Protocol && address.isLoopback();
    }
    portStart = name.indexOf(':');
    if (portStart >= 0) {
        if (!allDigits(name.mid(portStart + 1), 5))
            return false;
        name.truncate(portStart);
    }
    name = name.toLower();
    if (name.endsWith('.'))
        name.chop(1);
    if (name == "localhost")
        return true;
    const QList<QByteArray> parts = name.split('.');
    if (parts.size() != 4)
        return false;
    for (const QByteArray &part : parts)
        if (!allDigits(part, 3) || part.toInt() > 255)
            return false;
    return parts[0].toInt() == 127;
}

using Digest = std::array<unsigned char, crypto_generichash_BYTES>;

Digest digest(const QByteArray &data)
{
    Digest d{};
    crypto_generichash(d.data(), d.size(), reinterpret_cast<const unsigned char *>(data.constData()),
                       size_t(data.size()), nullptr, 0);
    return d;
}

// Equal in time that tells nothing of where they differ, nor of lengths.
bool sameSecret(const QByteArray &given, const Digest &expected)
{
    const Digest d = digest(given);
    return sodium_memcmp(d.data(), expected.data(), d.size()) == 0;
}

// The logins of browsers: random ids, kept only as digests, each for the
// session's life; the oldest goes when there are as many as allowed.
class Sessions {
public:
    QByteArray open(int capacity, std::chrono::seconds life)
    {
        const Clock::time_point now = Clock::now();
        std::erase_if(entries_, [&](const Entry &e) { return e.expires <= now; });
        while (!entries_.empty() && int(entries_.size()) >= capacity)
            entries_.erase(std::min_element(entries_.begin(), entries_.end(),
                                            [](const Entry &a, const Entry &b) { return a.expires < b.expires; }));
        unsigned char raw[32];
        randombytes_buf(raw, sizeof raw);
        char hex[2 * sizeof raw + 1];
        sodium_bin2hex(hex, sizeof hex, raw, sizeof raw);
        const QByteArray id(hex, 2 * sizeof raw);
        entries_.push_back({digest(id), now + life});
        return id;
    }
    bool valid(const QByteArray &id) const
    {
        const Clock::time_point now = Clock::now();
        const Digest d = digest(id);
        bool found = false;
        for (const Entry &e : entries_)
            found |= sodium_memcmp(d.data(), e.id.data(), d.size()) == 0 && e.expires > now;
        return found;
    }
    void clear() { entries_.clear(); }

private:
    struct Entry {
        Digest id;
        Clock::time_point expires;
    };
    std::vector<Entry> entries_;
};

enum class Route { None, List, Terminals, Access, Metrics, Report, ReportDay, Login };

// The fixed routes; the path is compared as it stands, never decoded or
// resolved, so "/api/../metrics" and "/%2e%2e/" are no route at all.
Route routeOf(const QByteArray &target, bool withToken, QDate *day)
{
    const qsizetype query = target.indexOf('?');
    const QByteArray path = query < 0 ? target : target.left(query);
    if (path == "/")
        return Route::List;
    if (path == "/api/terminals")
        return Route::Terminals;
    if (path == "/api/access")
        return Route::Access;
    if (path == "/metrics")
        return Route::Metrics;
    if (path == "/report")
        return Route::Report;
    if (path == "/login")
        return withToken ? Route::Login : Route::None;
    static const QByteArray reportPrefix = "/report/";
    if (path.startsWith(reportPrefix) && path.size() == reportPrefix.size() + 10) {
        const QByteArray text = path.mid(reportPrefix.size());
        if (text[4] != '-' || text[7] != '-' || !allDigits(text.left(4), 4) || !allDigits(text.mid(5, 2), 2)
            || !allDigits(text.mid(8, 2), 2))
            return Route::None;
        *day = QDate(text.left(4).toInt(), text.mid(5, 2).toInt(), text.mid(8, 2).toInt());
        return day->isValid() ? Route::ReportDay : Route::None;
    }
    return Route::None;
}

QByteArray formField(const QByteArray &body, const QByteArray &name)
{
    for (const QByteArray &pair : body.split('&')) {
        const qsizetype eq = pair.indexOf('=');
        if (eq >= 0 && pair.left(eq) == name) {
            QByteArray value = pair.mid(eq + 1);
            value.replace('+', ' ');
            return QByteArray::fromPercentEncoding(value);
        }
    }
    return {};
}

class Listener : public QTcpServer {
public:
    std::function<void(qintptr)> incoming;

protected:
    void incomingConnection(qintptr descriptor) override { incoming(descriptor); }
};

class Connection;

} // namespace

// Lives on the endpoint's thread: the listener, its connections, the
// logins.
class WebEndpoint::Server : public QObject {
public:
    Server(const SnapshotBoard &board, DayReport dayReport, WebLimits limits, std::atomic<quint16> &port)
        : board_(board), dayReport_(std::move(dayReport)), limits_(limits), port_(port), sources_(limits_)
    {
        if (sodium_init() < 0)
            qFatal("libsodium cannot start");
    }
    ~Server() override { stop(); }

    QString listen(const WebSettings &settings);
    void stop();

    // Called by a connection once its headers are in: a refusal, or nothing
    // and whether a body may follow.
    std::optional<Response> screen(const Request &request, bool *takesBody) const;
    Response respond(const Request &request);
    void closed(const QString &source) { sources_.leave(source); }

    const WebLimits &limits() const { return limits_; }
    bool tls() const { return tls_; }

private:
    enum class Access { Granted, Token, Refused, WrongToken };

    void accept(qintptr descriptor);
    Access access(const Request &request) const;
    void missed(const QString &source);
    void journalOnce(JournalPriority priority, const QString &text);

    const SnapshotBoard &board_;
    const DayReport dayReport_;
    const WebLimits limits_;
    std::atomic<quint16> &port_;
    Listener *listener_ = nullptr;
    QObject *connections_ = new QObject(this);  // parent of every Connection
    bool tls_ = false;
    // Made only for HTTPS: the first one loads and starts the TLS library.
    std::optional<QSslConfiguration> ssl_;
    QString token_;
    Digest tokenDigest_{};
    Sessions sessions_;
    WebSources sources_;
    QSet<QString> journalled_;
};

namespace {

// One client from its accept to its close: reads and bounds the request,
// writes the answer, then drains what the client still sends until it
// closes, so that an answer to an oversized request reaches it instead of a
// reset.
class Connection : public QObject {
public:
    Connection(WebEndpoint::Server &server, QTcpSocket *socket, const QString &source, QObject *parent)
        : QObject(parent), server_(server), socket_(socket), whole_(server.limits().requestTime)
    {
        request_.source = source;
        socket_->setParent(this);
        socket_->setReadBufferSize(64 * 1024);
        deadline_ = new QTimer(this);
        deadline_->setSingleShot(true);
        QObject::connect(deadline_, &QTimer::timeout, this, [this] { finish(); });
        // A place is held for the headers' short time; only a client that
        // has sent them gets the rest of the request's.
        deadline_->start(std::min(server_.limits().headerTime, server_.limits().requestTime));
        QObject::connect(socket_, &QTcpSocket::readyRead, this, [this] { readable(); });
        QObject::connect(socket_, &QTcpSocket::disconnected, this, [this] { finish(); });
        QObject::connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
            // The client's end of sending is not the end: the answer is still
            // to go out, and disconnected() follows it.
            if (e != QAbstractSocket::RemoteHostClosedError)
                finish();
        });
        QObject::connect(socket_, &QTcpSocket::bytesWritten, this, [this] { written(); });
    }

private:
    enum class Phase { RequestLine, Headers, Body, Writing, Draining };

    void readable()
    {
        while (socket_->bytesAvailable() > 0 && phase_ < Phase::Writing) {
            in_ += socket_->read(16 * 1024);
            parse();
        }
        if (phase_ >= Phase::Writing) {
            char discard[4096];
            while (socket_->read(discard, sizeof discard) > 0) {
            }
        }
    }

    void parse()
    {
        const WebLimits &limits = server_.limits();
        while (phase_ == Phase::RequestLine || phase_ == Phase::Headers) {
            const qsizetype end = in_.indexOf('\n');
            if (phase_ == Phase::RequestLine) {
                const qsizetype length = end < 0 ? in_.size() : end;
                if (length > limits.requestLine)
                    return answer(refusal(414));
                if (blank_ + length > limits.requestLine)
                    return answer(refusal(400));
                if (end < 0)
                    return;
                QByteArray line = in_.left(end);
                in_.remove(0, end + 1);
                if (line.endsWith('\r'))
                    line.chop(1);
                if (line.isEmpty()) {
                    // Blank lines before a request are allowed, but as part
                    // of its line, or a client could send them for ever.
                    blank_ += end + 1;
                    continue;
                }
                const QList<QByteArray> parts = line.split(' ');
                if (parts.size() != 3 || !isToken(parts[0]) || parts[1].isEmpty())
                    return answer(refusal(400));
                request_.method = parts[0];
                request_.target = parts[1];
                request_.version = parts[2];
                if (request_.version != "HTTP/1.1" && request_.version != "HTTP/1.0")
                    return answer(refusal(request_.version.startsWith("HTTP/") ? 505 : 400));
                phase_ = Phase::Headers;
                continue;
            }
            if (end < 0 ? headerBytes_ + in_.size() > limits.headerBytes : headerBytes_ + end + 1 > limits.headerBytes)
                return answer(refusal(431));
            if (end < 0)
                return;
            headerBytes_ += end + 1;
            QByteArray line = in_.left(end);
            in_.remove(0, end + 1);
            if (line.endsWith('\r'))
                line.chop(1);
            if (line.isEmpty())
                return headersDone();
            if (++headerLines_ > limits.headerLines)
                return answer(refusal(431));
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0 || !isToken(line.left(colon)))
                return answer(refusal(400));  // folded lines among them
            request_.headers.append({line.left(colon).toLower(), line.mid(colon + 1).trimmed()});
        }
        if (phase_ == Phase::Body && in_.size() >= request_.contentLength) {
            request_.body = in_.left(request_.contentLength);
            in_.clear();
            answer(server_.respond(request_));
        }
    }

    void headersDone()
    {
        restOfRequest();
        const QList<QByteArray> hosts = request_.all("host");
        if (hosts.size() > 1 || (hosts.isEmpty() && request_.version == "HTTP/1.1"))
            return answer(refusal(400));
        if (!request_.all("transfer-encoding").isEmpty())
            return answer(refusal(501));
        const QList<QByteArray> lengths = request_.all("content-length");
        for (const QByteArray &length : lengths)
            if (!allDigits(length, 12) || length != lengths.first())
                return answer(refusal(400));
        request_.contentLength = lengths.isEmpty() ? 0 : lengths.first().toLongLong();

        bool takesBody = false;
        if (const std::optional<Response> refused = server_.screen(request_, &takesBody))
            return answer(*refused);
        if (request_.contentLength > 0 && (!takesBody || request_.contentLength > server_.limits().body))
            return answer(refusal(413));
        if (request_.contentLength == 0)
            return answer(server_.respond(request_));
        if (request_.first("expect").toLower() == "100-continue")
            socket_->write("HTTP/1.1 100 Continue\r\n\r\n");
        phase_ = Phase::Body;
        parse();
    }

    void restOfRequest()
    {
        deadline_->start(std::chrono::ceil<std::chrono::milliseconds>(whole_.remainingTimeAsDuration()));
    }

    void answer(const Response &response)
    {
        restOfRequest();
        phase_ = Phase::Writing;
        in_.clear();
        socket_->write(serialised(response, request_.head()));
        // TLS closes with its own alert once everything is written.
        if (server_.tls())
            socket_->disconnectFromHost();
    }

    void written()
    {
        if (phase_ != Phase::Writing || server_.tls() || socket_->bytesToWrite() > 0)
            return;
        // All is with the kernel: end our side and drain the client's for a
        // little while, so that unread input does not turn the close into a
        // reset that throws the answer away.
        phase_ = Phase::Draining;
        ::shutdown(int(socket_->socketDescriptor()), SHUT_WR);
        deadline_->start(std::min<std::chrono::milliseconds>(
            Linger, std::chrono::milliseconds(std::max<qint64>(0, deadline_->remainingTime()))));
        readable();
    }

    void finish()
    {
        if (finished_)
            return;
        finished_ = true;
        deadline_->stop();
        QObject::disconnect(socket_, nullptr, this, nullptr);
        socket_->abort();
        server_.closed(request_.source);
        deleteLater();
    }

    WebEndpoint::Server &server_;
    QTcpSocket *socket_;
    QTimer *deadline_;
    const QDeadlineTimer whole_;  // the request's time, from the accept
    Phase phase_ = Phase::RequestLine;
    QByteArray in_;
    Request request_;
    qsizetype blank_ = 0;  // bytes of blank lines before the request line
    qsizetype headerBytes_ = 0;
    int headerLines_ = 0;
    bool finished_ = false;
};

} // namespace

QString WebEndpoint::Server::listen(const WebSettings &settings)
{
    stop();
    if (settings.port == 0 && !settings.anyPort)
        return {};
    if (!settings.token.isEmpty() && settings.token.toUcs4().size() < WebTokenMinimum)
        return QStringLiteral("the token has fewer than %1 characters and could be guessed; the settings' "
                              "\"make a token\" button makes a safe one")
            .arg(WebTokenMinimum);
    if (settings.token != token_) {
        sessions_.clear();
        sources_.forgetMisses();
        token_ = settings.token;
        tokenDigest_ = digest(token_.toUtf8());
    }

    const QString text = settings.address.trimmed();
    QHostAddress address;
    if (text.isEmpty() || text == u"*")
        address = QHostAddress::Any;
    else if (text.compare(u"localhost", Qt::CaseInsensitive) == 0)
        address = QHostAddress::LocalHost;
    else if (!address.setAddress(text))
        return QStringLiteral("%1 is not an IP address").arg(text);
    if (token_.isEmpty() && !address.isLoopback()) {
        journalOnce(JournalPriority::Warning,
                    QStringLiteral("no token is set: listening on loopback only, not on %1 "
                                   "(a Token in [Web] opens the endpoint to the network)")
                        .arg(text.isEmpty() ? QStringLiteral("every interface") : text));
        address = QHostAddress::LocalHost;
    }

    tls_ = !settings.certFile.isEmpty() || !settings.keyFile.isEmpty();
    if (tls_) {
        if (settings.certFile.isEmpty() || settings.keyFile.isEmpty())
            return QStringLiteral("HTTPS needs both CertFile and KeyFile");
        if (!QSslSocket::supportsSsl())
            return QStringLiteral("HTTPS is not available: no TLS library");
        QFile certFile(settings.certFile);
        if (!certFile.open(QIODevice::ReadOnly))
            return QStringLiteral("cannot read the certificate %1: %2").arg(settings.certFile, certFile.errorString());
        const QList<QSslCertificate> chain = QSslCertificate::fromData(certFile.readAll(), QSsl::Pem);
        if (chain.isEmpty() || chain.first().isNull())
            return QStringLiteral("%1 holds no PEM certificate").arg(settings.certFile);
        QFile keyFile(settings.keyFile);
        if (!keyFile.open(QIODevice::ReadOnly))
            return QStringLiteral("cannot read the key %1: %2").arg(settings.keyFile, keyFile.errorString());
        const QByteArray pem = keyFile.readAll();
        QSslKey key;
        for (const QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa}) {
            key = QSslKey(pem, algorithm, QSsl::Pem, QSsl::PrivateKey);
            if (!key.isNull())
                break;
        }
        if (key.isNull())
            return QStringLiteral("%1 holds no PEM private key (RSA or EC, unencrypted)").arg(settings.keyFile);
        ssl_ = QSslConfiguration::defaultConfiguration();
        ssl_->setLocalCertificateChain(chain);
        ssl_->setPrivateKey(key);
        ssl_->setProtocol(QSsl::TlsV1_2OrLater);
        ssl_->setPeerVerifyMode(QSslSocket::VerifyNone);
    }

    listener_ = new Listener;
    listener_->setParent(this);
    listener_->incoming = [this](qintptr descriptor) { accept(descriptor); };
    const quint16 wanted = settings.anyPort ? 0 : settings.port;
    if (!listener_->listen(address, wanted)) {
        const QString error = QStringLiteral("cannot listen on %1 port %2: %3")
                                  .arg(address.toString())
                                  .arg(wanted)
                                  .arg(listener_->errorString());
        delete listener_;
        listener_ = nullptr;
        return error;
    }
    port_ = listener_->serverPort();
    const QString where = (address.protocol() == QAbstractSocket::IPv6Protocol
                               ? QStringLiteral("[%1]").arg(address.toString())
                               : address.toString())
        + QLatin1Char(':') + QString::number(port_.load());
    if (!token_.isEmpty() && !tls_ && !address.isLoopback())
        journalOnce(JournalPriority::Warning,
                    QStringLiteral("the token travels unencrypted over plain HTTP on %1; set CertFile and KeyFile "
                                   "in [Web] (PEM files) for HTTPS")
                        .arg(where));
    JournalLine(JournalPriority::Info, "web",
                QStringLiteral("listening on %1://%2").arg(tls_ ? u"https" : u"http", where));
    return {};
}

void WebEndpoint::Server::stop()
{
    delete listener_;
    listener_ = nullptr;
    port_ = 0;
    const QObjectList connections = connections_->children();
    qDeleteAll(connections);
    sources_.leaveAll();
}

void WebEndpoint::Server::accept(qintptr descriptor)
{
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    const QString source = ::getpeername(int(descriptor), reinterpret_cast<sockaddr *>(&peer), &length) == 0
        ? WebSourceOf(QHostAddress(reinterpret_cast<const sockaddr *>(&peer)))
        : QString();
    if (!sources_.enter(source)) {
        if (!tls_) {
            static const char busy[] = "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nRetry-After: 10\r\n"
                                       "Connection: close\r\n\r\n";
            [[maybe_unused]] const ssize_t sent =
                ::send(int(descriptor), busy, sizeof busy - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        ::close(int(descriptor));
        return;
    }
    QTcpSocket *socket = tls_ ? new QSslSocket : new QTcpSocket;
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        ::close(int(descriptor));
        sources_.leave(source);
        return;
    }
    new Connection(*this, socket, source, connections_);
    if (tls_) {
        auto *ssl = static_cast<QSslSocket *>(socket);
        ssl->setSslConfiguration(*ssl_);
        ssl->startServerEncryption();
    }
}

void WebEndpoint::Server::journalOnce(JournalPriority priority, const QString &text)
{
    if (journalled_.contains(text))
        return;
    journalled_.insert(text);
    JournalLine(priority, "web", text);
}

std::optional<Response> WebEndpoint::Server::screen(const Request &request, bool *takesBody) const
{
    *takesBody = false;
    // Without a token the loopback address is the only guard, and a page
    // of another site whose name was made to resolve to 127.0.0.1 would
    // pass it: the name the browser asked for must be loopback's own.
    if (token_.isEmpty() && !namesLoopback(request.first("host")))
        return refusal(403);
    // Every request of a source that must wait is refused, the right token's
    // too: answering it would tell the guesser it has found the token.
    if (const std::chrono::milliseconds wait = sources_.wait(request.source); wait.count() > 0) {
        Response r = refusal(429);
        r.headers << "Retry-After: " + QByteArray::number(std::chrono::ceil<std::chrono::seconds>(wait).count());
        return r;
    }
    QDate day;
    const Route route = routeOf(request.target, !token_.isEmpty(), &day);
    if (route == Route::None)
        return refusal(404);
    const bool read = request.method == "GET" || request.method == "HEAD";
    if (route == Route::Login && request.method == "POST") {
        *takesBody = true;
        return std::nullopt;
    }
    if (!read) {
        Response r = refusal(405);
        r.headers << (route == Route::Login ? "Allow: GET, HEAD, POST" : "Allow: GET, HEAD");
        return r;
    }
    return std::nullopt;
}

// A session id is too long to guess, and a browser's may simply have
// expired: only a wrong token is a miss.
WebEndpoint::Server::Access WebEndpoint::Server::access(const Request &request) const
{
    if (token_.isEmpty())
        return Access::Granted;
    for (const QByteArray &value : request.all("authorization")) {
        if (value.size() > 7 && value.left(7).toLower() == "bearer ")
            return sameSecret(value.mid(7).trimmed(), tokenDigest_) ? Access::Token : Access::WrongToken;
    }
    for (const QByteArray &header : request.all("cookie")) {
        for (const QByteArray &pair : header.split(';')) {
            const QByteArray cookie = pair.trimmed();
            const qsizetype eq = cookie.indexOf('=');
            if (eq > 0 && cookie.left(eq) == SessionCookie && sessions_.valid(cookie.mid(eq + 1)))
                return Access::Granted;
        }
    }
    return Access::Refused;
}

void WebEndpoint::Server::missed(const QString &source)
{
    if (!sources_.failed(source))
        return;
    const auto span = [](std::chrono::milliseconds t) {
        return t.count() % 60000 == 0 ? QStringLiteral("%1 min").arg(t.count() / 60000)
            : t.count() % 1000 == 0   ? QStringLiteral("%1 s").arg(t.count() / 1000)
                                      : QStringLiteral("%1 ms").arg(t.count());
    };
    JournalLine(JournalPriority::Warning, "web",
                QStringLiteral("%1 failed logins or tokens from %2: its requests are answered 429 for %3, then twice "
                               "as long after each further miss (at most %4), until one succeeds")
                    .arg(limits_.failuresBeforeWait)
                    .arg(source, span(limits_.firstWait), span(limits_.longestWait)));
}

Response WebEndpoint::Server::respond(const Request &request)
{
    const WatchSnapshotPtr snapshot = board_.current();
    QDate day;
    const Route route = routeOf(request.target, !token_.isEmpty(), &day);

    if (route == Route::Login) {
        if (request.method != "POST")
            return Response::html(200, WebPages::LoginPage(snapshot->language, false));
        const QByteArray type = request.first("content-type").toLower();
        if (!type.startsWith("application/x-www-form-urlencoded"))
            return refusal(415);
        if (!sameSecret(formField(request.body, "token"), tokenDigest_)) {
            missed(request.source);
            return Response::html(401, WebPages::LoginPage(snapshot->language, true));
        }
        sources_.succeeded(request.source);
        const QByteArray id = sessions_.open(limits_.sessions, limits_.sessionLife);
        Response r = Response::text(303);
        r.headers << "Location: /"
                  << QByteArray("Set-Cookie: ") + SessionCookie + '=' + id
                         + "; Path=/; Max-Age=" + QByteArray::number(qint64(limits_.sessionLife.count()))
                         + "; HttpOnly; SameSite=Strict" + (tls_ ? "; Secure" : "");
        return r;
    }

    const Access granted = access(request);
    if (granted == Access::Token)
        sources_.succeeded(request.source);
    if (granted == Access::WrongToken)
        missed(request.source);
    if (granted == Access::Refused || granted == Access::WrongToken) {
        const bool page = route == Route::List || route == Route::Report || route == Route::ReportDay;
        Response r = page ? Response::html(401, WebPages::LoginNeededPage(snapshot->language)) : refusal(401);
        r.headers << "WWW-Authenticate: Bearer realm=\"corvane\"";
        return r;
    }

    switch (route) {
    case Route::List: return Response::html(200, WebPages::ListPage(*snapshot));
    case Route::Terminals: {
        Response r{200, "application/json; charset=utf-8", WebPages::TerminalsJson(*snapshot), {}};
        return r;
    }
    case Route::Access: {
        Response r{200, "application/json; charset=utf-8", WebPages::AccessJson(*snapshot), {}};
        return r;
    }
    case Route::Metrics: {
        Response r{200, "text/plain; version=0.0.4; charset=utf-8", WebPages::Metrics(*snapshot), {}};
        return r;
    }
    case Route::Report:
    case Route::ReportDay: {
        QByteArray page;
        try {
            page = dayReport_ ? dayReport_(route == Route::Report ? QDate::currentDate() : day) : QByteArray();
        } catch (const std::exception &e) {
            JournalLine(JournalPriority::Error, "web: day report failed", QString::fromLocal8Bit(e.what()));
            return refusal(500);
        }
        return page.isEmpty() ? refusal(404) : Response::html(200, page);
    }
    case Route::Login:
    case Route::None: break;
    }
    return refusal(404);
}

WebEndpoint::WebEndpoint(const SnapshotBoard &board, DayReport dayReport, WebLimits limits)
    : thread_(std::make_unique<QThread>())
{
    thread_->setObjectName(QStringLiteral("web endpoint"));
    server_ = new Server(board, std::move(dayReport), limits, port_);
    server_->moveToThread(thread_.get());
    thread_->start();
}

WebEndpoint::~WebEndpoint()
{
    // The sockets and timers go on their own thread; what is left of the
    // server holds none once the thread has ended.
    stop();
    thread_->quit();
    thread_->wait();
    delete server_;
}

QString WebEndpoint::start(const WebSettings &settings)
{
    QString error;
    QMetaObject::invokeMethod(
        server_, [&] { error = server_->listen(settings); }, Qt::BlockingQueuedConnection);
    return error;
}

void WebEndpoint::stop()
{
    QMetaObject::invokeMethod(
        server_, [this] { server_->stop(); }, Qt::BlockingQueuedConnection);
}
