#include "config/ConfigRules.h"

#include <algorithm>

int UpDownPosition(qint64 stored, int bits, int minimum, int maximum)
{
    const qint64 mask = (qint64(1) << bits) - 1;
    return int(std::clamp<qint64>(stored & mask, minimum, maximum));
}

qint32 ValidAllEventAction(qint32 action, bool logout)
{
    using namespace AllEventAction;
    if (action == Nothing || action == RunProgram || (logout && action == Shutdown))
        return action;
    return Nothing;
}

void CheckLevelChosen(qint32 check, qint32 &report)
{
    if (check < report)
        report = check;
}

void ReportLevelChosen(qint32 report, qint32 &check)
{
    if (report > check)
        check = report;
}

QString RecordExtensionWithoutXml(const QString &extension)
{
    if (extension.compare(QLatin1String("XML"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("log");
    return extension;
}

QString RecordFolderText(const QString &folder)
{
    if (folder.isEmpty() || folder.endsWith(u'/'))
        return folder;
    return folder + u'/';
}
