#include "console/MainTray.h"

#include "config/SettingValues.h"
#include "config/Settings.h"
#include "console/ConsoleImages.h"
#include "engine/WatchEngine.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "events/windows/NoticeTable.h"
#include "events/windows/NoticeWindow.h"
#include "events/windows/RecordCommands.h"
#include "process/ProcessFlags.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QMainWindow>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

bool IsIconKind(int kind)
{
    return kind == KindStandard || kind == KindSecond || kind == KindThird || kind == KindFourth;
}

// The desktop's tray speaks the status-notifier protocol (a watcher on the
// session bus); Qt then shows the icon through it.
bool StatusNotifierTray()
{
    const QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    return bus && bus->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher"));
}

} // namespace

int IconAlertStep(qint32 &ticks)
{
    if (ticks == 0)
        ticks = -2;
    if (ticks >= 0)
        --ticks;
    return ticks % 2 != 0 ? ConsoleImages::WindowAlert : ConsoleImages::WindowNormal;
}

MainTray::MainTray(QMainWindow *window, WatchEngine &engine, WatchListModel &model)
    : QObject(window), window_(window), engine_(engine), model_(model)
{
    setObjectName(QStringLiteral("Tray"));
    tmIconAlert = new QTimer(this);
    tmIconAlert->setObjectName(QStringLiteral("tmIconAlert"));
    tmIconAlert->setInterval(500);
    connect(tmIconAlert, &QTimer::timeout, this, &MainTray::tmIconAlertTimer);
    BuildMenu();
}

void MainTray::BuildMenu()
{
    pmIcon = new QMenu(window_);
    pmIcon->setObjectName(QStringLiteral("pmIcon"));
    piShow = pmIcon->addAction(tr("監視ﾘｽﾄ(&C)"), this, &MainTray::ShowRequested);
    piSession = pmIcon->addAction(tr("ｱｸｾｽﾘｽﾄ(&A)"), this, &MainTray::SessionRequested);
    pmIcon->addSeparator();
    const QString noticeCaptions[4] = {tr("ログイン"), tr("ログアウト"), tr("監視エラー"), tr("アクセス")};
    for (int kind = 0; kind < 4; ++kind) {
        piNotice[kind] = pmIcon->addAction(noticeCaptions[kind], this, [kind] {
            if (NoticeWindow *notice = NoticeWindows.Notice(NoticeKinds[kind])) {
                notice->ShowNotice();
                notice->raise();
                notice->activateWindow();
            }
        });
        piNotice[kind]->setVisible(NoticeWindows.IsOpen(NoticeKinds[kind]));
    }
    connect(&NoticeWindows, &NoticeTable::OpenChanged, this, [this](NoticeKind kind, bool open) {
        if (Index(kind) < 4)
            piNotice[Index(kind)]->setVisible(open);
    });
    pmIcon->addSeparator();
    piLog = pmIcon->addMenu(tr("ログを開く(&O)"));
    piLogLogin = piLog->addAction(tr("ログイン(&I)"), this,
                                  [this] { OpenRecordFile(RecordKind::Login, window_); });
    piLogLogout = piLog->addAction(tr("ログアウト(&O)"), this,
                                   [this] { OpenRecordFile(RecordKind::Logout, window_); });
    piLogAccess = piLog->addAction(tr("アクセス(&A)"), this,
                                   [this] { OpenRecordFile(RecordKind::Access, window_); });
    piLogReport = piLog->addAction(tr("レポート(&R)"), this, [this] { OpenDayReport(model_, window_); });
    pmIcon->addSeparator();
    piExit = pmIcon->addAction(tr("終了(&E)"), window_, &QWidget::close);
    // Opening the menu is the operator's acknowledgement of an alert.
    connect(pmIcon, &QMenu::aboutToShow, this, &MainTray::Acknowledge);
}

void MainTray::UpdateNoticeItem(NoticeKind kind)
{
    if (Index(kind) < 4)
        piNotice[Index(kind)]->setVisible(NoticeWindows.IsOpen(kind));
}

