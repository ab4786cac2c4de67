#pragma once

// The messages of WS-Discovery (SOAP over UDP) and of the metadata exchange
// that follows it (SOAP over HTTP), as far as finding computers needs them.
//
// Everything here reads what any host on the network may send: a message is
// refused whole when it is larger than WsdMaxMessage, is not well-formed,
// carries a document type declaration, or lacks what its kind needs. Texts
// taken from it are bounded in length and count.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// The largest message read, from a datagram or an HTTP body.
inline constexpr qsizetype WsdMaxMessage = 64 * 1024;

inline constexpr quint16 WsdPort = 3702;
inline constexpr char WsdGroup[] = "239.255.255.250";

struct WsdMessage {
    enum class Kind { Hello, Bye, ProbeMatches, ResolveMatches };

    // One device a message tells of.
    struct Match {
        QString endpoint;        // its endpoint reference, "urn:uuid:..."
        QStringList xaddrs;      // where its metadata is served
        QString metadataVersion;
    };

    Kind kind = Kind::Hello;
    QString relatesTo;  // the request a match answers
    QList<Match> matches;
};

// False for anything but a well-formed Hello, Bye, ProbeMatches or
// ResolveMatches with at least one device in it.
bool ParseWsdMessage(QByteArrayView bytes, WsdMessage &out);

// The computer a device's metadata names: "NAME/Workgroup:WG" or
// "NAME/Domain:DOM". Both names as browse lists show them: in capitals, a
// domain by its first label.
struct WsdComputer {
    QString name;
    QString group;
    bool domain = false;
    quint32 address = 0;  // host order: where it answered and served its metadata (0 when not known)
};

// The pub:Computer of a metadata response. False when there is none or it
// does not hold a usable name and workgroup or domain.
bool ParseWsdMetadata(QByteArrayView bytes, WsdComputer &out);
bool ParseWsdComputerText(const QString &text, WsdComputer &out);

// The requests this side sends.
QByteArray WsdProbe(const QString &messageId);
QByteArray WsdResolve(const QString &messageId, const QString &endpoint);
QByteArray WsdGet(const QString &messageId, const QString &endpoint);
QString WsdNewMessageId();

// The port and path of the first address in xaddrs served over plain HTTP
// by the host at `host` (dotted IPv4). Addresses naming any other host are
// not taken: metadata is only ever asked of the device that answered.
bool WsdMetadataTarget(const QStringList &xaddrs, const QString &host, quint16 &port, QByteArray &path);

// The body of an HTTP response with status 200: by Content-Length, in
// chunks, or up to the end of the connection. False for any other status,
// a malformed response or a body over WsdMaxMessage. `complete` says the
// response ended where its framing says (always true for a body that runs
// to the end of the connection, when `closed`).
bool ParseHttpResponse(QByteArrayView bytes, bool closed, QByteArray &body, bool &complete);
