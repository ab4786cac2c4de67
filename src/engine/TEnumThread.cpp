#include "engine/TEnumThread.h"

#include "config/ProcessFlags.h"
#include "config/Settings.h"
#include "engine/ExpandTemplate.h"
#include "engine/NetSearch.h"
#include "engine/WatchEvents.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "probe/TIcmp.h"

#include <QMetaObject>

TEnumThread::TEnumThread(const Host &host, QList<WorkItem> workList, QObject *parent)
    : QThread(parent), host_(host), EntryCount(qint32(workList.size())), WorkList_(std::move(workList))
{
}

TEnumThread::~TEnumThread()
{
    requestInterruption();
    wait();
}

void TEnumThread::run()
{
    WorkerRunning = true;
    CurrentIndex = 0;
    while (CurrentIndex < EntryCount) {
        WorkItem &item = WorkList_[CurrentIndex];
        if (!item.Skip) {
            ShowProgress();
            if (Stopping())
                break;
            if (item.IPCheck) {
                if (item.Address.isEmpty()) {
                    NameToResolve = item.ResourceName;
                    Resolve();
                    item.Address = ResolvedAddress.isEmpty() ? QString() : u'*' + ResolvedAddress;
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
    // Whoever looks at the rows after the loop sees every change.
    OnMain([] {});
    WorkerRunning = false;
}

void TEnumThread::ShowProgress()
{
    if (host_.statusBar) {
        const QString text = WorkList_[CurrentIndex].UserName + QStringLiteral(" 調査中...");
        Pending_.append({Change::StatusBar, CurrentIndex, 0, 0, text});
    }
}

void TEnumThread::PublishEntry()
{
    const WorkItem &item = WorkList_[CurrentIndex];
    Pending_.append({Change::Publish, CurrentIndex, item.RowId, 0, item.StatusText, item.ImageIndex, item.State});
    ErrorsReady = ErrorLines_.size();
    LoginsReady = LoginLines_.size();
    LogoutsReady = LogoutLines_.size();
}

void TEnumThread::Flush()
{
    // Only the lines added since the last hand-over travel; handing over
    // whole lists would make the worker copy them at its next line.
    auto added = [](const QStringList &lines, qsizetype &published, qsizetype ready) {
        QStringList fresh = lines.mid(published, ready - published);
        published = ready;
        return fresh;
    };
    const QStringList errors = added(ErrorLines_, ErrorsPublished, ErrorsReady);
    const QStringList logins = added(LoginLines_, LoginsPublished, LoginsReady);
    const QStringList logouts = added(LogoutLines_, LogoutsPublished, LogoutsReady);
    if (Pending_.isEmpty() && errors.isEmpty() && logins.isEmpty() && logouts.isEmpty())
        return;
    bool post = false;
    {
        const std::lock_guard lock(HandOverMutex_);
        HandedOver_.append(std::move(Pending_));
        HandedErrors_ += errors;
        HandedLogins_ += logins;
        HandedLogouts_ += logouts;
        post = !std::exchange(ApplyPosted_, true);
    }
    Pending_.clear();
    // The worker outlives the event: its loop ends with a blocking hand-off
    // queued behind it.
    if (post)
        QMetaObject::invokeMethod(host_.model, [this] { ApplyHandedOver(); }, Qt::QueuedConnection);
}

void TEnumThread::ApplyHandedOver()
{
    QList<Change> changes;
    QStringList errors, logins, logouts;
    {
        const std::lock_guard lock(HandOverMutex_);
        changes.swap(HandedOver_);
        errors.swap(HandedErrors_);
        logins.swap(HandedLogins_);
        logouts.swap(HandedLogouts_);
        ApplyPosted_ = false;
    }
    WatchListModel &model = *host_.model;
    for (const Change &c : changes) {
        switch (c.kind) {
        case Change::StatusBar:
            host_.statusBar(c.text);
            break;
        case Change::Text:
            // A row that is gone takes no change (model writes to row -1 do
            // nothing).
            model.setText(model.rowOfId(c.rowId, c.row), c.column, c.text);
            break;
        case Change::Publish: {
            const int row = model.rowOfId(c.rowId, c.row);
            model.setImageIndex(row, c.image);
            model.setText(row, WatchListModel::ColStatus, c.text);
            model.setDataWord(row, (model.dataWord(row) & ~0xFF00u) | quint32(c.state) << 8);
            if (host_.statusBar)
                host_.statusBar(QString());
            break;
        }
        }
    }
    if (host_.publishLines && !(errors.isEmpty() && logins.isEmpty() && logouts.isEmpty()))
        host_.publishLines(errors, logins, logouts);
}

void TEnumThread::Resolve()
{
    const QString found = ResolveAddress(NameToResolve);
    QString padded = found;
    NormaliseAddress(found, padded);
    ResolvedAddress = padded;
}

void TEnumThread::NetworkCheck()
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
        found = FindComputer(*host_.net, item.Domain, item.Provider, item.ResourceName, Settings.Config.SafeCheck);
    } catch (...) {
        found = NetError;
    }
    switch (found) {
    case NetFound: MarkLogin(CurrentIndex); break;
    case NetNotFound: MarkLogout(CurrentIndex); break;
    default: MarkError(CurrentIndex); break;
    }
}

void TEnumThread::AddressCheck()
{
    WorkItem &item = WorkList_[CurrentIndex];
    SetRowText(WatchListModel::ColResult, QString());
    bool present = false;
    QString probeAddress;
    if (item.Address.isEmpty()) {
        present = false;
    } else if (item.Address.startsWith(u'*')) {
        SetRowText(WatchListModel::ColAddress, item.Address);
        probeAddress = item.Address.mid(1);
        present = ProbeEcho(probeAddress);
        SetRowText(WatchListModel::ColResult, host_.probe->StatusText());
    } else {
        probeAddress = item.Address;
        if (item.ResourceName.isEmpty()) {
            item.ResourceName = ReverseLookup(item.Address);
            SetRowText(WatchListModel::ColResourceName,
                       item.ResourceName.isEmpty() ? QString() : u'*' + item.ResourceName);
        }
        present = ProbeEcho(probeAddress);
        SetRowText(WatchListModel::ColResult, host_.probe->StatusText());
    }

    if (present) {
        if (Settings.Login.AutoMAC && RowText(WatchListModel::ColMAC).isEmpty())
            SetRowText(WatchListModel::ColMAC, ProbeMAC(probeAddress));
        MarkLogin(CurrentIndex);
        return;
    }
    MarkLogout(CurrentIndex);
    // An address found from the name belongs to the terminal only while it
    // answers; next time the name is looked up again.
    if (item.Address.startsWith(u'*')) {
        item.Address.clear();
        SetRowText(WatchListModel::ColAddress, QString());
    }
    if (Settings.Logout.AutoMAC)
        SetRowText(WatchListModel::ColMAC, QString());
}

void TEnumThread::RunEntryAction(const WorkItem &item, const QString &action)
{
    QString text = action;
    if (text.contains(u'%')) {
        TemplateValues = QStringList{
            item.UserName,
            item.ResourceName.startsWith(u'*') ? item.ResourceName.mid(1) : item.ResourceName,
            item.StatusText,
            item.Domain,
            item.Provider,
            item.Address.startsWith(u'*') ? item.Address.mid(1) : item.Address,
        };
        text = ExpandTemplate(text, EntryTemplateLetters, TemplateValues);
    }
    if (host_.events) {
        Flush();
        host_.events->RunAction(text, Settings.Config.WaitWave);
    }
}

void TEnumThread::MarkLogin(int index)
{
    WorkItem &item = WorkList_[index];
    if (item.State != StateLoggedIn) {
        LoginLines_.append(item.UserName + u'\t' + item.ResourceName);
        if (Settings.Login.DoAction)
            RunEntryAction(item, item.LoginAction);
    }
    item.StatusText = StatusLoggedIn;
    item.ImageIndex = item.Kind + 0;
    item.State = StateLoggedIn;
}

void TEnumThread::MarkLogout(int index)
{
    WorkItem &item = WorkList_[index];
    if (item.State != StateLoggedOut) {
        LogoutLines_.append(item.UserName + u'\t' + item.ResourceName);
        if (Settings.Logout.DoAction)
            RunEntryAction(item, item.LogoutAction);
    }
    item.StatusText = StatusLoggedOut;
    item.ImageIndex = item.Kind + 1;
    item.State = StateLoggedOut;
}

void TEnumThread::MarkError(int index)
{
    WorkItem &item = WorkList_[index];
    if (item.ImageIndex != ImageWatchError)
        ErrorLines_.append(item.UserName + u'\t' + item.ResourceName);
    item.StatusText = StatusWatchError;
    item.ImageIndex = ImageWatchError;
    item.State = StateWatchError;
}

bool TEnumThread::ProbeReady()
{
    // Everything below waits on the network.
    Flush();
    return host_.probe->ActiveFlag() || host_.probe->Active(true);
}

QString TEnumThread::ResolveAddress(const QString &name)
{
    if (!ProbeReady() || !host_.probe->GetIPByName(name))
        return QString();
    return host_.probe->GetIPAddr();
}

QString TEnumThread::ReverseLookup(const QString &address)
{
    QString compact = address;
    compact.remove(u' ');
    if (!ProbeReady() || !host_.probe->GetNameByIP(compact))
        return QString();
    return host_.probe->HostName;
}

bool TEnumThread::ProbeEcho(const QString &address)
{
    if (!ProbeReady())
        return false;
    host_.probe->SetIPAddr(address);
    return host_.probe->Ping();
}

QString TEnumThread::ProbeMAC(const QString &address)
{
    if (!ProbeReady())
        return QString();
    host_.probe->SetIPAddr(address);
    return host_.probe->GetMACAddr();
}

void TEnumThread::SetRowText(int column, const QString &text)
{
    Pending_.append({Change::Text, CurrentIndex, WorkList_[CurrentIndex].RowId, column, text});
}

QString TEnumThread::RowText(int column)
{
    QString text;
    const int index = CurrentIndex;
    const quint64 rowId = WorkList_[index].RowId;
    OnMain([this, index, rowId, column, &text] {
        text = host_.model->text(host_.model->rowOfId(rowId, index), column);
    });
    return text;
}

void TEnumThread::OnMain(const std::function<void()> &f)
{
    Flush();
    QMetaObject::invokeMethod(host_.model, f, Qt::BlockingQueuedConnection);
}
