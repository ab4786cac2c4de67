// Watch passes end to end: the fixture network for browse lists, the real
// probe on loopback for presence, recorded event actions.

#include "support/EngineHarness.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>

#include <memory>

namespace {

class WatchPass : public EngineHarness {
protected:
    void allEvents()
    {
        auto &in = Settings.Login;
        in.ShowMsg = in.ManagerReport = in.DoRecord = in.DoAction = true;
        in.ShowMsgTime = 5;
        auto &out = Settings.Logout;
        out.ShowMsg = out.ManagerReport = out.DoRecord = out.DoAction = true;
        out.ShowMsgTime = 6;
        auto &all = Settings.AllLogin;
        all.ShowMsg = all.PlayWave = all.ManagerReport = true;
        all.WaveFile = u"in.wav"_s;
        all.ShowMsgTime = 8;
        auto &none = Settings.AllLogout;
        none.ShowMsg = none.PlayWave = none.ManagerReport = true;
        none.WaveFile = u"out.wav"_s;
        none.ShowMsgTime = 9;
    }
};

} // namespace

TEST_F(WatchPass, FirstPassLogsEveryCheckedEntryInAndRaisesAllLoginInTheSamePass)
{
    allEvents();
    Settings.Config.WaitWave = true;
    Settings.AllLogin.ActTime = 0;
    Settings.AllLogin.Action = 3;
    Settings.AllLogin.ActFile = u"welcome --all"_s;
    network(u"Microsoft Windows Network\n  WORKGROUP\n    PC01\n    PC02\n"_s);
    add(u"user1"_s, u"PC01"_s);
    add(u"-"_s, SeparatorText);
    add(u"user2"_s, u"PC02"_s);
    add(u"user3"_s, u"LOOP"_s, KindStandard, true, u"127.0.0.1"_s);

    bool locked = false, unlocked = false;
    QObject::connect(&engine, &WatchEngine::LockConsole, [&] { locked = true; });
    QObject::connect(&engine, &WatchEngine::UnlockConsole, [&] { unlocked = true; });
    engine.StartPass(-1);
    EXPECT_TRUE(WatchBusy);
    EXPECT_TRUE(locked);
    EXPECT_EQ(probe.TimeOut, 500);
    EXPECT_EQ(probe.TTL, 64);
    ASSERT_TRUE(waitApplied());

    const QString lines = u"[user1\tPC01|user2\tPC02|user3\tLOOP]"_s;
    EXPECT_EQ(events.takeCalls(), QStringList({
                                      u"report 1 "_s + lines,
                                      u"create 0 ログインしました。 "_s + lines + u" 5"_s,
                                      u"show 0"_s,
                                      u"item 0"_s,
                                      u"record 0 "_s + lines,
                                      u"sound in.wav wait"_s,
                                      u"report 3 []"_s,
                                      u"create 4 ログイン [] 8"_s,
                                      u"show 4"_s,
                                      u"program welcome --all"_s,
                                  }));
    // Each entry's own action, with the state it had before the change.
    EXPECT_EQ(events.takeActions(), QStringList({u"in user1 PC01 未確認 |wait"_s, u"in user2 PC02 未確認 |wait"_s,
                                                 u"in user3 LOOP 未確認 127.0.0.1|wait"_s}));

    for (int row : {0, 2, 3}) {
        EXPECT_EQ(status(row), StatusLoggedIn);
        EXPECT_EQ(state(row), StateLoggedIn);
        EXPECT_EQ(model.imageIndex(row), 0);
    }
    EXPECT_EQ(status(1), SeparatorText);
    EXPECT_EQ(model.imageIndex(1), ImageSeparator);
    EXPECT_TRUE(text(3, WatchListModel::ColResult).contains(QRegularExpression(u"^\\d+ms / TTL:\\d+ / 0 Bytes$"_s)))
        << text(3, WatchListModel::ColResult).toStdString();
    EXPECT_EQ(text(0, WatchListModel::ColResult), QString()) << "no probe for a browse-list entry";

    EXPECT_EQ(engine.LoginNames, u"PC01\tPC02\tLOOP\t"_s);
    EXPECT_EQ(engine.LogoutNames, QString());
    EXPECT_TRUE(engine.AllLoginRaised);
    EXPECT_FALSE(engine.AllLoginArmed) << "a delay of 0 runs the action at once";
    EXPECT_TRUE(unlocked);
    EXPECT_FALSE(WatchBusy);
    EXPECT_TRUE(engine.tmWatch->isActive());
    EXPECT_EQ(engine.tmWatch->interval(), 60000);
}

