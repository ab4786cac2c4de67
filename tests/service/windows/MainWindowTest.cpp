// The main window's start-up and close, on the offscreen platform, with a
// scratch program directory and a fake shutdown.

#include "access/AccessCheck.h"
#include "config/Settings.h"
#include "console/AccessListWindow.h"
#include "console/Language.h"
#include "console/MainWindow.h"
#include "console/SettingsDialog.h"
#include "console/WatchListView.h"
#include "engine/WatchEngine.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "platform/Platform.h"
#include "platform/SambaPlatformQuery.h"
#include "platform/SystemShutdown.h"
#include "probe/Probe.h"
#include "process/ProcessFlags.h"
#include "service/ServiceControl.h"
#include "service/SharedServices.h"
#include "service/WatchHost.h"
#include "support/FakePlatform.h"
#include "support/ModalAnswers.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QHeaderView>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeView>

#include <csignal>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ProgramDir = dir.path();
        Settings = ProgramSettings{};
        ServiceRunning = true;
        WatchBusy = true;
        ShutdownAllowed = false;
        sharedServices = new SharedServices(std::make_unique<NoPowerOff>(shutdownAllowed), std::make_unique<SambaPlatformQuery>());
    }

    void TearDown() override
    {
        fm.reset();
        delete sharedServices;
        sharedServices = nullptr;
        ServiceRunning = true;
    }

    // The window, after its deferred start has run.
    MainWindow &Started(const std::function<void(MainWindow &)> &beforeStart = {})
    {
        fm = std::make_unique<MainWindow>();
        fm->CanAsk = false;
        if (beforeStart)
            beforeStart(*fm);
        connect();
        EXPECT_TRUE(WaitFor([&] { return fm->Engine->tmWatch->isActive(); }));
        return *fm;
    }

    void connect()
    {
        QObject::connect(fm.get(), &MainWindow::Closed, [this] { ++closed; });
    }

    void WriteSettings(const QByteArray &keys)
    {
        ASSERT_TRUE(dir.write(QStringLiteral("Krovan.ini"), "[Krovan]\r\nVersion=2.10a\r\n" + keys));
    }

    ProgramSettings ReadBack() const
    {
        ProgramSettings back;
        LoadSettings(back, dir.path(), {}, nullptr);
        return back;
    }

    TempDir dir;
    bool shutdownAllowed = true;
    std::unique_ptr<MainWindow> fm;
    int closed = 0;
};

TEST_F(MainWindowTest, StartsWithNoSettingsFileAndNoWatchList)
{
    MainWindow &w = Started();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Corvane Ver 2.10a on [") + PlatformName() + QStringLiteral("]"));
    EXPECT_EQ(PlatformFamily, 2);
    EXPECT_EQ(w.ListFilePath, dir.path(QStringLiteral("Krovan.NT")));
    EXPECT_EQ(w.Model->rowCount(), 0);
    EXPECT_FALSE(WatchBusy);
    EXPECT_TRUE(ShutdownAllowed);
    EXPECT_FALSE(w.Engine->Ending);
    EXPECT_EQ(w.Engine->IconAlertTicks, -2);
    // No notification area offscreen: taskbar mode, shown minimised.
    EXPECT_EQ(Settings.Krovan.ScreenMode, 1);
    EXPECT_TRUE(w.isMinimized());
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.Engine->tmWatch->interval(), 60000);
    EXPECT_TRUE(w.Access->tmAccess.isActive());
    EXPECT_EQ(w.Access->tmAccess.interval(), 1000);
    // Starting writes nothing.
    EXPECT_FALSE(dir.exists(QStringLiteral("Krovan.ini")));
    EXPECT_FALSE(dir.exists(QStringLiteral("Krovan.NT")));
}

TEST_F(MainWindowTest, LoadsTheWatchListOfItsFamily)
{
    WatchListModel source;
    WatchEntry entry;
    entry.UserName = QStringLiteral("山田");
    entry.ResourceName = QStringLiteral("PC01");
    entry.Domain = QStringLiteral("WORKGROUP");
    ASSERT_TRUE(AddEntry(entry, source));
    ASSERT_TRUE(SaveList(source, dir.path(QStringLiteral("Krovan.NT"))));
    // Another family's file is not read.
    ASSERT_TRUE(SaveList(source, dir.path(QStringLiteral("Krovan.dat"))));

    MainWindow &w = Started();
    ASSERT_EQ(w.Model->rowCount(), 1);
    EXPECT_EQ(w.Model->text(0, WatchListModel::ColResourceName), QStringLiteral("PC01"));
    EXPECT_EQ(w.Model->text(0, WatchListModel::ColUserName), QStringLiteral("山田"));
}

