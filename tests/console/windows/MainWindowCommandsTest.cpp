// The main window's commands, enabling rules, modes, icon alert and
// background, on the offscreen platform with a scratch program directory, a
// fake shutdown and a network tree from a file.

#include "config/Settings.h"
#include "console/BackgroundPicture.h"
#include "console/ConsoleEvents.h"
#include "console/ConsoleImages.h"
#include "console/MainWindow.h"
#include "console/PropertiesDialog.h"
#include "console/WatchListView.h"
#include "engine/WatchEngine.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "events/windows/MessageDialog.h"
#include "events/windows/NoticeTable.h"
#include "events/windows/NoticeWindow.h"
#include "platform/Cp932.h"
#include "platform/NetBrowser.h"
#include "platform/Platform.h"
#include "platform/SambaPlatformQuery.h"
#include "platform/SystemShutdown.h"
#include "probe/Probe.h"
#include "process/ProcessFlags.h"
#include "service/SharedServices.h"
#include "support/FakePlatform.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

namespace {

// Answers every modal box or dialog that opens: message boxes with the
// given buttons in turn (the last one again when they run out), other
// dialogs are closed after their handler has looked at them.
class ModalAnswers {
public:
    explicit ModalAnswers(QList<QMessageBox::StandardButton> buttons,
                          std::function<void(QDialog *)> dialog = {})
        : buttons_(std::move(buttons)), dialog_(std::move(dialog))
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                Texts << box->text();
                Titles << box->windowTitle();
                Icons << box->icon();
                const auto button = buttons_.size() > 1 ? buttons_.takeFirst() : buttons_.value(0, QMessageBox::Ok);
                if (QAbstractButton *b = box->button(button))
                    b->click();
                else
                    box->reject();
            } else if (auto *d = qobject_cast<QDialog *>(modal)) {
                ++Dialogs;
                if (dialog_)
                    dialog_(d);
                d->reject();
            }
        });
        timer_.start();
    }

    QStringList Texts, Titles;
    QList<QMessageBox::Icon> Icons;
    int Dialogs = 0;

private:
    QList<QMessageBox::StandardButton> buttons_;
    std::function<void(QDialog *)> dialog_;
    QTimer timer_;
};

WatchEntry Entry(const QString &user, const QString &name, int kind = KindStandard)
{
    WatchEntry e;
    e.UserName = user;
    e.ResourceName = name;
    e.Domain = QStringLiteral("WORKGROUP");
    e.Provider = QStringLiteral("Microsoft Windows Network");
    e.Kind = IconKind(kind);
    e.ImageIndex = UnconfirmedImage(kind);
    e.State = EntryState(e.ImageIndex);
    e.StatusText = kind == KindSeparator ? SeparatorText : StatusUnconfirmed;
    return e;
}

// Sets a row's state the way a pass does (image, state, status text).
void SetState(WatchListModel &model, int row, EntryState state)
{
    WatchEntry e;
    ASSERT_TRUE(ReadEntry(model, row, e));
    e.State = state;
    switch (state) {
    case StateLoggedIn: e.ImageIndex = e.Kind; e.StatusText = StatusLoggedIn; break;
    case StateLoggedOut: e.ImageIndex = e.Kind + 1; e.StatusText = StatusLoggedOut; break;
    case StateResting: e.ImageIndex = ImageResting; e.StatusText = StatusResting; break;
    default: break;
    }
    WriteEntry(e, model, row);
}

class MainWindowCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        ProgramDir = dir.path();
        Settings = ProgramSettings{};
        ServiceRunning = true;
        WatchBusy = true;
        ASSERT_TRUE(dir.write(QStringLiteral("net.txt"), "Microsoft Windows Network\n"
                                                         "  WORKGROUP\n"
                                                         "    PC01;comment=Front desk\n"
                                                         "  SALES;open=1222\n"
                                                         "    PC09\n"));
        qputenv(NetFixtureVariable, dir.path(QStringLiteral("net.txt")).toLocal8Bit());
        // The property dialog asks the watched computer for its system; a
        // closed loopback port keeps that question off the real network.
        qputenv("CORVANE_SMB_ADDRESS", "127.0.0.1");
        qputenv("CORVANE_SMB_PORT", "1");
        sharedServices = new SharedServices(std::make_unique<NoPowerOff>(true), std::make_unique<SambaPlatformQuery>());
    }

    void TearDown() override
    {
        fm.reset();
        NoticeWindows.CloseAll();
        delete sharedServices;
        sharedServices = nullptr;
        qunsetenv(NetFixtureVariable);
        ServiceRunning = true;
        WatchBusy = false;
    }

    void WriteSettings(const QByteArray &keys)
    {
        ASSERT_TRUE(dir.write(QStringLiteral("Krovan.ini"), "[Krovan]\r\nVersion=2.10a\r\n" + keys));
    }

    void WriteList(const QList<WatchEntry> &entries)
    {
        WatchListModel source;
        for (const WatchEntry &e : entries)
            ASSERT_TRUE(AddEntry(e, source));
        ASSERT_TRUE(SaveList(source, dir.path(QStringLiteral("Krovan.NT"))));
    }

    MainWindow &Started()
    {
        fm = std::make_unique<MainWindow>();
        fm->CanAsk = false;
        fm->OpenUrl = [this](const QUrl &url) {
            opened << url;
            return openResult;
        };
        EXPECT_TRUE(WaitFor([&] { return fm->Engine->tmWatch->isActive(); }));
        return *fm;
    }

    void Select(const QList<int> &rows)
    {
        fm->lvRes1->SetSelectedRows(rows);
        fm->UpdateRowCommands();
    }

    TempDir dir;
    std::unique_ptr<MainWindow> fm;
    QList<QUrl> opened;
    bool openResult = true;
};

