#pragma once

// The main window's notification-area icon with its menu, and the
// half-second icon-alert tick: the tray and window image that alerts after
// an event, and the watch list's rows that blink for the last logins or
// logouts.

#include "engine/EventKinds.h"

#include <QObject>
#include <QString>

#include <array>

class QAction;
class QMainWindow;
class QMenu;
class QPoint;
class QSystemTrayIcon;
class QTimer;
class WatchEngine;
class WatchListModel;

// One half-second tick of the icon alert: counts IconAlertTicks down and
// gives the tray image to show (0 idle, 2 alert).
int IconAlertStep(qint32 &ticks);

class MainTray : public QObject {
    Q_OBJECT

public:
    // window shows the same image and owns the menu; the engine holds the
    // alert's counter and the names whose rows blink.
    MainTray(QMainWindow *window, WatchEngine &engine, WatchListModel &model);

    // The 500 ms icon-alert timer and the tray icon (null until a tray
    // mode shows it on a desktop with a notification area).
    QTimer *tmIconAlert = nullptr;
    QSystemTrayIcon *TrayIcon = nullptr;
    // The image the tray and the window show now (0 normal, 1 pass, 2 alert).
    int TrayImage = 0;

    // Tray menu.
    QMenu *pmIcon = nullptr;
    QAction *piShow = nullptr, *piSession = nullptr, *piExit = nullptr;
    std::array<QAction *, 4> piNotice{};
    QMenu *piLog = nullptr;
    QAction *piLogLogin = nullptr, *piLogLogout = nullptr, *piLogAccess = nullptr, *piLogReport = nullptr;

    void SetTrayImage(int index);
    void IconAlert(int seconds);
    // The half-second tick runs only while the tray icon alerts or rows
    // blink; whatever may start either wakes it, and it stops itself.
    void WakeIconAlert();
    void tmIconAlertTimer();
    // The operator has seen the alert: it ends and the normal image shows.
    void Acknowledge();
    // Logged-in rows show their kind's image, logged-out rows the next one.
    void SteadyImages();
    // Shows or hides the icon; available is false without a notification
    // area, where it is never created.
    void Show(bool on, bool available);
    void OpenTrayMenu(const QPoint &at);
    // The notice item of kind follows its notice window.
    void UpdateNoticeItem(NoticeKind kind);
    // The window closes: the tick stops and the icon goes.
    void Stop();

signals:
    // "監視ﾘｽﾄ(&C)" and a double-click on the icon.
    void ShowRequested();
    // "ｱｸｾｽﾘｽﾄ(&A)".
    void SessionRequested();

private:
    void BuildMenu();
    void BlinkRows();
    bool IconAlertNeeded() const;

    QMainWindow *window_;
    WatchEngine &engine_;
    WatchListModel &model_;
    bool blinkPhase_ = false;
};
