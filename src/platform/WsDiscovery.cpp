#include "platform/WsDiscovery.h"

#include "platform/LocalInterfaces.h"

#include <QHostAddress>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Devices kept at most; a network announcing more is not a workgroup.
constexpr int MaxDevices = 1024;

using Interface = LocalInterface;

// Up, multicast-capable, with an IPv4 address.
QList<Interface> discoveryInterfaces()
{
    QList<Interface> out;
    for (const LocalInterface &it : UpIPv4Interfaces()) {
        if (it.multicast && it.index > 0)
            out.append(it);
    }
    return out;
}

sockaddr_in socketAddress(quint32 address, quint16 port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(address);
    a.sin_port = htons(port);
    return a;
}

quint32 groupAddress()
{
    return QHostAddress(QString::fromLatin1(WsdGroup)).toIPv4Address();
}

// A socket that sends to the group out of one interface (one hop, as the
// protocol wants) and receives the unicast answers.
int senderSocket(const Interface &it)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const sockaddr_in local = socketAddress(it.address, 0);
    ip_mreqn via{};
    via.imr_ifindex = it.index;
    const int ttl = 1;
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0 ||
        ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &via, sizeof via) != 0 ||
        ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends one datagram to the group; the port is the discovery port.
void sendToGroup(int fd, quint16 port, const QByteArray &bytes)
{
    const sockaddr_in to = socketAddress(groupAddress(), port);
    (void)::sendto(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL, reinterpret_cast<const sockaddr *>(&to),
                   sizeof to);
}

qint64 remaining(const QElapsedTimer &timer, int limitMs)
{
    return qMax<qint64>(0, limitMs - timer.elapsed());
}

// One POST over HTTP/1.1 to address:port, bounded in time and size; the
// whole response as it came.
bool httpPost(quint32 address, quint16 port, const QByteArray &path, const QByteArray &body, int timeoutMs,
              QByteArray &responseBody)
{
    QElapsedTimer timer;
    timer.start();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    const sockaddr_in to = socketAddress(address, port);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&to), sizeof to) != 0 && errno != EINPROGRESS)
        return false;
    const QByteArray host = QHostAddress(address).toString().toLatin1() + ':' + QByteArray::number(port);
    QByteArray out = "POST " + path + " HTTP/1.1\r\nHost: " + host +
                     "\r\nContent-Type: application/soap+xml\r\nUser-Agent: Corvane\r\nContent-Length: " +
                     QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    QByteArray in;
    bool closed = false;
    while (true) {
        const qint64 left = remaining(timer, timeoutMs);
        if (left == 0)
            return false;
        pollfd p{fd, short(out.isEmpty() ? POLLIN : POLLOUT), 0};
        const int ready = ::poll(&p, 1, int(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        if (!out.isEmpty()) {
            int error = 0;
            socklen_t length = sizeof error;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
                return false;
            const ssize_t sent = ::send(fd, out.constData(), size_t(out.size()), MSG_NOSIGNAL);
            if (sent < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            if (sent > 0)
                out.remove(0, sent);
            continue;
        }
        char buffer[8192];
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (got < 0)
            return false;
        closed = got == 0;
        in.append(buffer, got);
        if (in.size() > WsdMaxMessage + 16 * 1024)
            return false;
        bool complete = false;
        if (!ParseHttpResponse(in, closed, responseBody, complete))
            return false;
        if (complete)
            return true;
        if (closed)
            return false;
    }
}

} // namespace

WsDiscovery::WsDiscovery() = default;
WsDiscovery::WsDiscovery(Options options) : options_(options) {}

WsDiscovery::~WsDiscovery()
{
    closeListener();
}

void WsDiscovery::closeListener()
{
    if (listener_ >= 0)
        ::close(listener_);
    listener_ = -1;
}

bool WsDiscovery::Computers(QList<WsdComputer> &out)
{
    std::lock_guard guard(mutex_);
    out.clear();
    if (listener_ >= 0)
        collect({Socket{listener_, 0}}, 0, nullptr);
    if (!lastProbe_.isValid() || lastProbe_.elapsed() >= options_.refreshMs)
        probe();
    if (!usable_)
        return false;
    fetchMetadata();
    for (const Device &d : std::as_const(devices_)) {
        if (!d.computer.name.isEmpty())
            out.append(d.computer);
    }
    return true;
}

void WsDiscovery::probe()
{
    lastProbe_.start();
    closeListener();
    const QList<Interface> interfaces = discoveryInterfaces();
    QList<Socket> sockets;
    for (const Interface &it : interfaces) {
        const int fd = senderSocket(it);
        if (fd >= 0)
            sockets.append({fd, it.index});
    }
    usable_ = !sockets.isEmpty();
    if (!usable_) {
        devices_.clear();
        return;
    }

    // Hello and Bye arrive on the discovery port; a port another program
    // holds exclusively only costs them until the next Probe.
    listener_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener_ >= 0) {
        const int on = 1;
        const sockaddr_in local = socketAddress(INADDR_ANY, options_.port);
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(listener_, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0) {
            closeListener();
        } else {
            for (const Interface &it : interfaces) {
                ip_mreqn join{};
                join.imr_multiaddr.s_addr = htonl(groupAddress());
                join.imr_ifindex = it.index;
                ::setsockopt(listener_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join);
            }
        }
    }

    QList<Socket> all = sockets;
    if (listener_ >= 0)
        all.append({listener_, 0});

    // The Probe goes twice, as datagrams get lost; answers to either copy
    // count once.
    probeId_ = WsdNewMessageId();
    seen_.clear();
    const QByteArray message = WsdProbe(probeId_);
    for (const Socket &s : sockets)
        sendToGroup(s.fd, options_.port, message);
    collect(all, qMin(250, options_.probeWaitMs), nullptr);
    for (const Socket &s : sockets)
        sendToGroup(s.fd, options_.port, message);
    collect(all, qMax(0, options_.probeWaitMs - 250), nullptr);

    // A device is gone when it said Bye, or when it missed two Probes in a
    // row: one lost answer does not log a computer out.
    for (auto it = devices_.begin(); it != devices_.end();) {
        if (seen_.contains(it.key())) {
            it->missed = 0;
            if (it->askFailed)
                it->asked = it->askFailed = false;
            ++it;
        } else if (++it->missed >= 2) {
            it = devices_.erase(it);
        } else {
            ++it;
        }
    }

    // Devices that answered without saying where they serve their metadata.
    resolveIds_.clear();
    QSet<QString> unresolved;
    for (auto it = devices_.cbegin(); it != devices_.cend(); ++it) {
        if (!it->xaddrs.isEmpty())
            continue;
        for (const Socket &s : sockets) {
            if (s.interface != it->interface)
                continue;
            const QString id = WsdNewMessageId();
            resolveIds_.insert(id);
            sendToGroup(s.fd, options_.port, WsdResolve(id, it.key()));
            unresolved.insert(it.key());
        }
    }
    if (!unresolved.isEmpty()) {
        collect(all, options_.resolveWaitMs, [&] {
            for (const QString &endpoint : std::as_const(unresolved)) {
                const auto d = devices_.constFind(endpoint);
                if (d != devices_.cend() && d->xaddrs.isEmpty())
                    return false;
            }
            return true;
        });
    }
    resolveIds_.clear();
    for (const Socket &s : sockets)
        ::close(s.fd);
}

