#include "service/Tdm.h"

#include "events/XmlDocument.h"
#include "platform/LogindShutdown.h"
#include "platform/SambaPlatformQuery.h"
#include "probe/TIcmp.h"

Tdm *dm = nullptr;

Tdm::Tdm(QObject *parent)
    : Tdm(std::make_unique<LogindShutdown>(), std::make_unique<SambaPlatformQuery>(), parent)
{
}

Tdm::Tdm(std::unique_ptr<SystemShutdown> shutdown, std::unique_ptr<RemotePlatformQuery> servers, QObject *parent)
    : QObject(parent)
    , shutdown_(std::move(shutdown))
    , servers_(std::move(servers))
{
    setObjectName(QStringLiteral("dm"));
    Icmp = new TIcmp(this);
    Icmp->setObjectName(QStringLiteral("Icmp"));
}

Tdm::~Tdm() = default;

bool Tdm::XmlCheck()
{
    return XmlDocument::Available();
}
