#pragma once

// The data module: the components the windows and the engine share for the
// whole run. It owns the probe and the platform services that the start-up
// and the console ask (the shutdown, the network's server list).

#include <QObject>

#include <memory>

class RemotePlatformQuery;
class TIcmp;
class SystemShutdown;

class Tdm : public QObject {
    Q_OBJECT

public:
    // The real platform services.
    explicit Tdm(QObject *parent = nullptr);
    // Given services (tests hand in fakes).
    Tdm(std::unique_ptr<SystemShutdown> shutdown, std::unique_ptr<RemotePlatformQuery> servers,
        QObject *parent = nullptr);
    ~Tdm() override;

    // The console's probe (get-MAC, properties); the watch passes have
    // their own.
    TIcmp *Icmp = nullptr;

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

extern Tdm *dm;
