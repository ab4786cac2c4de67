#include "events/RecordReader.h"

#include "events/RecordFile.h"
#include "events/XmlDocument.h"
#include "platform/Cp932.h"
#include "platform/SafeFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QTime>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlreader.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <type_traits>

namespace {

// Notes by line, neighbouring lines of one reason told as one range; a file
// damaged throughout gives a bounded list.
class Notes {
public:
    void add(long line, const QString &reason)
    {
        if (!items_.isEmpty() && items_.back().reason == reason && items_.back().last + 1 >= line
            && items_.back().last <= line) {
            items_.back().last = line;
            return;
        }
        if (items_.size() >= MaxNotes) {
            ++dropped_;
            return;
        }
        items_.append({line, line, reason});
    }

    QStringList texts() const
    {
        QStringList out;
        for (const Item &i : items_) {
            if (i.first <= 0)
                out << i.reason;
            else if (i.first == i.last)
                out << QCoreApplication::translate("DayReport", "%1 行目: %2").arg(i.first).arg(i.reason);
            else
                out << QCoreApplication::translate("DayReport", "%1-%2 行目: %3").arg(i.first).arg(i.last).arg(i.reason);
        }
        if (dropped_ > 0)
            out << QCoreApplication::translate("DayReport", "ほかに %1 か所、読めないところがあります").arg(dropped_);
        return out;
    }

private:
    static constexpr qsizetype MaxNotes = 100;
    struct Item {
        long first;
        long last;
        QString reason;
    };
    QList<Item> items_;
    long dropped_ = 0;
};

// The same few names come back in every record of a file: each is made
// once and shared by the blocks that give it again, which spares a string
// of its own for each of hundreds of thousands of names. A key may borrow
// its characters for the look-up; own() gives the one kept. A file of
// endless distinct names fills the cache only up to a bound, and the names
// beyond are made one by one.
template <typename Key>
class NameCache {
public:
    template <typename Own, typename Make>
    QString get(const Key &key, Own own, Make make)
    {
        if (const auto found = names_.constFind(key); found != names_.cend())
            return *found;
        QString made = make();
        if (names_.size() < MaxNames)
            names_.insert(own(key), made);
        return made;
    }

private:
    static constexpr qsizetype MaxNames = 4096;
    QHash<Key, QString> names_;
};

// The notes are shown on the day report, in the operator's language.
const char *const OutsideBlock = QT_TRANSLATE_NOOP("DayReport", "記録の見出しの外にある行を読み飛ばしました");
const char *const UnreadableHeader = QT_TRANSLATE_NOOP("DayReport", "日時の読めない記録を読み飛ばしました");
const char *const UnendedBlock =
    QT_TRANSLATE_NOOP("DayReport", "終わりの \".\" がない記録です (読めたところは使いました)");
const char *const UnreadableAccessLine =
    QT_TRANSLATE_NOOP("DayReport", "アクセス記録として読めない行を読み飛ばしました");

// Two or four digits as a number; -1 for anything else (and for a run of
// digits too long for an int, which an attribute of any length can hold).
// Text or UTF-8 bytes alike: a byte that is no ASCII digit is no digit.
template <typename Chars>
int digitsOf(Chars text)
{
    if (text.size() > 9)
        return -1;
    int value = 0;
    for (const auto c : text) {
        int unit = 0;
        if constexpr (std::is_same_v<decltype(c), const QChar>)
            unit = c.unicode();
        else
            unit = static_cast<unsigned char>(c);
        if (unit < '0' || unit > '9')
            return -1;
        value = value * 10 + (unit - '0');
    }
    return text.empty() ? -1 : value;
}

int digits(QStringView text) { return digitsOf(text); }

bool setMoment(RecordBlock &block, int year, int month, int day, int hour, int minute, int second)
{
    // -1 is no number, and no year of a record (QDate takes it for 1 BC).
    const QDate date(year, month, day);
    if (year < 1 || !date.isValid() || !QTime::isValid(hour, minute, second))
        return false;
    block.Date = date;
    block.Second = hour * 3600 + minute * 60 + second;
    return true;
}

// "[Login]--------------[2026/12/06(日) 09:05:00]-----------------". The
// date and time separators are the system's, so any one character is taken.
// -1 when the line is no header, 0 when it is one whose moment cannot be
// read, 1 when block holds its kind and moment.
int readHeader(QStringView line, RecordBlock &block)
{
    static const struct {
        QStringView prefix;
        RecordKind kind;
    } kinds[] = {
        {u"[Login]-", RecordKind::Login}, {u"[Logout]-", RecordKind::Logout}, {u"[Access]-", RecordKind::Access}};
    std::optional<RecordKind> kind;
    for (const auto &k : kinds)
        if (line.startsWith(k.prefix))
            kind = k.kind;
    // A header of every record: searched by hand, without a search object.
    const qsizetype close = line.rend() - std::find(line.rbegin(), line.rend(), u']') - 1;
    if (!kind || close < 0 || close + 1 == line.size())
        return -1;
    for (QChar c : line.sliced(close + 1))
        if (c != u'-')
            return -1;
    block.Kind = *kind;
    const auto dash =
        std::adjacent_find(line.begin(), line.end(), [](QChar a, QChar b) { return a == u'-' && b == u'['; });
    const qsizetype open = dash == line.end() ? -1 : dash - line.begin();
    if (open < 0 || close < open + 2)
        return 0;
    // "yyyy/mm/dd(w) hh:mm:ss": 22 characters, the weekday one of them.
    const QStringView stamp = line.sliced(open + 2, close - open - 2);
    if (stamp.size() != 22 || stamp[10] != u'(' || stamp[12] != u')' || stamp[13] != u' ')
        return 0;
    const int y = digits(stamp.sliced(0, 4)), mo = digits(stamp.sliced(5, 2)), d = digits(stamp.sliced(8, 2));
    const int h = digits(stamp.sliced(14, 2)), mi = digits(stamp.sliced(17, 2)), s = digits(stamp.sliced(20, 2));
    return setMoment(block, y, mo, d, h, mi, s) ? 1 : 0;
}

// The fields of an access line tell its kind, the kind character being left
// out of text records: four for a session, two for a connection (the
// account may be empty), one for a file.
bool addAccessLine(RecordBlock &block, const QString &line)
{
    const QStringList f = line.split(u'\t');
    if (f.size() == 4) {
        block.Sessions.append({f[0], f[1], f[2], f[3], {}});
        return true;
    }
    if (f.size() == 2 && !block.Sessions.isEmpty()) {
        block.Sessions.back().Connections.append({f[0], f[1], {}});
        return true;
    }
    if (f.size() == 1 && !block.Sessions.isEmpty() && !block.Sessions.back().Connections.isEmpty()) {
        block.Sessions.back().Connections.back().Files.append(f[0]);
        return true;
    }
    return false;
}

// --- XML -------------------------------------------------------------------

using XmlChars = std::unique_ptr<xmlChar, decltype([](xmlChar *p) { xmlFree(p); })>;

// The value of an attribute that is one text, where it lies; null for one
// put together from entity references (or missing).
const char *plainAttribute(xmlNodePtr node, const char *name)
{
    const xmlChar *wanted = reinterpret_cast<const xmlChar *>(name);
    for (xmlAttrPtr a = node->properties; a; a = a->next) {
        if (!xmlStrEqual(a->name, wanted))
            continue;
        if (a->children && a->children->type == XML_TEXT_NODE && !a->children->next)
            return reinterpret_cast<const char *>(a->children->content);
        break;
    }
    return nullptr;
}

QString attribute(xmlNodePtr node, const char *name)
{
    if (const char *plain = plainAttribute(node, name))
        return QString::fromUtf8(plain);
    const XmlChars value(xmlGetProp(node, reinterpret_cast<const xmlChar *>(name)));
    return value ? QString::fromUtf8(reinterpret_cast<const char *>(value.get())) : QString();
}

QString contentOf(xmlNodePtr node)
{
    const XmlChars value(xmlNodeGetContent(node));
    return value ? QString::fromUtf8(reinterpret_cast<const char *>(value.get())) : QString();
}

bool named(xmlNodePtr node, const char *name)
{
    return node->type == XML_ELEMENT_NODE && xmlStrcmp(node->name, reinterpret_cast<const xmlChar *>(name)) == 0;
}

QString nameOf(xmlNodePtr node) { return QString::fromUtf8(reinterpret_cast<const char *>(node->name)); }

int number(xmlNodePtr node, const char *name)
{
    // Six in every record: a plain value is read where it lies.
    if (const char *plain = plainAttribute(node, name))
        return digitsOf(std::string_view(plain));
    return digits(attribute(node, name));
}

// "hh:mm:ss" again from the hour, min and sec attributes.
QString timeText(xmlNodePtr node)
{
    if (!node)
        return {};
    return attribute(node, "hour") + u':' + attribute(node, "min") + u':' + attribute(node, "sec");
}

xmlNodePtr child(xmlNodePtr parent, const char *name)
{
    for (xmlNodePtr n = parent->children; n; n = n->next)
        if (named(n, name))
            return n;
    return nullptr;
}

void readSession(xmlNodePtr user, RecordBlock &block)
{
    RecordedSession session{attribute(user, "account"), attribute(user, "machine"),
                            timeText(child(user, "connecttime")), timeText(child(user, "accesstime")), {}};
    for (xmlNodePtr d = user->children; d; d = d->next) {
        if (!named(d, "directory"))
            continue;
        RecordedConnection connection{attribute(d, "name"), attribute(d, "account"), {}};
        for (xmlNodePtr f = d->children; f; f = f->next)
            if (named(f, "file"))
                connection.Files << contentOf(f);
        session.Connections << connection;
    }
    block.Sessions << session;
}

using XmlNames = NameCache<QByteArray>;

// A user's name, made once for a file where it is plain text.
QString userName(xmlNodePtr user, XmlNames &names)
{
    const char *plain = plainAttribute(user, "name");
    if (!plain)
        return attribute(user, "name");
    // Borrowed for the look-up; a copy is kept.
    const QByteArray key = QByteArray::fromRawData(plain, qsizetype(std::strlen(plain)));
    return names.get(key, [](const QByteArray &k) { return QByteArray(k.constData(), k.size()); },
                     [&] { return QString::fromUtf8(key); });
}

void readRecordElement(xmlNodePtr e, RecordReading &out, Notes &notes, XmlNames &names)
{
    RecordBlock block;
    if (named(e, "login"))
        block.Kind = RecordKind::Login;
    else if (named(e, "logout"))
        block.Kind = RecordKind::Logout;
    else if (named(e, "access"))
        block.Kind = RecordKind::Access;
    else {
        notes.add(xmlGetLineNo(e), QCoreApplication::translate("DayReport", "<%1> は記録ではないので読み飛ばしました").arg(nameOf(e)));
        return;
    }
    if (!setMoment(block, number(e, "year"), number(e, "month"), number(e, "day"), number(e, "hour"),
                   number(e, "min"), number(e, "sec"))) {
        notes.add(xmlGetLineNo(e), QCoreApplication::translate("DayReport", UnreadableHeader));
        return;
    }
    if (block.Kind != RecordKind::Access) {
        // One list of the names' number, not one grown name by name.
        qsizetype users = 0;
        for (xmlNodePtr n = e->children; n; n = n->next)
            users += named(n, "user");
        block.Names.reserve(users);
    }
    for (xmlNodePtr n = e->children; n; n = n->next) {
        if (!named(n, "user"))
            continue;
        if (block.Kind == RecordKind::Access)
            readSession(n, block);
        else
            block.Names << userName(n, names);
    }
    out.Blocks << std::move(block);
}

} // namespace

