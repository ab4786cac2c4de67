#include "platform/NetbiosName.h"

#include "platform/Cp932.h"
#include "platform/LocalInterfaces.h"
#include "platform/NetworkName.h"

#include <QElapsedTimer>
#include <QList>
#include <QRandomGenerator>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr quint16 NameServicePort = 137;
constexpr quint16 TypeNb = 0x0020;
constexpr quint16 TypeNbStat = 0x0021;

void put16(QByteArray &out, quint16 v)
{
    out.append(char(v >> 8));
    out.append(char(v & 0xFF));
}

quint16 get16(QByteArrayView p, qsizetype at)
{
    return quint16((quint8(p[at]) << 8) | quint8(p[at + 1]));
}

// The 16 bytes of a name, half-byte encoded into 32 letters, as the
// question of a query.
QByteArray question(const QByteArray &raw16, quint16 type)
{
    QByteArray out;
    out.append(char(32));
    for (const char c : raw16) {
        out.append(char('A' + ((quint8(c) >> 4) & 0x0F)));
        out.append(char('A' + (quint8(c) & 0x0F)));
    }
    out.append('\0');
    put16(out, type);
    put16(out, 1);  // class IN
    return out;
}

QByteArray header(quint16 id, quint16 flags)
{
    QByteArray out;
    put16(out, id);
    put16(out, flags);
    put16(out, 1);  // one question
    put16(out, 0);
    put16(out, 0);
    put16(out, 0);
    return out;
}

// The encoded name of a question (its length byte, 32 letters and the end).
QByteArrayView encodedName(const QByteArray &question) { return QByteArrayView(question).first(34); }

// Whether the name at `at` is `name` (written out, or by a pointer back to
// an earlier copy of it); `at` moves past it.
bool nameAt(QByteArrayView p, qsizetype &at, QByteArrayView name)
{
    if (at + 2 <= p.size() && (quint8(p[at]) & 0xC0) == 0xC0) {
        const qsizetype target = ((quint8(p[at]) & 0x3F) << 8) | quint8(p[at + 1]);
        at += 2;
        return target >= 12 && target + name.size() <= at - 2 && p.sliced(target, name.size()) == name;
    }
    if (at + name.size() > p.size() || p.sliced(at, name.size()) != name)
        return false;
    at += name.size();
    return true;
}

// Where the answer's resource data begins, after its name, type, class, TTL
// and length; -1 when the packet is not a positive answer to `id` of `type`
// about `name` (an answer about another name answers nothing we asked,
// whatever its number).
qsizetype answerData(QByteArrayView p, quint16 id, quint16 type, QByteArrayView name, quint16 &length)
{
    if (p.size() < 12 || get16(p, 0) != id)
        return -1;
    const quint16 flags = get16(p, 2);
    if (!(flags & 0x8000) || (flags & 0x000F) != 0 || get16(p, 6) == 0)
        return -1;
    qsizetype at = 12;
    // A question section sent back with the answer is passed over; it must
    // be ours too.
    for (quint16 q = get16(p, 4); q > 0; --q)
        if (!nameAt(p, at, name) || (at += 4) > p.size())
            return -1;
    if (!nameAt(p, at, name))
        return -1;
    if (at + 10 > p.size() || get16(p, at) != type)
        return -1;
    length = get16(p, at + 8);
    at += 10;
    if (at + length > p.size())
        return -1;
    return at;
}

struct Target {
    quint32 local = 0;  // network byte order
    quint32 to = 0;
};

// The broadcast address of each up IPv4 interface that has one, with the
// interface's own address to send from: never the limited broadcast, never
// beyond the interface's subnet.
QList<Target> broadcastTargets()
{
    QList<Target> out;
    for (const LocalInterface &it : UpIPv4Interfaces()) {
        // The subnet's broadcast from address and mask: an address set
        // without a broadcast address of its own has none to read. No
        // subnet to broadcast on: a point-to-point /31 or /32.
        if (!it.broadcast || it.mask == 0 || ~it.mask <= 1)
            continue;
        out.append({htonl(it.address), htonl((it.address & it.mask) | ~it.mask)});
    }
    return out;
}

int udpSocket(quint32 local, bool broadcast)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = local;
    const int on = 1;
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&a), sizeof a) != 0 ||
        (broadcast && ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sendTo(int fd, quint32 to, const QByteArray &packet)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = to;
    a.sin_port = htons(NameServicePort);
    return ::sendto(fd, packet.constData(), size_t(packet.size()), MSG_NOSIGNAL, reinterpret_cast<const sockaddr *>(&a),
                    sizeof a) == packet.size();
}

