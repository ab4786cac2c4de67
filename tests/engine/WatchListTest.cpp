#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "platform/Cp932.h"

#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <cerrno>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

WatchEntry Terminal(const QString &user, const QString &resource)
{
    WatchEntry e;
    e.UserName = user;
    e.ResourceName = resource;
    e.StatusText = StatusUnconfirmed;
    e.State = StateUnconfirmed;
    e.ImageIndex = ImageUnconfirmed;
    e.Domain = QStringLiteral("WORKGROUP");
    e.Provider = QStringLiteral("Microsoft Windows Network");
    return e;
}

WatchEntry Separator(const QString &label)
{
    WatchEntry e;
    e.UserName = label;
    e.ResourceName = SeparatorText;
    e.StatusText = SeparatorText;
    e.Kind = KindSeparator;
    e.ImageIndex = ImageSeparator;
    e.State = EntryState(ImageSeparator);
    return e;
}

// One entry's five lines as the file holds them.
QByteArray Group(const QString &line1, const QString &user = {}, const QString &login = {},
                 const QString &logout = {}, const QString &line5 = {})
{
    return Cp932::encode(line1 + "\r\n" + user + "\r\n" + login + "\r\n" + logout + "\r\n" + line5 + "\r\n");
}

WatchEntry Entry(const WatchListModel &list, int row)
{
    WatchEntry e;
    EXPECT_TRUE(ReadEntry(list, row, e)) << "row " << row;
    return e;
}

// Loads the file into list and gives what the journal said meanwhile.
std::string LoadSaying(WatchListModel &list, const QString &path)
{
    testing::internal::CaptureStderr();
    EXPECT_TRUE(LoadList(list, path));
    return testing::internal::GetCapturedStderr();
}

} // namespace

TEST(NormaliseAddress, PadsEveryGroupToThreeCharacters)
{
    QString out = QStringLiteral("untouched");
    EXPECT_TRUE(NormaliseAddress(QStringLiteral("10.0.0.1"), out));
    EXPECT_EQ(out, QStringLiteral(" 10.  0.  0.  1"));
    EXPECT_TRUE(NormaliseAddress(QStringLiteral("192.168.1.10"), out));
    EXPECT_EQ(out, QStringLiteral("192.168.  1. 10"));
    // Already padded input stays as it is; so does a mix of both.
    EXPECT_TRUE(NormaliseAddress(QStringLiteral(" 10.  0.  0.  1"), out));
    EXPECT_EQ(out, QStringLiteral(" 10.  0.  0.  1"));
    EXPECT_TRUE(NormaliseAddress(QStringLiteral("127. 0.0.  1"), out));
    EXPECT_EQ(out, QStringLiteral("127.  0.  0.  1"));
}

TEST(NormaliseAddress, RefusesWhatIsNotFourGroupsAndKeepsTheOutput)
{
    for (const char *bad : {"10.0.1", "10.0.0.1.5", "10.0.0.x", "1000.0.0.1", "host", "10,0,0,1", "１.2.3.4"}) {
        QString out = QStringLiteral("kept");
        EXPECT_FALSE(NormaliseAddress(QString::fromUtf8(bad), out)) << bad;
        EXPECT_EQ(out, QStringLiteral("kept")) << bad;
    }
    // Nothing to normalise is not an error.
    QString out = QStringLiteral("kept");
    EXPECT_TRUE(NormaliseAddress(QString(), out));
    EXPECT_EQ(out, QStringLiteral("kept"));
}

