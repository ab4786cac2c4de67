#include "events/EventActions.h"
#include "engine/ExpandTemplate.h"
#include "engine/WatchEntry.h"
#include "support/FakePlatform.h"
#include "platform/CanberraSoundPlayer.h"
#include "platform/DetachedProcessStarter.h"
#include "platform/LogindShutdown.h"
#include "support/TempDir.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QStandardPaths>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct Actions : ::testing::Test {
    FakeSoundPlayer sound;
    FakeProcessStarter process;
    FakeShutdown shutdown;
    QStringList order;
    EventActions actions{sound, process, shutdown, [this] { order << "quit"; shutdown.log << "quit"; }};
};

} // namespace

TEST(CommaText, FirstItemRules)
{
    EXPECT_EQ(FirstCommaTextItem(u"C:\\Sounds\\in.wav"), u"C:\\Sounds\\in.wav");
    EXPECT_EQ(FirstCommaTextItem(u"ding.wav,other"), u"ding.wav");
    EXPECT_EQ(FirstCommaTextItem(u" \t\x01 notepad.exe C:\\memo.txt"), u"notepad.exe");
    EXPECT_EQ(FirstCommaTextItem(u"\"C:\\My Sounds\\in.wav\" rest"), u"C:\\My Sounds\\in.wav");
    EXPECT_EQ(FirstCommaTextItem(u"\"say \"\"hi\"\".wav\",x"), u"say \"hi\".wav");
    EXPECT_EQ(FirstCommaTextItem(u"\"unclosed item.wav"), u"unclosed item.wav");
    EXPECT_EQ(FirstCommaTextItem(u"   "), u"");
    EXPECT_EQ(FirstCommaTextItem(u""), u"");
    EXPECT_EQ(FirstCommaTextItem(u",x.wav"), u"");
}

TEST(CommaText, WaveExtensionIgnoresCase)
{
    EXPECT_TRUE(IsWaveFileName(u"in.wav"));
    EXPECT_TRUE(IsWaveFileName(u"In.Wav"));
    EXPECT_TRUE(IsWaveFileName(u".WAV"));
    EXPECT_FALSE(IsWaveFileName(u"in.wave"));
    EXPECT_FALSE(IsWaveFileName(u"wav"));
    EXPECT_FALSE(IsWaveFileName(u"a.wav.txt"));
}

TEST_F(Actions, SoundPathsPlayAndEverythingElseStartsTheWholeLine)
{
    EXPECT_TRUE(actions.RunAction(u"C:\\Sounds\\in.wav"_qs, true));
    EXPECT_TRUE(actions.RunAction(u"C:\\Sounds\\In.Wav"_qs, false));
    actions.RunAction(u"\"C:\\My Sounds\\in.wav\""_qs, true);
    actions.RunAction(u"ding.wav,other"_qs, true);
    ASSERT_EQ(sound.calls.size(), 4u);
    EXPECT_EQ(sound.calls[0].name, u"C:\\Sounds\\in.wav");
    EXPECT_TRUE(sound.calls[0].wait);
    EXPECT_EQ(sound.calls[1].name, u"C:\\Sounds\\In.Wav");
    EXPECT_FALSE(sound.calls[1].wait);
    EXPECT_EQ(sound.calls[2].name, u"C:\\My Sounds\\in.wav");
    EXPECT_EQ(sound.calls[3].name, u"ding.wav");
    EXPECT_TRUE(process.calls.empty());

    // Unquoted, a path with a blank is a command line whose first word has no
    // sound extension.
    actions.RunAction(u"C:\\My Sounds\\in.wav"_qs, true);
    actions.RunAction(u"notepad.exe C:\\memo.txt"_qs, true);
    ASSERT_EQ(process.calls.size(), 2u);
    EXPECT_EQ(process.calls[0], (QStringList{u"C:\\My"_qs, u"Sounds\\in.wav"_qs}));
    EXPECT_EQ(process.calls[1], (QStringList{u"notepad.exe"_qs, u"C:\\memo.txt"_qs}));
    EXPECT_EQ(sound.calls.size(), 4u);
}

