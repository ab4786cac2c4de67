#include "engine/PassWorker.h"

#include "config/Settings.h"
#include "engine/ExpandTemplate.h"
#include "engine/NetSearch.h"
#include "engine/WatchEvents.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "platform/HostLookup.h"
#include "platform/Journal.h"
#include "platform/TcpKnock.h"
#include "probe/MAC.h"
#include "probe/Probe.h"
#include "process/ProcessFlags.h"

#include <QCoreApplication>
#include <QSet>

#include <algorithm>
#include <arpa/inet.h>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace {
// The probe keeps a 16-bit size; a larger setting must not wrap round.
constexpr qint32 MaxSendBytes = 10240;
// Lookups under way at once ahead of the walk.
constexpr int LookupThreads = 4;
// How long an echo goes unanswered before the checks beyond it start: an
// answer on a local network takes milliseconds, and a terminal that
// answers the echo costs nothing more.
constexpr int GraceMs = 100;
// How often the silent echoes are gathered, and how many batches may be
// asked at once.
constexpr int FeedTickMs = 10;
constexpr int MaxAsking = 32;
// Connection attempts open at once per batch (fewer when the process has
// fewer descriptors to spare): 1 000 silent terminals with four ports take
// four waits.
constexpr int KnocksAtOnce = 1024;
// How long address resolution is waited for when it only explains an
// unanswered echo (the check itself is off): an answer on a local network
// takes milliseconds.
constexpr int DiagnosisWaitMs = 300;
// Changes the walk gathers before it hands them over unasked (a few per
// entry): the console is posted to a few times in a long pass, and what
// waits for it stays small.
constexpr qsizetype HandOverBatch = 1024;

quint32 hostOrderAddress(const QString &text)
{
    QString compact = WithoutFinderMark(text);
    compact.remove(u' ');
    in_addr a{};
    return ::inet_pton(AF_INET, compact.toLatin1().constData(), &a) == 1 ? ntohl(a.s_addr) : 0;
}

// Whether this is the first time in this run that the journal is told
// this.
bool firstTime(const QString &what)
{
    static std::mutex mutex;
    static QSet<QString> told;
    std::lock_guard lock(mutex);
    if (told.contains(what))
        return false;
    told.insert(what);
    return true;
}

// Once per run and terminal: why an echo goes unanswered by a terminal that
// is there, and what to do.
void tellOnce(const QString &terminal, const QString &way, bool counted, bool reset = false)
{
    if (!firstTime(terminal))
        return;
    JournalLine(JournalPriority::Notice, "no echo answer",
                terminal + QStringLiteral(" answers ") + way
                    + QStringLiteral(" but not echo requests (a firewall drops them: on Windows, switch on the rule "
                                     "\"File and Printer Sharing (Echo Request - ICMPv4-In)\")")
                    + (counted ? QStringLiteral("; it counts as present by ") + way
                               : QStringLiteral("; it counts as absent unless [TCPIP] NeighbourCheck=1 (a sleeping "
                                                "PC whose adapter answers ARP then counts as present) or TcpPorts "
                                                "is set"))
                    + (reset ? QStringLiteral("; a reset may also come from a router or firewall on the way, in its "
                                              "name")
                             : QString()));
}

// Once per run and terminal: address resolution for it is answered, but not
// by the MAC its row holds.
void tellOtherSender(const QString &terminal, const QString &mac)
{
    if (!firstTime(QStringLiteral("mac ") + terminal))
        return;
    JournalLine(JournalPriority::Warning, "ARP answered by another MAC",
                terminal + QStringLiteral(": address resolution is answered, but not by its listed MAC ") + mac
                    + QStringLiteral(", so it does not count (another computer holds or claims its address; if "
                                     "the terminal's network adapter changed, clear its MAC in the list)"));
}
} // namespace

