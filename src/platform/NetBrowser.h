#pragma once

// Browsing the network's resources: providers at the top, their domains and
// workgroups, the computers each one lists, and a computer's shares.
//
// The shape is the one stored watch lists and the engine's searches were
// written against: open an enumeration of a container, read its entries in
// batches into a buffer of a given size, close it; every step answers a
// numeric result, 0 for success. Callers compare those numbers (67 a name
// that is not on the network, 259 the end of the list, 5 and 1244 a computer
// that is there but will not show its shares), so every back end keeps them.
//
// Back ends: SmbNetBrowser (SMB browsing), DiscoveringNetBrowser (that
// joined with the computers WS-Discovery finds: the real network) and
// FixtureNetBrowser (a network tree written in a text file, for tests and
// demonstrations). CreateNetBrowser picks one.

#include <QList>
#include <QString>

#include <memory>

namespace NetCode {
inline constexpr quint32 Success = 0;
inline constexpr quint32 AccessDenied = 5;        // ERROR_ACCESS_DENIED
inline constexpr quint32 BadNetName = 67;         // ERROR_BAD_NET_NAME
inline constexpr quint32 MoreData = 234;          // ERROR_MORE_DATA
inline constexpr quint32 NoMoreItems = 259;       // ERROR_NO_MORE_ITEMS
inline constexpr quint32 InvalidHandle = 6;       // ERROR_INVALID_HANDLE
inline constexpr quint32 BadProvider = 1204;      // ERROR_BAD_PROVIDER
inline constexpr quint32 NoNetwork = 1222;        // ERROR_NO_NETWORK
inline constexpr quint32 NotAuthenticated = 1244; // ERROR_NOT_AUTHENTICATED
inline constexpr quint32 NetworkUnreachable = 1231;
inline constexpr quint32 SemTimeout = 121;        // ERROR_SEM_TIMEOUT
inline constexpr quint32 ExtendedError = 1208;    // ERROR_EXTENDED_ERROR
} // namespace NetCode

namespace NetScope {
inline constexpr quint32 Connected = 1;
inline constexpr quint32 GlobalNet = 2;
} // namespace NetScope

namespace NetType {
inline constexpr quint32 Any = 0;
}

namespace NetDisplay {
inline constexpr quint32 Generic = 0;
inline constexpr quint32 Domain = 1;
inline constexpr quint32 Server = 2;
inline constexpr quint32 Share = 3;
inline constexpr quint32 Network = 6;
} // namespace NetDisplay

namespace NetUsage {
inline constexpr quint32 Connectable = 0x1;
inline constexpr quint32 Container = 0x2;
inline constexpr quint32 Reserved = 0x80000000;
} // namespace NetUsage

// The provider name of SMB networks, the one stored watch lists carry.
inline const QString SmbProviderName = QStringLiteral("Microsoft Windows Network");

struct NetResource {
    quint32 Scope = 0;
    quint32 Type = 0;
    quint32 DisplayType = 0;
    quint32 Usage = 0;
    QString LocalName;
    QString RemoteName;  // a domain as "NAME", a computer as "\\NAME", a share as "\\NAME\share"
    QString Comment;
    QString Provider;
};

// Bytes one entry takes in a read buffer: the fixed record plus its four
// texts in code page 932, each with its terminating zero.
quint32 NetResourceBytes(const NetResource &entry);

// One open enumeration.
class NetEnumeration {
public:
    virtual ~NetEnumeration() = default;

    // Reads the next entries: at most `count` of them and no more than fit
    // in bufferBytes (NetResourceBytes each). On 0, count holds how many
    // were appended to entries (at least one); 259 when the list is done;
    // 234 when not even the next entry fits; any other number is a failure.
    virtual quint32 Read(quint32 &count, QList<NetResource> &entries, quint32 bufferBytes) = 0;

    // 0 on success.
    virtual quint32 Close() = 0;
};

class NetBrowser {
public:
    virtual ~NetBrowser() = default;

    // Opens an enumeration of the container:
    // - no remote name and no provider: the providers;
    // - no remote name and a provider, the container's usage including
    //   NetUsage::Reserved: the provider's domains and workgroups;
    // - a remote name beginning with "\\": that computer's shares;
    // - any other remote name: the computers of that domain or workgroup.
    // On 0, `out` holds the enumeration; otherwise it is left empty.
    virtual quint32 Open(quint32 scope, quint32 type, quint32 usage, const NetResource &container,
                         std::unique_ptr<NetEnumeration> &out) = 0;
};

// The environment variable that, when it names a file, makes the program
// browse the network tree written in that file instead of the real network.
inline constexpr char NetFixtureVariable[] = "CORVANE_NET_FIXTURE";

// The browser the program uses: FixtureNetBrowser over the file named by
// $CORVANE_NET_FIXTURE when it is set and not empty, the real network
// (DiscoveringNetBrowser over SmbNetBrowser) otherwise.
std::unique_ptr<NetBrowser> CreateNetBrowser();
