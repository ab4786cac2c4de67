#include "service/WatchHost.h"

#include "access/AccessCheck.h"
#include "access/AccessSession.h"
#include "config/SettingValues.h"
#include "config/Settings.h"
#include "engine/WatchEngine.h"
#include "engine/WatchEntry.h"
#include "engine/WebEndpoint.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "events/AccessEvent.h"
#include "events/EventActions.h"
#include "events/MessageQueue.h"
#include "events/Messenger.h"
#include "events/RunLog.h"
#include "platform/CanberraSoundPlayer.h"
#include "platform/DetachedProcessStarter.h"
#include "platform/IcmpSocket.h"
#include "platform/Journal.h"
#include "platform/SafeFile.h"
#include "platform/MqttPresence.h"
#include "platform/NetBrowser.h"
#include "platform/NoMailslotTransport.h"
#include "platform/ReportDelivery.h"
#include "platform/SambaServerApi.h"
#include "platform/SmbclientMessageTransport.h"
#include "platform/SystemShutdown.h"
#include "probe/Probe.h"
#include "process/ProcessFlags.h"
#include "service/SharedServices.h"
#include "service/StartupRules.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QThread>
#include <QTime>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <unistd.h>

WatchHost::WatchHost(const QStringList &arguments, QObject *parent) : QObject(parent)
{
    ShutdownAllowed = true;
    WorkerRunning = false;

    Platform = LocalPlatform();
    PlatformFamily = Platform.Family;
    ListFilePath = ProgramDir + ListFileName(PlatformFamily);

    if (!sharedServices)
        sharedServices = new SharedServices(qApp);
    LoadSettings(Settings, ProgramDir, arguments, [] { return sharedServices ? sharedServices->XmlCheck() : true; });

    sound_ = std::make_unique<CanberraSoundPlayer>();
    process_ = std::make_unique<DetachedProcessStarter>();
    transport_ = std::make_unique<SmbclientMessageTransport>(SmbclientMessageTransport::FromEnvironment());
    mailslot_ = std::make_unique<NoMailslotTransport>();
    server_ = std::make_unique<SambaServerApi>(SambaServerApi::ConfigFromEnvironment());
    net_ = CreateNetBrowser();
    actions_ = std::make_unique<EventActions>(*sound_, *process_, sharedServices->Shutdown());
    delivery_ = std::make_unique<ReportDelivery>();
    messenger_ = std::make_unique<Messenger>(*transport_, *mailslot_);
    messenger_->Delivery = delivery_.get();
    sends_ = std::make_unique<MessageQueue>(*messenger_);

    Model = new WatchListModel(this);
    Model->setObjectName(QStringLiteral("Model"));
    PassProbe = new Probe(this);
    PassProbe->setObjectName(QStringLiteral("PassProbe"));
    Engine = new WatchEngine(Model, PassProbe, net_.get(), nullptr, this);
    Engine->setObjectName(QStringLiteral("Engine"));
    Engine->tmWatch->setObjectName(QStringLiteral("tmWatch"));
    Access = new AccessCheck(this);
    Access->setObjectName(QStringLiteral("Access"));
    Access->tmAccess.setObjectName(QStringLiteral("tmAccess"));

    // The watch tick and the check command keep the access timer out of
    // their way; the check command asks for an access check at the next
    // chance.
    connect(Engine, &WatchEngine::AccessTimerEnabled, Access, [this](bool on) {
        if (on)
            Access->tmAccess.start();
        else
            Access->tmAccess.stop();
    });
    connect(Engine, &WatchEngine::AccessCheckNow, Access, [this] {
        Access->AccessTicks = int(Settings.Access.CheckInterval);
        Access->AccessTick();
    });

    // The access enumeration: this machine's Samba server.
    Access->Server = server_.get();
    Access->Rows = Model;
    Access->ComputerName = NetbiosComputerName(QSysInfo::machineHostName());
    Access->SendMessenger = [this](const QString &terminal, const QString &text, std::function<void(bool)> done) {
        sends_->Send(terminal, text, Access, std::move(done));
    };
    Access->RaiseAccessEvent = [this](const QStringList &report) {
        ++accessEvents_;
        snapshotTimer_->start();
        if (accessOutlets_)
            RaiseAccessEvent(report, Access->AccessDetailList, Settings, Engine->Ending, *actions_, *accessOutlets_);
    };

    // A change of the list (a pass's rows, the editor's OK, a rest) shows
    // in the next snapshot: many changes at once make one.
    snapshotTimer_ = new QTimer(this);
    snapshotTimer_->setSingleShot(true);
    snapshotTimer_->setInterval(SnapshotDelayMs);
    connect(snapshotTimer_, &QTimer::timeout, this, &WatchHost::PublishSnapshot);
    const auto changed = [this] {
        if (!snapshotTimer_->isActive())
            snapshotTimer_->start(SnapshotDelayMs);
    };
    connect(Model, &QAbstractItemModel::dataChanged, this, changed);
    connect(Model, &QAbstractItemModel::rowsInserted, this, changed);
    connect(Model, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(Model, &QAbstractItemModel::rowsMoved, this, changed);
    connect(Model, &QAbstractItemModel::modelReset, this, changed);
    connect(Engine, &WatchEngine::PassApplied, this, &WatchHost::PublishSnapshot);
    Board.makeWhenAsked([this] { return TakeSnapshot(); });
    // The sessions' times are the last scan's: while someone reads the
    // snapshots (the endpoint or the broker is on) a scan that found
    // sessions, or lost the last ones, shows in the next snapshot. Nothing
    // wakes for them between scans.
    connect(Access, &AccessCheck::ScanApplied, this, [this, changed] {
        if (!SnapshotsRead())
            return;
        if (!Access->AccessSessionList.empty() || !Board.current()->sessions.isEmpty())
            changed();
    });
    Access->LoadAccessLibrary(PlatformFamily);

    if (PlatformFamily == LinuxFamily && !sharedServices->Shutdown().CanPowerOff()) {
        ShutdownAllowed = false;
        if (Settings.AllLogout.Action == AllEventAction::Shutdown)
            Settings.RunOnly.AllLogoutAction.Force(Settings.AllLogout.Action, AllEventAction::Nothing);
    }
}

WatchHost::~WatchHost()
{
    StopKeepingSettings(this);
    // The engine stops a pass that is still running before the services it
    // calls go away.
    delete Engine;
    Engine = nullptr;
    Access->FreeAccessLibrary();
}

void WatchHost::AttachOutlets(WatchEvents *watch, AccessEventOutlets *access)
{
    Engine->SetEvents(watch);
    accessOutlets_ = access;
}

void WatchHost::DetachOutlets()
{
    Engine->AbortPass();
    Engine->SetEvents(nullptr);
    accessOutlets_ = nullptr;
}

void WatchHost::LoadList()
{
    // The start goes before the records of the first pass.
    if (!runMarked_) {
        runMarked_ = true;
        MarkRun(true);
    }
    ::LoadList(*Model, ListFilePath);
    WatchBusyMark::ClearAtStart();
}

bool WatchHost::FirstPass(const std::function<bool()> &ask)
{
    if (!Settings.Config.StartCheck)
        return true;
    bool run = true;
    if (Settings.Config.StartCheckMsg && ask) {
        run = ask();
        // The logon may have ended while the question was open.
        if (Engine->Ending)
            return false;
    }
    if (run)
        Engine->StartCheck();
    return true;
}

void WatchHost::StartTimers()
{
    if (!announced_)
        AnnounceStart();
    Engine->tmWatch->start();
    Access->tmAccess.start();
    if (!keepTimer_) {
        keepTimer_ = new QTimer(this);
        keepTimer_->setSingleShot(true);
        connect(keepTimer_, &QTimer::timeout, this, &WatchHost::KeepSettings);
    }
    // Marks while a keep is pending join it: a window dragged across the
    // screen is written every KeepSettingsMs at most, and is on disk that
    // soon after it stops.
    KeepSettingsWith(this, [this] {
        if (!keepTimer_->isActive())
            keepTimer_->start(KeepSettingsMs);
    });
    kept_ = Settings;
    // Once now: the windows may stand otherwise than the file says.
    keepTimer_->start(KeepSettingsMs);
    ApplyIntegration();
}

void WatchHost::ApplyIntegration()
{
    const ProgramSettings::WebSection &w = Settings.Web;
    WebSettings web;
    web.port = quint16(w.Port >= 0 && w.Port <= 65535 ? w.Port : 0);
    web.address = w.Address.trimmed();
    web.token = w.Token.trimmed();
    web.certFile = w.CertFile;
    web.keyFile = w.KeyFile;
    if (web != webApplied_) {
        webApplied_ = web;
        // What the endpoint serves is taken now, not at the next change.
        PublishSnapshot();
        // Each of them is made when it is first turned on, with its thread
        // (and the TLS library it may start): off, they cost nothing.
        if (!web_ && web.port != 0 && !integrationEnded_)
            web_ = std::make_unique<WebEndpoint>(Board, [this](QDate day) { return DayReportPage(day); });
        const QString failed = web_ ? web_->start(web) : QString();
        if (!failed.isEmpty())
            JournalLine(JournalPriority::Warning, "web", QStringLiteral("not serving on port %1: %2").arg(web.port).arg(failed));
    }
    const ProgramSettings::MqttSection &m = Settings.Mqtt;
    MqttSettings mqtt;
    mqtt.broker = m.Broker.trimmed();
    mqtt.port = quint16(m.Port >= 1 && m.Port <= 65535 ? m.Port : 1883);
    mqtt.topic = m.Topic.trimmed();
    mqtt.user = m.User;
    mqtt.password = m.Password;
    mqtt.caFile = m.CAFile;
    if (!mqtt_ && !mqtt.broker.isEmpty() && !integrationEnded_)
        mqtt_ = std::make_unique<MqttPresence>();
    if (mqtt_ && mqtt != mqttApplied_) {
        mqttApplied_ = mqtt;
        mqtt_->configure(mqtt);
        mqtt_->update(Board.current());
    }
}

void WatchHost::MarkRun(bool start)
{
    // Beside the login and logout records, for the day report: a presence
    // still open at a stop ended there.
    if (!Settings.Login.DoRecord && !Settings.Logout.DoRecord)
        return;
    if (!AppendRunMark(Settings, start, QDateTime::currentDateTime()))
        JournalLine(JournalPriority::Warning, "run not noted", RunLogPath(Settings));
}

void WatchHost::AnnounceStart()
{
    announced_ = true;
    int terminals = 0;
    bool ipChecked = false;
    for (int row = 0; row < Model->rowCount(); ++row) {
        WatchEntry entry;
        if (ReadEntry(*Model, row, entry) && entry.Kind != KindSeparator) {
            ++terminals;
            ipChecked = ipChecked || entry.IPCheck;
        }
    }
    // The way the pass probe's socket will open: the same kinds are tried in
    // the same order.
    IcmpSocket socket;
    QString echo = QStringLiteral("no right");
    if (socket.open(PassProbe->WantedEchoKind()) == IcmpSocket::OpenResult::Opened)
        echo = socket.kind() == IcmpSocket::Kind::PingSocket ? QStringLiteral("ping socket") : QStringLiteral("raw socket");
    JournalMessage(JournalPriority::Notice,
                   QStringLiteral("watching %1 %2 from %3 (settings %4; echo by %5)")
                       .arg(terminals)
                       .arg(terminals == 1 ? QStringLiteral("terminal") : QStringLiteral("terminals"), ListFilePath,
                            SettingsFilePath(Settings.ProgramDir), echo));
    // Without the right every IP-checked terminal shows as logged out, and
    // the Result column is the only other sign: the console says it once.
    if (ipChecked && echo == u"no right")
        startWarnings_ << QCoreApplication::translate(
                              "WatchHost", "ICMPエコー要求を送る権限がないため、IPチェックの端末は応答していてもログアウトと"
                                           "表示されます。sysctl -w net.ipv4.ping_group_range=\"0 2147483647\" または "
                                           "setcap cap_net_raw+ep %1 で許可してください。")
                              .arg(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget());
    if (terminals == 0)
        JournalMessage(JournalPriority::Notice,
                       QStringLiteral("%1 holds no terminals yet: README.md, \"First run\", says how to add them")
                           .arg(ListFilePath));
    // A folder that cannot be written loses the run's settings and the
    // list's changes at every save, one journal line each; say it once now.
    const QByteArray folder = QFile::encodeName(Settings.ProgramDir);
    if (::access(folder.constData(), W_OK) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        JournalMessage(JournalPriority::Warning,
                       QStringLiteral("program folder %1 cannot be written (%2): the settings and the watch list "
                                      "will not be saved; name a writable folder in CORVANE_DIR")
                           .arg(Settings.ProgramDir, why));
        startWarnings_ << QCoreApplication::translate(
                              "WatchHost", "プログラムフォルダー %1 に書き込めません（%2）。設定と監視リストは保存されません。"
                                           "書き込めるフォルダーを環境変数 CORVANE_DIR で指定してください。")
                              .arg(Settings.ProgramDir, why);
    }
}

void WatchHost::KeepSettings()
{
    // Settings applied in the dialog reach the endpoint and the broker too.
    ApplyIntegration();
    if (BeforeKeepSettings)
        BeforeKeepSettings();
    // Compared in memory: the file is read and written only after a change.
    if (Settings == kept_)
        return;
    if (SaveSettings(Settings))
        kept_ = Settings;
}

void WatchHost::Start()
{
    LoadList();
    if (FirstPass())
        StartTimers();
}

void WatchHost::Stop(const std::function<void()> &beforeSave)
{
    Engine->Ending = true;
    // Waits for the worker and runs the pass's end handler, which gives
    // WatchBusy back.
    Engine->StopPass();
    // An access scan under way ends (the server's queries time out by
    // themselves) and nothing of it is applied after the settings are saved.
    Access->StopScan();
    for (Probe *probe : {PassProbe, sharedServices ? sharedServices->ConsoleProbe : nullptr}) {
        if (probe && probe->ActiveFlag())
            probe->Active(false);
    }
    // The reports still on their way get five seconds in all (the messages
    // queued before them first); the journal names what is left.
    // Other systems hear of the stop: the endpoint closes, the broker is
    // told "offline".
    integrationEnded_ = true;
    if (web_)
        web_->stop();
    mqtt_.reset();
    const QDeadlineTimer reports(5000);
    while (!sends_->Idle() && !reports.hasExpired())
        QThread::msleep(20);
    delivery_->finish(std::chrono::milliseconds(std::max<qint64>(reports.remainingTime(), 0)));
    if (beforeSave)
        beforeSave();
    StopKeepingSettings(this);
    if (keepTimer_)
        keepTimer_->stop();
    if (runMarked_)
        MarkRun(false);
    // Records whose file another process holds locked go out now, without
    // the lock if need be: about a second at most.
    SafeFile::finishAppends();
    const QString settingsFile = SettingsFilePath(Settings.ProgramDir);
    errno = 0;
    if (SaveSettings(Settings)) {
        JournalMessage(JournalPriority::Notice, QStringLiteral("stopped (settings written to %1)").arg(settingsFile));
    } else {
        const int why = errno;
        JournalMessage(JournalPriority::Warning,
                       QStringLiteral("stopped (settings not written to %1: %2)")
                           .arg(settingsFile, why ? QString::fromLocal8Bit(std::strerror(why))
                                                  : QStringLiteral("unknown reason")));
    }
    Engine->tmWatch->stop();
    Access->tmAccess.stop();
}

namespace {

qint64 clockSeconds(const QString &hms)
{
    const QTime t = QTime::fromString(hms, QStringLiteral("hh:mm:ss"));
    return t.isValid() ? t.msecsSinceStartOfDay() / 1000 : 0;
}

} // namespace

void WatchHost::PublishSnapshot()
{
    snapshotTimer_->stop();
    if (!SnapshotsRead()) {
        Board.due();
        return;
    }
    Board.publish(TakeSnapshot());
    if (mqtt_)
        mqtt_->update(Board.current());
    // Only the endpoint serves the day report.
    if (webApplied_.port == 0)
        return;
    std::lock_guard lock(reportMutex_);
    reportSettings_ = Settings;
    reportList_ = ReportListEntries(*Model);
}

bool WatchHost::SnapshotsRead() const
{
    return webApplied_.port != 0 || !mqttApplied_.broker.isEmpty();
}

WatchSnapshotPtr WatchHost::TakeSnapshot() const
{
    auto s = std::make_shared<WatchSnapshot>();
    s->taken = QDateTime::currentDateTime();
    s->terminals.reserve(Model->rowCount());
    QString group;
    for (int row = 0; row < Model->rowCount(); ++row) {
        WatchEntry e;
        if (!ReadEntry(*Model, row, e))
            continue;
        if (e.Kind == KindSeparator) {
            group = e.UserName;
            continue;
        }
        TerminalState t;
        t.resource = WithoutFinderMark(e.ResourceName);
        t.user = e.UserName;
        t.group = group;
        t.address = WithoutFinderMark(e.Address).remove(u' ');
        const int image = Model->imageIndex(row);
        t.state = image == ImageResting  ? QStringLiteral("resting")
            : image == ImageWatchError   ? QStringLiteral("error")
            : e.State == StateLoggedIn   ? QStringLiteral("in")
            : e.State == StateLoggedOut  ? QStringLiteral("out")
                                         : QStringLiteral("unknown");
        const WatchListModel::Row &r = Model->row(row);
        if (r.since > 0)
            t.since = QDateTime::fromMSecsSinceEpoch(r.since);
        if (t.state == u"in")
            t.seenBy = QLatin1String(SeenByName(r.seenBy));
        s->terminals.append(std::move(t));
    }
    for (const AccessSession &a : Access->AccessSessionList) {
        SessionState session;
        session.user = a.UserName;
        session.terminal = a.Terminal;
        QStringList shares;
        for (const AccessConnection &c : a.Connections)
            shares << c.ShareName;
        session.shares = shares.join(u',');
        session.connectedSeconds = clockSeconds(a.ConnectTime);
        session.idleSeconds = clockSeconds(a.AccessTime);
        s->sessions.append(std::move(session));
    }
    s->lastPassSeconds = Engine->LastPassSeconds;
    s->passes = Engine->PassesApplied;
    for (size_t k = 0; k < Engine->EventCounts.size(); ++k)
        s->events[k] = Engine->EventCounts[k];
    s->events[size_t(CountedEvent::Access)] = accessEvents_;
    s->computer = QSysInfo::machineHostName();
    s->language = QCoreApplication::translate("DayReport", "ja", "language code of the page");
    return s;
}

QByteArray WatchHost::DayReportPage(QDate day) const
{
    ProgramSettings settings;
    QList<ReportListEntry> list;
    {
        std::lock_guard lock(reportMutex_);
        settings = reportSettings_;
        list = reportList_;
    }
    return DayReportHtml(MakeDayReport(settings, day, QDateTime::currentDateTime(), list)).toUtf8();
}
