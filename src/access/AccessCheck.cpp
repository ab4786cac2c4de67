#include "access/AccessCheck.h"

#include "access/AccessListView.h"
#include "config/Settings.h"
#include "engine/WatchListModel.h"
#include "platform/Journal.h"
#include "platform/Platform.h"
#include "platform/ServerApi.h"
#include "service/flags/ProcessFlags.h"

AccessCheck::AccessCheck(QObject *parent) : QObject(parent)
{
    tmAccess.setInterval(1000);
    connect(&tmAccess, &QTimer::timeout, this, &AccessCheck::AccessTick);
}

int AccessCheck::family() const
{
    return Family ? Family() : PlatformFamily;
}

bool AccessCheck::LoadAccessLibrary(int family)
{
    loaded_ = (family == 1 || family == 2) && Server && Server->Load();
    return loaded_;
}

void AccessCheck::FreeAccessLibrary()
{
    if (Server && loaded_)
        Server->Free();
    loaded_ = false;
}

void AccessCheck::Scan()
{
    const int f = family();
    if (!loaded_ || !Server || !Rows || (f != 1 && f != 2))
        return;
    AccessScanOptions options;
    options.CheckLevel = Settings.Access.CheckLevel;
    options.ReportLevel = Settings.Access.ReportLevel;
    options.IPCNoChk = Settings.Access.IPCNoChk;
    options.SysvolNoChk = Settings.Access.SysvolNoChk;
    options.MyPCNoChk = Settings.Access.MyPCNoChk;
    options.ComputerName = ComputerName;
    QString failure;
    const bool scanned = ScanAccesses(AccessSessionList, *Server, f, *Rows, WatchListModel::ColResourceName,
                                      Settings.Access.NotUserOnly, options, &failure);
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
    if (!ServiceRunning || WatchBusy)
        return;
    tmAccess.stop();
    if (AccessTicks < int(Settings.Access.CheckInterval)) {
        ++AccessTicks;
        tmAccess.start();
        return;
    }
    WatchBusyMark busy;
    Scan();

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

    busy.Release();
    AccessTicks = 0;
    tmAccess.start();
}