std::vector<quint16> TcpPortList(const QString &text)
{
    std::vector<quint16> ports;
    for (const QString &field : text.split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const uint port = field.trimmed().toUInt(&ok);
        if (ok && port >= 1 && port <= 65535 && std::find(ports.begin(), ports.end(), port) == ports.end()
            && ports.size() < MaxTcpPorts)
            ports.push_back(quint16(port));
    }
    return ports;
}

// Lookups cannot be interrupted: their threads hold this state and outlive
// a pass that stops, which only stops waiting for them.
struct PassWorker::Lookahead {
    struct Job {
        qint32 index = 0;
        bool forward = true;   // a name to an address, else an address to a name
        QString name;
        quint32 address = 0;
        bool done = false;
        QString result;
    };
    std::mutex mutex;
    std::condition_variable finished;
    std::vector<Job> jobs;
    size_t next = 0;
    bool abandoned = false;

    static void work(const std::shared_ptr<Lookahead> &self)
    {
        for (;;) {
            size_t i;
            Job job;
            {
                std::lock_guard lock(self->mutex);
                if (self->abandoned || self->next >= self->jobs.size())
                    return;
                i = self->next++;
                job = self->jobs[i];
            }
            if (job.done)
                continue;
            QString result;
            if (job.forward) {
                const HostLookup::Address found = HostLookup::addressOf(job.name);
                if (found.error == 0) {
                    in_addr a{found.address};
                    char text[INET_ADDRSTRLEN];
                    result = QString::fromLatin1(::inet_ntop(AF_INET, &a, text, sizeof text));
                }
            } else {
                const HostLookup::Name found = HostLookup::nameOf(job.address);
                if (found.error == 0)
                    result = found.name;
            }
            {
                std::lock_guard lock(self->mutex);
                self->jobs[i].result = result;
                self->jobs[i].done = true;
            }
            self->finished.notify_all();
        }
    }
};

PassSettings PassSettings::From(const ProgramSettings &s)
{
    PassSettings p;
    p.SafeCheck = s.Config.SafeCheck;
    p.LoginDoAction = s.Login.DoAction;
    p.LogoutDoAction = s.Logout.DoAction;
    p.LoginAutoMAC = s.Login.AutoMAC;
    p.LogoutAutoMAC = s.Logout.AutoMAC;
    p.WaitWave = s.Config.WaitWave;
    p.TimeOut = s.TCPIP.TimeOut;
    p.SendBytes = qint16(qBound<qint32>(-32768, s.TCPIP.SendBytes, MaxSendBytes));
    p.TTL = s.TCPIP.TTL;
    p.Retry = qBound(0, s.TCPIP.Retry, EchoBatch::MaxRetries);
    p.Parallel = s.TCPIP.Parallel;
    p.NeighbourCheck = s.TCPIP.NeighbourCheck;
    p.TcpPorts = TcpPortList(s.TCPIP.TcpPorts);
    p.AwayPasses = qBound(1, s.TCPIP.AwayPasses, MaxAwayPasses);
    return p;
}

PassWorker::PassWorker(const Host &host, QList<WorkItem> workList, QObject *parent)
    : QThread(parent), host_(host), EntryCount(qint32(workList.size())), WorkList_(std::move(workList))
{
    // Before the thread starts: from then on the probe is the worker's.
    host_.probe->TimeOut = host_.settings.TimeOut;
    host_.probe->SetSendBytes(host_.settings.SendBytes);
    host_.probe->TTL = host_.settings.TTL;
    EchoIds_.fill(-1, EntryCount);
    Beyond_.resize(size_t(EntryCount));
    Owners_.reserve(size_t(EntryCount));
    for (const WorkItem &item : std::as_const(WorkList_))
        Owners_.push_back(ReadListedMAC(item.MAC));
    Grace_ = std::chrono::milliseconds(std::clamp(host_.settings.TimeOut / 2, 1, GraceMs));
    ArpMeans_ = ArpCheck::Available();
    if (host_.settings.NeighbourCheck && ArpMeans_ == ArpCheck::Means::None) {
        static std::atomic<bool> told{false};
        if (!told.exchange(true))
            JournalLine(JournalPriority::Warning, "address-resolution check unavailable",
                        QStringLiteral("[TCPIP] NeighbourCheck needs the raw-socket right or arping (Debian's "
                                       "iputils-arping)"));
    }
    // A pass over one entry (the pinpoint pass) has nothing to overlap and
    // keeps the probe's single exchange.
    const auto echoes = std::count_if(WorkList_.cbegin(), WorkList_.cend(),
                                      [](const WorkItem &item) { return item.IPCheck && !item.Skip; });
    if (echoes > 1 && host_.settings.Parallel) {
        EchoBatch::Options options;
        options.retries = host_.settings.Retry;
        Echoes_.open(EchoBatch::Kind::Auto, options);
        EchoData_ = QByteArray(qMax<qint16>(host_.probe->SendBytes(), 0), '\0');
    }
}

