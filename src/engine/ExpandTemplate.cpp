#include "engine/ExpandTemplate.h"

#include "engine/WatchEntry.h"

#include <QProcess>

QStringList EntryTemplateValues(const WatchEntry &entry)
{
    QString address = WithoutFinderMark(entry.Address);
    address.remove(u' ');
    return {entry.UserName, WithoutFinderMark(entry.ResourceName), entry.StatusText, entry.Domain, entry.Provider, address};
}

QString ExpandTemplate(const QString &text, const QString &letters, const QStringList &values)
{
    if (letters.size() != values.size())
        return QString();
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'%') {
            out += c;
            continue;
        }
        if (i + 1 == text.size()) {
            out += c;
            break;
        }
        const QChar next = text[++i];
        const qsizetype at = letters.indexOf(next);
        if (at >= 0)
            out += values[at];
        else if (next == u'%')
            out += u'%';
        else
            out += c, out += next;
    }
    return out;
}

QStringList ExpandCommandWords(const QString &action, const QString &letters, const QStringList &values,
                               QString *refusedWord)
{
    QStringList words = QProcess::splitCommand(action);
    for (QString &word : words) {
        const bool operatorDash = word.startsWith(u'-');
        word = ExpandTemplate(word, letters, values);
        if (!operatorDash && word.startsWith(u'-')) {
            if (refusedWord)
                *refusedWord = word;
            return {};
        }
    }
    return words;
}
