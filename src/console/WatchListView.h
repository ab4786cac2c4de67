#pragma once

// The watch list's control (main window and list editor): it sorts itself
// by any column with a fixed byte-wise comparison, moves and deletes rows,
// copies whole row lists, and lets the operator drag rows or icons.
//
// Every sort is stable and asks Compare only whether the first row goes
// after the second (1) or not (0); equal rows never change places. Texts
// compare as their code-page-932 bytes, so "09" < "10" < "9" and the order
// is the same on every machine. The keys are converted once per sort.

#include "console/DragDropListView.h"
#include "engine/WatchListModel.h"

#include <QByteArray>
#include <QString>

#include <vector>

enum enComp { enCompNormal = 0, enCompFile = 1 };
// What the sort compares: the row's data word, its texts, or both (the data
// word first). stNone compares texts like stText.
enum SortBy { stNone = 0, stData = 1, stText = 2, stBoth = 3 };

// The comparison keys of one row for one sort column.
struct ListSortKey {
    qint32 data = 0;     // the data word as a signed number
    QByteArray key;      // CP932 bytes of the sort text
    QByteArray tie;      // CP932 bytes of the text that settles equal keys
};

// The file extension as the comparison sees it: from the last "." on, when
// no folder separator or drive colon follows it; else empty.
QString ExtractFileExt(const QString &name);

// The keys of a model row for a sort by column (0 = the caption).
ListSortKey MakeSortKey(const WatchListModel::Row &row, int column, enComp mode);

// 1 when the row with key a goes after the row with key b for the direction
// (1 ascending, 2 descending, anything else: no order), else 0.
int CompareSortKeys(const ListSortKey &a, const ListSortKey &b, SortBy type, int direction);

// Plain byte order (unsigned bytes, a prefix first): <0, 0, >0.
int CompareBytes(const QByteArray &a, const QByteArray &b);

class WatchListView : public DragDropListView {
    Q_OBJECT

public:
    explicit WatchListView(QWidget *parent = nullptr);

    enComp CompMode = enCompNormal;
    bool CanSort = true;
    SortBy SortType = stNone;

    // The last sorted column (-1 none) and direction (0 none, 1 ascending,
    // 2 descending). The main window resets the column before a menu sort
    // so that the menu always sorts ascending.
    int SortColumn = -1;
    int SortDirection = 0;

    // A click on a column's header (also the main window's sort menu): a new
    // column sorts ascending, the same column again flips the direction.
    // Nothing when CanSort is off.
    void ColumnClick(int column);
    // Sorts by column in direction 1 (ascending) or 2 (descending); any
    // other direction or a column beyond the columns does nothing. Sorts
    // even while CanSort is off.
    void Sort(int column, int direction);
    // The comparison every sort uses: 1 when row1 goes after row2 by the
    // current direction and sort type, else 0.
    int Compare(int row1, int row2, int column) const;

    // Moves one row from one index to another; false (with InvalidRowText
    // for the operator) when either is not an existing row.
    bool Move(int from, int to);
    // Deletes every selected row.
    void SelDelete();
    // Replaces all rows by copies of the source's rows, icon positions
    // included.
    void AssignMy(const WatchListModel &source);
    void AssignMy(const std::vector<WatchListModel::Row> &rows);
    // Inserts a copy of a row (caption, data, image and every sub-item text;
    // the copy is not placed in the icon views).
    void InsertMy(int index, const WatchListModel::Row &item);

    // The area the background picture covers: the larger of the items' area
    // and the visible area.
    QRect GetScrollRect() const;
    // The header's height in the details view, else 0.
    int GetHeaderHeight() const;
    // How far the columns are scrolled to the left in the details view,
    // else 0.
    int GetHeaderScroll() const;

private:
    void sortNow(int column);
};

// The message of a Move outside the rows.
inline const QString InvalidRowText = QStringLiteral("指定した行が無効です。");
