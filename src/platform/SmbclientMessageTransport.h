#pragma once

// The SMB messenger through Samba's client: `smbclient -M RECIPIENT`, the text
// on its standard input. The message's "from" name is the account name the
// client presents, so the sender goes in as that name (and as the NetBIOS
// name of a session on port 139). Texts cross the wire in code page 932;
// the caller passes only characters that page has, so the client's converter
// never meets one it cannot encode.

#include "platform/MessageTransport.h"

#include <QStringList>

class SmbclientMessageTransport : public MessageTransport {
public:
    // The transport as the environment sets it up: CORVANE_SMB_ADDRESS and
    // CORVANE_SMB_PORT send every message to one server (a test's private
    // Samba), CORVANE_SMB_CONF names the client configuration. Unset, the
    // resolver finds each recipient.
    static SmbclientMessageTransport FromEnvironment();

    bool Available() override;
    // The recipient is looked up by the system resolver (hosts file, DNS)
    // as every other name of the program is, and the client is given its
    // address; a name the resolver does not know is left to the client's
    // own NetBIOS lookup.
    bool Send(const QString &recipient, const QString &sender, const QString &text) override;

    // The arguments for one message (without the program); address is where
    // the recipient was found, unless Address says otherwise.
    QStringList Arguments(const QString &recipient, const QString &sender, const QString &address = {}) const;

    QString Program = QStringLiteral("smbclient");
    // Where the recipient is, when the resolver is not to be asked (tests).
    QString Address;
    int Port = 0;            // 0: the client's default (139)
    QString ConfigFile;      // empty: Samba's own configuration
    int TimeoutMs = 20000;
};
