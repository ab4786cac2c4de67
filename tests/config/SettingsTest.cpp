#include "config/Settings.h"

#include "config/ProfileStore.h"
#include "platform/Cp932.h"
#include "support/TempDir.h"

#include <QFile>

#include <sys/stat.h>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray crlf(const char *text)
{
    return QByteArray(text).replace("\n", "\r\n");
}

// The key names of a section, in file order.
QStringList keysOf(const QByteArray &file, const QByteArray &section)
{
    QStringList keys;
    bool in = false;
    for (QByteArray line : file.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[')) {
            in = line == '[' + section + ']';
            continue;
        }
        if (in && line.contains('='))
            keys.append(QString::fromLatin1(line.left(line.indexOf('='))));
    }
    return keys;
}

struct Program {
    TempDir dir;
    ProgramSettings s;

    void put(const QByteArray &bytes) { ASSERT_TRUE(dir.write("Krovan.ini", bytes)); }
    QByteArray file() const { return dir.read("Krovan.ini"); }
    void load(const QStringList &args = {}, std::function<bool()> xml = {}) { LoadSettings(s, dir.path(), args, xml); }
    ProfileStore store() const { return ProfileStore(dir.path("Krovan.ini")); }
};

const char kFlatFile[] = "[Krovan]\n"
                         "Version=1.91\n"
                         "ScreenMode=2\n"
                         "ListMode=4\n"
                         "CheckTime=10\n"
                         "LoginWave=1\n"
                         "UserOnly=1\n"
                         "MainSize=640,480\n"
                         "NetworkWidth=300\n"
                         "SetupLoginWaveFile='  a b.wav  '\n"
                         "MsgTimeLogin=9\n"
                         "AllLogoutAct=2\n"
                         "PingTTL=300\n"
                         "SendMessage=one\\r\\ntwo\n"
                         "LoginRecordFileExp=XML\n"
                         "[Other]\n"
                         "Kept=yes\n";

} // namespace

TEST(Settings, StartsZeroFilled)
{
    const ProgramSettings s;
    EXPECT_TRUE(s.Krovan.Version.isEmpty());
    EXPECT_EQ(s.Config.CheckInterval, 0);
    EXPECT_FALSE(s.Login.ShowMsg);
    EXPECT_EQ(s.TCPIP.TTL, 0);
    EXPECT_EQ(s.Background.TileMode, 0);
    EXPECT_TRUE(s.ProgramDir.isEmpty());
}

TEST(Settings, VersionIsComparedByteByByte)
{
    for (const char *v : {"1.92", "2.10a", "10.0", "1.92a", "2", "a"})
        EXPECT_TRUE(IsSectionedVersion(QString::fromLatin1(v))) << v;
    for (const char *v : {"1.9", "1.91a", "0.00", "", "1.919", "1.", "!"})
        EXPECT_FALSE(IsSectionedVersion(QString::fromLatin1(v))) << v;
}

TEST(Settings, TheVersionChoosesTheLayout)
{
    // Both layouts' keys in one file: the version alone decides which are read.
    for (const char *version : {"1.92", "10.0", "1.9", ""}) {
        Program p;
        p.put(crlf("[Krovan]\nVersion=") + version + crlf("\nCheckTime=3\n[Config]\nCheckInterval=9\n"));
        p.load();
        const bool sectioned = IsSectionedVersion(QString::fromLatin1(version));
        EXPECT_EQ(p.s.Config.CheckInterval, sectioned ? 9 : 3) << version;
        EXPECT_EQ(p.dir.exists("Krovan.oldver.ini"), !sectioned) << version;
    }
}

// A newcomer's hand-written file without the version key is taken for an
// old version's, as installations rely on; the journal says so and names
// both files and the key.
TEST(Settings, AHandWrittenFileWithoutTheVersionIsKeptAndTheOperatorIsTold)
{
    Program p;
    p.put(crlf("[Config]\nCheckInterval=9\n"));
    testing::internal::CaptureStderr();
    p.load();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(p.s.Config.CheckInterval, 9);
    EXPECT_TRUE(p.dir.exists("Krovan.oldver.ini"));
    const std::string settings = (p.dir.path() + u"Krovan.ini"_s).toStdString();
    EXPECT_EQ(said, "corvane: " + settings + " has no [Krovan] Version: read as an older version's settings, kept as " +
                        (p.dir.path() + u"Krovan.oldver.ini"_s).toStdString() +
                        "; a file written by hand starts with [Krovan] and Version=2.10a\n");
}