TEST_F(WatchPass, ALogoutClearsAllLoginSoItIsRaisedAgainAndQuietPassesRaiseNothing)
{
    allEvents();
    network(u"Microsoft Windows Network\n  WORKGROUP\n    PC01\n    PC02\n"_s);
    add(u"user1"_s, u"PC01"_s);
    add(u"user2"_s, u"PC02"_s);
    ASSERT_TRUE(pass());
    EXPECT_TRUE(engine.AllLoginRaised);
    EXPECT_TRUE(engine.AllLoginArmed);
    events.takeCalls();
    events.takeActions();

    network(u"Microsoft Windows Network\n  WORKGROUP\n    PC01\n"_s);
    ASSERT_TRUE(pass());
    EXPECT_EQ(events.takeCalls(), QStringList({
                                      u"report 2 [user2\tPC02]"_s,
                                      u"create 1 ログアウトしました。 [user2\tPC02] 6"_s,
                                      u"show 1"_s,
                                      u"item 1"_s,
                                      u"record 1 [user2\tPC02]"_s,
                                  }));
    EXPECT_EQ(events.takeActions(), QStringList({u"out user2 PC02 ﾛｸﾞｲﾝ |nowait"_s}));
    EXPECT_FALSE(engine.AllLoginRaised);
    EXPECT_FALSE(engine.AllLoginArmed);
    EXPECT_EQ(status(1), StatusLoggedOut);
    EXPECT_EQ(model.imageIndex(1), 1);
    EXPECT_EQ(engine.LogoutNames, u"PC02\t"_s);
    EXPECT_EQ(engine.LoginNames, QString());

    // Nothing changes: no lines, no events, no actions.
    ASSERT_TRUE(pass());
    EXPECT_EQ(events.takeCalls(), QStringList());
    EXPECT_EQ(events.takeActions(), QStringList());
    EXPECT_TRUE(engine.LoginList.isEmpty() && engine.LogoutList.isEmpty() && engine.ErrorList.isEmpty());

    network(u"Microsoft Windows Network\n  WORKGROUP\n    PC01\n    PC02\n"_s);
    ASSERT_TRUE(pass());
    // The login notice is still open: the new lines are added to it.
    EXPECT_EQ(events.takeCalls(), QStringList({
                                      u"report 1 [user2\tPC02]"_s,
                                      u"add 0 [user2\tPC02] 5"_s,
                                      u"show 0"_s,
                                      u"item 0"_s,
                                      u"record 0 [user2\tPC02]"_s,
                                      u"sound in.wav nowait"_s,
                                      u"report 3 []"_s,
                                      u"show 4"_s,
                                  }));
    EXPECT_TRUE(engine.AllLoginRaised);
}

TEST_F(WatchPass, RestingEntriesAndOtherIconKindsAreNotCounted)
{
    Settings.AllLogin.ManagerReport = true;
    Settings.AllLogout.ManagerReport = true;
    network(u"Microsoft Windows Network\n  WORKGROUP\n    PC01\n"_s);
    add(u"user1"_s, u"PC01"_s);
    add(u"user2"_s, u"PC02"_s, KindSecond);      // not listed: logs out
    const int resting = add(u"user3"_s, u"PC03"_s);
    add(u"-"_s, SeparatorText);
    rest(resting);
    ASSERT_TRUE(pass());
    EXPECT_EQ(status(1), StatusLoggedOut);
    EXPECT_EQ(model.imageIndex(1), KindSecond + 1);
    EXPECT_EQ(status(resting), StatusResting) << "a resting entry is never checked";
    EXPECT_EQ(events.takeCalls(), QStringList({u"report 3 []"_s}));
    EXPECT_TRUE(engine.AllLoginRaised);

    // Everyone of the standard kind resting: nothing to decide.
    rest(0);
    engine.AllLoginRaised = false;
    ASSERT_TRUE(pass());
    EXPECT_EQ(events.takeCalls(), QStringList());
    EXPECT_FALSE(engine.AllLoginRaised);
    EXPECT_FALSE(engine.AllLogoutRaised);
}

