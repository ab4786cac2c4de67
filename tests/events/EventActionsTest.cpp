#include "events/EventActions.h"
#include "FakePlatform.h"
#include "platform/CanberraSoundPlayer.h"
#include "platform/DetachedProcessStarter.h"
#include "platform/LogindShutdown.h"
#include "support/TempDir.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>

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

TEST_F(Actions, ShutdownQuitsTheLoopFirstAndRightComesFromThePlatform)
{
    shutdown.allowed = false;
    EXPECT_FALSE(actions.EnableShutdownPrivilege());
    shutdown.allowed = true;
    EXPECT_TRUE(actions.EnableShutdownPrivilege());
    shutdown.log.clear();
    actions.RequestShutdown();
    EXPECT_EQ(shutdown.log, (QStringList{u"quit"_qs, u"poweroff"_qs}));
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

// The real player against the real library. Whatever the machine's sound
// device, every call returns (a missing device or file is only a failure).
TEST(RealSound, ReturnsWithOrWithoutADevice)
{
    CanberraSoundPlayer player;
    TempDir dir;
    ASSERT_TRUE(dir.write(u"broken.wav"_qs, "RIFF not really a wave"));
    player.Play(dir.path(u"broken.wav"_qs), true);
    player.Play(u"/nonexistent/sound.wav"_qs, true);
    player.Play(u"/nonexistent/sound.wav"_qs, false);
    player.Play(u"bell"_qs, false);
    if (!QFileInfo::exists(u"/dev/snd"_qs) && qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
        EXPECT_FALSE(player.Play(u"bell"_qs, true));
        EXPECT_FALSE(player.Play(dir.path(u"broken.wav"_qs), false));
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
