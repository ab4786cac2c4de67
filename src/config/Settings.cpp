#include "config/Settings.h"

#include "config/ProfileStore.h"
#include "config/SettingValues.h"
#include "platform/Cp932.h"
#include "platform/Journal.h"
#include "platform/SafeFile.h"

#include <QFile>

#include <cerrno>
#include <type_traits>

#include <sys/stat.h>

ProgramSettings Settings;

namespace {

const void *settingsKeeper = nullptr;
std::function<void()> settingsChanged;

} // namespace

void MarkSettingsChanged()
{
    if (settingsChanged)
        settingsChanged();
}

void KeepSettingsWith(const void *owner, std::function<void()> changed)
{
    settingsKeeper = owner;
    settingsChanged = std::move(changed);
}

void StopKeepingSettings(const void *owner)
{
    if (settingsKeeper != owner)
        return;
    settingsKeeper = nullptr;
    settingsChanged = nullptr;
}

namespace {

// The copy of an older layout's file, kept for the operator: it may hold a
// password, so it is the owner's alone whatever the old file's mode was.
// Never over an earlier copy, nor through a link at its name.
bool KeepOldVersion(const QString &path, const QString &copy)
{
    const std::optional<QByteArray> bytes = SafeFile::read(path);
    struct stat st;
    if (!bytes || ::lstat(QFile::encodeName(copy).constData(), &st) == 0 || errno != ENOENT)
        return false;
    return SafeFile::replace(copy, *bytes, true);
}

// How a text key is stored beyond the plain profile value.
enum class Form {
    Plain,
    Message, // line breaks as the four characters \r\n (sectioned layout only)
    Quoted,  // enclosed in single quotes so leading and trailing blanks survive
};

// One key of the file. flat is the key in [Krovan] of the older flat layout
// that fills the same field; without one the field takes the flat default.
struct Key {
    const char16_t *section;
    const char16_t *name;
    const char16_t *flat = nullptr;
    Form form = Form::Plain;
    bool saved = true;        // the icon variants are only read, never saved
    bool flatTouched = true;  // the flat layout had no background at all
};

// Every key but Version, in the order a save writes them. Keys new to the file
// are appended in this order, so a file created by a save has its sections and
// keys in exactly this order ([Config] is written in two runs, both landing in
// its one section). visit(key, field, default, flat default).
template <class Record, class Visit>
void forEachKey(Record &s, Visit &&visit)
{
    const auto key = [&](const Key &k, auto &field, auto def) { visit(k, field, def, def); };

    key({u"Krovan", u"ScreenMode", u"ScreenMode"}, s.Krovan.ScreenMode, StayMode::TaskbarIcon);
    key({u"Krovan", u"ListMode", u"ListMode"}, s.Krovan.ListMode, ListStyle::LargeIcons);
    key({u"Krovan", u"FixIcon"}, s.Krovan.FixIcon, 0);
    key({u"Krovan", u"IconImageType", u"IconImageType", Form::Plain, false}, s.Krovan.IconImageType, 0);
    key({u"Krovan", u"OffIconImageType", u"OffIconImageType", Form::Plain, false}, s.Krovan.OffIconImageType, 0);

    key({u"MainWnd", u"Size", u"MainSize"}, s.MainWnd.Size, u"E,E");
    key({u"MainWnd", u"Pos", u"MainPos"}, s.MainWnd.Pos, u"E,E");
    visit(Key{u"MainWnd", u"ColWidth", u"MainColSize"}, s.MainWnd.ColWidth, u"50,50,50,50,50,50,50,50,50,50,0",
          u"50,50,50,50,50,50,50,50,50,50,50,0");
    key({u"MainWnd", u"ColPosition"}, s.MainWnd.ColPosition, u"0,1,2,3,4,5,6,7,8,9,10,11,12");

    key({u"EditWnd", u"Size", u"EditSize"}, s.EditWnd.Size, u"E,E");
    key({u"EditWnd", u"Pos", u"EditPos"}, s.EditWnd.Pos, u"E,E");
    key({u"EditWnd", u"ColWidth", u"EditColSize"}, s.EditWnd.ColWidth, u"50,50,50,50,50,50,50,50,50,0,0");
    key({u"EditWnd", u"Split", u"NetworkWidth"}, s.EditWnd.Split, 272);
    key({u"EditWnd", u"LoginFile", u"SetupLoginWaveFile", Form::Quoted}, s.EditWnd.LoginFile, u"");
    key({u"EditWnd", u"LogoutFile", u"SetupLogoutWaveFile", Form::Quoted}, s.EditWnd.LogoutFile, u"");
    key({u"EditWnd", u"CommentPrior", u"CommentPrior"}, s.EditWnd.CommentPrior, 0);

    key({u"AccWnd", u"Size", u"SessionSize"}, s.AccWnd.Size, u"E,E");
    key({u"AccWnd", u"Pos", u"SessionPos"}, s.AccWnd.Pos, u"E,E");
    key({u"AccWnd", u"ColWidth", u"SessionColSize"}, s.AccWnd.ColWidth, u"80,120,60,70,50");

    key({u"Config", u"CheckInterval", u"CheckTime"}, s.Config.CheckInterval, 5);
    key({u"Config", u"WaitWave", u"WaveWait"}, s.Config.WaitWave, 1);
    key({u"Config", u"MessageLevel", u"MessageLevel"}, s.Config.MessageLevel, NoticeLevel::Window);
    key({u"Config", u"MessageSpeed"}, s.Config.MessageSpeed, BarSpeed::Slow);

    const auto event = [&](const char16_t *section, auto &e, const char16_t *const flat[8]) {
        key({section, u"ShowMsg", flat[0]}, e.ShowMsg, 1);
        key({section, u"DoAction", flat[1]}, e.DoAction, 0);
        key({section, u"ManagerReport", flat[2]}, e.ManagerReport, 0);
        key({section, u"AutoMAC"}, e.AutoMAC, 0);
        key({section, u"ShowMsgTime", flat[3]}, e.ShowMsgTime, 7);
        key({section, u"DoRecord", flat[4]}, e.DoRecord, 0);
        key({section, u"RecordFile", flat[5]}, e.RecordFile, u"KR%y%m%d");
        key({section, u"RecordFileExp", flat[6]}, e.RecordFileExp, u"log");
        key({section, u"RecordFolder", flat[7]}, e.RecordFolder, u"");
    };
    static const char16_t *const loginFlat[8] = {u"LoginMsg", u"LoginWave", u"LoginManagerReport", u"MsgTimeLogin",
                                                 u"LoginRecord", u"LoginRecordFile", u"LoginRecordFileExp",
                                                 u"LoginRecordDir"};
    static const char16_t *const logoutFlat[8] = {u"LogoutMsg", u"LogoutWave", u"LogoutManagerReport",
                                                  u"MsgTimeLogout", u"LogoutRecord", u"LogoutRecordFile",
                                                  u"LogoutRecordFileExp", u"LogoutRecordDir"};
    event(u"Login", s.Login, loginFlat);
    event(u"Logout", s.Logout, logoutFlat);

    const auto allEvent = [&](const char16_t *section, auto &e, const char16_t *const flat[8]) {
        key({section, u"ShowMsg", flat[0]}, e.ShowMsg, 1);
        key({section, u"PlayWave", flat[1]}, e.PlayWave, 0);
        key({section, u"WaveFile", flat[2]}, e.WaveFile, u"");
        key({section, u"ActTime", flat[3]}, e.ActTime, 5);
        key({section, u"Action", flat[4]}, e.Action, AllEventAction::Nothing);
        key({section, u"ActFile", flat[5]}, e.ActFile, u"");
        key({section, u"ShowMsgTime", flat[6]}, e.ShowMsgTime, 7);
        key({section, u"ManagerReport", flat[7]}, e.ManagerReport, 0);
    };
    static const char16_t *const allLoginFlat[8] = {u"AllLogin", u"AllLoginWave", u"AllLoginWaveFile",
                                                    u"AllLoginActTime", u"AllLoginAct", u"AllLoginActFile",
                                                    u"AllLoginTime", u"AllLoginManagerReport"};
    static const char16_t *const allLogoutFlat[8] = {u"AllLogout", u"AllLogoutWave", u"AllLogoutWaveFile",
                                                     u"AllLogoutActTime", u"AllLogoutAct", u"AllLogoutActFile",
                                                     u"AllLogoutTime", u"AllLogoutManagerReport"};
    allEvent(u"AllLogin", s.AllLogin, allLoginFlat);
    allEvent(u"AllLogout", s.AllLogout, allLogoutFlat);

    key({u"Access", u"CheckInterval", u"AccChk"}, s.Access.CheckInterval, 300);
    key({u"Access", u"CheckLevel"}, s.Access.CheckLevel, AccessDepth::Files);
    visit(Key{u"Access", u"ReportLevel"}, s.Access.ReportLevel, AccessDepth::Files, AccessDepth::Connections);
    key({u"Access", u"ShowMsg", u"AllEnter"}, s.Access.ShowMsg, 1);
    key({u"Access", u"PlayWave", u"AllEnterWave"}, s.Access.PlayWave, 0);
    key({u"Access", u"WaveFile", u"AllEnterWaveFile"}, s.Access.WaveFile, u"");
    key({u"Access", u"OpenAccessList", u"OpenSessionWindow"}, s.Access.OpenAccessList, 0);
    key({u"Access", u"AccessListAutoClose"}, s.Access.AccessListAutoClose, 0);
    key({u"Access", u"IPCNoChk", u"IPCNoChk"}, s.Access.IPCNoChk, 0);
    key({u"Access", u"ShowMsgTime", u"AllEnterTime"}, s.Access.ShowMsgTime, 7);
    key({u"Access", u"NotUserOnly", u"UserOnly"}, s.Access.NotUserOnly, 0);
    key({u"Access", u"SysvolNoChk"}, s.Access.SysvolNoChk, 0);
    key({u"Access", u"MyPCNoChk"}, s.Access.MyPCNoChk, 0);
    key({u"Access", u"DoRecord", u"SessionRecord"}, s.Access.DoRecord, 0);
    key({u"Access", u"RecordFile", u"SessionRecordFile"}, s.Access.RecordFile, u"KR%y%m%d");
    key({u"Access", u"RecordFileExp", u"SessionRecordFileExp"}, s.Access.RecordFileExp, u"log");
    key({u"Access", u"RecordFolder", u"SessionRecordDir"}, s.Access.RecordFolder, u"");
    key({u"Access", u"ManagerReport", u"AccessManagerReport"}, s.Access.ManagerReport, 0);

    key({u"Config", u"SafeCheck", u"SafeCheck"}, s.Config.SafeCheck, 0);
    key({u"Config", u"StartCheck", u"StartCheck"}, s.Config.StartCheck, 0);
    key({u"Config", u"StartCheckMsg", u"StartCheckMsg"}, s.Config.StartCheckMsg, 0);
    key({u"Config", u"Manager", u"Manager"}, s.Config.Manager, u"");
    key({u"Config", u"SmallIcon"}, s.Config.SmallIcon, 0);
    key({u"Config", u"DisableClose"}, s.Config.DisableClose, 0);
    key({u"Config", u"BlinkIcon"}, s.Config.BlinkIcon, BlinkMode::None);
    key({u"Config", u"BlinkAlways"}, s.Config.BlinkAlways, 0);
    key({u"Config", u"DblClickAction"}, s.Config.DblClickAction, 0);
    key({u"Config", u"XMLEncoding"}, s.Config.XMLEncoding, u"UTF-8");
    key({u"Config", u"XSLFile"}, s.Config.XSLFile, u"");
    key({u"Config", u"Language"}, s.Config.Language, u"");

    key({u"TCPIP", u"TimeOut", u"PingTimeOut"}, s.TCPIP.TimeOut, 2000);
    key({u"TCPIP", u"SendBytes", u"PingSendByte"}, s.TCPIP.SendBytes, 0);
    key({u"TCPIP", u"TTL", u"PingTTL"}, s.TCPIP.TTL, 128);
    key({u"TCPIP", u"Retry"}, s.TCPIP.Retry, 1);
    key({u"TCPIP", u"Parallel"}, s.TCPIP.Parallel, 1);
    key({u"TCPIP", u"NeighbourCheck"}, s.TCPIP.NeighbourCheck, 0);
    key({u"TCPIP", u"TcpPorts"}, s.TCPIP.TcpPorts, u"");
    key({u"TCPIP", u"AwayPasses"}, s.TCPIP.AwayPasses, 1);

    key({u"Messenger", u"SendMessage", u"SendMessage", Form::Message}, s.Messenger.SendMessage, u"");
    key({u"Messenger", u"AutoSend", u"AutoSendMessage"}, s.Messenger.AutoSend, 0);

    const Key background{.section = u"Background", .name = nullptr, .flatTouched = false};
    const auto bg = [&](const char16_t *name) {
        Key k = background;
        k.name = name;
        return k;
    };
    key(bg(u"File"), s.Background.File, u"");
    key(bg(u"Transport"), s.Background.Transport, 1);
    key(bg(u"TextColor"), s.Background.TextColor, 0);
    key(bg(u"TileMode"), s.Background.TileMode, TilePlacement::Centred);

    key({u"Mail", u"Server"}, s.Mail.Server, u"");
    key({u"Mail", u"Port"}, s.Mail.Port, 587);
    key({u"Mail", u"Security"}, s.Mail.Security, u"starttls");
    key({u"Mail", u"User"}, s.Mail.User, u"");
    key({u"Mail", u"Password"}, s.Mail.Password, u"");
    key({u"Mail", u"From"}, s.Mail.From, u"");
    key({u"Mail", u"CAFile"}, s.Mail.CAFile, u"");

    key({u"Web", u"Port"}, s.Web.Port, 0);
    key({u"Web", u"Address"}, s.Web.Address, u"127.0.0.1");
    key({u"Web", u"Token"}, s.Web.Token, u"");
    key({u"Web", u"CertFile"}, s.Web.CertFile, u"");
    key({u"Web", u"KeyFile"}, s.Web.KeyFile, u"");

    key({u"MQTT", u"Broker"}, s.Mqtt.Broker, u"");
    key({u"MQTT", u"Port"}, s.Mqtt.Port, 1883);
    key({u"MQTT", u"Topic"}, s.Mqtt.Topic, u"corvane");
    key({u"MQTT", u"User"}, s.Mqtt.User, u"");
    key({u"MQTT", u"Password"}, s.Mqtt.Password, u"");
    key({u"MQTT", u"CAFile"}, s.Mqtt.CAFile, u"");
}

template <class Field, class Default>
Field readField(const ProfileStore &store, QStringView section, QStringView name, Default def)
{
    if constexpr (std::is_same_v<Field, QString>)
        return store.readString(section, name, QString::fromUtf16(def));
    else if constexpr (std::is_same_v<Field, bool>)
        return store.readBool(section, name, def != 0);
    else
        return static_cast<Field>(store.readInteger(section, name, def)); // 16- and 8-bit fields wrap
}

template <class Field, class Default>
Field flatDefault(Default def)
{
    if constexpr (std::is_same_v<Field, QString>)
        return QString::fromUtf16(def);
    else if constexpr (std::is_same_v<Field, bool>)
        return def != 0;
    else
        return static_cast<Field>(def);
}

bool isTwoDigits(const QString &argument)
{
    const auto digit = [](QChar c) { return c >= u'0' && c <= u'9'; };
    return argument.size() == 2 && digit(argument[0]) && digit(argument[1]);
}

} // namespace

