#include "platform/WsdMessage.h"

#include "platform/NetworkName.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUuid>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>
#include <mutex>

namespace {

constexpr char SoapNs[] = "http://www.w3.org/2003/05/soap-envelope";
constexpr char AddressingNs[] = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
constexpr char DiscoveryNs[] = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
constexpr char PubNs[] = "http://schemas.microsoft.com/windows/pub/2005/07";

constexpr int MaxMatches = 32;
constexpr int MaxXAddrs = 8;
constexpr qsizetype MaxText = 512;
// How deep the metadata search goes; real responses nest five levels.
constexpr int MaxDepth = 16;

struct DocFree {
    void operator()(xmlDoc *doc) const { xmlFreeDoc(doc); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;

// No network, no entity expansion, no DTD loading, and a document that
// declares a type of its own is refused outright: nothing in these
// exchanges needs one, and it is where entity tricks live.
Doc parse(QByteArrayView bytes)
{
    if (bytes.isEmpty() || bytes.size() > WsdMaxMessage)
        return {};
    static std::once_flag init;
    std::call_once(init, [] { xmlInitParser(); });
    Doc doc(xmlReadMemory(bytes.data(), int(bytes.size()), nullptr, nullptr,
                          XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (doc && doc->intSubset)
        doc.reset();
    return doc;
}

bool is(const xmlNode *node, const char *ns, const char *name)
{
    return node && node->type == XML_ELEMENT_NODE && node->ns && node->ns->href &&
           xmlStrEqual(node->ns->href, BAD_CAST ns) && xmlStrEqual(node->name, BAD_CAST name);
}

// The document's SOAP envelope, or null.
const xmlNode *envelope(const Doc &doc)
{
    const xmlNode *root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    return is(root, SoapNs, "Envelope") ? root : nullptr;
}

const xmlNode *child(const xmlNode *parent, const char *ns, const char *name)
{
    if (!parent)
        return nullptr;
    for (const xmlNode *c = parent->children; c; c = c->next) {
        if (is(c, ns, name))
            return c;
    }
    return nullptr;
}

// The element's text, blanks at either end removed; empty when it is
// longer than any real value.
QString text(const xmlNode *node)
{
    if (!node)
        return {};
    QByteArray bytes;
    for (const xmlNode *c = node->children; c; c = c->next) {
        if ((c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) && c->content) {
            bytes += reinterpret_cast<const char *>(c->content);
            if (bytes.size() > MaxText)
                return {};
        }
    }
    return QString::fromUtf8(bytes).trimmed();
}

// A match, a Hello or a Bye: the device's endpoint and where it serves.
bool readMatch(const xmlNode *node, WsdMessage::Match &m)
{
    m.endpoint = text(child(child(node, AddressingNs, "EndpointReference"), AddressingNs, "Address"));
    if (m.endpoint.isEmpty())
        return false;
    const QStringList xaddrs = text(child(node, DiscoveryNs, "XAddrs")).split(u' ', Qt::SkipEmptyParts);
    m.xaddrs = xaddrs.mid(0, MaxXAddrs);
    m.metadataVersion = text(child(node, DiscoveryNs, "MetadataVersion"));
    return true;
}

const xmlNode *findComputer(const xmlNode *node, int depth)
{
    if (depth > MaxDepth)
        return nullptr;
    for (const xmlNode *c = node->children; c; c = c->next) {
        if (c->type != XML_ELEMENT_NODE)
            continue;
        if (is(c, PubNs, "Computer"))
            return c;
        if (const xmlNode *found = findComputer(c, depth + 1))
            return found;
    }
    return nullptr;
}

QByteArray soapMessage(const QString &to, const QString &action, const QString &messageId, const QByteArray &body)
{
    const auto esc = [](const QString &s) { return s.toHtmlEscaped().toUtf8(); };
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
           "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\""
           " xmlns:wsa=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\""
           " xmlns:wsd=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\""
           " xmlns:wsdp=\"http://schemas.xmlsoap.org/ws/2006/02/devprof\">"
           "<soap:Header><wsa:To>" +
           esc(to) + "</wsa:To><wsa:Action>" + esc(action) + "</wsa:Action><wsa:MessageID>" + esc(messageId) +
           "</wsa:MessageID><wsa:ReplyTo><wsa:Address>"
           "http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous"
           "</wsa:Address></wsa:ReplyTo></soap:Header><soap:Body>" +
           body + "</soap:Body></soap:Envelope>";
}

const QString DiscoveryTo = QStringLiteral("urn:schemas-xmlsoap-org:ws:2005:04:discovery");
const QString DiscoveryAction = QStringLiteral("http://schemas.xmlsoap.org/ws/2005/04/discovery/");

} // namespace

bool ParseWsdMessage(QByteArrayView bytes, WsdMessage &out)
{
    out = {};
    const Doc doc = parse(bytes);
    const xmlNode *root = envelope(doc);
    const xmlNode *header = child(root, SoapNs, "Header");
    const xmlNode *body = child(root, SoapNs, "Body");
    const QString action = text(child(header, AddressingNs, "Action"));
    if (!body || !action.startsWith(DiscoveryAction))
        return false;
    const QString verb = action.mid(DiscoveryAction.size());
    out.relatesTo = text(child(header, AddressingNs, "RelatesTo"));

    const char *container = nullptr;
    const char *item = nullptr;
    if (verb == u"Hello") {
        out.kind = WsdMessage::Kind::Hello;
    } else if (verb == u"Bye") {
        out.kind = WsdMessage::Kind::Bye;
    } else if (verb == u"ProbeMatches") {
        out.kind = WsdMessage::Kind::ProbeMatches;
        container = "ProbeMatches";
        item = "ProbeMatch";
    } else if (verb == u"ResolveMatches") {
        out.kind = WsdMessage::Kind::ResolveMatches;
        container = "ResolveMatches";
        item = "ResolveMatch";
    } else {
        return false;
    }

    if (!container) {
        WsdMessage::Match m;
        if (!readMatch(child(body, DiscoveryNs, verb == u"Hello" ? "Hello" : "Bye"), m))
            return false;
        out.matches.append(m);
        return true;
    }
    const xmlNode *list = child(body, DiscoveryNs, container);
    for (const xmlNode *c = list ? list->children : nullptr; c && out.matches.size() < MaxMatches; c = c->next) {
        WsdMessage::Match m;
        if (is(c, DiscoveryNs, item) && readMatch(c, m))
            out.matches.append(m);
    }
    return !out.matches.isEmpty();
}

bool ParseWsdComputerText(const QString &value, WsdComputer &out)
{
    out = {};
    const qsizetype slash = value.indexOf(u'/');
    if (slash <= 0)
        return false;
    const QString name = value.left(slash);
    const QString rest = value.mid(slash + 1);
    QString group;
    if (rest.startsWith(u"Workgroup:")) {
        group = rest.mid(10);
    } else if (rest.startsWith(u"Domain:")) {
        out.domain = true;
        // A domain by its DNS name; its browse-list name is the first label.
        group = rest.mid(7).section(u'.', 0, 0);
    } else {
        return false;
    }
    // Names as computer and workgroup names can be: no separators of paths
    // or lists, no control characters, and within the length of a host name.
    static const QRegularExpression valid(QStringLiteral("^[^\\\\/:*?\"<>|,;=\\s\\x00-\\x1f]{1,63}$"));
    if (!valid.match(name).hasMatch() || !valid.match(group).hasMatch() || !IsPlainNetworkName(name)
        || !IsPlainNetworkName(group))
        return false;
    out.name = name.toUpper();
    out.group = group.toUpper();
    return true;
}

bool ParseWsdMetadata(QByteArrayView bytes, WsdComputer &out)
{
    out = {};
    const Doc doc = parse(bytes);
    const xmlNode *body = child(envelope(doc), SoapNs, "Body");
    const xmlNode *computer = body ? findComputer(body, 0) : nullptr;
    return computer && ParseWsdComputerText(text(computer), out);
}

QString WsdNewMessageId()
{
    return QStringLiteral("urn:uuid:") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QByteArray WsdProbe(const QString &messageId)
{
    return soapMessage(DiscoveryTo, DiscoveryAction + QStringLiteral("Probe"), messageId,
                    "<wsd:Probe><wsd:Types>wsdp:Device</wsd:Types></wsd:Probe>");
}

QByteArray WsdResolve(const QString &messageId, const QString &endpoint)
{
    return soapMessage(DiscoveryTo, DiscoveryAction + QStringLiteral("Resolve"), messageId,
                    "<wsd:Resolve><wsa:EndpointReference><wsa:Address>" + endpoint.toHtmlEscaped().toUtf8() +
                        "</wsa:Address></wsa:EndpointReference></wsd:Resolve>");
}

QByteArray WsdGet(const QString &messageId, const QString &endpoint)
{
    return soapMessage(endpoint, QStringLiteral("http://schemas.xmlsoap.org/ws/2004/09/transfer/Get"), messageId, {});
}

bool WsdMetadataTarget(const QStringList &xaddrs, const QString &host, quint16 &port, QByteArray &path)
{
    for (const QString &xaddr : xaddrs) {
        const QUrl url(xaddr, QUrl::StrictMode);
        if (!url.isValid() || url.scheme() != u"http" || url.host() != host || !url.userInfo().isEmpty())
            continue;
        const int p = url.port(80);
        if (p <= 0 || p > 65535)
            continue;
        port = quint16(p);
        path = url.path(QUrl::FullyEncoded).toUtf8();
        if (path.isEmpty())
            path = "/";
        if (url.hasQuery())
            path += '?' + url.query(QUrl::FullyEncoded).toUtf8();
        return true;
    }
    return false;
}

bool ParseHttpResponse(QByteArrayView bytes, bool closed, QByteArray &body, bool &complete)
{
    body.clear();
    complete = false;
    const qsizetype headEnd = bytes.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return !closed && bytes.size() <= 8192;  // more to come, or a head too long to be real
    const QList<QByteArray> lines = bytes.first(headEnd).toByteArray().split('\n');
    const QList<QByteArray> status = lines.first().trimmed().split(' ');
    if (status.size() < 2 || !status[0].startsWith("HTTP/1.") || status[1] != "200")
        return false;
    qint64 length = -1;
    bool chunked = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray key = lines[i].first(colon).trimmed().toLower();
        const QByteArray value = lines[i].mid(colon + 1).trimmed();
        if (key == "content-length") {
            bool ok = false;
            length = value.toLongLong(&ok);
            if (!ok || length < 0)
                return false;
        } else if (key == "transfer-encoding") {
            chunked = value.toLower().contains("chunked");
        }
    }
    QByteArrayView rest = bytes.sliced(headEnd + 4);
    if (chunked) {
        while (true) {
            const qsizetype eol = rest.indexOf("\r\n");
            if (eol < 0)
                return !closed && rest.size() < 64;
            bool ok = false;
            const qint64 size = rest.first(eol).toByteArray().split(';').first().trimmed().toLongLong(&ok, 16);
            if (!ok || size < 0 || size > WsdMaxMessage || body.size() + size > WsdMaxMessage)
                return false;
            if (rest.size() < eol + 2 + size + 2)
                return !closed;
            if (size == 0) {
                complete = true;
                return true;
            }
            body += rest.sliced(eol + 2, size);
            rest = rest.sliced(eol + 2 + size + 2);
        }
    }
    if (length > WsdMaxMessage || (length < 0 && rest.size() > WsdMaxMessage))
        return false;
    if (length >= 0) {
        if (rest.size() < length)
            return !closed;
        body = rest.first(length).toByteArray();
        complete = true;
        return true;
    }
    body = rest.toByteArray();
    complete = closed;
    return true;
}
