// Whatever a host sends over WS-Discovery: the datagram parser, the
// metadata parser and the HTTP response framing over the same bytes, and
// the computer text over what the metadata held.

#include "FuzzInput.h"

#include "platform/WsdMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    WsdMessage message;
    if (ParseWsdMessage(bytes, message)) {
        FUZZ_CHECK(!message.matches.isEmpty() && message.matches.size() <= 32);
        for (const WsdMessage::Match &m : message.matches)
            FUZZ_CHECK(!m.endpoint.isEmpty() && m.xaddrs.size() <= 8);
        quint16 port = 0;
        QByteArray path;
        WsdMetadataTarget(message.matches[0].xaddrs, QStringLiteral("10.0.0.2"), port, path);
    }
    WsdComputer computer;
    if (ParseWsdMetadata(bytes, computer))
        FUZZ_CHECK(!computer.name.isEmpty() && !computer.group.isEmpty() && computer.name == computer.name.toUpper());
    QByteArray body;
    bool complete = false;
    for (const bool closed : {false, true}) {
        if (ParseHttpResponse(bytes, closed, body, complete))
            FUZZ_CHECK(body.size() <= WsdMaxMessage);
    }
    return 0;
}