TEST(MainWindowRules, RowCommandsBySelection)
{
    // A separator: nothing, not even alignment.
    RowCommandState s = RowCommandsFor({ImageSeparator});
    EXPECT_FALSE(s.Rest || s.Property || s.Message || s.Wake || s.Open || s.Align);
    // An alternative-kind row (fresh from the file: its unconfirmed image):
    // everything but rest.
    s = RowCommandsFor({11});
    EXPECT_FALSE(s.Rest);
    EXPECT_TRUE(s.Property && s.Message && s.Wake && s.Open);
    EXPECT_FALSE(s.Align);
    s = RowCommandsFor({StateLoggedOut});
    EXPECT_TRUE(s.Rest && s.Property && s.Message && s.Wake && s.Open);
    EXPECT_FALSE(s.Align);
    // Several rows: only message (when one of them is in) and alignment.
    s = RowCommandsFor({StateLoggedOut, StateUnconfirmed});
    EXPECT_FALSE(s.Rest || s.Property || s.Wake || s.Open || s.Message);
    EXPECT_TRUE(s.Align);
    s = RowCommandsFor({StateLoggedOut, StateLoggedIn});
    EXPECT_TRUE(s.Message);
    EXPECT_TRUE(RowCommandsFor({StateResting, 9}).Message);
    // Nothing selected.
    s = RowCommandsFor({});
    EXPECT_FALSE(s.Rest || s.Property || s.Message || s.Wake || s.Open);
}

TEST(MainWindowRules, ModesAndDoubleClickCommands)
{
    EXPECT_EQ(NormaliseScreenMode(7), 1);
    EXPECT_EQ(NormaliseScreenMode(0), 1);
    EXPECT_EQ(NormaliseScreenMode(3), 3);
    EXPECT_EQ(ListModeStyle(4), 3);
    EXPECT_EQ(ListModeStyle(0), 0);
    EXPECT_EQ(ListModeStyle(5), 0);
    EXPECT_EQ(DblClickCommandFor(9), DblRest);
    EXPECT_EQ(DblClickCommandFor(-1), DblRest);
    EXPECT_EQ(DblClickCommandFor(7), DblBrowser);
    EXPECT_EQ(TextColorRgb(0x0000FF), qRgb(255, 0, 0));
    EXPECT_EQ(StoredTextColor(qRgb(1, 2, 3)), 0x030201);
}

TEST(MainWindowRules, BlinkCounter)
{
    qint32 ticks = -2;
    EXPECT_EQ(IconAlertStep(ticks), 0);
    EXPECT_EQ(ticks, -2);
    // Steady until acknowledged.
    ticks = -1;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(IconAlertStep(ticks), 2);
    EXPECT_EQ(ticks, -1);
    // Seven seconds: fourteen half-second ticks, alert on every other one.
    ticks = 14;
    QList<int> images;
    for (int i = 0; i < 14; ++i)
        images << IconAlertStep(ticks);
    EXPECT_EQ(images, (QList<int>{2, 0, 2, 0, 2, 0, 2, 0, 2, 0, 2, 0, 2, 0}));
    EXPECT_EQ(ticks, 0);
    EXPECT_EQ(IconAlertStep(ticks), 0);
    EXPECT_EQ(ticks, -2);
}

