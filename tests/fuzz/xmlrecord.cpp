// The XML record loader: a record appended to a record file holding any
// bytes. A file that does not take the record is left exactly as it was; a
// document that parses serialises to text that parses again. A second record
// to the file just saved (which goes in as text when the file is known)
// gives the same bytes and the same answer as the whole load and save.
//
// Fields: the file, a selector (record kind and encoding), then the lines.

#include "FuzzInput.h"

#include "config/Settings.h"
#include "events/RecordFile.h"
#include "events/XmlDocument.h"
#include "events/XmlRecordAppend.h"

#include <QDateTime>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const fuzz::Fields f(data, size);
    const QByteArray contents = f.bytes(0);
    const QByteArray selector = f.bytes(1);
    const int pick = selector.isEmpty() ? 0 : quint8(selector[0]);
    QStringList lines;
    for (qsizetype i = 2; i < f.count(); ++i)
        lines << f.text(i);

    {
        XmlDocument doc;
        if (doc.Parse(contents)) {
            const QByteArray text = doc.Serialise();
            if (!text.isEmpty()) {
                XmlDocument back;
                FUZZ_CHECK(back.Parse(text));
            }
        }
    }

    static const char *const encodings[] = {"UTF-8", "Shift_JIS", "EUC-JP", "ISO-8859-1", "UTF-16", ""};
    ProgramSettings s;
    s.ProgramDir = fuzz::ScratchDir();
    s.Login.RecordFile = s.Logout.RecordFile = s.Access.RecordFile = QStringLiteral("record");
    s.Login.RecordFileExp = s.Logout.RecordFileExp = s.Access.RecordFileExp = QStringLiteral("xml");
    s.Config.XMLEncoding = QString::fromLatin1(encodings[(pick >> 2) % 6]);
    if (pick & 0x80)
        s.Config.XSLFile = QStringLiteral("style.xsl");
    const RecordKind kind = RecordKind((pick & 3) % 3);

    const QString path = fuzz::ScratchDir() + QStringLiteral("record.xml");
    if (!fuzz::WriteFile(path, reinterpret_cast<const uint8_t *>(contents.constData()), size_t(contents.size())))
        return 0;
    const QDateTime when(QDate(2026, 12, 6), QTime(9, 5, 0));
    ForgetXmlRecordFiles();
    if (!WriteRecord(kind, lines, s, when, {})) {
        FUZZ_CHECK(fuzz::ReadFile(path) == contents);
        return 0;
    }
    const QByteArray first = fuzz::ReadFile(path);
    const RecordKind next = RecordKind((qToUnderlying(kind) + 1) % 3);
    const bool knownOk = WriteRecord(next, lines, s, when, {});
    const QByteArray known = fuzz::ReadFile(path);
    ForgetXmlRecordFiles();
    if (!fuzz::WriteFile(path, reinterpret_cast<const uint8_t *>(first.constData()), size_t(first.size())))
        return 0;
    const bool loadedOk = WriteRecord(next, lines, s, when, {});
    FUZZ_CHECK(knownOk == loadedOk);
    FUZZ_CHECK(known == fuzz::ReadFile(path));
    ForgetXmlRecordFiles();
    return 0;
}
