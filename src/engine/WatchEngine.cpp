#include "engine/WatchEngine.h"

#include "config/SettingValues.h"
#include "config/Settings.h"
#include "engine/PassWorker.h"
#include "engine/WatchEvents.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "platform/Journal.h"
#include "probe/Probe.h"
#include "process/ProcessFlags.h"

#include <QCoreApplication>
#include <QTimer>

namespace {
// The notices' captions go out in Japanese; the notice windows translate
// what they show.
const QString LoginCaption = QString::fromUtf8(QT_TRANSLATE_NOOP("Notice", "ログインしました。"));
const QString LogoutCaption = QString::fromUtf8(QT_TRANSLATE_NOOP("Notice", "ログアウトしました。"));
const QString ErrorCaption = QString::fromUtf8(QT_TRANSLATE_NOOP("Notice", "ネットワーク監視エラーです。"));
const QString AllLoginCaption = QString::fromUtf8(QT_TRANSLATE_NOOP("Notice", "ログイン"));
const QString AllLogoutCaption = QString::fromUtf8(QT_TRANSLATE_NOOP("Notice", "ログアウト"));
constexpr int ErrorNoticeSeconds = 7;

QString ResourceNames(const QStringList &lines)
{
    QString names;
    for (const QString &line : lines)
        names += line.section(u'\t', 1, 1) + u'\t';
    return names;
}

} // namespace

WatchEngine::WatchEngine(WatchListModel *model, Probe *probe, NetBrowser *net, WatchEvents *events,
                           QObject *parent)
    : QObject(parent), model_(model), probe_(probe), net_(net), events_(events)
{
    tmWatch = new QTimer(this);
    tmWatch->setInterval(60000);
    connect(tmWatch, &QTimer::timeout, this, &WatchEngine::WatchTick);
}

WatchEngine::~WatchEngine()
{
    AbortPass();
}

void WatchEngine::AbortPass()
{
    if (Worker) {
        Worker->Terminate();
        Worker->wait();
        delete Worker.data();
    }
    if (handOver_)
        handOver_->Detach();
    passMark_.reset();
}

void WatchEngine::WatchTick()
{
    if (!ServiceRunning || WatchBusy)
        return;
    tmWatch->stop();
    emit AccessTimerEnabled(false);
    emit CancelIconDrag();

    ++WatchMinutes;
    if (WatchMinutes >= Settings.Config.CheckInterval) {
        WatchMinutes = 0;
        StartPass(-1);
        CheckedOnce = true;
    } else if (CheckedOnce) {
        emit StatusBarText(QCoreApplication::translate("WatchEngine", "%1 分前に調査しました。").arg(WatchMinutes));
    }

    if (AllLoginArmed) {
        ++AllLoginMinutes;
        if (AllLoginMinutes >= Settings.AllLogin.ActTime) {
            AllLoginMinutes = 0;
            AllLoginAction();
        }
    }
    if (AllLogoutArmed) {
        ++AllLogoutMinutes;
        if (AllLogoutMinutes >= Settings.AllLogout.ActTime) {
            AllLogoutMinutes = 0;
            AllLogoutAction();
        }
    }

    emit ApplyFixIcon();
    emit AccessTimerEnabled(true);
    tmWatch->start();
}

void WatchEngine::StartCheck()
{
    WatchMinutes = Settings.Config.CheckInterval;
    WatchTick();
}

void WatchEngine::StartPass(int index)
{
    // Two passes never overlap; the callers' WatchBusy checks keep it so,
    // this keeps it so for a caller that forgets.
    if (PassRunning())
        return;
    passMark_.emplace();
    passClock_.start();
    tmWatch->stop();
    consoleLocked_ = true;
    emit BusyIcon(true);
    emit LockConsole();

    ErrorList.clear();
    LoginList.clear();
    LoginWays.clear();
    LogoutList.clear();

    QList<WorkItem> work;
    const int rows = model_->rowCount();
    work.reserve(rows);
    for (int i = 0; i < rows; ++i) {
        WorkItem item;
        ReadEntry(*model_, i, item);
        item.RowId = model_->rowId(i);
        item.Misses = model_->misses(i);
        item.SeenBy = model_->row(i).seenBy;
        if (item.ImageIndex == ImageResting || item.ImageIndex == ImageWatchError ||
            item.ImageIndex == ImageSeparator) {
            item.Skip = true;
        } else {
            item.Skip = !(index == -1 || index == i);
            // The worker works with the image relative to the entry's kind.
            item.ImageIndex -= item.Kind;
        }
        work.append(item);
    }

    handOver_ = std::make_shared<PassHandOver>(
        model_, [this](const QString &text) { emit StatusBarText(text); },
        [this](const QStringList &errors, const QStringList &logins, const QStringList &loginWays,
               const QStringList &logouts) {
            ErrorList += errors;
            LoginList += logins;
            LoginWays += loginWays;
            LogoutList += logouts;
        });
    PassWorker::Host host;
    host.probe = probe_;
    host.net = net_;
    host.events = events_;
    host.handOver = handOver_;
    host.settings = PassSettings::From(Settings);
    auto *worker = new PassWorker(host, std::move(work));
    Worker = worker;
    // A pass that StopPass has already ended is not ended again.
    connect(worker, &QThread::finished, this, [this, pass = ++passSerial_] {
        if (pass == passSerial_ && Worker)
            FinishPass();
    }, Qt::QueuedConnection);
    worker->start();
}