RecordReading ReadTextRecords(QByteArrayView bytes)
{
    RecordReading out;
    Notes notes;
    const QString text = Cp932::decode(bytes);
    bool inBlock = false;
    bool skipping = false; // inside a block whose header cannot be read
    long headerLine = 0;
    long number = 0;
    const auto unended = [&] {
        if (inBlock)
            notes.add(headerLine, QCoreApplication::translate("DayReport", UnendedBlock));
    };
    // The last line's end leaves no line after it.
    QStringView body = text;
    if (body.endsWith(u'\n'))
        body.chop(1);
    NameCache<QStringView> names; // its keys point into text
    // The names of the block being read, given to it at its end in a list of
    // their number.
    QStringList blockNames;
    const auto endBlock = [&] {
        if (!blockNames.isEmpty()) {
            out.Blocks.back().Names = QStringList(blockNames.cbegin(), blockNames.cend());
            blockNames.clear();
        }
    };
    // Line by line, each a view of the text.
    bool last = false;
    for (const QChar *at = body.begin(); !last;) {
        const QChar *newline = std::find(at, body.end(), u'\n');
        QStringView line(at, newline);
        last = newline == body.end();
        at = last ? newline : newline + 1;
        ++number;
        if (line.endsWith(u'\r'))
            line.chop(1);
        RecordBlock header;
        const int h = line.startsWith(u'[') ? readHeader(line, header) : -1;
        if (h >= 0) {
            endBlock();
            unended();
            inBlock = h == 1;
            skipping = h == 0;
            headerLine = number;
            if (inBlock)
                out.Blocks << std::move(header);
            else
                notes.add(number, QCoreApplication::translate("DayReport", UnreadableHeader));
            continue;
        }
        if (line == u".") {
            endBlock();
            if (!inBlock && !skipping)
                notes.add(number, QCoreApplication::translate("DayReport", OutsideBlock));
            inBlock = skipping = false;
            continue;
        }
        if (skipping)
            continue;
        if (!inBlock) {
            if (!line.isEmpty())
                notes.add(number, QCoreApplication::translate("DayReport", OutsideBlock));
            continue;
        }
        // A line that would read as a header or an end was written with one
        // blank more.
        if (line.startsWith(u' ') && TextRecordLineNeedsBlank(line))
            line = line.sliced(1);
        RecordBlock &block = out.Blocks.back();
        if (block.Kind != RecordKind::Access)
            blockNames << names.get(line, [](QStringView key) { return key; }, [&] { return line.toString(); });
        else if (!addAccessLine(block, line.toString()))
            notes.add(number, QCoreApplication::translate("DayReport", UnreadableAccessLine));
    }
    endBlock();
    unended();
    out.Notes = notes.texts();
    return out;
}

