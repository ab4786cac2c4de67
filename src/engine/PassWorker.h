#pragma once

// The watch worker: one watch pass over a copy of the watch list, on a
// thread of its own so that slow browse lists and echo probes never block
// the console.
//
// For every item that is not skipped it decides whether the terminal is
// present (listed in its domain by its provider, or answering an echo
// request at its address), turns a change of presence into a login, logout
// or watch error with a line in the matching list and the entry's own
// action, and hands the new state to the main thread. Everything that
// touches the rows or the main window runs on the main thread. The worker
// gathers its changes and hands them over (PassHandOver), in order and
// without waiting, whenever it is about to wait for something itself (an
// echo, a lookup, a browse list, an entry action) and when its loop ends:
// the rows are never behind while the worker waits. It never waits for the
// main thread: what it reads (the settings, the rows' MAC texts) is copied
// when the pass starts, and it has a probe of its own. Stopping a pass is
// asking the loop to stop and waiting for the thread.
//
// Terminate() is looked at after the progress is shown, after the name
// resolution, after the address check and after the entry is published; an
// entry interrupted before it is published keeps its old state (the column
// texts of its address check stay).

#include "engine/PassHandOver.h"
#include "engine/WatchEntry.h"
#include "platform/ArpCheck.h"
#include "platform/EchoBatch.h"

#include <QList>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class NetBrowser;
class Probe;
class WatchEvents;
struct ProgramSettings;

inline constexpr int MaxAwayPasses = 10;
inline constexpr size_t MaxTcpPorts = 16;
// The ports of [TCPIP] TcpPorts ("445, 139"): numbers 1-65535, each once,
// at most MaxTcpPorts; anything else is left out.
std::vector<quint16> TcpPortList(const QString &text);

// The settings a pass works with, copied when it starts: the settings dialog
// may change them while the worker runs.
struct PassSettings {
    bool SafeCheck = false;
    bool LoginDoAction = false, LogoutDoAction = false;
    bool LoginAutoMAC = false, LogoutAutoMAC = false;
    bool WaitWave = false;
    // The probe's: echo time-out, data size (capped to what the probe
    // keeps), TTL.
    qint32 TimeOut = 0;
    qint16 SendBytes = 0;
    qint32 TTL = 0;
    // Sends again of an unanswered echo (0-5), and whether every echo of
    // the pass goes out when it starts.
    int Retry = 0;
    bool Parallel = false;
    // Presence beyond the echo: a fresh address-resolution answer on a
    // directly connected network, a TCP port that answers; and the passes
    // in a row (1-10) that must miss a present terminal before its logout.
    bool NeighbourCheck = false;
    std::vector<quint16> TcpPorts;
    int AwayPasses = 1;

    static PassSettings From(const ProgramSettings &settings);
};

class PassWorker : public QThread {
    Q_OBJECT

public:
    // What the worker works with. The probe is the worker's alone while the
    // pass runs; the browser and the actions outlive the worker.
    struct Host {
        Probe *probe = nullptr;
        NetBrowser *net = nullptr;
        WatchEvents *events = nullptr;
        std::shared_ptr<PassHandOver> handOver;
        PassSettings settings;
    };

    PassWorker(const Host &host, QList<WorkItem> workList, QObject *parent = nullptr);
    // Stops the loop and waits for it.
    ~PassWorker() override;

    // Asks the loop to stop at its next check; an echo it waits for ends at
    // once.
    void Terminate();

    // After the loop has ended (or from the loop's own thread).
    const QList<WorkItem> &WorkList() const { return WorkList_; }
    const QStringList &ErrorLines() const { return ErrorLines_; }
    const QStringList &LoginLines() const { return LoginLines_; }
    const QStringList &LogoutLines() const { return LogoutLines_; }

protected:
    void run() override;

private:
    void ShowProgress();
    void PublishEntry();
    void Resolve();
    void AddressCheck();
    void NetworkCheck();
    void MarkLogin(int index);
    void MarkLogout(int index);
    void MarkError(int index);
    void RunEntryAction(const WorkItem &item, const QString &action);

