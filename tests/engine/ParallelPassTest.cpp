// A pass that sends all its echoes at once must read exactly like a pass
// that checks one entry after another, in a private namespace with
// answering, silent and unresolvable addresses.

#include "support/EngineHarness.h"

#include "support/NetNamespace.h"

#include <QElapsedTimer>
#include <QRegularExpression>

namespace {

class ParallelPass : public EngineHarness {
protected:
    // here 10.9.0.1 -- peer 10.9.0.2, which ignores echoes; nobody has
    // 10.9.0.77.
    static void silentPeer()
    {
        const NetNamespace here = NetNamespace::current();
        const NetNamespace peer = NetNamespace::create();
        ASSERT_TRUE(NetNamespace::link(here, "vhere", "10.9.0.1/24", peer, "vpeer", "10.9.0.2/24"));
        ASSERT_TRUE(peer.sysctl("net/ipv4/icmp_echo_ignore_all", "1"));
    }

    void fill()
    {
        model.clear();
        add(u"u1"_s, u"PC1"_s, KindStandard, true, u"127.0.0.1"_s);
        add(u"u2"_s, u"PC2"_s, KindStandard, true, u"10.9.0.2"_s);
        add(u"u3"_s, u"term5"_s, KindStandard, true);
        add(u"u4"_s, u"PC4"_s, KindStandard, true, u"10.9.0.77"_s);
        add(u"u5"_s, u"PC5"_s);
        rest(add(u"u6"_s, u"PC6"_s, KindStandard, true, u"127.0.0.6"_s));
        add(u"u7"_s, QString(), KindStandard, true, u"127.0.0.7"_s);
        add(u"u8"_s, u"PC8"_s, KindStandard, true, u"127.0.0.8"_s);
    }

    // Rows, notices, reports, records and entry actions of one pass; round
    // trip times vary.
    QStringList outcome()
    {
        static const QRegularExpression time(u"^\\d+ms "_s);
        QStringList lines;
        for (int row = 0; row < model.rowCount(); ++row) {
            QStringList texts;
            for (int column = 0; column < WatchListModel::ColumnCount; ++column)
                texts << text(row, column).replace(time, u"Nms "_s);
            lines << texts.join(u'|') + u" image %1 word %2"_s.arg(model.imageIndex(row)).arg(model.dataWord(row));
        }
        return lines + events.takeCalls() + events.takeActions();
    }
};

} // namespace

TEST_F(ParallelPass, ReadsLikeAPassOfOneEntryAfterAnother)
{
    NetNamespace::Options options;
    options.hosts = "127.0.0.5 term5\n127.0.0.7 named7\n";
    NetNamespace::run(options, [this] {
        silentPeer();
        Settings.TCPIP.TimeOut = 300;
        Settings.TCPIP.Retry = 1;
        Settings.TCPIP.SendBytes = 16;
        for (auto *e : {&Settings.Login, &Settings.Logout}) {
            e->DoAction = true;
            e->ManagerReport = true;
            e->DoRecord = true;
        }

        QStringList runs[2];
        for (const bool parallel : {false, true}) {
            Settings.TCPIP.Parallel = parallel;
            fill();
            ASSERT_TRUE(pass());
            runs[parallel] = outcome();
        }
        EXPECT_EQ(runs[1], runs[0]);
        // What both saw, in short.
        const QString all = runs[0].join(u'\n');
        EXPECT_TRUE(all.contains(u"Nms / TTL:64 / 16 Bytes"_s)) << all.toStdString();
        EXPECT_TRUE(all.contains(u"IP_REQ_TIMED_OUT"_s)) << all.toStdString();
        EXPECT_TRUE(all.contains(u"*named7"_s)) << all.toStdString();
    });
}

TEST_F(ParallelPass, AStopLeavesTheEntriesNotPublishedUntouched)
{
    NetNamespace::run({}, [this] {
        silentPeer();
        Settings.TCPIP.TimeOut = 8000;
        Settings.TCPIP.Parallel = true;
        const int answered = add(u"u1"_s, u"PC1"_s, KindStandard, true, u"127.0.0.1"_s);
        const int silent = add(u"u2"_s, u"PC2"_s, KindStandard, true, u"10.9.0.2"_s);
        const int after = add(u"u3"_s, u"PC3"_s, KindStandard, true, u"127.0.0.3"_s);

        QElapsedTimer took;
        took.start();
        engine.StartPass(-1);
        QEventLoop loop;
        QTimer::singleShot(500, &loop, &QEventLoop::quit);
        loop.exec();
        engine.StopPass();
        EXPECT_FALSE(engine.PassRunning());
        EXPECT_LT(took.elapsed(), 6000) << "the stop waited for the silent echo";
        EXPECT_EQ(status(answered), StatusLoggedIn);
        for (int row : {silent, after}) {
            EXPECT_EQ(status(row), StatusUnconfirmed) << row;
            EXPECT_EQ(text(row, WatchListModel::ColResult), QString()) << row;
            EXPECT_EQ(state(row), StateUnconfirmed) << row;
        }
        EXPECT_EQ(events.takeActions(), QStringList());
    });
}
