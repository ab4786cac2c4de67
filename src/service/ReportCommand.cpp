#include "service/ReportCommand.h"

#include "config/ProfileStore.h"
#include "config/Settings.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "events/DayReport.h"
#include "events/XmlDocument.h"
#include "platform/Platform.h"
#include "service/StartupRules.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QString verb(QString argument)
{
    while (argument.startsWith(u'/') || argument.startsWith(u'-'))
        argument.remove(0, 1);
    return argument;
}

int usage(const QString &why)
{
    std::fprintf(stderr, "corvane: REPORT: %s\nusage: corvane REPORT [YYYY-MM-DD] [FILE]\n", qPrintable(why));
    return 2;
}

// Reading a settings file of the older layout upgrades it; a report only
// reads, so such a file is read from a copy.
void readSettings(ProgramSettings &s, const QString &programDir)
{
    const auto xmlCheck = [] { return XmlDocument::Available(); };
    const QString path = SettingsFilePath(programDir);
    const ProfileStore store(path);
    QTemporaryDir copy;
    if (QFile::exists(path) && !IsSectionedVersion(store.readString(u"Krovan", u"Version", QStringLiteral("0.00")))
        && copy.isValid() && QFile::copy(path, SettingsFilePath(copy.path() + u'/'))) {
        LoadSettings(s, copy.path(), {}, xmlCheck);
        s.ProgramDir = programDir;
        return;
    }
    LoadSettings(s, programDir, {}, xmlCheck);
}

} // namespace

bool IsReportCommand(const QStringList &arguments)
{
    return !arguments.isEmpty() && verb(arguments.first()).compare(u"REPORT", Qt::CaseInsensitive) == 0;
}

int RunReportCommand(const QStringList &arguments, const QString &programDir,
                     const std::function<void(const QString &configured)> &useLanguage)
{
    QStringList rest = arguments.mid(1);
    QDate day = QDate::currentDate();
    static const QRegularExpression isoDate(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    if (!rest.isEmpty() && isoDate.match(rest.first()).hasMatch()) {
        day = QDate::fromString(rest.takeFirst(), Qt::ISODate);
        if (!day.isValid())
            return usage(QStringLiteral("no such date: ") + arguments[1]);
    }
    if (rest.size() > 1)
        return usage(QStringLiteral("too many arguments"));

    ProgramSettings settings;
    readSettings(settings, programDir);
    if (useLanguage)
        useLanguage(settings.Config.Language);
    WatchListModel list;
    LoadList(list, settings.ProgramDir + ListFileName(LocalPlatform().Family));
    const QString html =
        DayReportHtml(MakeDayReport(settings, day, QDateTime::currentDateTime(), ReportListEntries(list)));

    if (rest.isEmpty()) {
        const QByteArray bytes = html.toUtf8();
        const bool written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size())
            && std::fflush(stdout) == 0;
        return written ? 0 : 1;
    }
    if (!WriteDayReport(rest.first(), html)) {
        std::fprintf(stderr, "corvane: REPORT: cannot write %s\n", qPrintable(rest.first()));
        return 1;
    }
    return 0;
}
