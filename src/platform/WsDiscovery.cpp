#include "platform/WsDiscovery.h"

#include "platform/LocalInterfaces.h"

#include <QHostAddress>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Verified devices at one address, and in all. A host proves its address by
// answering over TCP, not that it is many devices: past these, what it
// answers for stays unverified and bounded with the rest.
constexpr int MaxVerifiedPerSender = 8;
constexpr int MaxVerified = 1024;
// Resolve requests in one round, per sender address and in all.
constexpr int MaxResolvesPerSender = 4;
constexpr int MaxResolves = 64;
// Datagrams read from one socket per wake-up, so that a flood on one cannot
// starve the others or the metadata exchanges.
constexpr int DatagramsPerWake = 32;
// Datagrams a look takes from the listener itself, so that a Bye that has
// arrived counts at once.
constexpr int DatagramsPerLook = 16;

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

// Hello and Bye arrive on the discovery port; a port another program holds
// exclusively only costs them until the next Probe.
int listenerSocket(quint16 port, const QList<Interface> &interfaces)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    const sockaddr_in local = socketAddress(INADDR_ANY, port);
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0) {
        ::close(fd);
        return -1;
    }
    for (const Interface &it : interfaces) {
        ip_mreqn join{};
        join.imr_multiaddr.s_addr = htonl(groupAddress());
        join.imr_ifindex = it.index;
        ::setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join);
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

// A connection under way to address:port, or -1.
int connectTo(quint32 address, quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const sockaddr_in to = socketAddress(address, port);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&to), sizeof to) != 0 && errno != EINPROGRESS) {
        ::close(fd);
        return -1;
    }
    return fd;
}

QByteArray httpPost(quint32 address, quint16 port, const QByteArray &path, const QByteArray &body)
{
    const QByteArray host = QHostAddress(address).toString().toLatin1() + ':' + QByteArray::number(port);
    return "POST " + path + " HTTP/1.1\r\nHost: " + host +
           "\r\nContent-Type: application/soap+xml\r\nUser-Agent: Corvane\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

int untilMs(Clock::time_point now, Clock::time_point then)
{
    if (then <= now)
        return 0;
    const auto ms = std::chrono::ceil<milliseconds>(then - now).count();
    return int(std::min<qint64>(ms, 60000));
}

} // namespace

WsDiscovery::WsDiscovery() : WsDiscovery(Options{}) {}

