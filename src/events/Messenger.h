#pragma once

// Short network messages: reports of events to the manager computers, the
// operator's messages to terminals and the greeting to a terminal that newly
// uses this machine. The NT family (and Linux) sends through the SMB
// messenger, the consumer family writes a datagram to the recipient's
// messenger mailslot; any other family sends nothing.
//
// A recipient and a text may each take at most 100 bytes of code page 932;
// a longer one is not sent at all. Sends are synchronous and keep no state:
// no queue, no retry. Manager reports to e-mail addresses and webhooks go
// to the report delivery instead, which queues and retries.

#include "config/Settings.h"
#include "engine/EventKinds.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>

class MailslotTransport;
class MessageTransport;
class ReportDelivery;
struct MailSettings;
struct Report;

inline constexpr qsizetype MessageByteLimit = 100;

class Messenger {
public:
    // computerName gives this machine's name as others see it (at most 15
    // characters, empty when unknown); by default the NetBIOS form of the
    // host name.
    Messenger(MessageTransport &network, MailslotTransport &mailslot, std::function<QString()> computerName = {});

    bool SendNetMessage(const QString &recipient, const QString &text);
    bool SendMailslotMessage(const QString &recipient, const QString &text);
    // The family's send: 2 network message, 1 mailslot, else nothing (false).
    bool SendMessenger(const QString &recipient, const QString &text);

    // Builds the report of an event and sends it to every manager of
    // [Config] Manager; list holds "user TAB name" lines, or is null. Silent.
    void ReportToManager(ReportKind kind, const QStringList *list);
    // The same; an empty list reports as none does.
    void ReportToManager(ReportKind kind, const QStringList &list) { ReportToManager(kind, &list); }

    // The platform family of the moment; PlatformFamily when not set.
    std::function<int()> Family;

    // Where the reports to mailto: and webhook recipients go (queued, sent
    // in the background); without it such recipients get nothing.
    ReportDelivery *Delivery = nullptr;

private:
    MessageTransport &network_;
    MailslotTransport &mailslot_;
    std::function<QString()> computerName_;
};

// The text that ends a report of the kind (empty for an unknown kind).
QString ManagerClosingText(ReportKind kind);

// The whole report text: the names of the list (each line's first TAB
// field) joined by full-width colons, seven on the first line and six on
// each further one, cut with "その他" n "名" where the room runs out, then
// the closing text. When that rule gives more than 100 bytes (it does not
// count separators and line breaks), fewer names are listed so that the
// report can still be delivered.
QString ManagerReportText(ReportKind kind, const QStringList *list);

// The manager computers of a [Config] Manager value: the comma-separated
// fields up to the first empty one, blanks kept.
QStringList ManagerRecipients(const QString &manager);

// Whether a manager field names an e-mail (mailto:) or a webhook (http://,
// https://, or either after text+) rather than a computer.
bool IsDeliveredRecipient(const QString &field);

// The report of an event for an e-mail or a webhook: the text as the
// message has it, without the message's 100-byte cut (forMail: one line a
// terminal, "user (resource)", then the closing text), the entries, this
// computer's name, the time, and for an e-mail the subject (the closing
// text and the computer's name).
Report DeliveredReport(ReportKind kind, const QStringList *list, const QString &computer, bool forMail);

// The mail server of a [Mail] section (port 587 and STARTTLS for what it
// leaves out or gets wrong).
MailSettings MailSettingsOf(const ProgramSettings::MailSection &mail);

// \\RECIPIENT\mailslot\messngr, in code page 932.
QByteArray MailslotName(QByteArrayView recipient);
// sender NUL recipient NUL text NUL, with nothing before or between.
QByteArray MailslotDatagram(QByteArrayView sender, QByteArrayView recipient, QByteArrayView text);
