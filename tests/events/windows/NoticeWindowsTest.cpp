#include "events/windows/MessageBar.h"
#include "events/windows/NoticeTable.h"
#include "events/windows/NoticeWindow.h"
#include "events/windows/RecordCommands.h"

#include "console/Language.h"
#include "events/RecordFile.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

const QString LoginText = QStringLiteral("ログインしました。");
const QString LogoutText = QStringLiteral("ログアウトしました。");

void flush()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Serves events until the condition holds or ten seconds have passed.
template <typename F> bool waitFor(F condition)
{
    QDeadlineTimer deadline(10000);
    while (!condition() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        flush();
    }
    return condition();
}

struct Notices : ::testing::Test {
    void TearDown() override
    {
        NoticeWindows.CloseAll();
        flush();
        for (NoticeKind k : NoticeKinds)
            EXPECT_FALSE(NoticeWindows.IsOpen(k)) << Index(k);
        EXPECT_EQ(MessageBar::Running(), nullptr);
    }
    NoticeWindow *raise(NoticeKind kind, int level, int seconds, const QStringList &list, const QString &text = LoginText)
    {
        return NoticeWindows.Raise(nullptr, kind, level, seconds, text, &list, 1, nullptr);
    }
};

} // namespace

TEST_F(Notices, CountdownClosesAtZero)
{
    QList<QPair<int, bool>> changes;
    QObject context;
    QObject::connect(&NoticeWindows, &NoticeTable::OpenChanged, &context,
                     [&](NoticeKind kind, bool open) { changes.append({Index(kind), open}); });
    QPointer<NoticeWindow> n = raise(NoticeKind::Login, 0, 7, {u"tanaka\tPC1"_qs, u"suzuki\t*PC2"_qs});
    NoticeWindows.Show(NoticeKind::Login);
    EXPECT_TRUE(n->isVisible());
    EXPECT_EQ(n->windowTitle(), u"Watch Report");
    EXPECT_EQ(n->Members(), (QStringList{u"tanaka"_qs, u"suzuki"_qs}));
    EXPECT_EQ(n->lblRem->text(), u"後7秒");
    EXPECT_EQ(n->lblMsg->text(), LoginText);
    EXPECT_EQ(n->height(), 274);
    EXPECT_TRUE(n->tmReport->isActive());
    EXPECT_FALSE(n->lblCaption2->isVisibleTo(n));
    EXPECT_FALSE(n->pbOpenSess->isVisibleTo(n));
    for (int i = 0; i < 6; ++i)
        n->tmReportTimer();
    EXPECT_EQ(n->lblRem->text(), u"後1秒");
    flush();
    ASSERT_TRUE(n);
    n->tmReportTimer();
    flush();
    EXPECT_FALSE(n);
    EXPECT_FALSE(NoticeWindows.IsOpen(NoticeKind::Login));
    ASSERT_EQ(changes.size(), 2);
    EXPECT_EQ(changes[0], qMakePair(0, true));
    EXPECT_EQ(changes[1], qMakePair(0, false));
}

TEST_F(Notices, RealTimerAndHiddenLevelTwo)
{
    // Level 2: never shown, yet its seconds run out all the same.
    QPointer<NoticeWindow> n = raise(NoticeKind::Error, 2, 1, {u"x\tPC"_qs}, u"ネットワーク監視エラーです。"_qs);
    EXPECT_FALSE(n->isVisible());
    EXPECT_TRUE(waitFor([&] { return !n; }));
}

TEST_F(Notices, ZeroSecondsStaysUntilOk)
{
    QPointer<NoticeWindow> n = raise(NoticeKind::Logout, 0, 0, {u"a\tPC"_qs}, LogoutText);
    EXPECT_TRUE(n->lblRem->text().isEmpty());
    EXPECT_FALSE(n->tmReport->isActive());
    n->pbOk->click();
    flush();
    EXPECT_FALSE(n);
}

