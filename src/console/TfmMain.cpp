#include "console/TfmMain.h"

#include "config/Platform.h"
#include "config/ProcessFlags.h"
#include "config/Settings.h"
#include "console/TfmSession.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "platform/SystemShutdown.h"
#include "probe/TIcmp.h"
#include "service/StartupRules.h"
#include "service/Tdm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <QTreeView>

TfmMain *fmMain = nullptr;

namespace {

constexpr int DesignWidth = 640;
constexpr int DesignHeight = 400;
constexpr int DesignTop = 100;
constexpr int DesignLeft = 100;
constexpr int MinWidth = 447;
constexpr int MinHeight = 160;

const QString StopThroughServiceText = QStringLiteral("サービスより停止してください。");

}  // namespace

TfmMain::TfmMain(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("fmMain"));
    ShutdownAllowed = true;
    OldShell = false;
    WorkerRunning = false;

    resize(DesignWidth, DesignHeight);
    move(DesignLeft, DesignTop);
    setMinimumSize(MinWidth, MinHeight);
    designWidth_ = DesignWidth;
    designHeight_ = DesignHeight;
    designTop_ = DesignTop;
    designLeft_ = DesignLeft;

    CanAsk = QGuiApplication::platformName() != QLatin1String("offscreen");
    TrayAvailable = QSystemTrayIcon::isSystemTrayAvailable();

    // Naming the platform also sets the family that picks the list file.
    setWindowTitle(AppTitle + QStringLiteral(" on [") + PlatformName() + QLatin1Char(']'));

    ListFilePath = ProgramDir + ListFileName(PlatformFamily);

    LoadSettings(Settings, ProgramDir, QCoreApplication::arguments().mid(1), [] { return dm ? dm->XmlCheck() : true; });

    Model = new WatchListModel(this);
    lvRes1 = new QTreeView(this);
    lvRes1->setObjectName(QStringLiteral("lvRes1"));
    lvRes1->setModel(Model);
    lvRes1->setRootIsDecorated(false);
    lvRes1->setUniformRowHeights(true);
    lvRes1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvRes1->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvRes1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvRes1->header()->setSectionsMovable(true);
    lvRes1->header()->setStretchLastSection(false);
    // Stored widths are the operator's own, however narrow.
    lvRes1->header()->setMinimumSectionSize(0);
    setCentralWidget(lvRes1);

    PlaceWindow();
    RestoreColumns();

    // Pending with the console: the image lists and the access-enumeration
    // back end are set up here once they exist.

    listWidth_ = lvRes1->width();

    if (!TrayAvailable)
        Settings.Krovan.ScreenMode = 1;

    if (PlatformFamily == 2) {
        if (OldShell)
            Settings.Krovan.ScreenMode = 1;
        if (!dm || !dm->Shutdown().CanPowerOff()) {
            ShutdownAllowed = false;
            if (Settings.AllLogout.Action == 2)
                Settings.AllLogout.Action = 1;
        }
    }

    // The window starts minimised; it is shown (or not) by the deferred start.
    setWindowState(windowState() | Qt::WindowMinimized);

    if (!Settings.Background.File.isEmpty() && !Background.load(Settings.Background.File, "BMP"))
        Settings.Background.File.clear();

    tmWatch = new QTimer(this);
    tmWatch->setObjectName(QStringLiteral("tmWatch"));
    tmWatch->setInterval(60000);
    connect(tmWatch, &QTimer::timeout, this, &TfmMain::WatchTick);
    tmAccess = new QTimer(this);
    tmAccess->setObjectName(QStringLiteral("tmAccess"));
    tmAccess->setInterval(1000);
    connect(tmAccess, &QTimer::timeout, this, &TfmMain::AccessTick);

    QMetaObject::invokeMethod(this, &TfmMain::DeferredStart, Qt::QueuedConnection);
}

TfmMain::~TfmMain() = default;

void TfmMain::PlaceWindow()
{
    auto [width, height] = ReadIntegerPair(Settings.MainWnd.Size, designWidth_, designHeight_);
    auto [top, left] = ReadIntegerPair(Settings.MainWnd.Pos, designTop_, designLeft_);
    width = qMax(width, MinWidth);
    height = qMax(height, MinHeight);
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->geometry().size() : QSize(width, height);
    top = CorrectWindowOrigin(top, height, screenSize.height());
    left = CorrectWindowOrigin(left, width, screenSize.width());
    resize(width, height);
    move(left, top);
}