TEST(WatchEntryRows, WriteAndReadMapEveryFieldAndPackTheDataWord)
{
    WatchListModel list;
    WatchEntry e = Terminal(QStringLiteral("佐藤"), QStringLiteral("PC-ソフト"));
    e.ImageIndex = 10;
    e.FileOrder = 0x1234;
    e.State = StateLoggedOut;
    e.StatusText = StatusLoggedOut;
    e.LoginAction = QStringLiteral("in.wav");
    e.LogoutAction = QStringLiteral("out.wav");
    e.Address = QStringLiteral("192.168.  1. 10");
    e.IPCheck = true;
    e.MAC = QStringLiteral("00-11-22-33-44-55");
    e.Result = QStringLiteral("TTL=64");
    e.Kind = KindSecond;
    e.IconTop = 40;
    e.IconLeft = 70;
    ASSERT_TRUE(AddEntry(WatchEntry(), list));
    WriteEntry(e, list, 0);

    using M = WatchListModel;
    EXPECT_EQ(list.dataWord(0), 0x12340109u);
    EXPECT_EQ(list.imageIndex(0), 10);
    EXPECT_EQ(list.text(0, M::ColUserName), e.UserName);
    EXPECT_EQ(list.text(0, M::ColResourceName), e.ResourceName);
    EXPECT_EQ(list.text(0, M::ColStatus), StatusLoggedOut);
    EXPECT_EQ(list.text(0, M::ColDomain), e.Domain);
    EXPECT_EQ(list.text(0, M::ColLoginAction), e.LoginAction);
    EXPECT_EQ(list.text(0, M::ColLogoutAction), e.LogoutAction);
    EXPECT_EQ(list.text(0, M::ColProvider), e.Provider);
    EXPECT_EQ(list.text(0, M::ColAddress), e.Address);
    EXPECT_EQ(list.text(0, M::ColIPCheck), QStringLiteral("Y"));
    EXPECT_EQ(list.text(0, M::ColResult), e.Result);
    EXPECT_EQ(list.text(0, M::ColMAC), e.MAC);
    EXPECT_EQ(list.data(list.index(0, M::ColMAC), M::DataWordRole).toUInt(), 0x12340109u);
    EXPECT_EQ(list.data(list.index(0, 0), M::IconTopRole).toInt(), 40);
    EXPECT_EQ(list.data(list.index(0, 0), M::IconLeftRole).toInt(), 70);

    const WatchEntry back = Entry(list, 0);
    EXPECT_EQ(back.ImageIndex, 10);
    EXPECT_EQ(back.FileOrder, 0x1234);
    EXPECT_EQ(back.State, StateLoggedOut);
    EXPECT_EQ(back.Kind, KindSecond);
    EXPECT_EQ(back.UserName, e.UserName);
    EXPECT_EQ(back.ResourceName, e.ResourceName);
    EXPECT_EQ(back.StatusText, e.StatusText);
    EXPECT_EQ(back.Domain, e.Domain);
    EXPECT_EQ(back.LoginAction, e.LoginAction);
    EXPECT_EQ(back.LogoutAction, e.LogoutAction);
    EXPECT_EQ(back.Provider, e.Provider);
    EXPECT_EQ(back.Address, e.Address);
    EXPECT_TRUE(back.IPCheck);
    EXPECT_EQ(back.MAC, e.MAC);
    EXPECT_EQ(back.Result, e.Result);
    EXPECT_EQ(back.IconTop, 40);
    EXPECT_EQ(back.IconLeft, 70);

    // File order keeps 16 bits; only "Y" reads as checked.
    e.FileOrder = 0x12345;
    WriteEntry(e, list, 0);
    EXPECT_EQ(Entry(list, 0).FileOrder, 0x2345);
    list.setText(0, M::ColIPCheck, QStringLiteral("y"));
    EXPECT_FALSE(Entry(list, 0).IPCheck);

    WatchEntry untouched;
    untouched.UserName = QStringLiteral("x");
    EXPECT_FALSE(ReadEntry(list, 1, untouched));
    EXPECT_FALSE(ReadEntry(list, -1, untouched));
    EXPECT_EQ(untouched.UserName, QStringLiteral("x"));
    WriteEntry(e, list, 5); // no such row: nothing happens
    EXPECT_EQ(list.rowCount(), 1);
}