QString SettingsFilePath(const QString &programDir)
{
    return programDir + QStringLiteral("Krovan.ini");
}

QString OldVersionFilePath(const QString &programDir)
{
    return programDir + QStringLiteral("Krovan.oldver.ini");
}

bool IsSectionedVersion(QStringView version)
{
    return Cp932::compareBytes(version, u"1.92") >= 0;
}

QString EncodeMessageText(const QString &message)
{
    // A lone CR or LF is a line break too; stored raw it would split the
    // file's line.
    QString stored = message;
    stored.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    stored.replace(u'\r', u'\n');
    stored.replace(QStringLiteral("\n"), QStringLiteral("\\r\\n"));
    return stored;
}

QString DecodeMessageText(const QString &stored)
{
    QString message = stored;
    message.replace(QStringLiteral("\\r\\n"), QStringLiteral("\r\n"));
    return message;
}

void LoadSettings(ProgramSettings &s, const QString &programDir, const QStringList &arguments,
                  const std::function<bool()> &xmlCheck)
{
    s.ProgramDir = programDir;
    if (!s.ProgramDir.isEmpty() && !s.ProgramDir.endsWith(u'/'))
        s.ProgramDir += u'/';
    const QString path = SettingsFilePath(s.ProgramDir);
    ProfileStore store(path);

    store.beginBatch();
    s.Krovan.Version = store.readString(u"Krovan", u"Version", QStringLiteral("0.00"));
    const bool versionMissing = store.readString(u"Krovan", u"Version", QStringLiteral("-")) == u"-";
    const bool sectioned = IsSectionedVersion(s.Krovan.Version);
    forEachKey(s, [&](const Key &k, auto &field, auto def, auto flatDef) {
        using Field = std::remove_cvref_t<decltype(field)>;
        if (sectioned) {
            field = readField<Field>(store, k.section, k.name, def);
            if constexpr (std::is_same_v<Field, QString>) {
                if (k.form == Form::Message)
                    field = DecodeMessageText(field);
            }
        } else if (!k.flatTouched) {
            return;
        } else if (k.flat) {
            field = readField<Field>(store, u"Krovan", k.flat, flatDef);
        } else {
            field = flatDefault<Field>(flatDef);
        }
    });
    store.endBatch();

    if (!arguments.isEmpty() && isTwoDigits(arguments.first())) {
        s.Krovan.IconImageType = quint16(arguments.first()[0].unicode() - u'0');
        s.Krovan.OffIconImageType = quint16(arguments.first()[1].unicode() - u'0');
        store.beginBatch();
        store.writeInteger(u"Krovan", u"IconImageType", s.Krovan.IconImageType);
        store.writeInteger(u"Krovan", u"OffIconImageType", s.Krovan.OffIconImageType);
        store.endBatch();
    }

    // The old file is kept before its keys go; without a copy (none made,
    // or an earlier copy already there) nothing is erased. A file written by
    // hand without the version key is taken for an old one too (stored
    // installations rely on that), but the operator is told.
    if (!sectioned && KeepOldVersion(path, OldVersionFilePath(s.ProgramDir))) {
        store.eraseSection(u"Krovan");
        JournalMessage(JournalPriority::Warning,
                       QStringLiteral("%1 %2: read as an older version's settings, kept as %3; "
                                      "a file written by hand starts with [Krovan] and Version=2.10a")
                           .arg(path,
                                versionMissing ? QStringLiteral("has no [Krovan] Version")
                                               : QStringLiteral("is of version ") + s.Krovan.Version,
                                OldVersionFilePath(s.ProgramDir)));
    }

    // Any other placement is drawn centred, so it is held as centred; so is
    // the flat layout's missing one, or its first save would write a 0 that
    // the next load reads as 1.
    if (s.Background.TileMode < TilePlacement::Centred || s.Background.TileMode > TilePlacement::Stretched)
        s.Background.TileMode = TilePlacement::Centred;

    if (s.Access.CheckLevel < s.Access.ReportLevel)
        s.Access.ReportLevel = s.Access.CheckLevel;

    if (xmlCheck && !xmlCheck()) {
        for (QString *ext : {&s.Login.RecordFileExp, &s.Logout.RecordFileExp, &s.Access.RecordFileExp}) {
            if (ext->toUpper() == u"XML")
                *ext = QStringLiteral("log");
        }
    }
}