// Sends the packet to each target, once more halfway, and hands every
// answer to `accept` until it takes one or the time is up.
template <typename Accept>
void exchange(const QList<Target> &targets, bool broadcast, const QByteArray &packet, int timeoutMs, Accept accept)
{
    QList<pollfd> polls;
    QList<quint32> to;
    for (const Target &t : targets) {
        const int fd = udpSocket(t.local, broadcast);
        if (fd < 0)
            continue;
        polls.append({fd, POLLIN, 0});
        to.append(t.to);
    }
    QElapsedTimer timer;
    timer.start();
    bool again = true;
    bool sent = false;
    for (qsizetype i = 0; i < polls.size(); ++i)
        sent = sendTo(polls[i].fd, to[i], packet) || sent;
    // Nothing to wait for where nothing could be sent (no route, say).
    for (int round = 0; round < 256 && sent; ++round) {
        const qint64 half = timeoutMs / 2 - timer.elapsed();
        const qint64 left = again && half > 0 ? half : timeoutMs - timer.elapsed();
        if (left <= 0 && !again)
            break;
        const int ready = ::poll(polls.data(), nfds_t(polls.size()), int(qMax<qint64>(0, left)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0 && again) {
            again = false;
            for (qsizetype i = 0; i < polls.size(); ++i)
                sendTo(polls[i].fd, to[i], packet);
            continue;
        }
        if (ready <= 0)
            break;
        bool done = false;
        for (const pollfd &p : std::as_const(polls)) {
            if (!(p.revents & POLLIN))
                continue;
            char buffer[1500];
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            const ssize_t got = ::recvfrom(p.fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&from),
                                           &fromLength);
            if (got > 0 && accept(QByteArrayView(buffer, got), from.sin_addr.s_addr))
                done = true;
        }
        if (done)
            break;
    }
    for (const pollfd &p : std::as_const(polls))
        ::close(p.fd);
}

} // namespace

namespace Netbios {

bool isName(const QString &name)
{
    const QByteArray raw = Cp932::encode(name);
    if (raw.isEmpty() || raw.size() > 15 || Cp932::decode(raw) != name || !IsPlainNetworkName(name))
        return false;
    for (const char c : raw) {
        if (quint8(c) <= 0x20 || QByteArrayView("./\\:*?\"<>|,;=+[]").contains(c))
            return false;
    }
    return true;
}

QByteArray nameQuestion(const QString &name)
{
    QByteArray raw = Cp932::encode(name.toUpper()).left(15);
    raw = raw.leftJustified(15, ' ');
    raw.append('\0');  // the workstation service
    return question(raw, TypeNb);
}

QByteArray nodeStatusQuestion() { return question(QByteArray("*") + QByteArray(15, '\0'), TypeNbStat); }

QByteArray nameQuery(quint16 id, const QString &name)
{
    return header(id, 0x0110) + nameQuestion(name);  // recursion desired, broadcast
}

QByteArray nodeStatusQuery(quint16 id)
{
    return header(id, 0x0000) + nodeStatusQuestion();
}

quint32 parseNameAnswer(QByteArrayView packet, quint16 id, const QString &name)
{
    quint16 length = 0;
    const qsizetype at = answerData(packet, id, TypeNb, encodedName(nameQuestion(name)), length);
    if (at < 0 || length < 6)
        return 0;
    quint32 address = 0;
    std::memcpy(&address, packet.data() + at + 2, 4);
    return address;
}

QString parseNodeStatus(QByteArrayView packet, quint16 id)
{
    quint16 length = 0;
    const qsizetype at = answerData(packet, id, TypeNbStat, encodedName(nodeStatusQuestion()), length);
    if (at < 0 || length < 1)
        return {};
    const int count = quint8(packet[at]);
    for (int i = 0; i < count; ++i) {
        const qsizetype entry = at + 1 + qsizetype(i) * 18;
        if (entry + 18 > at + length)
            break;
        const quint8 suffix = quint8(packet[entry + 15]);
        const bool group = quint8(packet[entry + 16]) & 0x80;
        if (group || (suffix != 0x00 && suffix != 0x20))
            continue;
        const QString name = Cp932::decode(packet.sliced(entry, 15)).trimmed();
        if (isName(name))
            return name;
    }
    return {};
}

quint32 addressOf(const QString &name, int timeoutMs)
{
    if (!isName(name))
        return 0;
    const quint16 id = quint16(QRandomGenerator::global()->generate());
    quint32 found = 0;
    exchange(broadcastTargets(), true, nameQuery(id, name), timeoutMs, [&](QByteArrayView answer, quint32) {
        found = parseNameAnswer(answer, id, name);
        return found != 0;
    });
    return found;
}

QString nameOf(quint32 address, int timeoutMs)
{
    const quint8 first = quint8(ntohl(address) >> 24);
    if (address == 0 || first == 127 || first >= 224)
        return {};
    const quint16 id = quint16(QRandomGenerator::global()->generate());
    QString found;
    // Only the host asked may say its name.
    exchange({Target{0, address}}, false, nodeStatusQuery(id), timeoutMs, [&](QByteArrayView answer, quint32 from) {
        found = from == address ? parseNodeStatus(answer, id) : QString();
        return !found.isEmpty();
    });
    return found;
}

} // namespace Netbios
