#pragma once

// The watch-list editor's rules that need no window: how a computer of the
// network tree is written as a node text and read back, and how a chosen
// file becomes an action text. Node texts are laid out in code page 932
// bytes, the columns the stored names were measured in.

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// The node text of a computer: without commentFirst the name padded with
// blanks to 17 bytes and then the comment; with commentFirst and a comment,
// the comment padded to 50 bytes and then the name; otherwise the name.
QString ComputerNodeText(const QString &name, const QString &comment, bool commentFirst);

// The resource and user names read back from a computer's node text. Without
// commentFirst: the resource name from bytes 1-15, the user name from bytes
// 18-65, or the resource name when the text is 16 bytes or shorter or that
// part is blank. With commentFirst and a text longer than 16 bytes: the
// resource name from bytes 51-65, the user name from bytes 1-48; a shorter
// text gives both from bytes 1-15. Every part is trimmed.
void ParseComputerNodeText(const QString &text, bool commentFirst, QString &resource, QString &user);

// The characters of text that lie wholly within the bytes first to last
// (1-based, inclusive) of its code page 932 form.
QString ByteColumns(const QString &text, int first, int last);

// A chosen file as an action text: in double quotes when it holds a blank,
// so that the command line keeps it as one word.
QString ActionFileText(const QString &path);

// Texts the editor shares with the main window, in Japanese as written;
// ShownWatchListText gives one in the console's language (a text it does not
// know, such as one already translated, comes back unchanged).
QString ShownWatchListText(const QString &text);

// The error of a watch-list file that cannot be written, for the main
// window's save and the editor's OK alike.
inline const QString SaveFailedText = QString::fromUtf8(QT_TRANSLATE_NOOP("WatchList", "保存に失敗しました！"));
// That error in the console's language with the file and the reason the
// system gave (an errno), for the operator to act on; `unencodable`, when
// not empty, is the text whose character the file's code page cannot hold.
QString SaveFailedMessage(const QString &path, int error, const QString &unencodable = {});

// The captions of the watch list's eleven columns, by column identity.
inline const QStringList WatchListCaptions = [] {
    static const char *const captions[] = {
        QT_TRANSLATE_NOOP("WatchList", "ﾕｰｻﾞｰ名"),         QT_TRANSLATE_NOOP("WatchList", "ﾘｿｰｽ名"),
        QT_TRANSLATE_NOOP("WatchList", "状態"),             QT_TRANSLATE_NOOP("WatchList", "ﾄﾞﾒｲﾝ/ﾜｰｸｸﾞﾙｰﾌﾟ"),
        QT_TRANSLATE_NOOP("WatchList", "ﾛｸﾞｲﾝAction"),      QT_TRANSLATE_NOOP("WatchList", "ﾛｸﾞｱｳﾄAction"),
        QT_TRANSLATE_NOOP("WatchList", "ﾈｯﾄﾜｰｸﾌﾟﾛﾊﾞｲﾀﾞ"),   QT_TRANSLATE_NOOP("WatchList", "IP"),
        QT_TRANSLATE_NOOP("WatchList", "IP調査"),           QT_TRANSLATE_NOOP("WatchList", "Result"),
        QT_TRANSLATE_NOOP("WatchList", "MAC")};
    QStringList list;
    for (const char *caption : captions)
        list << QString::fromUtf8(caption);
    return list;
}();
