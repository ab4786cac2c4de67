// NormaliseAddress over any text: an accepted address is the 15-character
// form, and that form is accepted again unchanged.

#include "FuzzInput.h"

#include "engine/WatchList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzz::Text(data, size);
    const QString untouched = QStringLiteral("untouched");
    QString out = untouched;
    const bool accepted = NormaliseAddress(text, out);
    if (!accepted || text.isEmpty()) {
        FUZZ_CHECK(out == untouched);
        return 0;
    }
    FUZZ_CHECK(out.size() == 15);
    FUZZ_CHECK(out[3] == u'.' && out[7] == u'.' && out[11] == u'.');
    QString again;
    FUZZ_CHECK(NormaliseAddress(out, again));
    FUZZ_CHECK(again == out);
    return 0;
}