TEST_F(MainWindowTest, CloseIsRefusedWhileTheServiceRuns)
{
    MainWindow &w = Started();
    BoxAnswers answer({QMessageBox::Ok});
    EXPECT_FALSE(w.close());
    EXPECT_EQ(answer.Texts.value(0), QStringLiteral("サービスより停止してください。"));
    EXPECT_EQ(answer.Titles.value(0), QStringLiteral("Corvane Ver 2.10a"));
    EXPECT_EQ(answer.Icons.value(0), QMessageBox::Warning);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.Engine->Ending);
    EXPECT_EQ(closed, 0);
    EXPECT_FALSE(dir.exists(QStringLiteral("Krovan.ini")));
}

TEST_F(MainWindowTest, CloseAfterTheStopRequestWritesTheSettings)
{
    ServiceControl service;
    MainWindow &w = Started();
    accessListWindow = new AccessListWindow;
    accessListWindow->show();
    w.resize(500, 300);
    w.move(20, 10);

    // The probe may be refused its socket here; it is closed when it is open.
    sharedServices->ConsoleProbe->Active(true);

    ASSERT_EQ(std::raise(SIGUSR2), 0);
    ASSERT_TRUE(WaitFor([] { return !ServiceRunning; }));
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(sharedServices->ConsoleProbe->ActiveFlag());
    EXPECT_TRUE(w.Engine->Ending);
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(w.Access->tmAccess.isActive());
    EXPECT_FALSE(accessListWindow->isVisible());
    delete accessListWindow;
    accessListWindow = nullptr;

    const ProgramSettings back = ReadBack();
    EXPECT_EQ(back.Krovan.Version, QStringLiteral("2.10a"));
    EXPECT_EQ(back.MainWnd.Size, QStringLiteral("500,300"));
    EXPECT_EQ(back.MainWnd.Pos, QStringLiteral("10,20"));
    EXPECT_EQ(back.MainWnd.ColPosition, QStringLiteral("0,1,2,3,4,5,6,7,8,9,10"));
}

// A display that goes away takes nothing with it: the window's size, a
// column's width and a setting applied in the dialog are on disk within the
// keep interval, with no close.
TEST_F(MainWindowTest, WhatTheOperatorChangesReachesTheDiskWithoutAClose)
{
    MainWindow &w = Started([](MainWindow &w) { w.Host->KeepSettingsMs = 20; });
    w.showNormal();
    w.resize(700, 500);
    EXPECT_TRUE(WaitFor([&] { return ReadBack().MainWnd.Size == QStringLiteral("700,500"); }));
    w.lvRes1->Header()->resizeSection(WatchListModel::ColUserName, 123);
    EXPECT_TRUE(WaitFor([&] { return ReadBack().MainWnd.ColWidth.startsWith(QStringLiteral("123,")); }));
    SettingsDialog dialog(nullptr, &w);
    dialog.udCheckInterval->setValue(17);
    dialog.pbApplyClick();
    EXPECT_TRUE(WaitFor([&] { return ReadBack().Config.CheckInterval == 17; }));
}

TEST_F(MainWindowTest, EndOfLogonClosesWhileTheServiceRuns)
{
    ServiceControl service;
    MainWindow &w = Started();
    QObject::connect(&service, &ServiceControl::LogonEnding, &w, &MainWindow::QueryEndSession);
    ASSERT_EQ(std::raise(SIGTERM), 0);
    ASSERT_TRUE(WaitFor([&] { return closed == 1; }));
    EXPECT_TRUE(w.Engine->Ending);
    EXPECT_TRUE(ServiceRunning);
    EXPECT_TRUE(dir.exists(QStringLiteral("Krovan.ini")));
}

TEST_F(MainWindowTest, EndOfLogonBeforeTheStartFinished)
{
    fm = std::make_unique<MainWindow>();
    connect();
    fm->QueryEndSession();
    EXPECT_EQ(closed, 1);
    QCoreApplication::processEvents();
    EXPECT_FALSE(fm->Engine->tmWatch->isActive());
    EXPECT_FALSE(fm->isVisible());
    EXPECT_TRUE(dir.exists(QStringLiteral("Krovan.ini")));
}

// A program folder that cannot be written (here: one that is not there) is
// said once at a desktop start, where the operator looks, not only in the
// journal.
TEST_F(MainWindowTest, ADesktopStartSaysThatTheProgramFolderCannotBeWritten)
{
    ProgramDir = dir.path(QStringLiteral("missing/"));
    BoxAnswers boxes;
    Started([](MainWindow &w) { w.CanAsk = true; });
    ASSERT_TRUE(WaitFor([&] { return !boxes.Texts.isEmpty(); }));
    EXPECT_TRUE(boxes.Texts[0].startsWith(QStringLiteral("プログラムフォルダー ") + ProgramDir + QStringLiteral(" に書き込めません")))
        << boxes.Texts[0].toStdString();
    EXPECT_TRUE(boxes.Texts[0].contains(QStringLiteral("CORVANE_DIR")));
}

