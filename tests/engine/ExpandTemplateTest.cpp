#include "engine/ExpandTemplate.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
const QStringList Values{u"user1"_s, u"PC01"_s, u"ﾛｸﾞｱｳﾄ"_s, u"WORKGROUP"_s, u"Microsoft Windows Network"_s,
                         u"192.168.  1. 10"_s};

QString expand(const QString &text)
{
    return ExpandTemplate(text, EntryTemplateLetters, Values);
}
} // namespace

TEST(ExpandTemplate, ReplacesEachLetterByItsValue)
{
    EXPECT_EQ(expand(u"%U %R"_s), u"user1 PC01"_s);
    EXPECT_EQ(expand(u"%C/%D/%N"_s), u"ﾛｸﾞｱｳﾄ/WORKGROUP/Microsoft Windows Network"_s);
    // The padded address goes in as it stands, blanks included.
    EXPECT_EQ(expand(u"ping %I"_s), u"ping 192.168.  1. 10"_s);
    EXPECT_EQ(expand(u"%U%U"_s), u"user1user1"_s);
    EXPECT_EQ(expand(u"no letters"_s), u"no letters"_s);
    EXPECT_EQ(expand(QString()), QString());
}

TEST(ExpandTemplate, KeepsWhatIsNotALetterAndHalvesDoublePercents)
{
    EXPECT_EQ(expand(u"100%%"_s), u"100%"_s);
    EXPECT_EQ(expand(u"%%U"_s), u"%U"_s) << "the second percent is consumed by the first";
    EXPECT_EQ(expand(u"%u %r"_s), u"%u %r"_s) << "letters are upper case only";
    EXPECT_EQ(expand(u"%X%Z"_s), u"%X%Z"_s);
    EXPECT_EQ(expand(u"%1 %あ"_s), u"%1 %あ"_s);
    EXPECT_EQ(expand(u"end%"_s), u"end%"_s);
    EXPECT_EQ(expand(u"%"_s), u"%"_s);
    EXPECT_EQ(expand(u"%%%"_s), u"%%"_s);
    // A value that itself holds a percent sign is not expanded again.
    EXPECT_EQ(ExpandTemplate(u"%U"_s, u"U"_s, {u"%R"_s}), u"%R"_s);
}

TEST(ExpandTemplate, LettersAndValuesMustPairUp)
{
    EXPECT_EQ(ExpandTemplate(u"%U"_s, EntryTemplateLetters, Values.mid(1)), QString());
    EXPECT_EQ(ExpandTemplate(u"plain"_s, u"AB"_s, {u"x"_s}), QString());
    EXPECT_EQ(ExpandTemplate(u"%A%B"_s, u"AB"_s, {u"x"_s, u"y"_s}), u"xy"_s);
}