TEST_F(Actions, EmptyActionStartsNothing)
{
    EXPECT_TRUE(actions.RunAction(QString(), true));
    EXPECT_TRUE(actions.RunAction(u"   "_qs, true));
    actions.StartProgram(QString());
    EXPECT_TRUE(process.calls.empty());
    EXPECT_TRUE(sound.calls.empty());
}

TEST_F(Actions, ExpandedValuesStayArguments)
{
    actions.StartProgram(u"/usr/bin/logger \"a b\" ; touch /tmp/x $(rm -rf ~) `id` |cat"_qs);
    ASSERT_EQ(process.calls.size(), 1u);
    EXPECT_EQ(process.calls[0], (QStringList{u"/usr/bin/logger"_qs, u"a b"_qs, u";"_qs, u"touch"_qs,
                                             u"/tmp/x"_qs, u"$(rm"_qs, u"-rf"_qs, u"~)"_qs, u"`id`"_qs,
                                             u"|cat"_qs}));
}

// A "*" name from a node status answer that hides an option behind a CP932
// ideographic space, and a user name from a browse comment with quotes and
// blanks: each stays inside the one argument its letter stands in.
TEST_F(Actions, NetworkValuesNeverAddArgumentsOrOptions)
{
    QStringList values{u"Tanaka \"x\" y"_s, u"PC01\u3000--force"_s, u"ﾛｸﾞｲﾝ"_s, u"WORKGROUP"_s, u"Net"_s,
                       u"10.77.0.2"_s};
    EXPECT_TRUE(actions.RunAction(u"argv.sh logout %R at %I \"user=%U\""_s, values, false));
    ASSERT_EQ(process.calls.size(), 1u);
    EXPECT_EQ(process.calls[0], (QStringList{u"argv.sh"_s, u"logout"_s, u"PC01\u3000--force"_s, u"at"_s,
                                             u"10.77.0.2"_s, u"user=Tanaka \"x\" y"_s}));

    // A value that would begin an argument with "-" stops the command; an
    // option the operator wrote takes the value as its own text.
    values[1] = u"--force"_s;
    EXPECT_FALSE(actions.RunAction(u"argv.sh %R"_s, values, false));
    EXPECT_TRUE(actions.RunAction(u"argv.sh --host=%R"_s, values, false));
    ASSERT_EQ(process.calls.size(), 2u);
    EXPECT_EQ(process.calls[1], (QStringList{u"argv.sh"_s, u"--host=--force"_s}));

    // The sound's item is found before the values go in.
    values[0] = u"a b,x.wav"_s;
    EXPECT_TRUE(actions.RunAction(u"\"%U\""_s, values, true));
    ASSERT_EQ(sound.calls.size(), 1u);
    EXPECT_EQ(sound.calls[0].name, u"a b,x.wav"_s);
    EXPECT_EQ(process.calls.size(), 2u);
}

TEST(EntryTemplateValues, AddressWithoutPaddingAndNamesWithoutMarks)
{
    WatchEntry e;
    e.ResourceName = u"*PC01"_s;
    e.Address = u"*192.168.  1. 21"_s;
    const QStringList values = EntryTemplateValues(e);
    EXPECT_EQ(values[1], u"PC01"_s);
    EXPECT_EQ(values[5], u"192.168.1.21"_s);
}

TEST_F(Actions, ShutdownQuitsTheLoopOnceAcceptedAndRightComesFromThePlatform)
{
    shutdown.allowed = false;
    EXPECT_FALSE(actions.EnableShutdownPrivilege());
    shutdown.allowed = true;
    EXPECT_TRUE(actions.EnableShutdownPrivilege());
    shutdown.log.clear();
    actions.RequestShutdown();
    // The loop ends once the power-off is accepted, never before.
    EXPECT_EQ(shutdown.log, (QStringList{u"poweroff"_qs, u"quit"_qs}));
}

