#include "platform/Journal.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {

TEST(Journal, UnderSystemdTheLineCarriesItsPriorityAndNoClientTextBreaksIt)
{
    EXPECT_EQ(JournalText(JournalPriority::Notice, "login", QStringLiteral("tanaka (PC01)"), false),
              "corvane: login: tanaka (PC01)\n");
    EXPECT_EQ(JournalText(JournalPriority::Warning, "access", QStringLiteral("x\r\ncorvane: login: y"), true),
              "<4>corvane: access: x  corvane: login: y\n");
    EXPECT_EQ(JournalText(JournalPriority::Notice, "all-login", {}, true), "<5>corvane: all-login\n");

    // systemd names the stream it gave as standard error.
    struct stat st {};
    ASSERT_EQ(::fstat(2, &st), 0);
    const QByteArray saved = qgetenv("JOURNAL_STREAM");
    const auto stream = [&](qulonglong inode) {
        qputenv("JOURNAL_STREAM", QByteArray::number(qulonglong(st.st_dev)) + ':' + QByteArray::number(inode));
    };
    stream(st.st_ino);
    EXPECT_TRUE(StandardErrorIsJournal());
    stream(st.st_ino + 1);
    EXPECT_FALSE(StandardErrorIsJournal());
    qunsetenv("JOURNAL_STREAM");
    EXPECT_FALSE(StandardErrorIsJournal());
    if (!saved.isNull())
        qputenv("JOURNAL_STREAM", saved);
}

}  // namespace
