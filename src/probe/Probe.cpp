#include "probe/Probe.h"

#include "platform/Datagram.h"
#include "platform/HostLookup.h"
#include "platform/Journal.h"
#include "platform/NeighbourTable.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QtEndian>
#include <QMetaObject>

#include <arpa/inet.h>
#include <atomic>
#include <mutex>
#include <new>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

constexpr qint16 kMaxSendBytes = 10240;

// How long a hardware-address lookup waits for address resolution; a host
// on the link answers within milliseconds, and the watch pass pays this for
// every entry that does not.
constexpr auto kResolveWait = std::chrono::milliseconds(1000);

const char16_t *const kStatusNames[] = {
    u"IP_BUF_TOO_SMALL", u"IP_DEST_NET_UNREACHABLE", u"IP_DEST_HOST_UNREACHABLE", u"IP_DEST_PROT_UNREACHABLE",
    u"IP_DEST_PORT_UNREACHABLE", u"IP_NO_RESOURCES", u"IP_BAD_OPTION", u"IP_HW_ERROR", u"IP_PACKET_TOO_BIG",
    u"IP_REQ_TIMED_OUT", u"IP_BAD_REQ", u"IP_BAD_ROUTE", u"IP_TTL_EXPIRED_TRANSIT", u"IP_TTL_EXPIRED_REASSEM",
    u"IP_PARAM_PROBLEM", u"IP_SOURCE_QUENCH", u"IP_OPTION_TOO_BIG", u"IP_BAD_DESTINATION", u"IP_ADDR_DELETED",
    u"IP_SPEC_MTU_CHANGE", u"IP_MTU_CHANGE", u"IP_UNLOAD", u"IP_ADDR_ADDED", u"IP_MEDIA_CONNECT",
    u"IP_MEDIA_DISCONNECT", u"IP_BIND_ADAPTER", u"IP_UNBIND_ADAPTER", u"IP_DEVICE_DOES_NOT_EXIST",
    u"IP_DUPLICATE_ADDRESS", u"IP_INTERFACE_METRIC_CHANGE", u"IP_RECONFIG_SECFLTR", u"IP_NEGOTIATING_IPSEC",
    u"IP_INTERFACE_WOL_CAPABILITY_CHANGE", u"IP_DUPLICATE_IPADD",
};

// A status text: kept in Japanese, shown in the console's language (the
// list's Result column and the properties translate it).
QString Shown(const char *text) { return QString::fromUtf8(text); }

const QString kNoName = Shown(QT_TRANSLATE_NOOP("Probe", "コンピュータ名を指定して下さい。"));
const QString kNoAddress = Shown(QT_TRANSLATE_NOOP("Probe", "IPアドレスを取得できませんでした。"));

} // namespace

// The outstanding asynchronous lookup. The resolving thread holds it too;
// owner is cleared (under the lock) when the lookup is cancelled or the
// probe goes away, so a late answer is dropped instead of delivered.
struct Probe::Lookup {
    std::mutex mutex;
    Probe *owner = nullptr;
};

QString Probe::GetErrMsg(quint32 code)
{
    constexpr quint32 first = IpStatus::BufTooSmall;
    if (code >= first && code < first + std::size(kStatusNames))
        return QString::fromUtf16(kStatusNames[code - first]);
    if (code == 11050)
        return u"IP_GENERAL_FAILURE"_s;
    if (code == 11255)
        return u"IP_PENDING"_s;
    return u"ErrorCode = "_s + QString::number(code);
}

QString Probe::ReplyText(const EchoReply &reply)
{
    if (!reply.replied || reply.status != IpStatus::Success)
        return GetErrMsg(reply.status);
    return QString::asprintf("%dms / TTL:%d / %d Bytes", int(reply.roundTripMs), int(reply.ttl), int(reply.bytes));
}

Probe::Probe(QObject *parent)
    : QObject(parent)
{
}

Probe::~Probe()
{
    if (activeFlag_)
        deactivate();
    dropLookup();
}

void Probe::step(int n, const auto &makeText) const
{
    if (OnPingStep)
        OnPingStep(n, makeText());
}

