#pragma once

// The running system without its windows: the platform services, the event
// actions, the messenger, the watch list, the watch engine with its probe and
// the access check, wired together. It is built before any window, starts
// the watching (the deferred start) and stops it in order (the close).
// Notices, records and the icon are reached through outlets: the console's,
// or a test's when no window exists.

#include "config/Settings.h"
#include "engine/WatchSnapshot.h"
#include "engine/WebEndpoint.h"
#include "events/DayReport.h"
#include "platform/MqttPresence.h"
#include "platform/Platform.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>

class AccessCheck;
class AccessEventOutlets;
class EventActions;
class MailslotTransport;
class MessageTransport;
class MessageQueue;
class Messenger;
class NetBrowser;
class ProcessStarter;
class ServerApi;
class SoundPlayer;
class Probe;
class WatchEngine;
class WatchEvents;
class WatchListModel;
class QTimer;
class ReportDelivery;

class WatchHost : public QObject {
    Q_OBJECT

public:
    // Reads the settings (Krovan.ini in ProgramDir, then the command line's
    // arguments) and builds the system; nothing runs until it is started.
    // The shared services supply the shutdown service; one is made when
    // none exists.
    explicit WatchHost(const QStringList &arguments, QObject *parent = nullptr);
    ~WatchHost() override;

    // This machine's platform and the watch-list file it picks.
    PlatformIdentity Platform;
    QString ListFilePath;

    WatchListModel *Model = nullptr;
    // The watch passes' own probe.
    Probe *PassProbe = nullptr;
    WatchEngine *Engine = nullptr;
    AccessCheck *Access = nullptr;

    EventActions &Actions() { return *actions_; }
    Messenger &Sender() { return *messenger_; }
    // The messenger's sends, off the main thread.
    MessageQueue &Sends() { return *sends_; }
    NetBrowser &Net() { return *net_; }

    // Where the events go. Attach before the start; detaching stops a
    // running pass without its end handler.
    void AttachOutlets(WatchEvents *watch, AccessEventOutlets *access);
    void DetachOutlets();

    // The deferred start, in the steps the console interleaves with its own:
    // the watch list loaded and the engine free; the start-up check when
    // [Config] StartCheck is set (ask, when given and [Config] StartCheckMsg
    // is set, says whether to check now), false when the logon ended
    // meanwhile and nothing more may start; the timers. The first start of
    // the timers says in the journal what is watched, from which list,
    // where the settings go and which way echo requests go out.
    void LoadList();
    bool FirstPass(const std::function<bool()> &ask = {});
    void StartTimers();
    // All of it, for a run without windows.
    void Start();
    // What the operator must know from the start on, in the console's
    // language (the journal has had it in English): a program folder that
    // cannot be written, no right to send the echo requests of IP-checked
    // terminals. Empty until the timers start.
    const QStringList &StartWarnings() const { return startWarnings_; }

    // The close: no more events, the running pass stopped (its end handler
    // runs), the probes closed, then beforeSave (the windows' own steps),
    // the settings written (the journal says where, or why not) and the
    // timers stopped.
    void Stop(const std::function<void()> &beforeSave = {});

    // From the start of the timers on, a change marked where it happens
    // (MarkSettingsChanged) is on disk within KeepSettingsMs, and so is the
    // windows' state as the start left it: a display that goes away ends the
    // process with no close, and the run's settings must not go with it.
    // BeforeKeepSettings puts the windows' own state (size, place, columns)
    // into the settings first; the file is written only when they differ
    // from what was last kept. Nothing wakes for it while nothing is marked.
    std::function<void()> BeforeKeepSettings;
    int KeepSettingsMs = 3000;

    // The watch as other systems read it (the HTTP endpoint, MQTT): a new
    // snapshot after every applied pass, and within SnapshotDelayMs of a
    // change of the list, an access event or (while they read it) a scan
    // with sessions, whose times are the scan's. While both are off, only
    // noted as due: the board takes it when the main thread asks for it.
    SnapshotBoard Board;
    void PublishSnapshot();
    // The day report of a day as `corvane REPORT` writes it, with the list
    // and settings of the last snapshot; safe on any thread.
    QByteArray DayReportPage(QDate day) const;
    int SnapshotDelayMs = 100;

private:
    void KeepSettings();
    bool SnapshotsRead() const;  // the endpoint or the broker is on
    WatchSnapshotPtr TakeSnapshot() const;
    void AnnounceStart();
    void MarkRun(bool start);

    std::unique_ptr<SoundPlayer> sound_;
    std::unique_ptr<ProcessStarter> process_;
    std::unique_ptr<MessageTransport> transport_;
    std::unique_ptr<MailslotTransport> mailslot_;
    std::unique_ptr<ServerApi> server_;
    std::unique_ptr<NetBrowser> net_;
    std::unique_ptr<EventActions> actions_;
    std::unique_ptr<ReportDelivery> delivery_;  // before the messenger: it goes after it
    std::unique_ptr<Messenger> messenger_;
    std::unique_ptr<MessageQueue> sends_;  // after the messenger: it goes first
    AccessEventOutlets *accessOutlets_ = nullptr;
    QTimer *keepTimer_ = nullptr;
    QTimer *snapshotTimer_ = nullptr;
    quint64 accessEvents_ = 0;
    // What DayReportPage reads, copied by PublishSnapshot.
    mutable std::mutex reportMutex_;
    ProgramSettings reportSettings_;
    QList<ReportListEntry> reportList_;
    // What other systems read, last: they go first, before what they read.
    void ApplyIntegration();
    std::unique_ptr<WebEndpoint> web_;
    std::unique_ptr<MqttPresence> mqtt_;
    WebSettings webApplied_;   // the settings they run with
    MqttSettings mqttApplied_;
    bool integrationEnded_ = false;  // the close: neither is made any more
    bool announced_ = false;
    bool runMarked_ = false;
    QStringList startWarnings_;
    ProgramSettings kept_;  // the settings as last kept on disk
};
