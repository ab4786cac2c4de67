#include "platform/SmbNetBrowser.h"

#include "platform/Journal.h"
#include "platform/LateLibrary.h"
#include "platform/ListedEnumeration.h"

#include <QByteArray>
#include <QFile>
#include <QUrl>

#include <libsmbclient.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace {

std::mutex smbLock;

// The SMB client library (and the eighty of Samba's under it), opened at
// the first browse.
struct SmbClient {
    LateLibrary library{"libsmbclient.so.0"};
    LATE_FUNCTION(new_context, smbc_new_context);
    LATE_FUNCTION(free_context, smbc_free_context);
    LATE_FUNCTION(init_context, smbc_init_context);
    LATE_FUNCTION(setDebug, smbc_setDebug);
    LATE_FUNCTION(setFunctionAuthData, smbc_setFunctionAuthData);
    LATE_FUNCTION(setOptionUseKerberos, smbc_setOptionUseKerberos);
    LATE_FUNCTION(setOptionFallbackAfterKerberos, smbc_setOptionFallbackAfterKerberos);
    LATE_FUNCTION(setOptionUseCCache, smbc_setOptionUseCCache);
    LATE_FUNCTION(setTimeout, smbc_setTimeout);
    LATE_FUNCTION(setPort, smbc_setPort);
    LATE_FUNCTION(setConfiguration, smbc_setConfiguration);
    LATE_FUNCTION(setOptionProtocols, smbc_setOptionProtocols);
    LATE_FUNCTION(getFunctionOpendir, smbc_getFunctionOpendir);
    LATE_FUNCTION(getFunctionReaddir, smbc_getFunctionReaddir);
    LATE_FUNCTION(getFunctionClosedir, smbc_getFunctionClosedir);
    bool ready = library.usable();
};

const SmbClient &libsmbclient()
{
    static const SmbClient smbclient;
    return smbclient;
}

// Anonymous access: the program browses as nobody in particular, the way a
// workstation's network view does before anyone has logged on to a server.
void anonymousAuth(const char *, const char *, char *workgroup, int workgroupLength, char *user, int userLength,
                   char *password, int passwordLength)
{
    (void)workgroup;
    (void)workgroupLength;
    if (userLength > 0)
        user[0] = '\0';
    if (passwordLength > 0)
        password[0] = '\0';
}

struct Context {
    SMBCCTX *ctx = nullptr;

    ~Context()
    {
        if (ctx)
            libsmbclient().free_context(ctx, 1);
    }
};

// A fresh context for one exchange: the library's settings are global, and
// a context per exchange keeps one exchange's protocol choice and cached
// connections from leaking into the next.
bool makeContext(Context &c, const SmbNetBrowser::Options &options, bool browse)
{
    const SmbClient &smb = libsmbclient();
    if (!smb.ready) {
        static std::once_flag said;
        std::call_once(said, [&] { JournalLine(JournalPriority::Error, "no SMB browsing", smb.library.error()); });
        return false;
    }
    c.ctx = smb.new_context();
    if (!c.ctx)
        return false;
    smb.setDebug(c.ctx, 0);
    smb.setFunctionAuthData(c.ctx, anonymousAuth);
    smb.setOptionUseKerberos(c.ctx, 0);
    smb.setOptionFallbackAfterKerberos(c.ctx, 1);
    smb.setOptionUseCCache(c.ctx, 0);
    smb.setTimeout(c.ctx, options.timeoutMs);
    if (options.port != 0)
        smb.setPort(c.ctx, options.port);
    // Before the context takes its workgroup from the configuration: the
    // workgroup decides whose master browser lists the workgroups.
    if (!options.configFile.isEmpty())
        smb.setConfiguration(c.ctx, QFile::encodeName(options.configFile).constData());
    if (!smb.init_context(c.ctx)) {
        smb.free_context(c.ctx, 0);
        c.ctx = nullptr;
        return false;
    }
    smb.setOptionProtocols(c.ctx, "NT1", browse ? "NT1" : "SMB3");
    return true;
}

QString fromSmb(const char *text)
{
    return QString::fromUtf8(text);
}

} // namespace

quint32 SmbErrorCode(int error)
{
    switch (error) {
    case 0:
        return NetCode::Success;
    case ENOENT:
    case ECONNREFUSED:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENODEV:
        return NetCode::BadNetName;
    case EACCES:
    case EPERM:
        return NetCode::AccessDenied;
    case EKEYREJECTED:
    case EKEYEXPIRED:
        return NetCode::NotAuthenticated;
    case ETIMEDOUT:
        return NetCode::SemTimeout;
    case ENETDOWN:
        return NetCode::NoNetwork;
    default:
        return NetCode::ExtendedError;
    }
}

