// StringToMAC (ParseMAC) over any text: an address it accepts formats to a
// text that parses back to the same six bytes.

#include "FuzzInput.h"

#include "probe/MAC.h"
#include "probe/Probe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzz::Text(data, size);
    const std::optional<MAC> mac = Probe::StringToMAC(text);
    FUZZ_CHECK(mac == ParseMAC(text));
    if (!mac)
        return 0;
    const QString formatted = FormatMAC(*mac);
    FUZZ_CHECK(formatted.size() == 17);
    FUZZ_CHECK(ParseMAC(formatted) == mac);
    FUZZ_CHECK(MagicPacket(*mac).size() == 102);
    return 0;
}
