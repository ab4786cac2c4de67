#include "events/RecordFile.h"

#include "config/Settings.h"
#include "events/XmlRecordAppend.h"
#include "platform/Cp932.h"
#include "platform/SafeFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {

struct Section {
    const QString &file;
    const QString &extension;
    const QString &folder;
};

Section sectionOf(RecordKind kind, const ProgramSettings &s)
{
    switch (kind) {
    case RecordKind::Login:
        return {s.Login.RecordFile, s.Login.RecordFileExp, s.Login.RecordFolder};
    case RecordKind::Logout:
        return {s.Logout.RecordFile, s.Logout.RecordFileExp, s.Logout.RecordFolder};
    default:
        return {s.Access.RecordFile, s.Access.RecordFileExp, s.Access.RecordFolder};
    }
}

QString headerPrefix(RecordKind kind)
{
    switch (kind) {
    case RecordKind::Login:
        return QStringLiteral("[Login]--------------[");
    case RecordKind::Logout:
        return QStringLiteral("[Logout]-------------[");
    default:
        return QStringLiteral("[Access]-------------[");
    }
}

QString firstField(const QString &line) { return line.section(u'\t', 0, 0); }

// A CR or LF in a name would start a record line of its own; control
// characters are stored as blanks. TAB stays: it separates the fields of
// the access lines, whose contents come without TABs of their own.
//
// A line that would read as a header ("[" first) or as a block's end (".")
// after any blanks gets one more blank in front, which the reader removes
// (TextRecordContent), so that a name such as "[Logout]-[...]-" or "."
// reads back as that name in its block.
QString textRecordLine(QString line)
{
    for (QChar &c : line)
        if ((c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7F)
            c = u' ';
    if (TextRecordLineNeedsBlank(line))
        line.prepend(u' ');
    return line;
}

// The block goes out whole or not at all (a full disk leaves no half block
// for the next one to run into).
bool writeText(const QString &path, const QStringList &block)
{
    QByteArray bytes;
    for (const QString &line : block)
        bytes += Cp932::encode(line) + "\r\n";
    return SafeFile::append(path, bytes);
}

} // namespace

bool TextRecordLineNeedsBlank(QStringView line)
{
    qsizetype i = 0;
    while (i < line.size() && line[i] == u' ')
        ++i;
    const QStringView rest = line.sliced(i);
    return rest.startsWith(u'[') || rest == u".";
}

QString ExpandRecordName(QStringView pattern, QDate date)
{
    const QString y4 = QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
    const QString m2 = QStringLiteral("%1").arg(date.month(), 2, 10, QLatin1Char('0'));
    const QString d2 = QStringLiteral("%1").arg(date.day(), 2, 10, QLatin1Char('0'));
    QString out;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != u'%') {
            out += pattern[i];
            continue;
        }
        if (++i == pattern.size())
            break;
        switch (pattern[i].unicode()) {
        case u'y': out += y4; break;
        case u'Y': out += y4.right(2); break;
        case u'm': out += m2; break;
        case u'd': out += d2; break;
        default: out += pattern[i];
        }
    }
    return out;
}

bool IsValidRecordName(QStringView name)
{
    for (QChar c : name)
        if (QStringView(u"\\/:,;*?\"<>|").contains(c))
            return false;
    return true;
}

QString InvalidRecordNameMessage(const QString &name)
{
    return QCoreApplication::translate("RecordCommands", "ファイル名が不正です。\n%1").arg(name);
}

QString RecordDateText(QDate date)
{
    static const char16_t days[] = u"日月火水木金土";
    return date.toString(QStringLiteral("yyyy/MM/dd")) + u'(' + QChar(days[date.dayOfWeek() % 7]) + u')';
}

QString RecordTimeText(QTime time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

RecordTarget RecordFilePath(RecordKind kind, const ProgramSettings &settings, QDate date)
{
    const Section sec = sectionOf(kind, settings);
    RecordTarget target;
    target.name = ExpandRecordName(QString(sec.file + u'.' + sec.extension), date);
    target.valid = IsValidRecordName(target.name);
    const QString folder = sec.folder.isEmpty() ? settings.ProgramDir : sec.folder;
    target.path = folder + target.name;
    return target;
}

bool IsXmlRecordPath(QStringView path)
{
    const QStringView name = path.mid(path.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot >= 0 && name.mid(dot).compare(QLatin1String(".XML"), Qt::CaseInsensitive) == 0;
}

QStringList TextRecordLines(RecordKind kind, const QStringList &lines, const QDateTime &when)
{
    QStringList block;
    block << headerPrefix(kind) + RecordDateText(when.date()) + u' ' + RecordTimeText(when.time())
                 + QStringLiteral("]-----------------");
    for (const QString &line : lines)
        block << textRecordLine(kind == RecordKind::Access ? line.mid(1) : firstField(line));
    block << QStringLiteral(".");
    return block;
}

bool WriteRecord(RecordKind kind, const QStringList &lines, const ProgramSettings &settings, const QDateTime &when,
                 const RecordNameWarning &invalidName)
{
    const RecordTarget target = RecordFilePath(kind, settings, when.date());
    if (!target.valid) {
        if (invalidName)
            invalidName(target.name);
        return false;
    }
    if (IsXmlRecordPath(target.path))
        return WriteXmlRecord(target.path, kind, lines, settings, when);
    return writeText(target.path, TextRecordLines(kind, lines, when));
}

RecordOpenResult OpenRecordPath(RecordKind kind, const ProgramSettings &settings, QDate date,
                                const std::function<bool(const QString &path)> &open, QString *name)
{
    const RecordTarget target = RecordFilePath(kind, settings, date);
    if (name)
        *name = target.name;
    if (!target.valid)
        return RecordOpenResult::InvalidName;
    // The desktop's opener starts even for a file that is not there; the
    // operator is told, as the platform told them.
    if (!QFileInfo::exists(target.path) || !open(target.path))
        return RecordOpenResult::CannotStart;
    return RecordOpenResult::Opened;
}
