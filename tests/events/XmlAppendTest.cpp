// An XML record appended to a file this process saved last goes in as text;
// every other record loads and saves the whole file. The two must write the
// same bytes, and anything that touched the file in between must send the
// record through the full load again.

#include "events/RecordFile.h"
#include "events/XmlRecordAppend.h"

#include "config/Settings.h"
#include "platform/Cp932.h"
#include "support/TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

const QDateTime Morning(QDate(2026, 12, 6), QTime(9, 5, 0));

struct Step {
    RecordKind kind;
    QStringList lines;
    QString encoding;
    QString stylesheet;
};

// Every kind of record, with texts that need escaping, code page 932's own
// characters, characters no Japanese encoding has, a carriage return in a
// file name and lines with nothing to hang from.
QList<Step> everyRecord(const QString &encoding, const QString &stylesheet)
{
    const QStringList logins{u"tanaka\tPC-TANAKA"_qs, u"鈴木 & <Co> \"q\" 'a'\tPC2"_qs, u"髙橋①～\tPC3"_qs,
                             u"한국 😀 Ω\tPC4"_qs};
    const QStringList access{u"2no directory yet"_qs,
                             u"0guest\tPC-GUEST\t01:02:03\t00:00:04"_qs,
                             u"1public\tguest"_qs,
                             u"2public\\docs\\a&b<c>d\"e'f.txt"_qs,
                             u"2public\\表～①髙 한😀.xls"_qs,
                             u"1IPC$\t"_qs,
                             u"0管理者\t192.168.0.9\t100:00:00\t00:10:00"_qs,
                             u"1共有\t管理者"_qs,
                             u"2共有\\改行\r.txt"_qs,
                             u"2"_qs};  // an empty file name: <file/>, as the next load reads it
    return {{RecordKind::Login, logins, encoding, stylesheet},
            {RecordKind::Access, access, encoding, stylesheet},
            {RecordKind::Logout, {u"鈴木 & <Co>\tPC2"_qs}, encoding, stylesheet},
            {RecordKind::Login, {}, encoding, stylesheet},
            {RecordKind::Access, {u"0solo\tPC9\t00:00:01\t00:00:00"_qs}, encoding, stylesheet},
            {RecordKind::Logout, logins, encoding, stylesheet}};
}

struct Written {
    bool ok = false;
    QByteArray bytes;
};

struct XmlAppend : ::testing::Test {
    TempDir dir;

    void TearDown() override { ForgetXmlRecordFiles(); }

    ProgramSettings settingsFor(const QString &name, const Step &step) const
    {
        ProgramSettings s;
        s.ProgramDir = dir.path();
        s.Login.RecordFile = s.Logout.RecordFile = s.Access.RecordFile = name;
        s.Login.RecordFileExp = s.Logout.RecordFileExp = s.Access.RecordFileExp = QStringLiteral("xml");
        s.Config.XMLEncoding = step.encoding;
        s.Config.XSLFile = step.stylesheet;
        return s;
    }

    // The file after each step, starting from start (no file when null).
    // Forgetting before every record sends each one through the full load.
    QList<Written> run(const QString &name, const QByteArray &start, const QList<Step> &steps, bool forgetEach)
    {
        const QString file = name + QStringLiteral(".xml");
        QFile::remove(dir.path(file));
        if (!start.isNull()) {
            EXPECT_TRUE(dir.write(file, start));
        }
        QList<Written> out;
        for (const Step &step : steps) {
            if (forgetEach)
                ForgetXmlRecordFiles();
            Written w;
            w.ok = WriteRecord(step.kind, step.lines, settingsFor(name, step), Morning, {});
            w.bytes = dir.read(file);
            out << w;
        }
        return out;
    }

    // Both ways from the same start; known: whether the file could take its
    // next record as text after the last step.
    void expectSameBytes(const QByteArray &start, const QList<Step> &steps, int known)
    {
        ForgetXmlRecordFiles();
        const QList<Written> appended = run(QStringLiteral("appended"), start, steps, false);
        EXPECT_EQ(ForgetXmlRecordFiles(), known);
        const QList<Written> loaded = run(QStringLiteral("loaded"), start, steps, true);
        for (qsizetype i = 0; i < steps.size(); ++i) {
            EXPECT_EQ(appended[i].ok, loaded[i].ok) << "record " << i;
            EXPECT_EQ(appended[i].bytes, loaded[i].bytes) << "record " << i;
        }
    }
};