TEST_F(Notices, SecondPassExtendsWithoutRestarting)
{
    NoticeWindow *n = raise(NoticeKind::Login, 0, 7, {u"a\tPC1"_qs});
    n->tmReportTimer();
    n->tmReportTimer();
    EXPECT_EQ(raise(NoticeKind::Login, 0, 7, {u"b\tPC2"_qs, u"a\tPC1"_qs}), n);
    EXPECT_EQ(n->Members(), (QStringList{u"a"_qs, u"b"_qs, u"a"_qs}));
    EXPECT_EQ(n->SecondsLeft(), 5);
    EXPECT_EQ(n->lblRem->text(), u"後5秒");
    // An open access or all-event notice keeps what it shows.
    NoticeWindow *access = raise(NoticeKind::Access, 0, 5, {u"guest\tPC"_qs}, u"アクセスしています。"_qs);
    EXPECT_EQ(raise(NoticeKind::Access, 0, 5, {u"other\tPC"_qs}, u"アクセスしています。"_qs), access);
    EXPECT_EQ(access->Members(), QStringList{u"guest"_qs});
}

TEST_F(Notices, OppositeStatesLoseTheNames)
{
    QPointer<NoticeWindow> login = raise(NoticeKind::Login, 0, 7, {u"a\tPC1"_qs, u"b\tPC2"_qs});
    QPointer<NoticeWindow> error = raise(NoticeKind::Error, 0, 7, {u"c\tPC3"_qs}, u"ネットワーク監視エラーです。"_qs);
    QPointer<NoticeWindow> logout = raise(NoticeKind::Logout, 0, 7, {u"a\tPC1"_qs}, LogoutText);
    flush();
    ASSERT_TRUE(login);
    EXPECT_EQ(login->Members(), QStringList{u"b"_qs});
    // b logs out too (added to the open logout notice): the login notice is
    // empty and closes.
    raise(NoticeKind::Logout, 0, 7, {u"b\tPC2"_qs}, LogoutText);
    flush();
    EXPECT_FALSE(login);
    EXPECT_EQ(logout->Members(), (QStringList{u"a"_qs, u"b"_qs}));
    // c logs in: it leaves the error notice, which closes.
    raise(NoticeKind::Login, 0, 7, {u"c\tPC3"_qs, u"a\tPC1"_qs});
    flush();
    EXPECT_FALSE(error);
    EXPECT_EQ(logout->Members(), QStringList{u"b"_qs});
}

TEST_F(Notices, EmptiedAndRefilledInOnePassStays)
{
    // Logout notice without a countdown; a login in the same pass empties it
    // and a later logout of the pass goes into it before events are served.
    QPointer<NoticeWindow> logout = raise(NoticeKind::Logout, 0, 0, {u"a\tPC1"_qs}, LogoutText);
    NoticeWindows.Show(NoticeKind::Logout);
    raise(NoticeKind::Login, 0, 0, {u"a\tPC1"_qs});
    EXPECT_TRUE(logout->Members().isEmpty());
    raise(NoticeKind::Logout, 0, 0, {u"b\tPC2"_qs}, LogoutText);
    flush();
    ASSERT_TRUE(logout);
    EXPECT_TRUE(logout->isVisible());
    EXPECT_EQ(logout->Members(), QStringList{u"b"_qs});
}

TEST_F(Notices, TopLevelBesideAMinimisedMainWindow)
{
    // Window managers hide the windows that belong to a minimised window:
    // notices and the bar stand on the desktop by themselves.
    QWidget main;
    main.showMinimized();
    QStringList list{u"a\tPC"_qs};
    for (int level : {0, 1}) {
        QPointer<NoticeWindow> n = NoticeWindows.Raise(&main, NoticeKinds[level], level, 0, LoginText, &list, 1);
        NoticeWindows.Show(NoticeKinds[level]);
        ASSERT_TRUE(n->windowHandle());
        EXPECT_EQ(n->parentWidget(), nullptr) << level;
        EXPECT_EQ(n->windowHandle()->transientParent(), nullptr) << level;
        EXPECT_TRUE(n->windowFlags().testFlags(Qt::Tool | Qt::WindowStaysOnTopHint)) << level;
    }
}

