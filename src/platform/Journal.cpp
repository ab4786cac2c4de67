#include "platform/Journal.h"

#include <cstdio>
#include <sys/stat.h>

namespace {

QByteArray withoutControls(const QString &text)
{
    QString clean = text;
    for (QChar &c : clean)
        if (c.category() == QChar::Other_Control)
            c = u' ';
    return clean.toUtf8();
}

QByteArray lineOf(JournalPriority priority, const QByteArray &body, bool withPriority)
{
    QByteArray line;
    if (withPriority)
        line = '<' + QByteArray::number(int(priority)) + '>';
    return line + "corvane: " + body + '\n';
}

void write(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

bool journal()
{
    static const bool isJournal = StandardErrorIsJournal();
    return isJournal;
}

} // namespace

QByteArray JournalText(JournalPriority priority, const char *what, const QString &text, bool withPriority)
{
    QByteArray body = what;
    if (!text.isEmpty())
        body += ": " + withoutControls(text);
    return lineOf(priority, body, withPriority);
}

void JournalEntries(JournalPriority priority, const char *what, const QStringList &lines)
{
    for (const QString &line : lines)
        JournalLine(priority, what,
                    line.section(u'\t', 0, 0) + QStringLiteral(" (") + line.section(u'\t', 1, 1) + u')');
}

bool StandardErrorIsJournal()
{
    const QByteArray stream = qgetenv("JOURNAL_STREAM");
    const qsizetype colon = stream.indexOf(':');
    struct stat st {};
    if (colon <= 0 || ::fstat(2, &st) != 0)
        return false;
    bool okDevice = false, okInode = false;
    const qulonglong device = stream.left(colon).toULongLong(&okDevice);
    const qulonglong inode = stream.mid(colon + 1).toULongLong(&okInode);
    return okDevice && okInode && device == qulonglong(st.st_dev) && inode == qulonglong(st.st_ino);
}

void JournalLine(JournalPriority priority, const char *what, const QString &text)
{
    write(JournalText(priority, what, text, journal()));
}

void JournalMessage(JournalPriority priority, const QString &message)
{
    write(lineOf(priority, withoutControls(message), journal()));
}
