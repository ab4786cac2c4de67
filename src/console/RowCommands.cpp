#include "console/RowCommands.h"

#include "config/Settings.h"
#include "console/PropertiesDialog.h"
#include "console/WatchListView.h"
#include "engine/NetSearch.h"
#include "engine/WatchEngine.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "events/windows/MessageDialog.h"
#include "probe/Probe.h"
#include "process/ProcessFlags.h"
#include "service/SharedServices.h"

#include <QApplication>
#include <QUrl>

namespace {

const char *const SelectOneText = QT_TRANSLATE_NOOP("RowCommands", "端末を１つだけ選択して下さい。");
const char *const ResourceErrorText = QT_TRANSLATE_NOOP("RowCommands", "リソース状態取得エラーです。");
const char *const CannotStartText = QT_TRANSLATE_NOOP("RowCommands", "起動できません！");
const char *const AlignReferenceText = QT_TRANSLATE_NOOP("RowCommands", "基準とするアイコンの上で右クリックしてください。");
const char *const SearchingText = QT_TRANSLATE_NOOP("RowCommands", "%1 調査中...");

QString Shown(const char *text)
{
    return QCoreApplication::translate("RowCommands", text);
}

} // namespace

RowCommandState RowCommandsFor(const QList<int> &selectedStates)
{
    RowCommandState s;
    if (selectedStates.size() == 1) {
        const int state = selectedStates.first();
        if (state == ImageSeparator)
            return s;
        const bool otherKind = state >= 9 && state <= 17;
        s.Rest = !otherKind;
        s.Property = s.Message = s.Wake = s.Open = true;
        return s;
    }
    for (int state : selectedStates) {
        if (state == StateLoggedIn || state == KindSecond)
            s.Message = true;
    }
    s.Align = true;
    return s;
}

DblClickCommand DblClickCommandFor(int action)
{
    return action >= DblRest && action <= DblBrowser ? DblClickCommand(action) : DblRest;
}

RowCommands::RowCommands(WatchListModel &model, WatchListView &list, WatchEngine &engine, NetBrowser &net,
                         MessageQueue &sender, QWidget *window)
    : model_(model), list_(list), engine_(engine), net_(net), sender_(sender), window_(window)
{
}

RowCommandState RowCommands::State() const
{
    QList<int> states;
    for (int row : list_.SelectedRows())
        states << DataWordState(model_.dataWord(row));
    return RowCommandsFor(states);
}

bool RowCommands::OneRowSelected(int &row) const
{
    const QList<int> rows = list_.SelectedRows();
    row = rows.size() == 1 ? rows.first() : -1;
    return row >= 0;
}

QString RowCommands::RestToggle()
{
    if (WatchBusy)
        return {};
    for (int row : list_.SelectedRows()) {
        WatchEntry entry;
        if (!ReadEntry(model_, row, entry) || entry.Kind == KindSeparator || int(entry.State) == ImageSeparator)
            continue;
        if (entry.State == StateResting) {
            entry.State = StateUnconfirmed;
            entry.StatusText = StatusUnconfirmed;
            // Each kind has its own unconfirmed picture.
            entry.ImageIndex = UnconfirmedImage(entry.Kind);
        } else {
            entry.State = StateResting;
            entry.StatusText = StatusResting;
            entry.ImageIndex = ImageResting;
        }
        entry.Result.clear();
        WriteEntry(entry, model_, row);
    }
    // The counted entries changed: the all-events are decided afresh.
    engine_.AllLoginArmed = engine_.AllLogoutArmed = false;
    engine_.AllLoginRaised = engine_.AllLogoutRaised = false;
    engine_.AllLoginMinutes = engine_.AllLogoutMinutes = 0;
    return {};
}

QString RowCommands::Check()
{
    int row = -1;
    if (OneRowSelected(row))
        engine_.PinpointCommand(row);
    return {};
}

