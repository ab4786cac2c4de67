#include "platform/DiscoveringNetBrowser.h"

#include "platform/ListedEnumeration.h"
#include "platform/WsDiscovery.h"

#include <QHostAddress>

#include <future>
#include <system_error>

namespace {

// The whole list behind an enumeration; the result of the first failing
// step, or 0.
quint32 readWhole(quint32 opened, std::unique_ptr<NetEnumeration> e, QList<NetResource> &entries)
{
    if (opened != NetCode::Success)
        return opened;
    if (!e)
        return NetCode::ExtendedError;
    quint32 result = NetCode::Success;
    // Bounded: a back end that never ends its list still gives way.
    for (int i = 0; i < 100000; ++i) {
        quint32 count = 0xFFFFFFFFu;
        const quint32 r = e->Read(count, entries, 1u << 20);
        if (r == NetCode::NoMoreItems)
            break;
        if (r != NetCode::Success) {
            result = r;
            break;
        }
    }
    const quint32 closed = e->Close();
    return result != NetCode::Success ? result : closed;
}

NetResource container(const QString &remoteName, quint32 displayType)
{
    NetResource r;
    r.Scope = NetScope::GlobalNet;
    r.Type = NetType::Any;
    r.DisplayType = displayType;
    r.Usage = NetUsage::Container;
    r.RemoteName = remoteName;
    r.Provider = SmbProviderName;
    return r;
}

} // namespace

DiscoveringNetBrowser::DiscoveringNetBrowser(std::unique_ptr<NetBrowser> browse, std::unique_ptr<WsDiscovery> discovery)
    : browse_(std::move(browse)), discovery_(std::move(discovery))
{
}

DiscoveringNetBrowser::~DiscoveringNetBrowser() = default;

quint32 DiscoveringNetBrowser::Open(quint32 scope, quint32 type, quint32 usage, const NetResource &where,
                                    std::unique_ptr<NetEnumeration> &out)
{
    out.reset();
    // A computer's shares: one found by WS-Discovery is asked at the address
    // it answered from.
    if (where.RemoteName.startsWith(u"\\\\") && where.RemoteName.indexOf(u'\\', 2) < 0) {
        quint32 address = 0;
        {
            const std::lock_guard lock(addressesMutex_);
            address = addresses_.value(where.RemoteName.mid(2).toUpper());
        }
        if (address) {
            NetResource at = where;
            at.RemoteName = QStringLiteral("\\\\") + QHostAddress(address).toString();
            return browse_->Open(scope, type, usage, at, out);
        }
    }
    const bool workgroups = where.RemoteName.isEmpty() && !where.Provider.isEmpty() &&
                            (where.Usage & NetUsage::Reserved) && where.Provider == SmbProviderName;
    const bool computers = !where.RemoteName.isEmpty() && !where.RemoteName.startsWith(u"\\\\") &&
                           (where.Provider.isEmpty() || where.Provider == SmbProviderName);
    if (!workgroups && !computers)
        return browse_->Open(scope, type, usage, where, out);

    // Both sources wait on the network (a browse list nobody keeps takes
    // the SMB client its name query time-outs), so they are asked together.
    QList<WsdComputer> found;
    std::future<bool> discovering;
    try {
        discovering = std::async(std::launch::async, [this, &found] { return discovery_->Computers(found); });
    } catch (const std::system_error &) {
        // No thread to be had: one after the other.
    }
    std::unique_ptr<NetEnumeration> listed;
    QList<NetResource> entries;
    const quint32 browsed = readWhole(browse_->Open(scope, type, usage, where, listed), std::move(listed), entries);
    if (browsed != NetCode::Success)
        entries.clear();
    const bool discovered = discovering.valid() ? discovering.get() : discovery_->Computers(found);
    if (!discovered && browsed != NetCode::Success)
        return browsed;

    if (discovered) {
        // The computers known now, and no others.
        QHash<QString, quint32> now;
        for (const WsdComputer &c : std::as_const(found))
            if (c.address)
                now.insert(c.name.toUpper(), c.address);
        const std::lock_guard lock(addressesMutex_);
        addresses_ = std::move(now);
    }
    QSet<QString> names;
    for (const NetResource &e : std::as_const(entries))
        names.insert(e.RemoteName.toUpper());
    bool any = browsed == NetCode::Success;
    for (const WsdComputer &c : std::as_const(found)) {
        const NetResource entry = workgroups ? container(c.group, NetDisplay::Domain)
                                             : container(QStringLiteral("\\\\") + c.name, NetDisplay::Server);
        if (computers && c.group.compare(where.RemoteName, Qt::CaseInsensitive) != 0)
            continue;
        any = true;
        if (!names.contains(entry.RemoteName.toUpper())) {
            names.insert(entry.RemoteName.toUpper());
            entries.append(entry);
        }
    }
    // A workgroup neither source knows stays "not on the network".
    if (!any && browsed == NetCode::BadNetName)
        return browsed;
    out = std::make_unique<ListedEnumeration>(std::move(entries));
    return NetCode::Success;
}