TEST(WatchEntryRows, IPCheckColumnAndIconPosition)
{
    WatchListModel list;
    WatchEntry sep = Separator(QStringLiteral("１階"));
    sep.IPCheck = true;
    WatchEntry off = Terminal(QStringLiteral("a"), QStringLiteral("PC1"));
    WatchEntry topOnly = Terminal(QStringLiteral("b"), QStringLiteral("PC2"));
    topOnly.IconTop = 12;
    AddEntry(sep, list);
    AddEntry(off, list);
    AddEntry(topOnly, list);

    using M = WatchListModel;
    EXPECT_EQ(list.text(0, M::ColIPCheck), QStringLiteral("-"));
    EXPECT_FALSE(Entry(list, 0).IPCheck);
    EXPECT_EQ(list.text(1, M::ColIPCheck), QStringLiteral("N"));

    // A row without a position is left for the view to place.
    EXPECT_FALSE(list.data(list.index(1, 0), M::IconTopRole).isValid());
    EXPECT_FALSE(list.data(list.index(1, 0), M::IconLeftRole).isValid());
    EXPECT_EQ(Entry(list, 1).IconTop, -1);
    EXPECT_EQ(Entry(list, 1).IconLeft, -1);
    EXPECT_EQ(list.data(list.index(2, 0), M::IconTopRole).toInt(), 12);
    EXPECT_FALSE(list.data(list.index(2, 0), M::IconLeftRole).isValid());

    // Writing a placed entry back places the icon.
    WatchEntry placed = Entry(list, 1);
    placed.IconTop = 0;
    placed.IconLeft = 5;
    WriteEntry(placed, list, 1);
    EXPECT_EQ(list.data(list.index(1, 0), M::IconTopRole).toInt(), 0);
    EXPECT_EQ(list.data(list.index(1, 0), M::IconLeftRole).toInt(), 5);
}

TEST(WatchListFile, SaveWritesTheFiveLineFormatInCp932)
{
    TempDir dir;
    WatchListModel list;
    WatchEntry e = Terminal(QStringLiteral("佐藤"), QStringLiteral("表ソ"));
    e.Address = QStringLiteral(" 10.  0.  0.  1");
    e.IPCheck = true;
    e.LoginAction = QStringLiteral("C:\\in.wav");
    e.MAC = QStringLiteral("00-11-22-33-44-55");
    e.Result = QStringLiteral("not stored");
    e.IconTop = 3;
    e.IconLeft = -1;
    AddEntry(e, list);
    WatchEntry resolved = Terminal(QStringLiteral("b"), QStringLiteral("PC2"));
    resolved.Address = QStringLiteral("*192.168.  1. 10");
    resolved.Kind = IconKind(5);
    AddEntry(resolved, list);
    AddEntry(Separator(QStringLiteral("--")), list);

    ASSERT_TRUE(SaveList(list, dir.path("Krovan.NT")));
    const QByteArray expected =
        Group(QStringLiteral("表ソ\t 10.  0.  0.  1\tY\t0\t3\t-1\t00-11-22-33-44-55"), QStringLiteral("佐藤"),
              QStringLiteral("C:\\in.wav"), {}, QStringLiteral("WORKGROUP\tMicrosoft Windows Network"))
        + Group(QStringLiteral("PC2\t\tN\t5\t-1\t-1\t"), QStringLiteral("b"), {}, {},
                QStringLiteral("WORKGROUP\tMicrosoft Windows Network"))
        + Group(QStringLiteral("-----\t\t-\t8\t-1\t-1\t"), QStringLiteral("--"), {}, {}, QStringLiteral("\t"));
    EXPECT_EQ(dir.read("Krovan.NT"), expected);
    // 表 and ソ end in the byte 5C: the file must hold them as they are.
    EXPECT_TRUE(dir.read("Krovan.NT").startsWith("\x95\x5C\x83\x5C\t"));
}

