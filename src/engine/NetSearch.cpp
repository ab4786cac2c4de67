#include "engine/NetSearch.h"

#include "platform/NetBrowser.h"

#include <functional>

namespace {

// Reads the whole enumeration in batches, calling `match` on every entry
// until it says the search is over. Any failure to read ends the search as
// not found; only a failing close is an error.
int readAll(std::unique_ptr<NetEnumeration> e, const std::function<bool(const NetResource &)> &match)
{
    bool found = false;
    // The first read asks for as many entries as fit; later ones for no
    // more than the previous read gave.
    quint32 count = 0xFFFFFFFFu;
    while (!found) {
        QList<NetResource> batch;
        const quint32 r = e->Read(count, batch, NetReadBufferBytes);
        if (r != NetCode::Success || batch.isEmpty())
            break;
        for (const NetResource &entry : batch) {
            if (match(entry)) {
                found = true;
                break;
            }
        }
    }
    if (e->Close() != NetCode::Success)
        return NetError;
    return found ? NetFound : NetNotFound;
}

int openFailure(quint32 code)
{
    return code == NetCode::BadNetName ? NetNotFound : NetError;
}

} // namespace

QString StripBackslashes(const QString &name)
{
    qsizetype i = 0;
    while (i < name.size() && name[i] == u'\\')
        ++i;
    return name.mid(i);
}

int FindNetResource(NetBrowser &net, const QString &container, const QString &provider, const QString &name,
                    NetNode &node)
{
    NetResource where;
    where.Scope = NetScope::GlobalNet;
    where.Type = NetType::Any;
    where.DisplayType = NetDisplay::Network;
    where.RemoteName = container;
    if (node.NodeType == NetNodeType::Network) {
        where.Usage = NetUsage::Container | NetUsage::Reserved;
        where.Provider = provider;
    } else {
        where.Usage = NetUsage::Container;
    }
    std::unique_ptr<NetEnumeration> e;
    const quint32 opened = net.Open(NetScope::GlobalNet, NetType::Any, 0, where, e);
    if (opened != NetCode::Success || !e)
        return openFailure(opened == NetCode::Success ? NetCode::ExtendedError : opened);

    QString containerName = container;
    return readAll(std::move(e), [&](const NetResource &entry) {
        if (StripBackslashes(entry.RemoteName) != name)
            return false;
        if (entry.DisplayType == NetDisplay::Domain) {
            if (node.NodeType == NetNodeType::Network)
                containerName.clear();
            node.NodeType = NetNodeType::Domain;
        } else if (entry.DisplayType == NetDisplay::Network) {
            node.NodeType = NetNodeType::Network;
        } else {
            node.NodeType = NetNodeType::Other;
        }
        node.Container = containerName;
        node.Comment = entry.Comment;
        node.Provider = entry.Provider;
        return true;
    });
}

bool FindDomain(NetBrowser &net, const QString &provider, const QString &domain)
{
    NetNode node;
    node.NodeType = NetNodeType::Network;
    return FindNetResource(net, QString(), provider, domain, node) == NetFound;
}

int FindComputer(NetBrowser &net, const QString &domain, const QString &provider, const QString &resourceName,
                 bool safeCheck)
{
    NetResource where;
    where.Scope = NetScope::GlobalNet;
    where.Type = NetType::Any;
    where.DisplayType = NetDisplay::Network;
    where.Usage = NetUsage::Container | (domain.isEmpty() ? NetUsage::Reserved : 0);
    where.RemoteName = domain;
    where.Provider = provider;
    std::unique_ptr<NetEnumeration> e;
    const quint32 opened = net.Open(NetScope::GlobalNet, NetType::Any, 0, where, e);
    if (opened != NetCode::Success || !e)
        return openFailure(opened == NetCode::Success ? NetCode::ExtendedError : opened);

    return readAll(std::move(e), [&](const NetResource &entry) {
        if (StripBackslashes(entry.RemoteName) != resourceName)
            return false;
        if (!safeCheck)
            return true;
        NetResource computer;
        computer.Scope = NetScope::Connected;
        computer.Type = NetType::Any;
        computer.DisplayType = NetDisplay::Server;
        computer.Usage = NetUsage::Connectable;
        computer.RemoteName = entry.RemoteName;
        std::unique_ptr<NetEnumeration> shares;
        const quint32 r = net.Open(NetScope::GlobalNet, NetType::Any, 0, computer, shares);
        if (shares)
            shares->Close();
        return r == NetCode::Success || r == NetCode::AccessDenied || r == NetCode::NotAuthenticated;
    });
}
