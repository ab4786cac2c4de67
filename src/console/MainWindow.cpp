#include "console/MainWindow.h"

#include "access/AccessCheck.h"
#include "config/SettingValues.h"
#include "config/Settings.h"
#include "console/AccessListWindow.h"
#include "console/BackgroundPicture.h"
#include "console/ConsoleEvents.h"
#include "console/ConsoleImages.h"
#include "console/HelpKeyFilter.h"
#include "console/HelpPages.h"
#include "console/ListColumns.h"
#include "console/ListEditor.h"
#include "console/ListEditorRules.h"
#include "console/MainCommands.h"
#include "console/PropertiesDialog.h"
#include "console/SessionListProxy.h"
#include "console/SettingsDialog.h"
#include "console/WatchListView.h"
#include "engine/WatchEngine.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "events/windows/NoticeTable.h"
#include "platform/Platform.h"
#include "process/ProcessFlags.h"
#include "service/SharedServices.h"
#include "service/StartupRules.h"
#include "service/WatchHost.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <cerrno>

MainWindow *mainWindow = nullptr;

namespace {

constexpr int DesignWidth = 640;
constexpr int DesignHeight = 400;
constexpr int DesignTop = 100;
constexpr int DesignLeft = 100;
constexpr int MinWidth = 447;
constexpr int MinHeight = 160;

const char *const StopThroughServiceText = QT_TRANSLATE_NOOP("MainWindow", "サービスより停止してください。");
const char *const CannotStartText = QT_TRANSLATE_NOOP("MainWindow", "起動できません！");
const char *const SaveQuestionText = QT_TRANSLATE_NOOP("MainWindow", "リストを保存します。\nよろしいですか？");
const char *const CheckCaption = QT_TRANSLATE_NOOP("MainWindow", "調査(&R)");
const char *const StopCaption = QT_TRANSLATE_NOOP("MainWindow", "中止(&D)");

constexpr int WarningIcon = 2;
constexpr int ErrorIcon = 3;

SessionListProxy SessionList;

} // namespace

// ---------------------------------------------------------------- rules

int NormaliseScreenMode(int mode)
{
    return mode >= StayMode::TaskbarIcon && mode <= StayMode::Both ? mode : StayMode::TaskbarIcon;
}

int ListModeStyle(int listMode)
{
    return listMode >= ListStyle::LargeIcons && listMode <= ListStyle::Details ? listMode - ListStyle::LargeIcons : 0;
}

// ---------------------------------------------------------------- construction

