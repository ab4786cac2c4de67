#include "ProbeTest.h"
#include "probe/MAC.h"
#include "probe/Probe.h"

#include <gtest/gtest.h>

TEST(MAC, ReadsSixHexadecimalPartsInEitherCase)
{
    const auto mac = Probe::StringToMAC(QStringLiteral("00:0a:1B:2c:3D:4e"));
    ASSERT_TRUE(mac);
    EXPECT_EQ(*mac, (MAC{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}));
    EXPECT_EQ(FormatMAC(*mac), QStringLiteral("00:0A:1B:2C:3D:4E"));
    // One digit and leading zeros are numbers like any other.
    EXPECT_EQ(*Probe::StringToMAC(QStringLiteral("1:2:3:4:5:006")), (MAC{1, 2, 3, 4, 5, 6}));
}

TEST(MAC, RefusesAnythingButSixBytes)
{
    for (const char *text : {"", "00:0A:1B:2C:3D", "00:0A:1B:2C:3D:4E:5F", "00:0A:1B:2C:3D:4G", "00:0A:1B:2C::4E",
                             "00-0A-1B-2C-3D-4E", "00:0A:1B:2C:3D: 4E", "00:0A:1B:2C:3D:+4", "00:0A:1B:2C:3D:100",
                             "0x00:0A:1B:2C:3D:4E", "00:0A:1B:2C:3D:4E:"})
        EXPECT_FALSE(Probe::StringToMAC(QString::fromLatin1(text))) << text;
}

TEST(MAC, MagicPacketIsSyncThenSixteenCopies)
{
    const QByteArray packet = MagicPacket(MAC{1, 2, 3, 4, 5, 6});
    ASSERT_EQ(packet.size(), 102);
    EXPECT_EQ(packet.left(6), QByteArray(6, char(0xFF)));
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(packet.mid(6 + 6 * k, 6), QByteArray("\x01\x02\x03\x04\x05\x06")) << k;
}