// Whether the file is remembered after its records, so that the next one
// would go in as text.
enum class Known { Always, Never, InUtf8 };

struct Start {
    const char *what;
    QByteArray bytes;
    Known known = Known::Always;
};

QList<Start> startingFiles()
{
    return {
        {"created by the first record", QByteArray()},
        {"root without a trailing blank",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root><login year=\"2025\"/></root>"},
        {"root ending in text", "<?xml version=\"1.0\"?>\n<root>\n\t<login/>\n\tnot blank &amp; &gt;\n</root>\n"},
        {"carriage returns kept as references",
         "<?xml version=\"1.0\"?>\r\n<!-- before -->\r\n<root a=\"&#13;\">\r\n\t<login/>&#13;\r\n &#13;</root>\r\n"},
        {"two stylesheet instructions",
         "<?xml-stylesheet href=\"a.xsl\"?>\n<?xml-stylesheet href=\"b.xsl\"?>\n<root>\n</root>"},
        {"empty root", "<root/>"},
        {"namespaces and another root name",
         "<records xmlns=\"urn:x\" xmlns:p=\"urn:p\" p:a=\"1\"><p:x/>\n  <y>t</y>  \n</records>"},
        {"windows file in code page 932",
         Cp932::encode(u"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n"
                       u"<?xml-stylesheet type=\"text/xsl\" href=\"k.xsl\"?>\r\n"
                       u"<root>\r\n  <!-- 記録～① -->\r\n"
                       u"  <login year=\"2026\">   <user name=\"髙橋①～\"/></login>\r\n</root>\r\n")},
        // Always the full load: entities and the XHTML rules change how
        // the whole document is written.
        {"document type", "<!DOCTYPE root [<!ENTITY e \"ent\">]>\n<root>&e;\n</root>", Known::Never},
        // The comment reads like an end tag after a blank.
        {"comment after the root", "<root>\n</root>\n<!--> </x-->\n", Known::Never},
        // Names not every encoding holds.
        {"japanese root name", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<記録>\n</記録>", Known::InUtf8},
        {"japanese attribute name", "<root>\n\t<a><b/><b 属性=\"値\"/></a>\n</root>", Known::InUtf8},
    };
}

} // namespace

// The decisive check: records appended as text give exactly the bytes of
// the full load and save, in every encoding, with and without a stylesheet,
// from every kind of starting file.
TEST_F(XmlAppend, SameBytesAsTheFullLoad)
{
    const QStringList encodings{u"UTF-8"_qs, u"Shift_JIS"_qs, u"EUC-JP"_qs, u"ISO-8859-1"_qs, u""_qs};
    const QStringList stylesheets{u""_qs, u"C:\\styles\\記録 & <x>.xsl"_qs};
    for (const Start &start : startingFiles()) {
        for (const QString &encoding : encodings) {
            for (const QString &stylesheet : stylesheets) {
                SCOPED_TRACE(std::string(start.what) + ", " + encoding.toStdString() + ", "
                             + stylesheet.toStdString());
                const bool utf8 = encoding == u"UTF-8" || encoding.isEmpty();
                const bool known = start.known == Known::Always || (start.known == Known::InUtf8 && utf8);
                expectSameBytes(start.bytes, everyRecord(encoding, stylesheet), known ? 1 : 0);
            }
        }
    }
}