    QString ResolveAddress(const QString &name);
    QString ReverseLookup(const QString &address);
    bool ProbeEcho(const QString &address);
    QString ProbeMAC(const QString &address);
    // Whether the current entry, its echo unanswered, answered otherwise:
    // sets the Result text and SeenBy_; true when that makes it present.
    bool SeenBeyondEcho(const QString &address);
    bool BeyondEchoWanted() const;
    void AskBeyondEcho(std::vector<int> batch, std::vector<quint32> addresses);
    void FeedBeyondEcho(std::vector<std::pair<int, quint32>> echoes);
    void FinishBeyondEcho();
    bool ProbeReady();
    void SubmitEchoes();
    EchoRequest EchoTo(const QString &address);
    void StartLookups();
    void SubmitResolved();
    // The lookahead's answer for the current entry: an address as dotted
    // text or a name, empty when the lookup failed or the pass stops.
    QString LookedUp();

    // Row updates of the address check, on the main thread.
    void SetRowText(int column, const QString &text);
    // Hands the gathered changes to the main thread without waiting.
    void Flush();
    bool Stopping() const { return isInterruptionRequested(); }

    Host host_;
    // The pass's echoes with Parallel: every known address is asked when
    // the pass starts and each entry takes its answer in list order.
    // Without Parallel, or without the right to an echo socket, the probe's
    // own exchange serves each entry in turn.
    EchoBatch Echoes_;
    QByteArray EchoData_;
    QList<int> EchoIds_;      // per work item, -1 when not submitted
    QString EchoText_;        // the last echo's result line or status
    // Presence beyond the echo, per work item: asked in batches, the first
    // time the walk reaches an entry whose echo went unanswered, for it and
    // every later entry whose echo has gone unanswered by then.
    struct Beyond {
        bool asked = false;
        bool done = false;
        bool arp = false;       // answered address resolution in this pass
        bool arpOther = false;  // only hardware addresses other than its listed MAC answered
        quint16 tcpPort = 0;    // the first port that answered, 0 for none
        bool tcpReset = false;  // that port reset the attempt rather than accepting it
    };
    std::vector<Beyond> Beyond_;   // guarded by BeyondMutex_, as is the count below
    // Per work item, the MAC its row holds: only that hardware address
    // answers address resolution for it. Read by the asking threads, never
    // written after the constructor.
    std::vector<std::optional<ArpCheck::Hardware>> Owners_;
    int BeyondAsking_ = 0;         // batches being asked
    std::atomic<bool> WalkDone_{false};  // the walk is over: what is still asked ends
    std::mutex BeyondMutex_;
    std::condition_variable BeyondDone_;
    std::thread Feeder_;
    std::vector<std::thread> Asking_;  // the feeder's alone
    ArpCheck::Means ArpMeans_ = ArpCheck::Means::None;
    QString ProbeAddress_;    // the current entry's address, as probed
    std::chrono::microseconds Grace_{0};
    // Names and addresses of the parallel pass looked up ahead of the walk.
    struct Lookahead;
    std::shared_ptr<Lookahead> Lookahead_;
    QList<int> JobOf_;        // per work item, -1 when it has no lookup
    int Submitted_ = 0;       // lookups whose echo has been submitted
    qint32 CurrentIndex = 0;
    QString ResolvedAddress;
    QString NameToResolve;
    qint32 EntryCount = 0;
    QList<WorkItem> WorkList_;
    QStringList ErrorLines_;
    QStringList LoginLines_;
    QStringList LoginWays_;   // per login line: how it was seen, empty for the echo or a browse list
    QStringList LogoutLines_;
    QString SeenBy_;          // how the current entry was seen, as LoginWays_ has it

    using Change = PassHandOver::Change;
    QList<Change> Pending_;  // the worker's own, not handed over yet

    // How many of each list's lines the main thread has been given, and how
    // many belong to published entries (the lines of an entry interrupted
    // before it is published never travel).
    qsizetype ErrorsPublished = 0, ErrorsReady = 0;
    qsizetype LoginsPublished = 0, LoginsReady = 0;
    qsizetype LogoutsPublished = 0, LogoutsReady = 0;
};
