#include "console/AccessListWindow.h"

#include "access/AccessCheck.h"
#include "config/Settings.h"
#include "console/Language.h"
#include "console/TreeListView.h"
#include "engine/WatchListModel.h"
#include "events/MessageQueue.h"
#include "events/Messenger.h"
#include "events/windows/MessageDialog.h"
#include "platform/MessageTransport.h"
#include "platform/Platform.h"
#include "process/ProcessFlags.h"
#include "support/FakeServerApi.h"
#include "support/WaitFor.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct NoTransport : MessageTransport {
    bool Available() override { return true; }
    bool Send(const QString &, const QString &, const QString &) override { return true; }
};

struct NoMailslot : MailslotTransport {
    bool Write(const QByteArray &, const QByteArray &) override { return false; }
};

AccessSession sessionWithOpenFile()
{
    AccessSession s{QStringLiteral("PC01"), QStringLiteral("00:10:00"), QStringLiteral("00:09:30"),
                    QStringLiteral("*tanaka"), true, true, {}};
    AccessConnection c{QStringLiteral("DATA"), QStringLiteral("/srv/data"), QStringLiteral("tanaka"), true, true, {}};
    c.Files.push_back({QStringLiteral("報告書\\案.txt"), true, true});
    s.Connections.push_back(c);
    return s;
}

class AccessListWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings = ProgramSettings();
        Settings.AccWnd.Size = QStringLiteral("E,E");
        Settings.AccWnd.Pos = QStringLiteral("E,E");
        Settings.AccWnd.ColWidth = QStringLiteral("80,120,60,70,50");
        WatchBusy = false;
        PlatformFamily = 2;
        messenger.Family = [] { return 2; };
    }

    // Level, image, caption and further columns of a row.
    static QStringList row(const TreeListView *view, int index)
    {
        QStringList all{QString::number(view->GetLevel(index)), QString::number(view->ImageIndex(index)),
                        view->Caption(index)};
        for (int c = 0; c < AccessListWindow::ColumnCount - 1; ++c)
            all << view->SubItem(index, c);
        return all;
    }

    NoTransport transport;
    NoMailslot mailslot;
    Messenger messenger{transport, mailslot, [] { return QStringLiteral("ME"); }};
    MessageQueue sends{messenger};
};

TEST_F(AccessListWindowTest, DesignTextsColumnsAndDefaults)
{
    AccessListWindow w;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Access List"));
    EXPECT_EQ(w.property("helpContext").toInt(), 50);
    EXPECT_EQ(w.parentWidget(), nullptr);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.pbGoMain->text(), QStringLiteral("監視ﾘｽﾄ(&S)"));
    EXPECT_EQ(w.pbMsg->text(), QStringLiteral("&Message..."));
    EXPECT_EQ(w.pbClose->text(), QStringLiteral("閉じる(&C)"));
    EXPECT_EQ(w.mnMsg->text(), QStringLiteral("メッセージ送信(&M)..."));
    EXPECT_EQ(w.mnMsg->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
    EXPECT_EQ(w.mnClose->text(), QStringLiteral("閉じる(&C)"));
    ASSERT_EQ(w.pmAccess->actions().size(), 3);
    EXPECT_TRUE(w.pmAccess->actions()[1]->isSeparator());

    QStringList header;
    for (int c = 0; c < AccessListWindow::ColumnCount; ++c)
        header << w.tlvSess->model()->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(header, (QStringList{QStringLiteral("端末"), QStringLiteral("ﾕｰｻﾞｰ名"), QStringLiteral("接続時間"),
                                          QStringLiteral("ｱｸｾｽ時間"), QStringLiteral("ﾒｯｾｰｼﾞ")}));
    // The stored default, not the design widths.
    QList<int> widths;
    for (int c = 0; c < AccessListWindow::ColumnCount; ++c)
        widths << w.tlvSess->header()->sectionSize(c);
    EXPECT_EQ(widths, (QList<int>{80, 120, 60, 70, 50}));
    // Nothing stored: the first opening's size (see below), never below the
    // designed one.
    EXPECT_EQ(w.size(), QSize(437, 300));
    EXPECT_EQ(w.minimumSize(), QSize(437, 123));
    EXPECT_FALSE(w.pbMsg->isEnabled());
    ASSERT_EQ(w.tlvSess->Images().size(), 3);
    for (const QPixmap &image : w.tlvSess->Images())
        EXPECT_EQ(image.size(), QSize(16, 16));
}

