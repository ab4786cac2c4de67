#include "events/XmlDocument.h"

#include <QFile>
#include "platform/SafeFile.h"


#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <mutex>

namespace {

const xmlChar *x(const QByteArray &utf8) { return reinterpret_cast<const xmlChar *>(utf8.constData()); }

void registerEncodings()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        // Files from Windows machines say Shift_JIS and mean code page 932
        // (～ ① 髙); the strict Shift_JIS converter would refuse them.
        for (const char *alias : {"Shift_JIS", "Shift-JIS", "SJIS", "MS_Kanji", "Windows-31J"})
            xmlAddEncodingAlias("CP932", alias);
    });
}

// libxml2 writes some encodings (UTF-7, the EBCDIC pages) whole, the
// declaration included, in a form that no parser reads back: a record file
// saved in one would take no further record. A two-element document written
// in the encoding and read again tells.
bool ReadableOnceWritten(const char *encoding)
{
    const int flags = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    xmlDocPtr probe = xmlReadMemory("<r><e/></r>", 11, nullptr, nullptr, flags);
    if (!probe)
        return false;
    xmlChar *mem = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(probe, &mem, &size, encoding, 0);
    xmlFreeDoc(probe);
    if (!mem)
        return false;
    xmlDocPtr back = xmlReadMemory(reinterpret_cast<const char *>(mem), size, nullptr, nullptr, flags);
    xmlFree(mem);
    const bool readable = back && xmlDocGetRootElement(back);
    if (back)
        xmlFreeDoc(back);
    return readable;
}

// A record that fails is dropped without a word; the library's own messages
// would only reach the terminal of a service.
void ignoreMessage(void *, const char *, ...) {}
void ignoreError(void *, xmlErrorPtr) {}

bool isBlankText(xmlNodePtr n)
{
    return n && n->type == XML_TEXT_NODE && xmlIsBlankNode(n);
}

int depthOf(xmlNodePtr n)
{
    int depth = 0;
    for (xmlNodePtr p = n->parent; p && p->type == XML_ELEMENT_NODE; p = p->parent)
        ++depth;
    return depth;
}

QByteArray indent(int depth) { return '\n' + QByteArray(depth, '\t'); }

bool isXmlChar(char16_t c)
{
    return c >= 0x20 ? c != 0xFFFE && c != 0xFFFF : c == u'\t' || c == u'\n' || c == u'\r';
}

QByteArray xmlText(const QString &text)
{
    QString safe = text;
    for (QChar &c : safe)
        if (!isXmlChar(c.unicode()))
            c = u'?';
    return safe.toUtf8();
}

bool unicodeEncoding(const char *encoding)
{
    return !encoding || qstrnicmp(encoding, "UTF-8", 5) == 0 || qstrnicmp(encoding, "UTF8", 4) == 0
           || qstrnicmp(encoding, "UTF-16", 6) == 0 || qstrnicmp(encoding, "UTF16", 5) == 0;
}

// Only the first top-level node of the name counts, whatever follows it.
xmlNodePtr topLevelInstruction(xmlDocPtr doc, const QString &target)
{
    if (!doc)
        return nullptr;
    const QByteArray name = target.toUtf8();
    for (xmlNodePtr n = doc->children; n; n = n->next)
        if (n->name && xmlStrcmp(n->name, x(name)) == 0)
            return n->type == XML_PI_NODE ? n : nullptr;
    return nullptr;
}

} // namespace

XmlDocument::~XmlDocument() { Deactivate(); }

bool XmlDocument::Available()
{
    XmlDocument doc;
    if (!doc.Activate())
        return false;
    const bool ok = doc.Parse("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<root>\n</root>") && doc.Root();
    doc.Deactivate();
    return ok;
}

bool XmlDocument::Activate()
{
    registerEncodings();
    // The handlers belong to the calling thread.
    xmlSetGenericErrorFunc(nullptr, ignoreMessage);
    xmlSetStructuredErrorFunc(nullptr, ignoreError);
    active_ = true;
    return true;
}

void XmlDocument::Deactivate()
{
    if (doc_)
        xmlFreeDoc(doc_);
    doc_ = nullptr;
    active_ = false;
}