PassWorker::~PassWorker()
{
    Terminate();
    wait();
    FinishBeyondEcho();
    if (Lookahead_) {
        std::lock_guard lock(Lookahead_->mutex);
        Lookahead_->abandoned = true;
    }
}

void PassWorker::Terminate()
{
    requestInterruption();
    Echoes_.stop();
}

void PassWorker::run()
{
    WorkerRunning = true;
    CurrentIndex = 0;
    SubmitEchoes();
    if (Echoes_.isOpen() && BeyondEchoWanted()) {
        std::vector<std::pair<int, quint32>> echoes;
        for (qint32 i = 0; i < EntryCount; ++i)
            echoes.emplace_back(EchoIds_[i], EchoIds_[i] < 0 ? 0 : hostOrderAddress(WorkList_[i].Address));
        try {
            Feeder_ = std::thread(&PassWorker::FeedBeyondEcho, this, std::move(echoes));
        } catch (const std::system_error &) {
            // Without it the walk asks each silent entry itself.
        }
    }
    StartLookups();
    while (CurrentIndex < EntryCount) {
        SubmitResolved();
        WorkItem &item = WorkList_[CurrentIndex];
        if (!item.Skip) {
            ShowProgress();
            if (Stopping())
                break;
            if (item.IPCheck) {
                if (item.Address.isEmpty()) {
                    NameToResolve = item.ResourceName;
                    Resolve();
                    item.Address = ResolvedAddress.isEmpty() ? QString() : WithFinderMark(ResolvedAddress);
                    if (Stopping())
                        break;
                }
                AddressCheck();
                if (Stopping())
                    break;
            } else {
                NetworkCheck();
            }
            PublishEntry();
            if (Stopping())
                break;
        }
        ++CurrentIndex;
    }
    FinishBeyondEcho();
    // The end handler applies what is left before it looks at the rows.
    Flush();
    WorkerRunning = false;
}

void PassWorker::ShowProgress()
{
    if (host_.handOver->ShowsProgress()) {
        const QString text = QCoreApplication::translate("WatchEngine", "%1 調査中...").arg(WorkList_[CurrentIndex].UserName);
        Pending_.append({Change::StatusBar, CurrentIndex, 0, 0, text});
    }
}

void PassWorker::PublishEntry()
{
    const WorkItem &item = WorkList_[CurrentIndex];
    Pending_.append({Change::Publish, CurrentIndex, item.RowId, 0, item.StatusText, item.ImageIndex, item.State,
                     quint8(item.Misses), item.State == StateLoggedIn ? item.SeenBy : quint8(SeenByNone)});
    ErrorsReady = ErrorLines_.size();
    LoginsReady = LoginLines_.size();
    LogoutsReady = LogoutLines_.size();
    // Answering terminals never make the walk wait: without a bound, a long
    // list's every change would be held until the walk ends.
    if (Pending_.size() >= HandOverBatch)
        Flush();
}

