// Whatever answers a NetBIOS name or node status query: the answer's own
// first two bytes are taken as the query it answers, so matching answers
// reach the record parsers (name answers about PC01).

#include "FuzzInput.h"

#include "platform/NetbiosName.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const quint16 id = size >= 2 ? quint16((data[0] << 8) | data[1]) : 0;
    Netbios::parseNameAnswer(bytes, id, QStringLiteral("PC01"));
    const QString name = Netbios::parseNodeStatus(bytes, id);
    if (!name.isEmpty())
        FUZZ_CHECK(Netbios::isName(name));
    return 0;
}