TEST_F(Notices, PlacementSideBySideAndBelow)
{
    NoticeWindow *login = raise(NoticeKind::Login, 0, 7, {u"a\tPC1"_qs});
    NoticeWindows.Show(NoticeKind::Login);
    const QRect screen = login->screen()->geometry();
    EXPECT_TRUE(IsCentredOnScreen(login->x(), login->y(), login->width(), login->height(), screen.width(), screen.height()));
    const QPoint centre = login->pos();
    NoticeWindow *logout = raise(NoticeKind::Logout, 0, 7, {u"b\tPC2"_qs}, LogoutText);
    NoticeWindows.Show(NoticeKind::Logout);
    EXPECT_EQ(login->pos(), QPoint(centre.x() - login->width() / 2, centre.y()));
    EXPECT_EQ(logout->pos(), QPoint(centre.x() + logout->width() / 2, centre.y()));
    NoticeWindows.CloseAll();
    flush();

    login = raise(NoticeKind::Login, 0, 7, {u"a\tPC1"_qs});
    NoticeWindows.Show(NoticeKind::Login);
    NoticeWindow *all = NoticeWindows.Raise(nullptr, NoticeKind::AllLogin, 0, 7, u"ログイン"_qs, nullptr, 1, nullptr);
    NoticeWindows.Show(NoticeKind::AllLogin);
    EXPECT_EQ(all->height(), 162);
    EXPECT_EQ(login->y(), centre.y() - all->height() / 2);
    EXPECT_EQ(all->y(), login->y() + login->height());
    EXPECT_EQ(all->x(), screen.width() / 2 - all->width() / 2);

    // A login notice moved away from the centre stays where it is.
    NoticeWindows.Notice(NoticeKind::AllLogin)->close();
    login->move(10, 10);
    NoticeWindows.Raise(nullptr, NoticeKind::AllLogin, 0, 7, u"ログイン"_qs, nullptr, 1, nullptr);
    NoticeWindows.Show(NoticeKind::AllLogin);
    EXPECT_EQ(login->pos(), QPoint(10, 10));
    EXPECT_EQ(IsCentredOnScreen(395, 295, 11, 11, 800, 600), true);
    EXPECT_EQ(IsCentredOnScreen(394, 295, 11, 11, 800, 600), false);
}

TEST_F(Notices, AllLayoutAndAccessButton)
{
    NoticeWindow *all = NoticeWindows.Raise(nullptr, NoticeKind::AllLogout, 0, 0, u"ログアウト"_qs, nullptr, 1, nullptr);
    EXPECT_EQ(all->lblCaption2->text(), u"ログアウト");
    EXPECT_EQ(all->lblCaption1->text(), u"すべての監視端末が");
    EXPECT_EQ(all->lblCaption3->text(), u"しました。");
    EXPECT_TRUE(all->lblCaption2->isVisibleTo(all));
    EXPECT_FALSE(all->lbMember->isVisibleTo(all));
    EXPECT_FALSE(all->lblCaption->isVisibleTo(all));
    EXPECT_EQ(all->lblMsg->text(), u"すべての監視端末が");

    int opened = 0;
    NoticeWindow *access = raise(NoticeKind::Access, 0, 5, {u"guest\tPC\t1"_qs}, u"アクセスしています。"_qs);
    access->SetOpenSessionAction([&] { ++opened; });
    access->ShowOpenSessionButton();
    EXPECT_TRUE(access->pbOpenSess->isVisibleTo(access));
    EXPECT_EQ(access->pbOpenSess->text(), u"アクセスしています(&A)");
    access->pbOpenSess->click();
    EXPECT_EQ(opened, 1);
}

TEST(MsgBar, StepFromScreenWidthAndSpeed)
{
    EXPECT_EQ(MsgBarStep(1280, 1), 3);
    EXPECT_EQ(MsgBarStep(1280, 0), 2);
    EXPECT_EQ(MsgBarStep(1280, 2), 5);
    EXPECT_EQ(MsgBarStep(1024, 1), 2);
    EXPECT_EQ(MsgBarStep(1024, 0), 1);
    EXPECT_EQ(MsgBarStep(1024, 2), 4);
    EXPECT_EQ(MsgBarStep(1024, 7), 2);
    EXPECT_EQ(MsgBarStep(300, 0), 1);
}

TEST(MsgBar, ComposedTexts)
{
    EXPECT_EQ(ComposeBarText(NoticeKind::Login, u"ログインしました。"_qs, {u"tanaka"_qs, u"suzuki"_qs}),
              u"ログインしました。「tanaka、suzuki」\u3000");
    EXPECT_EQ(ComposeBarText(NoticeKind::AllLogin, u"すべての監視端末が"_qs, {u"ログイン"_qs}),
              u"すべての監視端末が「ログイン」しました。\u3000");
    EXPECT_EQ(ComposeBarText(NoticeKind::AllLogout, u"すべての監視端末が"_qs, {u"ログアウト"_qs}),
              u"すべての監視端末が「ログアウト」しました。\u3000");
}

