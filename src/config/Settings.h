#pragma once

// The settings record: one field per key of Krovan.ini, grouped by section and
// named after the keys, so Settings.Config.CheckInterval is [Config]
// CheckInterval. Zero-filled until LoadSettings fills it; read directly by
// everyone after that, written back by SaveSettings.
//
// Integer fields hold what they are declared as: a quint16 field keeps the
// value read modulo 65536, TTL modulo 256, and they are written back as held.

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <optional>
#include <utility>

// A choice this run cannot honour (no notification area, no right to shut
// down, a screen smaller than the stored position) is replaced for this run
// only: the stored value is kept here and saved again while the setting
// still holds the replacement, so one run without a display keeps the
// operator's desktop choices. A value chosen meanwhile is saved as chosen.
template <typename T>
struct RunOnlyValue {
    T Stored{};
    T Forced{};
    bool Set = false;

    bool operator==(const RunOnlyValue &) const = default;

    // Uses forced for this run in place of the setting's stored value.
    void Force(T &setting, const T &forced)
    {
        if (setting == forced)
            return;
        if (!Set)
            Stored = setting;
        Set = true;
        Forced = forced;
        setting = forced;
    }
    // The value to save for the setting as it stands.
    const T &ToSave(const T &current) const { return Set && current == Forced ? Stored : current; }
};

struct ProgramSettings {
    bool operator==(const ProgramSettings &) const = default;
    struct ProgramSection {
        bool operator==(const ProgramSection &) const = default;
        QString Version;
        qint32 ScreenMode = 0;
        qint32 ListMode = 0;
        bool FixIcon = false;
        quint16 IconImageType = 0;
        quint16 OffIconImageType = 0;
    };
    struct MainWindowSection {
        bool operator==(const MainWindowSection &) const = default;
        QString Size;
        QString Pos;
        QString ColWidth;
        QString ColPosition;
    };
    struct EditorWindowSection {
        bool operator==(const EditorWindowSection &) const = default;
        QString Size;
        QString Pos;
        QString ColWidth;
        qint32 Split = 0;
        QString LoginFile;
        QString LogoutFile;
        bool CommentPrior = false;
    };
    struct AccessWindowSection {
        bool operator==(const AccessWindowSection &) const = default;
        QString Size;
        QString Pos;
        QString ColWidth;
    };
    struct ConfigSection {
        bool operator==(const ConfigSection &) const = default;
        quint16 CheckInterval = 0;
        bool WaitWave = false;
        qint32 MessageLevel = 0;
        qint32 MessageSpeed = 0;
        bool SafeCheck = false;
        bool StartCheck = false;
        bool StartCheckMsg = false;
        QString Manager;
        bool SmallIcon = false;
        bool DisableClose = false;
        qint32 BlinkIcon = 0;
        bool BlinkAlways = false;
        qint32 DblClickAction = 0;
        QString XMLEncoding;
        QString XSLFile;
        QString Language; // "ja", "en", or empty: the user's locale decides
    };
    // [Login] and [Logout]: one terminal coming or going.
    struct EventSection {
        bool operator==(const EventSection &) const = default;
        bool ShowMsg = false;
        bool DoAction = false;
        bool ManagerReport = false;
        bool AutoMAC = false;
        quint16 ShowMsgTime = 0;
        bool DoRecord = false;
        QString RecordFile;
        QString RecordFileExp;
        QString RecordFolder;
    };
    // [AllLogin] and [AllLogout]: every counted terminal in, or out.
    struct AllEventSection {
        bool operator==(const AllEventSection &) const = default;
        bool ShowMsg = false;
        bool PlayWave = false;
        QString WaveFile;
        quint16 ActTime = 0;
        qint32 Action = 0;
        QString ActFile;
        quint16 ShowMsgTime = 0;
        bool ManagerReport = false;
    };
    struct AccessSection {
        bool operator==(const AccessSection &) const = default;
        quint16 CheckInterval = 0;
        qint32 CheckLevel = 0;
        qint32 ReportLevel = 0;
        bool ShowMsg = false;
        bool PlayWave = false;
        QString WaveFile;
        bool OpenAccessList = false;
        bool AccessListAutoClose = false;
        bool IPCNoChk = false;
        bool NotUserOnly = false;
        bool SysvolNoChk = false;
        bool MyPCNoChk = false;
        quint16 ShowMsgTime = 0;
        bool DoRecord = false;
        QString RecordFile;
        QString RecordFileExp;
        QString RecordFolder;
        bool ManagerReport = false;
    };
    struct TcpipSection {
        bool operator==(const TcpipSection &) const = default;
        qint32 TimeOut = 0;
        qint32 SendBytes = 0;
        quint8 TTL = 0;
        // Echoes sent again to a terminal that has not answered by the
        // time-out; the pass uses 0 to 5 of it.
        qint32 Retry = 0;
        // The pass sends all its echoes at once and waits once.
        bool Parallel = false;
        // A terminal on a directly connected network that does not answer
        // the echo is present when it answers address resolution now.
        bool NeighbourCheck = false;
        // Ports ("445,139") whose connection attempt a terminal that does
        // not answer the echo may answer instead; empty: none.
        QString TcpPorts;
        // Passes in a row that must find a present terminal absent before it
        // is logged out; the pass uses 1 to 10 of it.
        qint32 AwayPasses = 0;
    };
    struct MessengerSection {
        bool operator==(const MessengerSection &) const = default;
        QString SendMessage; // line breaks as CR LF
        bool AutoSend = false;
    };
    struct BackgroundSection {
        bool operator==(const BackgroundSection &) const = default;
        QString File;
        bool Transport = false;
        qint32 TextColor = 0;
        qint32 TileMode = 0;
    };