TEST(WatchListFile, RoundTripKeepsTheStoredFieldsAndResetsTheRest)
{
    TempDir dir;
    WatchListModel saved;
    WatchEntry a = Terminal(QStringLiteral("鈴木～①髙"), QStringLiteral("PC-01"));
    a.State = StateLoggedIn;
    a.StatusText = StatusLoggedIn;
    a.ImageIndex = 9;
    a.Kind = KindSecond;
    a.IPCheck = true;
    a.Address = QStringLiteral("192.168.  1. 10");
    a.LoginAction = QStringLiteral("\"C:\\Program Files\\x.exe\" %U");
    a.LogoutAction = QStringLiteral("bye.wav");
    a.MAC = QStringLiteral("AA-BB-CC-DD-EE-FF");
    a.Result = QStringLiteral("Reply");
    a.IconTop = 100;
    a.IconLeft = 200;
    a.FileOrder = 7;
    WatchEntry b = Terminal(QStringLiteral("b"), QStringLiteral("*PC-02"));
    b.Address = QStringLiteral("* 10.  0.  0.  2");
    b.Kind = IconKind(5);
    b.State = StateWatchError;
    b.ImageIndex = ImageWatchError;
    b.StatusText = StatusWatchError;
    AddEntry(a, saved);
    AddEntry(Separator(QStringLiteral("二階")), saved);
    AddEntry(b, saved);
    ASSERT_TRUE(SaveList(saved, dir.path("list")));

    WatchListModel loaded;
    ASSERT_TRUE(LoadList(loaded, dir.path("list")));
    ASSERT_EQ(loaded.rowCount(), 3);

    const WatchEntry la = Entry(loaded, 0);
    EXPECT_EQ(la.UserName, a.UserName);
    EXPECT_EQ(la.ResourceName, a.ResourceName);
    EXPECT_EQ(la.Domain, a.Domain);
    EXPECT_EQ(la.Provider, a.Provider);
    EXPECT_EQ(la.LoginAction, a.LoginAction);
    EXPECT_EQ(la.LogoutAction, a.LogoutAction);
    EXPECT_EQ(la.Address, a.Address);
    EXPECT_TRUE(la.IPCheck);
    EXPECT_EQ(la.MAC, a.MAC);
    EXPECT_EQ(la.Kind, KindSecond);
    EXPECT_EQ(la.IconTop, 100);
    EXPECT_EQ(la.IconLeft, 200);
    EXPECT_EQ(la.ImageIndex, 11);
    EXPECT_EQ(int(la.State), 11);
    EXPECT_EQ(la.StatusText, StatusUnconfirmed);
    EXPECT_EQ(la.Result, QString());
    EXPECT_EQ(la.FileOrder, 0);

    const WatchEntry ls = Entry(loaded, 1);
    EXPECT_EQ(ls.UserName, QStringLiteral("二階"));
    EXPECT_EQ(ls.ResourceName, SeparatorText);
    EXPECT_EQ(ls.StatusText, SeparatorText);
    EXPECT_EQ(ls.Kind, KindSeparator);
    EXPECT_EQ(ls.ImageIndex, ImageSeparator);
    EXPECT_EQ(loaded.text(1, WatchListModel::ColIPCheck), QStringLiteral("-"));
    EXPECT_EQ(ls.FileOrder, 1);

    const WatchEntry lb = Entry(loaded, 2);
    EXPECT_EQ(lb.ResourceName, QStringLiteral("*PC-02"));
    EXPECT_EQ(lb.Address, QString());
    EXPECT_EQ(int(lb.Kind), 5);
    EXPECT_EQ(lb.ImageIndex, 2);
    EXPECT_EQ(int(lb.State), 2);
    EXPECT_EQ(lb.IconTop, -1);
    EXPECT_EQ(lb.IconLeft, -1);
    EXPECT_EQ(lb.FileOrder, 2);
    EXPECT_EQ(loaded.dataWord(2), PackDataWord(5, 2, 2));

    // Saving what was loaded gives the same file again.
    ASSERT_TRUE(SaveList(loaded, dir.path("again")));
    EXPECT_EQ(dir.read("again"), dir.read("list"));
}