// The steps of activation and their messages. The echo service is the ICMP
// socket, so "loading the echo library" is opening it (neither a ping socket
// nor a raw socket permitted), "starting the socket layer" is setting its
// options (error queue, reply time-to-live), and "getting the echo entry
// points" is installing the raw socket's type filter. The lookup buffer is
// a flag: the resolver brings its own memory. The address-resolution
// service is rtnetlink; like the library it stands for it is optional, so
// without it activation still succeeds and GetMACAddr answers empty text.
bool Probe::Active(bool on)
{
    if (!on) {
        deactivate();
        return true;
    }
    statusText_.clear();
    if (activeFlag_)
        deactivate();
    switch (echo_.open(echoKind_)) {
    case IcmpEcho::OpenResult::Opened:
        break;
    case IcmpEcho::OpenResult::NoSocket: {
        statusText_ = Shown(QT_TRANSLATE_NOOP("Probe", "ICMP.DLLのロードに失敗しました。"));
        // Every IP check fails the same way until the right is granted; the
        // journal says so once, with the two ways to grant it.
        static std::atomic<bool> told{false};
        if (!told.exchange(true))
            JournalLine(JournalPriority::Error, "echo refused",
                        u"no right to send ICMP echo requests; allow them with "
                        "sysctl -w net.ipv4.ping_group_range=\"0 2147483647\" or "
                        "setcap cap_net_raw+ep "_s + QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget());
        return false;
    }
    case IcmpEcho::OpenResult::Options:
        statusText_ = Shown(QT_TRANSLATE_NOOP("Probe", "Soketの初期化に失敗しました。"));
        return false;
    case IcmpEcho::OpenResult::Filter:
        statusText_ = Shown(QT_TRANSLATE_NOOP("Probe", "ICMP.DLLの関数取得に失敗しました。"));
        return false;
    }
    hostEntryReady_ = true;
    neighbours_ = NeighbourTable::available();
    activeFlag_ = true;
    return true;
}

void Probe::deactivate()
{
    // The lookup's results have nowhere to go once the services are down.
    dropLookup();
    hostEntryReady_ = false;
    neighbours_ = false;
    echo_.close();
    activeFlag_ = false;
}

void Probe::SetIPAddr(const QString &text)
{
    statusText_.clear();
    QString compact = text;
    compact.remove(u' ');
    address_ = ::inet_addr(compact.toLatin1().constData());
}

QString Probe::GetIPAddr() const
{
    in_addr a{address_};
    char text[INET_ADDRSTRLEN];
    return QString::fromLatin1(::inet_ntop(AF_INET, &a, text, sizeof text));
}

void Probe::SetSendBytes(qint16 n)
{
    sendBytes_ = qMin(n, kMaxSendBytes);
}

bool Probe::Ping()
{
    if (PingMode == NameCheck && !GetIPByName(HostName))
        return false;
    statusText_.clear();
    if (!activeFlag_ && !Active(true))
        return false;

    const qint16 size = qMax<qint16>(sendBytes_, 0);
    QByteArray data;
    try {
        data = QByteArray(size, '\0');
    } catch (const std::bad_alloc &) {
        statusText_ = Shown(QT_TRANSLATE_NOOP("Probe", "Ping送信用バッファを確保できません。"));
        return false;
    }
    if (size > 0)
        step(0, [&] { return u"送信バッファ確保"_s + QString::number(size); });
    else
        step(0, [] { return u"送信バッファ不要"_s; });
    // The exchange keeps one receive buffer for the life of its socket.
    step(1, [] { return u"受信バッファ確保"_s; });
    step(2, [] { return u"ICMPファイル作成"_s; });
    const int ttl = TTL & 0xFF;
    step(3, [&] { return u"TTL設定 "_s + QString::number(ttl); });
    if (EX)
        step(4, [] { return u"ICMP-Flag設定"_s; });
    step(5, [&] { return u"SendEcho-"_s + QString::number(qFromLittleEndian<quint32>(&address_)); });

    EchoRequest request;
    request.address = address_;
    request.data = data;
    request.ttl = ttl;
    request.ex = EX;
    request.timeoutMs = TimeOut;
    const EchoReply reply = echo_.exchange(request);

    statusText_ = ReplyText(reply);
    if (!reply.replied) {
        step(6, [&] { return u"SendEcho失敗-"_s + statusText_; });
        return false;
    }
    step(6, [&] { return u"SendEcho成功-Status "_s + QString::number(reply.status); });
    if (reply.status != IpStatus::Success)
        return false;
    replyTime_ = reply.roundTripMs;
    replyTTL_ = reply.ttl;
    replyBytes_ = reply.bytes;
    return true;
}

