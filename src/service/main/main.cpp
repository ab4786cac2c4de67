// The process entry: the service host and the console in one process.

#include "config/Settings.h"
#include "console/AccessListWindow.h"
#include "console/Language.h"
#include "console/MainWindow.h"
#include "platform/HeapTuning.h"
#include "process/ProcessFlags.h"
#include "service/ReportCommand.h"
#include "service/ServiceControl.h"
#include "service/ServiceInstall.h"
#include "service/SharedServices.h"
#include "service/WatchHost.h"

#include <QApplication>

#include <cstdio>
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

// Unseen windows on the offscreen platform cannot be raised or grabbed; Qt
// says so at every notice, which would fill a headless service's journal
// with lines about nothing.
QtMessageHandler QtDefaultHandler = nullptr;

void QuietOffscreenHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("This plugin does not support ")))
        return;
    QtDefaultHandler(type, context, message);
}

int Run(int argc, char **argv)
{
    ProgramDir = ResolveProgramDir();
    ServiceRunning = true;

    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
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

    // No display: run on the offscreen platform, every window exists unseen.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    GuardedApplication app(argc, argv);
    app.setApplicationName(AppTitle);
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        QtDefaultHandler = qInstallMessageHandler(QuietOffscreenHandler);
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
    try {
        return Run(argc, argv);
    } catch (const std::exception &e) {
        ReportException(e.what());
    } catch (...) {
        ReportException("");
    }
    return 0;
}
