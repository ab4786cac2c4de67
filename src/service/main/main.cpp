// The process entry: the service host and the console in one process.

#include "config/Settings.h"
#include "console/AccessListWindow.h"
#include "console/Language.h"
#include "console/MainWindow.h"
#include "platform/HeapTuning.h"
#include "platform/InstanceLock.h"
#include "platform/Journal.h"
#include "process/ProcessFlags.h"
#include "service/InfoCommand.h"
#include "service/ReportCommand.h"
#include "service/ServiceControl.h"
#include "service/ServiceInstall.h"
#include "service/SharedServices.h"
#include "service/WatchHost.h"

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

void ReportException(const char *what)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(AppTitle), what ? what : "");
    std::fflush(stderr);
}

// An exception that escapes an event handler is reported and ends the run
// (with 0, as every end of this process does), instead of unwinding through
// the event loop.
class GuardedApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception &e) {
            ReportException(e.what());
        } catch (...) {
            ReportException("");
        }
        exit(0);
        return false;
    }
};

// Qt's own warnings about nothing the operator can act on stay out of the
// journal, which holds Corvane's lines: unseen windows on the offscreen
// platform cannot be raised or grabbed (Qt says so at every notice), and a
// session without XDG_RUNTIME_DIR (a service, su, ssh) makes Qt choose a
// runtime folder of its own, which Corvane never uses. Both come in Qt's
// default category; every other message goes on to Qt's handler.
QtMessageHandler QtDefaultHandler = nullptr;

bool IsQtNoise(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtWarningMsg || (context.category && std::strcmp(context.category, "default") != 0))
        return false;
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return true;
    return message.startsWith(QLatin1String("This plugin does not support "))
        && QGuiApplication::platformName() == QLatin1String("offscreen");
}

void QuietHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!IsQtNoise(type, context, message))
        QtDefaultHandler(type, context, message);
}

int Run(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // The usage or the version, before anything is read, made or watched.
    if (const std::optional<int> answered = RunInfoCommand(arguments))
        return *answered;

    ProgramDir = ResolveProgramDir();
    ServiceRunning = true;
    // A report is written and the process ends: no console, no watching.
    // The page reads in the operator's language, as the console's does.
    if (IsReportCommand(arguments)) {
        QCoreApplication app(argc, argv);
        return RunReportCommand(arguments, ProgramDir, [](const QString &configured) {
            UseConsoleLanguage(ConsoleLanguage(configured));
        });
    }
    const ServiceSwitches switches = ParseServiceSwitches(arguments);
    if (switches.Command != ServiceCommand::None)
        return RunServiceCommand(switches, ExecutablePath(), ProgramDir);

    // One watching Corvane per program folder: a second one would run every
    // pass, notice and record twice and write the settings over the first's.
    InstanceLock lock;
    {
        QString folder = ProgramDir;
        if (folder.size() > 1 && folder.endsWith(u'/'))
            folder.chop(1);
        switch (lock.Acquire(ProgramDir)) {
        case InstanceLock::Result::Acquired:
            break;
        case InstanceLock::Result::NoLockFile:
            JournalMessage(JournalPriority::Warning,
                           QStringLiteral("no lock file can be made in %1: a second Corvane on it would not be kept "
                                          "from starting")
                               .arg(folder));
            break;
        case InstanceLock::Result::HeldByOwnUser:
            JournalMessage(JournalPriority::Error, QStringLiteral("Corvane is already running for %1 (process %2)")
                                                       .arg(folder)
                                                       .arg(lock.Holder()));
            return AlreadyRunningExitCode;
        case InstanceLock::Result::HeldByOtherUser:
            JournalMessage(JournalPriority::Error,
                           QStringLiteral("%1 is locked by user %2 (process %3), not by a Corvane of this user: "
                                          "not started")
                               .arg(InstanceLock::FilePath(ProgramDir), lock.HolderUser())
                               .arg(lock.Holder()));
            return LockHeldByOtherUserExitCode;
        }
    }

    // No display: run on the offscreen platform, every window exists unseen.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QtDefaultHandler = qInstallMessageHandler(QuietHandler);
    GuardedApplication app(argc, argv);
    app.setApplicationName(AppTitle);
    // Notice windows and the access list come and go; only the main
    // window's close ends the process.
    app.setQuitOnLastWindowClosed(false);

    sharedServices = new SharedServices;
    serviceControl = new ServiceControl;
    // The running system first, then its windows.
    auto *host = new WatchHost(QCoreApplication::arguments().mid(1));
    // The settings are read: the windows show the operator's language.
    UseConsoleLanguage(ConsoleLanguage(Settings.Config.Language));
    mainWindow = new MainWindow(host);
    accessListWindow = new AccessListWindow;
    QObject::connect(serviceControl, &ServiceControl::LogonEnding, mainWindow, &MainWindow::QueryEndSession);
    QObject::connect(mainWindow, &MainWindow::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    app.exec();

    delete accessListWindow;
    delete mainWindow;
    delete host;
    delete serviceControl;
    delete sharedServices;
    accessListWindow = nullptr;
    mainWindow = nullptr;
    serviceControl = nullptr;
    sharedServices = nullptr;
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    KeepLargeBlocksReturnable();
    RaiseDescriptorLimit();
    try {
        return Run(argc, argv);
    } catch (const std::exception &e) {
        ReportException(e.what());
    } catch (...) {
        ReportException("");
    }
    return 0;
}
