#include "platform/RunTool.h"

#include <QProcess>

ToolRun RunTool(const QString &program, const QStringList &arguments, int timeoutMs, ToolChannels channels,
                const QByteArray &input)
{
    ToolRun run;
    QProcess process;
    switch (channels) {
    case ToolChannels::Separate:
        process.setProcessChannelMode(QProcess::SeparateChannels);
        break;
    case ToolChannels::Merged:
        process.setProcessChannelMode(QProcess::MergedChannels);
        break;
    case ToolChannels::DiscardErrors:
        process.setStandardErrorFile(QProcess::nullDevice());
        break;
    case ToolChannels::ForwardErrors:
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        break;
    }
    if (input.isEmpty())
        process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs))
        return run;
    run.started = true;
    if (!input.isEmpty()) {
        process.write(input);
        process.closeWriteChannel();
    }
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        run.timedOut = true;
        return run;
    }
    run.crashed = process.exitStatus() != QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.output = process.readAllStandardOutput();
    if (channels == ToolChannels::Separate)
        run.errors = process.readAllStandardError();
    return run;
}