TEST_F(MainWindowTest, EndOfLogonWhileTheStartQuestionIsOpen)
{
    WriteSettings("[Config]\r\nStartCheck=1\r\nStartCheckMsg=1\r\n");
    fm = std::make_unique<MainWindow>();
    fm->CanAsk = true;
    connect();
    // The logon ends while the question waits; the operator then says Yes.
    QTimer operatorAnswer;
    operatorAnswer.setInterval(10);
    QObject::connect(&operatorAnswer, &QTimer::timeout, [&] {
        QPointer<QMessageBox> box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        operatorAnswer.stop();
        fm->QueryEndSession();
        if (box && box->isVisible())
            box->button(QMessageBox::Yes)->click();
    });
    operatorAnswer.start();
    ASSERT_TRUE(WaitFor([&] { return closed == 1 && !operatorAnswer.isActive(); }));
    QCoreApplication::processEvents();

    EXPECT_FALSE(fm->Engine->CheckedOnce);
    EXPECT_FALSE(fm->Engine->PassRunning());
    EXPECT_FALSE(fm->Engine->tmWatch->isActive());
    EXPECT_FALSE(fm->Access->tmAccess.isActive());
    EXPECT_FALSE(fm->isVisible());
    EXPECT_EQ(closed, 1);
}

TEST_F(MainWindowTest, XmlRecordsStayAndAnUnloadableBackgroundIsCleared)
{
    ASSERT_TRUE(dir.write(QStringLiteral("back.bmp"), "not a bitmap"));
    WriteSettings("[Login]\r\nRecordFileExp=XML\r\n[Background]\r\nFile=" + dir.path(QStringLiteral("back.bmp")).toUtf8()
                  + "\r\n");
    Started();
    EXPECT_EQ(Settings.Login.RecordFileExp, QStringLiteral("XML"));
    EXPECT_EQ(Settings.Background.File, QString());
}

TEST_F(MainWindowTest, RefusedShutdownTurnsTheShutdownActionIntoNone)
{
    WriteSettings("[AllLogout]\r\nAction=2\r\n[AllLogin]\r\nAction=2\r\n");
    shutdownAllowed = false;
    TearDown();
    SetUp();
    Started();
    EXPECT_FALSE(ShutdownAllowed);
    EXPECT_EQ(Settings.AllLogout.Action, 1);
    EXPECT_EQ(Settings.AllLogin.Action, 2);  // only all-logout can shut down
}

TEST_F(MainWindowTest, GrantedShutdownKeepsTheShutdownAction)
{
    WriteSettings("[AllLogout]\r\nAction=2\r\n");
    Started();
    EXPECT_TRUE(ShutdownAllowed);
    EXPECT_EQ(Settings.AllLogout.Action, 2);
}

TEST_F(MainWindowTest, StoredGeometryAndColumnsWithTheirCorrections)
{
    WriteSettings("[MainWnd]\r\nSize=500,160\r\nPos=-200,5000\r\n"
                  "ColWidth=10,20,30,40,55,60,70,80,90,0,0\r\n"
                  "ColPosition=10,9,8,7,6,5,4,3,2,1,0\r\n");
    MainWindow &w = Started();
    EXPECT_EQ(w.size(), QSize(500, 160));
    EXPECT_EQ(w.pos(), QPoint(0, 0));  // above the screen, and beyond its right edge
    const QHeaderView *header = w.lvRes1->Header();
    EXPECT_EQ(header->logicalIndex(0), 10);
    EXPECT_EQ(header->logicalIndex(10), 0);
    EXPECT_EQ(header->sectionSize(header->logicalIndex(4)), 55);
    EXPECT_EQ(header->sectionSize(header->logicalIndex(9)), 50);  // Result never hidden
    EXPECT_TRUE(header->isSectionHidden(header->logicalIndex(10)));

    ServiceRunning = false;
    ASSERT_TRUE(w.close());
    const ProgramSettings back = ReadBack();
    EXPECT_EQ(back.MainWnd.ColWidth, QStringLiteral("10,20,30,40,55,60,70,80,90,50,0"));
    EXPECT_EQ(back.MainWnd.ColPosition, QStringLiteral("10,9,8,7,6,5,4,3,2,1,0"));
    // The correction was for this screen only; the window was not moved.
    EXPECT_EQ(back.MainWnd.Pos, QStringLiteral("-200,5000"));
}

