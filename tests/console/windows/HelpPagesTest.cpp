// The help: the page and anchor each context opens, where the pages are
// found, F1 in a window, and the shipped pages against the contexts the
// windows carry.

#include "config/Settings.h"
#include "console/AccessListWindow.h"
#include "console/AddEntriesDialog.h"
#include "console/EntryDialog.h"
#include "console/HelpKeyFilter.h"
#include "console/HelpPages.h"
#include "console/Language.h"
#include "console/PropertiesDialog.h"
#include "console/SettingsDialog.h"
#include "events/windows/NoticeTable.h"
#include "events/windows/NoticeWindow.h"
#include "process/ProcessFlags.h"
#include "support/TempDir.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSet>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

const QString ShippedHelp = QStringLiteral(CORVANE_SOURCE_DIR "/resources/help/");

QString Page(const QString &file)
{
    QFile f(ShippedHelp + file);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool HasAnchor(const QString &file, const QString &anchor)
{
    return Page(file).contains(QStringLiteral("id=\"%1\"").arg(anchor));
}

}  // namespace

TEST(HelpPages, EachContextOpensItsPageAtItsAnchorAndAnythingElseTheContents)
{
    EXPECT_EQ(HelpUrl(QStringLiteral("/opt/corvane/help/"), HelpReport),
              QUrl(QStringLiteral("file:///opt/corvane/help/notice.html#context-90")));
    EXPECT_EQ(HelpUrl(QStringLiteral("/opt/corvane/help"), HelpConfigFirstPage + 3),
              QUrl(QStringLiteral("file:///opt/corvane/help/config.html#context-34")));
    EXPECT_EQ(HelpUrl(QStringLiteral("/opt/corvane/help/"), HelpMain).toLocalFile(),
              QStringLiteral("/opt/corvane/help/main.html"));
    for (int context : {int(HelpContents), 999, -1}) {
        const QUrl url = HelpUrl(QStringLiteral("/opt/corvane/help/"), context);
        EXPECT_EQ(url.toLocalFile(), QStringLiteral("/opt/corvane/help/index.html")) << context;
        EXPECT_FALSE(url.hasFragment()) << context;
    }
    // A folder with a space and Japanese stays one local file.
    const QUrl spaced = HelpUrl(QStringLiteral("/home/運用 係/help/"), HelpSession);
    EXPECT_EQ(spaced.toLocalFile(), QStringLiteral("/home/運用 係/help/access.html"));
    EXPECT_EQ(spaced.fragment(), QStringLiteral("context-50"));
}

TEST(HelpPages, TheFirstFolderHoldingTheContentsIsUsed)
{
    TempDir empty, full;
    ASSERT_TRUE(full.write(QStringLiteral("index.html"), "<html></html>"));
    ASSERT_TRUE(QDir(empty.path()).mkdir(QStringLiteral("index.html")));  // a folder, not a page
    EXPECT_EQ(FindHelpDir({empty.path(), full.path()}), full.path());
    EXPECT_EQ(FindHelpDir({QString(), empty.path()}), QString());
    EXPECT_EQ(FindHelpDir({}), QString());

    const QString saved = ProgramDir;
    ProgramDir = full.path();
    EXPECT_EQ(HelpDirCandidates().value(0), full.path() + QStringLiteral("help/"));
    EXPECT_TRUE(HelpDirCandidates().value(1).endsWith(QStringLiteral("/help/")));
    // An installed program finds the pages under share/corvane.
    EXPECT_TRUE(HelpDirCandidates().value(2).endsWith(QStringLiteral("/share/corvane/help/")));
    ProgramDir = saved;
}

