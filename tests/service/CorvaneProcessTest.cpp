// The real program, run as a child process on the offscreen platform with
// its program directory in a scratch folder.

#include "config/Settings.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "platform/Cp932.h"
#include "probe/Probe.h"
#include "support/NetNamespace.h"
#include "support/SambaTestServer.h"
#include "support/TempDir.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <QDate>

#include <algorithm>
#include <csignal>
#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QProcessEnvironment Environment(const TempDir &dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CORVANE_DIR"), dir.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("CORVANE_UNIT_DIR"), dir.path(QStringLiteral("units")));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
}

// True once the process catches the signal, that is once its handlers are in.
bool Catches(qint64 pid, int signalNumber)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signalNumber - 1)) & 1;
    }
    return false;
}

class CorvaneProcess : public ::testing::Test {
protected:
    // With setprivArguments the program runs under setpriv as another user,
    // with no CORVANE_DIR unless keepProgramDir.
    void Start(const QProcessEnvironment &extra = {}, const QStringList &setprivArguments = {},
               bool keepProgramDir = false)
    {
        QProcessEnvironment env = Environment(dir);
        for (const QString &name : extra.keys())
            env.insert(name, extra.value(name));
        if (!setprivArguments.isEmpty() && !keepProgramDir)
            env.remove(QStringLiteral("CORVANE_DIR"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(channels);
        if (setprivArguments.isEmpty())
            process.start(QStringLiteral(CORVANE_BINARY), {});
        else
            process.start(QStringLiteral("setpriv"), setprivArguments + QStringList{QStringLiteral(CORVANE_BINARY)});
        ASSERT_TRUE(process.waitForStarted(10000));
        QDeadlineTimer deadline(30000);
        while (!Catches(process.processId(), SIGTERM) && !deadline.hasExpired())
            QThread::msleep(20);
        ASSERT_TRUE(Catches(process.processId(), SIGTERM));
    }

    void Signal(int signalNumber) { ASSERT_EQ(::kill(pid_t(process.processId()), signalNumber), 0); }

    void TearDown() override
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    void WriteSettings(const QByteArray &keys)
    {
        ASSERT_TRUE(dir.write(QStringLiteral("Krovan.ini"), "[Krovan]\r\nVersion=2.10a\r\n" + keys));
    }

    // Waits (at most timeoutMs, while the program runs) for a file of the
    // program directory to hold every one of the texts.
    QString WaitForFile(const QString &name, const QStringList &texts, int timeoutMs = 30000)
    {
        QDeadlineTimer deadline(timeoutMs);
        QString text;
        while (!deadline.hasExpired() && process.state() == QProcess::Running) {
            text = Cp932::decode(dir.read(name));
            if (std::all_of(texts.begin(), texts.end(), [&](const QString &t) { return text.contains(t); }))
                return text;
            QThread::msleep(100);
        }
        return text;
    }

    // Standard error (with SeparateChannels) until it holds text, while the
    // program runs and for 30 s at most.
    QByteArray ErrorUntil(const QByteArray &text)
    {
        QByteArray said;
        QDeadlineTimer deadline(30000);
        while (!said.contains(text) && !deadline.hasExpired() && process.state() == QProcess::Running) {
            process.waitForReadyRead(200);
            said += process.readAllStandardError();
        }
        return said;
    }

    void EndBySigterm()
    {
        Signal(SIGTERM);
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), 0);
    }

    TempDir dir;
    QProcess process;
    QProcess::ProcessChannelMode channels = QProcess::ForwardedChannels;
};

const QStringList AsNobody{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                           QStringLiteral("--clear-groups")};

TEST_F(CorvaneProcess, StartsWithNoFilesAndEndsOnSigtermWithTheSettingsWritten)
{
    Start();
    // Stop and start requests leave the process running.
    Signal(SIGUSR2);
    Signal(SIGUSR1);
    EXPECT_FALSE(process.waitForFinished(500));
    EXPECT_FALSE(dir.exists(QStringLiteral("Krovan.ini")));

    Signal(SIGTERM);
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);

    ASSERT_TRUE(dir.exists(QStringLiteral("Krovan.ini")));
    EXPECT_FALSE(dir.exists(QStringLiteral("Krovan.NT")));  // an empty list is not saved on its own
    ProgramSettings back;
    LoadSettings(back, dir.path(), {}, nullptr);
    EXPECT_EQ(back.Krovan.Version, QStringLiteral("2.10a"));
    EXPECT_EQ(back.MainWnd.ColPosition, QStringLiteral("0,1,2,3,4,5,6,7,8,9,10"));
    EXPECT_FALSE(back.MainWnd.Size.isEmpty());
}

