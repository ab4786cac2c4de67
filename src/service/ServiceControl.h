#pragma once

// The service object. Its start and stop requests only set and clear
// ServiceRunning; the timers of the main window read the flag and do their
// work only while it is set.
//
// The process is its own service host: the service manager (systemd) or an
// operator sends signals. SIGUSR1 is the start request and SIGUSR2 the stop
// request (the process stays); SIGTERM, SIGINT and SIGHUP are the end of the
// logon, which the main window answers with its orderly close.

#include <QObject>
#include <QString>

class SignalPipe;

class ServiceControl : public QObject {
    Q_OBJECT

public:
    explicit ServiceControl(QObject *parent = nullptr);
    ~ServiceControl() override;

    const QString DisplayName = QStringLiteral("Corvane Service");
    const bool AllowPause = false;
    const bool AllowStop = true;

    void ServiceStart(QObject *sender, bool &started);
    void ServiceStop(QObject *sender, bool &stopped);

    // Hands one control request (a signal number) to the handler it stands for.
    void Controller(int signalNumber);

signals:
    // The user's logon (or the machine) is ending: the main window may close.
    void LogonEnding();

private:
    SignalPipe *signals_ = nullptr;
};

extern ServiceControl *serviceControl;
