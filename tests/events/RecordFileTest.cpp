#include "events/RecordFile.h"

#include "config/Settings.h"
#include "events/RecordReader.h"
#include "events/XmlDocument.h"
#include "platform/Cp932.h"
#include "platform/SafeFile.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {

const QDateTime Sunday(QDate(2026, 12, 6), QTime(9, 5, 0));
const QDateTime SundayEvening(QDate(2026, 12, 6), QTime(18, 0, 1));
const QDateTime Monday(QDate(2026, 12, 7), QTime(17, 30, 59));

QByteArray expected(const QString &name)
{
    QFile f(QStringLiteral(CORVANE_TEST_DATA "/events/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("missing expected file ") + name.toUtf8();
}

// CORVANE_WRITE_EXPECTED=1 rewrites the expected files from what the code
// writes now; review the difference before committing it.
void expectFile(const QByteArray &actual, const QString &name)
{
    if (qEnvironmentVariableIsSet("CORVANE_WRITE_EXPECTED")) {
        QFile f(QStringLiteral(CORVANE_TEST_DATA "/events/") + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(actual);
        return;
    }
    EXPECT_EQ(actual, expected(name)) << name.toStdString();
}

struct Records : ::testing::Test {
    TempDir dir;
    ProgramSettings s;
    QStringList warnings;
    RecordNameWarning warn = [this](const QString &name) { warnings << name; };

    void SetUp() override
    {
        s.ProgramDir = dir.path();
        for (auto *e : {&s.Login, &s.Logout}) {
            e->RecordFile = QStringLiteral("KR%y%m%d");
            e->RecordFileExp = QStringLiteral("log");
        }
        s.Access.RecordFile = QStringLiteral("KR%y%m%d");
        s.Access.RecordFileExp = QStringLiteral("log");
        s.Config.XMLEncoding = QStringLiteral("UTF-8");
    }
    void setExtension(const QString &ext)
    {
        s.Login.RecordFileExp = s.Logout.RecordFileExp = s.Access.RecordFileExp = ext;
    }
};

const QStringList ThreeLogins{u"tanaka\tPC-TANAKA"_qs, u"鈴木\t*PC-SUZUKI"_qs, u"髙橋①\tPC3"_qs};
const QStringList OneSession{u"0guest\tPC-GUEST\t01:02:03\t00:00:04"_qs};
const QStringList FullAccess{u"0guest\tPC-GUEST\t01:02:03\t00:00:04"_qs, u"1public\tguest"_qs,
                             u"2public\\docs\\a&b.txt"_qs, u"2public\\表.xls"_qs, u"1IPC$\t"_qs,
                             u"0admin\t192.168.0.9\t100:00:00\t00:10:00"_qs};

} // namespace

TEST(RecordNames, TemplatesOnAFixedDate)
{
    const QDate d(2026, 12, 6);
    EXPECT_EQ(ExpandRecordName(u"KR%y%m%d.log", d), u"KR20261206.log");
    EXPECT_EQ(ExpandRecordName(u"%Y-%m-%d.log", d), u"26-12-06.log");
    EXPECT_EQ(ExpandRecordName(u"%%%q", d), u"%q");
    EXPECT_EQ(ExpandRecordName(u"abc%", d), u"abc");
    EXPECT_EQ(ExpandRecordName(u"%M%D%Y", QDate(2009, 3, 4)), u"MD09");
    EXPECT_EQ(ExpandRecordName(u"記録%m.%d", QDate(2009, 3, 4)), u"記録03.04");
    EXPECT_EQ(ExpandRecordName(u"", d), u"");
}

TEST(RecordNames, ElevenForbiddenCharacters)
{
    for (QChar c : QStringView(u"\\/:,;*?\"<>|"))
        EXPECT_FALSE(IsValidRecordName(u"a"_qs + c + u"b"_qs)) << int(c.unicode());
    EXPECT_TRUE(IsValidRecordName(u"KR20261206.log"));
    EXPECT_TRUE(IsValidRecordName(u""));
    EXPECT_TRUE(IsValidRecordName(u"記録 %&'.xml"));
    EXPECT_EQ(InvalidRecordNameMessage(u"a:b.log"_qs), u"ファイル名が不正です。\na:b.log");
}

TEST(RecordNames, DateAndTimeTexts)
{
    EXPECT_EQ(RecordDateText(QDate(2026, 12, 6)), u"2026/12/06(日)");
    const char16_t *days[] = {u"月", u"火", u"水", u"木", u"金", u"土", u"日"};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(RecordDateText(QDate(2026, 12, 7 + i)).mid(11, 1), QString::fromUtf16(days[i]));
    EXPECT_EQ(RecordTimeText(QTime(9, 5, 0)), u"09:05:00");
    EXPECT_EQ(RecordTimeText(QTime(23, 59, 7)), u"23:59:07");
}

TEST_F(Records, PathRules)
{
    RecordTarget t = RecordFilePath(RecordKind::Login, s, Sunday.date());
    EXPECT_TRUE(t.valid);
    EXPECT_EQ(t.name, u"KR20261206.log");
    EXPECT_EQ(t.path, dir.path() + u"KR20261206.log"_qs);

    // No separator goes between folder and name.
    s.Logout.RecordFolder = u"/var/rec"_qs;
    s.Logout.RecordFile = u"%Y"_qs;
    s.Logout.RecordFileExp = u"%m"_qs;
    t = RecordFilePath(RecordKind::Logout, s, Sunday.date());
    EXPECT_EQ(t.path, u"/var/rec26.12");

    // The folder is never checked, the expanded name always is.
    s.Access.RecordFolder = u"C:\\rec\\"_qs;
    s.Access.RecordFileExp = u""_qs;
    t = RecordFilePath(RecordKind::Access, s, Sunday.date());
    EXPECT_TRUE(t.valid);
    EXPECT_EQ(t.name, u"KR20261206.");
    s.Access.RecordFileExp = u"l,g"_qs;
    EXPECT_FALSE(RecordFilePath(RecordKind::Access, s, Sunday.date()).valid);

    EXPECT_TRUE(IsXmlRecordPath(u"/a/KR.xml"));
    EXPECT_TRUE(IsXmlRecordPath(u"/a/KR.Xml"));
    EXPECT_FALSE(IsXmlRecordPath(u"/a.xml/KR"));
    EXPECT_FALSE(IsXmlRecordPath(u"/a/KR.xmlx"));
    EXPECT_FALSE(IsXmlRecordPath(u"/a/KR."));
}

TEST_F(Records, InvalidNameWarnsAndWritesNothing)
{
    s.Login.RecordFile = u"KR:%d"_qs;
    EXPECT_FALSE(WriteRecord(RecordKind::Login, ThreeLogins, s, Sunday, warn));
    EXPECT_EQ(warnings, QStringList{u"KR:06.log"_qs});
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(Records, TextRecordsAppendByteForByte)
{
    ASSERT_TRUE(WriteRecord(RecordKind::Login, ThreeLogins, s, Sunday, warn));
    expectFile(dir.read(u"KR20261206.log"_qs), u"login3.log"_qs);
    ASSERT_TRUE(WriteRecord(RecordKind::Logout, {u"鈴木\t*PC-SUZUKI"_qs}, s, Sunday, warn));
    ASSERT_TRUE(WriteRecord(RecordKind::Access, FullAccess, s, Sunday, warn));
    ASSERT_TRUE(WriteRecord(RecordKind::Access, OneSession, s, Sunday, warn));
    expectFile(dir.read(u"KR20261206.log"_qs), u"appended.log"_qs);
    // The next day starts its own file.
    ASSERT_TRUE(WriteRecord(RecordKind::Login, ThreeLogins, s, Monday, warn));
    EXPECT_TRUE(dir.exists(u"KR20261207.log"_qs));
    EXPECT_TRUE(warnings.isEmpty());
}

TEST_F(Records, TextRecordLinesAreCp932)
{
    const QStringList block = TextRecordLines(RecordKind::Login, ThreeLogins, Sunday);
    ASSERT_EQ(block.size(), 5);
    EXPECT_EQ(block[0], u"[Login]--------------[2026/12/06(日) 09:05:00]-----------------");
    EXPECT_EQ(block[0].indexOf(u"2026"), 22);
    EXPECT_EQ(TextRecordLines(RecordKind::Logout, {}, Sunday)[0].left(22), u"[Logout]-------------[");
    EXPECT_EQ(TextRecordLines(RecordKind::Access, {}, Sunday)[0].left(22), u"[Access]-------------[");
    EXPECT_EQ(block[4], u".");
    ASSERT_TRUE(WriteRecord(RecordKind::Login, ThreeLogins, s, Sunday, warn));
    EXPECT_TRUE(dir.read(u"KR20261206.log"_qs).contains(Cp932::encode(u"髙橋①") + "\r\n.\r\n"));
}

TEST_F(Records, MissingFolderLosesTheRecordSilently)
{
    s.Login.RecordFolder = dir.path(u"no/such/folder/"_qs);
    EXPECT_FALSE(WriteRecord(RecordKind::Login, ThreeLogins, s, Sunday, warn));
    setExtension(u"xml"_qs);
    EXPECT_FALSE(WriteRecord(RecordKind::Login, ThreeLogins, s, Sunday, warn));
    EXPECT_TRUE(warnings.isEmpty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

// A record folder shared with clients: one planted a dangling link for the
// XML record, a link to another file for the text record and a FIFO for
// the next day's. Each record fails; nothing is written elsewhere, nothing
// waits, and no report reads the other file.
TEST_F(Records, LinksAndFifosWhereARecordShouldBeAreFailedWrites)
{
    ASSERT_TRUE(QDir().mkpath(dir.path(u"records"_qs)) && QDir().mkpath(dir.path(u"victim"_qs)));
    ASSERT_TRUE(dir.write(u"victim/notes.txt"_qs, "mine\n"));
    s.Login.RecordFolder = s.Logout.RecordFolder = s.Access.RecordFolder = dir.path(u"records/"_qs);
    s.Login.RecordFileExp = u"xml"_qs;
    ASSERT_TRUE(QFile::link(u"../victim/new.xml"_qs, dir.path(u"records/KR20261206.xml"_qs)));
    ASSERT_TRUE(QFile::link(u"../victim/notes.txt"_qs, dir.path(u"records/KR20261206.log"_qs)));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.path(u"records/KR20261207.log"_qs)).constData(), 0666), 0);

    EXPECT_FALSE(WriteRecord(RecordKind::Login, ThreeLogins, s, Sunday, warn));
    EXPECT_FALSE(WriteRecord(RecordKind::Access, FullAccess, s, Sunday, warn));
    EXPECT_FALSE(WriteRecord(RecordKind::Logout, ThreeLogins, s, Monday, warn));
    EXPECT_FALSE(dir.exists(u"victim/new.xml"_qs));
    EXPECT_EQ(dir.read(u"victim/notes.txt"_qs), "mine\n");
    EXPECT_TRUE(QFileInfo(dir.path(u"records/KR20261206.log"_qs)).isSymLink());

    const RecordReading r = ReadRecordFile(dir.path(u"records/KR20261206.log"_qs));
    EXPECT_TRUE(r.Blocks.isEmpty());
    EXPECT_EQ(r.Notes.size(), 1);
}

// A full disk, stood in for by a file-size limit: the login block that does
// not fit fails and leaves the file as it was, so the next block and the
// reader are not thrown off by half a line.
TEST_F(Records, ARecordThatDoesNotFitLeavesNoHalfBlock)
{
    ASSERT_TRUE(WriteRecord(RecordKind::Login, ThreeLogins, s, Sunday, warn));
    const QByteArray before = dir.read(u"KR20261206.log"_qs);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit tight = old;
    tight.rlim_cur = rlim_t(before.size() + 20);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    const bool written = WriteRecord(RecordKind::Login, ThreeLogins, s, SundayEvening, warn);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(dir.read(u"KR20261206.log"_qs), before);

    ASSERT_TRUE(WriteRecord(RecordKind::Logout, {u"tanaka\tPC-TANAKA"_qs}, s, SundayEvening, warn));
    const RecordReading r = ReadRecordFile(dir.path(u"KR20261206.log"_qs));
    ASSERT_EQ(r.Blocks.size(), 2);
    EXPECT_EQ(r.Blocks[0].Names.size(), 3);
    EXPECT_EQ(r.Blocks[1].Kind, RecordKind::Logout);
    EXPECT_TRUE(r.Notes.isEmpty());
}

// Anyone who can read a record file can hold its lock. The watch never waits
// for it: the records go out in order, without the lock once it has been
// held too long, and the journal names the file once.
TEST_F(Records, ALockHeldByAnotherProcessDelaysNoRecordAndLosesNone)
{
    SafeFile::setAppendLockWait(std::chrono::milliseconds(200));
    const QString path = dir.path(u"KR20261206.log"_qs);
    ASSERT_TRUE(WriteRecord(RecordKind::Login, {u"first\tPC1"_qs}, s, Sunday, warn));
    const int holder = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    testing::internal::CaptureStderr();
    // Each call comes back at once (a wait would hang here for good).
    EXPECT_TRUE(WriteRecord(RecordKind::Login, {u"second\tPC2"_qs}, s, Sunday, warn));
    EXPECT_TRUE(WriteRecord(RecordKind::Logout, {u"third\tPC3"_qs}, s, Sunday, warn));
    SafeFile::finishAppends();
    // Given back: the next record waits behind none and takes the lock.
    ::close(holder);
    EXPECT_TRUE(WriteRecord(RecordKind::Logout, {u"fourth\tPC4"_qs}, s, SundayEvening, warn));
    SafeFile::finishAppends();
    const std::string said = testing::internal::GetCapturedStderr();
    SafeFile::setAppendLockWait(std::chrono::milliseconds(1000));

    EXPECT_EQ(said, "corvane: appended without its lock (another process holds it): " + path.toStdString() + "\n");
    const RecordReading r = ReadRecordFile(path);
    const QStringList order{u"first"_qs, u"second"_qs, u"third"_qs, u"fourth"_qs};
    ASSERT_EQ(r.Blocks.size(), order.size());
    for (int i = 0; i < order.size(); ++i)
        EXPECT_EQ(r.Blocks[i].Names, QStringList(order[i]));
}

TEST_F(Records, XmlCreatedThenAppended)
{
    setExtension(u"Xml"_qs);
    ASSERT_TRUE(WriteRecord(RecordKind::Login, ThreeLogins, s, Sunday, warn));
    expectFile(dir.read(u"KR20261206.Xml"_qs), u"login3.xml"_qs);
    ASSERT_TRUE(WriteRecord(RecordKind::Access, OneSession, s, SundayEvening, warn));
    expectFile(dir.read(u"KR20261206.Xml"_qs), u"login3-session.xml"_qs);
    ASSERT_TRUE(WriteRecord(RecordKind::Access, FullAccess, s, SundayEvening, warn));
    ASSERT_TRUE(WriteRecord(RecordKind::Logout, {u"鈴木\t*PC-SUZUKI"_qs}, s, SundayEvening, warn));
    expectFile(dir.read(u"KR20261206.Xml"_qs), u"appended.xml"_qs);
}

TEST_F(Records, StylesheetReplacedThenRemoved)
{
    setExtension(u"xml"_qs);
    s.Config.XSLFile = u"C:\\styles\\old.xsl"_qs;
    ASSERT_TRUE(WriteRecord(RecordKind::Login, {u"a\tPC1"_qs}, s, Sunday, warn));
    s.Config.XSLFile = u"新しい.xsl"_qs;
    ASSERT_TRUE(WriteRecord(RecordKind::Login, {u"b\tPC2"_qs}, s, Sunday, warn));
    expectFile(dir.read(u"KR20261206.xml"_qs), u"stylesheet-replaced.xml"_qs);
    s.Config.XSLFile.clear();
    ASSERT_TRUE(WriteRecord(RecordKind::Login, {u"c\tPC3"_qs}, s, Sunday, warn));
    expectFile(dir.read(u"KR20261206.xml"_qs), u"stylesheet-removed.xml"_qs);
}

TEST_F(Records, EveryOfferedEncoding)
{
    setExtension(u"xml"_qs);
    const QStringList names{u"tanaka\tPC1"_qs, u"鈴木\tPC2"_qs, u"Müller\tPC3"_qs};
    for (const char *encoding : {"Shift_JIS", "EUC-JP", "UTF-8", "UTF-16", "ISO-8859-1"}) {
        s.Config.XMLEncoding = QString::fromLatin1(encoding);
        QFile::remove(dir.path(u"KR20261206.xml"_qs));
        ASSERT_TRUE(WriteRecord(RecordKind::Login, names, s, Sunday, warn)) << encoding;
        const QByteArray written = dir.read(u"KR20261206.xml"_qs);
        expectFile(written, u"encoding-"_qs + QString::fromLatin1(encoding) + u".xml"_qs);
        // What was written reads back, and a second record keeps the first.
        ASSERT_TRUE(WriteRecord(RecordKind::Logout, {u"鈴木\tPC2"_qs}, s, Sunday, warn)) << encoding;
        XmlDocument doc;
        ASSERT_TRUE(doc.Load(dir.path(u"KR20261206.xml"_qs))) << encoding;
    }
}

// A file from a Windows machine: code page 932 under the name Shift_JIS, with
// characters strict Shift_JIS does not have, and its own white space.
TEST_F(Records, ShiftJisFileWithCp932Characters)
{
    setExtension(u"xml"_qs);
    s.Config.XMLEncoding = u"Shift_JIS"_qs;
    const QByteArray original = Cp932::encode(
        u"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n"
        u"<?xml-stylesheet type=\"text/xsl\" href=\"k.xsl\"?>\r\n"
        u"<root>\r\n  <!-- 記録～① -->\r\n  <login year=\"2026\">   <user name=\"髙橋①～\"/></login>\r\n</root>\r\n");
    ASSERT_TRUE(dir.write(u"KR20261206.xml"_qs, original));
    ASSERT_TRUE(WriteRecord(RecordKind::Login, {u"①髙～\\\tPC"_qs}, s, Sunday, warn));
    expectFile(dir.read(u"KR20261206.xml"_qs), u"cp932.xml"_qs);
}

TEST_F(Records, DamagedXmlLeftUntouched)
{
    setExtension(u"xml"_qs);
    const QList<QByteArray> damaged{
        "<?xml version=\"1.0\"?>\n<root>\n<login year=\"2026\">\n",
        "",
        "not xml at all",
        "<?xml version=\"1.0\" encoding=\"NO-SUCH-CODE\"?>\n<root>\n</root>\n",
    };
    for (const QByteArray &bytes : damaged) {
        ASSERT_TRUE(dir.write(u"KR20261206.xml"_qs, bytes));
        EXPECT_FALSE(WriteRecord(RecordKind::Login, ThreeLogins, s, Sunday, warn)) << bytes.constData();
        EXPECT_EQ(dir.read(u"KR20261206.xml"_qs), bytes);
    }
    // A sound file that cannot be saved in the chosen encoding stays as well.
    ASSERT_TRUE(dir.write(u"KR20261206.xml"_qs, "<root>\n</root>\n"));
    s.Config.XMLEncoding = u"NO-SUCH-CODE"_qs;
    EXPECT_FALSE(WriteRecord(RecordKind::Login, ThreeLogins, s, Sunday, warn));
    EXPECT_EQ(dir.read(u"KR20261206.xml"_qs), QByteArray("<root>\n</root>\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

// The engine writes UTF-7 whole, the declaration included, in a form it
// cannot read again: a file saved so would take no further record. Such an
// encoding is refused before anything is written, whether the settings name
// it or a loaded document declares it.
TEST_F(Records, EncodingThatWouldNotReadBackIsNeverWritten)
{
    setExtension(u"xml"_qs);
    const QByteArray original = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n</root>\n";
    ASSERT_TRUE(dir.write(u"KR20261206.xml"_qs, original));
    s.Config.XMLEncoding = u"UTF-7"_qs;
    EXPECT_FALSE(WriteRecord(RecordKind::Login, ThreeLogins, s, Sunday, warn));
    EXPECT_EQ(dir.read(u"KR20261206.xml"_qs), original);
    s.Config.XMLEncoding = u"UTF-8"_qs;
    EXPECT_TRUE(WriteRecord(RecordKind::Login, ThreeLogins, s, Sunday, warn));

    XmlDocument doc;
    ASSERT_TRUE(doc.Parse("<?xml version=\"1.0\" encoding=\"UTF-7\" ?>\n<root>\n</root>"));
    EXPECT_TRUE(doc.Serialise().isEmpty());
    EXPECT_FALSE(doc.Save(dir.path(u"KR20261206.xml"_qs)));
    XmlDocument back;
    EXPECT_TRUE(back.Load(dir.path(u"KR20261206.xml"_qs)));
}

TEST_F(Records, TextsAndSettingsXmlCannotHoldNeverLeaveAFileThatTakesNoMoreRecords)
{
    setExtension(u"xml"_qs);
    const QString file = u"KR20261206.xml"_qs;
    auto readable = [&] {
        XmlDocument doc;
        return doc.Load(dir.path(file));
    };

    // Control characters in a listed name or a shared file's name.
    ASSERT_TRUE(WriteRecord(RecordKind::Login, {u"PC\x01\x1b\tx"_qs}, s, Sunday, warn));
    ASSERT_TRUE(WriteRecord(RecordKind::Access, {u"0guest\tPC\t01:02:03\t00:00:04"_qs, u"1public\tguest"_qs,
                                           u"2public\\bell\x07.txt"_qs},
                            s, Sunday, warn));
    EXPECT_TRUE(readable());
    const QByteArray text = dir.read(file);
    EXPECT_TRUE(text.contains("name=\"PC??\""));
    EXPECT_TRUE(text.contains("<file>public\\bell?.txt</file>"));
    ASSERT_TRUE(WriteRecord(RecordKind::Logout, ThreeLogins, s, Sunday, warn)) << "the next record still goes in";

    // A stylesheet name that would end the instruction early: no instruction.
    s.Config.XSLFile = u"a?>b.xsl"_qs;
    ASSERT_TRUE(WriteRecord(RecordKind::Login, ThreeLogins, s, Sunday, warn));
    EXPECT_TRUE(readable());
    EXPECT_FALSE(dir.read(file).contains("xml-stylesheet"));
    s.Config.XSLFile.clear();

    // A name the encoding cannot hold would be written as a character
    // reference inside a tag: the file stays as it was instead.
    const QByteArray japaneseNames = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<記録>\n</記録>\n";
    ASSERT_TRUE(dir.write(file, japaneseNames));
    s.Config.XMLEncoding = u"ISO-8859-1"_qs;
    EXPECT_FALSE(WriteRecord(RecordKind::Login, ThreeLogins, s, Sunday, warn));
    EXPECT_EQ(dir.read(file), japaneseNames);
    s.Config.XMLEncoding = u"Shift_JIS"_qs;
    EXPECT_TRUE(WriteRecord(RecordKind::Login, ThreeLogins, s, Sunday, warn)) << "Shift_JIS holds these names";
    EXPECT_TRUE(readable());
}

TEST(XmlEngine, AvailableAndNoExternalEntities)
{
    EXPECT_TRUE(XmlDocument::Available());
    TempDir dir;
    ASSERT_TRUE(dir.write(u"secret"_qs, "SECRET"));
    XmlDocument doc;
    ASSERT_TRUE(doc.Activate());
    const QByteArray xxe = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY e SYSTEM \"file://"
                           + dir.path(u"secret"_qs).toUtf8() + "\">]><root>&e;</root>";
    if (doc.Parse(xxe)) {
        EXPECT_FALSE(doc.Serialise().contains("SECRET"));
    }
    doc.Deactivate();
    EXPECT_FALSE(doc.Active());
}