TEST(Settings, FlatLayoutIsReadKeptAsOldVersionAndReplacedAtTheNextSave)
{
    Program p;
    const QByteArray old = crlf(kFlatFile);
    p.put(old);
    ASSERT_TRUE(QFile::setPermissions(p.dir.path(u"Krovan.ini"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser
                                          | QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther));
    p.load();

    EXPECT_EQ(p.s.Krovan.Version, "1.91");
    EXPECT_EQ(p.s.Krovan.ScreenMode, 2);
    EXPECT_EQ(p.s.Krovan.ListMode, 4);
    EXPECT_EQ(p.s.Config.CheckInterval, 10);
    EXPECT_TRUE(p.s.Login.DoAction);
    EXPECT_TRUE(p.s.Access.NotUserOnly);
    EXPECT_EQ(p.s.MainWnd.Size, "640,480");
    EXPECT_EQ(p.s.EditWnd.Split, 300);
    EXPECT_EQ(p.s.EditWnd.LoginFile, "  a b.wav  ");
    EXPECT_EQ(p.s.Login.ShowMsgTime, 9);
    EXPECT_EQ(p.s.AllLogout.Action, 2);
    EXPECT_EQ(p.s.TCPIP.TTL, 44);
    EXPECT_EQ(p.s.Messenger.SendMessage, "one\\r\\ntwo"); // as written in the flat layout
    EXPECT_EQ(p.s.Login.RecordFileExp, "XML");
    // Defaults of the flat layout, and fields it never had.
    EXPECT_EQ(p.s.MainWnd.ColWidth, "50,50,50,50,50,50,50,50,50,50,50,0");
    EXPECT_EQ(p.s.MainWnd.ColPosition, "0,1,2,3,4,5,6,7,8,9,10,11,12");
    EXPECT_EQ(p.s.Access.CheckLevel, 2);
    EXPECT_EQ(p.s.Access.ReportLevel, 1);
    EXPECT_EQ(p.s.Config.XMLEncoding, "UTF-8");
    EXPECT_TRUE(p.s.Logout.ShowMsg);
    EXPECT_EQ(p.s.Logout.RecordFile, "KR%y%m%d");
    EXPECT_TRUE(p.s.Config.WaitWave);
    EXPECT_EQ(p.s.Background.File, "");
    EXPECT_FALSE(p.s.Background.Transport);
    EXPECT_EQ(p.s.Background.TileMode, 1); // the flat layout has none: centred

    // The old file is kept as it was, for its owner's eyes only (it may hold
    // a password, whatever its own mode was); [Krovan] goes, nothing else
    // changes.
    EXPECT_EQ(p.dir.read("Krovan.oldver.ini"), old);
    EXPECT_EQ(QFile::permissions(p.dir.path(u"Krovan.oldver.ini"_s)),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    EXPECT_EQ(p.file(), crlf("[Other]\nKept=yes\n"));

    ASSERT_TRUE(SaveSettings(p.s));
    const QByteArray saved = p.file();
    EXPECT_EQ(keysOf(saved, "Krovan"), QStringList({"Version", "ScreenMode", "ListMode", "FixIcon"}));
    EXPECT_EQ(keysOf(saved, "Other"), QStringList({"Kept"}));
    ProfileStore store = p.store();
    EXPECT_EQ(store.readString(u"Krovan", u"Version", {}), "2.10a");
    EXPECT_EQ(store.readInteger(u"Config", u"CheckInterval", 0), 10);
    EXPECT_TRUE(store.readBool(u"Login", u"DoAction", false));
    EXPECT_TRUE(store.readBool(u"Access", u"NotUserOnly", false));
    EXPECT_EQ(store.readInteger(u"TCPIP", u"TTL", 0), 44);
    EXPECT_EQ(store.readInteger(u"Access", u"ReportLevel", 9), 1);
    EXPECT_EQ(store.readString(u"MainWnd", u"Size", {}), "640,480");

    // From now on the file is read in the sectioned layout.
    Program again;
    again.put(saved);
    again.load();
    EXPECT_EQ(again.s.Config.CheckInterval, 10);
    EXPECT_EQ(again.s.EditWnd.LoginFile, "  a b.wav  ");
    EXPECT_EQ(again.file(), saved);
    EXPECT_FALSE(again.dir.exists("Krovan.oldver.ini"));
}

TEST(Settings, AnExistingOldVersionCopyIsNeitherOverwrittenNorFollowedByTheErase)
{
    Program p;
    const QByteArray old = crlf(kFlatFile);
    p.put(old);
    ASSERT_TRUE(p.dir.write("Krovan.oldver.ini", "earlier copy"));
    p.load();
    EXPECT_EQ(p.s.Config.CheckInterval, 10);
    EXPECT_EQ(p.dir.read("Krovan.oldver.ini"), "earlier copy");
    EXPECT_EQ(p.file(), old);

    // The old keys then stay beside the new ones and are ignored.
    ASSERT_TRUE(SaveSettings(p.s));
    const QStringList krovan = keysOf(p.file(), "Krovan");
    EXPECT_TRUE(krovan.contains("CheckTime"));
    EXPECT_EQ(krovan.first(), "Version");
    Program again;
    again.put(p.file());
    again.load();
    EXPECT_EQ(again.s.Config.CheckInterval, 10);
    EXPECT_EQ(again.s.Access.ReportLevel, 1);
}

TEST(Settings, AMissingFileGivesFlatDefaultsAndTheFirstSaveCreatesTheSectionedFile)
{
    Program p;
    p.load();
    EXPECT_FALSE(p.dir.exists("Krovan.ini"));
    EXPECT_FALSE(p.dir.exists("Krovan.oldver.ini"));
    EXPECT_EQ(p.s.Krovan.Version, "0.00");
    EXPECT_TRUE(p.s.ProgramDir.endsWith('/'));
    ASSERT_TRUE(SaveSettings(p.s));
    const char expected[] = "[Krovan]\n"
                            "Version=2.10a\n"
                            "ScreenMode=1\n"
                            "ListMode=1\n"
                            "FixIcon=0\n"
                            "\n"
                            "[MainWnd]\n"
                            "Size=E,E\n"
                            "Pos=E,E\n"
                            "ColWidth=50,50,50,50,50,50,50,50,50,50,50,0\n"
                            "ColPosition=0,1,2,3,4,5,6,7,8,9,10,11,12\n"
                            "\n"
                            "[EditWnd]\n"
                            "Size=E,E\n"
                            "Pos=E,E\n"
                            "ColWidth=50,50,50,50,50,50,50,50,50,0,0\n"
                            "Split=272\n"
                            "LoginFile=''\n"
                            "LogoutFile=''\n"
                            "CommentPrior=0\n"
                            "\n"
                            "[AccWnd]\n"
                            "Size=E,E\n"
                            "Pos=E,E\n"
                            "ColWidth=80,120,60,70,50\n"
                            "\n"
                            "[Config]\n"
                            "CheckInterval=5\n"
                            "WaitWave=1\n"
                            "MessageLevel=0\n"
                            "MessageSpeed=0\n"
                            "SafeCheck=0\n"
                            "StartCheck=0\n"
                            "StartCheckMsg=0\n"
                            "Manager=\n"
                            "SmallIcon=0\n"
                            "DisableClose=0\n"
                            "BlinkIcon=0\n"
                            "BlinkAlways=0\n"
                            "DblClickAction=0\n"
                            "XMLEncoding=UTF-8\n"
                            "XSLFile=\n"
                            "Language=\n"
                            "\n"
                            "[Login]\n"
                            "ShowMsg=1\n"
                            "DoAction=0\n"
                            "ManagerReport=0\n"
                            "AutoMAC=0\n"
                            "ShowMsgTime=7\n"
                            "DoRecord=0\n"
                            "RecordFile=KR%y%m%d\n"
                            "RecordFileExp=log\n"
                            "RecordFolder=\n"
                            "\n"
                            "[Logout]\n"
                            "ShowMsg=1\n"
                            "DoAction=0\n"
                            "ManagerReport=0\n"
                            "AutoMAC=0\n"
                            "ShowMsgTime=7\n"
                            "DoRecord=0\n"
                            "RecordFile=KR%y%m%d\n"
                            "RecordFileExp=log\n"
                            "RecordFolder=\n"
                            "\n"
                            "[AllLogin]\n"
                            "ShowMsg=1\n"
                            "PlayWave=0\n"
                            "WaveFile=\n"
                            "ActTime=5\n"
                            "Action=1\n"
                            "ActFile=\n"
                            "ShowMsgTime=7\n"
                            "ManagerReport=0\n"
                            "\n"
                            "[AllLogout]\n"
                            "ShowMsg=1\n"
                            "PlayWave=0\n"
                            "WaveFile=\n"
                            "ActTime=5\n"
                            "Action=1\n"
                            "ActFile=\n"
                            "ShowMsgTime=7\n"
                            "ManagerReport=0\n"
                            "\n"
                            "[Access]\n"
                            "CheckInterval=300\n"
                            "CheckLevel=2\n"
                            "ReportLevel=1\n"
                            "ShowMsg=1\n"
                            "PlayWave=0\n"
                            "WaveFile=\n"
                            "OpenAccessList=0\n"
                            "AccessListAutoClose=0\n"
                            "IPCNoChk=0\n"
                            "ShowMsgTime=7\n"
                            "NotUserOnly=0\n"
                            "SysvolNoChk=0\n"
                            "MyPCNoChk=0\n"
                            "DoRecord=0\n"
                            "RecordFile=KR%y%m%d\n"
                            "RecordFileExp=log\n"
                            "RecordFolder=\n"
                            "ManagerReport=0\n"
                            "\n"
                            "[TCPIP]\n"
                            "TimeOut=2000\n"
                            "SendBytes=0\n"
                            "TTL=128\n"
                            "Retry=1\n"
                            "Parallel=1\n"
                            "NeighbourCheck=0\n"
                            "TcpPorts=\n"
                            "AwayPasses=1\n"
                            "\n"
                            "[Messenger]\n"
                            "SendMessage=\n"
                            "AutoSend=0\n"
                            "\n"
                            "[Background]\n"
                            "File=\n"
                            "Transport=0\n"
                            "TextColor=0\n"
                            "TileMode=1\n"
                            "\n"
                            "[Mail]\n"
                            "Server=\n"
                            "Port=587\n"
                            "Security=starttls\n"
                            "User=\n"
                            "Password=\n"
                            "From=\n"
                            "CAFile=\n"
                            "\n"
                            "[Web]\n"
                            "Port=0\n"
                            "Address=127.0.0.1\n"
                            "Token=\n"
                            "CertFile=\n"
                            "KeyFile=\n"
                            "\n"
                            "[MQTT]\n"
                            "Broker=\n"
                            "Port=1883\n"
                            "Topic=corvane\n"
                            "User=\n"
                            "Password=\n"
                            "CAFile=\n";
    EXPECT_EQ(p.file(), crlf(expected));

    // Saving again changes nothing.
    ASSERT_TRUE(SaveSettings(p.s));
    EXPECT_EQ(p.file(), crlf(expected));
}

TEST(Settings, SectionedDefaultsAndKeysKeptOnSave)
{
    Program p;
    p.put(crlf("; my notes\n[Krovan]\nVersion=2.10a\n[Custom]\nA=\x81\xFF\n"));
    p.load();
    EXPECT_EQ(p.s.MainWnd.ColWidth, "50,50,50,50,50,50,50,50,50,50,0");
    EXPECT_EQ(p.s.Access.ReportLevel, 2);
    EXPECT_TRUE(p.s.Background.Transport);
    EXPECT_EQ(p.s.Background.TileMode, 1);
    EXPECT_EQ(p.s.TCPIP.TimeOut, 2000);
    EXPECT_EQ(p.s.AllLogin.ActTime, 5);
    ASSERT_TRUE(SaveSettings(p.s));
    EXPECT_TRUE(p.file().startsWith(crlf("; my notes\n[Krovan]\nVersion=2.10a\nScreenMode=1\n")));
    EXPECT_TRUE(p.file().contains(crlf("[Custom]\nA=\x81\xFF\n")));
}

TEST(Settings, NarrowFieldsWrapAndAreSavedAsHeld)
{
    Program p;
    p.put(crlf("[Krovan]\nVersion=2.10a\nIconImageType=65538\n[Config]\nCheckInterval=65541\n"
               "[Login]\nShowMsgTime=-1\n[TCPIP]\nTTL=300\n"));
    p.load();
    EXPECT_EQ(p.s.Config.CheckInterval, 5);
    EXPECT_EQ(p.s.Login.ShowMsgTime, 65535);
    EXPECT_EQ(p.s.TCPIP.TTL, 44);
    EXPECT_EQ(p.s.Krovan.IconImageType, 2);
    ASSERT_TRUE(SaveSettings(p.s));
    ProfileStore store = p.store();
    EXPECT_EQ(store.readString(u"TCPIP", u"TTL", {}), "44");
    EXPECT_EQ(store.readString(u"Config", u"CheckInterval", {}), "5");
    EXPECT_EQ(store.readString(u"Login", u"ShowMsgTime", {}), "65535");
    // The icon variants are read only: the save leaves what the file has.
    EXPECT_EQ(store.readString(u"Krovan", u"IconImageType", {}), "65538");
}

// A file of an earlier version has no retry or parallel keys: the echo
// defaults apply, and the save appends both to the end of [TCPIP], where an
// earlier version still reads the section as before.
TEST(Settings, EchoRetryAndParallelAreAppendedToAnEarlierFile)
{
    Program p;
    p.put(crlf("[Krovan]\nVersion=2.10a\n[TCPIP]\nTimeOut=900\nSendBytes=8\nTTL=64\n[Messenger]\nAutoSend=1\n"));
    p.load();
    EXPECT_EQ(p.s.TCPIP.Retry, 1);
    EXPECT_TRUE(p.s.TCPIP.Parallel);
    p.s.TCPIP.Retry = 3;
    p.s.TCPIP.Parallel = false;
    ASSERT_TRUE(SaveSettings(p.s));
    EXPECT_EQ(keysOf(p.file(), "TCPIP"), QStringList({"TimeOut", "SendBytes", "TTL", "Retry", "Parallel",
                                                      "NeighbourCheck", "TcpPorts", "AwayPasses"}));
    Program again;
    again.put(p.file());
    again.load();
    EXPECT_EQ(again.s.TCPIP.Retry, 3);
    EXPECT_FALSE(again.s.TCPIP.Parallel);
}

TEST(Settings, MessagesAndPathsWithBlanksSurviveARoundTrip)
{
    Program p;
    p.load();
    p.s.Messenger.SendMessage = QString::fromUtf8("一行目\r\n二行目 ﾃｽﾄ");
    p.s.EditWnd.LoginFile = u"  C:\\snd\\in.wav "_s;
    p.s.EditWnd.LogoutFile = QString::fromUtf8("'ソ'");
    ASSERT_TRUE(SaveSettings(p.s));
    const QByteArray file = p.file();
    EXPECT_TRUE(file.contains(Cp932::encode(QString::fromUtf8("\r\nSendMessage=一行目\\r\\n二行目 ﾃｽﾄ\r\n"))));
    EXPECT_TRUE(file.contains("\r\nLoginFile='  C:\\snd\\in.wav '\r\n"));

    Program again;
    again.put(file);
    again.load();
    EXPECT_EQ(again.s.Messenger.SendMessage, p.s.Messenger.SendMessage);
    EXPECT_EQ(again.s.EditWnd.LoginFile, p.s.EditWnd.LoginFile);
    EXPECT_EQ(again.s.EditWnd.LogoutFile, p.s.EditWnd.LogoutFile);
}

TEST(Settings, MessageLineBreaks)
{
    EXPECT_EQ(EncodeMessageText(u"a\r\nb"_s), u"a\\r\\nb"_s);
    // Bare CR or LF would otherwise split the file's line.
    EXPECT_EQ(EncodeMessageText(u"a\nb\rc"_s), u"a\\r\\nb\\r\\nc"_s);
    EXPECT_EQ(DecodeMessageText(u"a\\r\\nb\\r\\n"_s), u"a\r\nb\r\n"_s);
    EXPECT_EQ(DecodeMessageText(u"a\\rb\\n"_s), u"a\\rb\\n"_s);
}

TEST(Settings, ATwoDigitStartArgumentSetsTheIconVariants)
{
    const QByteArray file = crlf("[Krovan]\nVersion=2.10a\n");
    for (const char *arg : {"3", "345", "3a", "-x", "", "\xef\xbc\x93\xef\xbc\x94" /* full-width 34 */}) {
        Program p;
        p.put(file);
        p.load({QString::fromUtf8(arg), u"12"_s});
        EXPECT_EQ(p.s.Krovan.IconImageType, 0) << arg;
        EXPECT_EQ(p.s.Krovan.OffIconImageType, 0) << arg;
        EXPECT_EQ(p.file(), file) << arg;
    }
    Program p;
    p.put(file);
    p.load({u"34"_s, u"xx"_s});
    EXPECT_EQ(p.s.Krovan.IconImageType, 3);
    EXPECT_EQ(p.s.Krovan.OffIconImageType, 4);
    EXPECT_EQ(p.file(), crlf("[Krovan]\nVersion=2.10a\nIconImageType=3\nOffIconImageType=4\n"));

    // In the flat layout they are written, kept in the old copy, then erased
    // with [Krovan]; the record keeps them for this run.
    Program flat;
    flat.put(crlf("[Krovan]\nVersion=1.0\nIconImageType=1\n"));
    flat.load({u"21"_s});
    EXPECT_EQ(flat.s.Krovan.IconImageType, 2);
    EXPECT_EQ(flat.s.Krovan.OffIconImageType, 1);
    EXPECT_EQ(flat.dir.read("Krovan.oldver.ini"), crlf("[Krovan]\nVersion=1.0\nIconImageType=2\nOffIconImageType=1\n"));
    EXPECT_EQ(flat.file(), "");
}

TEST(Settings, ReportLevelNeverExceedsCheckLevel)
{
    Program p;
    p.put(crlf("[Krovan]\nVersion=2.10a\n[Access]\nCheckLevel=0\nReportLevel=2\n"));
    p.load();
    EXPECT_EQ(p.s.Access.ReportLevel, 0);

    Program lower;
    lower.put(crlf("[Krovan]\nVersion=2.10a\n[Access]\nCheckLevel=2\nReportLevel=1\n"));
    lower.load();
    EXPECT_EQ(lower.s.Access.ReportLevel, 1);
}

TEST(Settings, XmlRecordsFallBackToLogWhenTheXmlDocumentDoesNotWork)
{
    const QByteArray file = crlf("[Krovan]\nVersion=2.10a\n[Login]\nRecordFileExp=xml\n[Logout]\nRecordFileExp=Xml\n"
                                 "[Access]\nRecordFileExp=XML\n");
    int calls = 0;
    Program broken;
    broken.put(file);
    broken.load({}, [&] { ++calls; return false; });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(broken.s.Login.RecordFileExp, "log");
    EXPECT_EQ(broken.s.Logout.RecordFileExp, "log");
    EXPECT_EQ(broken.s.Access.RecordFileExp, "log");
    EXPECT_EQ(broken.file(), file); // nothing is written

    Program working;
    working.put(file);
    working.load({}, [] { return true; });
    EXPECT_EQ(working.s.Login.RecordFileExp, "xml");
    EXPECT_EQ(working.s.Access.RecordFileExp, "XML");

    Program none;
    none.put(file);
    none.load();
    EXPECT_EQ(none.s.Logout.RecordFileExp, "Xml");

    Program other;
    other.put(crlf("[Krovan]\nVersion=2.10a\n[Login]\nRecordFileExp=xmlx\n"));
    other.load({}, [] { return false; });
    EXPECT_EQ(other.s.Login.RecordFileExp, "xmlx");
}

TEST(Settings, DamagedFilesLoadWhatCanBeRead)
{
    QByteArray garbage;
    quint32 seed = 99;
    for (int i = 0; i < 32 * 1024; ++i) {
        seed = seed * 1664525u + 1013904223u;
        garbage.append(char(seed >> 24));
    }
    const QByteArray tail = crlf("\n[Krovan]\nVersion=2.10a\n[Config]\nCheckInterval=7\nManager=") +
                            QByteArray(1024 * 1024, 'm') + QByteArray("\0x\r\n[TCPIP]\nTimeOut=\0", 22);
    Program p;
    p.put(garbage + tail);
    p.load();
    EXPECT_EQ(p.s.Config.CheckInterval, 7);
    EXPECT_EQ(p.s.Config.Manager.size(), ProfileStore::MaxValueBytes);
    EXPECT_EQ(p.s.TCPIP.TimeOut, 2000);
    ASSERT_TRUE(SaveSettings(p.s));
    EXPECT_TRUE(p.file().startsWith(garbage));

    Program nuls;
    nuls.put(QByteArray(4096, '\0'));
    nuls.load();
    EXPECT_EQ(nuls.s.Access.ReportLevel, 1); // no version: flat defaults
    EXPECT_EQ(nuls.dir.read("Krovan.oldver.ini"), QByteArray(4096, '\0'));
}

// Found by exploring: a lone CR inside a value (the column widths here) was
// read as part of it and written as a blank, which the next load trimmed,
// so the file changed at every save.
TEST(Settings, ALoneCarriageReturnInAValueSavesAsAFixedPoint)
{
    QFile seed(QStringLiteral(CORVANE_TEST_DATA "/../fuzz/corpus/settings/lone-cr-in-a-value"));
    ASSERT_TRUE(seed.open(QIODevice::ReadOnly));
    Program p;
    p.put(seed.readAll());
    p.load();
    ASSERT_TRUE(SaveSettings(p.s));
    const QByteArray first = p.file();
    p.load();
    ASSERT_TRUE(SaveSettings(p.s));
    EXPECT_EQ(p.file(), first);
}

TEST(Settings, ASaveThatCannotBeWrittenReportsFalse)
{
    ProgramSettings s;
    s.ProgramDir = QStringLiteral("/nonexistent-corvane-folder/");
    EXPECT_FALSE(SaveSettings(s));
}

TEST(Settings, ListValueReaders)
{
    EXPECT_EQ(ReadIntegerPair(u"E,E", 100, 200), std::make_pair(100, 200));
    EXPECT_EQ(ReadIntegerPair(u"640,480", 100, 200), std::make_pair(640, 480));
    EXPECT_EQ(ReadIntegerPair(u"-5, 7 ", 100, 200), std::make_pair(-5, 7));
    EXPECT_EQ(ReadIntegerPair(u"640", 100, 200), std::make_pair(640, 200));
    EXPECT_EQ(ReadIntegerPair(u"x,480", 100, 200), std::make_pair(100, 480));
    EXPECT_EQ(ReadIntegerPair(u"", 100, 200), std::make_pair(100, 200));

    EXPECT_EQ(ReadColumnWidths(u"50,x,,70", 5, 60), QList<qint32>({50, 60, 60, 70, 60}));
    EXPECT_EQ(ReadColumnWidths(u"1,2,3", 2, 60), QList<qint32>({1, 2}));

    EXPECT_TRUE(ReadColumnOrder(u"0,1,2,3,4,5,6,7,8,9,10,11,12", 11).isEmpty());
    EXPECT_EQ(ReadColumnOrder(u"1,0,2,3,4,5,6,7,8,10,9", 11), QList<qint32>({1, 0, 2, 3, 4, 5, 6, 7, 8, 10, 9}));
    EXPECT_TRUE(ReadColumnOrder(u"0,0,2,3,4,5,6,7,8,9,10", 11).isEmpty());
    EXPECT_TRUE(ReadColumnOrder(u"0,1,2,3,4,5,6,7,8,9,11", 11).isEmpty());
    EXPECT_TRUE(ReadColumnOrder(u"0,1,2,3,4,5,6,7,8,9,x", 11).isEmpty());

    EXPECT_EQ(JoinIntegerList({50, 0, -1}), "50,0,-1");
    EXPECT_EQ(JoinIntegerList({}), "");
}

TEST(Settings, EveryTextValueReadsBackAsItWasHeld)
{
    // Quotes around a program path group its words; they are part of the value.
    using Field = QString &(*)(ProgramSettings &);
    const QList<Field> texts = {
        [](ProgramSettings &s) -> QString & { return s.MainWnd.Size; },
        [](ProgramSettings &s) -> QString & { return s.MainWnd.Pos; },
        [](ProgramSettings &s) -> QString & { return s.MainWnd.ColWidth; },
        [](ProgramSettings &s) -> QString & { return s.MainWnd.ColPosition; },
        [](ProgramSettings &s) -> QString & { return s.EditWnd.Size; },
        [](ProgramSettings &s) -> QString & { return s.EditWnd.Pos; },
        [](ProgramSettings &s) -> QString & { return s.EditWnd.ColWidth; },
        [](ProgramSettings &s) -> QString & { return s.EditWnd.LoginFile; },
        [](ProgramSettings &s) -> QString & { return s.EditWnd.LogoutFile; },
        [](ProgramSettings &s) -> QString & { return s.AccWnd.Size; },
        [](ProgramSettings &s) -> QString & { return s.AccWnd.Pos; },
        [](ProgramSettings &s) -> QString & { return s.AccWnd.ColWidth; },
        [](ProgramSettings &s) -> QString & { return s.Config.Manager; },
        [](ProgramSettings &s) -> QString & { return s.Config.XMLEncoding; },
        [](ProgramSettings &s) -> QString & { return s.Config.XSLFile; },
        [](ProgramSettings &s) -> QString & { return s.Login.RecordFile; },
        [](ProgramSettings &s) -> QString & { return s.Login.RecordFileExp; },
        [](ProgramSettings &s) -> QString & { return s.Login.RecordFolder; },
        [](ProgramSettings &s) -> QString & { return s.Logout.RecordFile; },
        [](ProgramSettings &s) -> QString & { return s.Logout.RecordFileExp; },
        [](ProgramSettings &s) -> QString & { return s.Logout.RecordFolder; },
        [](ProgramSettings &s) -> QString & { return s.AllLogin.WaveFile; },
        [](ProgramSettings &s) -> QString & { return s.AllLogin.ActFile; },
        [](ProgramSettings &s) -> QString & { return s.AllLogout.WaveFile; },
        [](ProgramSettings &s) -> QString & { return s.AllLogout.ActFile; },
        [](ProgramSettings &s) -> QString & { return s.Access.WaveFile; },
        [](ProgramSettings &s) -> QString & { return s.Access.RecordFile; },
        [](ProgramSettings &s) -> QString & { return s.Access.RecordFileExp; },
        [](ProgramSettings &s) -> QString & { return s.Access.RecordFolder; },
        [](ProgramSettings &s) -> QString & { return s.Messenger.SendMessage; },
        [](ProgramSettings &s) -> QString & { return s.Background.File; },
    };
    for (const QString &value : {u"\"/opt/My Tools/alert.sh\""_s, u"'a b'"_s, u"\""_s, u"''"_s, u" a b "_s,
                                u"plain text"_s}) {
        Program p;
        p.load();
        for (Field f : texts)
            f(p.s) = value;
        ASSERT_TRUE(SaveSettings(p.s));
        ProgramSettings back;
        LoadSettings(back, p.dir.path(), {}, {});
        for (qsizetype i = 0; i < texts.size(); ++i)
            EXPECT_EQ(texts[i](back).toStdString(), value.toStdString()) << "text key " << i;
    }

    // Values that read back as they stand are written as they stand.
    Program p;
    p.load();
    p.s.AllLogin.ActFile = u"/opt/tools/alert.sh \"a b\""_s;
    ASSERT_TRUE(SaveSettings(p.s));
    EXPECT_TRUE(p.file().contains("\r\nActFile=/opt/tools/alert.sh \"a b\"\r\n"));
}

TEST(Settings, AnUnknownTileModeIsTakenAndStoredAsCentred)
{
    Program p;
    p.put(crlf("[Krovan]\nVersion=2.10a\n[Background]\nTileMode=7\n"));
    p.load();
    EXPECT_EQ(p.s.Background.TileMode, 1);
    ASSERT_TRUE(SaveSettings(p.s));
    EXPECT_EQ(p.store().readInteger(u"Background", u"TileMode", 0), 1);
}

TEST(Settings, ChoicesReplacedForOneRunAreSavedAsStoredUnlessChosenAgain)
{
    Program p;
    p.put("[Krovan]\r\nVersion=2.10a\r\nScreenMode=3\r\n[MainWnd]\r\nPos=1500,2000\r\n[AllLogout]\r\nAction=2\r\n");
    p.load();
    p.s.RunOnly.ScreenMode.Force(p.s.Krovan.ScreenMode, 1);
    p.s.RunOnly.MainPos.Force(p.s.MainWnd.Pos, QStringLiteral("300,0"));
    p.s.RunOnly.AllLogoutAction.Force(p.s.AllLogout.Action, 1);
    EXPECT_EQ(p.s.Krovan.ScreenMode, 1);
    ASSERT_TRUE(SaveSettings(p.s));
    ProgramSettings back;
    LoadSettings(back, p.dir.path(), {}, {});
    EXPECT_EQ(back.Krovan.ScreenMode, 3);
    EXPECT_EQ(back.MainWnd.Pos, QStringLiteral("1500,2000"));
    EXPECT_EQ(back.AllLogout.Action, 2);

    // The operator chose an action during the run: that choice is saved.
    p.s.AllLogout.Action = 3;
    ASSERT_TRUE(SaveSettings(p.s));
    LoadSettings(back, p.dir.path(), {}, {});
    EXPECT_EQ(back.AllLogout.Action, 3);
}

// A mail password or a webhook URL (itself the secret) is never readable by
// others, not even between the file's creation and a later chmod: a new
// file is made 0600, an existing one loses group and other rights, and a
// file without secrets keeps its mode.
TEST(Settings, AFileHoldingSecretsIsTheOwnersAlone)
{
    const mode_t umaskBefore = ::umask(022);
    const auto modeOf = [](const Program &p) {
        struct stat st {};
        ::stat(QFile::encodeName(p.dir.path("Krovan.ini")).constData(), &st);
        return st.st_mode & 0777;
    };
    Program plain;
    plain.load();
    ASSERT_TRUE(SaveSettings(plain.s));
    EXPECT_EQ(modeOf(plain), 0644u);

    Program fresh;
    fresh.load();
    fresh.s.Mail.Password = QStringLiteral("secret");
    ASSERT_TRUE(SaveSettings(fresh.s));
    EXPECT_EQ(modeOf(fresh), 0600u);

    plain.s.Config.Manager = QStringLiteral("PC01,https://hooks.example/T0/B0/XXXX");
    ASSERT_TRUE(SaveSettings(plain.s));
    EXPECT_EQ(modeOf(plain), 0600u);
    ::umask(umaskBefore);
}
