#include "platform/HostLookup.h"

#include "platform/Cp932.h"
#include "platform/NetbiosName.h"
#include "platform/NetworkName.h"

#include <QFile>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

int HostLookup::errorNumber(int eaiError)
{
    switch (eaiError) {
    case 0:
        return 0;
    case EAI_NONAME:
        return 11001;
    case EAI_AGAIN:
        return 11002;
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
    case EAI_ADDRFAMILY:
        return 11004;
    case EAI_MEMORY:
        return 10055;
    default:
        return 11003;
    }
}

namespace {

HostLookup::Address systemAddressOf(const QString &name)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM; // one entry per address, not one per socket type
    addrinfo *list = nullptr;
    // Names cross to the resolver as 8-bit text in the program's code page.
    const QByteArray host = Cp932::encode(name);
    const int rc = ::getaddrinfo(host.constData(), nullptr, &hints, &list);
    HostLookup::Address result;
    if (rc != 0 || !list) {
        result.error = HostLookup::errorNumber(rc != 0 ? rc : EAI_NONAME);
        return result;
    }
    result.address = reinterpret_cast<const sockaddr_in *>(list->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(list);
    return result;
}

// Avahi resolves NAME.local for the system resolver when the machine runs it.
bool runsAvahi()
{
    return QFile::exists(QStringLiteral("/run/avahi-daemon/socket"));
}

} // namespace

// A workgroup without DNS knows its computers by their NetBIOS names, and
// hosts that announce themselves by multicast DNS by NAME.local: each is
// asked in turn when the one before knows nothing, and the first failure's
// number is the one reported when none does.
HostLookup::Address HostLookup::addressOf(const QString &name)
{
    Address result = systemAddressOf(name);
    if (result.error == 0)
        return result;
    if (const quint32 found = Netbios::isName(name) ? Netbios::addressOf(name) : 0) {
        result.address = found;
        result.error = 0;
        return result;
    }
    if (!name.isEmpty() && !name.contains(u'.') && runsAvahi()) {
        const Address local = systemAddressOf(name + QStringLiteral(".local"));
        if (local.error == 0)
            return local;
    }
    return result;
}

HostLookup::Name HostLookup::nameOf(quint32 address)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = address;
    char host[NI_MAXHOST];
    const int rc = ::getnameinfo(reinterpret_cast<const sockaddr *>(&sa), sizeof sa, host, sizeof host, nullptr, 0,
                                 NI_NAMEREQD);
    Name result;
    if (rc == 0) {
        result.name = Cp932::decode(host);
        if (IsPlainNetworkName(result.name))
            return result;
        result.name.clear();
    }
    // Without a reverse entry (or with one that is no plain name), the
    // computer itself says its name.
    result.name = Netbios::nameOf(address);
    if (result.name.isEmpty())
        result.error = errorNumber(rc != 0 ? rc : EAI_NONAME);
    return result;
}