void PassWorker::Flush()
{
    // Only the lines added since the last hand-over travel; handing over
    // whole lists would make the worker copy them at its next line.
    auto added = [](const QStringList &lines, qsizetype &published, qsizetype ready) {
        QStringList fresh = lines.mid(published, ready - published);
        published = ready;
        return fresh;
    };
    const QStringList errors = added(ErrorLines_, ErrorsPublished, ErrorsReady);
    const QStringList loginWays = LoginWays_.mid(LoginsPublished, LoginsReady - LoginsPublished);
    const QStringList logins = added(LoginLines_, LoginsPublished, LoginsReady);
    const QStringList logouts = added(LogoutLines_, LogoutsPublished, LogoutsReady);
    if (Pending_.isEmpty() && errors.isEmpty() && logins.isEmpty() && logouts.isEmpty())
        return;
    host_.handOver->Hand(std::move(Pending_), errors, logins, loginWays, logouts);
    Pending_.clear();
}

void PassWorker::Resolve()
{
    const QString found = ResolveAddress(NameToResolve);
    QString padded = found;
    NormaliseAddress(found, padded);
    ResolvedAddress = padded;
}

void PassWorker::NetworkCheck()
{
    Flush();
    const WorkItem &item = WorkList_[CurrentIndex];
    bool domainListed = false;
    try {
        domainListed = FindDomain(*host_.net, item.Provider, item.Domain);
    } catch (...) {
        // A browser that fails in an unforeseen way lists nothing.
        domainListed = false;
    }
    if (!domainListed) {
        MarkLogout(CurrentIndex);
        return;
    }
    int found = NetError;
    try {
        found = FindComputer(*host_.net, item.Domain, item.Provider, item.ResourceName, host_.settings.SafeCheck);
    } catch (...) {
        found = NetError;
    }
    switch (found) {
    case NetFound:
        WorkList_[CurrentIndex].SeenBy = SeenByBrowseList;
        MarkLogin(CurrentIndex);
        break;
    case NetNotFound: MarkLogout(CurrentIndex); break;
    default: MarkError(CurrentIndex); break;
    }
}

void PassWorker::AddressCheck()
{
    WorkItem &item = WorkList_[CurrentIndex];
    SeenBy_.clear();
    SetRowText(WatchListModel::ColResult, QString());
    bool present = false;
    QString probeAddress;
    if (item.Address.isEmpty()) {
        present = false;
    } else if (HasFinderMark(item.Address)) {
        SetRowText(WatchListModel::ColAddress, item.Address);
        probeAddress = item.Address.mid(1);
        present = ProbeEcho(probeAddress);
        if (Stopping())
            return; // the echo may have ended without an outcome
        present = present || SeenBeyondEcho(probeAddress);
        if (Stopping())
            return;
        SetRowText(WatchListModel::ColResult, EchoText_);
    } else {
        probeAddress = item.Address;
        if (item.ResourceName.isEmpty()) {
            item.ResourceName = ReverseLookup(item.Address);
            SetRowText(WatchListModel::ColResourceName,
                       item.ResourceName.isEmpty() ? QString() : WithFinderMark(item.ResourceName));
        }
        present = ProbeEcho(probeAddress);
        if (Stopping())
            return; // the echo may have ended without an outcome
        present = present || SeenBeyondEcho(probeAddress);
        if (Stopping())
            return;
        SetRowText(WatchListModel::ColResult, EchoText_);
    }

    if (present) {
        // The row's MAC as the pass found it; the fill is applied only to a
        // row whose MAC is still empty then.
        if (host_.settings.LoginAutoMAC && item.MAC.isEmpty()) {
            const QString mac = ProbeMAC(probeAddress);
            Pending_.append({Change::FillMAC, CurrentIndex, item.RowId, 0, mac});
        }
        item.Misses = 0;
        item.SeenBy = SeenBy_.isEmpty() ? SeenByEcho : SeenBy_.startsWith(u"TCP") ? SeenByTcp : SeenByArp;
        MarkLogin(CurrentIndex);
        return;
    }
    // A present terminal goes only after AwayPasses passes in a row missed
    // it; until then it stays as it is and says so.
    if (item.State == StateLoggedIn && ++item.Misses < host_.settings.AwayPasses) {
        SetRowText(WatchListModel::ColResult, QCoreApplication::translate("WatchEngine", "応答なし %1/%2")
                                                  .arg(item.Misses)
                                                  .arg(host_.settings.AwayPasses));
        return;
    }
    item.Misses = 0;
    MarkLogout(CurrentIndex);
    // An address found from the name belongs to the terminal only while it
    // answers; next time the name is looked up again.
    if (HasFinderMark(item.Address)) {
        item.Address.clear();
        SetRowText(WatchListModel::ColAddress, QString());
    }
    if (host_.settings.LogoutAutoMAC)
        SetRowText(WatchListModel::ColMAC, QString());
}