void WsDiscovery::collect(const QList<Socket> &sockets, int waitMs, const std::function<bool()> &done)
{
    QElapsedTimer timer;
    timer.start();
    QList<pollfd> polls;
    for (const Socket &s : sockets)
        polls.append({s.fd, POLLIN, 0});
    // Bounded in datagrams too, so a flood cannot hold the caller past its
    // wait.
    for (int round = 0; round < 4096; ++round) {
        if (done && done())
            return;
        const int ready = ::poll(polls.data(), nfds_t(polls.size()), int(remaining(timer, waitMs)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return;
        for (qsizetype i = 0; i < polls.size(); ++i) {
            if (polls[i].revents & POLLIN)
                receive(polls[i].fd, sockets[i].interface);
        }
        if (waitMs > 0 && remaining(timer, waitMs) == 0)
            return;
    }
}

void WsDiscovery::receive(int fd, int interface)
{
    QByteArray buffer(WsdMaxMessage + 1, Qt::Uninitialized);
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t got
        = ::recvfrom(fd, buffer.data(), size_t(buffer.size()), MSG_TRUNC, reinterpret_cast<sockaddr *>(&from), &length);
    if (got <= 0 || got > WsdMaxMessage || from.sin_family != AF_INET)
        return;
    WsdMessage message;
    if (ParseWsdMessage(QByteArrayView(buffer.constData(), got), message))
        handle(message, ntohl(from.sin_addr.s_addr), interface);
}

void WsDiscovery::handle(const WsdMessage &message, quint32 sender, int interface)
{
    using Kind = WsdMessage::Kind;
    if (message.kind == Kind::ProbeMatches && message.relatesTo != probeId_)
        return;
    if (message.kind == Kind::ResolveMatches && !resolveIds_.contains(message.relatesTo))
        return;
    for (const WsdMessage::Match &m : message.matches) {
        if (message.kind == Kind::Bye) {
            // Only the device itself says it is leaving.
            const auto it = devices_.constFind(m.endpoint);
            if (it != devices_.cend() && it->address == sender)
                devices_.erase(it);
            continue;
        }
        if (!devices_.contains(m.endpoint) && devices_.size() >= MaxDevices)
            continue;
        Device &d = devices_[m.endpoint];
        if (d.address != sender || d.metadataVersion != m.metadataVersion) {
            d.asked = d.askFailed = false;
            d.computer = {};
        }
        d.address = sender;
        if (interface != 0 || d.interface == 0)
            d.interface = interface;
        d.metadataVersion = m.metadataVersion;
        if (!m.xaddrs.isEmpty())
            d.xaddrs = m.xaddrs;
        d.missed = 0;
        seen_.insert(m.endpoint);
    }
}

void WsDiscovery::fetchMetadata()
{
    QElapsedTimer budget;
    budget.start();
    for (auto it = devices_.begin(); it != devices_.end(); ++it) {
        Device &d = *it;
        if (d.asked || d.xaddrs.isEmpty())
            continue;
        const qint64 left = remaining(budget, options_.metadataBudgetMs);
        if (left == 0)
            break;
        d.asked = true;
        quint16 port = 0;
        QByteArray path;
        if (!WsdMetadataTarget(d.xaddrs, QHostAddress(d.address).toString(), port, path))
            continue;
        QByteArray body;
        WsdComputer computer;
        // A device that answers without naming a computer (a printer, say)
        // is not asked again until its metadata changes.
        if (!httpPost(d.address, port, path, WsdGet(WsdNewMessageId(), it.key()),
                      int(qMin<qint64>(left, options_.metadataTimeoutMs)), body))
            d.askFailed = true;
        else if (ParseWsdMetadata(body, computer))
            d.computer = computer;
    }
}