TEST_F(MainWindowTest, PartlyVisibleWindowAndTooSmallSize)
{
    WriteSettings("[MainWnd]\r\nSize=100,x\r\nPos=-100,30\r\nColPosition=1,0\r\n");
    MainWindow &w = Started();
    EXPECT_EQ(w.width(), 447);  // never below the design minimum
    EXPECT_EQ(w.pos(), QPoint(30, -100));
    EXPECT_EQ(w.lvRes1->Header()->logicalIndex(0), 0);  // a short order is ignored
}

TEST_F(MainWindowTest, StartCheckAsksFirstWhenConfigured)
{
    WriteSettings("[Config]\r\nCheckInterval=7\r\nStartCheck=1\r\nStartCheckMsg=1\r\n");
    std::unique_ptr<BoxAnswers> answer;
    MainWindow &w = Started([&](MainWindow &m) {
        m.CanAsk = true;
        answer = std::make_unique<BoxAnswers>(QList<QMessageBox::StandardButton>{QMessageBox::No});
    });
    EXPECT_EQ(answer->Texts.value(0), QStringLiteral("端末の調査を今すぐ行いますか？"));
    EXPECT_EQ(answer->Icons.value(0), QMessageBox::Question);
    EXPECT_EQ(w.Engine->WatchMinutes, 0);
    EXPECT_FALSE(w.Engine->CheckedOnce);
}

TEST_F(MainWindowTest, StartCheckRunsAtOnceWhenNobodyCanBeAsked)
{
    WriteSettings("[Config]\r\nCheckInterval=7\r\nStartCheck=1\r\nStartCheckMsg=1\r\n");
    MainWindow &w = Started();
    EXPECT_TRUE(w.Engine->WatchMinutes == 7 || w.Engine->CheckedOnce);
}

}  // namespace

TEST_F(MainWindowTest, DefaultColumnWidthsFitTheirTextsAndAreNotStoredAsFitted)
{
    WatchListModel source;
    WatchEntry entry;
    entry.UserName = QStringLiteral("tanaka-the-operator");
    entry.ResourceName = QStringLiteral("FRONTDESK-PC-01");
    ASSERT_TRUE(AddEntry(entry, source));
    ASSERT_TRUE(SaveList(source, dir.path(QStringLiteral("Krovan.NT"))));
    MainWindow &w = Started();
    const QTreeView *view = w.lvRes1->ReportView();
    const QHeaderView *header = w.lvRes1->Header();
    const int user = WatchListModel::ColUserName;
    EXPECT_GE(header->sectionSize(user), view->fontMetrics().horizontalAdvance(entry.UserName));
    EXPECT_GE(header->sectionSize(WatchListModel::ColResourceName),
              view->fontMetrics().horizontalAdvance(entry.ResourceName));

    ServiceRunning = false;
    ASSERT_TRUE(w.close());
    // The defaults stay stored (those of a missing file), so the next run,
    // maybe with other fonts, fits them again.
    EXPECT_EQ(ReadBack().MainWnd.ColWidth, QStringLiteral("50,50,50,50,50,50,50,50,50,50,50,0"));
}

TEST_F(MainWindowTest, AColumnTheOperatorWidensStaysAsSetThroughAPassAndIsStored)
{
    MainWindow &w = Started();
    w.lvRes1->Header()->resizeSection(WatchListModel::ColUserName, 123);
    emit w.Engine->PassApplied();
    EXPECT_EQ(w.lvRes1->Header()->sectionSize(WatchListModel::ColUserName), 123);

    ServiceRunning = false;
    ASSERT_TRUE(w.close());
    const QString stored = ReadBack().MainWnd.ColWidth;
    EXPECT_TRUE(stored.startsWith(QStringLiteral("123,"))) << stored.toStdString();
}

TEST_F(MainWindowTest, ReadsInTheConsoleLanguage)
{
    const auto shownTexts = [this] {
        MainWindow &w = Started();
        QStringList shown;
        for (const QAction *menu : w.menuBar()->actions())
            shown << menu->text();
        shown << w.pbSearch->text() << w.Model->headerData(0, Qt::Horizontal).toString();
        fm.reset();
        return shown;
    };
    ASSERT_TRUE(UseConsoleLanguage(QStringLiteral("en")));
    const QStringList english = shownTexts();
    UseConsoleLanguage(QStringLiteral("ja"));
    EXPECT_EQ(english, (QStringList{QStringLiteral("&Window"), QStringLiteral("&Terminal"), QStringLiteral("&View"),
                                    QStringLiteral("&Help"), QStringLiteral("&Check"), QStringLiteral("User Name")}));
    EXPECT_EQ(shownTexts(), (QStringList{QStringLiteral("ｳｲﾝﾄﾞｳ(&F)"), QStringLiteral("端末(&S)"), QStringLiteral("表示(&V)"),
                                         QStringLiteral("ﾍﾙﾌﾟ(&H)"), QStringLiteral("調査(&R)"),
                                         QStringLiteral("ﾕｰｻﾞｰ名")}));
}