MainWindow::MainWindow(WatchHost *host, QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("fmMain"));
    if (!host) {
        ownHost_ = std::make_unique<WatchHost>(QCoreApplication::arguments().mid(1));
        host = ownHost_.get();
    }
    Host = host;
    Host->BeforeKeepSettings = [window = QPointer<MainWindow>(this)] {
        if (window)
            window->KeepWindowSettings();
    };

    resize(DesignWidth, DesignHeight);
    move(DesignLeft, DesignTop);
    setMinimumSize(MinWidth, MinHeight);

    CanAsk = QGuiApplication::platformName() != QLatin1String("offscreen");
    TrayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    OpenUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    setProperty("helpContext", int(HelpMain));
    Help = new HelpKeyFilter([this](const QUrl &url) { return OpenUrl && OpenUrl(url); }, this);

    OldShell = Host->Platform.OldShell;
    setWindowTitle(AppTitle + QStringLiteral(" on [") + Host->Platform.Name + QLatin1Char(']'));
    ListFilePath = Host->ListFilePath;

    Net = &Host->Net();
    Actions = &Host->Actions();
    Sender = &Host->Sends();
    Model = Host->Model;
    PassProbe = Host->PassProbe;
    Engine = Host->Engine;
    Access = Host->Access;
    events_ = std::make_unique<ConsoleEvents>(*Actions, *Sender, this);
    Events = events_.get();
    Host->AttachOutlets(Events, Events);

    for (int column = 0; column < WatchListModel::ColumnCount; ++column)
        Model->setHeaderData(column, Qt::Horizontal, ShownWatchListText(WatchListCaptions.value(column)));
    BuildList();
    BuildButtons();

    menus_ = std::make_unique<MainCommands>(*this);
    Tray = new MainTray(this, *Engine, *Model);
    connect(Tray, &MainTray::ShowRequested, this, &MainWindow::ShowMain);
    connect(Tray, &MainTray::SessionRequested, this, [this] {
        if (pbSession->isEnabled())
            pbSessionClick();
    });
    Rows = std::make_unique<RowCommands>(*Model, *lvRes1, *Engine, *Net, *Sender, this);
    Rows->OpenUrl = [this](const QUrl &url) { return OpenUrl && OpenUrl(url); };
    Rows->Searching = [this](const QString &caption) {
        if (caption.isEmpty()) {
            Tray->SetTrayImage(ConsoleImages::WindowNormal);
            statusBar()->clearMessage();
        } else {
            statusBar()->showMessage(caption);
            Tray->SetTrayImage(ConsoleImages::WindowBusy);
        }
    };
    statusBar()->setSizeGripEnabled(true);

    PlaceWindow();
    Columns = new ListColumns(lvRes1);
    Columns->Restore();

    LoadImages();
    WireEngine();

    Access->ListView = &SessionList;

    Settings.Krovan.ScreenMode = NormaliseScreenMode(Settings.Krovan.ScreenMode);
    // Forced for this run only: the stored choice is saved again.
    if (!TrayAvailable)
        Settings.RunOnly.ScreenMode.Force(Settings.Krovan.ScreenMode, 1);

    if (PlatformFamily == LinuxFamily && OldShell)
        Settings.RunOnly.ScreenMode.Force(Settings.Krovan.ScreenMode, 1);
    // Without a notification area a tray mode would leave no way back to
    // a minimised window.
    if (!TrayAvailable || OldShell) {
        mnStay[1]->setEnabled(false);
        mnStay[2]->setEnabled(false);
    }

    SetStayMode(Settings.Krovan.ScreenMode);
    ApplyDisableClose();
    // The window starts minimised; it is shown (or not) by the deferred start.
    setWindowState(windowState() | Qt::WindowMinimized);

    ListBackground->Transparent = mnBackTransparent;
    ListBackground->Tile = mnTile;
    ListBackground->Warn = [this](const QString &text) { Warn(text); };
    ListBackground->Ask = [this](const QString &text) { return Ask(text); };
    ListBackground->Load();
    ApplyFixIcon();

    QMetaObject::invokeMethod(this, &MainWindow::DeferredStart, Qt::QueuedConnection);
}

MainWindow::~MainWindow()
{
    // Notices owned by this window close after its menus are gone.
    disconnect(&NoticeWindows, nullptr, Tray, nullptr);
    // A pass still running stops before the outlets it calls go away.
    Host->DetachOutlets();
    if (Access->ListView == &SessionList)
        Access->ListView = nullptr;
}

void MainWindow::BuildList()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    lvRes1 = new WatchListView(central);
    lvRes1->setObjectName(QStringLiteral("lvRes1"));
    lvRes1->SetModel(Model);
    lvRes1->Header()->setMinimumSectionSize(0);
    layout->addWidget(lvRes1, 1);

    ListBackground = new BackgroundPicture(lvRes1, this);
    ListBackground->setObjectName(QStringLiteral("ListBackground"));
    for (QAbstractItemView *view : {static_cast<QAbstractItemView *>(lvRes1->IconView()),
                                    static_cast<QAbstractItemView *>(lvRes1->ReportView())}) {
        view->viewport()->installEventFilter(this);
        view->setMouseTracking(true);
    }

    connect(lvRes1, &DragDropListView::Clicked, this, &MainWindow::UpdateRowCommands);
    connect(lvRes1, &DragDropListView::SelectionChanged, this, &MainWindow::UpdateRowCommands);
    connect(lvRes1, &DragDropListView::DoubleClicked, this, &MainWindow::ListDoubleClick);
    connect(lvRes1, &DragDropListView::ContextMenuRequested, this, &MainWindow::ListContextMenu);
    connect(lvRes1, &DragDropListView::HeaderEndDrag, this, [this] { lvRes1->CurrentView()->viewport()->update(); });

    setCentralWidget(central);
}