TEST(HelpPages, EveryContextHasItsAnchorInTheShippedPagesAndEveryLinkLands)
{
    ASSERT_FALSE(Page(QStringLiteral("index.html")).isEmpty()) << ShippedHelp.toStdString();
    QSet<int> seen;
    for (const HelpPage &page : HelpPages()) {
        EXPECT_FALSE(seen.contains(page.context)) << page.context;
        seen.insert(page.context);
        EXPECT_TRUE(HasAnchor(QString::fromLatin1(page.file), QStringLiteral("context-%1").arg(page.context)))
            << page.file << " lacks context " << page.context;
    }

    // Every link between the pages names a page that exists and, with a
    // fragment, an anchor on it; the English pages keep every anchor of
    // the Japanese ones, since the console opens both by the same anchor.
    static const QRegularExpression link(QStringLiteral("href=\"([^\"#]*)(?:#([^\"]*))?\""));
    static const QRegularExpression anchor(QStringLiteral("id=\"([^\"]*)\""));
    const QStringList files = QDir(ShippedHelp).entryList({QStringLiteral("*.html")}, QDir::Files);
    EXPECT_GE(files.size(), 9);
    for (const QString &folder : {QString(), QStringLiteral("en/")}) {
        for (QString file : files) {
            file.prepend(folder);
            const QString text = Page(file);
            EXPECT_TRUE(text.contains(QStringLiteral("<meta charset=\"utf-8\">"))) << file.toStdString();
            for (const auto &m : link.globalMatch(text)) {
                const QString target = m.captured(1).isEmpty() ? file : QDir::cleanPath(folder + m.captured(1));
                EXPECT_TRUE(QFile::exists(ShippedHelp + target)) << file.toStdString() << " -> " << target.toStdString();
                if (!m.captured(2).isEmpty()) {
                    EXPECT_TRUE(HasAnchor(target, m.captured(2)))
                        << file.toStdString() << " -> " << target.toStdString() << "#" << m.captured(2).toStdString();
                }
            }
            for (const auto &m : anchor.globalMatch(Page(file.mid(folder.size()))))
                EXPECT_TRUE(HasAnchor(file, m.captured(1))) << file.toStdString() << " lacks " << m.captured(1).toStdString();
        }
    }
}

// The numbers the windows carry, read from the windows themselves, all have
// a place in the help.
TEST(HelpPages, TheWindowsCarryContextsThatHaveAPlace)
{
    Settings = ProgramSettings{};
    QList<int> contexts;
    {
        const auto noLookup = [](const QString &, const QString &) { return QString(); };
        PropertiesDialog property(nullptr, PropertyRecord{}, noLookup);
        contexts << HelpContextOf(&property);
        PropertyRecord version;
        version.ImageIndex = VersionImageIndex;
        PropertiesDialog box(nullptr, version, noLookup);
        contexts << HelpContextOf(&box);
    }
    {
        SettingsDialog config(nullptr, nullptr, [] { return true; });
        auto *pages = config.findChild<QTabWidget *>(QStringLiteral("pcConfig"));
        ASSERT_NE(pages, nullptr);
        ASSERT_EQ(pages->count(), 9);
        for (int i = pages->count() - 1; i >= 0; --i) {
            pages->setCurrentIndex(i);
            // F1 on any control of the page explains that page.
            EXPECT_EQ(HelpContextOf(pages->widget(i)), HelpConfigFirstPage + i);
            contexts << HelpContextOf(&config);
        }
    }
    EntryDialog user(EntryDialog::umTerminal);
    AddEntriesDialog addSet(QStringLiteral("WORKGROUP"));
    AccessListWindow session;
    contexts << HelpContextOf(&user) << HelpContextOf(&addSet) << HelpContextOf(&session);
    const QStringList names{QStringLiteral("PC01")};
    NoticeWindow *notice =
        NoticeWindows.Raise(nullptr, NoticeKind::Login, 0, 0, QStringLiteral("ログインしました。"), &names, 1, nullptr);
    ASSERT_NE(notice, nullptr);
    contexts << HelpContextOf(notice);
    NoticeWindows.CloseAll();

    EXPECT_EQ(contexts, (QList<int>{HelpProperty, HelpVersion, 39, 38, 37, 36, 35, 34, 33, 32, 31, HelpUser, HelpAddSet,
                                    HelpSession, HelpReport}));
    for (int context : contexts) {
        const QUrl url = HelpUrl(ShippedHelp, context);
        EXPECT_TRUE(url.hasFragment()) << context;
        EXPECT_TRUE(HasAnchor(QFileInfo(url.toLocalFile()).fileName(), url.fragment())) << context;
    }
}

