// The comma-text split the entry actions use to tell a sound from a command,
// and the command line split that follows it.

#include "FuzzInput.h"

#include "events/EventActions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzz::Text(data, size);
    const QString item = FirstCommaTextItem(text);
    // An item never carries more characters than the text it came from.
    FUZZ_CHECK(item.size() <= text.size());
    IsWaveFileName(item);
    const QStringList words = SplitCommandLine(text);
    for (const QString &w : words)
        FUZZ_CHECK(w.size() <= text.size());
    return 0;
}
