#pragma once

// The ways a network message leaves this machine: the SMB messenger (a
// recipient computer's messenger service, or Samba's message command) and the
// consumer family's messenger mailslot. Callers check the limits and build
// the texts; a transport only delivers. One real implementation each; tests
// use fakes.

#include <QByteArray>
#include <QString>

class MessageTransport {
public:
    virtual ~MessageTransport() = default;
    // False when this machine has no way to send at all.
    virtual bool Available() = 0;
    // True when the recipient's server accepted the message.
    virtual bool Send(const QString &recipient, const QString &sender, const QString &text) = 0;
};

class MailslotTransport {
public:
    virtual ~MailslotTransport() = default;
    // Writes one datagram to a mailslot name such as \\PC01\mailslot\messngr
    // (code page 932 bytes); false when the mailslot cannot be opened or the
    // write fails.
    virtual bool Write(const QByteArray &mailslotName, const QByteArray &datagram) = 0;
};