// Opened for the first time (nothing stored, as in a new Krovan.ini): not
// the designed 437 x 123 in the corner with its columns cut, but wide enough
// for every column and centred (on the screen when no main window shows).
TEST_F(AccessListWindowTest, AFirstOpeningShowsEveryColumnCentred)
{
    AccessListWindow w;
    int columns = 0;
    for (int c = 0; c < AccessListWindow::ColumnCount; ++c)
        columns += w.tlvSess->header()->sectionSize(c);
    EXPECT_GT(w.width(), columns);
    EXPECT_GT(w.height(), AccessListWindow::DesignHeight);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(qAbs(w.geometry().center().x() - area.center().x()), 1);
    EXPECT_LE(qAbs(w.geometry().center().y() - area.center().y()), 1);
}

TEST_F(AccessListWindowTest, StoredGeometryWithBadItemsAndTheOffScreenRule)
{
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    {
        Settings.AccWnd.Size = QStringLiteral("x,300");
        Settings.AccWnd.Pos = QStringLiteral("-500,10");
        Settings.AccWnd.ColWidth = QStringLiteral("100,,abc");
        AccessListWindow w;
        EXPECT_EQ(w.size(), QSize(437, 300));
        // Above the screen: top back to 0, left kept.
        EXPECT_EQ(w.pos(), QPoint(10, 0));
        QList<int> widths;
        for (int c = 0; c < AccessListWindow::ColumnCount; ++c)
            widths << w.tlvSess->header()->sectionSize(c);
        EXPECT_EQ(widths, (QList<int>{100, 60, 60, 60, 60}));
    }
    {
        Settings.AccWnd.Size = QStringLiteral("600,200");
        Settings.AccWnd.Pos = QStringLiteral("%1,%2").arg(screen.height() + 1).arg(-599);
        AccessListWindow w;
        EXPECT_EQ(w.size(), QSize(600, 200));
        // Left -599 still leaves a pixel on the screen; top below it does not.
        EXPECT_EQ(w.pos(), QPoint(-599, 0));
    }
    {
        Settings.AccWnd.Pos = QStringLiteral("50,%1").arg(screen.width() + 1);
        Settings.AccWnd.Size = QStringLiteral("10,10");
        AccessListWindow w;
        EXPECT_EQ(w.pos(), QPoint(0, 50));
        // Never smaller than designed.
        EXPECT_EQ(w.size(), QSize(437, 123));
    }
}

TEST_F(AccessListWindowTest, ColumnsOpenWideEnoughForTheirEnglishCaptions)
{
    ASSERT_TRUE(UseConsoleLanguage(QStringLiteral("en")));
    struct BackToJapanese {
        ~BackToJapanese() { UseConsoleLanguage(QStringLiteral("ja")); }
    } restore;
    Settings.AccWnd.ColWidth = QStringLiteral("80,120,60,70,0");
    AccessListWindow w;
    for (int c = 0; c < AccessListWindow::ColumnCount - 1; ++c)
        EXPECT_GE(w.tlvSess->header()->sectionSize(c), w.tlvSess->header()->sectionSizeHint(c)) << c;
    // A column the operator hid stays hidden.
    EXPECT_EQ(w.tlvSess->header()->sectionSize(AccessListWindow::ColumnCount - 1), 0);
}

TEST_F(AccessListWindowTest, ButtonsKeepTheirDistanceFromTheRightEdge)
{
    AccessListWindow w;
    w.show();
    const int msgGap = w.width() - w.pbMsg->x();
    const int closeGap = w.width() - w.pbClose->x();
    EXPECT_GT(w.pbMsg->x(), w.pbGoMain->x() + w.pbGoMain->width());
    EXPECT_LE(w.pbClose->x() + w.pbClose->width(), w.width());
    w.resize(700, 300);
    QApplication::processEvents();
    EXPECT_EQ(w.width() - w.pbMsg->x(), msgGap);
    EXPECT_EQ(w.width() - w.pbClose->x(), closeGap);
    EXPECT_EQ(w.pbGoMain->x(), 4);
    w.resize(100, 50);
    QApplication::processEvents();
    EXPECT_EQ(w.size(), QSize(437, 123));
}