TEST_F(WatchPass, ANewWatchErrorIsRaisedOnceAndHoldsBackTheAllEventsOfThatPass)
{
    Settings.AllLogin.ManagerReport = true;
    Settings.Config.MessageLevel = 2;  // alerts by the icon instead of showing
    network(u"Microsoft Windows Network\n  WORKGROUP\n    PC01\n  BROKEN;open=1222\n    PC09\n"_s);
    add(u"user1"_s, u"PC01"_s);
    const int broken = add(u"user9"_s, u"PC09"_s);
    model.setText(broken, WatchListModel::ColDomain, u"BROKEN"_s);
    const int unlisted = add(u"user7"_s, u"PC07"_s);
    model.setText(unlisted, WatchListModel::ColDomain, u"NOWHERE"_s);
    ASSERT_TRUE(pass());
    EXPECT_EQ(status(unlisted), StatusLoggedOut) << "a domain its provider does not list is no error";
    EXPECT_EQ(status(broken), StatusWatchError);
    EXPECT_EQ(model.imageIndex(broken), ImageWatchError);
    EXPECT_EQ(state(broken), StateWatchError);
    EXPECT_EQ(events.takeCalls(), QStringList({u"create 2 ネットワーク監視エラーです。 [user9\tPC09] 7"_s, u"item 2"_s}));
    EXPECT_EQ(engine.IconAlertTicks, 14);
    EXPECT_TRUE(engine.ErrorNoticeShown);
    EXPECT_FALSE(engine.AllLoginRaised);

    // The entry in error is not checked again, raises nothing new, and still
    // keeps everyone from being "all in".
    network(u"Microsoft Windows Network\n  WORKGROUP\n    PC01\n  BROKEN\n    PC09\n"_s);
    ASSERT_TRUE(pass());
    EXPECT_EQ(status(broken), StatusWatchError);
    EXPECT_EQ(events.takeCalls(), QStringList());
    EXPECT_FALSE(engine.AllLoginRaised);

    // A watch error of a later pass raises no second notice.
    const int other = add(u"user8"_s, u"PC08"_s);
    model.setText(other, WatchListModel::ColDomain, u"BROKEN"_s);
    network(u"Microsoft Windows Network\n  WORKGROUP\n    PC01\n  BROKEN;open=59\n"_s);
    ASSERT_TRUE(pass());
    EXPECT_EQ(status(other), StatusWatchError);
    EXPECT_EQ(engine.ErrorList, QStringList({u"user8\tPC08"_s}));
    EXPECT_EQ(events.takeCalls(), QStringList());
}

TEST_F(WatchPass, AllLogoutWithNoDelayRequestsTheShutdownAfterItsNotice)
{
    Settings.AllLogout.ShowMsg = true;
    Settings.AllLogout.ShowMsgTime = 3;
    Settings.AllLogout.ActTime = 0;
    Settings.AllLogout.Action = 2;
    add(u"user1"_s, u"PC01"_s);
    add(u"user2"_s, u"PC02"_s);
    ASSERT_TRUE(pass());
    EXPECT_EQ(events.takeCalls(), QStringList({u"create 5 ログアウト [] 3"_s, u"show 5"_s, u"shutdown"_s}));
    EXPECT_TRUE(engine.AllLogoutRaised);
    EXPECT_EQ(engine.LogoutList.size(), 2);
}

