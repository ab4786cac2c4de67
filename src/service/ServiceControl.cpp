#include "service/ServiceControl.h"

#include "process/ProcessFlags.h"
#include "service/SignalPipe.h"

#include <csignal>

ServiceControl *serviceControl = nullptr;

ServiceControl::ServiceControl(QObject *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("krovan"));
    signals_ = new SignalPipe({SIGUSR1, SIGUSR2, SIGTERM, SIGINT, SIGHUP}, this);
    connect(signals_, &SignalPipe::Signalled, this, &ServiceControl::Controller);
}

ServiceControl::~ServiceControl() = default;

void ServiceControl::ServiceStart(QObject *, bool &)
{
    ServiceRunning = true;
}

void ServiceControl::ServiceStop(QObject *, bool &)
{
    ServiceRunning = false;
}

void ServiceControl::Controller(int signalNumber)
{
    bool done = true;
    switch (signalNumber) {
    case SIGUSR1:
        ServiceStart(this, done);
        break;
    case SIGUSR2:
        ServiceStop(this, done);
        break;
    case SIGTERM:
    case SIGINT:
    case SIGHUP:
        emit LogonEnding();
        break;
    default:
        break;
    }
}