TEST(HelpPages, F1OpensThePageOfTheNearestWindowWithAContext)
{
    const QString saved = ProgramDir;
    ProgramDir = QStringLiteral(CORVANE_SOURCE_DIR "/resources/");
    QList<QUrl> opened;
    bool result = true;
    HelpKeyFilter key([&](const QUrl &url) {
        opened << url;
        return result;
    });

    QDialog dialog;
    dialog.setProperty("helpContext", int(HelpMessage));
    auto *edit = new QLineEdit(&dialog);
    (new QVBoxLayout(&dialog))->addWidget(edit);
    QTest::keyClick(edit, Qt::Key_F1);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].fileName(), QStringLiteral("message.html"));
    EXPECT_EQ(opened[0].fragment(), QStringLiteral("context-110"));
    EXPECT_TRUE(edit->text().isEmpty());

    // Keys other than a plain F1 go on to the widget.
    QTest::keyClick(edit, Qt::Key_F1, Qt::ShiftModifier);
    QTest::keyClick(edit, Qt::Key_A);
    EXPECT_EQ(opened.size(), 1);
    EXPECT_EQ(edit->text(), QStringLiteral("a"));

    // A window without a context opens the contents.
    QLineEdit loose;
    QTest::keyClick(&loose, Qt::Key_F1);
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[1].fileName(), QStringLiteral("index.html"));

    // Without help pages nothing is opened; a refused opener is a failure.
    TempDir nowhere;
    ProgramDir = nowhere.path();
    EXPECT_FALSE(key.Open(HelpMain));
    EXPECT_EQ(opened.size(), 2);
    ProgramDir = QStringLiteral(CORVANE_SOURCE_DIR "/resources/");
    result = false;
    EXPECT_FALSE(key.Open(HelpMain));
    EXPECT_EQ(opened.size(), 3);
    ProgramDir = saved;
}

// An English console opens the English page at the same place, and the
// Japanese page where no English one has been written.
TEST(HelpPages, TheHelpFollowsTheConsoleLanguage)
{
    TempDir program;
    ASSERT_TRUE(QDir(program.path()).mkpath(QStringLiteral("help/en")));
    for (const char *file : {"help/index.html", "help/main.html", "help/edit.html", "help/en/main.html"})
        ASSERT_TRUE(program.write(QString::fromLatin1(file), "<html></html>"));
    const QString saved = ProgramDir;
    ProgramDir = program.path();
    QList<QUrl> opened;
    HelpKeyFilter key([&](const QUrl &url) {
        opened << url;
        return true;
    });

    ASSERT_TRUE(UseConsoleLanguage(QStringLiteral("en")));
    EXPECT_TRUE(key.Open(HelpMain));
    EXPECT_TRUE(key.Open(HelpUser));
    ASSERT_TRUE(UseConsoleLanguage(QStringLiteral("ja")));
    EXPECT_TRUE(key.Open(HelpMain));
    ProgramDir = saved;

    const auto page = [&](const QUrl &url) {
        return (QDir(program.path()).relativeFilePath(url.toLocalFile()) + u'#' + url.fragment()).toStdString();
    };
    ASSERT_EQ(opened.size(), 3);
    EXPECT_EQ(page(opened[0]), "help/en/main.html#context-10");
    EXPECT_EQ(page(opened[1]), "help/edit.html#context-21");
    EXPECT_EQ(page(opened[2]), "help/main.html#context-10");
}
