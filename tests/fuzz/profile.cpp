// The profile store over any file: reads, writes and section removal never
// harm, lines the program does not touch survive, and a plain value written
// reads back as written.
//
// Fields: file contents, section, key, value.

#include "FuzzInput.h"

#include "config/ProfileStore.h"

#include <QRegularExpression>

namespace {

bool plainName(const QString &s)
{
    static const QRegularExpression re(QRegularExpression::anchoredPattern(u"[A-Za-z0-9_]{1,16}"));
    return re.match(s).hasMatch();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const fuzz::Fields f(data, size);
    const QString path = fuzz::ScratchDir() + QStringLiteral("profile.ini");
    const QByteArray contents = f.bytes(0);
    if (!fuzz::WriteFile(path, reinterpret_cast<const uint8_t *>(contents.constData()), size_t(contents.size())))
        return 0;
    const QString section = f.text(1), key = f.text(2), value = f.text(3);

    ProfileStore store(path);
    const QString read = store.readString(section, key, QStringLiteral("default"));
    FUZZ_CHECK(Cp932::encode(read).size() <= ProfileStore::MaxValueBytes || read == QStringLiteral("default"));
    store.readInteger(section, key, 7);
    store.readBool(section, key, true);
    ParseProfileInteger(f.bytes(3));
    ProfileNamesEqual(f.bytes(1), f.bytes(2));

    if (!plainName(section) || !plainName(key))
        return 0;
    static const QRegularExpression plainValue(QRegularExpression::anchoredPattern(u"[A-Za-z0-9_.,:/]{0,64}"));
    if (plainValue.match(value).hasMatch()) {
        FUZZ_CHECK(store.writeString(section, key, value));
        FUZZ_CHECK(store.readString(section, key, QStringLiteral("default")) == value);
        store.beginBatch();
        FUZZ_CHECK(store.writeInteger(section, key, 42));
        FUZZ_CHECK(store.readInteger(section, key, 0) == 42);
        FUZZ_CHECK(store.endBatch());
        FUZZ_CHECK(store.readInteger(section, key, 0) == 42);
    }
    FUZZ_CHECK(store.eraseSection(section));
    FUZZ_CHECK(store.readString(section, key, QStringLiteral("gone")) == QStringLiteral("gone"));
    return 0;
}
