#pragma once

// The main window. It owns the engine's state and the rows of the watch
// list, and lives for the whole run: created at start-up (minimised), it
// finishes its start from the event loop and ends the process when it may
// close.

#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QStringList>

#include <array>

class QThread;
class QTimer;
class QTreeView;
class WatchListModel;

class TfmMain : public QMainWindow {
    Q_OBJECT

public:
    explicit TfmMain(QWidget *parent = nullptr);
    ~TfmMain() override;

    // Full path of the watch-list file.
    QString ListFilePath;

    // Per-pass result lists (user name TAB resource name) and the access
    // event's detail lines.
    QStringList ErrorList, LoginList, LogoutList;
    QStringList AccessDetailList;

    // One notice window per kind: login, logout, watch error, access,
    // all-login, all-logout.
    std::array<QPointer<QWidget>, 6> NoticeWindows;
    std::array<bool, 6> NoticeExists{};

    // The user's logon is ending, or the window has been allowed to close.
    bool Ending = false;

    qint32 WatchMinutes = 0;
    qint32 AllLoginMinutes = 0;
    qint32 AllLogoutMinutes = 0;
    qint32 AccessCount = 0;
    bool AllLoginArmed = false, AllLogoutArmed = false;
    bool AllLoginRaised = false, AllLogoutRaised = false;
    bool ErrorNoticeShown = false;
    bool CheckedOnce = false;
    qint32 IconAlertTicks = -2;

    // A notification area exists on this desktop.
    bool TrayAvailable = false;
    // Questions can be answered: false on the offscreen platform, where
    // nobody sees them and an unanswered question would stall the start.
    bool CanAsk = true;

    QPixmap Background;
    WatchListModel *Model = nullptr;
    QTreeView *lvRes1 = nullptr;
    QTimer *tmWatch = nullptr;
    QTimer *tmAccess = nullptr;
    // The worker of the running watch pass, if any.
    QPointer<QThread> Worker;

    // The watch timer's and the access timer's handlers.
    void WatchTick();
    void AccessTick();

    // The end of the user's logon (log-off, shutdown, the service manager
    // stopping the process): the close is allowed and runs in order.
    void QueryEndSession();

signals:
    // The window has closed for good; the process ends.
    void Closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void DeferredStart();
    void PlaceWindow();
    void RestoreColumns();
    void KeepWindowSettings();

    int designWidth_ = 0, designHeight_ = 0, designTop_ = 0, designLeft_ = 0;
    int listWidth_ = 0;
};

extern TfmMain *fmMain;
