// The soak: many watch passes back to back over a large list whose
// terminals come and go at every pass, with every event output switched on:
// notices on the offscreen screen, XML and text records in a scratch folder,
// reports to a manager through the messenger, the entries' own actions. The
// network, the messenger's transports and the sound and process services
// are stand-ins that only count, so nothing leaves the machine.
//
// What it checks is memory: LeakSanitizer sees everything freed at the end,
// and the heap in use after the last pass is where it was after the first.
// The counts come from CORVANE_SOAK_PASSES and CORVANE_SOAK_ENTRIES (500
// and 1 000 unless set; the sanitizer build of tools/test runs fewer).

#include "config/Settings.h"
#include "engine/WatchEngine.h"
#include "engine/WatchEvents.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "events/EventActions.h"
#include "events/Messenger.h"
#include "events/RecordFile.h"
#include "events/windows/NoticeTable.h"
#include "events/windows/NoticeWindow.h"
#include "platform/HeapTuning.h"
#include "platform/ListedEnumeration.h"
#include "platform/MessageTransport.h"
#include "platform/ProcessStarter.h"
#include "platform/SoundPlayer.h"
#include "platform/SystemShutdown.h"
#include "probe/Probe.h"
#include "process/ProcessFlags.h"

#include "support/FakePlatform.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
#define SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOAK_ASAN 1
#endif
#endif
#ifdef SOAK_ASAN
// The sanitizer runtime's own count; not every compiler ships its header.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

using namespace Qt::StringLiterals;

namespace {

constexpr int kDomainSize = 20;

int envCount(const char *name, int fallback)
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue(name, &ok);
    return ok && n > 0 ? n : fallback;
}

// Heap bytes in use. Under AddressSanitizer freed memory sits in quarantine
// and the resident size says little, so its allocator is asked instead.
qint64 heapInUse()
{
#ifdef SOAK_ASAN
    return qint64(__sanitizer_get_current_allocated_bytes());
#else
    return qint64(mallinfo2().uordblks);
#endif
}

