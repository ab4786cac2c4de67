#include "process/ProcessFlags.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

QString ProgramDir;
std::atomic<bool> ServiceRunning{false};
bool WatchBusy = false;
std::atomic<bool> WorkerRunning{false};
bool ShutdownAllowed = true;

static QString WithTrailingSlash(QString dir)
{
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

QString ProgramDirFrom(const QString &corvaneDir, const QString &executablePath)
{
    if (!corvaneDir.isEmpty())
        return WithTrailingSlash(QDir::cleanPath(QDir(corvaneDir).absolutePath()));
    if (executablePath.isEmpty())
        return {};
    return WithTrailingSlash(QFileInfo(executablePath).absolutePath());
}

QString ExecutablePath()
{
    // /proc/self/exe names the file actually running, whatever argv[0] says
    // (a symbolic link, a relative start, a start through PATH).
    return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
}

QString ResolveProgramDir()
{
    const QString corvaneDir = qEnvironmentVariable("CORVANE_DIR");
    const QString dir = ProgramDirFrom(corvaneDir, ExecutablePath());
    if (!corvaneDir.isEmpty() || dir.isEmpty())
        return dir;
    // An installed program lives in a folder its users cannot write; their
    // settings and lists would be lost at every save. A folder set up with a
    // settings file is kept, as an administrator prepared it.
    if (QFileInfo::exists(dir + QStringLiteral("Krovan.ini"))
        || ::access(QFile::encodeName(dir).constData(), W_OK) == 0)
        return dir;
    const QString config = WithTrailingSlash(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                                             + QStringLiteral("/corvane"));
    QDir().mkpath(config);
    return config;
}
