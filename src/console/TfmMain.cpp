#include "console/TfmMain.h"

#include "access/AccessCheck.h"
#include "platform/Platform.h"
#include "service/flags/ProcessFlags.h"
#include "config/SettingValues.h"
#include "config/Settings.h"
#include "console/ConsoleEvents.h"
#include "console/HelpPages.h"
#include "console/ListColumns.h"
#include "console/MainCommands.h"
#include "console/MListView.h"
#include "console/SessionListProxy.h"
#include "console/THelpKey.h"
#include "console/TImageLists.h"
#include "console/TListBackground.h"
#include "console/TfmConfig.h"
#include "console/TfmEdit.h"
#include "console/TfmEditRules.h"
#include "console/TfmProp.h"
#include "console/TfmSession.h"
#include "engine/TWatchEngine.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "events/windows/TNoticeWindows.h"
#include "service/StartupRules.h"
#include "service/Tdm.h"
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

TfmMain *fmMain = nullptr;

namespace {

constexpr int DesignWidth = 640;
constexpr int DesignHeight = 400;
constexpr int DesignTop = 100;
constexpr int DesignLeft = 100;
constexpr int MinWidth = 447;
constexpr int MinHeight = 160;

const char *const StopThroughServiceText = QT_TRANSLATE_NOOP("TfmMain", "サービスより停止してください。");
const char *const CannotStartText = QT_TRANSLATE_NOOP("TfmMain", "起動できません！");
const char *const SaveQuestionText = QT_TRANSLATE_NOOP("TfmMain", "リストを保存します。\nよろしいですか？");
const char *const CheckCaption = QT_TRANSLATE_NOOP("TfmMain", "調査(&R)");
const char *const StopCaption = QT_TRANSLATE_NOOP("TfmMain", "中止(&D)");

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

TfmMain::TfmMain(WatchHost *host, QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("fmMain"));
    if (!host) {
        ownHost_ = std::make_unique<WatchHost>(QCoreApplication::arguments().mid(1));
        host = ownHost_.get();
    }
    Host = host;
    Host->BeforeKeepSettings = [window = QPointer<TfmMain>(this)] {
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
    Help = new THelpKey([this](const QUrl &url) { return OpenUrl && OpenUrl(url); }, this);

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
    connect(Tray, &MainTray::ShowRequested, this, &TfmMain::ShowMain);
    connect(Tray, &MainTray::SessionRequested, this, [this] {
        if (pbSession->isEnabled())
            pbSessionClick();
    });
    Rows = std::make_unique<RowCommands>(*Model, *lvRes1, *Engine, *Net, *Sender, this);
    Rows->OpenUrl = [this](const QUrl &url) { return OpenUrl && OpenUrl(url); };
    Rows->Searching = [this](const QString &caption) {
        if (caption.isEmpty()) {
            Tray->SetTrayImage(TImageLists::WindowNormal);
            statusBar()->clearMessage();
        } else {
            statusBar()->showMessage(caption);
            Tray->SetTrayImage(TImageLists::WindowBusy);
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

    QMetaObject::invokeMethod(this, &TfmMain::DeferredStart, Qt::QueuedConnection);
}

TfmMain::~TfmMain()
{
    // Notices owned by this window close after its menus are gone.
    disconnect(&NoticeWindows, nullptr, Tray, nullptr);
    // A pass still running stops before the outlets it calls go away.
    Host->DetachOutlets();
    if (Access->ListView == &SessionList)
        Access->ListView = nullptr;
}

void TfmMain::BuildList()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    lvRes1 = new MListView(central);
    lvRes1->setObjectName(QStringLiteral("lvRes1"));
    lvRes1->SetModel(Model);
    lvRes1->Header()->setMinimumSectionSize(0);
    layout->addWidget(lvRes1, 1);

    ListBackground = new TListBackground(lvRes1, this);
    ListBackground->setObjectName(QStringLiteral("ListBackground"));
    for (QAbstractItemView *view : {static_cast<QAbstractItemView *>(lvRes1->IconView()),
                                    static_cast<QAbstractItemView *>(lvRes1->ReportView())}) {
        view->viewport()->installEventFilter(this);
        view->setMouseTracking(true);
    }

    connect(lvRes1, &TDDListView::Clicked, this, &TfmMain::UpdateRowCommands);
    connect(lvRes1, &TDDListView::SelectionChanged, this, &TfmMain::UpdateRowCommands);
    connect(lvRes1, &TDDListView::DoubleClicked, this, &TfmMain::ListDoubleClick);
    connect(lvRes1, &TDDListView::ContextMenuRequested, this, &TfmMain::ListContextMenu);
    connect(lvRes1, &TDDListView::HeaderEndDrag, this, [this] { lvRes1->CurrentView()->viewport()->update(); });

    setCentralWidget(central);
}

void TfmMain::BuildButtons()
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

    connect(pbSetup, &QPushButton::clicked, this, &TfmMain::pbSetupClick);
    connect(pbSession, &QPushButton::clicked, this, &TfmMain::pbSessionClick);
    connect(pbConfig, &QPushButton::clicked, this, &TfmMain::pbConfigClick);
    connect(pbSearch, &QPushButton::clicked, this, &TfmMain::pbSearchClick);
    connect(pbMin, &QPushButton::clicked, this, &TfmMain::pbMinClick);
}

void TfmMain::WireEngine()
{
    Events->IconAlertHook = [this](int seconds) { Tray->IconAlert(seconds); };
    Events->NoticeItemHook = [this](NoticeKind kind) { Tray->UpdateNoticeItem(kind); };
    Events->OpenAccessListHook = [this] { pbSessionClick(); };
    Events->OpenAccessListAutomaticallyHook = [] {
        if (fmSession && !fmSession->isVisible())
            fmSession->ShowAccessList(true);
    };

    connect(Engine, &TWatchEngine::LockConsole, this, [this] {
        pbSearch->setText(tr(StopCaption));
        pbSetup->setEnabled(false);
        pbConfig->setEnabled(false);
        mnEdit->setEnabled(false);
        pmCheck->setEnabled(false);
        if (Settings.Krovan.ListMode == ListStyle::Details)
            lvRes1->CanSort = false;
        repaint();
    });
    connect(Engine, &TWatchEngine::UnlockConsole, this, [this] {
        pbSearch->setText(tr(CheckCaption));
        pbSetup->setEnabled(true);
        pbConfig->setEnabled(true);
        mnEdit->setEnabled(true);
        pmCheck->setEnabled(true);
        lvRes1->CanSort = true;
    });
    connect(Engine, &TWatchEngine::BusyIcon, this,
            [this](bool busy) { Tray->SetTrayImage(busy ? TImageLists::WindowBusy : TImageLists::WindowNormal); });
    connect(Engine, &TWatchEngine::StatusBarText, this, [this](const QString &text) { statusBar()->showMessage(text); });
    connect(Engine, &TWatchEngine::ApplyFixIcon, this, &TfmMain::ApplyFixIcon);
    connect(Engine, &TWatchEngine::CancelIconDrag, lvRes1, &TDDListView::CancelDrag);
    connect(Engine, &TWatchEngine::PassApplied, this, &TfmMain::UpdateRowCommands);
    connect(Engine, &TWatchEngine::PassApplied, Columns, &ListColumns::FitDefaults);
    // A pass changes the names whose rows blink.
    connect(Engine, &TWatchEngine::PassApplied, Tray, &MainTray::WakeIconAlert);
    connect(Engine, &TWatchEngine::IconAlertRaised, Tray, &MainTray::WakeIconAlert);
}

void TfmMain::LoadImages()
{
    ImageLists().Load(Settings.Krovan.IconImageType, Settings.Krovan.OffIconImageType, Settings.Config.SmallIcon);
    lvRes1->SetSmallImages(ImageLists().Small());
    lvRes1->SetLargeImages(ImageLists().Large());
    setWindowIcon(ImageLists().WindowIcon(TImageLists::WindowNormal));
}

void TfmMain::PlaceWindow()
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

void TfmMain::DeferredStart()
{
    // The logon ended before the start finished: the window has closed.
    if (Engine->Ending)
        return;
    if (fmSession) {
        fmSession->Sender = Sender;
        fmSession->ShowMain = [this] { ShowMain(); };
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
}

// ---------------------------------------------------------------- enabling

void TfmMain::EnableConsole(bool on)
{
    for (QWidget *w : {static_cast<QWidget *>(pbSetup), static_cast<QWidget *>(pbSession),
                       static_cast<QWidget *>(pbConfig), static_cast<QWidget *>(pbSearch),
                       static_cast<QWidget *>(pbMin)})
        w->setEnabled(on);
    for (QMenu *m : {mnWindow, mnTerminal, mnView})
        m->menuAction()->setEnabled(on);
    Tray->piSession->setEnabled(on);
}

void TfmMain::UpdateRowCommands()
{
    menus_->Enable(Rows->State());
}

void TfmMain::ListContextMenu(const QPoint &globalPos)
{
    LastRightClick = lvRes1->CurrentView()->viewport()->mapFromGlobal(globalPos);
    UpdateRowCommands();
    pmProp->popup(globalPos);
}

// ---------------------------------------------------------------- messages

void TfmMain::Warn(const QString &text, int icon)
{
    QMessageBox box(icon == ErrorIcon ? QMessageBox::Critical : QMessageBox::Warning, AppTitle, text,
                    QMessageBox::Ok, this);
    box.exec();
}

void TfmMain::Report(const QString &warning)
{
    if (!warning.isEmpty())
        Warn(warning);
}

bool TfmMain::Ask(const QString &text)
{
    // Nobody answers on the offscreen platform: the command goes ahead.
    if (!CanAsk)
        return true;
    QMessageBox box(QMessageBox::Question, AppTitle, text, QMessageBox::Yes | QMessageBox::No, this);
    return box.exec() == QMessageBox::Yes;
}

// ---------------------------------------------------------------- modes

void TfmMain::SetStayMode(int mode)
{
    mode = NormaliseScreenMode(mode);
    if (!TrayAvailable || OldShell)
        mode = StayMode::TaskbarIcon;
    Settings.Krovan.ScreenMode = mode;
    mnStay[mode - StayMode::TaskbarIcon]->setChecked(true);
    Tray->Show((mode & StayMode::TrayIcon) != 0, TrayAvailable);
}

void TfmMain::SetViewMode(int listMode)
{
    if (WatchBusy)
        return;
    Settings.Krovan.ListMode = listMode;
    ApplyListMode();
}

void TfmMain::ApplyListMode()
{
    const int style = ListModeStyle(Settings.Krovan.ListMode);
    lvRes1->SetViewStyle(TDDListView::TViewStyle(style));
    // Row heights measured in another view (with its pictures) are measured
    // again for this one.
    lvRes1->CurrentView()->doItemsLayout();
    mnViewMode[style]->setChecked(true);
    const bool icons = lvRes1->IsIconStyle();
    mnRefresh->setEnabled(icons);
    pmAlign->menuAction()->setEnabled(icons);
    ApplyFixIcon();
}

void TfmMain::ToggleFixIcon()
{
    if (WatchBusy) {
        mnFixIcon->setChecked(Settings.Krovan.FixIcon);
        return;
    }
    Settings.Krovan.FixIcon = !Settings.Krovan.FixIcon;
    ApplyFixIcon();
}

void TfmMain::ApplyFixIcon()
{
    mnFixIcon->setChecked(Settings.Krovan.FixIcon);
    // Only icons are dragged here; the list's order is the editor's.
    lvRes1->CanDrag = !Settings.Krovan.FixIcon && lvRes1->IsIconStyle();
}

void TfmMain::RefreshIcons()
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

void TfmMain::SortBy(int column)
{
    // A sort from the menu always starts ascending.
    lvRes1->SortColumn = -1;
    lvRes1->ColumnClick(column);
}

void TfmMain::RestoreSortOrder()
{
    lvRes1->SortType = stData;
    lvRes1->Sort(1, 1);
    lvRes1->SortType = stNone;
}

void TfmMain::RestoreColumnOrder()
{
    if (WatchBusy)
        return;
    Columns->RestoreOrder();
    lvRes1->CurrentView()->viewport()->update();
}

// ---------------------------------------------------------------- row commands

void TfmMain::ListDoubleClick()
{
    int row = -1;
    if (!Rows->OneRowSelected(row) || WatchBusy)
        return;
    UpdateRowCommands();
    Report(Rows->DoubleClick(pmCheck->isEnabled()));
    UpdateRowCommands();
}

void TfmMain::RestToggle()
{
    Report(Rows->RestToggle());
    UpdateRowCommands();
}

void TfmMain::CheckNow() { Report(Rows->Check()); }
void TfmMain::ShowProperties() { Report(Rows->Properties()); }
void TfmMain::SendMessage() { Report(Rows->SendMessage()); }
void TfmMain::GetMAC() { Report(Rows->GetMAC()); }
void TfmMain::ClearMAC() { Report(Rows->ClearMAC()); }
void TfmMain::WakeTerminal() { Report(Rows->Wake()); }
void TfmMain::OpenExplorer() { Report(Rows->Open(false)); }
void TfmMain::OpenBrowser() { Report(Rows->Open(true)); }
void TfmMain::AlignIcons(bool top) { Report(Rows->Align(top, LastRightClick)); }
void TfmMain::ArrangeIcons() { Report(Rows->Arrange()); }

// ---------------------------------------------------------------- background

void TfmMain::SelectBackground() { ListBackground->Select(); }
bool TfmMain::SetBackgroundFile(const QString &path) { return ListBackground->SetFile(path); }
void TfmMain::ToggleTransparent() { ListBackground->ToggleTransparent(); }
void TfmMain::ChooseTextColor() { ListBackground->ChooseTextColor(); }
void TfmMain::SetTileMode(int mode) { ListBackground->SetTileMode(mode); }
void TfmMain::EraseBackground() { ListBackground->Erase(); }
void TfmMain::ApplyBackground() { ListBackground->Apply(); }

bool TfmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress
             && static_cast<QMouseEvent *>(event)->button() == Qt::RightButton)
        LastRightClick = static_cast<QMouseEvent *>(event)->position().toPoint();
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- list and dialogs

void TfmMain::SaveListCommand()
{
    if (!Ask(tr(SaveQuestionText)))
        return;
    if (!SaveList(*Model, ListFilePath))
        Warn(ShownWatchListText(SaveFailedText), ErrorIcon);
}

void TfmMain::pbSetupClick()
{
    if (TfmEdit *open = TfmEdit::Current()) {
        open->raise();
        open->activateWindow();
        return;
    }
    if (WatchBusy)
        return;
    EnableConsole(false);
    const bool ok = TfmEdit::Execute(*Model, ListFilePath, *Net, Actions, this);
    if (ok)
        ApplyListMode();
    EnableConsole(true);
    UpdateRowCommands();
}

void TfmMain::pbConfigClick()
{
    if (TfmConfig *open = TfmConfig::Current()) {
        open->raise();
        open->activateWindow();
        return;
    }
    if (WatchBusy)
        return;
    EnableConsole(false);
    const bool applied = TfmConfig::Execute(Actions, this, [] { return dm ? dm->XmlCheck() : true; });
    if (applied) {
        Settings.MainWnd.ColWidth = Columns->WidthsText();
        SaveSettings(Settings);
        ApplyDisableClose();
        lvRes1->SetLargeImages(ImageLists().Large());
        Tray->SteadyImages();
        Tray->WakeIconAlert();
    }
    EnableConsole(true);
}

void TfmMain::pbSessionClick()
{
    if (fmSession)
        fmSession->ShowAccessList(false);
}

void TfmMain::pbSearchClick()
{
    Engine->CheckCommand();
}

void TfmMain::pbMinClick()
{
    setWindowState(windowState() | Qt::WindowMinimized);
}

void TfmMain::ShowMain()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TfmMain::ShowVersion()
{
    if (WatchBusy)
        return;
    const WatchBusyMark busy;
    TfmProp::ShowVersion(this);
}

void TfmMain::OpenHelp()
{
    if (!Help->Open(HelpContents))
        Warn(tr(CannotStartText));
}

void TfmMain::ApplyDisableClose()
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

void TfmMain::changeEvent(QEvent *event)
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

void TfmMain::QueryEndSession()
{
    Engine->Ending = true;
    close();
}

void TfmMain::KeepWindowSettings()
{
    Settings.MainWnd.Size = JoinIntegerList({width(), height()});
    Settings.MainWnd.Pos = JoinIntegerList({y(), x()});
    Columns->Keep();
}

void TfmMain::closeEvent(QCloseEvent *event)
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
        if (fmSession && fmSession->isVisible())
            fmSession->close();
    });
    Tray->Stop();
    event->accept();
    emit Closed();
}
