#include "access/AccessCheck.h"

#include "access/AccessListView.h"
#include "config/Settings.h"
#include "engine/WatchListModel.h"
#include "platform/Journal.h"
#include "platform/Platform.h"
#include "platform/ServerApi.h"
#include "process/ProcessFlags.h"

#include <system_error>

// A scan's input, copied on the main thread, and its answer, written by the
// worker; the worker touches nothing else of the check.
struct AccessCheck::ScanJob {
    AccessSessions list;
    ServerApi *server = nullptr;
    int family = 0;
    WatchedTerminals watched;
    bool skipKnown = false;
    AccessScanOptions options;
    bool scanned = false;
    QString failure;
};

AccessCheck::AccessCheck(QObject *parent) : QObject(parent)
{
    tmAccess.setInterval(1000);
    connect(&tmAccess, &QTimer::timeout, this, &AccessCheck::AccessTick);
}

AccessCheck::~AccessCheck()
{
    StopScan();
}

void AccessCheck::StopScan()
{
    if (!job_)
        return;
    if (worker_.joinable())
        worker_.join();
    // The result the worker may have posted finds no job to apply.
    job_.reset();
    busy_.reset();
}

int AccessCheck::family() const
{
    return Family ? Family() : PlatformFamily;
}

bool AccessCheck::LoadAccessLibrary(int family)
{
    StopScan();
    loaded_ = (family == 1 || family == 2) && Server && Server->Load();
    return loaded_;
}

void AccessCheck::FreeAccessLibrary()
{
    StopScan();
    if (Server && loaded_)
        Server->Free();
    loaded_ = false;
}

std::shared_ptr<AccessCheck::ScanJob> AccessCheck::prepareScan() const
{
    const int f = family();
    if (!loaded_ || !Server || !Rows || (f != 1 && f != 2))
        return nullptr;
    auto job = std::make_shared<ScanJob>();
    job->list = AccessSessionList;
    job->server = Server;
    job->family = f;
    job->watched = WatchedTerminalsOf(*Rows, WatchListModel::ColResourceName);
    job->skipKnown = Settings.Access.NotUserOnly;
    job->options.CheckLevel = Settings.Access.CheckLevel;
    job->options.ReportLevel = Settings.Access.ReportLevel;
    job->options.IPCNoChk = Settings.Access.IPCNoChk;
    job->options.SysvolNoChk = Settings.Access.SysvolNoChk;
    job->options.MyPCNoChk = Settings.Access.MyPCNoChk;
    job->options.ComputerName = ComputerName;
    return job;
}

void AccessCheck::runScan(ScanJob &job)
{
    job.scanned = ScanAccesses(job.list, *job.server, job.family, job.watched, job.skipKnown, job.options,
                               &job.failure);
}

void AccessCheck::Scan()
{
    const std::shared_ptr<ScanJob> job = prepareScan();
    if (!job)
        return;
    runScan(*job);
    AccessSessionList = std::move(job->list);
    tellFailure(job->scanned, job->failure);
}

void AccessCheck::tellFailure(bool scanned, QString failure)
{
    if (scanned)
        failure.clear();
    else if (failure.isEmpty())
        failure = QStringLiteral("the server gave no reason");
    // A failure that lasts (no right to read the server's status) is told
    // once, not at every scan, and again only after the scans worked.
    if (failure == lastFailure_)
        return;
    lastFailure_ = failure;
    if (!scanned)
        JournalLine(JournalPriority::Warning, "access scan failed", failure);
    if (ListView)
        ListView->ShowScanFailure(failure);
}

AccessRowList AccessCheck::BuildRows()
{
    const int f = family();
    greetings_.clear();
    building_ = true;
    for (const AccessSession &s : AccessSessionList) {
        if (!s.IsNew || !Settings.Messenger.AutoSend || (f != 1 && f != 2))
            continue;
        greetings_.insert(s.Terminal, QString());
        if (!SendMessenger) {
            greetings_[s.Terminal] = QStringLiteral("NG");
            continue;
        }
        const QString terminal = s.Terminal;
        SendMessenger(terminal, Settings.Messenger.SendMessage, [this, terminal](bool ok) { greeted(terminal, ok); });
    }
    building_ = false;
    return rows();
}

AccessRowList AccessCheck::rows() const
{
    const int f = family();
    AccessRowList out;
    for (const AccessSession &s : AccessSessionList) {
        const size_t terminal = AddSessionRows(out, s, f);
        out[terminal].Columns[AccessMessageColumn] = greetings_.value(s.Terminal);
    }
    return out;
}

void AccessCheck::greeted(const QString &terminal, bool ok)
{
    // A result from before the last scan belongs to rows that are gone.
    const auto at = greetings_.find(terminal);
    if (at == greetings_.end())
        return;
    *at = ok ? QStringLiteral("OK") : QStringLiteral("NG");
    if (building_ || !ListView)
        return;
    const int selected = ListView->SelectedIndex();
    const AccessRowList now = rows();
    ListView->SetRows(now, selected >= 0 && size_t(selected) < now.size() ? selected : -1);
}

void AccessCheck::AccessTick()
{
    // The scan under way restarts the timer when it is applied.
    if (ScanRunning())
        return;
    if (!ServiceRunning || WatchBusy)
        return;
    // Most ticks only count: a running timer runs on as it is.
    if (AccessTicks < int(Settings.Access.CheckInterval)) {
        ++AccessTicks;
        if (!tmAccess.isActive())
            tmAccess.start();
        return;
    }
    tmAccess.stop();
    busy_.emplace();
    std::shared_ptr<ScanJob> job = prepareScan();
    if (!job) {
        applyScan();
        return;
    }
    job_ = job;
    try {
        worker_ = std::thread([this, job] {
            runScan(*job);
            // Queued to this object: a check destroyed meanwhile has joined
            // this thread first, and its pending events go with it.
            QMetaObject::invokeMethod(this, [this, job] { scanDone(job); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error &) {
        // No thread to be had: this scan runs here, as it did before.
        runScan(*job);
        scanDone(job);
    }
}

void AccessCheck::scanDone(const std::shared_ptr<ScanJob> &job)
{
    // A scan stopped meanwhile, or one already applied, brings nothing.
    if (job != job_)
        return;
    if (worker_.joinable())
        worker_.join();
    job_.reset();
    AccessSessionList = std::move(job->list);
    tellFailure(job->scanned, job->failure);
    applyScan();
}

void AccessCheck::applyScan()
{
    const int selected = ListView ? ListView->SelectedIndex() : -1;
    const AccessRowList rows = BuildRows();
    if (ListView)
        ListView->SetRows(rows, selected >= 0 && size_t(selected) < rows.size() ? selected : -1);

    if (CountNewSessions(AccessSessionList) > 0) {
        QStringList report;
        BuildAccessReport(AccessSessionList, report, AccessDetailList);
        JournalEntries(JournalPriority::Notice, "access", report);
        if (RaiseAccessEvent)
            RaiseAccessEvent(report);
    }

    // Only a list the check itself opened closes by itself.
    if (Settings.Access.AccessListAutoClose && ListView && ListView->IsShown() && rows.empty()
        && ListView->OpenedAutomatically())
        ListView->CloseList();

    busy_.reset();
    AccessTicks = 0;
    tmAccess.start();
    emit ScanApplied();
}
