#pragma once

// The services the windows and the engine share for the whole run: the
// console's probe and the platform services that the start-up and the
// console ask (the shutdown, the network's server list).

#include <QObject>

#include <memory>

class RemotePlatformQuery;
class Probe;
class SystemShutdown;

class SharedServices : public QObject {
    Q_OBJECT

public:
    // The real platform services.
    explicit SharedServices(QObject *parent = nullptr);
    // Given services (tests hand in fakes).
    SharedServices(std::unique_ptr<SystemShutdown> shutdown, std::unique_ptr<RemotePlatformQuery> servers,
        QObject *parent = nullptr);
    ~SharedServices() override;

    // The console's probe (get-MAC, properties); the watch passes have
    // their own.
    Probe *ConsoleProbe = nullptr;

    SystemShutdown &Shutdown() { return *shutdown_; }
    RemotePlatformQuery &Servers() { return *servers_; }

    // Whether XML records can be written (an XML document activates and
    // deactivates): the settings reader turns an XML record extension into
    // "log" when this is false.
    bool XmlCheck();

private:
    std::unique_ptr<SystemShutdown> shutdown_;
    std::unique_ptr<RemotePlatformQuery> servers_;
};

extern SharedServices *sharedServices;