TEST_F(AccessListWindowTest, SessionRowsAndTheMessageButton)
{
    AccessListWindow w;
    w.AddSessionRows(sessionWithOpenFile());
    ASSERT_EQ(w.tlvSess->Count(), 3);
    EXPECT_EQ(row(w.tlvSess, 0), (QStringList{"0", "0", "PC01", "*tanaka", "00:10:00", "00:09:30", ""}));
    EXPECT_EQ(row(w.tlvSess, 1), (QStringList{"1", "1", "DATA", "tanaka", "", "", ""}));
    EXPECT_EQ(row(w.tlvSess, 2), (QStringList{"2", "2", "報告書\\案.txt", "", "", "", ""}));

    // The same terminal again adds below its row, not a second terminal.
    AccessSession again = sessionWithOpenFile();
    again.Connections = {{QStringLiteral("IPC$"), {}, QStringLiteral("tanaka"), true, true, {}}};
    w.AddSessionRows(again);
    ASSERT_EQ(w.tlvSess->Count(), 4);
    EXPECT_EQ(row(w.tlvSess, 3), (QStringList{"1", "1", "IPC$", "tanaka", "", "", ""}));

    EXPECT_EQ(w.SelectedIndex(), -1);
    EXPECT_FALSE(w.pbMsg->isEnabled());
    const std::vector<bool> enabled{true, false, false, false};
    for (int row = 0; row < 4; ++row) {
        w.SelectRow(row);
        EXPECT_EQ(w.SelectedIndex(), row);
        EXPECT_EQ(w.pbMsg->isEnabled(), enabled[size_t(row)]) << row;
    }
    // A refill that selects a share row by index disables the button.
    w.SelectRow(0);
    AccessRowList rows;
    ::AddSessionRows(rows, sessionWithOpenFile(), 2);
    w.SetRows(rows, 1);
    EXPECT_EQ(w.SelectedIndex(), 1);
    EXPECT_FALSE(w.pbMsg->isEnabled());
    w.SetRows({}, -1);
    EXPECT_EQ(w.SelectedIndex(), -1);
    EXPECT_EQ(w.tlvSess->Count(), 0);
}

TEST_F(AccessListWindowTest, MessageCommandAddressesTheSelectedRow)
{
    AccessListWindow w;
    w.Sender = &sends;
    w.AddSessionRows(sessionWithOpenFile());
    Settings.Messenger.SendMessage = QStringLiteral("こんにちは");

    // Nothing selected: no dialog.
    bool opened = false;
    QTimer::singleShot(0, [&] { opened = MessageDialog::Current() != nullptr; });
    w.pbMsgClick();
    QApplication::processEvents();
    EXPECT_FALSE(opened);

    struct Seen {
        QString title;
        QStringList recipients;
        QString text;
        bool busy = false;
    };
    const auto openFor = [&](QAction *orButton) {
        Seen seen;
        QTimer::singleShot(0, [&] {
            if (MessageDialog *d = MessageDialog::Current()) {
                seen = {d->windowTitle(), d->Recipients, d->MessageText(), WatchBusy};
                d->SetMessageText(QStringLiteral("変更"));
                d->reject();
            }
        });
        if (orButton)
            orButton->trigger();
        else
            w.pbMsg->click();
        return seen;
    };

    w.SelectRow(0);
    Seen seen = openFor(nullptr);
    EXPECT_EQ(seen.title, QStringLiteral("Send Message to PC01"));
    EXPECT_EQ(seen.recipients, QStringList{QStringLiteral("PC01")});
    EXPECT_EQ(seen.text, QStringLiteral("こんにちは"));
    EXPECT_TRUE(seen.busy);
    EXPECT_FALSE(WatchBusy);
    // Kept however the dialog closed.
    EXPECT_EQ(Settings.Messenger.SendMessage, QStringLiteral("変更"));

    // The pop-up command does not look at the button: a share row is the
    // recipient then.
    w.SelectRow(1);
    ASSERT_FALSE(w.pbMsg->isEnabled());
    seen = openFor(w.mnMsg);
    EXPECT_EQ(seen.recipients, QStringList{QStringLiteral("DATA")});
    EXPECT_EQ(seen.title, QStringLiteral("Send Message to DATA"));
}

TEST_F(AccessListWindowTest, CloseSavesTheGeometryAndKeepsTheWindow)
{
    auto *w = new AccessListWindow;
    QPointer<AccessListWindow> alive(w);
    w->ShowAccessList(false);
    w->resize(520, 240);
    w->move(30, 40);
    w->tlvSess->header()->resizeSection(2, 75);
    QApplication::processEvents();

    w->pbClose->click();
    QApplication::processEvents();
    ASSERT_TRUE(alive);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(Settings.AccWnd.Size, QStringLiteral("520,240"));
    EXPECT_EQ(Settings.AccWnd.Pos, QStringLiteral("%1,%2").arg(w->y()).arg(w->x()));
    EXPECT_EQ(Settings.AccWnd.ColWidth, QStringLiteral("80,120,75,70,50"));

    // The pop-up's close does the same, and the window comes back.
    w->ShowAccessList(false);
    EXPECT_TRUE(w->isVisible());
    w->resize(480, 200);
    w->mnClose->trigger();
    QApplication::processEvents();
    ASSERT_TRUE(alive);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(Settings.AccWnd.Size, QStringLiteral("480,200"));
    delete w;
}