    // [Mail]: the server that delivers the reports sent to mailto:
    // managers.
    struct MailSection {
        bool operator==(const MailSection &) const = default;
        QString Server;
        qint32 Port = 0;
        QString Security; // "starttls", "tls" or "none"
        QString User;
        QString Password;
        QString From;
        QString CAFile;
    };

    // [Web]: the HTTP endpoint (off with port 0).
    struct WebSection {
        bool operator==(const WebSection &) const = default;
        qint32 Port = 0;
        QString Address;
        QString Token;
        QString CertFile;
        QString KeyFile;
    };
    // [MQTT]: presence for home and office automation (off without a
    // broker).
    struct MqttSection {
        bool operator==(const MqttSection &) const = default;
        QString Broker;
        qint32 Port = 0;
        QString Topic;
        QString User;
        QString Password;
        QString CAFile;
    };

    ProgramSection Krovan;
    MainWindowSection MainWnd;
    EditorWindowSection EditWnd;
    AccessWindowSection AccWnd;
    ConfigSection Config;
    EventSection Login;
    EventSection Logout;
    AllEventSection AllLogin;
    AllEventSection AllLogout;
    AccessSection Access;
    TcpipSection TCPIP;
    MessengerSection Messenger;
    BackgroundSection Background;
    MailSection Mail;
    WebSection Web;
    MqttSection Mqtt;
    QString ProgramDir; // ends in '/'

    // Not saved as such: the stored values this run replaced.
    struct RunOnlyValues {
        bool operator==(const RunOnlyValues &) const = default;
        RunOnlyValue<qint32> ScreenMode;
        RunOnlyValue<QString> MainPos;
        RunOnlyValue<qint32> AllLogoutAction;
    } RunOnly;
};

// The one record of the process.
extern ProgramSettings Settings;

// Whoever changes the record during the run says so here, where it changes
// (a dialog's apply, a window moved or sized, a column's width): what keeps
// the record on disk is told at once, so nothing compares it on a clock.
// Nothing happens while nobody keeps it (before the watch starts, in tests).
void MarkSettingsChanged();
// The keeper is told of every mark until it stops; owner tells keepers apart
// (a keeper that ended never stops another's keeping).
void KeepSettingsWith(const void *owner, std::function<void()> changed);
void StopKeepingSettings(const void *owner);

// The settings file in a program directory (which ends in '/').
QString SettingsFilePath(const QString &programDir);
// The copy kept of a file of the older layout when it is upgraded.
QString OldVersionFilePath(const QString &programDir);

// True when a [Krovan] Version text selects the sectioned layout: not below
// "1.92" in a byte-by-byte comparison (so "10.0" counts as newer).
bool IsSectionedVersion(QStringView version);

// Fills the record from programDir + "Krovan.ini": the sectioned layout when
// [Krovan] Version is "1.92" or later, otherwise the flat layout of older
// versions, where every field that had no key takes its fixed value and the
// [Background] fields stay as they are. arguments are the process arguments after the program name; a
// first argument of exactly two decimal digits sets IconImageType and
// OffIconImageType and writes them to the file. A file of the older, flat
// layout is read from its [Krovan] keys, copied to Krovan.oldver.ini (never
// over an existing copy) and, once copied, its [Krovan] section is erased; the
// next save writes the sectioned layout. xmlCheck switches the XML document
// active and inactive again; when it fails, XML record extensions fall back to
// "log". A null xmlCheck counts as working. A [Background] TileMode outside
// 1-4 is taken as 1 (centred), so the next save stores 1.
void LoadSettings(ProgramSettings &s, const QString &programDir, const QStringList &arguments,
                  const std::function<bool()> &xmlCheck);

// Writes every key of the sectioned layout to s.ProgramDir + "Krovan.ini" in
// one rewrite of the file: Version as "2.10a", SendMessage with its line
// breaks as \r\n, LoginFile and LogoutFile in single quotes, and any other
// text that would not read back as it is held (ProfileTextValue) in single
// quotes too; the icon variants are never written. Lines and sections the program does not know
// stay. A value replaced for this run only (RunOnly) is saved as stored.
// False when the file could not be written.
bool SaveSettings(const ProgramSettings &s);
// Whether the settings hold a secret (a mail or MQTT password, a webhook
// URL, the web token): the file is then readable by its owner only.
bool HoldsSecrets(const ProgramSettings &s);

// Line breaks of a [Messenger] SendMessage as stored in the file (the four
// characters \r\n) and back.
QString EncodeMessageText(const QString &message);
QString DecodeMessageText(const QString &stored);

// The items of a comma-joined list of integers, each read by itself (blanks
// around an item are allowed): nothing for an item that is empty or no
// integer. An empty text is a list of one empty item.
QList<std::optional<qint32>> ReadIntegerList(QStringView text);

// A "first,second" pair such as Size (width, height) or Pos (top, left): each
// item missing or not an integer takes its fallback, so "E,E" keeps both.
std::pair<qint32, qint32> ReadIntegerPair(QStringView text, qint32 firstFallback, qint32 secondFallback);

// Column widths for count columns: an item missing or not an integer gives
// that column the fallback width.
QList<qint32> ReadColumnWidths(QStringView text, qsizetype count, qint32 fallbackWidth);

// A column order for count columns: the identifier shown at each display
// position. Empty (keep the design order) unless the list has exactly count
// items and they are the identifiers 0 to count-1, each once.
QList<qint32> ReadColumnOrder(QStringView text, qsizetype count);

// Comma-joined decimal numbers, the form the list-valued keys are written in.
QString JoinIntegerList(const QList<qint32> &values);