void WatchEngine::FinishPass()
{
    PassWorker *worker = Worker;
    worker->wait();
    delete worker;
    // Whatever the worker handed over last is in the rows before the end
    // handler looks at them.
    handOver_->Apply();
    handOver_->Detach();
    ApplyResults();
}

void WatchEngine::CheckCommand()
{
    // A pass whose end handler has not run yet is still this pass, even
    // when its loop has just ended: stopping it is all the button does.
    if (WatchBusy && PassRunning()) {
        Worker->Terminate();
        return;
    }
    // An access scan under way holds the engine: no pass beside it.
    if (WatchBusy)
        return;
    tmWatch->stop();
    StartPass(-1);
    tmWatch->start();
    emit AccessTimerEnabled(false);
    emit AccessCheckNow();
    emit AccessTimerEnabled(true);
}

void WatchEngine::PinpointCommand(int row)
{
    if (row < 0 || row >= model_->rowCount() || consoleLocked_ || PassRunning() || WatchBusy)
        return;
    tmWatch->stop();
    StartPass(row);
    tmWatch->start();
}

void WatchEngine::StopPass()
{
    if (!PassRunning())
        return;
    Worker->Terminate();
    FinishPass();
}

void WatchEngine::ShowOrAlert(NoticeKind kind, quint16 seconds)
{
    if (Settings.Config.MessageLevel >= NoticeLevel::IconAlert)
        IconAlert(seconds);
    else
        events_->ShowNotice(kind);
}

void WatchEngine::RaiseEntryEvent(NoticeKind notice, ReportKind report, const QString &caption,
                                   const QStringList &list, bool showMsg, bool managerReport, quint16 showMsgTime,
                                   bool doRecord, RecordKind record)
{
    if (managerReport)
        events_->ReportToManager(report, list);
    if (showMsg && !Ending) {
        if (events_->NoticeExists(notice))
            events_->AddToNotice(notice, list, showMsgTime);
        else
            events_->CreateNotice(notice, caption, list, showMsgTime);
        ShowOrAlert(notice, showMsgTime);
        events_->EnableNoticeItem(notice);
    }
    if (notice == NoticeKind::Login) {
        AllLogoutArmed = false;
        AllLogoutRaised = false;
        AllLogoutMinutes = 0;
    } else {
        AllLoginArmed = false;
        AllLoginRaised = false;
        AllLoginMinutes = 0;
    }
    if (doRecord)
        events_->WriteRecord(record, list);
}

void WatchEngine::ApplyResults()
{
    Worker = nullptr;
    emit StatusBarText(QString());
    emit BusyIcon(false);
    if (Ending) {
        passMark_.reset();
        emit PassApplied();
        return;
    }

    ++PassesApplied;
    LastPassSeconds = passClock_.isValid() ? passClock_.nsecsElapsed() / 1e9 : 0;
    EventCounts[0] += quint64(LoginList.size());
    EventCounts[1] += quint64(LogoutList.size());
    EventCounts[2] += quint64(ErrorList.size());
    JournalEntries(JournalPriority::Notice, "watch error", ErrorList);
    // A login seen otherwise than by an echo or a browse list says how.
    for (qsizetype i = 0; i < LoginList.size(); ++i)
        JournalLine(JournalPriority::Notice, "login",
                    LoginList[i].section(u'\t', 0, 0) + QStringLiteral(" (") + LoginList[i].section(u'\t', 1, 1) + u')'
                        + (LoginWays.value(i).isEmpty() ? QString() : QStringLiteral(" by ") + LoginWays[i]));
    JournalEntries(JournalPriority::Notice, "logout", LogoutList);

    LoginNames.clear();
    if (!LoginList.isEmpty()) {
        const auto &s = Settings.Login;
        RaiseEntryEvent(NoticeKind::Login, ReportKind::Login, LoginCaption, LoginList, s.ShowMsg,
                        s.ManagerReport, s.ShowMsgTime, s.DoRecord, RecordKind::Login);
        LoginNames = ResourceNames(LoginList);
    }
    LogoutNames.clear();
    if (!LogoutList.isEmpty()) {
        const auto &s = Settings.Logout;
        RaiseEntryEvent(NoticeKind::Logout, ReportKind::Logout, LogoutCaption, LogoutList,
                        s.ShowMsg, s.ManagerReport, s.ShowMsgTime, s.DoRecord, RecordKind::Logout);
        LogoutNames = ResourceNames(LogoutList);
    }

    Tally();

    consoleLocked_ = false;
    emit UnlockConsole();
    passMark_.reset();
    tmWatch->start();
    emit PassApplied();
}