void MainTray::SetTrayImage(int index)
{
    if (index == TrayImage && !window_->windowIcon().isNull())
        return;
    TrayImage = index;
    const QIcon icon = SharedImages().WindowIcon(index);
    if (TrayIcon)
        TrayIcon->setIcon(icon);
    window_->setWindowIcon(icon);
}

void MainTray::IconAlert(int seconds)
{
    engine_.IconAlert(seconds);
}

void MainTray::Acknowledge()
{
    engine_.IconAlertTicks = 0;
    SetTrayImage(ConsoleImages::WindowNormal);
    WakeIconAlert();
}

void MainTray::WakeIconAlert()
{
    if (!tmIconAlert->isActive())
        tmIconAlert->start();
}

bool MainTray::IconAlertNeeded() const
{
    if (engine_.IconAlertTicks != -2)
        return true;
    const int mode = Settings.Config.BlinkIcon;
    if (mode != BlinkMode::LoggedIn && mode != BlinkMode::LoggedOut)
        return false;
    return Settings.Config.BlinkAlways
        || !(mode == BlinkMode::LoggedIn ? engine_.LoginNames : engine_.LogoutNames).isEmpty();
}

void MainTray::tmIconAlertTimer()
{
    // A stopped service freezes the icon where it is.
    if (!ServiceRunning)
        return;
    SetTrayImage(IconAlertStep(engine_.IconAlertTicks));
    // The tick that ends the blinking still gives the rows their steady
    // pictures back.
    BlinkRows();
    if (!IconAlertNeeded())
        tmIconAlert->stop();
}

void MainTray::BlinkRows()
{
    const int mode = Settings.Config.BlinkIcon;
    if (mode != BlinkMode::LoggedIn && mode != BlinkMode::LoggedOut)
        return;
    const int blinkState = mode == BlinkMode::LoggedIn ? StateLoggedIn : StateLoggedOut;
    const QString &names = mode == BlinkMode::LoggedIn ? engine_.LoginNames : engine_.LogoutNames;
    blinkPhase_ = !blinkPhase_;
    for (int row = 0; row < model_.rowCount(); ++row) {
        const quint32 word = model_.dataWord(row);
        const int kind = DataWordKind(word);
        const int state = DataWordState(word);
        if (!IsIconKind(kind) || (state != StateLoggedIn && state != StateLoggedOut))
            continue;
        const bool blink = state == blinkState
                           && (Settings.Config.BlinkAlways
                               || names.contains(model_.text(row, WatchListModel::ColResourceName) + u'\t'));
        // A row that stops blinking gets its steady picture back.
        const int image = blink ? kind + (blinkPhase_ ? 1 : 0) : kind + state;
        if (model_.imageIndex(row) != image)
            model_.setImageIndex(row, image);
    }
}

void MainTray::SteadyImages()
{
    for (int row = 0; row < model_.rowCount(); ++row) {
        const quint32 word = model_.dataWord(row);
        const int kind = DataWordKind(word);
        const int state = DataWordState(word);
        if (IsIconKind(kind) && (state == StateLoggedIn || state == StateLoggedOut))
            model_.setImageIndex(row, kind + state);
    }
}

void MainTray::Show(bool on, bool available)
{
    if (on && available && !TrayIcon) {
        TrayIcon = new QSystemTrayIcon(SharedImages().WindowIcon(TrayImage), this);
        TrayIcon->setObjectName(QStringLiteral("TrayIcon"));
        TrayIcon->setToolTip(AppTitle);
        TrayIcon->setContextMenu(pmIcon);
        connect(TrayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            // A status-notifier tray (KDE, GNOME's AppIndicator) gives a click
            // as one activation and never a double-click.
            if (reason == QSystemTrayIcon::DoubleClick
                || (reason == QSystemTrayIcon::Trigger && StatusNotifierTray()))
                emit ShowRequested();
            else if (reason == QSystemTrayIcon::Context)
                window_->raise();
        });
    }
    if (TrayIcon)
        TrayIcon->setVisible(on);
}

void MainTray::OpenTrayMenu(const QPoint &at)
{
    window_->raise();
    pmIcon->popup(at);
}

void MainTray::Stop()
{
    tmIconAlert->stop();
    if (TrayIcon)
        TrayIcon->hide();
}
