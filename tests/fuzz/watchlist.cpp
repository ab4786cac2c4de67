// The watch-list file: any bytes load without harm, and whatever loads saves
// and loads back to the same rows.

#include "FuzzInput.h"

#include "engine/WatchList.h"
#include "engine/WatchListModel.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzz::ScratchDir() + QStringLiteral("Krovan.NT");
    if (!fuzz::WriteFile(path, data, size))
        return 0;
    WatchListModel list;
    if (!LoadList(list, path))
        return 0;
    for (int row = 0; row < list.rowCount(); ++row) {
        WatchEntry entry;
        FUZZ_CHECK(ReadEntry(list, row, entry));
    }

    // A saved list is a fixed point: loading it gives the rows that saved it.
    // (Unless its code page 932 bytes happen to be valid UTF-8 with a sequence
    // of three bytes or more: such a file reads as UTF-8, as a hand-written
    // one must.)
    const QString first = fuzz::ScratchDir() + QStringLiteral("first.NT");
    const QString second = fuzz::ScratchDir() + QStringLiteral("second.NT");
    // A character the page cannot hold (read from a UTF-8 file) fails the
    // save, naming its text, and writes nothing.
    QFile::remove(first);
    QString unencodable;
    if (!SaveList(list, first, &unencodable)) {
        FUZZ_CHECK(!unencodable.isEmpty() && !QFile::exists(first));
        return 0;
    }
    ListEncoding saved = ListEncoding::Cp932;
    DecodeListText(fuzz::ReadFile(first), saved);
    if (saved == ListEncoding::Utf8)
        return 0;
    WatchListModel reloaded;
    FUZZ_CHECK(LoadList(reloaded, first));
    FUZZ_CHECK(reloaded.rowCount() == list.rowCount());
    FUZZ_CHECK(SaveList(reloaded, second));
    FUZZ_CHECK(fuzz::ReadFile(first) == fuzz::ReadFile(second));
    return 0;
}
