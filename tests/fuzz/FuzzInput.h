#pragma once

// Shared pieces of the fuzz targets: the input cut into fields, texts read
// the way the program reads them from outside (code page 932), and one
// scratch folder per fuzzing process for the parsers that read files.

#include "platform/Cp932.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

// The input as fields separated by NUL bytes, so one input drives several
// arguments; a missing field is empty.
class Fields {
public:
    Fields(const uint8_t *data, size_t size)
        : parts_(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)).split('\0'))
    {
    }
    QByteArray bytes(qsizetype i) const { return i < parts_.size() ? QByteArray(parts_[i]) : QByteArray(); }
    QString text(qsizetype i) const { return Cp932::decode(bytes(i)); }
    qsizetype count() const { return parts_.size(); }

private:
    QList<QByteArray> parts_;
};

// The whole input as code page 932 text.
inline QString Text(const uint8_t *data, size_t size)
{
    return Cp932::decode(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
}

// A folder that lives as long as the process, made the working folder and
// named relatively: its random name never reaches the code under test, so
// the same input takes the same path on any machine.
inline const QString &ScratchDir()
{
    static QTemporaryDir dir;
    if (!dir.isValid() || !QDir::setCurrent(dir.path()))
        std::abort();
    static const QString path = QStringLiteral("./");
    return path;
}

inline bool WriteFile(const QString &path, const uint8_t *data, size_t size)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && f.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size);
}

inline QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace fuzz

// A property the parser promised does not hold: crash so that libFuzzer
// keeps the input.
#define FUZZ_CHECK(condition)                                                                                  \
    do {                                                                                                       \
        if (!(condition)) {                                                                                    \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);           \
            std::abort();                                                                                      \
        }                                                                                                      \
    } while (0)