TEST_F(MainWindowCommands, LayoutCaptionsAndShortcuts)
{
    MainWindow &w = Started();
    EXPECT_EQ(w.pbSetup->text(), QStringLiteral("ﾘｽﾄ編集(&L).."));
    EXPECT_EQ(w.pbSession->toolTip(), QStringLiteral("この端末にｱｸｾｽしている端末の一覧を表示します。"));
    EXPECT_EQ(w.pbSearch->text(), QStringLiteral("調査(&R)"));
    EXPECT_EQ(w.pbMin->toolTip(), QStringLiteral("Corvaneを終了します。"));
    EXPECT_EQ(w.mnSaveList->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(w.mnRefresh->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
    EXPECT_EQ(w.mnExit->shortcut(), QKeySequence(Qt::ALT | Qt::Key_F4));
    EXPECT_EQ(w.pmSendMsg->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
    EXPECT_EQ(w.pmExplorer->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
    EXPECT_EQ(w.pmBrowser->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_B));
    EXPECT_EQ(w.mnSort[10]->text(), QStringLiteral("MAC(&B)"));
    EXPECT_EQ(w.Tray->pmIcon->actions().first()->text(), QStringLiteral("監視ﾘｽﾄ(&C)"));
    EXPECT_EQ(w.lvRes1->Header()->count(), 11);
    EXPECT_EQ(w.Model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("状態"));
    // Large icons by default; nothing selected, so no row command.
    EXPECT_EQ(w.lvRes1->ViewStyle(), DragDropListView::vsIcon);
    EXPECT_TRUE(w.mnViewMode[0]->isChecked());
    EXPECT_FALSE(w.mnRest->isEnabled());
    EXPECT_FALSE(w.mnWake->menuAction()->isEnabled());
    EXPECT_FALSE(w.pmProperty->isEnabled());
    // The notice items appear with their notices.
    EXPECT_FALSE(w.Tray->piNotice[0]->isVisible());
    w.Events->CreateNotice(NoticeKind::Login, QStringLiteral("ログインしました。"), {QStringLiteral("u\tPC01")}, 0);
    w.Events->ShowNotice(NoticeKind::Login);
    w.Events->EnableNoticeItem(NoticeKind::Login);
    EXPECT_TRUE(w.Tray->piNotice[0]->isVisible());
    NoticeWindows.CloseAll();
    EXPECT_TRUE(WaitFor([&] { return !w.Tray->piNotice[0]->isVisible(); }));
}

TEST_F(MainWindowCommands, EnablingRulesFollowTheSelection)
{
    WriteList({Entry(QStringLiteral("a"), QStringLiteral("PC01")), Entry(QString(), SeparatorText, KindSeparator),
               Entry(QStringLiteral("c"), QStringLiteral("PC03"), KindSecond)});
    MainWindow &w = Started();
    ASSERT_EQ(w.Model->rowCount(), 3);

    Select({1});
    EXPECT_FALSE(w.mnRest->isEnabled());
    EXPECT_FALSE(w.pmProperty->isEnabled());
    EXPECT_FALSE(w.mnSendMsg->isEnabled());
    EXPECT_FALSE(w.pmOpen->menuAction()->isEnabled());
    EXPECT_FALSE(w.pmAlignTop->isEnabled());

    Select({2});
    EXPECT_FALSE(w.pmRest->isEnabled());
    EXPECT_TRUE(w.mnProperty->isEnabled());
    EXPECT_TRUE(w.mnWake->menuAction()->isEnabled());
    EXPECT_TRUE(w.pmSendMsg->isEnabled());

    Select({0, 2});
    EXPECT_FALSE(w.mnRest->isEnabled());
    EXPECT_FALSE(w.mnProperty->isEnabled());
    EXPECT_FALSE(w.mnOpen->menuAction()->isEnabled());
    EXPECT_FALSE(w.mnSendMsg->isEnabled()); // neither is in (state 0 or 9)
    EXPECT_TRUE(w.pmAlignLeft->isEnabled());
    SetState(*w.Model, 0, StateLoggedIn);
    Select({0, 2});
    EXPECT_TRUE(w.mnSendMsg->isEnabled());
}

TEST_F(MainWindowCommands, RestToggleOnAMixedSelection)
{
    WriteList({Entry(QStringLiteral("a"), QStringLiteral("PC01")), Entry(QStringLiteral("b"), QStringLiteral("PC02")),
               Entry(QString(), SeparatorText, KindSeparator), Entry(QStringLiteral("d"), QStringLiteral("PC04"), KindThird)});
    MainWindow &w = Started();
    SetState(*w.Model, 0, StateResting);
    SetState(*w.Model, 1, StateLoggedIn);
    SetState(*w.Model, 3, StateResting);
    w.Model->setText(1, WatchListModel::ColResult, QStringLiteral("Success"));
    w.Engine->AllLoginRaised = true;
    w.Engine->AllLogoutArmed = true;
    w.Engine->AllLogoutMinutes = 3;

    Select({0, 1, 2, 3});
    w.RestToggle();
    EXPECT_EQ(DataWordState(w.Model->dataWord(0)), StateUnconfirmed);
    EXPECT_EQ(w.Model->text(0, WatchListModel::ColStatus), QStringLiteral("未確認"));
    EXPECT_EQ(w.Model->imageIndex(0), 2);
    EXPECT_EQ(DataWordState(w.Model->dataWord(1)), StateResting);
    EXPECT_EQ(w.Model->text(1, WatchListModel::ColStatus), QStringLiteral("お休み"));
    EXPECT_EQ(w.Model->imageIndex(1), 3);
    EXPECT_EQ(w.Model->text(1, WatchListModel::ColResult), QString());
    // The separator is left alone; a resting third-kind row wakes to its own
    // kind's unconfirmed picture.
    EXPECT_EQ(w.Model->imageIndex(2), ImageSeparator);
    EXPECT_EQ(w.Model->text(2, WatchListModel::ColStatus), SeparatorText);
    EXPECT_EQ(w.Model->imageIndex(3), 14);
    EXPECT_FALSE(w.Engine->AllLoginRaised);
    EXPECT_FALSE(w.Engine->AllLogoutArmed);
    EXPECT_EQ(w.Engine->AllLogoutMinutes, 0);

    // Not while the engine is busy.
    WatchBusy = true;
    w.RestToggle();
    EXPECT_EQ(DataWordState(w.Model->dataWord(1)), StateResting);
    WatchBusy = false;
}

TEST_F(MainWindowCommands, DoubleClickActionNineRests)
{
    WriteSettings("[Config]\r\nDblClickAction=9\r\n");
    WriteList({Entry(QStringLiteral("a"), QStringLiteral("PC01"))});
    MainWindow &w = Started();
    SetState(*w.Model, 0, StateLoggedIn);
    Select({0});
    w.ListDoubleClick();
    EXPECT_EQ(DataWordState(w.Model->dataWord(0)), StateResting);
    w.ListDoubleClick();
    EXPECT_EQ(DataWordState(w.Model->dataWord(0)), StateUnconfirmed);
}

TEST_F(MainWindowCommands, HelpOpensTheContentsAndF1TheMainWindowsPage)
{
    // The pages as the build copies them beside the executable.
    ASSERT_TRUE(QDir().mkpath(dir.path(QStringLiteral("help"))));
    ASSERT_TRUE(QFile::copy(QStringLiteral(CORVANE_SOURCE_DIR "/resources/help/index.html"),
                            dir.path(QStringLiteral("help/index.html"))));
    MainWindow &w = Started();
    w.mnHelpOpen->trigger();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(dir.path(QStringLiteral("help/index.html"))));
    QTest::keyClick(w.lvRes1->CurrentView()->viewport(), Qt::Key_F1);
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[1].fileName(), QStringLiteral("main.html"));
    EXPECT_EQ(opened[1].fragment(), QStringLiteral("context-10"));

    // A refused opener is reported.
    openResult = false;
    ModalAnswers answers({QMessageBox::Ok});
    w.mnHelpOpen->trigger();
    EXPECT_EQ(answers.Texts, QStringList{QStringLiteral("起動できません！")});
}

TEST_F(MainWindowCommands, EachWatchTickCancelsADragInTheList)
{
    WriteList({Entry(QStringLiteral("a"), QStringLiteral("PC01")), Entry(QStringLiteral("b"), QStringLiteral("PC02"))});
    MainWindow &w = Started();
    w.showNormal();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.lvRes1->SetViewStyle(DragDropListView::vsReport);
    ASSERT_TRUE(w.lvRes1->CanDrag);
    Select({1});
    QWidget *viewport = w.lvRes1->ReportView()->viewport();
    const QPoint from = w.lvRes1->RowRect(1).center();
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    QTest::mouseMove(viewport, from + QPoint(0, -QApplication::startDragDistance() - 2));
    ASSERT_TRUE(w.lvRes1->IsDragging());
    emit w.Engine->CancelIconDrag();
    EXPECT_FALSE(w.lvRes1->IsDragging());
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, w.lvRes1->RowRect(0).center());
    EXPECT_EQ(w.Model->text(0, WatchListModel::ColResourceName), QStringLiteral("PC01"));
}

