#include "platform/SmbclientMessageTransport.h"

#include "platform/HostLookup.h"
#include "platform/Journal.h"
#include "platform/RunTool.h"

#include <QStandardPaths>

#include <arpa/inet.h>

SmbclientMessageTransport SmbclientMessageTransport::FromEnvironment()
{
    SmbclientMessageTransport t;
    t.Address = qEnvironmentVariable("CORVANE_SMB_ADDRESS");
    t.Port = qEnvironmentVariableIntValue("CORVANE_SMB_PORT");
    t.ConfigFile = qEnvironmentVariable("CORVANE_SMB_CONF");
    return t;
}

bool SmbclientMessageTransport::Available()
{
    return !QStandardPaths::findExecutable(Program).isEmpty();
}

QStringList SmbclientMessageTransport::Arguments(const QString &recipient, const QString &sender,
                                                const QString &address) const
{
    // The "--name=value" forms keep a name that starts with "-" from being
    // read as an option.
    QStringList args{QStringLiteral("--message=") + recipient, QStringLiteral("--no-pass"),
                     QStringLiteral("--user=") + sender, QStringLiteral("--netbiosname=") + sender,
                     QStringLiteral("--option=dos charset=CP932"), QStringLiteral("--option=unix charset=UTF-8")};
    const QString at = Address.isEmpty() ? address : Address;
    if (!at.isEmpty())
        args << QStringLiteral("--ip-address=") + at;
    if (Port > 0)
        args << QStringLiteral("--port=") + QString::number(Port);
    if (!ConfigFile.isEmpty())
        args << QStringLiteral("--configfile=") + ConfigFile;
    return args;
}

bool SmbclientMessageTransport::Send(const QString &recipient, const QString &sender, const QString &text)
{
    const QString program = QStandardPaths::findExecutable(Program);
    if (recipient.isEmpty())
        return false;
    const auto refused = [&](const QString &why) {
        JournalLine(JournalPriority::Warning, "message refused", recipient + QStringLiteral(": ") + why);
        return false;
    };
    if (program.isEmpty())
        return refused(Program + QStringLiteral(" is not installed"));
    QString address;
    if (Address.isEmpty()) {
        const HostLookup::Address found = HostLookup::addressOf(recipient);
        const in_addr a{found.address};
        char text[INET_ADDRSTRLEN];
        if (found.error == 0 && ::inet_ntop(AF_INET, &a, text, sizeof text))
            address = QString::fromLatin1(text);
    }
    const ToolRun run =
        RunTool(program, Arguments(recipient, sender, address), TimeoutMs, ToolChannels::Merged, text.toUtf8());
    if (!run.started)
        return refused(Program + QStringLiteral(" did not start"));
    if (run.timedOut)
        return refused(QStringLiteral("no answer within %1 s").arg(TimeoutMs / 1000));
    if (run.Succeeded())
        return true;
    // The client's last word is the server's answer (or its own trouble).
    QString said;
    for (const QByteArray &line : run.output.split('\n'))
        if (!line.trimmed().isEmpty())
            said = QString::fromUtf8(line).simplified();
    if (said.isEmpty())
        said = QStringLiteral("%1 exited with code %2").arg(Program).arg(run.exitCode);
    return refused(said);
}