TEST(WatchListFile, LoadAppliesTheFileRules)
{
    TempDir dir;
    QByteArray file;
    file += Group(QStringLiteral("\\\\表ソ\t10.0.0.1\tY\t12\t5\t6\t00-00-00-00-00-01"), QStringLiteral("u1"),
                  QStringLiteral("in"), QStringLiteral("out"), QStringLiteral("DOM\tProv"));
    file += Group(QStringLiteral("-----\t\tN\t0\t-1\t-1\t"), QStringLiteral("sep"));
    file += Group(QStringLiteral("PC3\t10.0.1\tN\tx\ttop\t\t"), QStringLiteral("u3"));
    file += Group(QStringLiteral("PC4\t*10.0.0.4\tn\t300\t1"), QStringLiteral("u4"));
    file += Group(QStringLiteral("PC5\t192.168.1.x\t-\t15"), QStringLiteral("u5"), {}, {}, QStringLiteral("D5"));
    ASSERT_TRUE(dir.write("list", file));

    WatchListModel list;
    ASSERT_TRUE(LoadList(list, dir.path("list")));
    ASSERT_EQ(list.rowCount(), 5);

    const WatchEntry e0 = Entry(list, 0);
    EXPECT_EQ(e0.ResourceName, QStringLiteral("表ソ"));
    EXPECT_EQ(e0.Address, QStringLiteral(" 10.  0.  0.  1"));
    EXPECT_TRUE(e0.IPCheck);
    EXPECT_EQ(e0.Kind, KindThird);
    EXPECT_EQ(e0.ImageIndex, 14);
    EXPECT_EQ(e0.IconTop, 5);
    EXPECT_EQ(e0.IconLeft, 6);
    EXPECT_EQ(e0.MAC, QStringLiteral("00-00-00-00-00-01"));
    EXPECT_EQ(e0.LoginAction, QStringLiteral("in"));
    EXPECT_EQ(e0.LogoutAction, QStringLiteral("out"));
    EXPECT_EQ(e0.Domain, QStringLiteral("DOM"));
    EXPECT_EQ(e0.Provider, QStringLiteral("Prov"));

    // A separator stored with kind 0 is still a separator.
    const WatchEntry e1 = Entry(list, 1);
    EXPECT_EQ(e1.Kind, KindSeparator);
    EXPECT_EQ(e1.ImageIndex, ImageSeparator);
    EXPECT_EQ(int(e1.State), 8);
    EXPECT_EQ(e1.StatusText, SeparatorText);
    EXPECT_EQ(list.dataWord(1), PackDataWord(8, 8, 1));

    // Malformed numbers: kind 0, no position; a bad address stays as written.
    const WatchEntry e2 = Entry(list, 2);
    EXPECT_EQ(e2.Address, QStringLiteral("10.0.1"));
    EXPECT_EQ(e2.Kind, KindStandard);
    EXPECT_EQ(e2.ImageIndex, 2);
    EXPECT_EQ(e2.IconTop, -1);
    EXPECT_EQ(e2.IconLeft, -1);
    EXPECT_EQ(e2.StatusText, StatusUnconfirmed);

    // A kind that does not fit the data word's byte counts as malformed.
    const WatchEntry e3 = Entry(list, 3);
    EXPECT_EQ(e3.Address, QString());
    EXPECT_FALSE(e3.IPCheck);
    EXPECT_EQ(e3.Kind, KindStandard);
    EXPECT_EQ(e3.IconTop, 1);
    EXPECT_EQ(e3.IconLeft, -1);
    EXPECT_EQ(e3.MAC, QString());

    const WatchEntry e4 = Entry(list, 4);
    EXPECT_EQ(e4.Address, QStringLiteral("192.168.1.x"));
    EXPECT_EQ(e4.ImageIndex, 17);
    EXPECT_EQ(e4.Domain, QStringLiteral("D5"));
    EXPECT_EQ(e4.Provider, QString());
}

TEST(WatchListFile, LineEndsAndIncompleteGroups)
{
    TempDir dir;
    // LF only, no final line end, and two lines of a sixth entry.
    ASSERT_TRUE(dir.write("lf", "PC1\t\tN\t0\nuser1\nin\nout\nD\tP\nPC2\t\tY\t0\nuser2\n\n\nD2\tP2\nPC3\nuser3"));
    WatchListModel list;
    ASSERT_TRUE(LoadList(list, dir.path("lf")));
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(Entry(list, 0).UserName, QStringLiteral("user1"));
    EXPECT_EQ(Entry(list, 0).Provider, QStringLiteral("P"));
    EXPECT_EQ(Entry(list, 1).LoginAction, QString());
    EXPECT_EQ(Entry(list, 1).Provider, QStringLiteral("P2"));

    // Stray line ends inside a CR LF file do not reach the fields.
    ASSERT_TRUE(dir.write("crcr", "PC1\r\r\nuser\r\r\nin\r\nout\r\nD\tP\r\r\n"));
    WatchListModel crcr;
    ASSERT_TRUE(LoadList(crcr, dir.path("crcr")));
    ASSERT_EQ(crcr.rowCount(), 1);
    EXPECT_EQ(Entry(crcr, 0).ResourceName, QStringLiteral("PC1"));
    EXPECT_EQ(Entry(crcr, 0).UserName, QStringLiteral("user"));
    EXPECT_EQ(Entry(crcr, 0).Provider, QStringLiteral("P"));

    // An empty file is a readable, empty list.
    ASSERT_TRUE(dir.write("empty", ""));
    WatchListModel empty;
    EXPECT_TRUE(LoadList(empty, dir.path("empty")));
    EXPECT_EQ(empty.rowCount(), 0);
}