void MainWindow::BuildButtons()
{
    auto *panel = new QWidget(centralWidget());
    panel->setObjectName(QStringLiteral("pnlButtons"));
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(4, 2, 4, 2);
    auto button = [&](const char *name, const QString &caption, const QString &hint) {
        auto *b = new QPushButton(caption, panel);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(hint);
        b->setStatusTip(hint);
        b->setAutoDefault(false);
        row->addWidget(b);
        return b;
    };
    pbSetup = button("pbSetup", tr("ﾘｽﾄ編集(&L).."), tr("監視端末の編集を行います。"));
    pbSession = button("pbSession", tr("ｱｸｾｽﾘｽﾄ(&A)"), tr("この端末にｱｸｾｽしている端末の一覧を表示します。"));
    pbConfig = button("pbConfig", tr("設定(&C)..."), tr("設定の編集を行います。"));
    pbSearch = button("pbSearch", tr(CheckCaption), tr("端末の調査を今すぐ行います。"));
    row->addStretch(1);
    pbMin = button("pbMin", tr("最小化(&E)"), tr("Corvaneを終了します。"));
    static_cast<QVBoxLayout *>(centralWidget()->layout())->addWidget(panel);

    connect(pbSetup, &QPushButton::clicked, this, &MainWindow::pbSetupClick);
    connect(pbSession, &QPushButton::clicked, this, &MainWindow::pbSessionClick);
    connect(pbConfig, &QPushButton::clicked, this, &MainWindow::pbConfigClick);
    connect(pbSearch, &QPushButton::clicked, this, &MainWindow::pbSearchClick);
    connect(pbMin, &QPushButton::clicked, this, &MainWindow::pbMinClick);
}

void MainWindow::WireEngine()
{
    Events->IconAlertHook = [this](int seconds) { Tray->IconAlert(seconds); };
    Events->NoticeItemHook = [this](NoticeKind kind) { Tray->UpdateNoticeItem(kind); };
    Events->OpenAccessListHook = [this] { pbSessionClick(); };
    Events->OpenAccessListAutomaticallyHook = [] {
        if (accessListWindow && !accessListWindow->isVisible())
            accessListWindow->ShowAccessList(true);
    };

    connect(Engine, &WatchEngine::LockConsole, this, [this] {
        pbSearch->setText(tr(StopCaption));
        pbSetup->setEnabled(false);
        pbConfig->setEnabled(false);
        mnEdit->setEnabled(false);
        pmCheck->setEnabled(false);
        if (Settings.Krovan.ListMode == ListStyle::Details)
            lvRes1->CanSort = false;
        repaint();
    });
    connect(Engine, &WatchEngine::UnlockConsole, this, [this] {
        pbSearch->setText(tr(CheckCaption));
        pbSetup->setEnabled(true);
        pbConfig->setEnabled(true);
        mnEdit->setEnabled(true);
        pmCheck->setEnabled(true);
        lvRes1->CanSort = true;
    });
    connect(Engine, &WatchEngine::BusyIcon, this,
            [this](bool busy) { Tray->SetTrayImage(busy ? ConsoleImages::WindowBusy : ConsoleImages::WindowNormal); });
    connect(Engine, &WatchEngine::StatusBarText, this, [this](const QString &text) { statusBar()->showMessage(text); });
    connect(Engine, &WatchEngine::ApplyFixIcon, this, &MainWindow::ApplyFixIcon);
    connect(Engine, &WatchEngine::CancelIconDrag, lvRes1, &DragDropListView::CancelDrag);
    connect(Engine, &WatchEngine::PassApplied, this, &MainWindow::UpdateRowCommands);
    connect(Engine, &WatchEngine::PassApplied, Columns, &ListColumns::FitDefaults);
    // A pass changes the names whose rows blink.
    connect(Engine, &WatchEngine::PassApplied, Tray, &MainTray::WakeIconAlert);
    connect(Engine, &WatchEngine::IconAlertRaised, Tray, &MainTray::WakeIconAlert);
}

void MainWindow::LoadImages()
{
    SharedImages().Load(Settings.Krovan.IconImageType, Settings.Krovan.OffIconImageType, Settings.Config.SmallIcon);
    lvRes1->SetSmallImages(SharedImages().Small());
    lvRes1->SetLargeImages(SharedImages().Large());
    setWindowIcon(SharedImages().WindowIcon(ConsoleImages::WindowNormal));
}

