#pragma once

// One row of the watch list as the rest of the program sees it. The rows of
// the list model are the store; this record is what ReadEntry decodes a row
// into and WriteEntry stores back.

#include <QString>
#include <QtGlobal>

// A name or address that a pass found by itself, not the operator's, carries
// the finder's mark: a leading "*".
inline bool HasFinderMark(QStringView text) { return text.startsWith(u'*'); }
inline QString WithFinderMark(const QString &text) { return u'*' + text; }
inline QString WithoutFinderMark(const QString &text) { return HasFinderMark(text) ? text.mid(1) : text; }

// Last known state of a terminal. Right after loading a row holds its image
// index here (2, 11, 14, 17, or 8 for a separator), which counts as neither
// logged in nor logged out; hence an open 8-bit code, not a closed set.
enum EntryState : quint8 {
    StateLoggedIn = 0,
    StateLoggedOut = 1,
    StateUnconfirmed = 2,
    StateResting = 3,
    StateWatchError = 4,
};

// First image of an entry's icon set. A stored file may carry any other
// number; it is kept as it stands in the row's data word.
enum IconKind : quint8 {
    KindStandard = 0,
    KindSeparator = 8,
    KindSecond = 9,
    KindThird = 12,
    KindFourth = 15,
};

// Images shared by every icon kind.
enum FixedImage : qint32 {
    ImageUnconfirmed = 2,
    ImageResting = 3,
    ImageWatchError = 4,
    ImageSeparator = 8,
};

// The state texts of the status column: stored in the rows and the list
// file and compared as they stand; the list model shows them translated.
inline const QString StatusLoggedIn = QString::fromUtf8(QT_TRANSLATE_NOOP("WatchList", "ﾛｸﾞｲﾝ"));
inline const QString StatusLoggedOut = QString::fromUtf8(QT_TRANSLATE_NOOP("WatchList", "ﾛｸﾞｱｳﾄ"));
inline const QString StatusUnconfirmed = QString::fromUtf8(QT_TRANSLATE_NOOP("WatchList", "未確認"));
inline const QString StatusResting = QString::fromUtf8(QT_TRANSLATE_NOOP("WatchList", "お休み"));
inline const QString StatusWatchError = QString::fromUtf8(QT_TRANSLATE_NOOP("WatchList", "ﾈｯﾄﾜｰｸ監視ｴﾗｰ"));

// A separator row carries this as its resource name and as its status text.
inline const QString SeparatorText = QStringLiteral("-----");

// Texts of the IP check column.
inline const QString IPCheckOn = QStringLiteral("Y");
inline const QString IPCheckOff = QStringLiteral("N");
inline const QString IPCheckNone = QStringLiteral("-");

struct WatchEntry {
    qint32 ImageIndex = 0;
    int FileOrder = 0;          // only the low 16 bits survive in a row
    QString UserName;
    QString ResourceName;
    EntryState State = StateLoggedIn;
    QString StatusText;
    QString Domain;
    QString LoginAction;
    QString LogoutAction;
    QString Provider;
    QString Address;
    bool IPCheck = false;
    QString MAC;
    QString Result;
    IconKind Kind = KindStandard;
    qint32 IconTop = -1;
    qint32 IconLeft = -1;
};

// The worker's copy of an entry; a skipped item is left untouched by the pass.
struct WorkItem : WatchEntry {
    bool Skip = false;
    // The identity of the row it was copied from (WatchListModel::rowId):
    // the operator may sort the rows while the pass runs.
    quint64 RowId = 0;
    // Passes in a row that found the present terminal absent.
    int Misses = 0;
    // How the pass saw it present (SeenBy), none when it did not.
    quint8 SeenBy = 0;
};

// How a terminal was seen present, as a row keeps it.
enum SeenBy : quint8 { SeenByNone, SeenByEcho, SeenByBrowseList, SeenByDiscovery, SeenByArp, SeenByTcp };
inline const char *SeenByName(quint8 way)
{
    static const char *const names[] = {"", "echo", "browse list", "discovery", "arp", "tcp"};
    return way < 6 ? names[way] : "";
}

// A row's 32-bit data word: bits 0-7 icon kind, 8-15 state, 16-31 file order.
constexpr quint32 PackDataWord(quint8 kind, quint8 state, int fileOrder)
{
    return quint32(kind) | quint32(state) << 8 | (quint32(fileOrder) & 0xFFFFu) << 16;
}
constexpr IconKind DataWordKind(quint32 word) { return IconKind(word & 0xFFu); }
constexpr EntryState DataWordState(quint32 word) { return EntryState((word >> 8) & 0xFFu); }
constexpr int DataWordFileOrder(quint32 word) { return int(word >> 16); }

// The image a freshly loaded entry of this kind shows: its kind's
// "unconfirmed" picture, the separator picture, or the standard one for a
// kind the program does not know.
constexpr qint32 UnconfirmedImage(int kind)
{
    switch (kind) {
    case KindSeparator: return ImageSeparator;
    case KindSecond:
    case KindThird:
    case KindFourth: return kind + 2;
    default: return ImageUnconfirmed;
    }
}