void WatchEngine::Tally()
{
    int total = 0;
    int counts[5] = {};
    for (int i = 0; i < model_->rowCount(); ++i) {
        const quint32 word = model_->dataWord(i);
        if (DataWordKind(word) != KindStandard)
            continue;
        const int state = DataWordState(word);
        switch (state) {
        case StateLoggedIn:
        case StateLoggedOut:
        case StateUnconfirmed:
        case StateWatchError:
            ++total;
            ++counts[state];
            break;
        case StateResting:
            ++counts[state];
            break;
        default:
            break;
        }
    }
    if (total == 0)
        return;

    const bool errors = counts[StateWatchError] > 0 && !ErrorList.isEmpty();
    if (errors && !ErrorNoticeShown && !Ending) {
        if (!events_->NoticeExists(NoticeKind::Error))
            events_->CreateNotice(NoticeKind::Error, ErrorCaption, ErrorList, ErrorNoticeSeconds);
        ShowOrAlert(NoticeKind::Error, ErrorNoticeSeconds);
        events_->EnableNoticeItem(NoticeKind::Error);
        ErrorNoticeShown = true;
    }
    // A pass that found new watch errors decides neither all-event.
    if (errors)
        return;

    if (total == counts[StateLoggedIn] && !AllLoginRaised) {
        const auto &s = Settings.AllLogin;
        JournalLine(JournalPriority::Notice, "all-login");
        ++EventCounts[3];
        if (s.PlayWave)
            events_->PlaySoundFile(s.WaveFile, Settings.Config.WaitWave);
        if (s.ManagerReport)
            events_->ReportToManager(ReportKind::AllLogin, {});
        if (s.ShowMsg && !Ending) {
            if (!events_->NoticeExists(NoticeKind::AllLogin))
                events_->CreateNotice(NoticeKind::AllLogin, AllLoginCaption, {}, s.ShowMsgTime);
            ShowOrAlert(NoticeKind::AllLogin, s.ShowMsgTime);
        }
        AllLoginArmed = true;
        AllLoginMinutes = 0;
        if (s.ActTime == 0)
            AllLoginAction();
        AllLoginRaised = true;
        AllLogoutArmed = false;
        AllLogoutMinutes = 0;
    }

    if (total == counts[StateLoggedOut] && !AllLogoutRaised) {
        const auto &s = Settings.AllLogout;
        JournalLine(JournalPriority::Notice, "all-logout");
        ++EventCounts[4];
        if (s.PlayWave)
            events_->PlaySoundFile(s.WaveFile, Settings.Config.WaitWave);
        if (s.ManagerReport)
            events_->ReportToManager(ReportKind::AllLogout, {});
        if (s.ShowMsg && !Ending) {
            if (!events_->NoticeExists(NoticeKind::AllLogout))
                events_->CreateNotice(NoticeKind::AllLogout, AllLogoutCaption, {}, s.ShowMsgTime);
            ShowOrAlert(NoticeKind::AllLogout, s.ShowMsgTime);
        }
        AllLogoutArmed = true;
        AllLogoutMinutes = 0;
        if (s.ActTime == 0)
            AllLogoutAction();
        AllLoginRaised = false;
        AllLogoutRaised = true;
        AllLoginArmed = false;
        AllLoginMinutes = 0;
    }
}

void WatchEngine::AllLoginAction()
{
    {
        const WatchBusyMark busy;
        if (Settings.AllLogin.Action == AllEventAction::RunProgram)
            events_->StartProgram(Settings.AllLogin.ActFile);
    }
    AllLoginArmed = false;
    AllLoginMinutes = 0;
}

void WatchEngine::AllLogoutAction()
{
    WatchBusyMark busy;
    if (Settings.AllLogout.Action == AllEventAction::Shutdown) {
        // The machine is going down; nothing may start in the meantime. A
        // refused shutdown gives the engine back and disarms the action, so
        // watching goes on and the request is not repeated every tick.
        shutdownMark_ = std::move(busy);
        events_->RequestShutdown([engine = QPointer<WatchEngine>(this)] {
            if (engine)
                engine->ShutdownRefused();
        });
        return;
    }
    if (Settings.AllLogout.Action == AllEventAction::RunProgram)
        events_->StartProgram(Settings.AllLogout.ActFile);
    busy.Release();
    AllLogoutArmed = false;
    AllLogoutMinutes = 0;
}

void WatchEngine::ShutdownRefused()
{
    shutdownMark_.reset();
    AllLogoutArmed = false;
    AllLogoutMinutes = 0;
}

void WatchEngine::IconAlert(int seconds)
{
    if (seconds == 0)
        IconAlertTicks = -1;
    else if (IconAlertTicks != -1 && IconAlertTicks < 2 * seconds)
        IconAlertTicks = 2 * seconds;
    emit IconAlertRaised();
}
