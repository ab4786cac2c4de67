#include "events/XmlRecordAppend.h"

#include "config/Settings.h"
#include "events/RecordFile.h"
#include "events/XmlDocument.h"

#include "platform/SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <sys/stat.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <vector>

namespace {

QString elementName(RecordKind kind)
{
    switch (kind) {
    case RecordKind::Login:
        return QStringLiteral("login");
    case RecordKind::Logout:
        return QStringLiteral("logout");
    default:
        return QStringLiteral("access");
    }
}

QString firstField(const QString &line) { return line.section(u'\t', 0, 0); }

// Hours, minutes and seconds of an "hh:mm:ss" text. Hours can run past two
// digits on a long session, so the fields are taken between the colons.
void setTimeAttributes(XmlDocument &doc, XmlDocument::Node element, const QString &time)
{
    QStringList parts = time.split(u':');
    if (parts.size() != 3)
        parts = {time.mid(0, 2), time.mid(3, 2), time.mid(6, 2)};
    doc.SetAttribute(element, QStringLiteral("hour"), parts[0]);
    doc.SetAttribute(element, QStringLiteral("min"), parts[1]);
    doc.SetAttribute(element, QStringLiteral("sec"), parts[2]);
}

const char NewXmlFile[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<root>\n</root>";

QString stylesheetTarget() { return QStringLiteral("xml-stylesheet"); }

void setStylesheet(XmlDocument &doc, const QString &xslFile)
{
    doc.RemoveTopLevelInstruction(stylesheetTarget());
    if (!xslFile.isEmpty())
        doc.InsertTopLevelInstruction(stylesheetTarget(), QStringLiteral("type=\"text/xsl\" href=\"") + xslFile + u'"');
}

// The record element of kind with its children, as the root's last child.
bool appendRecord(XmlDocument &doc, RecordKind kind, const QStringList &lines, const QDateTime &when)
{
    const QString d = RecordDateText(when.date());
    const QString t = RecordTimeText(when.time());
    XmlDocument::Node record = doc.AppendElement(doc.Root(), elementName(kind));
    if (!record)
        return false;
    doc.SetAttribute(record, QStringLiteral("year"), d.mid(0, 4));
    doc.SetAttribute(record, QStringLiteral("month"), d.mid(5, 2));
    doc.SetAttribute(record, QStringLiteral("day"), d.mid(8, 2));
    doc.SetAttribute(record, QStringLiteral("hour"), t.mid(0, 2));
    doc.SetAttribute(record, QStringLiteral("min"), t.mid(3, 2));
    doc.SetAttribute(record, QStringLiteral("sec"), t.mid(6, 2));

    if (kind != RecordKind::Access) {
        for (const QString &line : lines) {
            XmlDocument::Node user = doc.AppendElement(record, QStringLiteral("user"));
            doc.SetAttribute(user, QStringLiteral("name"), firstField(line));
        }
        return true;
    }
    XmlDocument::Node session = nullptr;
    XmlDocument::Node directory = nullptr;
    for (const QString &line : lines) {
        const QChar type = line.isEmpty() ? QChar() : line.front();
        const QString rest = line.mid(1);
        const QStringList f = rest.split(u'\t');
        auto field = [&](qsizetype i) { return i < f.size() ? f[i] : QString(); };
        if (type == u'0') {
            session = doc.AppendElement(record, QStringLiteral("user"));
            directory = nullptr;
            doc.SetAttribute(session, QStringLiteral("account"), field(0));
            doc.SetAttribute(session, QStringLiteral("machine"), field(1));
            XmlDocument::Node accessTime = doc.AppendElement(session, QStringLiteral("accesstime"));
            XmlDocument::Node connectTime = doc.AppendElement(session, QStringLiteral("connecttime"));
            setTimeAttributes(doc, connectTime, field(2));
            setTimeAttributes(doc, accessTime, field(3));
        } else if (type == u'1') {
            // A connection or file line with nothing above it to hang
            // from has no place in the tree and is left out.
            if (!session)
                continue;
            directory = doc.AppendElement(session, QStringLiteral("directory"));
            doc.SetAttribute(directory, QStringLiteral("account"), field(1));
            doc.SetAttribute(directory, QStringLiteral("name"), field(0));
        } else if (type == u'2') {
            if (!directory)
                continue;
            doc.SetText(doc.AppendElement(directory, QStringLiteral("file")), rest);
        }
    }
    return true;
}

// --- Appending to a file this process saved last ---------------------------
//
// Loading and saving a whole day's file costs far more than the record. A
// file that is still exactly what this process saved last is the engine's own
// writing of a sound document, which the engine would read and write again
// unchanged; the record can then go in as text, in the bytes the full load
// and save would give it. Any doubt takes the full load and save, and so does
// the first record to a file after the program starts or after anything else
// has written it.

// Encodings in which '<', '>', '/', '&', '#', ';', digits and white space are
// always those ASCII characters (no trail byte below 0x40) and which keep no
// state from one character to the next.
bool splicesAsText(const QString &encoding)
{
    static const QStringList names{QString(),
                                   QStringLiteral("UTF-8"),
                                   QStringLiteral("UTF8"),
                                   QStringLiteral("Shift_JIS"),
                                   QStringLiteral("Shift-JIS"),
                                   QStringLiteral("SJIS"),
                                   QStringLiteral("MS_Kanji"),
                                   QStringLiteral("Windows-31J"),
                                   QStringLiteral("CP932"),
                                   QStringLiteral("EUC-JP"),
                                   QStringLiteral("US-ASCII"),
                                   QStringLiteral("ASCII")};
    if (names.contains(encoding, Qt::CaseInsensitive))
        return true;
    static const QRegularExpression iso8859(QStringLiteral("^ISO-8859-([1-9]|1[0-6])$"),
                                            QRegularExpression::CaseInsensitiveOption);
    return iso8859.match(encoding).hasMatch();
}

// UTF-8 holds every name; the engine writes it when no encoding is named.
bool holdsEveryName(const QString &encoding)
{
    return encoding.isEmpty() || encoding.compare(u"UTF-8", Qt::CaseInsensitive) == 0
        || encoding.compare(u"UTF8", Qt::CaseInsensitive) == 0;
}

// The bytes a save gives the record alone in the settings' encoding: the
// record built under an empty root (as the only child, it comes indented and
// followed by a line end) and cut out of its document. Empty when that
// document does not read back (a control character in a line or in the
// stylesheet's name): the full load then meets the damage, as it always has.
QByteArray recordText(RecordKind kind, const QStringList &lines, const ProgramSettings &s, const QDateTime &when)
{
    if (!splicesAsText(s.Config.XMLEncoding))
        return {};
    XmlDocument doc;
    if (!doc.Activate() || !doc.Parse("<r/>"))
        return {};
    setStylesheet(doc, s.Config.XSLFile);
    doc.SetEncoding(s.Config.XMLEncoding);
    if (!appendRecord(doc, kind, lines, when))
        return {};
    const QByteArray text = doc.Serialise();
    XmlDocument back;
    if (text.isEmpty() || !back.Parse(text))
        return {};
    // Nothing inside the record can hold "<r>": '<' in texts and attribute
    // values is always written as "&lt;".
    static const QByteArray head = "\n<r>\n\t";
    static const QByteArray tail = "\n</r>\n";
    const qsizetype from = text.lastIndexOf(head) + head.size();
    if (from < head.size() || !text.endsWith(tail))
        return {};
    return text.sliced(from, text.size() - tail.size() - from);
}

// The file with the record put where AppendElement puts the root's new last
// child; end is where the root's end tag starts. After a record the root
// always ends with a blank text, which stays last: the record goes in front
// of it with its indent. The engine writes '>' in texts as "&gt;", so the
// white space after a '>' (with "\r" written as a character reference) is
// that text whole. Empty when the file does not end so.
QByteArray withRecord(const QByteArray &file, qsizetype end, const QByteArray &record)
{
    const QByteArrayView text(file);
    qsizetype blank = end;
    while (blank > 0) {
        const char c = text[blank - 1];
        if (c == ' ' || c == '\t' || c == '\n')
            --blank;
        else if (c == ';' && (text.first(blank).endsWith("&#13;") || text.first(blank).endsWith("&#xD;")))
            blank -= 5;
        else
            break;
    }
    if (blank == end || blank == 0 || text[blank - 1] != '>')
        return {};
    QByteArray out;
    out.reserve(file.size() + record.size() + 2);
    return out.append(text.first(blank)).append("\n\t").append(record).append(text.sliced(blank));
}

struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};
    timespec changed{};

