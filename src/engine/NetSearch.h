#pragma once

// Searches of the network's browse lists: is a domain or workgroup listed by
// its provider, is a computer listed in its domain. Used by the watch worker,
// the watch-list editor and the property dialog.
//
// Results: 1 found, 2 not found, 3 error. A name matches an entry when the
// entry's remote name, without its leading backslashes, is exactly the name
// (letter case included).

#include <QString>

class NetBrowser;

// Each read of an enumeration fills at most this many bytes.
inline constexpr quint32 NetReadBufferBytes = 16384;

enum NetSearchResult { NetFound = 1, NetNotFound = 2, NetError = 3 };

// What FindNetResource learns about the resource it finds, and (NodeType)
// what kind of container it searches on input: 7 a provider's top level,
// 5 a domain, 0 anything else.
struct NetNode {
    qint32 NodeType = 0;
    QString Container;
    QString Comment;
    QString Provider;
};

namespace NetNodeType {
inline constexpr qint32 Other = 0;
inline constexpr qint32 Domain = 5;
inline constexpr qint32 Network = 7;
} // namespace NetNodeType

// Looks for `name` inside the container (empty for the top level; with node
// type 7 the top level of `provider`). On the first match the node gets the
// match's kind, the container searched, its comment and its provider.
int FindNetResource(NetBrowser &net, const QString &container, const QString &provider, const QString &name,
                    NetNode &node);

// The domain or workgroup is among the top-level containers of the provider.
bool FindDomain(NetBrowser &net, const QString &provider, const QString &domain);

// The computer is listed in the domain by the provider. With safeCheck a
// listed computer also has to let its shares be enumerated (or refuse it for
// want of rights), so that a stale browse-list entry of a machine that is
// gone does not count.
int FindComputer(NetBrowser &net, const QString &domain, const QString &provider, const QString &resourceName,
                 bool safeCheck);

// The name without its leading backslashes.
QString StripBackslashes(const QString &name);
