#pragma once
// A scratch folder for one test, removed with everything in it afterwards.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

class TempDir {
public:
    QString path(const QString &name = {}) const { return name.isEmpty() ? dir_.path() + '/' : dir_.path() + '/' + name; }

    QByteArray read(const QString &name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    bool write(const QString &name, const QByteArray &bytes) const
    {
        QFile f(path(name));
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    }

    bool exists(const QString &name) const { return QFile::exists(path(name)); }

private:
    QTemporaryDir dir_;
};