    bool operator==(const FileStamp &o) const
    {
        return device == o.device && inode == o.inode && size == o.size && modified.tv_sec == o.modified.tv_sec
            && modified.tv_nsec == o.modified.tv_nsec && changed.tv_sec == o.changed.tv_sec
            && changed.tv_nsec == o.changed.tv_nsec;
    }
};

bool stampOf(const QString &path, FileStamp *stamp)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    *stamp = {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
    return true;
}

// The stamp alone misses a rewrite of the same size within one tick of the
// file system's clock; the bytes' hash does not.
size_t hashOf(QByteArrayView bytes) { return qHash(bytes, QHashSeed::globalSeed()); }

struct SavedRecordFile {
    QString path; // canonical
    FileStamp stamp;
    size_t hash = 0;
    QString encoding;
    QString stylesheet;
    QByteArray end; // the root's end tag and the line end after it, as saved
};

// A handful: the login, logout and access files of the day, and yesterday's.
constexpr size_t RememberedFiles = 6;
std::mutex savedMutex;
std::vector<SavedRecordFile> savedFiles;

std::optional<SavedRecordFile> findSaved(const QString &canonical)
{
    const std::lock_guard lock(savedMutex);
    for (const SavedRecordFile &f : savedFiles)
        if (f.path == canonical)
            return f;
    return std::nullopt;
}