qint64 residentBytes()
{
    QFile f(u"/proc/self/status"_s);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

QString domainName(int i) { return u"WG%1"_s.arg(i / kDomainSize, 3, 10, QLatin1Char('0')); }
QString computerName(int i) { return u"PC%1"_s.arg(i, 5, 10, QLatin1Char('0')); }

// A network where, at pass p, computer i is listed unless (7i + p) % 10 is
// 0: a tenth of the terminals leave and another tenth arrive at every pass.
// Every 25th pass one workgroup cannot be read, which raises a watch error.
class ChangingNetwork : public NetBrowser {
public:
    explicit ChangingNetwork(int entries) : entries_(entries) {}
    std::atomic<int> pass{0};

    quint32 Open(quint32, quint32, quint32, const NetResource &container,
                 std::unique_ptr<NetEnumeration> &out) override
    {
        QList<NetResource> list;
        const QString &name = container.RemoteName;
        if (name.isEmpty()) {
            for (int d = 0; d * kDomainSize < entries_; ++d)
                list << resource(domainName(d * kDomainSize), NetDisplay::Domain);
        } else if (name.startsWith(u"\\\\"_s)) {
            // No shares: only the browse list is asked for.
        } else {
            const int p = pass.load();
            const int first = name.mid(2).toInt() * kDomainSize;
            if (p % 25 == 0 && first == kDomainSize * 3)
                return NetCode::NoNetwork;
            for (int i = first; i < qMin(first + kDomainSize, entries_); ++i)
                if ((7 * i + p) % 10 != 0)
                    list << resource(u"\\\\"_s + computerName(i), NetDisplay::Server);
        }
        out = std::make_unique<ListedEnumeration>(std::move(list));
        return NetCode::Success;
    }

private:
    static NetResource resource(const QString &name, quint32 display)
    {
        NetResource r;
        r.Scope = NetScope::GlobalNet;
        r.DisplayType = display;
        r.Usage = display == NetDisplay::Domain ? NetUsage::Container : NetUsage::Connectable;
        r.RemoteName = name;
        r.Provider = SmbProviderName;
        return r;
    }
    const int entries_;
};

struct CountingSound : SoundPlayer {
    bool Play(const QString &, bool) override { ++calls; return true; }
    std::atomic<int> calls{0};
};
struct CountingProcess : ProcessStarter {
    bool Start(const QString &, const QStringList &) override { ++calls; return true; }
    std::atomic<int> calls{0};
};
struct CountingTransport : MessageTransport {
    bool Available() override { return true; }
    bool Send(const QString &, const QString &, const QString &) override { ++sent; return true; }
    int sent = 0;
};
struct NoMailslot : MailslotTransport {
    bool Write(const QByteArray &, const QByteArray &) override { return false; }
};

// The program's own outlets, as the main window wires them.
class SoakEvents : public WatchEvents {
public:
    SoakEvents(EventActions &actions, Messenger &messenger, QWidget *owner)
        : actions_(actions), messenger_(messenger), owner_(owner)
    {
    }
    void ReportToManager(ReportKind kind, const QStringList &list) override { messenger_.ReportToManager(kind, list); }
    bool NoticeExists(NoticeKind kind) override { return NoticeWindows.IsOpen(kind); }
    void CreateNotice(NoticeKind kind, const QString &caption, const QStringList &list, int seconds) override
    {
        ++notices;
        NoticeWindows.Raise(owner_, kind, Settings.Config.MessageLevel, seconds, caption,
                            IsAllEvent(kind) ? nullptr : &list, Settings.Config.MessageSpeed);
    }
    void AddToNotice(NoticeKind kind, const QStringList &list, int seconds) override
    {
        if (NoticeWindow *notice = NoticeWindows.Notice(kind))
            notice->AddLines(list, seconds);
    }
    void ShowNotice(NoticeKind kind) override { NoticeWindows.Show(kind); }
    void EnableNoticeItem(NoticeKind) override {}
    void WriteRecord(RecordKind kind, const QStringList &list) override
    {
        if (::WriteRecord(kind, list, Settings, QDateTime::currentDateTime(), {}))
            ++records;
        else
            ADD_FAILURE() << "record " << qToUnderlying(kind) << " was not written";
    }
    void PlaySoundFile(const QString &file, bool wait) override { actions_.PlaySoundFile(file, wait); }
    void StartProgram(const QString &commandLine) override { actions_.StartProgram(commandLine); }
    void RequestShutdown(std::function<void()>) override { ADD_FAILURE() << "a soak never shuts down"; }
    void RunAction(const QString &action, const QStringList &values, bool wait) override
    {
        actions_.RunAction(action, values, wait);
    }

    int notices = 0;
    int records = 0;

private:
    EventActions &actions_;
    Messenger &messenger_;
    QWidget *owner_;
};

TEST(Soak, PassesWithEveryEventKeepMemoryFlat)
{
    // As the program's own start does.
    KeepLargeBlocksReturnable();
    const int passes = envCount("CORVANE_SOAK_PASSES", 500);
    const int entries = envCount("CORVANE_SOAK_ENTRIES", 1000);
    TempDir dir;

    Settings = ProgramSettings{};
    Settings.ProgramDir = dir.path();
    Settings.Config.CheckInterval = 1;
    Settings.Config.Manager = u"MANAGER"_s;
    Settings.Config.XMLEncoding = u"Shift_JIS"_s;
    for (auto *s : {&Settings.Login, &Settings.Logout}) {
        s->ShowMsg = true;
        s->ShowMsgTime = 5;
        s->DoAction = true;
        s->ManagerReport = true;
        s->DoRecord = true;
        s->RecordFolder = dir.path();
    }
    Settings.Login.RecordFile = u"login%y%m%d"_s;
    Settings.Login.RecordFileExp = u"xml"_s;
    Settings.Logout.RecordFile = u"logout%y%m%d"_s;
    Settings.Logout.RecordFileExp = u"log"_s;
    ServiceRunning = true;
    WatchBusy = false;

    WatchListModel model;
    for (int i = 0; i < entries; ++i) {
        WatchEntry e;
        e.UserName = u"利用者%1"_s.arg(i);
        e.ResourceName = computerName(i);
        e.Domain = domainName(i);
        e.Provider = SmbProviderName;
        e.StatusText = StatusUnconfirmed;
        e.ImageIndex = UnconfirmedImage(e.Kind);
        e.State = EntryState(e.ImageIndex);
        e.LoginAction = u"notify-login %U %R %I"_s;
        e.LogoutAction = u"bye.wav"_s;
        AddEntry(e, model);
    }

    ChangingNetwork net(entries);
    CountingSound sound;
    CountingProcess process;
    NoPowerOff shutdown;
    EventActions actions(sound, process, shutdown);
    CountingTransport transport;
    NoMailslot mailslot;
    Messenger messenger(transport, mailslot, [] { return u"SOAKHOST"_s; });
    messenger.Family = [] { return 2; };
    QWidget owner;
    SoakEvents events(actions, messenger, &owner);
    Probe probe;
    WatchEngine engine(&model, &probe, &net, &events);

    int logins = 0, logouts = 0;
    qint64 heapAfterFirst = 0, rssAfterFirst = 0;
    QElapsedTimer clock;
    clock.start();
    for (int p = 0; p < passes; ++p) {
        net.pass = p;
        // Every third pass the notices use the scrolling message bar.
        Settings.Config.MessageLevel = p % 3 == 2 ? 1 : 0;
        QEventLoop loop;
        QObject::connect(&engine, &WatchEngine::PassApplied, &loop, &QEventLoop::quit);
        // A guard of the pass's own (a single shot would stay registered
        // for its whole time after the loop is gone).
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
        guard.start(120000);
        engine.StartPass(-1);
        loop.exec();
        ASSERT_FALSE(engine.PassRunning()) << "pass " << p << " did not end";
        logins += int(engine.LoginList.size());
        logouts += int(engine.LogoutList.size());
        // The notices close by themselves after their time; here time does
        // not pass, so they are closed as the operator would.
        NoticeWindows.CloseAll();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        if (p == 0) {
            heapAfterFirst = heapInUse();
            rssAfterFirst = residentBytes();
        }
    }
    const qint64 heapAtEnd = heapInUse();
    const qint64 rssAtEnd = residentBytes();

    const qint64 loginXml = QFileInfo(RecordFilePath(RecordKind::Login, Settings, QDate::currentDate()).path).size();
    const qint64 logoutText = QFileInfo(RecordFilePath(RecordKind::Logout, Settings, QDate::currentDate()).path).size();
    std::printf("soak: %d passes over %d entries in %.1f s: %d logins, %d logouts, %d notices, %d records "
                "(login XML %lld bytes, logout text %lld bytes), %d reports, %d programs, %d sounds\n",
                passes, entries, double(clock.elapsed()) / 1000, logins, logouts, events.notices, events.records,
                loginXml, logoutText, transport.sent, process.calls.load(), sound.calls.load());
    std::printf("soak: heap in use after pass 1 %.2f MB, after pass %d %.2f MB; resident %.1f MB -> %.1f MB\n",
                double(heapAfterFirst) / 1e6, passes, double(heapAtEnd) / 1e6, double(rssAfterFirst) / 1e6,
                double(rssAtEnd) / 1e6);
    std::fflush(stdout);

    // Every pass after the first logs about a tenth of the terminals in and
    // another tenth out (fewer when a workgroup cannot be read).
    EXPECT_GE(logins, (passes - 1) * entries / 20);
    EXPECT_GE(logouts, passes * entries / 20);
    EXPECT_GE(events.records, 2 * passes - 1);
    EXPECT_GT(transport.sent, 0);
    EXPECT_GT(process.calls.load(), 0);
    EXPECT_GT(sound.calls.load(), 0);
    // Flat: what the later passes hold on to beyond the first is noise. A
    // hundred bytes kept per entry and pass would be megabytes.
    EXPECT_LT(heapAtEnd - heapAfterFirst, 4 * 1000 * 1000)
        << "heap grew from " << heapAfterFirst << " to " << heapAtEnd << " bytes";
#ifndef SOAK_ASAN
    // Without the sanitizer's quarantine the resident size is meaningful
    // too: the growing record files must not leave the heap larger.
    EXPECT_LT(rssAtEnd - rssAfterFirst, 4 * 1000 * 1000)
        << "resident size grew from " << rssAfterFirst << " to " << rssAtEnd << " bytes";
#endif
}

} // namespace