TEST_F(WatchPass, DelayedAllActionsRunOnTheWatchTickAndGiveBackTheBusyMark)
{
    Settings.Config.CheckInterval = 100;
    Settings.AllLogin.ActTime = 2;
    Settings.AllLogin.Action = 3;
    Settings.AllLogin.ActFile = u"lights-on"_s;
    network(u"Microsoft Windows Network\n  WORKGROUP\n    PC01\n"_s);
    add(u"user1"_s, u"PC01"_s);
    ASSERT_TRUE(pass());
    EXPECT_TRUE(engine.AllLoginArmed);
    events.takeCalls();

    engine.WatchTick();
    EXPECT_EQ(events.takeCalls(), QStringList());
    EXPECT_EQ(engine.AllLoginMinutes, 1);
    engine.WatchTick();
    EXPECT_EQ(events.takeCalls(), QStringList({u"program lights-on"_s}));
    EXPECT_FALSE(engine.AllLoginArmed);
    EXPECT_EQ(engine.AllLoginMinutes, 0);
    EXPECT_FALSE(WatchBusy);

    // A shutdown keeps the engine marked busy.
    Settings.AllLogout.Action = 2;
    engine.AllLogoutAction();
    EXPECT_TRUE(WatchBusy);
    EXPECT_EQ(events.takeCalls(), QStringList({u"shutdown"_s}));
}

TEST_F(WatchPass, ARefusedShutdownKeepsWatching)
{
    Settings.Config.CheckInterval = 100;
    Settings.AllLogout.ActTime = 1;
    Settings.AllLogout.Action = 2;
    events.refuseShutdown = true;
    add(u"user1"_s, u"PC01"_s);
    ASSERT_TRUE(pass());
    ASSERT_TRUE(engine.AllLogoutArmed);
    events.takeCalls();

    engine.WatchTick();
    EXPECT_EQ(events.takeCalls(), QStringList({u"shutdown"_s}));
    EXPECT_FALSE(WatchBusy);
    EXPECT_FALSE(engine.AllLogoutArmed);  // asked once, not at every tick
    engine.WatchTick();
    EXPECT_EQ(events.takeCalls(), QStringList());
    EXPECT_EQ(engine.WatchMinutes, 2);
}

TEST_F(WatchPass, APinpointPassChecksOneRowAndStillRunsTheWholeEnd)
{
    Settings.Login.ManagerReport = true;
    network(u"Microsoft Windows Network\n  WORKGROUP\n    PC01\n    PC02\n    PC03\n"_s);
    add(u"user1"_s, u"PC01"_s);
    add(u"user2"_s, u"PC02"_s);
    const int resting = add(u"user3"_s, u"PC03"_s);
    rest(resting);

    engine.PinpointCommand(1);
    EXPECT_TRUE(engine.PassRunning());
    engine.PinpointCommand(0);  // locked out while the pass runs
    engine.StartPass(-1);        // and never a second pass beside it
    ASSERT_TRUE(waitApplied());
    EXPECT_EQ(status(0), StatusUnconfirmed);
    EXPECT_EQ(status(1), StatusLoggedIn);
    EXPECT_EQ(events.takeCalls(), QStringList({u"report 1 [user2\tPC02]"_s}));
    EXPECT_FALSE(engine.AllLoginRaised) << "the unconfirmed entry still counts";

    engine.PinpointCommand(resting);
    ASSERT_TRUE(waitApplied());
    EXPECT_EQ(status(resting), StatusResting);
    EXPECT_EQ(events.takeCalls(), QStringList());

    engine.PinpointCommand(-1);
    EXPECT_FALSE(engine.PassRunning());
}

