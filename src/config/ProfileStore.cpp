#include "config/ProfileStore.h"

#include "platform/Cp932.h"
#include "platform/SafeFile.h"

#include <QFile>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Blanks are never trail bytes, so trimming the raw bytes is safe.
QByteArrayView trimmed(QByteArrayView v)
{
    while (!v.isEmpty() && isBlank(v[0]))
        v = v.sliced(1);
    while (!v.isEmpty() && isBlank(v[v.size() - 1]))
        v.chop(1);
    return v;
}

// The section name of a header line, or nothing for any other line. The
// closing bracket is searched character by character: ']' (5D) is also a
// valid trail byte. A header without its closing bracket names the rest of
// the line.
std::optional<QByteArrayView> sectionHeader(QByteArrayView line)
{
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n && isBlank(line[i]))
        ++i;
    if (i >= n || line[i] != '[')
        return std::nullopt;
    const qsizetype start = ++i;
    while (i < n && line[i] != ']')
        i += Cp932::isLeadByte(uchar(line[i])) && i + 1 < n ? 2 : 1;
    return trimmed(line.sliced(start, i - start));
}

// '=' (3D) is never a trail byte, so the first one ends the key name.
std::optional<QByteArrayView> keyName(QByteArrayView line)
{
    const qsizetype eq = line.indexOf('=');
    if (eq < 0)
        return std::nullopt;
    return trimmed(line.first(eq));
}

QByteArrayView valueOf(QByteArrayView line)
{
    return line.sliced(line.indexOf('=') + 1);
}

bool isBlankLine(QByteArrayView line) { return trimmed(line).isEmpty(); }

// Index of the line that holds the key in a section of that name; the first
// such line when a file repeats a section or a key. -1 when there is none.
template <class Lines>
qsizetype findKey(const Lines &lines, QByteArrayView section, QByteArrayView key)
{
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArrayView text = lines[i].text;
        if (const auto header = sectionHeader(text)) {
            inSection = ProfileNamesEqual(*header, section);
            continue;
        }
        if (!inSection)
            continue;
        const auto name = keyName(text);
        if (name && ProfileNamesEqual(*name, key))
            return i;
    }
    return -1;
}

// What a write puts after '=': a NUL ends the value and a line break would
// start a new line of the file, so neither gets in.
QByteArray storedValue(const QString &value)
{
    QByteArray bytes = Cp932::encode(value);
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    bytes.replace('\r', ' ').replace('\n', ' ');
    return bytes;
}

} // namespace

std::optional<qint32> ParseProfileInteger(QByteArrayView text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < n && text[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= n)
        return std::nullopt;
    const quint64 limit = hex ? 0xFFFFFFFFull : negative ? 0x80000000ull : 0x7FFFFFFFull;
    quint64 value = 0;
    for (; i < n; ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * (hex ? 16 : 10) + quint64(digit);
        if (value > limit)
            return std::nullopt;
    }
    if (hex) {
        const quint32 bits = negative ? 0u - quint32(value) : quint32(value);
        return qint32(bits);
    }
    return negative ? qint32(-qint64(value)) : qint32(value);
}

QString ProfileTextValue(const QString &value)
{
    if (value.isEmpty())
        return value;
    const QChar first = value.front(), last = value.back();
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    const bool quoted = (first == u'\'' || first == u'"') && last == first;
    if (!quoted && !blank(first) && !blank(last))
        return value;
    return u'\'' + value + u'\'';
}

bool ProfileNamesEqual(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    const auto fold = [](uchar c) { return c >= 'a' && c <= 'z' ? uchar(c - 'a' + 'A') : c; };
    for (qsizetype i = 0; i < a.size();) {
        const uchar x = uchar(a[i]), y = uchar(b[i]);
        if (Cp932::isLeadByte(x) && i + 1 < a.size()) {
            if (x != y || a[i + 1] != b[i + 1])
                return false;
            i += 2;
            continue;
        }
        if (fold(x) != fold(y))
            return false;
        ++i;
    }
    return true;
}

ProfileStore::ProfileStore(const QString &path)
    : path_(path)
{
}

ProfileStore::Document ProfileStore::load() const
{
    Document doc;
    QFile file(path_);
    if (!file.exists())
        return doc;
    if (!file.open(QIODevice::ReadOnly)) {
        doc.readable = false;
        return doc;
    }
    const QByteArray all = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        doc.readable = false;
        return doc;
    }
    qsizetype pos = 0;
    while (pos < all.size()) {
        const qsizetype nl = all.indexOf('\n', pos);
        if (nl < 0) {
            doc.lines.append({all.sliced(pos), {}});
            break;
        }
        const bool crlf = nl > pos && all[nl - 1] == '\r';
        const qsizetype end = crlf ? nl - 1 : nl;
        doc.lines.append({all.sliced(pos, end - pos), crlf ? QByteArray("\r\n") : QByteArray("\n")});
        pos = nl + 1;
    }
    return doc;
}

