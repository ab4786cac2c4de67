#pragma once

// The probe: does the host at an IPv4 address answer an echo request in
// time; plus name and address lookups, the hardware address of a neighbour
// and Wake-on-LAN.
//
// Every operation reports by its result and by StatusText(), which the
// operations clear on entry and set on failure (Ping sets it to the result
// line on success); the watch worker shows that text in an entry's Result
// column. No operation throws.
//
// There is no lock: the worker's IP checks and the console's commands share
// the address, StatusText and the reply fields, and the callers keep their
// calls from overlapping. The one exception is the asynchronous lookup,
// which resolves on a thread of its own and completes on the thread that
// owns this object.

#include "platform/IcmpEcho.h"
#include "probe/MAC.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class Probe : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString IPAddr READ GetIPAddr WRITE SetIPAddr)
    Q_PROPERTY(QString HostName MEMBER HostName)
    Q_PROPERTY(enIPMode PingMode MEMBER PingMode)
    Q_PROPERTY(int TimeOut MEMBER TimeOut)
    Q_PROPERTY(int TTL MEMBER TTL)
    Q_PROPERTY(qint16 SendBytes READ SendBytes WRITE SetSendBytes)
    Q_PROPERTY(bool EX MEMBER EX)

public:
    enum enIPMode : quint8 { IPCheck = 0, NameCheck = 1 };
    Q_ENUM(enIPMode)

    // The echo statuses and errors by name: "IP_REQ_TIMED_OUT" for 11010,
    // "ErrorCode = <n>" for a number outside the table (0 included).
    static QString GetErrMsg(quint32 code);
    // What an echo's outcome reads as in StatusText: the result line of an
    // answered echo, the status's name otherwise.
    static QString ReplyText(const EchoReply &reply);

    explicit Probe(QObject *parent = nullptr);
    ~Probe() override;

    // Stored properties; the engine copies its settings into them.
    bool EX = true;
    qint32 TimeOut = 2000;
    qint32 TTL = 128;         // only the low 8 bits are sent
    QString HostName;         // NameCheck input, GetNameByIP output
    enIPMode PingMode = IPCheck;

    // Events. Ping's step texts are only built when OnPingStep is set.
    std::function<void(int nStep, const QString &sMsg)> OnPingStep;
    std::function<void(QObject *Sender, quint32 dwHost, const QString &sHost, quint16 err)> OnReceiveIP;

    bool ActiveFlag() const { return activeFlag_; }
    bool LookupPending() const { return lookup_ != nullptr; }
    QString StatusText() const { return statusText_; }
    qint32 LastError() const { return lastError_; }
    qint16 SendBytes() const { return sendBytes_; }
    quint32 ReplyTime() const { return replyTime_; }
    quint8 ReplyTTL() const { return replyTTL_; }
    quint16 ReplyBytes() const { return replyBytes_; }

    // Opens (true) or closes (false) the echo socket and the services that
    // go with it. Opening again while open starts over.
    bool Active(bool on);

    // The address as dotted text; blanks are dropped, and text that is not
    // an address stores 255.255.255.255.
    void SetIPAddr(const QString &text);
    QString GetIPAddr() const;
    quint32 Address() const { return address_; } // network byte order

    // Capped at 10240; 0 and below send no data.
    void SetSendBytes(qint16 n);

    // One echo exchange with the address (or, in NameCheck mode, with the
    // address HostName resolves to). An address of no single host (0.0.0.0,
    // multicast, class E, the no-address value) fails unsent with
    // "IP_BAD_DESTINATION".
    bool Ping();

    bool GetNameByIP(const QString &address);
    bool GetIPByName(const QString &name);
    bool AsyncGetIPByName(const QString &name);
    bool AsyncGetCancel();
    // Completion of the asynchronous lookup: err 0 with the address found,
    // or the lookup error number.
    void ReceiveHostName(quint16 err, quint32 host);

    // The hardware address of the probe's address, empty when it is not a
    // neighbour on a local link or does not answer address resolution.
    QString GetMACAddr();

    // Six hexadecimal parts at ":"; nothing when the text is not that.
    static std::optional<MAC> StringToMAC(const QString &text);

    // Sends the magic packet of mac in one UDP datagram with broadcast
    // permission. Failures are silent.
    static void WakeOnLan(const MAC &mac, quint32 destination = 0xFFFFFFFF, quint16 port = 9001);

    // Which socket kind activation opens; Auto takes a ping socket when the
    // system's group range allows one. For tests and diagnostics.
    void SetEchoKind(IcmpEcho::Kind kind) { echoKind_ = kind; }
    IcmpEcho::Kind WantedEchoKind() const { return echoKind_; }
    IcmpEcho::Kind EchoKind() const { return echo_.kind(); }

private:
    struct Lookup;

    void step(int n, const auto &makeText) const;
    void deactivate();
    void dropLookup();

    bool activeFlag_ = false;
    bool hostEntryReady_ = false;
    bool neighbours_ = false;
    QString statusText_;
    quint32 address_ = 0;
    qint32 lastError_ = 0;
    qint16 sendBytes_ = 0;
    quint32 replyTime_ = 0;
    quint8 replyTTL_ = 0;
    quint16 replyBytes_ = 0;
    IcmpEcho::Kind echoKind_ = IcmpEcho::Kind::Auto;
    IcmpEcho echo_;
    std::shared_ptr<Lookup> lookup_;
};