QString RowCommands::Properties()
{
    if (WatchBusy)
        return {};
    int row = -1;
    if (!OneRowSelected(row))
        return Shown(SelectOneText);
    WatchEntry entry;
    ReadEntry(model_, row, entry);
    PropertyRecord record;
    record.ResourceName = entry.ResourceName;
    record.UserName = entry.UserName;
    record.Domain = entry.Domain;
    record.Result = entry.Result;
    // The row's picture may be the other half of a blink.
    record.ImageIndex = EntryStateImage(entry.Kind, entry.State, entry.ImageIndex);
    record.IPMode = entry.IPCheck;
    if (entry.IPCheck) {
        record.Comment = entry.Address;
        record.Provider = entry.MAC;
    } else {
        record.Provider = entry.Provider;
    }

    if ((entry.Kind == KindStandard || entry.Kind == KindSecond) && !entry.IPCheck) {
        if (Searching)
            Searching(Shown(SearchingText).arg(entry.UserName));
        QApplication::setOverrideCursor(Qt::WaitCursor);
        NetNode found;
        found.NodeType = NetNodeType::Domain;
        const int result = FindNetResource(net_, entry.Domain, entry.Provider, entry.ResourceName, found);
        QApplication::restoreOverrideCursor();
        if (Searching)
            Searching(QString());
        if (result == NetError)
            return Shown(ResourceErrorText);
        if (result == NetFound) {
            record.Comment = found.Comment;
            record.Provider = found.Provider;
        }
    }
    PropertiesDialog::Execute(window_, record);
    return {};
}

QString RowCommands::SendMessage()
{
    QStringList names;
    for (int row : list_.SelectedRows())
        names << WithoutFinderMark(model_.text(row, WatchListModel::ColResourceName));
    MessageDialog::SendToSelected(sender_, window_, names);
    return {};
}

QString RowCommands::GetMAC()
{
    int row = -1;
    // The probe is the watch worker's while a pass runs.
    if (!OneRowSelected(row) || WatchBusy)
        return {};
    model_.setText(row, WatchListModel::ColMAC, QString());
    Probe *probe = sharedServices ? sharedServices->ConsoleProbe : nullptr;
    if (!probe || (!probe->ActiveFlag() && !probe->Active(true)))
        return {};
    probe->SetIPAddr(WithoutFinderMark(model_.text(row, WatchListModel::ColAddress)));
    model_.setText(row, WatchListModel::ColMAC, probe->GetMACAddr());
    return {};
}

QString RowCommands::ClearMAC()
{
    int row = -1;
    if (OneRowSelected(row))
        model_.setText(row, WatchListModel::ColMAC, QString());
    return {};
}

QString RowCommands::Wake()
{
    int row = -1;
    if (!OneRowSelected(row))
        return {};
    if (const auto mac = Probe::StringToMAC(model_.text(row, WatchListModel::ColMAC)))
        Probe::WakeOnLan(*mac);
    return {};
}

QString RowCommands::Open(bool browser)
{
    int row = -1;
    if (!OneRowSelected(row))
        return Shown(SelectOneText);
    const QString name = WithoutFinderMark(model_.text(row, WatchListModel::ColResourceName));
    const QUrl url(browser ? QStringLiteral("http://") + name : QStringLiteral("smb://") + name + u'/');
    if (!url.isValid() || !OpenUrl || !OpenUrl(url))
        return Shown(CannotStartText);
    return {};
}

QString RowCommands::Align(bool top, const QPoint &reference)
{
    if (!list_.IsIconStyle())
        return {};
    const int anchor = list_.RowAt(reference);
    if (anchor < 0)
        return Shown(AlignReferenceText);
    const QPoint at = list_.ItemPosition(anchor);
    for (int row : list_.SelectedRows()) {
        const QPoint p = list_.ItemPosition(row);
        list_.SetItemPosition(row, top ? QPoint(p.x(), at.y()) : QPoint(at.x(), p.y()));
    }
    return {};
}

QString RowCommands::Arrange()
{
    if (list_.IsIconStyle())
        list_.Arrange();
    return {};
}

QString RowCommands::DoubleClick(bool checkAllowed)
{
    int row = -1;
    if (!OneRowSelected(row) || WatchBusy)
        return {};
    const RowCommandState s = State();
    switch (DblClickCommandFor(Settings.Config.DblClickAction)) {
    case DblRest: return s.Rest ? RestToggle() : QString();
    case DblCheck: return checkAllowed ? Check() : QString();
    case DblProperty: return s.Property ? Properties() : QString();
    case DblMessage: return s.Message ? SendMessage() : QString();
    case DblGetMAC: return s.Wake ? GetMAC() : QString();
    case DblWake: return s.Wake ? Wake() : QString();
    case DblExplorer: return s.Open ? Open(false) : QString();
    case DblBrowser: return s.Open ? Open(true) : QString();
    }
    return {};
}