void PassWorker::RunEntryAction(const WorkItem &item, const QString &action)
{
    if (host_.events) {
        Flush();
        host_.events->RunAction(action, EntryTemplateValues(item), host_.settings.WaitWave);
    }
}

void PassWorker::MarkLogin(int index)
{
    WorkItem &item = WorkList_[index];
    if (item.State != StateLoggedIn) {
        LoginLines_.append(item.UserName + u'\t' + item.ResourceName);
        LoginWays_.append(SeenBy_);
        if (host_.settings.LoginDoAction)
            RunEntryAction(item, item.LoginAction);
    }
    item.StatusText = StatusLoggedIn;
    item.ImageIndex = item.Kind + 0;
    item.State = StateLoggedIn;
}

void PassWorker::MarkLogout(int index)
{
    WorkItem &item = WorkList_[index];
    if (item.State != StateLoggedOut) {
        LogoutLines_.append(item.UserName + u'\t' + item.ResourceName);
        if (host_.settings.LogoutDoAction)
            RunEntryAction(item, item.LogoutAction);
    }
    item.StatusText = StatusLoggedOut;
    item.ImageIndex = item.Kind + 1;
    item.State = StateLoggedOut;
}

void PassWorker::MarkError(int index)
{
    WorkItem &item = WorkList_[index];
    if (item.ImageIndex != ImageWatchError)
        ErrorLines_.append(item.UserName + u'\t' + item.ResourceName);
    item.StatusText = StatusWatchError;
    item.ImageIndex = ImageWatchError;
    item.State = StateWatchError;
}

bool PassWorker::ProbeReady()
{
    // Everything below waits on the network.
    Flush();
    return host_.probe->ActiveFlag() || host_.probe->Active(true);
}

QString PassWorker::ResolveAddress(const QString &name)
{
    if (JobOf_.value(CurrentIndex, -1) >= 0)
        return LookedUp();
    if (!ProbeReady() || !host_.probe->GetIPByName(name))
        return QString();
    return host_.probe->GetIPAddr();
}

QString PassWorker::ReverseLookup(const QString &address)
{
    if (JobOf_.value(CurrentIndex, -1) >= 0)
        return LookedUp();
    QString compact = address;
    compact.remove(u' ');
    if (!ProbeReady() || !host_.probe->GetNameByIP(compact))
        return QString();
    return host_.probe->HostName;
}

void PassWorker::SubmitEchoes()
{
    // Addresses found from names are looked up in the walk, and their
    // echoes go out then.
    if (!Echoes_.isOpen())
        return;
    for (qint32 i = 0; i < EntryCount; ++i) {
        const WorkItem &item = WorkList_[i];
        if (item.Skip || !item.IPCheck || item.Address.isEmpty())
            continue;
        EchoIds_[i] = Echoes_.submit(EchoTo(WithoutFinderMark(item.Address)));
    }
}