void TfmMain::RestoreColumns()
{
    QHeaderView *header = lvRes1->header();
    const QList<qint32> order = ReadColumnOrder(Settings.MainWnd.ColPosition, MainColumnCount);
    for (int position = 0; position < order.size(); ++position)
        header->moveSection(header->visualIndex(order[position]), position);

    const QList<qint32> widths = MainColumnWidths(Settings.MainWnd.ColWidth);
    for (int position = 0; position < widths.size() && position < header->count(); ++position) {
        const int column = header->logicalIndex(position);
        if (widths[position] == 0) {
            header->setSectionHidden(column, true);
        } else {
            header->setSectionHidden(column, false);
            header->resizeSection(column, widths[position]);
        }
    }
}

void TfmMain::DeferredStart()
{
    // The logon ended before the start finished: the window has closed.
    if (Ending)
        return;
    // Pending with the console: the view style from [Krovan] ListMode and
    // the row commands, disabled until a row is selected.
    LoadList(*Model, ListFilePath);
    WatchBusy = false;

    if (Settings.Config.StartCheck) {
        bool run = true;
        if (Settings.Config.StartCheckMsg && CanAsk) {
            QMessageBox box(QMessageBox::Question, AppTitle, QStringLiteral("端末の調査を今すぐ行いますか？"),
                            QMessageBox::Yes | QMessageBox::No, this);
            box.setWindowFlag(Qt::WindowStaysOnTopHint);
            run = box.exec() != QMessageBox::No;
        }
        if (run) {
            WatchMinutes = Settings.Config.CheckInterval;
            WatchTick();
        }
    }

    // Mode 2 keeps only the tray icon: a minimised window stays hidden.
    if (!(isMinimized() && (Settings.Krovan.ScreenMode & 1) == 0))
        show();

    tmWatch->start();
    tmAccess->start();
}

void TfmMain::WatchTick()
{
    if (!ServiceRunning || WatchBusy)
        return;
    // Pending with the watch engine: the minute count and the pass.
}

void TfmMain::AccessTick()
{
    if (!ServiceRunning || WatchBusy)
        return;
    // Pending with access monitoring: the access count and the check.
}

void TfmMain::QueryEndSession()
{
    Ending = true;
    close();
}

void TfmMain::KeepWindowSettings()
{
    Settings.MainWnd.Size = JoinIntegerList({width(), height()});
    Settings.MainWnd.Pos = JoinIntegerList({y(), x()});
    const QHeaderView *header = lvRes1->header();
    QList<qint32> widths, order;
    for (int position = 0; position < header->count(); ++position) {
        const int column = header->logicalIndex(position);
        widths << (header->isSectionHidden(column) ? 0 : header->sectionSize(column));
        order << column;
    }
    Settings.MainWnd.ColWidth = JoinIntegerList(widths);
    Settings.MainWnd.ColPosition = JoinIntegerList(order);
}

void TfmMain::closeEvent(QCloseEvent *event)
{
    if (ServiceRunning && !Ending) {
        event->ignore();
        QMessageBox box(QMessageBox::Warning, AppTitle, StopThroughServiceText, QMessageBox::Ok, this);
        box.exec();
        return;
    }
    Ending = true;
    KeepWindowSettings();

    if (Worker) {
        Worker->requestInterruption();
        // The worker's end handler runs on this thread and clears WatchBusy.
        while (WatchBusy) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
            QThread::msleep(2);
        }
    }

    if (dm && dm->Icmp && dm->Icmp->ActiveFlag())
        dm->Icmp->Active(false);

    for (int kind = 0; kind < 4; ++kind) {
        if (NoticeExists[kind] && NoticeWindows[kind])
            NoticeWindows[kind]->close();
    }
    if (fmSession && fmSession->isVisible())
        fmSession->close();

    SaveSettings(Settings);

    tmAccess->stop();
    event->accept();
    emit Closed();
}