bool HoldsSecrets(const ProgramSettings &s)
{
    return !s.Mail.Password.isEmpty() || !s.Web.Token.isEmpty() || !s.Mqtt.Password.isEmpty()
        || s.Config.Manager.contains(QLatin1String("http://"), Qt::CaseInsensitive)
        || s.Config.Manager.contains(QLatin1String("https://"), Qt::CaseInsensitive);
}

bool SaveSettings(const ProgramSettings &held)
{
    ProgramSettings s = held;
    s.Krovan.ScreenMode = held.RunOnly.ScreenMode.ToSave(held.Krovan.ScreenMode);
    s.MainWnd.Pos = held.RunOnly.MainPos.ToSave(held.MainWnd.Pos);
    s.AllLogout.Action = held.RunOnly.AllLogoutAction.ToSave(held.AllLogout.Action);
    ProfileStore store(SettingsFilePath(s.ProgramDir));
    // A password, or a webhook's URL (itself the secret), is for this
    // user's eyes only from the file's first byte on.
    store.setPrivate(HoldsSecrets(s));
    store.beginBatch();
    store.writeString(u"Krovan", u"Version", QStringLiteral("2.10a"));
    forEachKey(s, [&](const Key &k, const auto &field, auto, auto) {
        using Field = std::remove_cvref_t<decltype(field)>;
        if (!k.saved)
            return;
        if constexpr (std::is_same_v<Field, QString>) {
            QString text = field;
            if (k.form == Form::Message)
                text = EncodeMessageText(text);
            text = k.form == Form::Quoted ? u'\'' + text + u'\'' : ProfileTextValue(text);
            store.writeString(k.section, k.name, text);
        } else if constexpr (std::is_same_v<Field, bool>) {
            store.writeBool(k.section, k.name, field);
        } else {
            store.writeInteger(k.section, k.name, qint32(field));
        }
    });
    return store.endBatch();
}