TEST_F(CorvaneProcess, StoppedServiceEndsOnSighupToo)
{
    Start();
    Signal(SIGUSR2);
    Signal(SIGHUP);
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(dir.exists(QStringLiteral("Krovan.ini")));
}

TEST_F(CorvaneProcess, AnOrdinaryUserKeepsItsFilesInItsConfigFolderWhenTheProgramsFolderIsNotWritable)
{
    // The user's own folder, reachable by nobody; the build folder holding
    // the executable belongs to root.
    ASSERT_EQ(::chmod(qPrintable(dir.path()), 0777), 0);
    QProcessEnvironment user;
    user.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path(QStringLiteral("config")));
    Start(user, AsNobody);
    EndBySigterm();
    EXPECT_TRUE(dir.exists(QStringLiteral("config/corvane/Krovan.ini")));
}

TEST_F(CorvaneProcess, AnOrdinaryUsersAccessCheckSaysOnceWhyItSeesNobody)
{
    ASSERT_EQ(::chmod(qPrintable(dir.path()), 0777), 0);
    QProcessEnvironment user;
    user.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path(QStringLiteral("config")));
    ASSERT_TRUE(QDir().mkpath(dir.path(QStringLiteral("config/corvane"))));
    ASSERT_TRUE(dir.write(QStringLiteral("config/corvane/Krovan.ini"),
                          "[Krovan]\r\nVersion=2.10a\r\n[Access]\r\nCheckInterval=1\r\nCheckLevel=2\r\n"));
    ASSERT_EQ(::chmod(qPrintable(dir.path(QStringLiteral("config"))), 0777), 0);
    ASSERT_EQ(::chmod(qPrintable(dir.path(QStringLiteral("config/corvane"))), 0777), 0);
    ASSERT_EQ(::chmod(qPrintable(dir.path(QStringLiteral("config/corvane/Krovan.ini"))), 0666), 0);
    channels = QProcess::SeparateChannels;
    Start(user, AsNobody);
    QByteArray said;
    QDeadlineTimer deadline(20000);
    while (!said.contains('\n') && !deadline.hasExpired() && process.state() == QProcess::Running) {
        process.waitForReadyRead(200);
        said += process.readAllStandardError();
    }
    // A few more scans add nothing.
    QDeadlineTimer more(3000);
    while (!more.hasExpired() && process.state() == QProcess::Running) {
        process.waitForReadyRead(200);
        said += process.readAllStandardError();
    }
    EndBySigterm();
    said += process.readAllStandardError();
    EXPECT_EQ(said.count("corvane: access scan failed: "), 1) << said.constData();
    EXPECT_TRUE(said.contains("only works as root")) << said.constData();
    EXPECT_TRUE(said.contains("sudo -n")) << said.constData();
}

TEST_F(CorvaneProcess, AHeadlessRunKeepsTheStoredDesktopChoices)
{
    // Chosen on a large desktop with a tray and the right to shut down; this
    // run has a small offscreen screen, no tray and (in a test) no shutdown.
    WriteSettings("ScreenMode=2\r\n[MainWnd]\r\nPos=1500,2000\r\n[AllLogout]\r\nAction=2\r\n");
    Start();
    EndBySigterm();
    ProgramSettings back;
    LoadSettings(back, dir.path(), {}, nullptr);
    EXPECT_EQ(back.Krovan.ScreenMode, 2);
    EXPECT_EQ(back.MainWnd.Pos, QStringLiteral("1500,2000"));
    EXPECT_EQ(back.AllLogout.Action, 2);
}

TEST_F(CorvaneProcess, AHangupIgnoredAtStartStaysIgnored)
{
    // As nohup starts it: SIGHUP ignored before the program runs.
    process.setChildProcessModifier([] { ::signal(SIGHUP, SIG_IGN); });
    Start();
    Signal(SIGHUP);
    EXPECT_FALSE(process.waitForFinished(1000));
    EXPECT_FALSE(dir.exists(QStringLiteral("Krovan.ini")));
    EndBySigterm();
}

