#include "console/HelpPages.h"

#include "process/ProcessFlags.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QVariant>
#include <QWidget>

namespace {

constexpr HelpPage Pages[] = {
    {HelpMain, "main.html"},
    {HelpEdit, "edit.html"},
    {HelpUser, "edit.html"},
    {HelpAddSet, "edit.html"},
    {HelpConfig, "config.html"},
    {HelpConfigFirstPage + 0, "config.html"},
    {HelpConfigFirstPage + 1, "config.html"},
    {HelpConfigFirstPage + 2, "config.html"},
    {HelpConfigFirstPage + 3, "config.html"},
    {HelpConfigFirstPage + 4, "config.html"},
    {HelpConfigFirstPage + 5, "config.html"},
    {HelpConfigFirstPage + 6, "config.html"},
    {HelpConfigFirstPage + 7, "config.html"},
    {HelpConfigFirstPage + 8, "config.html"},
    {HelpProperty, "property.html"},
    {HelpVersion, "property.html"},
    {HelpSession, "access.html"},
    {HelpReport, "notice.html"},
    {HelpMessage, "message.html"},
};

const QString ContentsPage = QStringLiteral("index.html");

}  // namespace

std::span<const HelpPage> HelpPages()
{
    return Pages;
}

QUrl HelpUrl(const QString &helpDir, int context, const QString &language)
{
    QString file = ContentsPage;
    QString anchor;
    for (const HelpPage &page : Pages) {
        if (page.context == context) {
            file = QString::fromLatin1(page.file);
            anchor = QStringLiteral("context-%1").arg(context);
            break;
        }
    }
    const QDir dir(helpDir);
    if (!language.isEmpty() && language != u"ja" && QFileInfo(dir.filePath(language + u'/' + file)).isFile())
        file.prepend(language + u'/');
    QUrl url = QUrl::fromLocalFile(dir.absoluteFilePath(file));
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    return url;
}

QString FindHelpDir(const QStringList &candidates)
{
    for (const QString &dir : candidates) {
        if (!dir.isEmpty() && QFileInfo(QDir(dir).filePath(ContentsPage)).isFile())
            return dir;
    }
    return {};
}

QStringList HelpDirCandidates()
{
    QStringList dirs;
    if (!ProgramDir.isEmpty())
        dirs << ProgramDir + QStringLiteral("help/");
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/help/");
    if (!dirs.contains(beside))
        dirs << beside;
    // An installed program: bin/corvane beside share/corvane/help.
    dirs << QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/corvane/help")) + u'/';
    return dirs;
}

int HelpContextOf(const QWidget *widget)
{
    for (; widget; widget = widget->parentWidget()) {
        bool ok = false;
        const int context = widget->property("helpContext").toInt(&ok);
        if (ok)
            return context;
    }
    return 0;
}
