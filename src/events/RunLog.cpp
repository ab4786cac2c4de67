#include "events/RunLog.h"

#include "config/Settings.h"
#include "platform/SafeFile.h"

#include <QRegularExpression>

QString RunLogPath(const ProgramSettings &settings)
{
    const QString folder = settings.Login.RecordFolder.isEmpty() ? settings.ProgramDir : settings.Login.RecordFolder;
    return folder + QStringLiteral("Krovan.runs");
}

bool AppendRunMark(const ProgramSettings &settings, bool start, const QDateTime &when)
{
    const QByteArray line = (start ? QByteArrayLiteral("start ") : QByteArrayLiteral("stop "))
        + when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1() + '\n';
    // The program's own file: nobody else's to read, or to lock.
    return SafeFile::append(RunLogPath(settings), line, true);
}

QList<RunMark> ReadRunMarks(const QString &path)
{
    QList<RunMark> marks;
    const std::optional<QByteArray> bytes = SafeFile::read(path);
    if (!bytes)
        return marks;
    static const QRegularExpression form(QStringLiteral("^(start|stop) (\\d{4}-\\d{2}-\\d{2}) (\\d{2}):(\\d{2}):(\\d{2})$"));
    for (const QByteArray &raw : bytes->split('\n')) {
        const QRegularExpressionMatch m = form.match(QString::fromLatin1(raw.trimmed()));
        if (!m.hasMatch())
            continue;
        const QDate date = QDate::fromString(m.captured(2), Qt::ISODate);
        const int hour = m.captured(3).toInt(), minute = m.captured(4).toInt(), second = m.captured(5).toInt();
        if (!date.isValid() || hour > 23 || minute > 59 || second > 59)
            continue;
        marks.append({date, hour * 3600 + minute * 60 + second, m.captured(1) == u"start"});
    }
    return marks;
}
