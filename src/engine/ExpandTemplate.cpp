#include "engine/ExpandTemplate.h"

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
