#pragma once

// A watch engine with everything around it: the list model, the real probe,
// a network tree in a scratch file, and event actions that record what they
// were asked to do.

#include "config/Settings.h"
#include "engine/ExpandTemplate.h"
#include "engine/PassWorker.h"
#include "engine/WatchEngine.h"
#include "engine/WatchEvents.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "platform/Cp932.h"
#include "platform/FixtureNetBrowser.h"
#include "probe/Probe.h"
#include "process/ProcessFlags.h"

#include "support/TempDir.h"

#include <QEventLoop>
#include <QMutex>
#include <QTimer>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

// Every call, in order, as one line of text: "report 1 [a|b]", "create 0
// caption [lines] 5", "add 0 [lines] 5", "show 0", "item 0", "record 0
// [lines]", "sound file wait", "program cmd", "shutdown". The entry actions
// (from the worker's thread) go to `actions` as "text|wait".
class RecordingEvents : public WatchEvents {
public:
    static QString list(const QStringList &l) { return u'[' + l.join(u'|') + u']'; }

    void ReportToManager(ReportKind kind, const QStringList &l) override
    {
        calls << u"report %1 %2"_s.arg(qToUnderlying(kind)).arg(list(l));
    }
    bool NoticeExists(NoticeKind kind) override { return open.contains(Index(kind)); }
    void CreateNotice(NoticeKind kind, const QString &caption, const QStringList &l, int seconds) override
    {
        open.insert(Index(kind));
        calls << u"create %1 %2 %3 %4"_s.arg(Index(kind)).arg(caption, list(l)).arg(seconds);
    }
    void AddToNotice(NoticeKind kind, const QStringList &l, int seconds) override
    {
        calls << u"add %1 %2 %3"_s.arg(Index(kind)).arg(list(l)).arg(seconds);
    }
    void ShowNotice(NoticeKind kind) override { calls << u"show %1"_s.arg(Index(kind)); }
    void EnableNoticeItem(NoticeKind kind) override { calls << u"item %1"_s.arg(Index(kind)); }
    void WriteRecord(RecordKind kind, const QStringList &l) override
    {
        calls << u"record %1 %2"_s.arg(qToUnderlying(kind)).arg(list(l));
    }
    void PlaySoundFile(const QString &file, bool wait) override
    {
        calls << u"sound %1 %2"_s.arg(file, wait ? u"wait"_s : u"nowait"_s);
    }
    void StartProgram(const QString &cmd) override { calls << u"program "_s + cmd; }
    void RequestShutdown(std::function<void()> refused) override
    {
        calls << u"shutdown"_s;
        if (refuseShutdown)
            refused();
    }
    // Recorded as filled in, as the operator reads an action.
    void RunAction(const QString &action, const QStringList &values, bool wait) override
    {
        const QString text = action.contains(u'%') ? ExpandTemplate(action, EntryTemplateLetters, values) : action;
        {
            QMutexLocker lock(&mutex);
            actions << text + (wait ? u"|wait"_s : u"|nowait"_s);
        }
        if (onAction)
            onAction(text);
    }

    QStringList takeCalls() { return std::exchange(calls, {}); }
    QStringList takeActions()
    {
        QMutexLocker lock(&mutex);
        return std::exchange(actions, {});
    }

    QStringList calls;
    QSet<int> open;
    bool refuseShutdown = false; // the platform says no to the power-off
    QMutex mutex;
    QStringList actions;
    // Called on the worker's thread while it waits for the action: a test
    // does here what the operator does at that moment.
    std::function<void(const QString &)> onAction;
};

class EngineHarness : public ::testing::Test {
protected:
    EngineHarness()
    {
        Settings = ProgramSettings{};
        Settings.Config.CheckInterval = 5;
        Settings.TCPIP.TimeOut = 500;
        Settings.TCPIP.TTL = 64;
        Settings.AllLogin.ActTime = 5;
        Settings.AllLogout.ActTime = 5;
        ServiceRunning = true;
        WatchBusy = false;
        network(u"Microsoft Windows Network\n  WORKGROUP\n"_s);
    }
    ~EngineHarness() override
    {
        ServiceRunning = true;
        WatchBusy = false;
    }

    // Rewrites the network tree.
    void network(const QString &tree) { ASSERT_TRUE(dir.write("net.txt", Cp932::encode(tree))); }

    // A row as loading the watch-list file leaves it: unconfirmed.
    int add(const QString &user, const QString &resource, IconKind kind = KindStandard, bool ipCheck = false,
            const QString &address = {})
    {
        WatchEntry e;
        e.UserName = user;
        e.ResourceName = resource;
        e.Domain = u"WORKGROUP"_s;
        e.Provider = SmbProviderName;
        e.IPCheck = ipCheck;
        if (!address.isEmpty())
            NormaliseAddress(address, e.Address);
        e.Kind = kind;
        if (resource == SeparatorText) {
            e.Kind = KindSeparator;
            e.StatusText = SeparatorText;
        } else {
            e.StatusText = StatusUnconfirmed;
        }
        e.ImageIndex = UnconfirmedImage(e.Kind);
        e.State = EntryState(e.ImageIndex);
        e.LoginAction = u"in %U %R %C %I"_s;
        e.LogoutAction = u"out %U %R %C %I"_s;
        AddEntry(e, model);
        return model.rowCount() - 1;
    }

    // The operator's rest command, as far as the engine sees it.
    void rest(int row)
    {
        model.setImageIndex(row, ImageResting);
        model.setDataWord(row, (model.dataWord(row) & ~0xFF00u) | quint32(StateResting) << 8);
        model.setText(row, WatchListModel::ColStatus, StatusResting);
    }

    // Waits until the running pass has been applied; false on time-out.
    bool waitApplied(int ms = 30000)
    {
        if (!engine.PassRunning())
            return true;
        QEventLoop loop;
        QObject::connect(&engine, &WatchEngine::PassApplied, &loop, &QEventLoop::quit);
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
        return !engine.PassRunning();
    }

    bool pass(int index = -1)
    {
        engine.StartPass(index);
        return waitApplied();
    }

    QString text(int row, int column) const { return model.text(row, column); }
    QString status(int row) const { return text(row, WatchListModel::ColStatus); }
    int state(int row) const { return DataWordState(model.dataWord(row)); }

    TempDir dir;
    WatchListModel model;
    Probe probe;
    FixtureNetBrowser net{dir.path("net.txt")};
    RecordingEvents events;
    WatchEngine engine{&model, &probe, &net, &events};
};
