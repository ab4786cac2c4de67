#pragma once

// Linux has no messenger mailslots: this machine never runs the consumer
// family's send, so the mailslot transport it wires refuses every write.

#include "platform/MessageTransport.h"

class NoMailslotTransport : public MailslotTransport {
public:
    bool Write(const QByteArray &, const QByteArray &) override { return false; }
};
