#pragma once

// The watch engine's scheduling and its end of a pass: the one-minute watch
// timer, starting passes (all entries or one), the stop request, and the
// end handler that turns the pass's lists into login, logout, watch-error,
// all-login and all-logout events.
//
// Widget-free: the watch host owns it and hands it the list model, the
// probe, the network browser and the event actions; the main window reacts
// to its signals (console lock, status bar, icon). Everything here runs on
// the main thread; the pass itself runs on a PassWorker.

#include "engine/EventKinds.h"
#include "process/ProcessFlags.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>

class NetBrowser;
class PassHandOver;
class QTimer;
class PassWorker;
class Probe;
class WatchEvents;
class WatchListModel;

class WatchEngine : public QObject {
    Q_OBJECT

public:
    // The model, probe, browser and actions must outlive the engine. The
    // probe is the passes' own: the console's commands use another. The
    // actions may come later (SetEvents).
    WatchEngine(WatchListModel *model, Probe *probe, NetBrowser *net, WatchEvents *events,
                 QObject *parent = nullptr);
    // Stops a running pass first (AbortPass).
    ~WatchEngine() override;

    // Where the events go; the host sets them before anything runs, and
    // takes them away only after AbortPass.
    void SetEvents(WatchEvents *events) { events_ = events; }
    // Stops a running pass and waits for its worker; its end handler does
    // not run and nothing it handed over is applied any more.
    void AbortPass();

    // The watch timer: 60 000 ms, disabled until the deferred start enables
    // it. Its tick is WatchTick.
    QTimer *tmWatch = nullptr;

    // Minutes (ticks) since the last timed pass, and whether one has run.
    qint32 WatchMinutes = 0;
    bool CheckedOnce = false;

    // Event state.
    bool AllLoginArmed = false, AllLogoutArmed = false;
    qint32 AllLoginMinutes = 0, AllLogoutMinutes = 0;
    bool AllLoginRaised = false, AllLogoutRaised = false;
    bool ErrorNoticeShown = false;
    // -2 off, -1 steady until acknowledged, n >= 0 half-second ticks left.
    // The main window's icon-alert timer counts it down.
    qint32 IconAlertTicks = -2;
    // The logon is ending or the window may close: no more events.
    bool Ending = false;

    // The running pass's lines (user name TAB resource name), and the
    // resource names of the last applied pass's logins and logouts, each
    // followed by a TAB.
    QStringList ErrorList, LoginList, LogoutList;
    // Per login line: how the terminal was seen when not by an echo or a
    // browse list ("ARP", "TCP 445"), else empty.
    QStringList LoginWays;
    QString LoginNames, LogoutNames;

    // Counted since the start, for other systems: passes applied, how long
    // the last took, and the events raised (as CountedEvent numbers them).
    quint64 PassesApplied = 0;
    double LastPassSeconds = 0;
    std::array<quint64, 6> EventCounts{};

    // The worker of the running pass, until its end handler has run.
    QPointer<PassWorker> Worker;

    // A pass has been started and its end handler has not run yet.
    bool PassRunning() const { return !Worker.isNull(); }

    // The watch timer's tick; also called once by the start-up check.
    void WatchTick();
    // The start-up check: the next tick reaches the interval at once.
    void StartCheck();
    // -1 checks every entry, any other number only that row. Does nothing
    // while a pass runs.
    void StartPass(int index);
    // The check button: a pass, or the stop request while one runs.
    void CheckCommand();
    // Checks only the selected row; row < 0 when nothing is selected.
    void PinpointCommand(int row);
    // The worker's end handler.
    void ApplyResults();
    void Tally();
    void AllLoginAction();
    void AllLogoutAction();
    void IconAlert(int seconds);

    // Asks the running pass to stop, waits for its worker and runs its end
    // handler; no events are handled meanwhile. For the close of the main
    // window.
    void StopPass();

signals:
    // A pass starts: check button caption "中止(&D)", list-edit and settings
    // buttons and the pinpoint command disabled, column sorting off in the
    // details view ([Krovan] ListMode 4), the window repainted.
    void LockConsole();
    // A pass has been applied: caption "調査(&R)", those commands enabled
    // again, sorting back on in the details view.
    void UnlockConsole();
    // The busy (true) or idle (false) application and notification icon.
    void BusyIcon(bool busy);
    void StatusBarText(const QString &text);
    // An icon drag in progress in the main list is cancelled (each tick).
    void CancelIconDrag();
    // The list's icon fixing is applied again from [Krovan] FixIcon.
    void ApplyFixIcon();
    // The access timer is switched off (false) and on (true) around the
    // watch tick and the check command.
    void AccessTimerEnabled(bool on);
    // The check command asks for an access check at the next chance: the
    // access counter set to [Access] CheckInterval and one access tick.
    void AccessCheckNow();
    // The end handler has run (also when nothing was raised).
    void PassApplied();
    // IconAlert has started or lengthened an alert.
    void IconAlertRaised();

private:
    void RaiseEntryEvent(NoticeKind notice, ReportKind report, const QString &caption, const QStringList &list,
                         bool showMsg, bool managerReport, quint16 showMsgTime, bool doRecord, RecordKind record);
    void ShowOrAlert(NoticeKind kind, quint16 seconds);
    void ShutdownRefused();
    // The worker has ended: its last changes applied, then the end handler.
    void FinishPass();

    WatchListModel *model_;
    Probe *probe_;
    NetBrowser *net_;
    WatchEvents *events_;
    // The running (or last) pass's hand-over to this thread.
    std::shared_ptr<PassHandOver> handOver_;
    quint64 passSerial_ = 0;
    bool consoleLocked_ = false;
    // The running pass's busy mark, given back by its end handler.
    std::optional<WatchBusyMark> passMark_;
    QElapsedTimer passClock_;
    // The shutdown request's busy mark: a refusal gives it back.
    std::optional<WatchBusyMark> shutdownMark_;
};
