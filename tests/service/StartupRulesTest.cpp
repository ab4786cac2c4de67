#include "process/ProcessFlags.h"
#include "service/StartupRules.h"

#include <gtest/gtest.h>

namespace {

TEST(ListFileName, ByPlatformFamily)
{
    EXPECT_EQ(ListFileName(0), QStringLiteral("Krovan.32s"));
    EXPECT_EQ(ListFileName(1), QStringLiteral("Krovan.9x"));
    EXPECT_EQ(ListFileName(2), QStringLiteral("Krovan.NT"));
    EXPECT_EQ(ListFileName(3), QStringLiteral("Krovan.dat"));
    EXPECT_EQ(ListFileName(-1), QStringLiteral("Krovan.dat"));
    EXPECT_EQ(ListFileName(7), QStringLiteral("Krovan.dat"));
}

TEST(CorrectWindowOrigin, OnlyAWindowWhollyOffTheScreenMoves)
{
    EXPECT_EQ(CorrectWindowOrigin(5000, 160, 768), 0);   // below the screen
    EXPECT_EQ(CorrectWindowOrigin(768, 160, 768), 0);    // starts at the far edge
    EXPECT_EQ(CorrectWindowOrigin(767, 160, 768), 767);  // one line visible
    EXPECT_EQ(CorrectWindowOrigin(-100, 160, 768), -100);
    EXPECT_EQ(CorrectWindowOrigin(-160, 160, 768), 0);   // ends exactly at the edge
    EXPECT_EQ(CorrectWindowOrigin(-200, 160, 768), 0);
    EXPECT_EQ(CorrectWindowOrigin(300, 160, 768), 300);
    EXPECT_EQ(CorrectWindowOrigin(-2147483647, 2147483647, 768), 0);  // no overflow
}

TEST(MainColumnWidths, FallbacksAndTheResultColumn)
{
    EXPECT_EQ(MainColumnWidths(QStringLiteral("10,20,30,40,50,60,70,80,90,0,0")),
              (QList<qint32>{10, 20, 30, 40, 50, 60, 70, 80, 90, 50, 0}));
    EXPECT_EQ(MainColumnWidths(QStringLiteral("1,x,,-5")),
              (QList<qint32>{1, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50}));
    // The stored default of the older layout has twelve items.
    EXPECT_EQ(MainColumnWidths(QStringLiteral("50,50,50,50,50,50,50,50,50,50,50,0")), QList<qint32>(11, 50));
}

TEST(ProgramDir, EnvironmentFirstThenTheExecutablesDirectory)
{
    EXPECT_EQ(ProgramDirFrom({}, QStringLiteral("/opt/corvane/bin/corvane")), QStringLiteral("/opt/corvane/bin/"));
    EXPECT_EQ(ProgramDirFrom(QStringLiteral("/srv/krovan"), QStringLiteral("/opt/c/corvane")),
              QStringLiteral("/srv/krovan/"));
    EXPECT_EQ(ProgramDirFrom(QStringLiteral("/srv/krovan/"), {}), QStringLiteral("/srv/krovan/"));
    EXPECT_EQ(ProgramDirFrom(QStringLiteral("/"), {}), QStringLiteral("/"));
    EXPECT_EQ(ProgramDirFrom({}, {}), QString());
    // The test runs from its own executable.
    EXPECT_TRUE(ExecutablePath().endsWith(QStringLiteral("/test_service")));
}

}  // namespace