QList<std::optional<qint32>> ReadIntegerList(QStringView text)
{
    QList<std::optional<qint32>> items;
    for (QStringView item : text.split(u',')) {
        const QByteArray bytes = item.trimmed().toLatin1();
        items.append(ParseProfileInteger(bytes));
    }
    return items;
}

std::pair<qint32, qint32> ReadIntegerPair(QStringView text, qint32 firstFallback, qint32 secondFallback)
{
    const auto items = ReadIntegerList(text);
    return {items.value(0).value_or(firstFallback), items.value(1).value_or(secondFallback)};
}

QList<qint32> ReadColumnWidths(QStringView text, qsizetype count, qint32 fallbackWidth)
{
    const auto items = ReadIntegerList(text);
    QList<qint32> widths;
    widths.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        widths.append(items.value(i).value_or(fallbackWidth));
    return widths;
}

QList<qint32> ReadColumnOrder(QStringView text, qsizetype count)
{
    const auto items = ReadIntegerList(text);
    if (items.size() != count)
        return {};
    QList<qint32> order;
    QList<bool> seen(count, false);
    for (const auto &item : items) {
        if (!item || *item < 0 || *item >= count || seen[*item])
            return {};
        seen[*item] = true;
        order.append(*item);
    }
    return order;
}

QString JoinIntegerList(const QList<qint32> &values)
{
    QStringList items;
    items.reserve(values.size());
    for (qint32 v : values)
        items.append(QString::number(v));
    return items.join(u',');
}
