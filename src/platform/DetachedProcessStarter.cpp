#include "platform/DetachedProcessStarter.h"

#include <QProcess>

bool DetachedProcessStarter::Start(const QString &program, const QStringList &arguments)
{
    if (program.isEmpty())
        return false;
    QProcess p;
    p.setProgram(program);
    p.setArguments(arguments);
    // The started program must not write into our terminal or log.
    p.setStandardInputFile(QProcess::nullDevice());
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    return p.startDetached();
}