TEST_F(WatchPass, TheCheckButtonStopsAPassAndWhatWasFoundIsApplied)
{
    Settings.Login.ManagerReport = true;
    Settings.Login.DoAction = true;
    network(u"Microsoft Windows Network\n  WORKGROUP\n    PC01\n    PC02\n    PC03\n"_s);
    add(u"user1"_s, u"PC01"_s);
    add(u"user2"_s, u"PC02"_s);
    add(u"user3"_s, u"PC03"_s);
    QStringList texts;
    QObject::connect(&engine, &WatchEngine::StatusBarText, [&](const QString &t) { texts << t; });
    // The button is pressed while user2's login action runs.
    events.onAction = [&](const QString &text) {
        if (text.startsWith(u"in user2"_s))
            QMetaObject::invokeMethod(&engine, [&] { engine.CheckCommand(); }, Qt::BlockingQueuedConnection);
    };
    int accessChecks = 0;
    QObject::connect(&engine, &WatchEngine::AccessCheckNow, [&] { ++accessChecks; });
    engine.CheckCommand();
    EXPECT_EQ(accessChecks, 1);
    ASSERT_TRUE(waitApplied());
    EXPECT_EQ(accessChecks, 1) << "the stop request does nothing else";
    EXPECT_EQ(status(0), StatusLoggedIn);
    EXPECT_EQ(status(1), StatusLoggedIn) << "its check was done: it is published, then the loop stops";
    EXPECT_EQ(status(2), StatusUnconfirmed);
    EXPECT_EQ(events.takeCalls(), QStringList({u"report 1 [user1\tPC01|user2\tPC02]"_s}));
    EXPECT_EQ(texts, QStringList({u"user1 調査中..."_s, QString(), u"user2 調査中..."_s, QString(), QString()}));
    EXPECT_FALSE(WatchBusy);
    EXPECT_FALSE(WorkerRunning);
}

TEST_F(WatchPass, AnEntryStoppedBeforeItIsPublishedKeepsItsStateAndRaisesNothing)
{
    Settings.Login.ManagerReport = true;
    Settings.Login.DoAction = true;
    network(u"Microsoft Windows Network\n  WORKGROUP\n    PC02\n"_s);
    add(u"user1"_s, u"LOOP"_s, KindStandard, true, u"127.0.0.1"_s);
    add(u"user2"_s, u"PC02"_s);
    events.onAction = [&](const QString &text) {
        if (text.startsWith(u"in user1"_s))
            QMetaObject::invokeMethod(&engine, [&] { engine.CheckCommand(); }, Qt::BlockingQueuedConnection);
    };
    engine.CheckCommand();
    ASSERT_TRUE(waitApplied());
    EXPECT_EQ(status(0), StatusUnconfirmed);
    EXPECT_EQ(state(0), StateUnconfirmed);
    EXPECT_TRUE(text(0, WatchListModel::ColResult).contains(QRegularExpression(u"^\\d+ms / TTL:"_s)))
        << "the columns of its address check stay: " << text(0, WatchListModel::ColResult).toStdString();
    EXPECT_EQ(status(1), StatusUnconfirmed);
    EXPECT_EQ(events.takeCalls(), QStringList()) << "its login line was never published";
    EXPECT_EQ(engine.LoginNames, QString());

    // The next pass finds it again as a change.
    events.onAction = nullptr;
    events.takeActions();
    ASSERT_TRUE(pass());
    EXPECT_EQ(events.takeCalls(), QStringList({u"report 1 [user1\tLOOP|user2\tPC02]"_s}));
}