void MainWindow::PlaceWindow()
{
    auto [width, height] = ReadIntegerPair(Settings.MainWnd.Size, DesignWidth, DesignHeight);
    auto [top, left] = ReadIntegerPair(Settings.MainWnd.Pos, DesignTop, DesignLeft);
    width = qMax(width, MinWidth);
    height = qMax(height, MinHeight);
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->geometry().size() : QSize(width, height);
    const int storedTop = top, storedLeft = left;
    top = CorrectWindowOrigin(top, height, screenSize.height());
    left = CorrectWindowOrigin(left, width, screenSize.width());
    // A smaller screen (a run without a display) moves the window for this
    // run; unless the operator moves it, the stored place is saved again.
    if (top != storedTop || left != storedLeft)
        Settings.RunOnly.MainPos.Force(Settings.MainWnd.Pos, JoinIntegerList({top, left}));
    resize(width, height);
    move(left, top);
}

void MainWindow::DeferredStart()
{
    // The logon ended before the start finished: the window has closed.
    if (Engine->Ending)
        return;
    if (accessListWindow) {
        accessListWindow->Sender = Sender;
        accessListWindow->ShowMain = [this] { ShowMain(); };
    }
    ApplyListMode();
    Host->LoadList();
    Columns->FitDefaults();
    UpdateRowCommands();

    auto ask = [this] {
        QMessageBox box(QMessageBox::Question, AppTitle, tr("端末の調査を今すぐ行いますか？"),
                        QMessageBox::Yes | QMessageBox::No, this);
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
        return box.exec() != QMessageBox::No;
    };
    // The logon may have ended while the question was open: the window has
    // closed and nothing more may start.
    if (!Host->FirstPass(CanAsk ? std::function<bool()>(ask) : std::function<bool()>()))
        return;

    // Mode 2 keeps only the tray icon: a minimised window stays hidden.
    if (!(isMinimized() && (Settings.Krovan.ScreenMode & StayMode::TaskbarBit) == 0))
        show();

    Host->StartTimers();
    Tray->WakeIconAlert();
    if (CanAsk)
        for (const QString &warning : Host->StartWarnings())
            Warn(warning);
}

// ---------------------------------------------------------------- enabling

void MainWindow::EnableConsole(bool on)
{
    for (QWidget *w : {static_cast<QWidget *>(pbSetup), static_cast<QWidget *>(pbSession),
                       static_cast<QWidget *>(pbConfig), static_cast<QWidget *>(pbSearch),
                       static_cast<QWidget *>(pbMin)})
        w->setEnabled(on);
    for (QMenu *m : {mnWindow, mnTerminal, mnView})
        m->menuAction()->setEnabled(on);
    Tray->piSession->setEnabled(on);
}

void MainWindow::UpdateRowCommands()
{
    menus_->Enable(Rows->State());
}

void MainWindow::ListContextMenu(const QPoint &globalPos)
{
    LastRightClick = lvRes1->CurrentView()->viewport()->mapFromGlobal(globalPos);
    UpdateRowCommands();
    pmProp->popup(globalPos);
}

// ---------------------------------------------------------------- messages

void MainWindow::Warn(const QString &text, int icon)
{
    QMessageBox box(icon == ErrorIcon ? QMessageBox::Critical : QMessageBox::Warning, AppTitle, text,
                    QMessageBox::Ok, this);
    box.exec();
}

void MainWindow::Report(const QString &warning)
{
    if (!warning.isEmpty())
        Warn(warning);
}

bool MainWindow::Ask(const QString &text)
{
    // Nobody answers on the offscreen platform: the command goes ahead.
    if (!CanAsk)
        return true;
    QMessageBox box(QMessageBox::Question, AppTitle, text, QMessageBox::Yes | QMessageBox::No, this);
    return box.exec() == QMessageBox::Yes;
}

// ---------------------------------------------------------------- modes

void MainWindow::SetStayMode(int mode)
{
    mode = NormaliseScreenMode(mode);
    if (!TrayAvailable || OldShell)
        mode = StayMode::TaskbarIcon;
    Settings.Krovan.ScreenMode = mode;
    MarkSettingsChanged();
    mnStay[mode - StayMode::TaskbarIcon]->setChecked(true);
    Tray->Show((mode & StayMode::TrayIcon) != 0, TrayAvailable);
}