TEST_F(MainWindowCommands, StoredModesAreCorrected)
{
    WriteSettings("ScreenMode=7\r\nListMode=9\r\n[Config]\r\nDisableClose=1\r\n");
    MainWindow &w = Started();
    EXPECT_EQ(Settings.Krovan.ScreenMode, 1);
    EXPECT_TRUE(w.mnStay[0]->isChecked());
    EXPECT_EQ(w.Tray->TrayIcon, nullptr);
    // No notification area: the tray modes are not offered.
    EXPECT_FALSE(w.mnStay[1]->isEnabled());
    EXPECT_FALSE(w.mnStay[2]->isEnabled());
    EXPECT_FALSE(w.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(w.lvRes1->ViewStyle(), DragDropListView::vsIcon);
    w.SetViewMode(4);
    EXPECT_EQ(w.lvRes1->ViewStyle(), DragDropListView::vsReport);
    EXPECT_TRUE(w.mnViewMode[3]->isChecked());
    EXPECT_FALSE(w.mnRefresh->isEnabled());
    EXPECT_FALSE(w.lvRes1->CanDrag); // rows are not dragged in the main list
    w.SetViewMode(2);
    EXPECT_TRUE(w.lvRes1->CanDrag);
    w.ToggleFixIcon();
    EXPECT_FALSE(w.lvRes1->CanDrag);
    EXPECT_TRUE(Settings.Krovan.FixIcon);

    ServiceRunning = false;
    ASSERT_TRUE(w.close());
    ProgramSettings back;
    LoadSettings(back, dir.path(), {}, nullptr);
    EXPECT_EQ(back.Krovan.ScreenMode, 1);
    EXPECT_EQ(back.Krovan.ListMode, 2);
    EXPECT_TRUE(back.Krovan.FixIcon);
}

TEST_F(MainWindowCommands, ColumnOrderNeedsExactlyElevenEntries)
{
    struct Case {
        QByteArray order;
        int firstColumn;
    };
    for (const Case &c : {Case{"10,9,8,7,6,5,4,3,2,1", 0}, Case{"3,0,1,2,4,5,6,7,8,9,10", 3},
                          Case{"0,1,2,3,4,5,6,7,8,9,10,11,12", 0}}) {
        WriteSettings("[MainWnd]\r\nColPosition=" + c.order + "\r\nColWidth=60,0,70,50,50,50,50,50,50,0,0,50,50\r\n");
        MainWindow &w = Started();
        const QHeaderView *header = w.lvRes1->Header();
        EXPECT_EQ(header->logicalIndex(0), c.firstColumn) << c.order.constData();
        // Widths go by position: a zero hides, except at the Result position.
        EXPECT_EQ(header->sectionSize(header->logicalIndex(0)), 60);
        EXPECT_TRUE(header->isSectionHidden(header->logicalIndex(1)));
        EXPECT_FALSE(header->isSectionHidden(header->logicalIndex(9)));
        EXPECT_EQ(header->sectionSize(header->logicalIndex(9)), 50);
        EXPECT_TRUE(header->isSectionHidden(header->logicalIndex(10)));

        w.RestoreColumnOrder();
        for (int i = 0; i < 11; ++i)
            EXPECT_EQ(header->logicalIndex(i), i);
        fm.reset();
    }
}

TEST_F(MainWindowCommands, IconAlertCountsDownAndIsNeverShortened)
{
    MainWindow &w = Started();
    w.Tray->tmIconAlertTimer();
    EXPECT_FALSE(w.Tray->tmIconAlert->isActive()) << "no alert, no blinking: the tick sleeps";
    w.Tray->IconAlert(7);
    EXPECT_TRUE(w.Tray->tmIconAlert->isActive()) << "an alert wakes it";
    w.Tray->tmIconAlert->stop();
    EXPECT_EQ(w.Engine->IconAlertTicks, 14);
    w.Tray->IconAlert(3);
    EXPECT_EQ(w.Engine->IconAlertTicks, 14);
    int alerts = 0;
    for (int i = 0; i < 14; ++i) {
        w.Tray->tmIconAlertTimer();
        alerts += w.Tray->TrayImage == ConsoleImages::WindowAlert;
    }
    EXPECT_EQ(alerts, 7);
    EXPECT_EQ(w.Engine->IconAlertTicks, 0);
    w.Tray->tmIconAlertTimer();
    EXPECT_EQ(w.Engine->IconAlertTicks, -2);
    EXPECT_EQ(w.Tray->TrayImage, 0);
    EXPECT_FALSE(w.Tray->tmIconAlert->isActive());

    // Zero seconds: the alert stays until the tray menu is opened.
    w.Tray->IconAlert(0);
    for (int i = 0; i < 3; ++i) {
        w.Tray->tmIconAlertTimer();
        EXPECT_EQ(w.Tray->TrayImage, ConsoleImages::WindowAlert);
    }
    w.Tray->IconAlert(5);
    EXPECT_EQ(w.Engine->IconAlertTicks, -1);
    emit w.Tray->pmIcon->aboutToShow();
    EXPECT_EQ(w.Tray->TrayImage, 0);
    w.Tray->tmIconAlertTimer();
    EXPECT_EQ(w.Engine->IconAlertTicks, -2);

    // A stopped service freezes the icon.
    w.Tray->IconAlert(2);
    ServiceRunning = false;
    w.Tray->tmIconAlertTimer();
    EXPECT_EQ(w.Engine->IconAlertTicks, 4);
}

TEST_F(MainWindowCommands, RowsOfTheLastLoginsBlink)
{
    WriteSettings("[Config]\r\nBlinkIcon=1\r\n");
    WriteList({Entry(QStringLiteral("a"), QStringLiteral("PC01")), Entry(QStringLiteral("b"), QStringLiteral("PC02"), KindSecond),
               Entry(QStringLiteral("c"), QStringLiteral("PC03"))});
    MainWindow &w = Started();
    w.Tray->tmIconAlert->stop();
    SetState(*w.Model, 0, StateLoggedIn);
    SetState(*w.Model, 1, StateLoggedIn);
    SetState(*w.Model, 2, StateLoggedOut);
    w.Engine->LoginNames = QStringLiteral("PC02\t");
    w.Tray->WakeIconAlert();

    QList<int> second, first;
    for (int i = 0; i < 4; ++i) {
        w.Tray->tmIconAlertTimer();
        first << w.Model->imageIndex(0);
        second << w.Model->imageIndex(1);
    }
    EXPECT_TRUE(w.Tray->tmIconAlert->isActive()) << "rows blink: the tick goes on";
    EXPECT_EQ(first, (QList<int>{0, 0, 0, 0}));
    EXPECT_TRUE(second == (QList<int>{10, 9, 10, 9}) || second == (QList<int>{9, 10, 9, 10}));
    EXPECT_EQ(w.Model->imageIndex(2), 1);

    // Always: every logged-in row; the next pass's names end the blinking
    // and give the row its steady picture back.
    Settings.Config.BlinkAlways = true;
    w.Tray->tmIconAlertTimer();
    const int before = w.Model->imageIndex(0);
    w.Tray->tmIconAlertTimer();
    EXPECT_NE(w.Model->imageIndex(0), before);
    EXPECT_EQ(w.Model->imageIndex(2), 1);
    Settings.Config.BlinkAlways = false;
    w.Engine->LoginNames.clear();
    w.Tray->tmIconAlertTimer();
    EXPECT_EQ(w.Model->imageIndex(0), 0);
    EXPECT_EQ(w.Model->imageIndex(1), 9);
    EXPECT_FALSE(w.Tray->tmIconAlert->isActive()) << "nothing blinks any more";
}

TEST_F(MainWindowCommands, ACheckLocksTheConsoleUntilItsResultsAreApplied)
{
    {
        Probe icmp;
        if (!icmp.Active(true))
            GTEST_SKIP() << "no right to open an ICMP socket here: " << icmp.StatusText().toStdString();
    }
    WatchEntry loopback = Entry(QStringLiteral("lo"), QStringLiteral("LOOPBACK"));
    loopback.IPCheck = true;
    ASSERT_TRUE(NormaliseAddress(QStringLiteral("127.0.0.1"), loopback.Address));
    WriteSettings("ListMode=4\r\n[Login]\r\nShowMsg=0\r\n");
    WriteList({loopback});
    MainWindow &w = Started();
    w.Tray->tmIconAlert->stop();

    w.pbSearch->click();
    EXPECT_EQ(w.pbSearch->text(), QStringLiteral("中止(&D)"));
    EXPECT_FALSE(w.pbSetup->isEnabled());
    EXPECT_FALSE(w.pbConfig->isEnabled());
    EXPECT_FALSE(w.pmCheck->isEnabled());
    EXPECT_FALSE(w.lvRes1->CanSort);
    EXPECT_EQ(w.Tray->TrayImage, 1);
    ASSERT_TRUE(WaitFor([] { return !WatchBusy; }));

    EXPECT_EQ(w.pbSearch->text(), QStringLiteral("調査(&R)"));
    EXPECT_TRUE(w.pbSetup->isEnabled());
    EXPECT_TRUE(w.pmCheck->isEnabled());
    EXPECT_TRUE(w.lvRes1->CanSort);
    EXPECT_EQ(w.Tray->TrayImage, 0);
    EXPECT_EQ(DataWordState(w.Model->dataWord(0)), StateLoggedIn) << w.Model->text(0, WatchListModel::ColResult).toStdString();
    EXPECT_EQ(w.Engine->LoginNames, QStringLiteral("LOOPBACK\t"));
}

TEST_F(MainWindowCommands, OnlyBitmapsBecomeTheBackground)
{
    MainWindow &w = Started();
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(dir.path(QStringLiteral("back.jpg")), "JPG"));
    ASSERT_TRUE(picture.save(dir.path(QStringLiteral("back.bmp")), "BMP"));

    {
        ModalAnswers answers({QMessageBox::Ok});
        EXPECT_FALSE(w.SetBackgroundFile(dir.path(QStringLiteral("back.jpg"))));
        EXPECT_EQ(answers.Texts, QStringList{QStringLiteral("この画像は背景に設定できません")});
        EXPECT_EQ(answers.Titles, QStringList{QStringLiteral("Corvane Ver 2.10a")});
        EXPECT_EQ(answers.Icons.value(0), QMessageBox::Warning);
    }
    EXPECT_EQ(Settings.Background.File, QString());
    EXPECT_TRUE(w.ListBackground->Background.isNull());

    EXPECT_TRUE(w.SetBackgroundFile(dir.path(QStringLiteral("back.bmp"))));
    EXPECT_EQ(Settings.Background.File, dir.path(QStringLiteral("back.bmp")));
    EXPECT_EQ(w.ListBackground->Background.size(), QSize(40, 30));
    // A refused picture keeps the one there is.
    {
        ModalAnswers answers({QMessageBox::Ok});
        EXPECT_FALSE(w.SetBackgroundFile(dir.path(QStringLiteral("back.jpg"))));
    }
    EXPECT_EQ(Settings.Background.File, dir.path(QStringLiteral("back.bmp")));

    w.SetTileMode(3);
    EXPECT_TRUE(w.mnTile[2]->isChecked());
    w.ToggleTransparent();
    EXPECT_TRUE(Settings.Background.Transport);
    EXPECT_TRUE(w.mnBackTransparent->isChecked());
    // Every placement draws without complaint.
    w.show();
    for (int mode = 1; mode <= 4; ++mode) {
        w.SetTileMode(mode);
        w.lvRes1->CurrentView()->viewport()->repaint();
    }

    w.CanAsk = true;
    {
        ModalAnswers answers({QMessageBox::Yes});
        w.EraseBackground();
        EXPECT_EQ(answers.Texts, QStringList{QStringLiteral("背景を消去します。\nよろしいですか？")});
        EXPECT_EQ(answers.Icons.value(0), QMessageBox::Question);
    }
    EXPECT_EQ(Settings.Background.File, QString());
    EXPECT_TRUE(w.ListBackground->Background.isNull());
}

