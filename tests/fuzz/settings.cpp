// LoadSettings over any Krovan.ini, flat or sectioned, then a save and a
// second load of what was saved.
//
// Fields: the file, then an optional first process argument.

#include "FuzzInput.h"

#include "config/Settings.h"

#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const fuzz::Fields f(data, size);
    const QString dir = fuzz::ScratchDir() + QStringLiteral("program/");
    QDir().mkpath(dir);
    QFile::remove(dir + QStringLiteral("Krovan.oldver.ini"));
    const QByteArray ini = f.bytes(0);
    if (!fuzz::WriteFile(dir + QStringLiteral("Krovan.ini"), reinterpret_cast<const uint8_t *>(ini.constData()),
                         size_t(ini.size())))
        return 0;
    QStringList arguments;
    if (f.count() > 1)
        arguments << f.text(1);

    ProgramSettings s;
    LoadSettings(s, dir, arguments, [] { return true; });

    // What a load leaves saves to a file that loads and saves to itself.
    if (!SaveSettings(s))
        return 0;
    const QByteArray saved = fuzz::ReadFile(dir + QStringLiteral("Krovan.ini"));
    ProgramSettings again;
    LoadSettings(again, dir, {}, [] { return true; });
    FUZZ_CHECK(SaveSettings(again));
    FUZZ_CHECK(fuzz::ReadFile(dir + QStringLiteral("Krovan.ini")) == saved);
    return 0;
}
