#pragma once

// The XML document the records are written through (libxml2). It is active
// only for one record write: Activate, load or parse, change, save,
// Deactivate; no document stays in memory between records.
//
// White space already in a file is kept as loaded; nodes added through
// AppendElement are indented with tabs. "Shift_JIS" is read and written as
// code page 932, as files from Windows machines hold it.

#include <QByteArray>
#include <QString>

struct _xmlDoc;
struct _xmlNode;

class XmlDocument {
public:
    using Node = _xmlNode *;

    XmlDocument() = default;
    ~XmlDocument();
    XmlDocument(const XmlDocument &) = delete;
    XmlDocument &operator=(const XmlDocument &) = delete;

    // Whether the XML engine works: activates and deactivates a document.
    // The settings reader's check before it allows XML record extensions.
    static bool Available();

    bool Activate();
    void Deactivate();
    bool Active() const { return active_; }

    // Replace the document with the one in text, or in the file at path.
    // False (and no document) when the text does not parse.
    bool Parse(const QByteArray &text);
    bool Load(const QString &path);
    // The document in the encoding of its declaration. Empty when it cannot
    // be encoded (an encoding the engine does not know) or would not be read
    // back (UTF-7: the engine writes even the declaration in it; a name the
    // encoding cannot hold, which the engine writes as a character
    // reference where none is allowed).
    QByteArray Serialise() const;
    // Writes a temporary file beside path and renames it over the file, so a
    // failed save leaves the old file as it was.
    bool Save(const QString &path) const;
    // The same for bytes already serialised.
    static bool SaveBytes(const QString &path, const QByteArray &bytes);

    // Top-level processing instructions named target: the first top-level
    // node of that name, when it is one.
    bool HasTopLevelInstruction(const QString &target) const;
    bool RemoveTopLevelInstruction(const QString &target);
    // Inserts a processing instruction as the first top-level node after the
    // declaration. Data that would end the instruction early ("?>") or that
    // XML cannot hold inserts nothing and gives false.
    bool InsertTopLevelInstruction(const QString &target, const QString &data);
    // The encoding the declaration names and the document is saved in.
    void SetEncoding(const QString &encoding);

    Node Root() const;
    // A document type declaration changes how the whole document is written
    // (entity references, the XHTML rules).
    bool HasDocumentType() const;
    // Nothing but the root's end tag closes the document: the root has
    // children and no comment or instruction follows it.
    bool RootEndsDocument() const;
    // Every element, attribute, instruction and namespace prefix name is
    // ASCII. A name the saving encoding cannot hold is written as a
    // character reference, which no parser reads back.
    bool NamesAreAscii() const;
    // A new element as parent's last child, on a line of its own.
    Node AppendElement(Node parent, const QString &name);
    // Characters XML cannot hold (control characters other than tab and
    // line ends, U+FFFE, U+FFFF) are stored as "?": written as they are,
    // they would leave a file that no later record can be added to.
    void SetAttribute(Node element, const QString &name, const QString &value);
    void SetText(Node element, const QString &text);

private:
    _xmlDoc *doc_ = nullptr;
    bool active_ = false;
};