TEST(WatchListFile, LoadAppendsInOneBatch)
{
    TempDir dir;
    QByteArray file;
    for (int i = 0; i < 50; ++i)
        file += Group(QStringLiteral("PC%1\t\tN\t0\t-1\t-1\t").arg(i), QStringLiteral("u%1").arg(i));
    ASSERT_TRUE(dir.write("list", file));

    WatchListModel list;
    AddEntry(Terminal(QStringLiteral("first"), QStringLiteral("PC")), list);
    std::vector<std::pair<int, int>> inserted;
    QObject::connect(&list, &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex &, int first, int last) { inserted.emplace_back(first, last); });
    ASSERT_TRUE(LoadList(list, dir.path("list")));
    ASSERT_EQ(inserted.size(), 1u);
    EXPECT_EQ(inserted[0], std::make_pair(1, 50));
    EXPECT_EQ(list.rowCount(), 51);
    // File order counts within the file, not the list.
    EXPECT_EQ(Entry(list, 50).FileOrder, 49);
    EXPECT_EQ(Entry(list, 50).UserName, QStringLiteral("u49"));
}

// What a Linux user writes by hand is UTF-8, with or without a byte-order
// mark: 佐藤 must not become 菴占陸. It is read as UTF-8 (the journal says
// so) and saved in code page 932; a CP932 file of the same names reads as
// before, without a word.
TEST(WatchListFile, AHandWrittenUtf8ListReadsAsUtf8AndSavesInCp932)
{
    TempDir dir;
    const QString names[] = {QString::fromUtf8("佐藤"), QString::fromUtf8("田中")};
    const QByteArray text = "PC01\t\tN\t0\t-1\t-1\t\r\n" + names[0].toUtf8() + "\r\n\r\n\r\nWORKGROUP\t\r\n"
                            "PC02\t\tN\t0\t-1\t-1\t\r\n" + names[1].toUtf8() + "\r\n\r\n\r\nWORKGROUP\t\r\n";
    for (const QByteArray &bytes : {text, "\xEF\xBB\xBF" + text}) {
        ASSERT_TRUE(dir.write("Krovan.NT", bytes));
        WatchListModel list;
        EXPECT_EQ(LoadSaying(list, dir.path("Krovan.NT")),
                  "corvane: " + dir.path("Krovan.NT").toStdString() +
                      " is UTF-8 text: read as such, written back in code page 932 at the next save\n");
        ASSERT_EQ(list.rowCount(), 2);
        EXPECT_EQ(Entry(list, 0).UserName, names[0]);
        EXPECT_EQ(Entry(list, 0).ResourceName, QStringLiteral("PC01"));
        EXPECT_EQ(Entry(list, 1).UserName, names[1]);

        ASSERT_TRUE(SaveList(list, dir.path("Krovan.NT")));
        EXPECT_TRUE(dir.read("Krovan.NT").contains(Cp932::encode(names[0])));
        WatchListModel again;
        EXPECT_EQ(LoadSaying(again, dir.path("Krovan.NT")), "");
        ASSERT_EQ(again.rowCount(), 2);
        EXPECT_EQ(Entry(again, 0).UserName, names[0]);
    }
}

// Half-width katakana are single CP932 bytes, and two of them can make a
// valid two-byte UTF-8 character (ﾕｷ is D5 B7, "շ" in UTF-8). Such a list is
// the program's own CP932 file: it loads without a word and saves back to
// the same bytes.
TEST(WatchListFile, HalfWidthKanaThatPassForUtf8StayCp932)
{
    TempDir dir;
    const QByteArray bytes = "PC01\t\tN\t0\t-1\t-1\t\r\n\xD5\xB7\r\n\r\n\r\nWORKGROUP\t\r\n"
                             "PC02\t\tN\t0\t-1\t-1\t\r\n\xCF\xB2\r\n\r\n\r\nWORKGROUP\t\r\n";
    ASSERT_TRUE(dir.write("Krovan.NT", bytes));
    WatchListModel list;
    EXPECT_EQ(LoadSaying(list, dir.path("Krovan.NT")), "");
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(Entry(list, 0).UserName, QString::fromUtf8("ﾕｷ"));
    EXPECT_EQ(Entry(list, 1).UserName, QString::fromUtf8("ﾏｲ"));
    ASSERT_TRUE(SaveList(list, dir.path("Krovan.NT")));
    EXPECT_EQ(dir.read("Krovan.NT"), bytes);
}

