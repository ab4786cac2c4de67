#include "config/ProfileStore.h"

#include "support/TempDir.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray sjis(const char *utf8) { return QByteArray(utf8); }

struct Store {
    TempDir dir;
    ProfileStore store{dir.path("p.ini")};

    void put(const QByteArray &bytes) { ASSERT_TRUE(dir.write("p.ini", bytes)); }
    QByteArray file() const { return dir.read("p.ini"); }
};

} // namespace

TEST(ProfileStore, ReadsTextsWithBlanksAndQuotesRemoved)
{
    Store t;
    t.put("[Sec]\r\n"
          "Plain =  value with  blanks \t\r\n"
          "Single='  kept  '\r\n"
          "Double=\"x\"\r\n"
          "Mixed='a\"\r\n"
          "Lone='\r\n"
          "Inner=a'b'\r\n"
          "Empty=\r\n"
          "Twice=''x''\r\n");
    const auto read = [&](const char *key) { return t.store.readString(u"Sec", QString::fromLatin1(key), u"?"_s); };
    EXPECT_EQ(read("Plain"), "value with  blanks");
    EXPECT_EQ(read("Single"), "  kept  ");
    EXPECT_EQ(read("Double"), "x");
    EXPECT_EQ(read("Mixed"), "'a\"");
    EXPECT_EQ(read("Lone"), "'");
    EXPECT_EQ(read("Inner"), "a'b'");
    EXPECT_EQ(read("Empty"), "");
    EXPECT_EQ(read("Twice"), "'x'"); // one pair only
    EXPECT_EQ(read("Missing"), "?");
    EXPECT_EQ(t.store.readString(u"Other", u"Plain", u"?"_s), "?");
}

TEST(ProfileStore, MissingFileGivesDefaultsAndIsNotCreatedByReading)
{
    Store t;
    EXPECT_EQ(t.store.readString(u"A", u"B", u"dflt"_s), "dflt");
    EXPECT_EQ(t.store.readInteger(u"A", u"B", -7), -7);
    EXPECT_TRUE(t.store.readBool(u"A", u"B", true));
    t.store.beginBatch();
    EXPECT_TRUE(t.store.endBatch());
    EXPECT_FALSE(t.dir.exists("p.ini"));
}

TEST(ProfileStore, LongValuesAreCutWithoutSplittingADoubleByteCharacter)
{
    Store t;
    const QByteArray a2045(2045, 'a');
    const QByteArray kanji = sjis("\x88\x9F"); // 亜
    // 2046 + 2 bytes: the kanji would end at byte 2048 and is left out whole.
    t.put("[S]\r\nCut=a" + a2045 + kanji + "tail\r\nFits=" + a2045 + kanji + "\r\nQuoted='" + a2045 + kanji + "'\r\n");
    const QString cut = t.store.readString(u"S", u"Cut", {});
    EXPECT_EQ(cut.size(), 2046);
    EXPECT_FALSE(cut.contains(QChar(0xFFFD)));
    const QString fits = t.store.readString(u"S", u"Fits", {});
    EXPECT_EQ(fits.size(), 2046);
    EXPECT_TRUE(fits.endsWith(QString::fromUtf8("亜")));
    // The quotes come off before the limit, so the closing one is not lost.
    EXPECT_EQ(t.store.readString(u"S", u"Quoted", {}), fits);
}