TEST_F(CorvaneProcess, InstallAndUninstallTouchOnlyTheUnit)
{
    QProcess install;
    install.setProcessEnvironment(Environment(dir));
    install.start(QStringLiteral(CORVANE_BINARY), {QStringLiteral("INSTALL")});
    ASSERT_TRUE(install.waitForFinished(30000));
    EXPECT_EQ(install.exitCode(), 0);
    EXPECT_TRUE(install.readAllStandardOutput().contains("installed"));
    const QByteArray unit = dir.read(QStringLiteral("units/krovan.service"));
    EXPECT_TRUE(unit.contains("Description=Corvane Service\n"));
    EXPECT_TRUE(unit.contains("ExecStart=\"" CORVANE_BINARY "\"\n"));
    EXPECT_TRUE(unit.contains("Environment=\"CORVANE_DIR=" + dir.path().toUtf8() + "\"\n"));
    // Neither command starts the console, so no settings are written.
    EXPECT_FALSE(dir.exists(QStringLiteral("Krovan.ini")));

    QProcess uninstall;
    uninstall.setProcessEnvironment(Environment(dir));
    uninstall.start(QStringLiteral(CORVANE_BINARY), {QStringLiteral("UNINSTALL"), QStringLiteral("SILENT")});
    ASSERT_TRUE(uninstall.waitForFinished(30000));
    EXPECT_EQ(uninstall.exitCode(), 0);
    EXPECT_EQ(uninstall.readAllStandardOutput(), QByteArray());
    EXPECT_FALSE(dir.exists(QStringLiteral("units/krovan.service")));

    // Nothing left to remove is a failure.
    uninstall.start(QStringLiteral(CORVANE_BINARY), {QStringLiteral("UNINSTALL"), QStringLiteral("SILENT")});
    ASSERT_TRUE(uninstall.waitForFinished(30000));
    EXPECT_NE(uninstall.exitCode(), 0);
    EXPECT_FALSE(dir.exists(QStringLiteral("Krovan.ini")));
}

