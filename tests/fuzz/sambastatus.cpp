// The Samba status report parser over any text, and the client address
// form of whatever session host names it finds.

#include "FuzzInput.h"

#include "platform/SambaStatus.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SambaStatus status;
    const bool parsed
        = ParseSambaStatus(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)), status);
    if (!parsed)
        FUZZ_CHECK(status.Sessions.empty() && status.ShareConnections.empty() && status.Files.empty());
    for (const SambaStatus::Session &s : status.Sessions)
        SambaClientAddress(s.Address);
    SambaClientAddress(fuzz::Text(data, size));
    return 0;
}
