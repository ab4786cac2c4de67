#pragma once

// An INI profile file in code page 932: [Section] header lines and Key=Value
// lines, read and written the way profile files behave.
//
// Each plain call reads the file afresh, and each plain write goes to disk at
// once. Between beginBatch() and endBatch() the file is read once, reads and
// writes work on that copy, and endBatch() writes it back in one go; a save of
// the whole settings record is one rewrite instead of one per key.
//
// The file is kept as raw lines: only the names and values the program asks
// for are converted, so lines it does not touch stay byte for byte (damaged
// code page 932 included), each with its own line end. Written lines end in
// CR LF. Every rewrite goes through a temporary file in the same folder that
// is renamed over the old one, so a failed write never leaves half a file.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

class ProfileStore {
public:
    // Values longer than this many bytes are cut, never inside a double-byte
    // character.
    static constexpr qsizetype MaxValueBytes = 2047;

    explicit ProfileStore(const QString &path);

    const QString &path() const { return path_; }

    // The value after '=', blanks around it removed, then one pair of matching
    // enclosing quotes (single or double) removed, at most MaxValueBytes
    // bytes; the value ends at a NUL byte. defaultValue when the file, the
    // section or the key is missing.
    QString readString(QStringView section, QStringView key, const QString &defaultValue) const;
    // The text read as ParseProfileInteger does; defaultValue when missing or
    // not an integer.
    qint32 readInteger(QStringView section, QStringView key, qint32 defaultValue) const;
    // The integer rule; any non-zero integer is true.
    bool readBool(QStringView section, QStringView key, bool defaultValue) const;

    // The key is replaced in place, or appended at the end of its section, or
    // the section is appended at the end of the file. Line breaks in a value
    // become blanks and a NUL ends it, so a value can never break the file
    // into extra lines. False when the file could not be written, or exists
    // but could not be read (writing would lose its contents); inside a batch
    // the result of the batch comes from endBatch().
    bool writeString(QStringView section, QStringView key, const QString &value);
    bool writeInteger(QStringView section, QStringView key, qint32 value);
    bool writeBool(QStringView section, QStringView key, bool value);
    // Removes every [section] with all its lines. True also when there was
    // none.
    bool eraseSection(QStringView section);

    // The file holds secrets: a new file is created readable by its owner
    // only, an existing one loses what group and others could do.
    void setPrivate(bool secret) { private_ = secret; }

    // Batches nest; the outermost endBatch() writes, and only when something
    // changed. endBatch() is false when that write failed.
    void beginBatch();
    bool endBatch();
    bool inBatch() const { return batchDepth_ > 0; }

private:
    // One line of the file without its line end, and the line end it had
    // ("\r\n", "\n", or empty for a last line without one).
    struct Line {
        QByteArray text;
        QByteArray eol;
    };
    struct Document {
        QList<Line> lines;
        bool readable = true; // false: the file exists but could not be read
        bool changed = false;
    };

    Document load() const;
    bool save(Document &doc) const;
    template <class Edit>
    bool modify(Edit &&edit);
    std::optional<QByteArray> rawValue(QStringView section, QStringView key) const;

    static void setValue(Document &doc, const QByteArray &section, const QByteArray &key, const QByteArray &value);
    static void removeSection(Document &doc, const QByteArray &section);

    QString path_;
    bool private_ = false;
    int batchDepth_ = 0;
    Document batch_;
};

// A profile integer: optional sign, then decimal digits, or hexadecimal digits
// after 0x, 0X or $. Anything else in the text (blanks, trailing characters)
// makes it no integer. A decimal value must fit in 32 signed bits; a
// hexadecimal one may use all 32 bits (FFFFFFFF is -1, as colour values are
// stored).
std::optional<qint32> ParseProfileInteger(QByteArrayView text);

// The text to write so that readString gives value back unchanged: in single
// quotes when reading would lose some of it (a blank at either end, or a first
// character that is a quote with the same quote at the end, a lone quote
// included), otherwise as it stands, as earlier versions wrote it.
QString ProfileTextValue(const QString &value);

// Compares two names in code page 932 bytes, folding ASCII letters only; the
// trail byte of a double-byte character is compared as it stands.
bool ProfileNamesEqual(QByteArrayView a, QByteArrayView b);