TEST_F(Notices, BarSlotsTakeTurns)
{
    // A bar whose thread is never started: its slots and texts only.
    NoticeWindow *host = raise(NoticeKind::Error, 0, 7, {u"e\tPC"_qs}, u"ネットワーク監視エラーです。"_qs);
    MessageBar bar(host, host->Kind(), 1, {});
    EXPECT_TRUE(bar.NextText(false).isEmpty());
    bar.AddKind(NoticeKind::Logout, LogoutText, 5, {u"a"_qs});
    bar.AddKind(NoticeKind::AllLogin, u"すべての監視端末が"_qs, 5, {u"ログイン"_qs});
    EXPECT_EQ(bar.NextText(false), LogoutText + u"「a」\u3000"_qs);
    EXPECT_EQ(bar.NextText(true), u"すべての監視端末が「ログイン」しました。\u3000");
    EXPECT_EQ(bar.NextText(true), LogoutText + u"「a」\u3000"_qs);
    bar.AddKind(NoticeKind::Logout, LogoutText, 5, {u"a"_qs, u"b"_qs, u"a"_qs});
    bar.RemoveNames(NoticeKind::Logout, {u"a"_qs});
    EXPECT_EQ(bar.Names(NoticeKind::Logout), (QStringList{u"b"_qs, u"a"_qs}));
    bar.RemoveNames(NoticeKind::AllLogin, {u"unrelated"_qs});
    EXPECT_TRUE(bar.Names(NoticeKind::AllLogin).isEmpty());
}

TEST_F(Notices, BarScrollsOnceAndEnds)
{
    QPointer<NoticeWindow> host =
        NoticeWindows.Raise(nullptr, NoticeKind::AllLogin, 1, 7, u"ログイン"_qs, nullptr, 2, nullptr);
    ASSERT_TRUE(host->BarLayout());
    const QRect area = host->screen()->availableGeometry();
    EXPECT_EQ(host->geometry(), QRect(area.left(), area.bottom() + 1 - 18, area.width(), 18));
    EXPECT_TRUE(host->pnOK->isVisibleTo(host));
    EXPECT_FALSE(host->pbOk->isVisibleTo(host));
    MessageBar *bar = MessageBar::Running();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->HostKind(), NoticeKind::AllLogin);
    NoticeWindows.Show(NoticeKind::AllLogin);
    QString drawn;
    int leftmost = 1 << 20;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (host && !host->BarText().isEmpty()) {
            drawn = host->BarText();
            leftmost = std::min(leftmost, host->BarX());
        }
    });
    watch.start(1);
    bar->SetMoveInterval(1);
    // Shown once (its seconds are above 0), then nothing is left: the bar
    // ends and its host closes.
    EXPECT_TRUE(waitFor([&] { return !host; }));
    EXPECT_EQ(drawn, u"すべての監視端末が「ログイン」しました。\u3000");
    EXPECT_LT(leftmost, 0);
    EXPECT_EQ(MessageBar::Running(), nullptr);
}

TEST_F(Notices, LaterKindsJoinTheRunningBar)
{
    QPointer<NoticeWindow> host = raise(NoticeKind::Login, 1, 0, {u"a\tPC1"_qs, u"b\tPC2"_qs});
    MessageBar *bar = MessageBar::Running();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->Names(NoticeKind::Login), (QStringList{u"a"_qs, u"b"_qs}));
    QPointer<NoticeWindow> logout = raise(NoticeKind::Logout, 1, 5, {u"b\tPC2"_qs}, LogoutText);
    flush();
    // Handed over: the logout notice closed, its names scroll in the bar and
    // leave the login slot.
    EXPECT_FALSE(logout);
    EXPECT_EQ(bar->Names(NoticeKind::Logout), QStringList{u"b"_qs});
    EXPECT_EQ(bar->Names(NoticeKind::Login), QStringList{u"a"_qs});
    // Lines added to the host go to the bar whole.
    raise(NoticeKind::Login, 1, 3, {u"c\tPC3"_qs});
    EXPECT_EQ(bar->Names(NoticeKind::Login), QStringList{u"c\tPC3"_qs});
    EXPECT_EQ(host->Members(), (QStringList{u"a"_qs, u"c"_qs}));
    // OK on the bar stops it (while it may be waiting to draw) and closes.
    EXPECT_TRUE(waitFor([&] { return !host->BarText().isEmpty(); }));
    host->pbOk2->click();
    flush();
    EXPECT_FALSE(host);
    EXPECT_EQ(MessageBar::Running(), nullptr);
}

