#include "events/AccessEvent.h"

#include "config/Settings.h"
#include "events/EventActions.h"
#include "events/RecordFile.h"
#include "support/FakePlatform.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

struct Outlets : AccessEventOutlets {
    QStringList log;
    void ReportToManager(ReportKind kind, const QStringList &list) override
    {
        log << u"report %1 %2"_qs.arg(qToUnderlying(kind)).arg(list.join(u'|'));
    }
    void RaiseAccessNotice(int level, int seconds, const QStringList &list) override
    {
        log << u"notice %1 %2 %3"_qs.arg(level).arg(seconds).arg(list.join(u'|'));
    }
    void ShowOpenSessionButton() override { log << u"button"_qs; }
    void IconAlert(int seconds) override { log << u"alert %1"_qs.arg(seconds); }
    void ShowAccessNotice() override { log << u"show"_qs; }
    void WriteAccessRecord(const QStringList &detail) override { log << u"record "_qs + detail.join(u'|'); }
    void OpenAccessListAutomatically() override { log << u"open list"_qs; }
    void EnableAccessMenuItem() override { log << u"menu"_qs; }
};

struct AccessEvent : ::testing::Test {
    FakeSoundPlayer sound;
    FakeProcessStarter process;
    FakeShutdown shutdown;
    EventActions actions{sound, process, shutdown, [] {}};
    Outlets out;
    ProgramSettings s;
    const QStringList report{u"guest\tPC-GUEST"_qs};
    const QStringList detail{u"0guest\tPC-GUEST\t00:01:00\t00:00:05"_qs};

    void SetUp() override
    {
        s.Access.ManagerReport = s.Access.PlayWave = s.Access.ShowMsg = s.Access.DoRecord = true;
        s.Access.WaveFile = u"access.wav"_qs;
        s.Access.ShowMsgTime = 9;
        s.Config.WaitWave = true;
    }
};

} // namespace

TEST_F(AccessEvent, EverythingInItsOrder)
{
    RaiseAccessEvent(report, detail, s, false, actions, out);
    EXPECT_EQ(out.log, (QStringList{u"report 5 guest\tPC-GUEST"_qs, u"notice 0 9 guest\tPC-GUEST"_qs, u"button"_qs,
                                    u"show"_qs, u"record 0guest\tPC-GUEST\t00:01:00\t00:00:05"_qs, u"menu"_qs}));
    ASSERT_EQ(sound.calls.size(), 1u);
    EXPECT_EQ(sound.calls[0].name, u"access.wav");
    EXPECT_TRUE(sound.calls[0].wait);
}

TEST_F(AccessEvent, IconLevelOpenListAndEnding)
{
    s.Config.MessageLevel = 2;
    s.Access.OpenAccessList = true;
    s.Access.PlayWave = false;
    RaiseAccessEvent(report, detail, s, false, actions, out);
    // The list opens by itself, so the notice's button stays hidden; level 2
    // alerts the icon instead of showing the notice.
    EXPECT_EQ(out.log, (QStringList{u"report 5 guest\tPC-GUEST"_qs, u"notice 2 9 guest\tPC-GUEST"_qs, u"alert 9"_qs,
                                    u"record 0guest\tPC-GUEST\t00:01:00\t00:00:05"_qs, u"open list"_qs, u"menu"_qs}));
    EXPECT_TRUE(sound.calls.empty());

    out.log.clear();
    RaiseAccessEvent(report, detail, s, true, actions, out);
    EXPECT_EQ(out.log, (QStringList{u"report 5 guest\tPC-GUEST"_qs, u"record 0guest\tPC-GUEST\t00:01:00\t00:00:05"_qs,
                                    u"open list"_qs}));

    out.log.clear();
    s.Access = {};
    RaiseAccessEvent(report, detail, s, false, actions, out);
    EXPECT_EQ(out.log, QStringList{u"menu"_qs});
}

TEST(OpenRecord, PathNameCheckAndDesktopAnswer)
{
    TempDir dir;
    ProgramSettings s;
    s.ProgramDir = dir.path();
    s.Logout.RecordFile = u"KR%y%m%d"_qs;
    s.Logout.RecordFileExp = u"log"_qs;
    QStringList opened;
    bool answer = true;
    auto open = [&](const QString &path) { opened << path; return answer; };
    const QDate day(2026, 12, 6);
    // Not there yet: the desktop is not even asked.
    EXPECT_EQ(OpenRecordPath(RecordKind::Logout, s, day, open), RecordOpenResult::CannotStart);
    EXPECT_TRUE(opened.isEmpty());
    ASSERT_TRUE(dir.write(u"KR20261206.log"_qs, "x"));
    EXPECT_EQ(OpenRecordPath(RecordKind::Logout, s, day, open), RecordOpenResult::Opened);
    EXPECT_EQ(opened, QStringList{dir.path(u"KR20261206.log"_qs)});
    answer = false;
    EXPECT_EQ(OpenRecordPath(RecordKind::Logout, s, day, open), RecordOpenResult::CannotStart);
    s.Logout.RecordFile = u"a|b"_qs;
    QString name;
    EXPECT_EQ(OpenRecordPath(RecordKind::Logout, s, day, open, &name), RecordOpenResult::InvalidName);
    EXPECT_EQ(name, u"a|b.log");
    EXPECT_EQ(opened.size(), 2);
}