bool ProfileStore::save(Document &doc) const
{
    if (!doc.readable)
        return false;
    if (!doc.changed)
        return true;
    QByteArray out;
    for (qsizetype i = 0; i < doc.lines.size(); ++i) {
        const Line &line = doc.lines[i];
        out += line.text;
        // A last line without a line end gets one once lines follow it.
        out += line.eol.isEmpty() && i + 1 < doc.lines.size() ? QByteArray("\r\n") : line.eol;
    }
    if (!SafeFile::replace(path_, out, private_))
        return false;
    doc.changed = false;
    return true;
}

template <class Edit>
bool ProfileStore::modify(Edit &&edit)
{
    if (inBatch()) {
        edit(batch_);
        return batch_.readable;
    }
    Document doc = load();
    if (!doc.readable)
        return false;
    edit(doc);
    return save(doc);
}

void ProfileStore::setValue(Document &doc, const QByteArray &section, const QByteArray &key, const QByteArray &value)
{
    QList<Line> &lines = doc.lines;
    const qsizetype at = findKey(lines, section, key);
    if (at >= 0) {
        Line &line = lines[at];
        // The name keeps the spelling it has in the file.
        const QByteArray text = keyName(line.text)->toByteArray() + '=' + value;
        if (text != line.text) {
            line.text = text;
            doc.changed = true;
        }
        return;
    }
    const Line keyLine{key + '=' + value, "\r\n"};
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto header = sectionHeader(lines[i].text);
        if (!header || !ProfileNamesEqual(*header, section))
            continue;
        // After the last line of the section that is not blank, so the blank
        // line before the next section stays where it is.
        qsizetype insertAt = i + 1;
        for (qsizetype j = i + 1; j < lines.size() && !sectionHeader(lines[j].text); ++j) {
            if (!isBlankLine(lines[j].text))
                insertAt = j + 1;
        }
        lines.insert(insertAt, keyLine);
        doc.changed = true;
        return;
    }
    if (!lines.isEmpty() && !isBlankLine(lines.last().text))
        lines.append({QByteArray(), "\r\n"});
    lines.append({'[' + section + ']', "\r\n"});
    lines.append(keyLine);
    doc.changed = true;
}

void ProfileStore::removeSection(Document &doc, const QByteArray &section)
{
    QList<Line> kept;
    kept.reserve(doc.lines.size());
    bool removing = false;
    for (Line &line : doc.lines) {
        if (const auto header = sectionHeader(line.text))
            removing = ProfileNamesEqual(*header, section);
        if (removing)
            doc.changed = true;
        else
            kept.append(std::move(line));
    }
    doc.lines = std::move(kept);
}

std::optional<QByteArray> ProfileStore::rawValue(QStringView section, QStringView key) const
{
    Document fresh;
    if (!inBatch())
        fresh = load();
    const Document &doc = inBatch() ? batch_ : fresh;
    const qsizetype at = findKey(doc.lines, Cp932::encode(section), Cp932::encode(key));
    if (at < 0)
        return std::nullopt;
    QByteArrayView value = valueOf(doc.lines[at].text);
    const qsizetype nul = value.indexOf('\0');
    if (nul >= 0)
        value = value.first(nul);
    // A CR inside a line is no line end: it reads as the blank a write puts
    // in its place (CR is never a trail byte), so that what a load gives, a
    // save keeps.
    QByteArray blanked;
    if (value.contains('\r')) {
        blanked = value.toByteArray().replace('\r', ' ');
        value = blanked;
    }
    value = trimmed(value);
    if (value.size() >= 2 && (value[0] == '\'' || value[0] == '"') && value[value.size() - 1] == value[0])
        value = value.sliced(1, value.size() - 2);
    return Cp932::leftBytes(value, MaxValueBytes);
}

QString ProfileStore::readString(QStringView section, QStringView key, const QString &defaultValue) const
{
    const auto raw = rawValue(section, key);
    return raw ? Cp932::decode(*raw) : defaultValue;
}

qint32 ProfileStore::readInteger(QStringView section, QStringView key, qint32 defaultValue) const
{
    const auto raw = rawValue(section, key);
    return raw ? ParseProfileInteger(*raw).value_or(defaultValue) : defaultValue;
}

bool ProfileStore::readBool(QStringView section, QStringView key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool ProfileStore::writeString(QStringView section, QStringView key, const QString &value)
{
    const QByteArray s = Cp932::encode(section), k = Cp932::encode(key), v = storedValue(value);
    return modify([&](Document &doc) { setValue(doc, s, k, v); });
}

bool ProfileStore::writeInteger(QStringView section, QStringView key, qint32 value)
{
    return writeString(section, key, QString::number(value));
}

bool ProfileStore::writeBool(QStringView section, QStringView key, bool value)
{
    return writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool ProfileStore::eraseSection(QStringView section)
{
    const QByteArray s = Cp932::encode(section);
    return modify([&](Document &doc) { removeSection(doc, s); });
}

void ProfileStore::beginBatch()
{
    if (batchDepth_++ == 0)
        batch_ = load();
}

bool ProfileStore::endBatch()
{
    if (batchDepth_ == 0)
        return false;
    if (--batchDepth_ > 0)
        return true;
    const bool ok = save(batch_);
    batch_ = Document();
    return ok;
}