SmbNetBrowser::SmbNetBrowser() = default;
SmbNetBrowser::SmbNetBrowser(Options options) : options_(std::move(options)) {}
SmbNetBrowser::~SmbNetBrowser() = default;

quint32 SmbNetBrowser::Open(quint32, quint32, quint32, const NetResource &container,
                            std::unique_ptr<NetEnumeration> &out)
{
    out.reset();
    if (container.RemoteName.isEmpty() && (container.Provider.isEmpty() || !(container.Usage & NetUsage::Reserved))) {
        NetResource provider;
        provider.Scope = NetScope::GlobalNet;
        provider.DisplayType = NetDisplay::Network;
        provider.Usage = NetUsage::Container | NetUsage::Reserved;
        provider.RemoteName = SmbProviderName;
        provider.Provider = SmbProviderName;
        out = std::make_unique<ListedEnumeration>(QList<NetResource>{provider});
        return NetCode::Success;
    }
    if (!container.Provider.isEmpty() && container.Provider != SmbProviderName)
        return NetCode::BadProvider;

    // What to list, and which entries of the answer belong to it.
    Level level;
    QString target;
    if (container.RemoteName.isEmpty()) {
        level = Level::Workgroups;
    } else if (container.RemoteName.startsWith(u"\\\\")) {
        level = Level::Shares;
        qsizetype i = 0;
        while (i < container.RemoteName.size() && container.RemoteName[i] == u'\\')
            ++i;
        target = container.RemoteName.mid(i).section(u'\\', 0, 0);
    } else {
        level = Level::Computers;
        target = container.RemoteName;
    }
    if (level != Level::Workgroups && target.isEmpty())
        return NetCode::BadNetName;
    const QByteArray url = "smb://" + QUrl::toPercentEncoding(target);

    std::lock_guard guard(smbLock);
    // Browse lists change slowly (the browse service itself refreshes them
    // every few minutes) and a pass asks for the same ones for every entry;
    // share lists are never kept, they are how a computer shows it is there.
    const bool keep = level != Level::Shares && options_.listCacheMs > 0;
    const QByteArray key = QByteArray::number(int(level)) + url;
    if (keep) {
        const auto it = cache_.constFind(key);
        if (it != cache_.cend() && it->age.isValid() && it->age.elapsed() < options_.listCacheMs) {
            if (it->result == NetCode::Success)
                out = std::make_unique<ListedEnumeration>(it->entries);
            return it->result;
        }
    }
    const quint32 result = List(url, level, target, out);
    if (keep) {
        CachedList &kept = cache_[key];
        kept.result = result;
        kept.entries = result == NetCode::Success ? static_cast<ListedEnumeration *>(out.get())->Entries()
                                                  : QList<NetResource>();
        kept.age.start();
    }
    return result;
}

quint32 SmbNetBrowser::List(const QByteArray &url, Level level, const QString &target,
                            std::unique_ptr<NetEnumeration> &out)
{
    Context c;
    if (!makeContext(c, options_, level != Level::Shares))
        return NetCode::NoNetwork;

    errno = 0;
    SMBCFILE *dir = libsmbclient().getFunctionOpendir(c.ctx)(c.ctx, url.constData());
    if (!dir)
        return SmbErrorCode(errno == 0 ? EIO : errno);

    QList<NetResource> entries;
    while (const smbc_dirent *d = libsmbclient().getFunctionReaddir(c.ctx)(c.ctx, dir)) {
        NetResource r;
        r.Scope = NetScope::GlobalNet;
        r.Type = NetType::Any;
        r.Provider = SmbProviderName;
        r.Comment = fromSmb(d->comment);
        const QString name = fromSmb(d->name);
        switch (level) {
        case Level::Workgroups:
            if (d->smbc_type != SMBC_WORKGROUP)
                continue;
            r.DisplayType = NetDisplay::Domain;
            r.Usage = NetUsage::Container;
            r.RemoteName = name;
            break;
        case Level::Computers:
            if (d->smbc_type != SMBC_SERVER)
                continue;
            r.DisplayType = NetDisplay::Server;
            r.Usage = NetUsage::Container;
            r.RemoteName = QStringLiteral("\\\\") + name;
            break;
        case Level::Shares:
            if (d->smbc_type != SMBC_FILE_SHARE && d->smbc_type != SMBC_PRINTER_SHARE &&
                d->smbc_type != SMBC_COMMS_SHARE && d->smbc_type != SMBC_IPC_SHARE)
                continue;
            r.DisplayType = NetDisplay::Share;
            r.Usage = NetUsage::Connectable;
            r.RemoteName = QStringLiteral("\\\\") + target + u'\\' + name;
            break;
        }
        entries.append(r);
    }
    libsmbclient().getFunctionClosedir(c.ctx)(c.ctx, dir);
    out = std::make_unique<ListedEnumeration>(std::move(entries));
    return NetCode::Success;
}
