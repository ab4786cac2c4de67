#include "service/SharedServices.h"

#include "events/XmlDocument.h"
#include "platform/LogindShutdown.h"
#include "platform/SambaPlatformQuery.h"
#include "probe/Probe.h"

SharedServices *sharedServices = nullptr;

SharedServices::SharedServices(QObject *parent)
    : SharedServices(std::make_unique<LogindShutdown>(), std::make_unique<SambaPlatformQuery>(), parent)
{
}

SharedServices::SharedServices(std::unique_ptr<SystemShutdown> shutdown, std::unique_ptr<RemotePlatformQuery> servers, QObject *parent)
    : QObject(parent)
    , shutdown_(std::move(shutdown))
    , servers_(std::move(servers))
{
    setObjectName(QStringLiteral("dm"));
    ConsoleProbe = new Probe(this);
    ConsoleProbe->setObjectName(QStringLiteral("Icmp"));
}

SharedServices::~SharedServices() = default;

bool SharedServices::XmlCheck()
{
    return XmlDocument::Available();
}