void MainWindow::SetViewMode(int listMode)
{
    if (WatchBusy)
        return;
    Settings.Krovan.ListMode = listMode;
    MarkSettingsChanged();
    ApplyListMode();
}

void MainWindow::ApplyListMode()
{
    const int style = ListModeStyle(Settings.Krovan.ListMode);
    lvRes1->SetViewStyle(DragDropListView::ViewKind(style));
    // Row heights measured in another view (with its pictures) are measured
    // again for this one.
    lvRes1->CurrentView()->doItemsLayout();
    mnViewMode[style]->setChecked(true);
    const bool icons = lvRes1->IsIconStyle();
    mnRefresh->setEnabled(icons);
    pmAlign->menuAction()->setEnabled(icons);
    ApplyFixIcon();
}

void MainWindow::ToggleFixIcon()
{
    if (WatchBusy) {
        mnFixIcon->setChecked(Settings.Krovan.FixIcon);
        return;
    }
    Settings.Krovan.FixIcon = !Settings.Krovan.FixIcon;
    MarkSettingsChanged();
    ApplyFixIcon();
}

void MainWindow::ApplyFixIcon()
{
    mnFixIcon->setChecked(Settings.Krovan.FixIcon);
    // Only icons are dragged here; the list's order is the editor's.
    lvRes1->CanDrag = !Settings.Krovan.FixIcon && lvRes1->IsIconStyle();
}

void MainWindow::RefreshIcons()
{
    if (!lvRes1->IsIconStyle() || WatchBusy)
        return;
    const WatchBusyMark busy;
    QListView *icons = lvRes1->IconView();
    icons->horizontalScrollBar()->setValue(0);
    icons->verticalScrollBar()->setValue(0);
    icons->doItemsLayout();
    icons->viewport()->update();
}

void MainWindow::SortBy(int column)
{
    // A sort from the menu always starts ascending.
    lvRes1->SortColumn = -1;
    lvRes1->ColumnClick(column);
}

void MainWindow::RestoreSortOrder()
{
    lvRes1->SortType = stData;
    lvRes1->Sort(1, 1);
    lvRes1->SortType = stNone;
}

void MainWindow::RestoreColumnOrder()
{
    if (WatchBusy)
        return;
    Columns->RestoreOrder();
    lvRes1->CurrentView()->viewport()->update();
}

// ---------------------------------------------------------------- row commands

void MainWindow::ListDoubleClick()
{
    int row = -1;
    if (!Rows->OneRowSelected(row) || WatchBusy)
        return;
    UpdateRowCommands();
    Report(Rows->DoubleClick(pmCheck->isEnabled()));
    UpdateRowCommands();
}

void MainWindow::RestToggle()
{
    Report(Rows->RestToggle());
    UpdateRowCommands();
}

void MainWindow::CheckNow() { Report(Rows->Check()); }
void MainWindow::ShowProperties() { Report(Rows->Properties()); }
void MainWindow::SendMessage() { Report(Rows->SendMessage()); }
void MainWindow::GetMAC() { Report(Rows->GetMAC()); }
void MainWindow::ClearMAC() { Report(Rows->ClearMAC()); }
void MainWindow::WakeTerminal() { Report(Rows->Wake()); }
void MainWindow::OpenExplorer() { Report(Rows->Open(false)); }
void MainWindow::OpenBrowser() { Report(Rows->Open(true)); }
void MainWindow::AlignIcons(bool top) { Report(Rows->Align(top, LastRightClick)); }
void MainWindow::ArrangeIcons() { Report(Rows->Arrange()); }

// ---------------------------------------------------------------- background

void MainWindow::SelectBackground() { ListBackground->Select(); }
bool MainWindow::SetBackgroundFile(const QString &path) { return ListBackground->SetFile(path); }
void MainWindow::ToggleTransparent() { ListBackground->ToggleTransparent(); }
void MainWindow::ChooseTextColor() { ListBackground->ChooseTextColor(); }
void MainWindow::SetTileMode(int mode) { ListBackground->SetTileMode(mode); }
void MainWindow::EraseBackground() { ListBackground->Erase(); }
void MainWindow::ApplyBackground() { ListBackground->Apply(); }

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress
             && static_cast<QMouseEvent *>(event)->button() == Qt::RightButton)
        LastRightClick = static_cast<QMouseEvent *>(event)->position().toPoint();
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- list and dialogs