void forgetSaved(const QString &canonical)
{
    const std::lock_guard lock(savedMutex);
    std::erase_if(savedFiles, [&](const SavedRecordFile &f) { return f.path == canonical; });
}

// The root's end tag and the line end after it, when bytes end with them.
// The caller knows that the root ends the document; the checks only guard
// against a surprise.
QByteArray rootEndOf(const QByteArray &bytes)
{
    const qsizetype at = bytes.lastIndexOf("</");
    if (at < 0 || !bytes.endsWith(">\n"))
        return {};
    const QByteArrayView name = QByteArrayView(bytes).sliced(at + 2).chopped(2);
    const auto inName = [](char c) { return c != '<' && c != '>' && c != ' ' && c != '\t' && c != '\n'; };
    if (name.isEmpty() || !std::all_of(name.begin(), name.end(), inName))
        return {};
    return bytes.sliced(at);
}

// After bytes were saved to path: remembered when a record can later go into
// them as text (spliceable: nothing in the document makes the full load and
// save write it otherwise than it stands), forgotten otherwise. The engine
// counts a document's bytes in an int: near that, only the full load tells
// whether the file still takes a record.
void rememberSaved(const QString &path, const QByteArray &bytes, const ProgramSettings &s, bool spliceable)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty())
        return;
    SavedRecordFile saved{canonical, {}, 0, s.Config.XMLEncoding, s.Config.XSLFile, rootEndOf(bytes)};
    if (!spliceable || saved.end.isEmpty() || bytes.size() >= (1 << 30) || !stampOf(canonical, &saved.stamp)
        || saved.stamp.size != bytes.size()) {
        forgetSaved(canonical);
        return;
    }
    saved.hash = hashOf(bytes);
    const std::lock_guard lock(savedMutex);
    std::erase_if(savedFiles, [&](const SavedRecordFile &f) { return f.path == canonical; });
    if (savedFiles.size() >= RememberedFiles)
        savedFiles.erase(savedFiles.begin());
    savedFiles.push_back(std::move(saved));
}

enum class Splice { Written, NotKnown, Failed };

Splice spliceRecord(const QString &path, const QByteArray &record, const ProgramSettings &s)
{
    if (record.isEmpty())
        return Splice::NotKnown;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty())
        return Splice::NotKnown;
    const std::optional<SavedRecordFile> saved = findSaved(canonical);
    FileStamp now;
    if (!saved || saved->encoding != s.Config.XMLEncoding || saved->stylesheet != s.Config.XSLFile
        || !stampOf(canonical, &now) || !(now == saved->stamp))
        return Splice::NotKnown;
    const std::optional<QByteArray> read = SafeFile::read(path);
    if (!read)
        return Splice::NotKnown;
    const QByteArray &file = *read;
    if (file.size() != now.size || hashOf(file) != saved->hash || !file.endsWith(saved->end))
        return Splice::NotKnown;
    const QByteArray bytes = withRecord(file, file.size() - saved->end.size(), record);
    if (bytes.isEmpty())
        return Splice::NotKnown;
    if (!XmlDocument::SaveBytes(path, bytes)) {
        forgetSaved(canonical);
        return Splice::Failed;
    }
    rememberSaved(path, bytes, s, true);
    return Splice::Written;
}

} // namespace

bool WriteXmlRecord(const QString &path, RecordKind kind, const QStringList &lines, const ProgramSettings &s,
                    const QDateTime &when)
{
    const QByteArray record = recordText(kind, lines, s, when);
    switch (spliceRecord(path, record, s)) {
    case Splice::Written:
        return true;
    case Splice::Failed:
        return false;
    case Splice::NotKnown:
        break;
    }

    XmlDocument doc;
    if (!QFile::exists(path)) {
        if (!doc.Activate() || !doc.Parse(NewXmlFile) || !doc.Save(path))
            return false;
        doc.Deactivate();
    }
    if (!doc.Activate() || !doc.Load(path))
        return false;
    setStylesheet(doc, s.Config.XSLFile);
    doc.SetEncoding(s.Config.XMLEncoding);
    if (!appendRecord(doc, kind, lines, when))
        return false;
    const QByteArray bytes = doc.Serialise();
    if (!XmlDocument::SaveBytes(path, bytes))
        return false;
    // With no stylesheet named, the next load removes the first instruction
    // of that name still in the file: it would not be the file it is now.
    // UTF-8 holds every name; the walk over them all is left out for it.
    const bool spliceable = !record.isEmpty() && !doc.HasDocumentType() && doc.RootEndsDocument()
        && (!s.Config.XSLFile.isEmpty() || !doc.HasTopLevelInstruction(stylesheetTarget()))
        && (holdsEveryName(s.Config.XMLEncoding) || doc.NamesAreAscii());
    rememberSaved(path, bytes, s, spliceable);
    return true;
}

int ForgetXmlRecordFiles()
{
    const std::lock_guard lock(savedMutex);
    const int known = int(savedFiles.size());
    savedFiles.clear();
    return known;
}