void PassWorker::StartLookups()
{
    // Only the parallel pass looks ahead; the echoes of found addresses
    // then go out before the walk reaches their entries.
    if (!Echoes_.isOpen())
        return;
    auto lookahead = std::make_shared<Lookahead>();
    JobOf_.fill(-1, EntryCount);
    for (qint32 i = 0; i < EntryCount; ++i) {
        const WorkItem &item = WorkList_[i];
        if (item.Skip || !item.IPCheck)
            continue;
        Lookahead::Job job;
        job.index = i;
        if (item.Address.isEmpty()) {
            job.name = item.ResourceName;
            // No name, nothing to look up.
            job.done = job.name.isEmpty();
        } else if (!HasFinderMark(item.Address) && item.ResourceName.isEmpty()) {
            job.forward = false;
            QString compact = item.Address;
            compact.remove(u' ');
            job.address = ::inet_addr(compact.toLatin1().constData());
        } else {
            continue;
        }
        JobOf_[i] = int(lookahead->jobs.size());
        lookahead->jobs.push_back(job);
    }
    if (lookahead->jobs.empty())
        return;
    Lookahead_ = lookahead;
    const int threads = qMin<int>(LookupThreads, int(lookahead->jobs.size()));
    for (int t = 0; t < threads; ++t) {
        try {
            std::thread([lookahead] { Lookahead::work(lookahead); }).detach();
        } catch (const std::system_error &) {
            if (t == 0) {
                // No thread for the lookahead: the walk looks up itself.
                Lookahead_.reset();
                JobOf_.clear();
            }
            break;
        }
    }
}

void PassWorker::SubmitResolved()
{
    if (!Lookahead_)
        return;
    std::lock_guard lock(Lookahead_->mutex);
    auto &jobs = Lookahead_->jobs;
    while (Submitted_ < int(jobs.size()) && jobs[size_t(Submitted_)].done) {
        const Lookahead::Job &job = jobs[size_t(Submitted_++)];
        if (job.forward && !job.result.isEmpty() && job.index > CurrentIndex) {
            // As the walk will probe it: in its padded form, spaces removed.
            QString padded = job.result;
            NormaliseAddress(job.result, padded);
            EchoIds_[job.index] = Echoes_.submit(EchoTo(padded));
        }
    }
}

QString PassWorker::LookedUp()
{
    std::unique_lock lock(Lookahead_->mutex);
    const Lookahead::Job &job = Lookahead_->jobs[size_t(JobOf_[CurrentIndex])];
    if (!job.done) {
        lock.unlock();
        Flush();
        lock.lock();
        // Looked at again now and then, so that a stop is not kept waiting
        // for a resolver.
        while (!job.done && !Stopping())
            Lookahead_->finished.wait_for(lock, std::chrono::milliseconds(50));
    }
    return job.done ? job.result : QString();
}

EchoRequest PassWorker::EchoTo(const QString &address)
{
    host_.probe->SetIPAddr(address);
    EchoRequest rq;
    rq.address = host_.probe->Address();
    rq.data = EchoData_;
    rq.ttl = host_.probe->TTL & 0xFF;
    rq.ex = host_.probe->EX;
    rq.timeoutMs = host_.probe->TimeOut;
    return rq;
}

bool PassWorker::ProbeEcho(const QString &address)
{
    if (!Echoes_.isOpen()) {
        // One entry after another: the probe's own exchange, sent again
        // while it times out.
        if (!ProbeReady()) {
            EchoText_ = host_.probe->StatusText();
            return false;
        }
        const QString timedOut = Probe::GetErrMsg(IpStatus::ReqTimedOut);
        bool answered = false;
        for (int sent = 0; sent <= host_.settings.Retry && !Stopping(); ++sent) {
            host_.probe->SetIPAddr(address);
            answered = host_.probe->Ping();
            EchoText_ = host_.probe->StatusText();
            if (answered || EchoText_ != timedOut)
                break;
        }
        return answered;
    }
    int &id = EchoIds_[CurrentIndex];
    if (id < 0)
        id = Echoes_.submit(EchoTo(address));
    std::optional<EchoReply> reply = Echoes_.result(id);
    if (!reply) {
        // The rows are not left behind while the echo is waited for; a wait
        // of a moment (an answer on its way) hands nothing over first, so a
        // pass of answering terminals does not post to the console per
        // entry.
        reply = Echoes_.wait(id, std::chrono::milliseconds(2));
        if (!reply && !Stopping()) {
            Flush();
            reply = Echoes_.wait(id);
        }
    }
    // Without an outcome the pass is stopping, and the entry is left as it
    // was.
    EchoText_ = reply ? Probe::ReplyText(*reply) : QString();
    return reply && reply->replied && reply->status == IpStatus::Success;
}