TEST_F(CorvaneProcess, AUsersInstallThatSystemdCannotEnableSaysSo)
{
    // As with `sudo -u USER corvane INSTALL`: no session bus, so the user's
    // systemd is out of reach.
    ASSERT_EQ(::chmod(qPrintable(dir.path()), 0777), 0);
    ASSERT_TRUE(QDir().mkpath(dir.path(QStringLiteral("bin"))));
    ASSERT_TRUE(dir.write(QStringLiteral("bin/systemctl"),
                          "#!/bin/sh\necho 'Failed to connect to bus: No medium found' >&2\nexit 1\n"));
    ASSERT_EQ(::chmod(qPrintable(dir.path(QStringLiteral("bin/systemctl"))), 0755), 0);
    ASSERT_TRUE(QDir().mkpath(dir.path(QStringLiteral("config"))));
    ASSERT_EQ(::chmod(qPrintable(dir.path(QStringLiteral("config"))), 0777), 0);
    QProcessEnvironment env = Environment(dir);
    env.remove(QStringLiteral("CORVANE_UNIT_DIR"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path(QStringLiteral("config")));
    env.insert(QStringLiteral("PATH"), dir.path(QStringLiteral("bin")) + u':' + env.value(QStringLiteral("PATH")));
    QProcess install;
    install.setProcessEnvironment(env);
    install.start(QStringLiteral("setpriv"),
                  AsNobody + QStringList{QStringLiteral(CORVANE_BINARY), QStringLiteral("INSTALL")});
    ASSERT_TRUE(install.waitForFinished(30000));
    const QByteArray said = install.readAllStandardError();
    EXPECT_NE(install.exitCode(), 0) << said.constData();
    EXPECT_TRUE(said.contains("not enabled")) << said.constData();
    EXPECT_TRUE(said.contains("systemctl --user enable krovan.service")) << said.constData();
    // The unit is there for the user to enable from the desktop session.
    EXPECT_TRUE(dir.exists(QStringLiteral("config/systemd/user/krovan.service")));
}

TEST_F(CorvaneProcess, StartCheckLogsTheLoopbackTerminalsInAndWritesTheLoginRecord)
{
    {
        Probe icmp;
        if (!icmp.Active(true))
            GTEST_SKIP() << "no right to open an ICMP socket here: " << icmp.StatusText().toStdString();
    }
    WatchListModel list;
    for (const auto &[user, address] : {std::pair{"tanaka", "127.0.0.1"}, std::pair{"suzuki", "127.0.0.2"}}) {
        WatchEntry e;
        e.UserName = QString::fromLatin1(user);
        e.ResourceName = QStringLiteral("PC-") + QString::fromLatin1(user).toUpper();
        e.IPCheck = true;
        ASSERT_TRUE(NormaliseAddress(QString::fromLatin1(address), e.Address));
        ASSERT_TRUE(AddEntry(e, list));
    }
    ASSERT_TRUE(SaveList(list, dir.path(QStringLiteral("Krovan.NT"))));
    WriteSettings("[Config]\r\nStartCheck=1\r\nStartCheckMsg=1\r\n"
                  "[Login]\r\nDoRecord=1\r\nRecordFile=LI%y\r\nRecordFileExp=log\r\n"
                  "[AllLogin]\r\nShowMsg=1\r\n");
    Start();

    const QString name = QStringLiteral("LI%1.log").arg(QDate::currentDate().year());
    const QString record = WaitForFile(name, {QStringLiteral("tanaka\r\n"), QStringLiteral("suzuki\r\n.\r\n")});
    ASSERT_TRUE(record.contains(QStringLiteral("suzuki\r\n.\r\n"))) << record.toStdString();
    // One record of the two logins, names in list order.
    EXPECT_EQ(record.count(QStringLiteral("]-----------------")), 1) << record.toStdString();
    EXPECT_LT(record.indexOf(QStringLiteral("tanaka")), record.indexOf(QStringLiteral("suzuki")));
    EndBySigterm();
    // Stopping writes neither the list nor a second record.
    EXPECT_EQ(Cp932::decode(dir.read(name)), record);
    // Beside the records, for the day report: when this run started and stopped.
    const QString runs = QString::fromLatin1(dir.read(u"Krovan.runs"_s));
    EXPECT_TRUE(QRegularExpression(u"^start \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\n"
                                   "stop \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\n$"_s)
                    .match(runs)
                    .hasMatch())
        << runs.toStdString();
}

TEST_F(CorvaneProcess, AHeadlessNoticeLeavesTheJournalToTheProgramsOwnLines)
{
    // A terminal of the made-up network logs in at the start pass and its
    // notice opens unseen.
    ASSERT_TRUE(dir.write(QStringLiteral("net.txt"), "Microsoft Windows Network\n  WORKGROUP\n    PC02\n"));
    ASSERT_TRUE(dir.write(QStringLiteral("Krovan.NT"),
                          "PC02\t\tN\t0\t-1\t-1\t\r\nsuzuki\r\n\r\n\r\nWORKGROUP\tMicrosoft Windows Network\r\n"));
    WriteSettings("[Config]\r\nStartCheck=1\r\n[Login]\r\nShowMsg=1\r\n");
    QProcessEnvironment fixture;
    fixture.insert(QStringLiteral("CORVANE_NET_FIXTURE"), dir.path(QStringLiteral("net.txt")));
    channels = QProcess::SeparateChannels;
    Start(fixture);
    QByteArray said = ErrorUntil("corvane: login: suzuki (PC02)\n");
    EndBySigterm();
    said += process.readAllStandardError();
    ASSERT_TRUE(said.contains("corvane: login: suzuki (PC02)\n")) << said.constData();
    // The offscreen platform cannot raise a window; that is no news for
    // whoever reads the service's journal.
    EXPECT_FALSE(said.contains("does not support")) << said.constData();
}

// "--help", "-h" and "--version" answer and end at once: nothing is
// watched, read or written (the icon argument before them included).
TEST_F(CorvaneProcess, HelpAndVersionAnswerAndTouchNothing)
{
    for (const QStringList &arguments : {QStringList{u"--help"_s}, QStringList{u"-h"_s}, QStringList{u"--version"_s},
                                         QStringList{u"34"_s, u"--version"_s}}) {
        QProcess run;
        run.setProcessEnvironment(Environment(dir));
        run.start(QStringLiteral(CORVANE_BINARY), arguments);
        ASSERT_TRUE(run.waitForFinished(10000)) << arguments.join(u' ').toStdString();
        EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.exitCode(), 0);
        const QByteArray out = run.readAllStandardOutput();
        if (arguments.last() == u"--version")
            EXPECT_EQ(out, "Corvane 2.10a\n");
        else
            EXPECT_TRUE(out.startsWith("usage: corvane") && out.contains("REPORT") && out.contains("CORVANE_DIR"))
                << out.constData();
        EXPECT_EQ(run.readAllStandardError(), QByteArray());
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

// One watching Corvane per program folder: a second start says who runs
// and ends with the status the units do not restart on; a first one that
// crashed leaves nothing that holds the next start back.
TEST_F(CorvaneProcess, ASecondStartOnTheSameFolderSaysWhoRunsAndEnds)
{
    Start();
    QProcess second;
    second.setProcessEnvironment(Environment(dir));
    second.start(QStringLiteral(CORVANE_BINARY), {});
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitCode(), 10);
    QString folder = dir.path();
    folder.chop(1);
    EXPECT_EQ(QString::fromUtf8(second.readAllStandardError()),
              u"corvane: Corvane is already running for %1 (process %2)\n"_s.arg(folder).arg(process.processId()));

    process.kill();
    ASSERT_TRUE(process.waitForFinished(10000));
    Start();
    EndBySigterm();
}

// A program folder that the user cannot write: the start says so, and the
// end says that the settings were not written and why.
TEST_F(CorvaneProcess, AProgramFolderThatCannotBeWrittenIsNamedAtTheStartAndTheEnd)
{
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    channels = QProcess::SeparateChannels;
    Start({}, AsNobody, true);
    QByteArray said = ErrorUntil("corvane: watching");
    EndBySigterm();
    said += process.readAllStandardError();
    const QString text = QString::fromUtf8(said);
    EXPECT_TRUE(text.contains(u"corvane: program folder "_s + dir.path() +
                              u" cannot be written (Permission denied): the settings and the watch list will not be "
                              "saved; name a writable folder in CORVANE_DIR\n"_s))
        << said.constData();
    EXPECT_TRUE(text.contains(u"corvane: stopped (settings not written to "_s + dir.path(u"Krovan.ini"_s) +
                              u": Permission denied)\n"_s))
        << said.constData();
    EXPECT_FALSE(dir.exists(u"Krovan.ini"_s));
}

// An ordinary user with no ping group and no raw-socket right: the start
// says that echo requests cannot go out, before any terminal shows as
// logged out for it.
TEST(CorvaneWithoutEchoRight, TheStartSaysThatNoEchoCanGoOut)
{
    NetNamespace::Options options;
    options.pingSockets = false;
    NetNamespace::run(options, [] {
        TempDir dir;
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
        ASSERT_TRUE(dir.write(u"Krovan.NT"_s, "PC01\t127.  0.  0.  1\tY\t0\t-1\t-1\t\r\ntanaka\r\n\r\n\r\n\t\r\n"));
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path(u"Krovan.NT"_s)).constData(), 0666), 0);
        QProcess run;
        run.setProcessEnvironment(Environment(dir));
        run.start(u"setpriv"_s, AsNobody + QStringList{QStringLiteral(CORVANE_BINARY)});
        ASSERT_TRUE(run.waitForStarted(10000));
        QByteArray said;
        QDeadlineTimer deadline(15000);
        while (!said.contains("corvane: watching") && !deadline.hasExpired() && run.state() == QProcess::Running) {
            run.waitForReadyRead(200);
            said += run.readAllStandardError();
        }
        run.terminate();
        run.waitForFinished(15000);
        said += run.readAllStandardError();
        EXPECT_TRUE(said.contains("corvane: watching 1 terminal from ")) << said.constData();
        EXPECT_TRUE(said.contains("; echo by no right)\n")) << said.constData();
    });
}