bool XmlDocument::Parse(const QByteArray &text)
{
    if (!active_ && !Activate())
        return false;
    if (doc_)
        xmlFreeDoc(doc_);
    // White space stays as it is in the file; no network, no external
    // entities, no messages on the terminal.
    doc_ = xmlReadMemory(text.constData(), int(text.size()), nullptr, nullptr,
                         XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (doc_ && !xmlDocGetRootElement(doc_)) {
        xmlFreeDoc(doc_);
        doc_ = nullptr;
    }
    return doc_ != nullptr;
}

bool XmlDocument::Load(const QString &path)
{
    const std::optional<QByteArray> text = SafeFile::read(path);
    return text && Parse(*text);
}

QByteArray XmlDocument::Serialise() const
{
    if (!doc_)
        return {};
    xmlChar *mem = nullptr;
    int size = 0;
    const char *encoding = doc_->encoding ? reinterpret_cast<const char *>(doc_->encoding) : nullptr;
    if (encoding && !ReadableOnceWritten(encoding))
        return {};
    xmlDocDumpFormatMemoryEnc(doc_, &mem, &size, encoding, 0);
    if (!mem)
        return {};
    QByteArray out(reinterpret_cast<const char *>(mem), size);
    xmlFree(mem);
    // Names the encoding may not hold: only reading the result back tells.
    if (!unicodeEncoding(encoding) && !NamesAreAscii()) {
        xmlDocPtr back = xmlReadMemory(out.constData(), int(out.size()), nullptr, nullptr,
                                       XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        const bool readable = back && xmlDocGetRootElement(back);
        if (back)
            xmlFreeDoc(back);
        if (!readable)
            return {};
    }
    return out;
}

bool XmlDocument::Save(const QString &path) const
{
    return SaveBytes(path, Serialise());
}

bool XmlDocument::SaveBytes(const QString &path, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return false;
    return SafeFile::replace(path, bytes);
}

bool XmlDocument::HasTopLevelInstruction(const QString &target) const
{
    return topLevelInstruction(doc_, target) != nullptr;
}

bool XmlDocument::RemoveTopLevelInstruction(const QString &target)
{
    xmlNodePtr n = topLevelInstruction(doc_, target);
    if (!n)
        return false;
    xmlUnlinkNode(n);
    xmlFreeNode(n);
    return true;
}

bool XmlDocument::InsertTopLevelInstruction(const QString &target, const QString &data)
{
    const auto holdable = [](QChar c) { return isXmlChar(c.unicode()); };
    if (!doc_ || data.contains(u"?>") || !std::all_of(data.begin(), data.end(), holdable))
        return false;
    xmlNodePtr pi = xmlNewDocPI(doc_, x(target.toUtf8()), x(data.toUtf8()));
    if (!pi)
        return false;
    if (doc_->children)
        xmlAddPrevSibling(doc_->children, pi);
    else
        xmlAddChild(reinterpret_cast<xmlNodePtr>(doc_), pi);
    return true;
}

void XmlDocument::SetEncoding(const QString &encoding)
{
    if (!doc_)
        return;
    if (doc_->encoding)
        xmlFree(const_cast<xmlChar *>(doc_->encoding));
    doc_->encoding = encoding.isEmpty() ? nullptr : xmlStrdup(x(encoding.toUtf8()));
}

XmlDocument::Node XmlDocument::Root() const
{
    return doc_ ? xmlDocGetRootElement(doc_) : nullptr;
}

bool XmlDocument::HasDocumentType() const
{
    return doc_ && (doc_->intSubset || doc_->extSubset);
}

bool XmlDocument::RootEndsDocument() const
{
    const xmlNodePtr root = Root();
    return root && root->children && !root->next;
}

bool XmlDocument::NamesAreAscii() const
{
    if (!doc_)
        return false;
    const auto ascii = [](const xmlChar *name) {
        for (; name && *name; ++name)
            if (*name >= 0x80)
                return false;
        return true;
    };
    const auto nsAscii = [&](xmlNsPtr ns) { return !ns || ascii(ns->prefix); };
    // Depth first without recursion: the parser allows deep documents.
    for (xmlNodePtr n = doc_->children; n;) {
        if (n->type == XML_ELEMENT_NODE || n->type == XML_PI_NODE) {
            if (!ascii(n->name) || (n->type == XML_ELEMENT_NODE && !nsAscii(n->ns)))
                return false;
        }
        if (n->type == XML_ELEMENT_NODE) {
            for (xmlAttrPtr a = n->properties; a; a = a->next)
                if (!ascii(a->name) || !nsAscii(a->ns))
                    return false;
            for (xmlNsPtr ns = n->nsDef; ns; ns = ns->next)
                if (!nsAscii(ns))
                    return false;
            if (n->children) {
                n = n->children;
                continue;
            }
        }
        while (n && !n->next)
            n = n->parent && n->parent->type != XML_DOCUMENT_NODE ? n->parent : nullptr;
        if (n)
            n = n->next;
    }
    return true;
}

XmlDocument::Node XmlDocument::AppendElement(Node parent, const QString &name)
{
    if (!doc_ || !parent)
        return nullptr;
    xmlNodePtr element = xmlNewDocNode(doc_, nullptr, x(name.toUtf8()), nullptr);
    if (!element)
        return nullptr;
    const int depth = depthOf(parent) + 1;
    const QByteArray before = indent(depth);
    xmlNodePtr last = parent->last;
    if (isBlankText(last)) {
        // The blank before the parent's end tag stays where it is: the new
        // element goes in front of it, on a line of its own.
        // (A text node added next to another text node is merged into it,
        // so the element goes in first and its indent in front of it.)
        xmlAddPrevSibling(last, element);
        xmlAddPrevSibling(element, xmlNewDocTextLen(doc_, x(before), int(before.size())));
    } else {
        const QByteArray after = indent(depth - 1);
        xmlAddChild(parent, xmlNewDocTextLen(doc_, x(before), int(before.size())));
        xmlAddChild(parent, element);
        xmlAddChild(parent, xmlNewDocTextLen(doc_, x(after), int(after.size())));
    }
    return element;
}

void XmlDocument::SetAttribute(Node element, const QString &name, const QString &value)
{
    if (element)
        xmlSetProp(element, x(name.toUtf8()), x(xmlText(value)));
}

void XmlDocument::SetText(Node element, const QString &text)
{
    if (!element)
        return;
    // A text node holds its text as it is; the writer escapes & and <. An
    // empty text gets no node: written as <e></e> it would read back as
    // <e/>, and the file would change at its next save.
    xmlNodeSetContent(element, nullptr);
    if (!text.isEmpty())
        xmlAddChild(element, xmlNewDocText(doc_, x(xmlText(text))));
}