QString PassWorker::ProbeMAC(const QString &address)
{
    if (!ProbeReady())
        return QString();
    host_.probe->SetIPAddr(address);
    return host_.probe->GetMACAddr();
}

void PassWorker::SetRowText(int column, const QString &text)
{
    Pending_.append({Change::Text, CurrentIndex, WorkList_[CurrentIndex].RowId, column, text});
}

bool PassWorker::BeyondEchoWanted() const
{
    // The address-resolution answer is asked for whenever the right to ask
    // exists: with the check off it still explains a silent terminal.
    return ArpMeans_ != ArpCheck::Means::None || !host_.settings.TcpPorts.empty();
}

void PassWorker::AskBeyondEcho(std::vector<int> batch, std::vector<quint32> addresses)
{
    const PassSettings &s = host_.settings;
    std::vector<std::optional<ArpCheck::Hardware>> owners;
    owners.reserve(batch.size());
    for (const int i : batch)
        owners.push_back(Owners_[size_t(i)]);
    const auto stopping = [this] { return Stopping() || WalkDone_; };
    const std::chrono::milliseconds wait(std::max(s.TimeOut, 1));
    std::vector<TcpAnswer> knocked;
    std::thread knocking;
    if (!s.TcpPorts.empty()) {
        try {
            knocking = std::thread([&] { knocked = KnockTcp(addresses, s.TcpPorts, wait, stopping, KnocksAtOnce); });
        } catch (const std::system_error &) {
            knocked = KnockTcp(addresses, s.TcpPorts, wait, stopping, KnocksAtOnce);
        }
    }
    std::vector<ArpCheck::Answer> resolved;
    if (ArpMeans_ != ArpCheck::Means::None)
        resolved = ArpCheck::Ask(addresses,
                                 s.NeighbourCheck ? wait : std::min(wait, std::chrono::milliseconds(DiagnosisWaitMs)),
                                 ArpMeans_, stopping, owners);
    if (knocking.joinable())
        knocking.join();
    {
        std::lock_guard lock(BeyondMutex_);
        for (size_t k = 0; k < batch.size(); ++k) {
            Beyond &b = Beyond_[size_t(batch[k])];
            b.arp = k < resolved.size() && resolved[k].answered;
            b.arpOther = k < resolved.size() && resolved[k].otherSender;
            b.tcpPort = k < knocked.size() && knocked[k].present ? knocked[k].port : 0;
            b.tcpReset = b.tcpPort && !knocked[k].accepted;
            b.done = true;
        }
        --BeyondAsking_;
    }
    BeyondDone_.notify_all();
}