TEST_F(WatchPass, TheWatchTickCountsMinutesAndStartsPassesAtTheInterval)
{
    Settings.Config.CheckInterval = 3;
    network(u"Microsoft Windows Network\n  WORKGROUP\n    PC01\n"_s);
    add(u"user1"_s, u"PC01"_s);
    QStringList texts;
    QObject::connect(&engine, &WatchEngine::StatusBarText, [&](const QString &t) {
        if (t.contains(u"分前"_s))
            texts << t;
    });

    ServiceRunning = false;
    engine.WatchTick();
    EXPECT_EQ(engine.WatchMinutes, 0) << "the service is stopped";
    ServiceRunning = true;

    engine.WatchTick();
    EXPECT_EQ(engine.WatchMinutes, 1);
    EXPECT_FALSE(engine.PassRunning());
    EXPECT_TRUE(texts.isEmpty()) << "no text before the first timed pass";

    engine.StartCheck();
    EXPECT_TRUE(engine.PassRunning());
    EXPECT_TRUE(engine.CheckedOnce);
    EXPECT_EQ(engine.WatchMinutes, 0);
    engine.WatchTick();  // busy: nothing
    ASSERT_TRUE(waitApplied());
    EXPECT_EQ(status(0), StatusLoggedIn);

    engine.WatchTick();
    engine.WatchTick();
    EXPECT_EQ(texts, QStringList({u"1 分前に調査しました。"_s, u"2 分前に調査しました。"_s}));
    engine.WatchTick();
    EXPECT_TRUE(engine.PassRunning());
    ASSERT_TRUE(waitApplied());

    // With the service stopped the ticks do nothing, but the button works.
    ServiceRunning = false;
    engine.WatchTick();
    EXPECT_EQ(texts.size(), 2);
    engine.CheckCommand();
    EXPECT_TRUE(engine.PassRunning());
    ASSERT_TRUE(waitApplied());
}

TEST_F(WatchPass, WhenTheProgramIsEndingAStoppedPassRaisesNothingAndFreesTheEngine)
{
    Settings.Login.ManagerReport = true;
    Settings.Login.ShowMsg = true;
    Settings.Config.MessageLevel = 2;
    network(u"Microsoft Windows Network\n  WORKGROUP\n    PC01\n    PC02\n"_s);
    add(u"user1"_s, u"PC01"_s);
    add(u"user2"_s, u"PC02"_s);
    Settings.Login.DoAction = true;
    events.onAction = [&](const QString &text) {
        if (!text.startsWith(u"in user2"_s))
            return;
        // The close of the main window, arriving as a queued call while
        // user2's action runs: it stops the pass and waits for the end
        // handler, which is itself a queued call.
        QMetaObject::invokeMethod(
            &engine,
            [&] {
                engine.Ending = true;
                engine.Worker->Terminate();
                QTimer::singleShot(0, &engine, [&] { engine.StopPass(); });
            },
            Qt::BlockingQueuedConnection);
    };
    QElapsedTimer clock;
    clock.start();
    engine.StartPass(-1);
    ASSERT_TRUE(waitApplied());
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(status(0), StatusLoggedIn);
    EXPECT_EQ(events.takeCalls(), QStringList());
    EXPECT_FALSE(WatchBusy);
    EXPECT_FALSE(engine.tmWatch->isActive()) << "no more timed passes once ending";
    EXPECT_EQ(engine.IconAlertTicks, -2);

    // Alerts by the icon: a display time of 0 keeps it on until acknowledged.
    engine.Ending = false;
    events.onAction = nullptr;
    Settings.Login.DoAction = false;
    Settings.Login.ShowMsgTime = 0;
    network(u"Microsoft Windows Network\n  WORKGROUP\n    PC01\n    PC02\n    PC03\n"_s);
    add(u"user3"_s, u"PC03"_s);
    ASSERT_TRUE(pass());
    EXPECT_EQ(events.takeCalls(), QStringList({u"report 1 [user3\tPC03]"_s,
                                               u"create 0 ログインしました。 [user3\tPC03] 0"_s, u"item 0"_s}));
    EXPECT_EQ(engine.IconAlertTicks, -1);
}

TEST_F(WatchPass, DestroyingTheEngineStopsItsPass)
{
    network(u"Microsoft Windows Network\n  WORKGROUP\n    PC01\n"_s);
    add(u"user1"_s, u"PC01"_s);
    {
        WatchEngine doomed(&model, &probe, &net, &events);
        doomed.StartPass(-1);
        EXPECT_TRUE(WatchBusy);
    }
    EXPECT_FALSE(WatchBusy);
    EXPECT_FALSE(WorkerRunning);
    EXPECT_EQ(events.takeCalls(), QStringList());
}