TEST_F(AccessListWindowTest, MinimisingFollowsTheScreenMode)
{
    for (int mode : {0, 1, 2, 3}) {
        Settings.Krovan.ScreenMode = mode;
        AccessListWindow w;
        w.ShowAccessList(true);
        w.showMinimized();
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
        const bool taskbar = (mode & 1) != 0;
        EXPECT_EQ(w.isVisible(), taskbar) << mode;
        EXPECT_TRUE(w.isMinimized()) << mode;
        // Shown again by the command, restored.
        w.ShowAccessList(false);
        QApplication::processEvents();
        EXPECT_TRUE(w.isVisible()) << mode;
        EXPECT_FALSE(w.isMinimized()) << mode;
        EXPECT_FALSE(w.OpenedAutomatically());
    }
}

TEST_F(AccessListWindowTest, AccessCheckOpensAndClosesOnlyAnAutomaticList)
{
    ServiceRunning = true;
    Settings.Access.CheckInterval = 0;
    Settings.Access.CheckLevel = 2;
    Settings.Access.ReportLevel = 2;
    Settings.Access.OpenAccessList = true;
    Settings.Access.AccessListAutoClose = true;
    FakeServerApi server;
    server.SessionTable = {{QStringLiteral("PC01"), QStringLiteral("tanaka"), 60, 0}};
    server.ConnectionTable[QStringLiteral("PC01")] = {{QStringLiteral("DATA"), QStringLiteral("tanaka")}};
    server.ShareTable[QStringLiteral("DATA")] = QStringLiteral("/srv/data");
    server.FileTable = {{QStringLiteral("/srv/data/a.txt"), QStringLiteral("tanaka"), QStringLiteral("DATA")}};
    WatchListModel watchRows;

    AccessListWindow w;
    AccessCheck check;
    check.Server = &server;
    check.Rows = &watchRows;
    check.ListView = &w;
    check.Family = [] { return 2; };
    check.SendMessenger = [](const QString &, const QString &, std::function<void(bool)> done) { done(true); };
    // The main window's part of the access event.
    check.RaiseAccessEvent = [&](const QStringList &) {
        if (Settings.Access.OpenAccessList && !w.IsShown())
            w.ShowAccessList(true);
    };
    ASSERT_TRUE(check.LoadAccessLibrary(2));

    check.AccessTick();
    ASSERT_TRUE(WaitFor([&] { return !check.ScanRunning(); }));
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.OpenedAutomatically());
    ASSERT_EQ(w.Rows().size(), 3u);
    EXPECT_EQ(w.tlvSess->Caption(2), QStringLiteral("a.txt"));

    server.SessionTable.clear();
    check.AccessTick();
    ASSERT_TRUE(WaitFor([&] { return !check.ScanRunning(); }));
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.tlvSess->Count(), 0);
    // The automatic close saved the geometry like any close.
    EXPECT_EQ(Settings.AccWnd.Size, QStringLiteral("437,300"));

    // Opened by the operator: stays open with an empty list.
    w.ShowAccessList(false);
    check.AccessTick();
    ASSERT_TRUE(WaitFor([&] { return !check.ScanRunning(); }));
    EXPECT_TRUE(w.isVisible());
    ServiceRunning = false;
}

}  // namespace

TEST_F(AccessListWindowTest, AScanThatSeesNothingSaysWhyUntilItWorks)
{
    AccessListWindow session;
    session.show();
    session.ShowScanFailure(QStringLiteral("smbstatus only works as root"));
    ASSERT_NE(session.findChild<QStatusBar *>(), nullptr);
    EXPECT_TRUE(session.findChild<QStatusBar *>()->isVisible());
    EXPECT_EQ(session.findChild<QStatusBar *>()->currentMessage(), QStringLiteral("smbstatus only works as root"));
    session.ShowScanFailure({});
    EXPECT_FALSE(session.findChild<QStatusBar *>()->isVisible());
}
