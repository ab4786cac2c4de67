#include "service/ServiceInstall.h"

#include "platform/InstanceLock.h"
#include "platform/RunTool.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <cstdio>
#include <unistd.h>

ServiceSwitches ParseServiceSwitches(const QStringList &arguments)
{
    ServiceSwitches switches;
    bool install = false, uninstall = false;
    for (QString argument : arguments) {
        while (argument.startsWith(QLatin1Char('/')) || argument.startsWith(QLatin1Char('-')))
            argument.remove(0, 1);
        if (argument.compare(QLatin1String("INSTALL"), Qt::CaseInsensitive) == 0)
            install = true;
        else if (argument.compare(QLatin1String("UNINSTALL"), Qt::CaseInsensitive) == 0)
            uninstall = true;
        else if (argument.compare(QLatin1String("SILENT"), Qt::CaseInsensitive) == 0)
            switches.Silent = true;
    }
    // Given both, installing wins.
    if (install)
        switches.Command = ServiceCommand::Install;
    else if (uninstall)
        switches.Command = ServiceCommand::Uninstall;
    return switches;
}

QString UnitDirectory(bool systemUnit)
{
    const QString redirected = qEnvironmentVariable("CORVANE_UNIT_DIR");
    if (!redirected.isEmpty())
        return redirected;
    if (systemUnit)
        return QStringLiteral("/etc/systemd/system");
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/systemd/user");
}

QString SystemdQuote(const QString &word, bool commandLine)
{
    QString out;
    for (const QChar c : word) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            out += QLatin1Char('\\');
        else if (c == QLatin1Char('%'))
            out += QLatin1Char('%');  // a specifier otherwise
        else if (c == QLatin1Char('$') && commandLine)
            out += QLatin1Char('$');  // a variable otherwise
        out += c;
    }
    return QLatin1Char('"') + out + QLatin1Char('"');
}

QString UnitText(const QString &executable, const QString &programDir, bool systemUnit)
{
    // A user's unit belongs to the desktop session: started with it, so the
    // console has its display and tray, and stopped with it. The system's
    // unit watches headless for a server; systemd creates its state folder.
    const QString unit = systemUnit ? QStringLiteral("After=network-online.target\n"
                                                     "Wants=network-online.target\n")
                                    : QStringLiteral("PartOf=graphical-session.target\n"
                                                     "After=graphical-session.target\n");
    // A login gives a user's manager its runtime folder; the system's unit
    // makes one, private as Qt wants it.
    const QString service = systemUnit ? QStringLiteral("StateDirectory=corvane\n"
                                                        "RuntimeDirectory=corvane\n"
                                                        "RuntimeDirectoryMode=0700\n"
                                                        "Environment=XDG_RUNTIME_DIR=%t/corvane\n")
                                       : QString();
    return QStringLiteral("[Unit]\n"
                          "Description=Corvane Service\n"
                          "%1"
                          "\n"
                          "[Service]\n"
                          "Type=simple\n"
                          "%2"
                          "Environment=%3\n"
                          "ExecStart=%4\n"
                          "Restart=on-failure\n"
                          "RestartSec=5\n"
                          "RestartPreventExitStatus=%6\n"
                          "\n"
                          "[Install]\n"
                          "WantedBy=%5\n")
        .arg(unit, service, SystemdQuote(QStringLiteral("CORVANE_DIR=") + programDir, false),
             SystemdQuote(executable, true),
             systemUnit ? QStringLiteral("multi-user.target") : QStringLiteral("graphical-session.target"))
        .arg(AlreadyRunningExitCode);
}

bool InstallUnit(const QString &unitDir, const QString &executable, const QString &programDir, bool systemUnit,
                 QString &error)
{
    if (!QDir().mkpath(unitDir)) {
        error = QStringLiteral("cannot create %1").arg(unitDir);
        return false;
    }
    QSaveFile file(QDir(unitDir).filePath(QLatin1String(UnitFileName)));
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    file.write(UnitText(executable, programDir, systemUnit).toUtf8());
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

bool UninstallUnit(const QString &unitDir, QString &error)
{
    QFile file(QDir(unitDir).filePath(QLatin1String(UnitFileName)));
    if (!file.exists()) {
        error = QStringLiteral("%1 is not installed").arg(file.fileName());
        return false;
    }
    if (!file.remove()) {
        error = file.errorString();
        return false;
    }
    return true;
}

static QStringList SystemctlArguments(bool systemUnit, const QStringList &arguments)
{
    return (systemUnit ? QStringList() : QStringList{QStringLiteral("--user")}) + arguments;
}

// Lets systemd know; a machine without systemd (a container) simply has no
// systemctl, which is no failure of the command. False when systemctl is
// there and refused (its own words are on standard error).
static bool Systemctl(bool systemUnit, const QStringList &arguments)
{
    const QString systemctl = QStandardPaths::findExecutable(QStringLiteral("systemctl"));
    if (systemctl.isEmpty())
        return true;
    return RunTool(systemctl, SystemctlArguments(systemUnit, arguments), 10000, ToolChannels::ForwardErrors)
        .Succeeded();
}

int RunServiceCommand(const ServiceSwitches &switches, const QString &executable, const QString &programDir)
{
    const bool systemUnit = ::geteuid() == 0;
    const bool systemdsDir = qEnvironmentVariableIsEmpty("CORVANE_UNIT_DIR");
    const QString dir = UnitDirectory(systemUnit);
    const QString unitPath = QDir(dir).filePath(QLatin1String(UnitFileName));
    QString error;

    if (switches.Command == ServiceCommand::Install) {
        // A server's files live in systemd's state folder, unless the
        // administrator named a program directory.
        const QString unitProgramDir = systemUnit && qEnvironmentVariableIsEmpty("CORVANE_DIR")
                                           ? QString::fromLatin1(SystemProgramDir)
                                           : programDir;
        if (!InstallUnit(dir, executable, unitProgramDir, systemUnit, error)) {
            std::fprintf(stderr, "Corvane Service: %s\n", qPrintable(error));
            return 1;
        }
        // Without a session bus (sudo -u, su) a user's systemd is out of
        // reach: the unit would never start with the desktop.
        const QStringList enable{QStringLiteral("enable"), QLatin1String(UnitFileName)};
        if (systemdsDir) {
            Systemctl(systemUnit, {QStringLiteral("daemon-reload")});
            if (!Systemctl(systemUnit, enable)) {
                std::fprintf(stderr, "Corvane Service: %s is written but not enabled; run `systemctl %s` %s\n",
                             qPrintable(unitPath), qPrintable(SystemctlArguments(systemUnit, enable).join(u' ')),
                             systemUnit ? "yourself" : "in your desktop session");
                return 1;
            }
        }
        if (!switches.Silent)
            std::printf("Corvane Service installed: %s\n", qPrintable(unitPath));
        return 0;
    }
    if (switches.Command == ServiceCommand::Uninstall) {
        if (systemdsDir && QFile::exists(unitPath))
            Systemctl(systemUnit, {QStringLiteral("disable"), QStringLiteral("--now"), QLatin1String(UnitFileName)});
        if (!UninstallUnit(dir, error)) {
            std::fprintf(stderr, "Corvane Service: %s\n", qPrintable(error));
            return 1;
        }
        if (systemdsDir)
            Systemctl(systemUnit, {QStringLiteral("daemon-reload")});
        if (!switches.Silent)
            std::printf("Corvane Service uninstalled: %s\n", qPrintable(unitPath));
        return 0;
    }
    return 0;
}