TEST_F(WatchPass, TheProbeTakesTheEchoSettingsAtEveryPass)
{
    Settings.TCPIP.TimeOut = 1234;
    Settings.TCPIP.TTL = 44;
    Settings.TCPIP.SendBytes = 70000;  // more than the probe's 16 bits hold
    ASSERT_TRUE(pass());
    EXPECT_EQ(probe.TimeOut, 1234);
    EXPECT_EQ(probe.TTL, 44);
    EXPECT_EQ(probe.SendBytes(), 10240);
    Settings.TCPIP.SendBytes = -100000;
    ASSERT_TRUE(pass());
    EXPECT_LT(probe.SendBytes(), 1) << "still no data, not a wrapped-round size";
}

TEST(IconAlert, NeverShortensARunningAlertAndZeroMeansSteady)
{
    WatchListModel model;
    Probe probe;
    FixtureNetBrowser net{QString()};
    RecordingEvents events;
    WatchEngine engine(&model, &probe, &net, &events);
    engine.IconAlert(5);
    EXPECT_EQ(engine.IconAlertTicks, 10);
    engine.IconAlert(3);
    EXPECT_EQ(engine.IconAlertTicks, 10);
    engine.IconAlert(7);
    EXPECT_EQ(engine.IconAlertTicks, 14);
    engine.IconAlert(0);
    EXPECT_EQ(engine.IconAlertTicks, -1);
    engine.IconAlert(9);
    EXPECT_EQ(engine.IconAlertTicks, -1) << "a steady alert stays steady";
}

// The engine goes with its window, whatever its worker is doing: waiting for
// a hand-off, just finished with its deletion queued, or already gone.
TEST_F(WatchPass, DestroyingTheEngineMidPassWaitsForItsWorker)
{
    QString tree = u"Microsoft Windows Network\n  WORKGROUP\n"_s;
    for (int i = 0; i < 20; ++i) {
        const QString name = u"PC%1"_s.arg(i, 2, 10, QLatin1Char('0'));
        tree += u"    "_s + name + u'\n';
        add(u"user%1"_s.arg(i), name);
    }
    network(tree);
    for (int round = 0; round < 40; ++round) {
        auto other = std::make_unique<WatchEngine>(&model, &probe, &net, &events);
        other->StartPass(-1);
        QElapsedTimer served;
        served.start();
        while (served.nsecsElapsed() < qint64(round) * 100000)
            QCoreApplication::processEvents();
        other.reset();
        EXPECT_FALSE(WatchBusy) << "round " << round;
        EXPECT_FALSE(WorkerRunning) << "round " << round;
    }
}

// The close arrives while an entry's action runs. Stopping waits for the
// worker alone: nothing else queued for the console runs in the meantime.
class StopDuringAction : public WatchPass {
protected:
    StopDuringAction()
    {
        Settings.Login.DoAction = true;
        network(u"Microsoft Windows Network\n  WORKGROUP\n    PC01\n    PC02\n"_s);
        add(u"user1"_s, u"PC01"_s);
        add(u"user2"_s, u"PC02"_s);
    }