// UTF-16 and the other encodings that are not ASCII underneath are always
// loaded whole; so is a settings change, which rewrites the file.
TEST_F(XmlAppend, EncodingsAndSettingsChangesTakeTheFullLoad)
{
    expectSameBytes({}, everyRecord(u"UTF-16"_qs, u""_qs), 0);
    expectSameBytes({}, everyRecord(u"ISO-2022-JP"_qs, u"s.xsl"_qs), 0);

    QList<Step> steps = everyRecord(u"UTF-8"_qs, u""_qs);
    steps[1].encoding = steps[2].encoding = u"Shift_JIS"_qs;
    steps[2].stylesheet = steps[3].stylesheet = u"新しい.xsl"_qs;
    steps[4].encoding = u"EUC-JP"_qs;
    steps[5].encoding = u"utf-8"_qs;
    expectSameBytes({}, steps, 1);

    // A control character is stored as "?" and a stylesheet name that would
    // end its instruction early leaves the instruction out, either way.
    steps = everyRecord(u"UTF-8"_qs, u""_qs);
    steps[2].lines = QStringList{u"bell\x07\tPC"_qs};
    expectSameBytes({}, steps, 1);
    steps = everyRecord(u"UTF-8"_qs, u"a?>b.xsl"_qs);
    expectSameBytes({}, steps, 1);
}

// Anything that wrote the file after this process did sends the next record
// through the full load: a damaged file stays as it is and the record is
// not written.
TEST_F(XmlAppend, FileChangedByAnotherHand)
{
    const QList<Step> steps = everyRecord(u"Shift_JIS"_qs, u""_qs);
    const QString file = dir.path(u"appended.xml"_qs);
    const ProgramSettings s = settingsFor(u"appended"_qs, steps[0]);
    // The same size, the root's end where it was: only a full load sees it.
    const auto damage = [](QByteArray bytes) { return bytes.replace("<user ", "<user<"); };

    const auto prepare = [&] {
        run(u"appended"_qs, {}, steps.first(2), false);
        return dir.read(u"appended.xml"_qs);
    };
    const auto expectRefused = [&](const QByteArray &now, const char *how) {
        EXPECT_FALSE(WriteRecord(RecordKind::Login, steps[0].lines, s, Morning, {})) << how;
        EXPECT_EQ(dir.read(u"appended.xml"_qs), now) << how;
    };

    // Rewritten through another file renamed over it.
    QByteArray bytes = damage(prepare());
    ASSERT_TRUE(dir.write(u"other.xml"_qs, bytes));
    ASSERT_TRUE(QFile::remove(file));
    ASSERT_TRUE(QFile::rename(dir.path(u"other.xml"_qs), file));
    expectRefused(bytes, "renamed over");

    // Rewritten in place, its modification time set back.
    bytes = prepare();
    struct stat before;
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &before), 0);
    bytes = damage(bytes);
    ASSERT_TRUE(dir.write(u"appended.xml"_qs, bytes));
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0), 0);
    expectRefused(bytes, "rewritten in place");

    // Something appended.
    bytes = prepare() + "garbage";
    ASSERT_TRUE(dir.write(u"appended.xml"_qs, bytes));
    expectRefused(bytes, "appended to");

    // Only touched, or removed: the record is written as the full load
    // writes it.
    for (const char *how : {"touched", "removed"}) {
        prepare();
        const timespec now[2] = {{0, UTIME_NOW}, {0, UTIME_NOW}};
        if (QByteArray(how) == "touched")
            ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), now, 0), 0);
        else
            ASSERT_TRUE(QFile::remove(file));
        QFile::remove(dir.path(u"loaded.xml"_qs));
        if (QFile::exists(file)) {
            ASSERT_TRUE(QFile::copy(file, dir.path(u"loaded.xml"_qs)));
        }
        ASSERT_TRUE(WriteRecord(RecordKind::Access, steps[1].lines, s, Morning, {})) << how;
        ForgetXmlRecordFiles();
        ASSERT_TRUE(WriteRecord(RecordKind::Access, steps[1].lines, settingsFor(u"loaded"_qs, steps[0]), Morning, {}));
        EXPECT_EQ(dir.read(u"appended.xml"_qs), dir.read(u"loaded.xml"_qs)) << how;
    }
}

// Only the last few files are remembered, the oldest forgotten first.
TEST_F(XmlAppend, AHandfulOfFilesRemembered)
{
    const Step step = everyRecord(u"UTF-8"_qs, u""_qs)[2];
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(WriteRecord(step.kind, step.lines, settingsFor(QStringLiteral("f%1").arg(i), step), Morning, {}));
    const int known = ForgetXmlRecordFiles();
    EXPECT_GE(known, 3);
    EXPECT_LT(known, 10);
}
