#include "console/ListEditorRules.h"

#include "platform/Cp932.h"

#include <cstring>

namespace {

QString padBytes(const QString &text, int bytes)
{
    const qsizetype length = Cp932::byteLength(text);
    return length >= bytes ? text : text + QString(bytes - length, u' ');
}

} // namespace

QString ComputerNodeText(const QString &name, const QString &comment, bool commentFirst)
{
    if (!commentFirst)
        return padBytes(name, 17) + comment;
    if (!comment.isEmpty())
        return padBytes(comment, 50) + name;
    return name;
}

QString ByteColumns(const QString &text, int first, int last)
{
    QString out;
    qsizetype position = 1; // byte column of the next character
    for (qsizetype i = 0; i < text.size();) {
        // A pair of surrogates is one character (and "?" in the code page).
        const qsizetype units = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QStringView ch = QStringView(text).mid(i, units);
        const qsizetype width = Cp932::byteLength(ch);
        if (position >= first && position + width - 1 <= last)
            out += ch;
        position += width;
        i += units;
        if (position > last)
            break;
    }
    return out;
}

void ParseComputerNodeText(const QString &text, bool commentFirst, QString &resource, QString &user)
{
    const qsizetype length = Cp932::byteLength(text);
    if (commentFirst && length > 16) {
        resource = ByteColumns(text, 51, 65).trimmed();
        user = ByteColumns(text, 1, 48).trimmed();
        return;
    }
    resource = ByteColumns(text, 1, 15).trimmed();
    if (commentFirst) {
        user = resource;
        return;
    }
    user = length <= 16 ? QString() : ByteColumns(text, 18, 65).trimmed();
    if (user.isEmpty())
        user = resource;
}

QString ActionFileText(const QString &path)
{
    return path.contains(u' ') ? u'"' + path + u'"' : path;
}

QString ShownWatchListText(const QString &text)
{
    return QCoreApplication::translate("WatchList", text.toUtf8().constData());
}

QString SaveFailedMessage(const QString &path, int error, const QString &unencodable)
{
    QString message = ShownWatchListText(SaveFailedText) + QStringLiteral("\n\n") + path;
    if (!unencodable.isEmpty())
        message += QStringLiteral("\n\n")
                   + QCoreApplication::translate("WatchList", "「%1」にはリストファイルに保存できない文字が含まれています。")
                         .arg(unencodable);
    else if (error)
        message += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
    return message;
}
