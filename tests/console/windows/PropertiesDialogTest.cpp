// The property dialog's lines by image index, and the version box.

#include "console/ConsoleImages.h"
#include "console/PropertiesDialog.h"
#include "platform/Platform.h"
#include "process/ProcessFlags.h"

#include <QPushButton>

#include <gtest/gtest.h>

namespace {

struct PropertiesDialogTest : ::testing::Test {
    QStringList asked;
    PropertiesDialog::RemotePlatformQuery query = [this](const QString &computer, const QString &domain) {
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

TEST_F(PropertiesDialogTest, LoggedInTerminalWithIPCheckShowsAddressesAndItsRemoteSystem)
{
    PropertiesDialog prop(nullptr, Terminal(0), query);
    EXPECT_EQ(prop.windowTitle(), "Property");
    EXPECT_EQ(prop.LineValue(PropertiesDialog::LineUser), "山田");
    EXPECT_EQ(prop.LineCaption(PropertiesDialog::LineResource), "ﾘｿｰｽ名:");
    EXPECT_EQ(prop.LineValue(PropertiesDialog::LineResource), "PC01");
    EXPECT_EQ(prop.LineCaption(PropertiesDialog::LineDomain), "ﾄﾞﾒｲﾝ/ﾜｰｸｸﾞﾙｰﾌﾟ:");
    EXPECT_EQ(prop.LineCaption(PropertiesDialog::LineComment), "IPｱﾄﾞﾚｽ:");
    EXPECT_EQ(prop.LineValue(PropertiesDialog::LineComment), "  1.  2.  3.  4");
    EXPECT_EQ(prop.LineCaption(PropertiesDialog::LineProvider), "MACｱﾄﾞﾚｽ:");
    EXPECT_EQ(prop.LineValue(PropertiesDialog::LineProvider), "00-11-22-33-44-55");
    EXPECT_EQ(prop.LineCaption(PropertiesDialog::LineStatus), "ｽﾃｰﾀｽ:");
    EXPECT_EQ(prop.LineValue(PropertiesDialog::LineStatus), "ﾛｸﾞｲﾝ");
    EXPECT_EQ(prop.LineCaption(PropertiesDialog::LineOS), "ｵﾍﾟﾚｰﾃｨﾝｸﾞｼｽﾃﾑ:");
    EXPECT_EQ(prop.LineValue(PropertiesDialog::LineOS), "Windows 2000");
    EXPECT_EQ(prop.LineCaption(PropertiesDialog::LineResult), "Result:");
    EXPECT_EQ(prop.LineValue(PropertiesDialog::LineResult), "Success");
    EXPECT_EQ(asked, QStringList{"PC01@WORKGROUP"});
    EXPECT_EQ(prop.Image().toImage(), SharedImages().LargeImage(0).toImage());
}

TEST_F(PropertiesDialogTest, RemoteSystemOnlyForTheFirstTwoStylesAndAKnownDomain)
{
    PropertyRecord r = Terminal(12);
    r.IPMode = false;
    r.Domain.clear();
    PropertiesDialog third(nullptr, r, query);
    EXPECT_FALSE(third.LineShown(PropertiesDialog::LineOS));
    EXPECT_FALSE(third.LineShown(PropertiesDialog::LineDomain));
    EXPECT_EQ(third.LineCaption(PropertiesDialog::LineComment), "ｺﾒﾝﾄ:");
    EXPECT_EQ(third.LineCaption(PropertiesDialog::LineProvider), "ﾈｯﾄﾜｰｸﾌﾟﾛﾊﾞｲﾀﾞ:");

    r.ImageIndex = 9;
    PropertiesDialog second(nullptr, r, query);
    EXPECT_TRUE(second.LineShown(PropertiesDialog::LineOS));
    EXPECT_EQ(second.LineValue(PropertiesDialog::LineOS), QString());
    EXPECT_TRUE(asked.isEmpty());

    PlatformFamily = 3;
    PropertiesDialog unknown(nullptr, Terminal(0), query);
    EXPECT_FALSE(unknown.LineShown(PropertiesDialog::LineOS));
    EXPECT_TRUE(asked.isEmpty());
}

TEST_F(PropertiesDialogTest, OtherTerminalStatesByTheirIndex)
{
    PropertiesDialog loggedOut(nullptr, Terminal(13), query);
    EXPECT_EQ(loggedOut.LineValue(PropertiesDialog::LineStatus), "ﾛｸﾞｱｳﾄ");
    EXPECT_EQ(loggedOut.LineValue(PropertiesDialog::LineComment), "  1.  2.  3.  4");
    EXPECT_TRUE(loggedOut.LineShown(PropertiesDialog::LineOS));
    EXPECT_EQ(loggedOut.LineValue(PropertiesDialog::LineOS), QString());
    EXPECT_TRUE(asked.isEmpty());

    PropertyRecord r = Terminal(3);
    r.IPMode = false;
    PropertiesDialog resting(nullptr, r, query);
    EXPECT_EQ(resting.LineValue(PropertiesDialog::LineStatus), "お休み");
    EXPECT_EQ(resting.LineValue(PropertiesDialog::LineComment), QString());
    EXPECT_EQ(resting.LineValue(PropertiesDialog::LineProvider), QString());
    EXPECT_EQ(resting.LineValue(PropertiesDialog::LineDomain), "WORKGROUP");

    EXPECT_EQ(PropertiesDialog(nullptr, Terminal(4), query).LineValue(PropertiesDialog::LineStatus), "ﾈｯﾄﾜｰｸｴﾗｰ");
    EXPECT_EQ(PropertiesDialog(nullptr, Terminal(17), query).LineValue(PropertiesDialog::LineStatus), "未確認");
}

TEST_F(PropertiesDialogTest, WorkgroupNetworkSeparatorAndUnknownIndexes)
{
    PropertyRecord group;
    group.ResourceName = "WORKGROUP";
    group.Provider = "Microsoft Windows Network";
    group.ImageIndex = 5;
    PropertiesDialog workgroup(nullptr, group, query);
    EXPECT_EQ(workgroup.LineValue(PropertiesDialog::LineStatus), "ﾜｰｸｸﾞﾙｰﾌﾟ");
    EXPECT_TRUE(workgroup.LineShown(PropertiesDialog::LineResource));
    EXPECT_FALSE(workgroup.LineShown(PropertiesDialog::LineDomain));
    EXPECT_FALSE(workgroup.LineShown(PropertiesDialog::LineComment));
    EXPECT_EQ(workgroup.LineValue(PropertiesDialog::LineProvider), "Microsoft Windows Network");
    EXPECT_FALSE(workgroup.LineShown(PropertiesDialog::LineOS));
    EXPECT_FALSE(workgroup.LineShown(PropertiesDialog::LineResult));

    PropertyRecord net = group;
    net.ImageIndex = 7;
    PropertiesDialog network(nullptr, net, query);
    EXPECT_EQ(network.LineValue(PropertiesDialog::LineStatus), "ﾈｯﾄﾜｰｸﾌﾟﾛﾊﾞｲﾀﾞ");
    EXPECT_FALSE(network.LineShown(PropertiesDialog::LineProvider));
    EXPECT_FALSE(network.LineShown(PropertiesDialog::LineDomain));

    for (int image : {8, 18, 40, -1}) {
        PropertiesDialog empty(nullptr, Terminal(image), query);
        for (int line = 0; line < PropertiesDialog::LineCount; ++line)
            EXPECT_EQ(empty.LineValue(PropertiesDialog::Line(line)), QString()) << image;
        EXPECT_TRUE(empty.Image().isNull());
    }
    EXPECT_TRUE(asked.isEmpty());
}

TEST_F(PropertiesDialogTest, VersionBoxShowsTheProgramAndThisMachinesSystem)
{
    PropertyRecord r;
    r.ImageIndex = VersionImageIndex;
    const QString savedDir = ProgramDir;
    ProgramDir = QStringLiteral("/home/op/.config/corvane/");
    PropertiesDialog version(nullptr, r, query);
    ProgramDir = savedDir;
    EXPECT_EQ(version.LineValue(PropertiesDialog::LineUser), "Corvane Ver 2.10a");
    // Where this run keeps its settings and list.
    EXPECT_TRUE(version.LineShown(PropertiesDialog::LineComment));
    EXPECT_EQ(version.LineValue(PropertiesDialog::LineComment), "/home/op/.config/corvane/");
    EXPECT_EQ(version.LineValue(PropertiesDialog::LineOS), "Debian 12 6.1");
    EXPECT_TRUE(version.LineShown(PropertiesDialog::LineOS));
    EXPECT_FALSE(version.LineShown(PropertiesDialog::LineStatus));
    EXPECT_EQ(asked, QStringList{"Get My OS Version@"});
    EXPECT_EQ(version.pbOK->text(), "&OK");
}

}  // namespace
