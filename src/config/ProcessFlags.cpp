#include "config/ProcessFlags.h"

#include <QDir>
#include <QFileInfo>

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
    return ProgramDirFrom(qEnvironmentVariable("CORVANE_DIR"), ExecutablePath());
}