void MainWindow::SaveListCommand()
{
    if (!Ask(tr(SaveQuestionText)))
        return;
    errno = 0;
    QString unencodable;
    if (!SaveList(*Model, ListFilePath, &unencodable))
        Warn(SaveFailedMessage(ListFilePath, errno, unencodable), ErrorIcon);
}

void MainWindow::pbSetupClick()
{
    if (ListEditor *open = ListEditor::Current()) {
        open->raise();
        open->activateWindow();
        return;
    }
    if (WatchBusy)
        return;
    EnableConsole(false);
    const bool ok = ListEditor::Execute(*Model, ListFilePath, *Net, Actions, this);
    if (ok)
        ApplyListMode();
    EnableConsole(true);
    UpdateRowCommands();
}

void MainWindow::pbConfigClick()
{
    if (SettingsDialog *open = SettingsDialog::Current()) {
        open->raise();
        open->activateWindow();
        return;
    }
    if (WatchBusy)
        return;
    EnableConsole(false);
    const bool applied = SettingsDialog::Execute(Actions, this, [] { return sharedServices ? sharedServices->XmlCheck() : true; });
    if (applied) {
        Settings.MainWnd.ColWidth = Columns->WidthsText();
        SaveSettings(Settings);
        ApplyDisableClose();
        lvRes1->SetLargeImages(SharedImages().Large());
        Tray->SteadyImages();
        Tray->WakeIconAlert();
    }
    EnableConsole(true);
}

void MainWindow::pbSessionClick()
{
    if (accessListWindow)
        accessListWindow->ShowAccessList(false);
}

void MainWindow::pbSearchClick()
{
    Engine->CheckCommand();
}

void MainWindow::pbMinClick()
{
    setWindowState(windowState() | Qt::WindowMinimized);
}

void MainWindow::ShowMain()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void MainWindow::ShowVersion()
{
    if (WatchBusy)
        return;
    const WatchBusyMark busy;
    PropertiesDialog::ShowVersion(this);
}

void MainWindow::OpenHelp()
{
    if (!Help->Open(HelpContents))
        Warn(tr(CannotStartText));
}

void MainWindow::ApplyDisableClose()
{
    const bool closable = !Settings.Config.DisableClose;
    if (!(windowFlags() & Qt::CustomizeWindowHint) == closable)
        return;
    const bool visible = isVisible();
    Qt::WindowFlags flags = windowFlags();
    if (closable)
        flags = (flags & ~Qt::CustomizeWindowHint) | Qt::WindowCloseButtonHint;
    else
        flags = (flags | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                 | Qt::WindowMinMaxButtonsHint)
                & ~Qt::WindowCloseButtonHint;
    setWindowFlags(flags);
    if (visible)
        show();
}

// ---------------------------------------------------------------- window

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized())
        return;
    if (OldShell)
        Tray->Acknowledge();
    // Tray only: a minimised window leaves the taskbar.
    if (Settings.Krovan.ScreenMode == StayMode::TrayIcon && Tray->TrayIcon)
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                hide();
        });
}

bool MainWindow::event(QEvent *event)
{
    // The window's size and place are kept in the settings.
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
        MarkSettingsChanged();
    return QMainWindow::event(event);
}

void MainWindow::QueryEndSession()
{
    Engine->Ending = true;
    close();
}

void MainWindow::KeepWindowSettings()
{
    Settings.MainWnd.Size = JoinIntegerList({width(), height()});
    Settings.MainWnd.Pos = JoinIntegerList({y(), x()});
    Columns->Keep();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (ServiceRunning && !Engine->Ending) {
        event->ignore();
        QMessageBox box(QMessageBox::Warning, AppTitle, tr(StopThroughServiceText), QMessageBox::Ok, this);
        box.exec();
        return;
    }
    Engine->Ending = true;
    KeepWindowSettings();
    Host->Stop([] {
        NoticeWindows.CloseAll();
        if (accessListWindow && accessListWindow->isVisible())
            accessListWindow->close();
    });
    Tray->Stop();
    event->accept();
    emit Closed();
}