WsDiscovery::WsDiscovery(Options options) : options_(options)
{
    wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

WsDiscovery::~WsDiscovery()
{
    {
        std::lock_guard guard(mutex_);
        stopping_ = true;
    }
    if (wake_ >= 0) {
        const quint64 one = 1;
        (void)!::write(wake_, &one, sizeof one);
    }
    if (thread_.joinable())
        thread_.join();
    for (const Fetch &f : fetches_)
        ::close(f.fd);
    if (listener_ >= 0)
        ::close(listener_);
    if (wake_ >= 0)
        ::close(wake_);
}

bool WsDiscovery::Computers(QList<WsdComputer> &out)
{
    std::unique_lock lock(mutex_);
    out.clear();
    if (!started_) {
        try {
            thread_ = std::thread(&WsDiscovery::run, this);
        } catch (const std::system_error &) {
            return false;
        }
        started_ = true;
    }
    if (!firstDone_) {
        // One probe round, its resolves and the metadata asked after it;
        // the rest is slack for a busy machine.
        const milliseconds bound(qint64(options_.probeWaitMs) + options_.resolveWaitMs + options_.metadataBudgetMs +
                                 1000);
        firstRound_.wait_for(lock, bound, [this] { return firstDone_; });
    }
    if (listener_ >= 0) {
        for (int i = 0; i < DatagramsPerLook && receive(listener_, 0, true); ++i) {
        }
    }
    if (!usable_)
        return false;
    for (auto it = devices_.cbegin(); it != devices_.cend(); ++it) {
        if (it->verified && !it->computer.name.isEmpty()) {
            out.append(it->computer);
            out.back().address = it.key().second;
        }
    }
    return true;
}

qsizetype WsDiscovery::DeviceCount()
{
    std::lock_guard guard(mutex_);
    return devices_.size();
}

void WsDiscovery::run()
{
    enum class Phase { Idle, Probing, Resolving };
    Phase phase = Phase::Idle;
    std::vector<Socket> senders;
    QSet<Key> unresolved;
    Clock::time_point roundStart = Clock::now();
    Clock::time_point nextProbe = roundStart;
    Clock::time_point secondProbe;
    Clock::time_point phaseEnd;
    bool secondSent = false;
    bool firstWaiting = false;  // the first round is over, its metadata under way
    Clock::time_point firstDeadline;
    QByteArray probe;

    const auto closeSenders = [&] {
        for (const Socket &s : senders)
            ::close(s.fd);
        senders.clear();
    };
    const auto firstRoundDone = [&] {
        std::lock_guard guard(mutex_);
        if (!firstDone_) {
            firstDone_ = true;
            firstRound_.notify_all();
        }
        firstWaiting = false;
    };

    std::vector<pollfd> polls;
    std::vector<int> senderOf;  // polls index -> senders index, or -1
    // Bounded by the destructor: it wakes the poll below and joins.
    while (true) {
        {
            std::lock_guard guard(mutex_);
            if (stopping_)
                break;
        }
        Clock::time_point now = Clock::now();

        if (phase == Phase::Idle && now >= nextProbe) {
            roundStart = now;
            nextProbe = now + milliseconds(std::max(options_.refreshMs, 1));
            if (startRound(senders)) {
                std::lock_guard guard(mutex_);
                probe = WsdProbe(probeId_);
            }
            if (senders.empty()) {
                firstRoundDone();
            } else {
                // The Probe goes twice, as datagrams get lost; answers to
                // either copy count once.
                for (const Socket &s : senders)
                    sendToGroup(s.fd, options_.port, probe);
                phase = Phase::Probing;
                secondSent = false;
                secondProbe = now + milliseconds(std::min(250, options_.probeWaitMs));
                phaseEnd = now + milliseconds(std::max(0, options_.probeWaitMs));
            }
        }
        if (phase == Phase::Probing && !secondSent && now >= secondProbe) {
            for (const Socket &s : senders)
                sendToGroup(s.fd, options_.port, probe);
            secondSent = true;
        }
        if (phase == Phase::Probing && now >= phaseEnd) {
            endProbe(senders, unresolved);
            phase = Phase::Resolving;
            phaseEnd = now + milliseconds(std::max(0, options_.resolveWaitMs));
        }
        if (phase == Phase::Resolving) {
            bool resolved = true;
            {
                std::lock_guard guard(mutex_);
                for (const Key &key : std::as_const(unresolved)) {
                    const auto d = devices_.constFind(key);
                    if (d != devices_.cend() && d->xaddrs.isEmpty()) {
                        resolved = false;
                        break;
                    }
                }
                if (resolved || now >= phaseEnd)
                    resolveIds_.clear();
            }
            if (resolved || now >= phaseEnd) {
                unresolved.clear();
                closeSenders();
                phase = Phase::Idle;
                if (!firstDone_ && !firstWaiting) {
                    firstWaiting = true;
                    firstDeadline = now + milliseconds(std::max(0, options_.metadataBudgetMs));
                }
            }
        }

        const bool pending = startFetches();
        if (firstWaiting && ((!pending && fetches_.empty()) || now >= firstDeadline))
            firstRoundDone();

        // Everything that can wake this thread, and until when it may sleep.
        polls.clear();
        senderOf.clear();
        polls.push_back({wake_, POLLIN, 0});
        senderOf.push_back(-1);
        if (listener_ >= 0) {
            polls.push_back({listener_, POLLIN, 0});
            senderOf.push_back(-1);
        }
        for (size_t i = 0; i < senders.size(); ++i) {
            polls.push_back({senders[i].fd, POLLIN, 0});
            senderOf.push_back(int(i));
        }
        const size_t firstFetch = polls.size();
        for (const Fetch &f : fetches_)
            polls.push_back({f.fd, short(f.out.isEmpty() ? POLLIN : POLLOUT), 0});

        Clock::time_point until = phase == Phase::Idle ? nextProbe : phaseEnd;
        if (phase == Phase::Probing && !secondSent)
            until = std::min(until, secondProbe);
        if (firstWaiting)
            until = std::min(until, firstDeadline);
        for (const Fetch &f : fetches_)
            until = std::min(until, f.deadline);
        int waitMs = untilMs(now, until);
        if (wake_ < 0)
            waitMs = std::min(waitMs, 250);
        const int ready = ::poll(polls.data(), nfds_t(polls.size()), waitMs);
        if (ready < 0 && errno != EINTR)
            ::poll(nullptr, 0, 10);  // no busy loop on a failing poll
        if (ready <= 0) {
            // Only time-outs to look at.
            for (pollfd &p : polls)
                p.revents = 0;
        }

        if (polls[0].revents & POLLIN) {
            quint64 count = 0;
            (void)!::read(wake_, &count, sizeof count);
        }
        for (size_t i = 1; i < firstFetch; ++i) {
            if (!(polls[i].revents & POLLIN))
                continue;
            const int interface = senderOf[i] >= 0 ? senders[size_t(senderOf[i])].interface : 0;
            for (int n = 0; n < DatagramsPerWake && receive(polls[i].fd, interface, false); ++n) {
            }
        }
        now = Clock::now();
        std::vector<Fetch> still;
        still.reserve(fetches_.size());
        for (size_t i = 0; i < fetches_.size(); ++i) {
            Fetch &f = fetches_[i];
            const short revents = polls[firstFetch + i].revents;
            if ((revents == 0 || !progress(f, revents)) && now < f.deadline) {
                still.push_back(std::move(f));
                continue;
            }
            if (now >= f.deadline && f.fd >= 0)
                finish(f, false, {});
        }
        fetches_ = std::move(still);
    }
    closeSenders();
}

bool WsDiscovery::startRound(std::vector<Socket> &senders)
{
    const QList<Interface> interfaces = discoveryInterfaces();
    for (const Interface &it : interfaces) {
        const int fd = senderSocket(it);
        if (fd >= 0)
            senders.push_back({fd, it.index});
    }
    const int listener = senders.empty() ? -1 : listenerSocket(options_.port, interfaces);
    std::lock_guard guard(mutex_);
    if (listener_ >= 0)
        ::close(listener_);
    listener_ = listener;
    usable_ = !senders.empty();
    if (!usable_) {
        clearTable();
        return false;
    }
    probeId_ = WsdNewMessageId();
    seen_.clear();
    return true;
}

void WsDiscovery::endProbe(const std::vector<Socket> &senders, QSet<Key> &unresolved)
{
    std::vector<std::pair<int, QByteArray>> resolves;
    {
        std::lock_guard guard(mutex_);
        // A device is gone when it said Bye, or when it missed two Probes in
        // a row: one lost answer does not log a computer out.
        for (auto it = devices_.begin(); it != devices_.end();) {
            if (seen_.contains(it.key())) {
                it->missed = 0;
                if (it->askFailed)
                    it->asked = it->askFailed = false;
                ++it;
            } else if (++it->missed >= 2) {
                it = forget(it);
            } else {
                ++it;
            }
        }

        // Devices that answered without saying where they serve their
        // metadata; a few per sender, as anyone can answer for any number.
        resolveIds_.clear();
        QHash<quint32, int> perSender;
        for (auto it = devices_.cbegin(); it != devices_.cend() && resolves.size() < size_t(MaxResolves); ++it) {
            if (!it->xaddrs.isEmpty() || perSender.value(it.key().second) >= MaxResolvesPerSender)
                continue;
            for (const Socket &s : senders) {
                if (s.interface != it->interface)
                    continue;
                const QString id = WsdNewMessageId();
                resolveIds_.insert(id);
                resolves.emplace_back(s.fd, WsdResolve(id, it.key().first));
                unresolved.insert(it.key());
                ++perSender[it.key().second];
            }
        }
    }
    for (const auto &[fd, message] : resolves)
        sendToGroup(fd, options_.port, message);
}

bool WsDiscovery::startFetches()
{
    std::lock_guard guard(mutex_);
    // Who waits for an exchange, by sender address.
    std::map<quint32, std::vector<Key>> pending;
    for (auto it = devices_.cbegin(); it != devices_.cend(); ++it) {
        if (!it->asked && !it->fetching && !it->xaddrs.isEmpty())
            pending[it.key().second].push_back(it.key());
    }
    if (pending.empty())
        return false;
    QHash<quint32, int> busy;
    for (const Fetch &f : fetches_)
        ++busy[f.key.second];

    // Round robin over the senders, each at most its share at once.
    const size_t most = size_t(std::max(1, options_.maxFetches));
    const int share = std::max(1, options_.maxFetchesPerSender);
    while (fetches_.size() < most) {
        auto next = pending.upper_bound(lastFetchSender_);
        bool found = false;
        for (size_t tried = 0; tried < pending.size(); ++tried, ++next) {
            if (next == pending.end())
                next = pending.begin();
            if (!next->second.empty() && busy.value(next->first) < share) {
                found = true;
                break;
            }
        }
        if (!found)
            break;
        const quint32 sender = next->first;
        lastFetchSender_ = sender;
        const Key key = next->second.back();
        next->second.pop_back();
        Device &d = devices_[key];
        d.asked = true;
        quint16 port = 0;
        QByteArray path;
        if (!WsdMetadataTarget(d.xaddrs, QHostAddress(sender).toString(), port, path))
            continue;
        const int fd = connectTo(sender, port);
        if (fd < 0) {
            d.askFailed = true;
            continue;
        }
        d.fetching = true;
        ++busy[sender];
        Fetch f;
        f.fd = fd;
        f.key = key;
        f.version = d.metadataVersion;
        f.out = httpPost(sender, port, path, WsdGet(WsdNewMessageId(), key.first));
        f.deadline = Clock::now() + milliseconds(std::max(0, options_.metadataTimeoutMs));
        fetches_.push_back(std::move(f));
    }
    return true;
}

// True when the exchange is over (finish() was called).
bool WsDiscovery::progress(Fetch &f, short revents)
{
    if (!f.out.isEmpty()) {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(f.fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            finish(f, false, {});
            return true;
        }
        const ssize_t sent = ::send(f.fd, f.out.constData(), size_t(f.out.size()), MSG_NOSIGNAL);
        if (sent < 0 && errno != EAGAIN && errno != EINTR) {
            finish(f, false, {});
            return true;
        }
        if (sent > 0)
            f.out.remove(0, sent);
        return false;
    }
    if (!(revents & (POLLIN | POLLERR | POLLHUP)))
        return false;
    char buffer[8192];
    const ssize_t got = ::recv(f.fd, buffer, sizeof buffer, 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return false;
    if (got < 0) {
        finish(f, false, {});
        return true;
    }
    const bool closed = got == 0;
    f.in.append(buffer, got);
    QByteArray body;
    bool complete = false;
    if (f.in.size() > WsdMaxMessage + 16 * 1024 || !ParseHttpResponse(f.in, closed, body, complete) ||
        (!complete && closed)) {
        finish(f, false, {});
        return true;
    }
    if (!complete)
        return false;
    finish(f, true, body);
    return true;
}

void WsDiscovery::finish(Fetch &f, bool ok, const QByteArray &body)
{
    ::close(f.fd);
    f.fd = -1;
    WsdComputer computer;
    const bool named = ok && ParseWsdMetadata(body, computer);
    std::lock_guard guard(mutex_);
    const auto it = devices_.find(f.key);
    if (it == devices_.end())
        return;  // it left, or made room, while asked
    Device &d = *it;
    d.fetching = false;
    if (d.metadataVersion != f.version) {
        d.asked = d.askFailed = false;  // the answer is about what it was
        return;
    }
    if (!ok) {
        d.askFailed = true;
        return;
    }
    // The answer came over TCP from the address the device answered from.
    if (!d.verified && !verify(f.key))
        return;
    // A device that answers without naming a computer (a printer, say) is
    // not asked again until its metadata changes.
    devices_[f.key].computer = named ? computer : WsdComputer{};
}

// False when nothing was waiting.
bool WsDiscovery::receive(int fd, int interface, bool locked)
{
    QByteArray buffer(WsdMaxMessage + 1, Qt::Uninitialized);
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t got
        = ::recvfrom(fd, buffer.data(), size_t(buffer.size()), MSG_TRUNC, reinterpret_cast<sockaddr *>(&from), &length);
    if (got < 0)
        return false;
    WsdMessage message;
    if (got == 0 || got > WsdMaxMessage || from.sin_family != AF_INET ||
        !ParseWsdMessage(QByteArrayView(buffer.constData(), got), message))
        return true;
    if (locked) {
        handle(message, ntohl(from.sin_addr.s_addr), interface);
    } else {
        std::lock_guard guard(mutex_);
        handle(message, ntohl(from.sin_addr.s_addr), interface);
    }
    return true;
}

void WsDiscovery::handle(const WsdMessage &message, quint32 sender, int interface)
{
    using Kind = WsdMessage::Kind;
    if (message.kind == Kind::ProbeMatches && message.relatesTo != probeId_)
        return;
    if (message.kind == Kind::ResolveMatches && !resolveIds_.contains(message.relatesTo))
        return;
    for (const WsdMessage::Match &m : message.matches) {
        const Key key{m.endpoint, sender};
        if (message.kind == Kind::Bye) {
            // Only the device itself says it is leaving: the endpoint as
            // heard from this very address.
            const auto it = devices_.find(key);
            if (it != devices_.end())
                forget(it);
            continue;
        }
        // A verified device keeps its address and name: another host naming
        // its endpoint is not believed.
        const auto owner = verifiedAt_.constFind(m.endpoint);
        if (owner != verifiedAt_.cend() && *owner != sender)
            continue;
        auto it = devices_.find(key);
        if (it == devices_.end())
            it = admit(key);
        Device &d = *it;
        // The name it had stays until its new metadata says otherwise.
        if (d.metadataVersion != m.metadataVersion)
            d.asked = d.askFailed = false;
        if (interface != 0 || d.interface == 0)
            d.interface = interface;
        d.metadataVersion = m.metadataVersion;
        if (!m.xaddrs.isEmpty())
            d.xaddrs = m.xaddrs;
        d.missed = 0;
        seen_.insert(key);
    }
}

QHash<WsDiscovery::Key, WsDiscovery::Device>::iterator WsDiscovery::admit(const Key &key)
{
    auto &mine = waiting_[key.second];
    std::map<quint64, QString> *from = nullptr;
    quint32 fromSender = key.second;
    if (!mine.empty() && qsizetype(mine.size()) >= std::max(1, options_.maxUnverifiedPerSender)) {
        from = &mine;
    } else if (unverified_ >= std::max(1, options_.maxUnverified)) {
        // The sender holding most makes room, so that a flood from many
        // addresses still leaves a lone device its place; among equals the
        // oldest entry goes.
        for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
            if (it->empty())
                continue;
            if (!from || it->size() > from->size() ||
                (it->size() == from->size() && it->begin()->first < from->begin()->first)) {
                from = &*it;
                fromSender = it.key();
            }
        }
    }
    if (from && !from->empty()) {
        const auto oldest = devices_.find(Key{from->begin()->second, fromSender});
        if (oldest != devices_.end())
            forget(oldest);
        else
            from->erase(from->begin());
    }
    Device d;
    d.born = nextBorn_++;
    waiting_[key.second].emplace(d.born, key.first);
    ++unverified_;
    return devices_.insert(key, d);
}

QHash<WsDiscovery::Key, WsDiscovery::Device>::iterator WsDiscovery::forget(QHash<Key, Device>::iterator it)
{
    seen_.remove(it.key());
    if (it->verified) {
        verifiedAt_.remove(it.key().first);
    } else {
        const auto w = waiting_.find(it.key().second);
        if (w != waiting_.end()) {
            w->erase(it->born);
            if (w->empty())
                waiting_.erase(w);
        }
        --unverified_;
    }
    return devices_.erase(it);
}

// False when the device stays unverified: its address, or the table, holds
// as many verified devices as are believed. Other entries may be gone after.
bool WsDiscovery::verify(const Key &key)
{
    if (verifiedAt_.size() >= MaxVerified || verifiedAt_.contains(key.first))
        return false;
    int here = 0;
    for (const quint32 address : std::as_const(verifiedAt_))
        here += address == key.second ? 1 : 0;
    if (here >= MaxVerifiedPerSender)
        return false;
    Device &d = devices_[key];
    const auto w = waiting_.find(key.second);
    if (w != waiting_.end()) {
        w->erase(d.born);
        if (w->empty())
            waiting_.erase(w);
    }
    --unverified_;
    d.verified = true;
    verifiedAt_.insert(key.first, key.second);
    // The same endpoint heard from elsewhere was someone else's claim.
    for (auto it = devices_.begin(); it != devices_.end();) {
        if (it.key().first == key.first && it.key().second != key.second)
            it = forget(it);
        else
            ++it;
    }
    return true;
}

void WsDiscovery::clearTable()
{
    devices_.clear();
    verifiedAt_.clear();
    waiting_.clear();
    unverified_ = 0;
}