TEST_F(Notices, BarHandsTheFocusBack)
{
    QWidget main;
    main.show();
    main.activateWindow();
    QList<QString> list{u"a\tPC"_qs};
    NoticeWindow *n = NoticeWindows.Raise(nullptr, NoticeKind::Login, 1, 1, LoginText, &list, 1, &main);
    EXPECT_EQ(n->FocusWindow(), &main);
    EXPECT_TRUE(n->testAttribute(Qt::WA_ShowWithoutActivating));
    NoticeWindows.Show(NoticeKind::Login);
    QCoreApplication::processEvents();
    EXPECT_NE(QApplication::activeWindow(), n);
}

TEST(RecordCommands, NameWarningDoesNotWait)
{
    ShowRecordNameWarning(nullptr, u"KR:06.log"_qs);
    QMessageBox *box = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *b = qobject_cast<QMessageBox *>(w); b && b->isVisible())
            box = b;
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), u"ファイル名が不正です。\nKR:06.log");
    EXPECT_EQ(box->windowTitle(), u"Corvane Ver 2.10a");
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    box->close();
    flush();
}

TEST_F(Notices, FreedWithItsOwnerWhileTheBarRuns)
{
    auto *owner = new QWidget;
    QStringList list{u"a\tPC"_qs};
    NoticeWindows.Raise(owner, NoticeKind::Login, 1, 0, LoginText, &list, 2);
    ASSERT_NE(MessageBar::Running(), nullptr);
    MessageBar::Running()->SetMoveInterval(1);
    NoticeWindows.Show(NoticeKind::Login);
    EXPECT_TRUE(waitFor([&] { return !NoticeWindows.Notice(NoticeKind::Login)->BarText().isEmpty(); }));
    delete owner;
    EXPECT_EQ(MessageBar::Running(), nullptr);
    EXPECT_FALSE(NoticeWindows.IsOpen(NoticeKind::Login));
}

TEST_F(Notices, ReadInEnglishUnderItsTranslation)
{
    ASSERT_TRUE(UseConsoleLanguage(u"en"_qs));
    struct BackToJapanese {
        ~BackToJapanese() { UseConsoleLanguage(u"ja"_qs); }
    } restore;
    // The engine hands over its Japanese captions; the windows show them translated.
    NoticeWindow *login = raise(NoticeKind::Login, 0, 7, {u"tanaka\tPC1"_qs});
    NoticeWindow *all = raise(NoticeKind::AllLogout, 0, 0, {}, u"ログアウト"_qs);
    EXPECT_EQ(login->lblCaption->text(), u"Report!");
    EXPECT_EQ(login->lblMsg->text(), u"Logged in.");
    EXPECT_EQ(login->lblRem->text(), u"7 seconds left");
    EXPECT_EQ(RemainingText(1), u"1 second left");
    EXPECT_EQ(login->Members(), QStringList{u"tanaka"_qs});
    EXPECT_EQ(QStringList({all->lblCaption1->text(), all->lblCaption2->text(), all->lblCaption3->text()}),
              (QStringList{u"All watched terminals have"_qs, u"logged out"_qs, u"now."_qs}));
    EXPECT_EQ(ComposeBarText(NoticeKind::Login, login->lblMsg->text(), {u"tanaka"_qs, u"suzuki"_qs}),
              u"Logged in. tanaka, suzuki   ");
    EXPECT_EQ(ComposeBarText(NoticeKind::AllLogout, all->lblMsg->text(), all->Members()),
              u"All watched terminals have logged out.   ");
    EXPECT_EQ(InvalidRecordNameMessage(u"KR:06.log"_qs), u"The record file name is not valid.\nKR:06.log");
    // The longest countdown still shows all of its digits.
    NoticeWindow *logout = raise(NoticeKind::Logout, 0, 9999, {u"tanaka\tPC1"_qs}, LogoutText);
    EXPECT_GE(logout->lblRem->width(), logout->lblRem->sizeHint().width());
}
