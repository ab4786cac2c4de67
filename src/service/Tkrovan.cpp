#include "service/Tkrovan.h"

#include "service/TSignalPipe.h"
#include "service/flags/ProcessFlags.h"

#include <csignal>

Tkrovan *krovan = nullptr;

Tkrovan::Tkrovan(QObject *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("krovan"));
    signals_ = new TSignalPipe({SIGUSR1, SIGUSR2, SIGTERM, SIGINT, SIGHUP}, this);
    connect(signals_, &TSignalPipe::Signalled, this, &Tkrovan::Controller);
}

Tkrovan::~Tkrovan() = default;

void Tkrovan::ServiceStart(QObject *, bool &)
{
    ServiceRunning = true;
}

void Tkrovan::ServiceStop(QObject *, bool &)
{
    ServiceRunning = false;
}

void Tkrovan::Controller(int signalNumber)
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