RecordReading ReadXmlRecords(const QByteArray &bytes)
{
    RecordReading out;
    Notes notes;
    // The document object's set-up: Shift_JIS read as code page 932, the
    // library's messages kept off the terminal.
    XmlDocument setup;
    setup.Activate();
    // Record by record: a file of months of records is never a whole tree in
    // memory. Recovering reads what stands before and around damage; no
    // network, no external entities.
    const int options = XML_PARSE_RECOVER | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING
        | XML_PARSE_BIG_LINES;
    const std::unique_ptr<xmlTextReader, decltype(&xmlFreeTextReader)> reader(
        xmlReaderForMemory(bytes.constData(), int(qMin<qsizetype>(bytes.size(), INT_MAX)), nullptr, nullptr, options),
        &xmlFreeTextReader);
    if (!reader) {
        out.Notes << QCoreApplication::translate("DayReport", "XML を読む準備ができませんでした");
        return out;
    }
    long errorLine = bytes.size() > INT_MAX ? INT_MAX : -1;
    xmlTextReaderSetStructuredErrorHandler(
        reader.get(),
        [](void *line, xmlErrorPtr error) {
            if (error && error->level >= XML_ERR_ERROR && *static_cast<long *>(line) < 0)
                *static_cast<long *>(line) = std::max(error->line, 1);
        },
        &errorLine);

    int more = xmlTextReaderRead(reader.get());
    while (more == 1 && xmlTextReaderNodeType(reader.get()) != XML_READER_TYPE_ELEMENT)
        more = xmlTextReaderRead(reader.get());
    const bool rooted = more == 1;
    if (rooted) {
        if (!xmlStrEqual(xmlTextReaderConstLocalName(reader.get()), reinterpret_cast<const xmlChar *>("root")))
            notes.add(xmlTextReaderGetParserLineNumber(reader.get()),
                      QCoreApplication::translate("DayReport", "ルート要素が <root> ではありません"));
        more = xmlTextReaderIsEmptyElement(reader.get()) ? 0 : xmlTextReaderRead(reader.get());
    }
    XmlNames names;
    while (more == 1 && xmlTextReaderDepth(reader.get()) > 0) {
        if (xmlTextReaderDepth(reader.get()) == 1 && xmlTextReaderNodeType(reader.get()) == XML_READER_TYPE_ELEMENT) {
            if (const xmlNodePtr record = xmlTextReaderExpand(reader.get()))
                readRecordElement(record, out, notes, names);
            more = xmlTextReaderNext(reader.get());
        } else {
            more = xmlTextReaderRead(reader.get());
        }
    }
    if (more < 0 && errorLine < 0)
        errorLine = xmlTextReaderGetParserLineNumber(reader.get());
    if (errorLine >= 0)
        notes.add(errorLine, rooted
                      ? QCoreApplication::translate("DayReport", "XML の誤りです (読めたところだけを使いました)")
                      : QCoreApplication::translate("DayReport", "XML として読めません"));
    out.Notes = notes.texts();
    return out;
}

RecordReading ReadRecordFile(const QString &path)
{
    // A link or anything but a regular file is refused, so that no record
    // name can make a report show another file.
    const std::optional<QByteArray> bytes = SafeFile::read(path);
    if (!bytes) {
        RecordReading out;
        out.Notes << QCoreApplication::translate("DayReport", "読めません: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return out;
    }
    return IsXmlRecordPath(path) ? ReadXmlRecords(*bytes) : ReadTextRecords(*bytes);
}