TEST_F(Actions, ARefusedShutdownEndsNothingAndSaysWhy)
{
    shutdown.accepts = false;
    shutdown.refusal = u"Interactive authentication required."_qs;
    bool refused = false;
    testing::internal::CaptureStderr();
    actions.RequestShutdown([&] { refused = true; });
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "corvane: shutdown refused: Interactive authentication required.\n");
    EXPECT_TRUE(refused);
    EXPECT_EQ(shutdown.log, (QStringList{u"poweroff"_qs}));
}

TEST_F(Actions, RunActionFromAWorkerThread)
{
    QThread *t = QThread::create([this] {
        for (int i = 0; i < 50; ++i) {
            actions.RunAction(u"x.wav"_qs, true);
            actions.RunAction(u"prog arg"_qs, true);
        }
    });
    t->start();
    for (int i = 0; i < 50; ++i)
        actions.RunAction(u"y.WAV"_qs, false);
    t->wait();
    delete t;
    EXPECT_EQ(sound.calls.size(), 100u);
    EXPECT_EQ(process.calls.size(), 50u);
}

// A real program start: mkdir makes its arguments, the marker last. Had a
// shell seen the line, the injected touch commands would have left regular
// files behind; mkdir leaves only folders.
TEST(RealProcessStart, RunsTheProgramAndNothingElse)
{
    TempDir dir;
    const QString old = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    DetachedProcessStarter starter;
    FakeSoundPlayer sound;
    FakeShutdown shutdown;
    EventActions actions(sound, starter, shutdown);
    const QString marker = dir.path(u"marker"_qs);
    actions.RunAction(u"mkdir -p a ; touch x $(touch y) `touch z` \"&& touch w\" \""_qs + marker + u'"', false);
    QDeadlineTimer deadline(10000);
    while (!QFileInfo::exists(marker) && !deadline.hasExpired())
        QThread::msleep(20);
    QDir::setCurrent(old);
    ASSERT_TRUE(QFileInfo(marker).isDir());
    QDirIterator it(dir.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    int entries = 0;
    while (it.hasNext()) {
        it.next();
        ++entries;
        EXPECT_TRUE(it.fileInfo().isDir()) << it.filePath().toStdString();
    }
    EXPECT_GE(entries, 8);
    EXPECT_TRUE(QFileInfo(dir.path(u"&& touch w"_qs)).isDir());
}

TEST(RealProcessStart, MissingProgramFailsQuietly)
{
    DetachedProcessStarter starter;
    EXPECT_FALSE(starter.Start(u"/nonexistent/program"_qs, {}));
    EXPECT_FALSE(starter.Start(QString(), {}));
}

namespace {

// Sets an environment variable for one scope.
struct EnvGuard {
    EnvGuard(const char *name, const QByteArray &value) : name_(name), old_(qgetenv(name)) { qputenv(name, value); }
    ~EnvGuard()
    {
        if (old_.isNull())
            qunsetenv(name_);
        else
            qputenv(name_, old_);
    }
    const char *name_;
    QByteArray old_;
};

} // namespace

// The real player against the real library with no sound server to reach:
// every call comes back, and without a sound card nothing plays.
TEST(RealSound, NoDeviceFailsQuietly)
{
    TempDir dir;
    // The sound client keeps its files under these; not in the real home.
    EnvGuard home("HOME", dir.path().toUtf8());
    EnvGuard runtime("XDG_RUNTIME_DIR", dir.path().toUtf8());
    EnvGuard noServer("PULSE_SERVER", "unix:" + dir.path(u"no-server"_qs).toUtf8());
    CanberraSoundPlayer player;
    ASSERT_TRUE(dir.write(u"broken.wav"_qs, "RIFF not really a wave"));
    player.Play(dir.path(u"broken.wav"_qs), true);
    player.Play(u"/nonexistent/sound.wav"_qs, true);
    player.Play(u"/nonexistent/sound.wav"_qs, false);
    player.Play(u"bell"_qs, false);
    if (!QFileInfo::exists(u"/dev/snd"_qs)) {
        EXPECT_FALSE(player.Play(u"bell"_qs, true));
        EXPECT_FALSE(player.Play(dir.path(u"broken.wav"_qs), false));
    }
}

namespace {

// A mono 8 kHz 16-bit wave file of the given length in milliseconds.
QByteArray toneWave(int ms)
{
    const quint32 samples = 8 * quint32(ms);
    QByteArray pcm;
    for (quint32 i = 0; i < samples; ++i) {
        const qint16 v = (i / 10) % 2 ? 6000 : -6000;
        pcm.append(reinterpret_cast<const char *>(&v), 2);
    }
    auto u32 = [](quint32 v) { return QByteArray(reinterpret_cast<const char *>(&v), 4); };
    auto u16 = [](quint16 v) { return QByteArray(reinterpret_cast<const char *>(&v), 2); };
    return "RIFF" + u32(36 + pcm.size()) + "WAVEfmt " + u32(16) + u16(1) + u16(1) + u32(8000) + u32(16000) + u16(2)
           + u16(16) + "data" + u32(pcm.size()) + pcm;
}

} // namespace

// The real player against a private sound server whose only sink discards
// what it plays.
TEST(RealSound, NullSinkWaitsAndDropsWhenBusy)
{
    const QString pulseaudio = QStandardPaths::findExecutable(u"pulseaudio"_qs);
    if (pulseaudio.isEmpty())
        GTEST_SKIP() << "pulseaudio is not installed";
    TempDir dir;
    ASSERT_TRUE(dir.write(u"tone.wav"_qs, toneWave(1500)));
    const QString socket = dir.path(u"native"_qs);
    QProcess server;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"HOME"_qs, dir.path());
    env.insert(u"XDG_RUNTIME_DIR"_qs, dir.path());
    server.setProcessEnvironment(env);
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.setStandardOutputFile(QProcess::nullDevice());
    server.start(pulseaudio, {u"-n"_qs, u"--daemonize=no"_qs, u"--use-pid-file=no"_qs, u"--exit-idle-time=-1"_qs,
                              u"--system=no"_qs, u"--load=module-null-sink sink_name=null"_qs,
                              u"--load=module-native-protocol-unix auth-anonymous=1 socket="_qs + socket});
    ASSERT_TRUE(server.waitForStarted(5000));
    QDeadlineTimer deadline(10000);
    while (!QFileInfo::exists(socket) && !deadline.hasExpired())
        QThread::msleep(20);
    ASSERT_TRUE(QFileInfo::exists(socket));
    {
        EnvGuard home("HOME", dir.path().toUtf8());
        EnvGuard runtime("XDG_RUNTIME_DIR", dir.path().toUtf8());
        EnvGuard toServer("PULSE_SERVER", "unix:" + socket.toUtf8());
        CanberraSoundPlayer player;
        QElapsedTimer t;
        t.start();
        EXPECT_TRUE(player.Play(dir.path(u"tone.wav"_qs), true));
        // Waiting means the call came back after the sound, not before.
        EXPECT_GE(t.elapsed(), 1400);
        // A system sound by its name, and the default sound for a name that
        // is nothing at all.
        EXPECT_TRUE(player.Play(u"bell"_qs, true));
        EXPECT_TRUE(player.Play(dir.path(u"missing.wav"_qs), true));
        // Not waiting: the call returns at once; a second sound finds the
        // first still playing and is dropped.
        EXPECT_TRUE(player.Play(dir.path(u"tone.wav"_qs), false));
        EXPECT_FALSE(player.Play(dir.path(u"tone.wav"_qs), false));
    }
    server.terminate();
    if (!server.waitForFinished(5000)) {
        server.kill();
        server.waitForFinished(5000);
    }
}

TEST(Logind, AnswerRule)
{
    EXPECT_TRUE(LogindAnswerAllows(u"yes"_qs));
    EXPECT_TRUE(LogindAnswerAllows(u"challenge"_qs));
    EXPECT_FALSE(LogindAnswerAllows(u"no"_qs));
    EXPECT_FALSE(LogindAnswerAllows(u"na"_qs));
    EXPECT_FALSE(LogindAnswerAllows(QString()));
    // Only the question is asked of the real service: never a power-off.
    LogindShutdown logind;
    (void)logind.CanPowerOff();
}