// A newcomer's first headless runs, in a session without XDG_RUNTIME_DIR
// (su, ssh, a service): the journal says what is watched and where the
// files are, and at the end where the settings went; nothing of Qt's own.
TEST_F(CorvaneProcess, AHeadlessRunSaysWhatItWatchesAndWhereItsFilesAre)
{
    qunsetenv("XDG_RUNTIME_DIR");
    channels = QProcess::SeparateChannels;
    const auto run = [this] {
        Start();
        QByteArray said = ErrorUntil("corvane: watching");
        EndBySigterm();
        said += process.readAllStandardError();
        return QString::fromUtf8(said).split(u'\n', Qt::SkipEmptyParts);
    };
    const QString list = dir.path(QStringLiteral("Krovan.NT"));
    const QString settings = dir.path(QStringLiteral("Krovan.ini"));
    const QRegularExpression watching(u"^corvane: watching (\\d+) terminals from (.*) \\(settings (.*); "
                                      "echo by (ping socket|raw socket|no right)\\)$"_s);

    QStringList lines = run();
    ASSERT_EQ(lines.size(), 3) << lines.join(u'\n').toStdString();
    QRegularExpressionMatch m = watching.match(lines[0]);
    ASSERT_TRUE(m.hasMatch()) << lines[0].toStdString();
    EXPECT_EQ(m.captured(1), u"0"_s);
    EXPECT_EQ(m.captured(2), list);
    EXPECT_EQ(m.captured(3), settings);
    EXPECT_EQ(lines[1], u"corvane: "_s + list + u" holds no terminals yet: README.md, \"First run\", says how to add them"_s);
    EXPECT_EQ(lines[2], u"corvane: stopped (settings written to "_s + settings + u')');

    ASSERT_TRUE(dir.write(QStringLiteral("Krovan.NT"),
                          "PC01\t\tN\t0\t-1\t-1\t\r\ntanaka\r\n\r\n\r\nWORKGROUP\tMicrosoft Windows Network\r\n"
                          "PC02\t\tN\t0\t-1\t-1\t\r\nsuzuki\r\n\r\n\r\nWORKGROUP\tMicrosoft Windows Network\r\n"));
    lines = run();
    ASSERT_EQ(lines.size(), 2) << lines.join(u'\n').toStdString();
    m = watching.match(lines[0]);
    ASSERT_TRUE(m.hasMatch()) << lines[0].toStdString();
    EXPECT_EQ(m.captured(1), u"2"_s);
    EXPECT_EQ(lines[1], u"corvane: stopped (settings written to "_s + settings + u')');
}