// A name the page cannot hold (from a hand-written UTF-8 list, or typed in)
// is never saved as "?": the save fails naming it and the file stays.
TEST(WatchListFile, ANameTheCodePageCannotHoldFailsTheSaveAndKeepsTheFile)
{
    TempDir dir;
    const QByteArray utf8 = "PC01\t\tN\t0\t-1\t-1\t\r\n" + QString::fromUtf8("佐藤").toUtf8() +
                            "\r\n\r\n\r\nWG\t\r\nPC02\t\tN\t0\t-1\t-1\t\r\n" +
                            QString::fromUtf8("김민준").toUtf8() + "\r\n\r\n\r\nWG\t\r\n";
    ASSERT_TRUE(dir.write("Krovan.NT", utf8));
    WatchListModel list;
    ASSERT_TRUE(LoadList(list, dir.path("Krovan.NT")));
    ASSERT_EQ(list.rowCount(), 2);
    QString unencodable;
    errno = 0;
    EXPECT_FALSE(SaveList(list, dir.path("Krovan.NT"), &unencodable));
    EXPECT_EQ(errno, EILSEQ);
    EXPECT_EQ(unencodable, QString::fromUtf8("김민준"));
    EXPECT_EQ(dir.read("Krovan.NT"), utf8);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Krovan.NT")});
}

TEST(WatchListFile, DamagedFilesLoadWhatCanBeLoaded)
{
    TempDir dir;
    // Undefined CP932 bytes, a lone lead byte before a TAB, NUL bytes.
    static const char raw[] = "PC\x85\x40" "A\t10.0.0.1\x81\tY\t0\r\nus\0er\r\n\xFF\xFE\r\n\x81\r\nD\0\tP\r\n";
    QByteArray damaged(raw, sizeof raw - 1);
    damaged += Group(QStringLiteral("PC2\t\tN\t0\t-1\t-1\t"), QStringLiteral("next"));
    ASSERT_TRUE(dir.write("damaged", damaged));
    WatchListModel list;
    EXPECT_EQ(LoadSaying(list, dir.path("damaged")),
              "corvane: " + dir.path("damaged").toStdString() +
                  " is damaged (neither code page 932 nor UTF-8 text): what could be read is loaded\n");
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(Entry(list, 0).ResourceName, QString::fromUtf8("PC\uFFFDA"));
    EXPECT_EQ(Entry(list, 0).UserName, QStringView(u"us\u0000er", 5).toString());
    EXPECT_EQ(Entry(list, 0).Provider, QStringLiteral("P"));
    EXPECT_EQ(Entry(list, 1).UserName, QStringLiteral("next"));
    // Saving what was damaged does not disturb the entries after it.
    ASSERT_TRUE(SaveList(list, dir.path("resaved")));
    WatchListModel again;
    ASSERT_TRUE(LoadList(again, dir.path("resaved")));
    ASSERT_EQ(again.rowCount(), 2);
    EXPECT_EQ(Entry(again, 1).UserName, QStringLiteral("next"));

    // A megabyte on one line (no line end at all) is one incomplete entry.
    ASSERT_TRUE(dir.write("long", QByteArray(1 << 20, 'x')));
    WatchListModel longLine;
    EXPECT_TRUE(LoadList(longLine, dir.path("long")));
    EXPECT_EQ(longLine.rowCount(), 0);

    // The same line as a user name loads whole.
    const QByteArray name(1 << 20, '\xB1'); // half-width katakana, one byte each
    ASSERT_TRUE(dir.write("longname", "PC\t\tN\t0\r\n" + name + "\r\n\r\n\r\n\r\n"));
    WatchListModel longName;
    ASSERT_TRUE(LoadList(longName, dir.path("longname")));
    ASSERT_EQ(longName.rowCount(), 1);
    EXPECT_EQ(Entry(longName, 0).UserName.size(), 1 << 20);
}

