#pragma once

// The rules the main window's start-up applies to stored values.

#include <QList>
#include <QString>

// The watch-list file of a platform family: 0 "Krovan.32s", 1 "Krovan.9x",
// 2 "Krovan.NT", anything else "Krovan.dat".
QString ListFileName(int platformFamily);

// A window edge that would put the window wholly off the screen (before it,
// or at or beyond the screen's far edge) is moved back to 0.
int CorrectWindowOrigin(int origin, int extent, int screenExtent);

// Number of columns of the main list; position 9 is the Result column.
inline constexpr int MainColumnCount = 11;
inline constexpr int ResultColumnPosition = 9;
inline constexpr int DefaultColumnWidth = 50;

// The main list's column widths by display position from [MainWnd]
// ColWidth: an item that is missing, not a number or negative gives 50, and
// the Result position never gets 0 (the operator could not find it again).
QList<qint32> MainColumnWidths(const QString &text);