TEST_F(CorvaneProcess, ARealClientOfThisMachinesSambaIsRecordedAndReported)
{
    const QString why = SambaTestServer::Unavailable();
    if (!why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    SambaTestServer server;
    ASSERT_TRUE(server.Start());
    {
        QFile f(server.ShareDir() + QStringLiteral("/a.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    WriteSettings("[Access]\r\nCheckInterval=1\r\nCheckLevel=2\r\nReportLevel=2\r\nMyPCNoChk=0\r\n"
                  "DoRecord=1\r\nRecordFile=AC\r\nRecordFileExp=log\r\nManagerReport=1\r\n"
                  "[Config]\r\nManager=CORVANETEST\r\n");
    // The program's message client reads the same configuration as its
    // status reader; the private server's turns NetBIOS off, which the
    // messenger's sessions need.
    QFile conf(server.Config());
    ASSERT_TRUE(conf.open(QIODevice::ReadOnly));
    QByteArray clientConf = conf.readAll();
    clientConf.replace("disable netbios = yes", "disable netbios = no");
    ASSERT_TRUE(dir.write(QStringLiteral("smb.conf"), clientConf));
    QProcessEnvironment smb;
    smb.insert(QStringLiteral("CORVANE_SMB_CONF"), dir.path(QStringLiteral("smb.conf")));
    smb.insert(QStringLiteral("CORVANE_SMB_ADDRESS"), QStringLiteral("127.0.0.1"));
    smb.insert(QStringLiteral("CORVANE_SMB_PORT"), QString::number(server.Port()));
    Start(smb);

    SambaTestServer::Client client(server.Port(), QStringLiteral("DATA"));
    client.Command("open a.txt");
    const QString record = WaitForFile(QStringLiteral("AC.log"), {QStringLiteral("DATA\\a.txt")});
    EXPECT_TRUE(record.contains(QStringLiteral("*nobody\t"))) << record.toStdString();
    EXPECT_TRUE(record.contains(QStringLiteral("DATA\tnobody"))) << record.toStdString();
    EXPECT_TRUE(record.contains(QStringLiteral("DATA\\a.txt"))) << record.toStdString();

    ASSERT_TRUE(SambaTestServer::WaitFor([&] { return !server.Messages().isEmpty(); }, 20000));
    EXPECT_EQ(server.Messages().last().Text, QStringLiteral("*nobody\r\nにアクセスされています！"));
    client.Disconnect();
    EndBySigterm();
}

}  // namespace