TEST_F(MainWindowCommands, SaveListAsksAndReportsAFailure)
{
    WriteList({Entry(QStringLiteral("a"), QStringLiteral("PC01"))});
    MainWindow &w = Started();
    w.CanAsk = true;
    w.Model->setText(0, WatchListModel::ColUserName, QStringLiteral("山田"));
    {
        ModalAnswers answers({QMessageBox::No});
        w.SaveListCommand();
        EXPECT_EQ(answers.Texts, QStringList{QStringLiteral("リストを保存します。\nよろしいですか？")});
    }
    WatchListModel back;
    ASSERT_TRUE(LoadList(back, w.ListFilePath));
    EXPECT_EQ(back.text(0, WatchListModel::ColUserName), QStringLiteral("a"));
    {
        ModalAnswers answers({QMessageBox::Yes});
        w.SaveListCommand();
    }
    back.clear();
    ASSERT_TRUE(LoadList(back, w.ListFilePath));
    EXPECT_EQ(back.text(0, WatchListModel::ColUserName), QStringLiteral("山田"));

    w.ListFilePath = dir.path(QStringLiteral("missing/Krovan.NT"));
    {
        ModalAnswers answers({QMessageBox::Yes, QMessageBox::Ok});
        w.SaveListCommand();
        ASSERT_EQ(answers.Texts.size(), 2);
        EXPECT_EQ(answers.Texts[1],
                  QStringLiteral("保存に失敗しました！\n\n") + w.ListFilePath + QStringLiteral(": No such file or directory"));
        EXPECT_EQ(answers.Icons[1], QMessageBox::Critical);
        EXPECT_EQ(answers.Titles[1], QStringLiteral("Corvane Ver 2.10a"));
    }
}