bool Probe::GetNameByIP(const QString &address)
{
    statusText_.clear();
    if (!activeFlag_ && !Active(true))
        return false;
    const HostLookup::Name found = HostLookup::nameOf(::inet_addr(address.toLatin1().constData()));
    if (found.error != 0) {
        lastError_ = found.error;
        statusText_ = u"ホスト名の取得に失敗しました。"_s + QString::number(lastError_);
        return false;
    }
    HostName = found.name;
    return true;
}

bool Probe::GetIPByName(const QString &name)
{
    statusText_.clear();
    if (!activeFlag_ && !Active(true))
        return false;
    if (name.isEmpty()) {
        statusText_ = kNoName;
        return false;
    }
    const HostLookup::Address found = HostLookup::addressOf(name);
    if (found.error != 0) {
        lastError_ = found.error;
        statusText_ = kNoAddress;
        return false;
    }
    address_ = found.address;
    return true;
}

bool Probe::AsyncGetIPByName(const QString &name)
{
    statusText_.clear();
    if (name.isEmpty()) {
        statusText_ = kNoName;
        return false;
    }
    if (!activeFlag_ && !Active(true))
        return false;
    if (lookup_) {
        statusText_ = Shown(QT_TRANSLATE_NOOP("Probe", "現在IPアドレスを問い合わせ中です。"));
        return false;
    }
    if (!hostEntryReady_) {
        statusText_ = Shown(QT_TRANSLATE_NOOP("Probe", "ホスト取得の為のメモリが確保されていません。"));
        return false;
    }
    auto lookup = std::make_shared<Lookup>();
    lookup->owner = this;
    try {
        std::thread([lookup, name] {
            const HostLookup::Address found = HostLookup::addressOf(name);
            std::lock_guard lock(lookup->mutex);
            Probe *owner = lookup->owner;
            if (!owner)
                return;
            QMetaObject::invokeMethod(
                owner,
                [owner, lookup, found] {
                    // A lookup cancelled after this was posted is not the
                    // current one any more.
                    if (owner->lookup_ != lookup)
                        return;
                    owner->ReceiveHostName(quint16(found.error), found.address);
                },
                Qt::QueuedConnection);
        }).detach();
    } catch (const std::system_error &e) {
        lastError_ = e.code().value();
        return false;
    }
    lookup_ = std::move(lookup);
    return true;
}

void Probe::ReceiveHostName(quint16 err, quint32 host)
{
    dropLookup();
    if (err != 0) {
        lastError_ = err;
        statusText_ = kNoAddress;
    } else {
        address_ = host;
    }
    if (OnReceiveIP)
        OnReceiveIP(this, address_, GetIPAddr(), err);
}

bool Probe::AsyncGetCancel()
{
    statusText_.clear();
    if (!lookup_) {
        statusText_ = Shown(QT_TRANSLATE_NOOP("Probe", "現在、非同期ホストIP取得をしていません。"));
        return false;
    }
    // The resolver cannot be stopped half way; its answer is dropped
    // instead, so cancelling always succeeds.
    dropLookup();
    return true;
}

void Probe::dropLookup()
{
    if (!lookup_)
        return;
    {
        std::lock_guard lock(lookup_->mutex);
        lookup_->owner = nullptr;
    }
    lookup_.reset();
}

QString Probe::GetMACAddr()
{
    if (!neighbours_)
        return {};
    const auto mac = NeighbourTable::hardwareAddress(address_, kResolveWait);
    return mac ? FormatMAC(*mac) : QString();
}

std::optional<MAC> Probe::StringToMAC(const QString &text)
{
    return ParseMAC(text);
}

void Probe::WakeOnLan(const MAC &mac, quint32 destination, quint16 port)
{
    Datagram::sendBroadcast(destination, port, MagicPacket(mac));
}
