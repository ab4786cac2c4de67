// The property dialog's lines by image index, and the version box.

#include "console/TImageLists.h"
#include "console/TfmProp.h"
#include "platform/Platform.h"
#include "service/flags/ProcessFlags.h"

#include <QPushButton>

#include <gtest/gtest.h>

namespace {

struct TfmPropTest : ::testing::Test {
    QStringList asked;
    TfmProp::RemotePlatformQuery query = [this](const QString &computer, const QString &domain) {
        asked << computer + "@" + domain;
        return computer == QLatin1String(GetMyOsVersion) ? QStringLiteral("Debian 12 6.1") : QStringLiteral("Windows 2000");
    };
    int savedFamily = PlatformFamily;

    void SetUp() override { PlatformFamily = 2; }
    void TearDown() override { PlatformFamily = savedFamily; }

    PropertyRecord Terminal(int image)
    {
        PropertyRecord r;
        r.ResourceName = "PC01";
        r.UserName = "山田";
        r.Domain = "WORKGROUP";
        r.Comment = "  1.  2.  3.  4";
        r.Provider = "00-11-22-33-44-55";
        r.Result = "Success";
        r.ImageIndex = image;
        r.IPMode = true;
        return r;
    }
};

TEST_F(TfmPropTest, LoggedInTerminalWithIPCheckShowsAddressesAndItsRemoteSystem)
{
    TfmProp prop(nullptr, Terminal(0), query);
    EXPECT_EQ(prop.windowTitle(), "Property");
    EXPECT_EQ(prop.LineValue(TfmProp::LineUser), "山田");
    EXPECT_EQ(prop.LineCaption(TfmProp::LineResource), "ﾘｿｰｽ名:");
    EXPECT_EQ(prop.LineValue(TfmProp::LineResource), "PC01");
    EXPECT_EQ(prop.LineCaption(TfmProp::LineDomain), "ﾄﾞﾒｲﾝ/ﾜｰｸｸﾞﾙｰﾌﾟ:");
    EXPECT_EQ(prop.LineCaption(TfmProp::LineComment), "IPｱﾄﾞﾚｽ:");
    EXPECT_EQ(prop.LineValue(TfmProp::LineComment), "  1.  2.  3.  4");
    EXPECT_EQ(prop.LineCaption(TfmProp::LineProvider), "MACｱﾄﾞﾚｽ:");
    EXPECT_EQ(prop.LineValue(TfmProp::LineProvider), "00-11-22-33-44-55");
    EXPECT_EQ(prop.LineCaption(TfmProp::LineStatus), "ｽﾃｰﾀｽ:");
    EXPECT_EQ(prop.LineValue(TfmProp::LineStatus), "ﾛｸﾞｲﾝ");
    EXPECT_EQ(prop.LineCaption(TfmProp::LineOS), "ｵﾍﾟﾚｰﾃｨﾝｸﾞｼｽﾃﾑ:");
    EXPECT_EQ(prop.LineValue(TfmProp::LineOS), "Windows 2000");
    EXPECT_EQ(prop.LineCaption(TfmProp::LineResult), "Result:");
    EXPECT_EQ(prop.LineValue(TfmProp::LineResult), "Success");
    EXPECT_EQ(asked, QStringList{"PC01@WORKGROUP"});
    EXPECT_EQ(prop.Image().toImage(), ImageLists().LargeImage(0).toImage());
}

TEST_F(TfmPropTest, RemoteSystemOnlyForTheFirstTwoStylesAndAKnownDomain)
{
    PropertyRecord r = Terminal(12);
    r.IPMode = false;
    r.Domain.clear();
    TfmProp third(nullptr, r, query);
    EXPECT_FALSE(third.LineShown(TfmProp::LineOS));
    EXPECT_FALSE(third.LineShown(TfmProp::LineDomain));
    EXPECT_EQ(third.LineCaption(TfmProp::LineComment), "ｺﾒﾝﾄ:");
    EXPECT_EQ(third.LineCaption(TfmProp::LineProvider), "ﾈｯﾄﾜｰｸﾌﾟﾛﾊﾞｲﾀﾞ:");

    r.ImageIndex = 9;
    TfmProp second(nullptr, r, query);
    EXPECT_TRUE(second.LineShown(TfmProp::LineOS));
    EXPECT_EQ(second.LineValue(TfmProp::LineOS), QString());
    EXPECT_TRUE(asked.isEmpty());

    PlatformFamily = 3;
    TfmProp unknown(nullptr, Terminal(0), query);
    EXPECT_FALSE(unknown.LineShown(TfmProp::LineOS));
    EXPECT_TRUE(asked.isEmpty());
}

TEST_F(TfmPropTest, OtherTerminalStatesByTheirIndex)
{
    TfmProp loggedOut(nullptr, Terminal(13), query);
    EXPECT_EQ(loggedOut.LineValue(TfmProp::LineStatus), "ﾛｸﾞｱｳﾄ");
    EXPECT_EQ(loggedOut.LineValue(TfmProp::LineComment), "  1.  2.  3.  4");
    EXPECT_TRUE(loggedOut.LineShown(TfmProp::LineOS));
    EXPECT_EQ(loggedOut.LineValue(TfmProp::LineOS), QString());
    EXPECT_TRUE(asked.isEmpty());

    PropertyRecord r = Terminal(3);
    r.IPMode = false;
    TfmProp resting(nullptr, r, query);
    EXPECT_EQ(resting.LineValue(TfmProp::LineStatus), "お休み");
    EXPECT_EQ(resting.LineValue(TfmProp::LineComment), QString());
    EXPECT_EQ(resting.LineValue(TfmProp::LineProvider), QString());
    EXPECT_EQ(resting.LineValue(TfmProp::LineDomain), "WORKGROUP");

    EXPECT_EQ(TfmProp(nullptr, Terminal(4), query).LineValue(TfmProp::LineStatus), "ﾈｯﾄﾜｰｸｴﾗｰ");
    EXPECT_EQ(TfmProp(nullptr, Terminal(17), query).LineValue(TfmProp::LineStatus), "未確認");
}

TEST_F(TfmPropTest, WorkgroupNetworkSeparatorAndUnknownIndexes)
{
    PropertyRecord group;
    group.ResourceName = "WORKGROUP";
    group.Provider = "Microsoft Windows Network";
    group.ImageIndex = 5;
    TfmProp workgroup(nullptr, group, query);
    EXPECT_EQ(workgroup.LineValue(TfmProp::LineStatus), "ﾜｰｸｸﾞﾙｰﾌﾟ");
    EXPECT_TRUE(workgroup.LineShown(TfmProp::LineResource));
    EXPECT_FALSE(workgroup.LineShown(TfmProp::LineDomain));
    EXPECT_FALSE(workgroup.LineShown(TfmProp::LineComment));
    EXPECT_EQ(workgroup.LineValue(TfmProp::LineProvider), "Microsoft Windows Network");
    EXPECT_FALSE(workgroup.LineShown(TfmProp::LineOS));
    EXPECT_FALSE(workgroup.LineShown(TfmProp::LineResult));

    PropertyRecord net = group;
    net.ImageIndex = 7;
    TfmProp network(nullptr, net, query);
    EXPECT_EQ(network.LineValue(TfmProp::LineStatus), "ﾈｯﾄﾜｰｸﾌﾟﾛﾊﾞｲﾀﾞ");
    EXPECT_FALSE(network.LineShown(TfmProp::LineProvider));
    EXPECT_FALSE(network.LineShown(TfmProp::LineDomain));

    for (int image : {8, 18, 40, -1}) {
        TfmProp empty(nullptr, Terminal(image), query);
        for (int line = 0; line < TfmProp::LineCount; ++line)
            EXPECT_EQ(empty.LineValue(TfmProp::Line(line)), QString()) << image;
        EXPECT_TRUE(empty.Image().isNull());
    }
    EXPECT_TRUE(asked.isEmpty());
}

TEST_F(TfmPropTest, VersionBoxShowsTheProgramAndThisMachinesSystem)
{
    PropertyRecord r;
    r.ImageIndex = VersionImageIndex;
    const QString savedDir = ProgramDir;
    ProgramDir = QStringLiteral("/home/op/.config/corvane/");
    TfmProp version(nullptr, r, query);
    ProgramDir = savedDir;
    EXPECT_EQ(version.LineValue(TfmProp::LineUser), "Corvane Ver 2.10a");
    // Where this run keeps its settings and list.
    EXPECT_TRUE(version.LineShown(TfmProp::LineComment));
    EXPECT_EQ(version.LineValue(TfmProp::LineComment), "/home/op/.config/corvane/");
    EXPECT_EQ(version.LineValue(TfmProp::LineOS), "Debian 12 6.1");
    EXPECT_TRUE(version.LineShown(TfmProp::LineOS));
    EXPECT_FALSE(version.LineShown(TfmProp::LineStatus));
    EXPECT_EQ(asked, QStringList{"Get My OS Version@"});
    EXPECT_EQ(version.pbOK->text(), "&OK");
}

}  // namespace
