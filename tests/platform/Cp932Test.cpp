#include "platform/Cp932.h"

#include <gtest/gtest.h>

TEST(Cp932, DecodesThePageNotStrictShiftJis)
{
    // ～ ① 髙 and a plain backslash: the characters strict Shift_JIS gets wrong.
    EXPECT_EQ(Cp932::decode("\x81\x60\x87\x40\xFB\xFC\x5C"), QString::fromUtf8("～①髙\\"));
    EXPECT_EQ(Cp932::decode("\xB1\xDD"), QString::fromUtf8("ｱﾝ"));
    EXPECT_EQ(Cp932::decode("\x83\x5C"), QString::fromUtf8("ソ")); // trail byte 5C is not a separator
}

TEST(Cp932, EncodesBackAndCountsBytes)
{
    const QString text = QString::fromUtf8("未確認ﾛｸﾞｲﾝ～①髙\\abc");
    const QByteArray bytes = Cp932::encode(text);
    EXPECT_EQ(Cp932::decode(bytes), text);
    EXPECT_EQ(Cp932::byteLength(text), bytes.size());
    EXPECT_EQ(Cp932::byteLength(QString::fromUtf8("ﾛｸﾞｲﾝ")), 5);
    EXPECT_EQ(Cp932::byteLength(QString::fromUtf8("未確認")), 6);
    EXPECT_EQ(Cp932::encode(QString::fromUtf8("~")), QByteArray("~"));
}

TEST(Cp932, UnencodableCharactersBecomeOneQuestionMarkEach)
{
    EXPECT_EQ(Cp932::encode(QString::fromUtf8("a€b😀c")), QByteArray("a?b?c"));
    EXPECT_EQ(Cp932::byteLength(QString::fromUtf8("😀")), 1);
}

TEST(Cp932, DamagedBytesNeverStopTheRest)
{
    // A lead byte with a bad trail keeps the trail byte; a lone lead at the
    // end and undefined bytes become replacement characters.
    EXPECT_EQ(Cp932::decode("\x81" " ok"), QString::fromUtf8("\uFFFD ok"));
    EXPECT_EQ(Cp932::decode(QByteArrayView("abc\x81", 4)), QString::fromUtf8("abc\uFFFD"));
    EXPECT_EQ(Cp932::decode(QByteArrayView("a\0b", 3)), QStringView(u"a\u0000b", 3).toString());
    const QString unmapped = Cp932::decode("\x85\x40" "z"); // hole in the page
    EXPECT_EQ(unmapped, QString::fromUtf8("\uFFFDz"));
}

TEST(Cp932, LeftBytesNeverSplitsADoubleByteCharacter)
{
    const QString text = QString::fromUtf8("aあいう");
    EXPECT_EQ(Cp932::leftBytes(text, 4), QString::fromUtf8("aあ"));
    EXPECT_EQ(Cp932::leftBytes(text, 5), QString::fromUtf8("aあい"));
    EXPECT_EQ(Cp932::leftBytes(text, 100), text);
    const QByteArray bytes = Cp932::encode(text);
    EXPECT_EQ(Cp932::leftBytes(QByteArrayView(bytes), 4), bytes.left(3));
}

TEST(Cp932, ComparesInByteOrder)
{
    // Half-width katakana (A1-DF) sort before kanji (88-9F lead bytes start
    // below, but E0+ lead bytes sort after), and ASCII before both.
    EXPECT_LT(Cp932::compareBytes(u"Z", u"ｱ"), 0);
    EXPECT_LT(Cp932::compareBytes(u"亜", u"ｱ"), 0); // 88 9F < B1
    EXPECT_GT(Cp932::compareBytes(u"ab", u"a"), 0);
    EXPECT_EQ(Cp932::compareBytes(u"同じ", u"同じ"), 0);
}