TEST_F(MainWindowCommands, OpenCommandsNeedExactlyOneRow)
{
    WriteList({Entry(QStringLiteral("a"), QStringLiteral("PC01")), Entry(QStringLiteral("b"), QStringLiteral("*PC02"))});
    MainWindow &w = Started();
    Select({0});
    w.OpenExplorer();
    w.OpenBrowser();
    Select({1});
    w.OpenBrowser();
    EXPECT_EQ(opened, (QList<QUrl>{QUrl(QStringLiteral("smb://PC01/")), QUrl(QStringLiteral("http://PC01")),
                                   QUrl(QStringLiteral("http://PC02"))}));

    Select({0, 1});
    {
        ModalAnswers answers({QMessageBox::Ok});
        w.OpenExplorer();
        w.ShowProperties();
        EXPECT_EQ(answers.Texts, (QStringList{QStringLiteral("端末を１つだけ選択して下さい。"),
                                              QStringLiteral("端末を１つだけ選択して下さい。")}));
        EXPECT_EQ(answers.Icons.value(0), QMessageBox::Warning);
    }
    openResult = false;
    Select({0});
    {
        ModalAnswers answers({QMessageBox::Ok});
        w.OpenBrowser();
        EXPECT_EQ(answers.Texts, QStringList{QStringLiteral("起動できません！")});
    }
    EXPECT_EQ(opened.size(), 4);
}