void PassWorker::FeedBeyondEcho(std::vector<std::pair<int, quint32>> echoes)
{
    // Every echo submitted when the pass started, by its number and
    // address: those still unanswered after the grace are asked together,
    // every FeedTickMs, while the rest of their time-out runs. Each look
    // takes only the entries still open.
    std::vector<int> open;  // work indices
    for (size_t i = 0; i < echoes.size(); ++i)
        if (echoes[i].first >= 0)
            open.push_back(int(i));
    std::unique_lock lock(BeyondMutex_);
    // Nothing can have gone unanswered for the grace before it has passed:
    // a pass of answering terminals ends before the first look.
    BeyondDone_.wait_for(lock, Grace_, [this] { return Stopping() || WalkDone_; });
    while (!Stopping() && !WalkDone_ && !open.empty()) {
        std::vector<int> ids;
        for (int i : open)
            ids.push_back(echoes[size_t(i)].first);
        lock.unlock();
        const std::vector<EchoBatch::Silence> silence = Echoes_.silence(ids, Grace_);
        lock.lock();
        std::vector<int> batch, stillOpen;
        std::vector<quint32> addresses;
        for (size_t k = 0; k < open.size(); ++k) {
            const int i = open[k];
            Beyond &b = Beyond_[size_t(i)];
            if (b.asked || silence[k] == EchoBatch::Silence::Answered)
                continue;
            if (silence[k] == EchoBatch::Silence::Silent && BeyondAsking_ < MaxAsking) {
                b.asked = true;
                batch.push_back(i);
                addresses.push_back(echoes[size_t(i)].second);
            } else {
                stillOpen.push_back(i);
            }
        }
        open = std::move(stillOpen);
        if (!batch.empty()) {
            ++BeyondAsking_;
            const std::vector<int> asked = batch;
            try {
                Asking_.emplace_back(&PassWorker::AskBeyondEcho, this, std::move(batch), std::move(addresses));
            } catch (const std::system_error &) {
                // No thread: these entries are asked by the walk itself.
                for (int i : asked)
                    Beyond_[size_t(i)].asked = false;
                --BeyondAsking_;
                return;
            }
        }
        if (!open.empty())
            BeyondDone_.wait_for(lock, std::chrono::milliseconds(FeedTickMs));
    }
}

void PassWorker::FinishBeyondEcho()
{
    {
        std::lock_guard lock(BeyondMutex_);
        WalkDone_ = true;
    }
    BeyondDone_.notify_all();
    if (Feeder_.joinable())
        Feeder_.join();
    for (std::thread &t : Asking_)
        if (t.joinable())
            t.join();
    Asking_.clear();
}

bool PassWorker::SeenBeyondEcho(const QString &address)
{
    if (!BeyondEchoWanted())
        return false;
    Flush();
    bool ask = false;
    {
        std::lock_guard lock(BeyondMutex_);
        Beyond &b = Beyond_[size_t(CurrentIndex)];
        ask = !b.asked;
        b.asked = true;
        if (ask)
            ++BeyondAsking_;
    }
    // Not asked yet (an address looked up in the walk, or a pass without
    // the batch): asked now, alone.
    if (ask)
        AskBeyondEcho({CurrentIndex}, {hostOrderAddress(address)});
    {
        std::unique_lock lock(BeyondMutex_);
        BeyondDone_.wait(lock, [this] { return Beyond_[size_t(CurrentIndex)].done; });
    }
    if (Stopping())
        return false;
    const Beyond b = [this] {
        std::lock_guard lock(BeyondMutex_);
        return Beyond_[size_t(CurrentIndex)];
    }();
    const WorkItem &item = WorkList_[CurrentIndex];
    const QString terminal = (item.ResourceName.isEmpty() ? item.UserName : WithoutFinderMark(item.ResourceName))
        + QStringLiteral(" (") + WithoutFinderMark(address).remove(u' ') + u')';
    if (b.tcpPort) {
        // A reset is told apart: a firewall on the way may send it in the
        // terminal's name, and nothing tells the two apart.
        SeenBy_ = QStringLiteral("TCP %1").arg(b.tcpPort) + (b.tcpReset ? QStringLiteral(" (reset)") : QString());
        EchoText_ = SeenBy_;
        tellOnce(terminal, SeenBy_, true, b.tcpReset);
        return true;
    }
    if (b.arpOther) {
        tellOtherSender(terminal, FormatMAC(*Owners_[size_t(CurrentIndex)]));
        EchoText_ +=
            QStringLiteral(" (") + QCoreApplication::translate("WatchEngine", "別のMACがARPに応答") + u')';
    }
    if (b.arp) {
        tellOnce(terminal, QStringLiteral("ARP"), host_.settings.NeighbourCheck);
        if (host_.settings.NeighbourCheck) {
            SeenBy_ = QStringLiteral("ARP");
            EchoText_ = SeenBy_;
            return true;
        }
        EchoText_ += QStringLiteral(" (") + QCoreApplication::translate("WatchEngine", "ARPに応答") + u')';
    }
    return false;
}