TEST(WatchListFile, FieldsWithLineBreaksOrTabsDoNotShiftLaterEntries)
{
    TempDir dir;
    WatchListModel list;
    WatchEntry odd = Terminal(QStringLiteral("two\r\nlines"), QStringLiteral("PC\t1"));
    odd.Domain = QStringLiteral("DOM\tAIN");
    odd.LoginAction = QStringLiteral("a\tb"); // a TAB is harmless on a line of its own
    AddEntry(odd, list);
    AddEntry(Terminal(QStringLiteral("after"), QStringLiteral("PC2")), list);
    ASSERT_TRUE(SaveList(list, dir.path("list")));

    WatchListModel loaded;
    ASSERT_TRUE(LoadList(loaded, dir.path("list")));
    ASSERT_EQ(loaded.rowCount(), 2);
    EXPECT_EQ(Entry(loaded, 0).UserName, QStringLiteral("two  lines"));
    EXPECT_EQ(Entry(loaded, 0).ResourceName, QStringLiteral("PC 1"));
    EXPECT_EQ(Entry(loaded, 0).Domain, QStringLiteral("DOM AIN"));
    EXPECT_EQ(Entry(loaded, 0).Provider, QStringLiteral("Microsoft Windows Network"));
    EXPECT_EQ(Entry(loaded, 0).LoginAction, QStringLiteral("a\tb"));
    EXPECT_EQ(Entry(loaded, 1).UserName, QStringLiteral("after"));
}

TEST(WatchListFile, ALoneCarriageReturnInAFieldSavesAsAFixedPoint)
{
    // A lone CR in the address: once saved as a blank the text reads as an
    // address, so a load that kept the CR changed the list at every save.
    TempDir dir;
    const QByteArray file = QByteArray::fromBase64(
        "UEMxQzEJODkyLjE2OC4xLg0wMQkNCrpQQzAxCTg5Mi4xNjguICAxLg0KDQoNCg0uMTY4Lsox");
    ASSERT_TRUE(dir.write("list", file));
    WatchListModel list;
    ASSERT_TRUE(LoadList(list, dir.path("list")));
    ASSERT_EQ(list.rowCount(), 1);
    EXPECT_EQ(Entry(list, 0).Address, QStringLiteral("892.168.  1. 01"));

    ASSERT_TRUE(SaveList(list, dir.path("first")));
    WatchListModel reloaded;
    ASSERT_TRUE(LoadList(reloaded, dir.path("first")));
    ASSERT_TRUE(SaveList(reloaded, dir.path("second")));
    EXPECT_EQ(dir.read("first"), dir.read("second"));
}

TEST(WatchListFile, UnreadableFilesAddNothing)
{
    TempDir dir;
    WatchListModel list;
    EXPECT_FALSE(LoadList(list, dir.path("missing")));
    EXPECT_FALSE(LoadList(list, dir.path()));
    EXPECT_EQ(list.rowCount(), 0);
}

TEST(WatchListFile, FailedSaveKeepsTheOldFile)
{
    TempDir dir;
    WatchListModel list;
    AddEntry(Terminal(QStringLiteral("new"), QStringLiteral("PC")), list);

    EXPECT_FALSE(SaveList(list, dir.path("no/such/folder/list")));
    ASSERT_TRUE(dir.write("file", "x"));
    EXPECT_FALSE(SaveList(list, dir.path("file/list")));

    // A folder the program may not write to. Root writes anywhere, so the
    // save runs in a child that gives up root first.
    ASSERT_TRUE(QDir().mkpath(dir.path("ro")));
    const QByteArray old = Group(QStringLiteral("OLD\t\tN\t0\t-1\t-1\t"), QStringLiteral("old"));
    ASSERT_TRUE(dir.write("ro/list", old));
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path("ro")).constData(), 0555), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path("ro/list")).constData(), 0666), 0);
    bool saved = true;
    if (::geteuid() == 0) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(2);
            ::_exit(SaveList(list, dir.path("ro/list")) ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 2);
        saved = WEXITSTATUS(status) == 1;
    } else {
        saved = SaveList(list, dir.path("ro/list"));
    }
    ::chmod(QFile::encodeName(dir.path("ro")).constData(), 0755);
    EXPECT_FALSE(saved);
    EXPECT_EQ(dir.read("ro/list"), old);
    EXPECT_EQ(QDir(dir.path("ro")).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("list")});
}
