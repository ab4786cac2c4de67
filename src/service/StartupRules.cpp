#include "service/StartupRules.h"

#include "config/Settings.h"

QString ListFileName(int platformFamily)
{
    switch (platformFamily) {
    case 0:
        return QStringLiteral("Krovan.32s");
    case 1:
        return QStringLiteral("Krovan.9x");
    case 2:
        return QStringLiteral("Krovan.NT");
    default:
        return QStringLiteral("Krovan.dat");
    }
}

int CorrectWindowOrigin(int origin, int extent, int screenExtent)
{
    // 64-bit sum: stored values are whatever the file holds.
    if (qint64(origin) + extent <= 0 || origin >= screenExtent)
        return 0;
    return origin;
}

QList<qint32> MainColumnWidths(const QString &text)
{
    QList<qint32> widths = ReadColumnWidths(text, MainColumnCount, DefaultColumnWidth);
    for (qint32 &w : widths)
        if (w < 0)
            w = DefaultColumnWidth;
    if (widths.size() > ResultColumnPosition && widths[ResultColumnPosition] == 0)
        widths[ResultColumnPosition] = DefaultColumnWidth;
    return widths;
}