TEST_F(MainWindowCommands, RefreshAndResizeKeepPlacedIcons)
{
    WriteList({Entry(QStringLiteral("a"), QStringLiteral("PC01")), Entry(QStringLiteral("b"), QStringLiteral("PC02")),
               Entry(QStringLiteral("c"), QStringLiteral("PC03"))});
    MainWindow &w = Started();
    w.showNormal();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    // The floor plan: the third icon first, the first far to the right.
    w.lvRes1->SetItemPosition(0, QPoint(400, 160));
    w.lvRes1->SetItemPosition(2, QPoint(0, 0));
    w.lvRes1->SetItemPosition(1, QPoint(150, 90));
    const QList<QPoint> plan{{400, 160}, {150, 90}, {0, 0}};
    auto positions = [&] {
        QList<QPoint> at;
        for (int row = 0; row < 3; ++row)
            at << w.lvRes1->ItemPosition(row);
        return at;
    };
    w.RefreshIcons();
    EXPECT_EQ(positions(), plan);
    // Since the list view, the icons follow the window's width.
    w.SetViewMode(3);
    w.SetViewMode(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(positions(), plan);
    w.resize(w.width() + 150, w.height() + 60);
    QCoreApplication::processEvents();
    EXPECT_EQ(positions(), plan);
}

TEST_F(MainWindowCommands, MessagesGoToTheNameWithoutTheFindersMark)
{
    WriteList({Entry(QStringLiteral("a"), QStringLiteral("*PC01")), Entry(QStringLiteral("b"), QStringLiteral("PC02"))});
    MainWindow &w = Started();
    Select({0, 1});
    QStringList recipients;
    ModalAnswers answers({QMessageBox::Ok}, [&](QDialog *d) {
        if (auto *msg = qobject_cast<MessageDialog *>(d))
            recipients = msg->Recipients;
    });
    w.SendMessage();
    EXPECT_EQ(answers.Dialogs, 1);
    EXPECT_EQ(recipients, (QStringList{QStringLiteral("PC01"), QStringLiteral("PC02")}));
}

TEST_F(MainWindowCommands, PropertiesOfABlinkingRowShowItsState)
{
    WatchEntry byAddress = Entry(QStringLiteral("ip"), QStringLiteral("HOST"));
    byAddress.IPCheck = true;
    WriteList({byAddress});
    MainWindow &w = Started();
    SetState(*w.Model, 0, StateLoggedIn);
    // The blink's other half: the logged-out picture.
    w.Model->setImageIndex(0, KindStandard + 1);
    Select({0});
    QString status;
    ModalAnswers answers({QMessageBox::Ok}, [&](QDialog *d) {
        if (auto *prop = qobject_cast<PropertiesDialog *>(d))
            status = prop->LineValue(PropertiesDialog::LineStatus);
    });
    w.ShowProperties();
    EXPECT_EQ(answers.Dialogs, 1);
    EXPECT_EQ(status, QStringLiteral("ﾛｸﾞｲﾝ"));
}

TEST_F(MainWindowCommands, PropertiesAskTheNetworkForBrowsedTerminals)
{
    WatchEntry sales = Entry(QStringLiteral("s"), QStringLiteral("PC09"));
    sales.Domain = QStringLiteral("SALES");
    WatchEntry byAddress = Entry(QStringLiteral("ip"), QStringLiteral("HOST"));
    byAddress.IPCheck = true;
    byAddress.Address = QStringLiteral("127.  0.  0.  1");
    byAddress.MAC = QStringLiteral("00:11:22:33:44:55");
    byAddress.Domain = QStringLiteral("SALES");
    WriteList({Entry(QStringLiteral("a"), QStringLiteral("PC01")), sales, byAddress});
    MainWindow &w = Started();
    // A logged-in terminal shows its comment and provider.
    SetState(*w.Model, 0, StateLoggedIn);

    QMap<QString, QString> seen;
    auto look = [&](QDialog *d) {
        auto *prop = qobject_cast<PropertiesDialog *>(d);
        if (!prop)
            return;
        seen[QStringLiteral("comment")] = prop->LineValue(PropertiesDialog::LineComment);
        seen[QStringLiteral("commentCaption")] = prop->LineCaption(PropertiesDialog::LineComment);
        seen[QStringLiteral("provider")] = prop->LineValue(PropertiesDialog::LineProvider);
    };
    Select({0});
    {
        ModalAnswers answers({QMessageBox::Ok}, look);
        w.ShowProperties();
        EXPECT_EQ(answers.Dialogs, 1);
    }
    EXPECT_EQ(seen.value(QStringLiteral("comment")), QStringLiteral("Front desk"));
    EXPECT_EQ(seen.value(QStringLiteral("provider")), QStringLiteral("Microsoft Windows Network"));

    // A workgroup that cannot be opened: an error, and no dialog.
    Select({1});
    {
        ModalAnswers answers({QMessageBox::Ok}, look);
        w.ShowProperties();
        EXPECT_EQ(answers.Texts, QStringList{QStringLiteral("リソース状態取得エラーです。")});
        EXPECT_EQ(answers.Dialogs, 0);
    }
    EXPECT_EQ(w.Tray->TrayImage, 0);

    // Watched by address: shown from the row, the network is not asked.
    seen.clear();
    Select({2});
    {
        ModalAnswers answers({QMessageBox::Ok}, look);
        w.ShowProperties();
        EXPECT_EQ(answers.Dialogs, 1);
        EXPECT_TRUE(answers.Texts.isEmpty());
    }
    EXPECT_EQ(seen.value(QStringLiteral("comment")), QStringLiteral("127.  0.  0.  1"));
    EXPECT_EQ(seen.value(QStringLiteral("commentCaption")), QStringLiteral("IPｱﾄﾞﾚｽ:"));
    EXPECT_EQ(seen.value(QStringLiteral("provider")), QStringLiteral("00:11:22:33:44:55"));
}

TEST_F(MainWindowCommands, EventsWriteRecordsAndRaiseTheAccessNotice)
{
    WriteSettings("[Login]\r\nRecordFile=LI\r\nRecordFileExp=log\r\n");
    MainWindow &w = Started();
    Settings.Login.RecordFolder = dir.path();
    w.Events->WriteRecord(RecordKind::Login, {QStringLiteral("山田\tPC01")});
    const QString record = Cp932::decode(dir.read(QStringLiteral("LI.log")));
    EXPECT_TRUE(record.contains(QStringLiteral("山田\r\n"))) << record.toStdString();

    int opened = 0;
    w.Events->OpenAccessListHook = [&] { ++opened; };
    w.Events->RaiseAccessNotice(0, 0, {QStringLiteral("nobody\tCLIENT1")});
    ASSERT_TRUE(NoticeWindows.IsOpen(NoticeKind::Access));
    w.Events->ShowOpenSessionButton();
    w.Events->ShowAccessNotice();
    w.Events->EnableAccessMenuItem();
    EXPECT_TRUE(w.Tray->piNotice[3]->isVisible());
    NoticeWindows.Notice(NoticeKind::Access)->pbOpenSess->click();
    EXPECT_EQ(opened, 1);
    // A second access keeps the open notice as it is.
    w.Events->RaiseAccessNotice(0, 0, {QStringLiteral("x\tOTHER")});
    EXPECT_EQ(NoticeWindows.Notice(NoticeKind::Access)->Members(), QStringList{QStringLiteral("nobody")});
}

} // namespace