TEST(ProfileStore, IntegerForms)
{
    struct Case {
        const char *text;
        std::optional<qint32> value;
    };
    const Case cases[] = {
        {"12", 12}, {"-12", -12}, {"+7", 7}, {"007", 7}, {"0", 0},
        {"0x1F", 31}, {"0X1f", 31}, {"$1F", 31}, {"$1f", 31}, {"-$1F", -31},
        {"$FFFFFFFF", -1}, {"0x80000000", INT32_MIN},
        {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt}, {"-2147483649", std::nullopt}, {"99999999999999999999", std::nullopt},
        {"$100000000", std::nullopt},
        {"12abc", std::nullopt}, {"1 2", std::nullopt}, {" 1", std::nullopt}, {"", std::nullopt},
        {"-", std::nullopt}, {"0x", std::nullopt}, {"$", std::nullopt}, {"$G", std::nullopt},
        {"1.5", std::nullopt}, {"E", std::nullopt}, {"0x1F ", std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ParseProfileInteger(c.text), c.value) << c.text;
}

TEST(ProfileStore, IntegersAndBooleansFallBackWhenMalformed)
{
    Store t;
    t.put("[S]\nHex=$1F\nQuoted='12'\nBlanks=  42  \nJunk=12abc\nHuge=5000000000\nTwo=2\nZero=0\nNeg=-1\n");
    EXPECT_EQ(t.store.readInteger(u"S", u"Hex", 0), 31);
    EXPECT_EQ(t.store.readInteger(u"S", u"Quoted", 0), 12);
    EXPECT_EQ(t.store.readInteger(u"S", u"Blanks", 0), 42);
    EXPECT_EQ(t.store.readInteger(u"S", u"Junk", 5), 5);
    EXPECT_EQ(t.store.readInteger(u"S", u"Huge", 5), 5);
    EXPECT_TRUE(t.store.readBool(u"S", u"Two", false));
    EXPECT_TRUE(t.store.readBool(u"S", u"Neg", false));
    EXPECT_FALSE(t.store.readBool(u"S", u"Zero", true));
    EXPECT_TRUE(t.store.readBool(u"S", u"Junk", true));
    EXPECT_FALSE(t.store.readBool(u"S", u"Junk", false));
}

TEST(ProfileStore, NamesMatchWithoutRegardToAsciiCase)
{
    EXPECT_TRUE(ProfileNamesEqual("CheckInterval", "checkINTERVAL"));
    EXPECT_FALSE(ProfileNamesEqual("Check", "Checks"));
    // ア (83 41) and ヂ (83 61): the trail bytes look like A and a but are no letters.
    EXPECT_FALSE(ProfileNamesEqual("\x83\x41", "\x83\x61"));
    EXPECT_TRUE(ProfileNamesEqual("\x83\x41x", "\x83\x41X"));

    Store t;
    // ゾ is 83 5D: its trail byte is ']' and must not end the header.
    t.put("[kROVAN]\r\nversion=1.0\r\n[\x83\x5D]\r\nKey=zo\r\n");
    EXPECT_EQ(t.store.readString(u"Krovan", u"Version", {}), "1.0");
    EXPECT_EQ(t.store.readString(QString::fromUtf8("ゾ"), u"key", {}), "zo");
    // Replacing keeps the spelling the file has.
    EXPECT_TRUE(t.store.writeString(u"KROVAN", u"VERSION", u"2.10a"_s));
    EXPECT_EQ(t.file(), "[kROVAN]\r\nversion=2.10a\r\n[\x83\x5D]\r\nKey=zo\r\n");
}

TEST(ProfileStore, NewKeysGoToTheEndOfTheirSectionAndNewSectionsToTheEnd)
{
    Store t;
    t.put("[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
    EXPECT_TRUE(t.store.writeInteger(u"a", u"z", 3));
    EXPECT_TRUE(t.store.writeBool(u"C", u"w", true));
    EXPECT_TRUE(t.store.writeBool(u"C", u"v", false));
    EXPECT_TRUE(t.store.writeString(u"B", u"y", QString::fromUtf8("値")));
    EXPECT_EQ(t.file(), "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=\x92\x6C\r\n\r\n[C]\r\nw=1\r\nv=0\r\n");

    Store fresh;
    EXPECT_TRUE(fresh.store.writeInteger(u"S", u"K", -5));
    EXPECT_EQ(fresh.file(), "[S]\r\nK=-5\r\n");
}

TEST(ProfileStore, LinesItDoesNotTouchStayByteForByte)
{
    Store t;
    // LF line ends, damaged code page 932, a comment, a key outside any
    // section, no line end at the end.
    const QByteArray head = "orphan=1\n; note \x81\xFF\n[S]\n  odd line \xA0\x80\xFD\n\tbad=\x81\n";
    t.put(head + "key=1");
    EXPECT_TRUE(t.store.writeInteger(u"S", u"key", 2));
    EXPECT_EQ(t.file(), head + "key=2");
    EXPECT_TRUE(t.store.writeInteger(u"S", u"new", 3));
    EXPECT_EQ(t.file(), head + "key=2\r\nnew=3\r\n");
    EXPECT_EQ(t.store.readString(u"S", u"bad", {}), QString(QChar(0xFFFD)));
    EXPECT_EQ(t.store.readInteger(u"", u"orphan", 0), 0); // keys before any header belong to no section
}

TEST(ProfileStore, WrittenValuesNeverBreakTheFile)
{
    Store t;
    EXPECT_TRUE(t.store.writeString(u"S", u"K", u"a\r\n[X]\nb=c"_s));
    EXPECT_TRUE(t.store.writeString(u"S", u"N", QString::fromUtf16(u"left\u0000right", 10)));
    EXPECT_EQ(t.file(), "[S]\r\nK=a  [X] b=c\r\nN=left\r\n");
}

TEST(ProfileStore, EraseSectionRemovesEveryCopyWithItsLines)
{
    Store t;
    t.put("[Krovan]\r\nA=1\r\n; c\r\n\r\n[Keep]\r\nB=2\r\n[KROVAN]\r\nC=3\r\n");
    EXPECT_TRUE(t.store.eraseSection(u"krovan"));
    EXPECT_EQ(t.file(), "[Keep]\r\nB=2\r\n");
    EXPECT_TRUE(t.store.eraseSection(u"Absent"));
    EXPECT_EQ(t.file(), "[Keep]\r\nB=2\r\n");
}

TEST(ProfileStore, ABatchReadsOnceAndWritesOnce)
{
    Store t;
    t.put("[S]\r\nA=1\r\n");
    t.store.beginBatch();
    EXPECT_TRUE(t.store.writeInteger(u"S", u"A", 5));
    EXPECT_TRUE(t.store.writeInteger(u"S", u"B", 6));
    EXPECT_EQ(t.store.readInteger(u"S", u"B", 0), 6); // reads see the batch
    EXPECT_EQ(t.file(), "[S]\r\nA=1\r\n");             // the disk does not yet
    t.store.beginBatch();
    EXPECT_TRUE(t.store.eraseSection(u"Gone"));
    EXPECT_TRUE(t.store.endBatch());
    EXPECT_EQ(t.file(), "[S]\r\nA=1\r\n");
    EXPECT_TRUE(t.store.endBatch());
    EXPECT_EQ(t.file(), "[S]\r\nA=5\r\nB=6\r\n");
    EXPECT_FALSE(t.store.inBatch());
    EXPECT_FALSE(t.store.endBatch()); // unbalanced

    // Outside a batch every call sees the file as it is now.
    t.put("[S]\r\nA=9\r\n");
    EXPECT_EQ(t.store.readInteger(u"S", u"A", 0), 9);
}

TEST(ProfileStore, FailedWritesReportFalseAndLoseNothing)
{
    TempDir dir;
    ProfileStore inMissingFolder(dir.path("no/such/folder/p.ini"));
    EXPECT_FALSE(inMissingFolder.writeInteger(u"S", u"K", 1));
    inMissingFolder.beginBatch();
    inMissingFolder.writeInteger(u"S", u"K", 1);
    EXPECT_FALSE(inMissingFolder.endBatch());

    // Something that exists but cannot be read as a file is never replaced.
    ASSERT_TRUE(QDir().mkpath(dir.path("p.ini")));
    ProfileStore notAFile(dir.path("p.ini"));
    EXPECT_EQ(notAFile.readInteger(u"S", u"K", 4), 4);
    EXPECT_FALSE(notAFile.writeInteger(u"S", u"K", 1));
    EXPECT_TRUE(QFileInfo(dir.path("p.ini")).isDir());
}

TEST(ProfileStore, GarbageNulBytesAndHugeLinesAreSurvived)
{
    Store t;
    QByteArray garbage;
    quint32 seed = 12345;
    for (int i = 0; i < 64 * 1024; ++i) {
        seed = seed * 1103515245u + 12345u;
        garbage.append(char(seed >> 24));
    }
    const QByteArray huge = "Big=" + QByteArray(1024 * 1024, '\x82');
    const QByteArray nul("\r\n[S]\r\nNul=ab\0cd\r\n", 18);
    const QByteArray content = garbage + nul + huge + "\r\n[T]\r\nK=7\r\n" + QByteArray("\0\0\0", 3);
    t.put(content);
    EXPECT_EQ(t.store.readString(u"S", u"Nul", {}), "ab");
    EXPECT_EQ(t.store.readString(u"S", u"Big", {}).size(), 1023); // 82 82 pairs: 2046 bytes
    EXPECT_EQ(t.store.readInteger(u"T", u"K", 0), 7);
    EXPECT_TRUE(t.store.writeInteger(u"T", u"K", 8));
    const QByteArray after = t.file();
    EXPECT_TRUE(after.startsWith(garbage));
    EXPECT_TRUE(after.sliced(garbage.size() + nul.size()).startsWith(huge + "\r\n[T]"));
    EXPECT_EQ(t.store.readInteger(u"T", u"K", 0), 8);
}

TEST(ProfileStore, ARewriteKeepsTheFilesPermissionsAndRefusesLinks)
{
    Store t;
    t.put("[S]\r\nA=1\r\n");
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(t.dir.path("p.ini"), mode));
    EXPECT_TRUE(t.store.writeInteger(u"S", u"A", 2));
    EXPECT_EQ(QFile::permissions(t.dir.path("p.ini")) & 0x7077, mode); // owner, group, other: not the "user" view bits;

    // A settings file that is a link (planted in a shared program folder) is
    // never written through: the write fails, the link and its target stay.
    ASSERT_TRUE(QFile::link(t.dir.path("p.ini"), t.dir.path("link.ini")));
    ProfileStore viaLink(t.dir.path("link.ini"));
    EXPECT_FALSE(viaLink.writeInteger(u"S", u"A", 3));
    EXPECT_TRUE(QFileInfo(t.dir.path("link.ini")).isSymLink());
    EXPECT_EQ(t.file(), "[S]\r\nA=2\r\n");
}