    // Runs stop on the console while user1's action waits for it; true
    // when a call queued just before it ran before stop returned.
    bool stopDuringAction(WatchEngine &target, const std::function<void()> &stop)
    {
        bool queuedRan = false, ranDuringStop = true, stopped = false;
        events.onAction = [&](const QString &text) {
            if (!text.startsWith(u"in user1"_s))
                return;
            QMetaObject::invokeMethod(&model, [&] {
                QMetaObject::invokeMethod(&model, [&] { queuedRan = true; }, Qt::QueuedConnection);
                stop();
                ranDuringStop = queuedRan;
                stopped = true;
            }, Qt::QueuedConnection);
            QElapsedTimer waited;
            waited.start();
            while (!QThread::currentThread()->isInterruptionRequested() && waited.elapsed() < 10000)
                QThread::msleep(1);
        };
        target.StartPass(-1);
        QElapsedTimer clock;
        clock.start();
        while (!stopped && clock.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::processEvents();
        return ranDuringStop;
    }
};

TEST_F(StopDuringAction, StoppingThePassRunsNothingElseMeanwhile)
{
    EXPECT_FALSE(stopDuringAction(engine, [&] { engine.StopPass(); }));
    EXPECT_FALSE(engine.PassRunning());
    EXPECT_FALSE(WatchBusy);
    EXPECT_EQ(status(0), StatusLoggedIn);
    EXPECT_EQ(status(1), StatusUnconfirmed) << "the pass ended at user1";
    EXPECT_EQ(events.takeActions(), QStringList({u"in user1 PC01 未確認 |nowait"_s}));
}

TEST_F(StopDuringAction, DestroyingTheEngineRunsNothingElseMeanwhile)
{
    auto doomed = std::make_unique<WatchEngine>(&model, &probe, &net, &events);
    EXPECT_FALSE(stopDuringAction(*doomed, [&] { doomed.reset(); }));
    EXPECT_FALSE(WatchBusy);
    EXPECT_FALSE(WorkerRunning);
    EXPECT_EQ(events.takeCalls(), QStringList()) << "a destroyed engine raises nothing";
}

TEST_F(WatchPass, RowsSortedDuringAPassEachKeepTheirOwnTerminalsResult)
{
    Settings.Login.DoAction = true;
    Settings.Login.ManagerReport = true;
    Settings.Logout.ManagerReport = true;
    network(u"Microsoft Windows Network\n  WORKGROUP\n    PC01\n"_s);
    add(u"zed"_s, u"PC01"_s);
    add(u"amy"_s, u"PC02"_s);
    add(u"bob"_s, u"LOOP"_s, KindStandard, true, u"127.0.0.1"_s);
    // The operator sorts by user name while zed's login action runs: zed's
    // row moves from the top to the bottom.
    events.onAction = [&](const QString &text) {
        if (text.startsWith(u"in zed"_s))
            QMetaObject::invokeMethod(&engine, [&] {
                model.sortRows([](const WatchListModel::Row &a, const WatchListModel::Row &b) {
                    return a.texts[WatchListModel::ColUserName] < b.texts[WatchListModel::ColUserName];
                });
            }, Qt::BlockingQueuedConnection);
    };
    ASSERT_TRUE(pass());
    ASSERT_EQ(text(0, WatchListModel::ColUserName), u"amy"_s);
    ASSERT_EQ(text(1, WatchListModel::ColUserName), u"bob"_s);
    ASSERT_EQ(text(2, WatchListModel::ColUserName), u"zed"_s);
    EXPECT_EQ(status(0), StatusLoggedOut);
    EXPECT_EQ(state(0), StateLoggedOut);
    EXPECT_EQ(status(1), StatusLoggedIn);
    EXPECT_FALSE(text(1, WatchListModel::ColResult).isEmpty());
    EXPECT_EQ(status(2), StatusLoggedIn);
    EXPECT_EQ(text(2, WatchListModel::ColResult), QString());
    events.takeCalls();

    events.onAction = nullptr;
    ASSERT_TRUE(pass());
    EXPECT_EQ(events.takeCalls(), QStringList()) << "nothing changed since the last pass";
}

TEST_F(WatchPass, EachEventOfAPassIsOneJournalLineWithItsNames)
{
    network(u"Microsoft Windows Network\n  WORKGROUP\n    PC01\n    PC02\n"_s);
    add(u"tanaka"_s, u"PC01"_s);
    add(u"suzuki"_s, u"PC02"_s);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(pass());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "corvane: login: tanaka (PC01)\ncorvane: login: suzuki (PC02)\ncorvane: all-login\n");

    network(u"Microsoft Windows Network\n  WORKGROUP\n"_s);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(pass());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "corvane: logout: tanaka (PC01)\ncorvane: logout: suzuki (PC02)\ncorvane: all-logout\n");

    const int broken = add(u"sato"_s, u"PC09"_s);
    model.setText(broken, WatchListModel::ColDomain, u"BROKEN"_s);
    network(u"Microsoft Windows Network\n  WORKGROUP\n  BROKEN;open=1222\n"_s);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(pass());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "corvane: watch error: sato (PC09)\n");
}
