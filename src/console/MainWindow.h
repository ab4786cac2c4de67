#pragma once

// The main window. It shows the running system (the watch host: watch list,
// watch engine, access check), attaches the events' outlets to it, and lives
// for the whole run: created at start-up (minimised), it finishes its start
// from the event loop and ends the process when it may close. It keeps the
// list, its view modes and the commands' dispatch; the tray, the row
// commands, the menu table, the list's background and its stored columns
// are classes of their own beside it.

#include "console/MainTray.h"
#include "console/RowCommands.h"

#include <QColor>
#include <QList>
#include <QMainWindow>
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <QUrl>

#include <array>
#include <functional>
#include <memory>

class AccessCheck;
class ConsoleEvents;
class EventActions;
class ListColumns;
class MainCommands;
class WatchListView;
class MessageQueue;
class NetBrowser;
class QAction;
class QMenu;
class QPushButton;
class HelpKeyFilter;
class Probe;
class BackgroundPicture;
class WatchEngine;
class WatchHost;
class WatchListModel;

// [Krovan] ScreenMode as the window uses it: 1, 2 or 3; anything else is 1.
int NormaliseScreenMode(int mode);
// [Krovan] ListMode as a view style index (0 large icons ... 3 details);
// anything outside 1-4 gives large icons.
int ListModeStyle(int listMode);

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // The window of a running system; without one it builds its own.
    explicit MainWindow(WatchHost *host = nullptr, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Full path of the watch-list file.
    QString ListFilePath;

    // A notification area exists on this desktop.
    bool TrayAvailable = false;
    // This machine's shell has no notification area.
    bool OldShell = false;
    // Questions can be answered: false on the offscreen platform, where
    // nobody sees them and an unanswered question would stall the start.
    bool CanAsk = true;

    WatchListModel *Model = nullptr;
    WatchListView *lvRes1 = nullptr;
    // The list's background picture, its label colours and their commands.
    BackgroundPicture *ListBackground = nullptr;
    // The list's stored column order and widths.
    ListColumns *Columns = nullptr;
    // The running system, and from it the watch engine (its tmWatch,
    // counters, flags and pass lists) and the access check (its tmAccess,
    // access tree and detail lines).
    WatchHost *Host = nullptr;
    WatchEngine *Engine = nullptr;
    // The watch passes' probe.
    Probe *PassProbe = nullptr;
    AccessCheck *Access = nullptr;
    ConsoleEvents *Events = nullptr;
    EventActions *Actions = nullptr;
    MessageQueue *Sender = nullptr;
    // The network's browse lists (the fixture file when one is named).
    NetBrowser *Net = nullptr;

    // The tray icon with its menu, the icon alert and the blinking rows.
    MainTray *Tray = nullptr;
    // The commands on the selected rows.
    std::unique_ptr<RowCommands> Rows;

    // Opens a URL through the desktop; tests replace it.
    std::function<bool(const QUrl &)> OpenUrl;
    // F1's help pages, through OpenUrl.
    HelpKeyFilter *Help = nullptr;

    // Buttons.
    QPushButton *pbSetup = nullptr;
    QPushButton *pbSession = nullptr;
    QPushButton *pbConfig = nullptr;
    QPushButton *pbSearch = nullptr;
    QPushButton *pbMin = nullptr;

    // Main menu.
    QMenu *mnWindow = nullptr, *mnTerminal = nullptr, *mnView = nullptr, *mnHelp = nullptr;
    std::array<QAction *, 3> mnStay{};
    QAction *mnExit = nullptr;
    QAction *mnRest = nullptr, *mnSendMsg = nullptr, *mnProperty = nullptr, *mnSaveList = nullptr;
    QMenu *mnWake = nullptr, *mnOpen = nullptr;
    QAction *mnGetMAC = nullptr, *mnClearMAC = nullptr, *mnWakeUp = nullptr;
    QAction *mnExplorer = nullptr, *mnBrowser = nullptr;
    QAction *mnEdit = nullptr;
    std::array<QAction *, 4> mnViewMode{};
    QAction *mnRestoreColumns = nullptr, *mnFixIcon = nullptr, *mnRefresh = nullptr;
    std::array<QAction *, 11> mnSort{};
    QAction *mnSortRestore = nullptr;
    QAction *mnBackSelect = nullptr, *mnBackTransparent = nullptr, *mnBackTextColor = nullptr,
            *mnBackErase = nullptr;
    std::array<QAction *, 4> mnTile{};
    QAction *mnHelpOpen = nullptr, *mnVersion = nullptr;

    // List menu.
    QMenu *pmProp = nullptr;
    QAction *pmRest = nullptr, *pmCheck = nullptr, *pmSortRestore = nullptr, *pmRestoreColumns = nullptr;
    QMenu *pmAlign = nullptr, *pmWake = nullptr, *pmOpen = nullptr;
    QAction *pmAlignTop = nullptr, *pmAlignLeft = nullptr, *pmArrange = nullptr;
    QAction *pmSendMsg = nullptr, *pmGetMAC = nullptr, *pmClearMAC = nullptr, *pmWakeUp = nullptr;
    QAction *pmExplorer = nullptr, *pmBrowser = nullptr, *pmProperty = nullptr;

    // The last right-click in the list (viewport coordinates).
    QPoint LastRightClick{-1, -1};

    // The end of the user's logon (log-off, shutdown, the service manager
    // stopping the process): the close is allowed and runs in order.
    void QueryEndSession();

    // Buttons and the three main menus as a group (a dialog is open).
    void EnableConsole(bool on);
    // The enabling rules for the list's selection.
    void UpdateRowCommands();

    // Commands.
    void SetStayMode(int mode);
    void SetViewMode(int listMode);
    void ApplyListMode();
    void ToggleFixIcon();
    void ApplyFixIcon();
    void RefreshIcons();
    void SortBy(int column);
    void RestoreSortOrder();
    void RestoreColumnOrder();
    void ListDoubleClick();
    void RestToggle();
    void CheckNow();
    void ShowProperties();
    void SendMessage();
    void GetMAC();
    void ClearMAC();
    void WakeTerminal();
    void OpenExplorer();
    void OpenBrowser();
    void AlignIcons(bool top);
    void ArrangeIcons();
    void SelectBackground();
    // Loads a picture file as the background; false (after the warning)
    // when it is not a bitmap this window can show.
    bool SetBackgroundFile(const QString &path);
    void ToggleTransparent();
    void ChooseTextColor();
    void SetTileMode(int mode);
    void EraseBackground();
    void ApplyBackground();
    void SaveListCommand();
    void pbSetupClick();
    void pbSessionClick();
    void pbConfigClick();
    void pbSearchClick();
    void pbMinClick();
    void ShowMain();
    void ShowVersion();
    void OpenHelp();

signals:
    // The window has closed for good; the process ends.
    void Closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildList();
    void BuildButtons();
    void WireEngine();
    void DeferredStart();
    void PlaceWindow();
    void KeepWindowSettings();
    void ApplyDisableClose();
    void LoadImages();
    void ListContextMenu(const QPoint &globalPos);
    void Warn(const QString &text, int icon = 2);
    // Shows a command's warning, if it has one.
    void Report(const QString &warning);
    bool Ask(const QString &text);

    // The main menu and the list menu, from one table.
    std::unique_ptr<MainCommands> menus_;
    // The console's outlets of the events.
    std::unique_ptr<ConsoleEvents> events_;
    // The running system when the window was not handed one (tests); it
    // goes before the outlets it calls.
    std::unique_ptr<WatchHost> ownHost_;
};

extern MainWindow *mainWindow;
