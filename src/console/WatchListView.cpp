#include "console/WatchListView.h"

#include "platform/Cp932.h"

#include <QHeaderView>
#include <QListView>
#include <QScrollBar>
#include <QStyle>
#include <QTreeView>

#include <algorithm>
#include <cstring>

QString ExtractFileExt(const QString &name)
{
    for (qsizetype i = name.size() - 1; i >= 0; --i) {
        const QChar c = name[i];
        if (c == QLatin1Char('.'))
            return name.mid(i);
        if (c == QLatin1Char('\\') || c == QLatin1Char('/') || c == QLatin1Char(':'))
            break;
    }
    return {};
}

ListSortKey MakeSortKey(const WatchListModel::Row &row, int column, enComp mode)
{
    ListSortKey k;
    k.data = qint32(row.dataWord);
    if (column < 0 || column >= WatchListModel::ColumnCount)
        return k;
    const QString &text = row.texts[size_t(column)];
    k.key = Cp932::encode(mode == enCompFile ? ExtractFileExt(text) + text : text);
    // Equal texts are settled by the caption, or for the caption column by
    // the first sub-item.
    k.tie = Cp932::encode(column == 0 ? row.texts[1] : row.texts[0]);
    return k;
}

int CompareBytes(const QByteArray &a, const QByteArray &b)
{
    const size_t n = size_t(std::min(a.size(), b.size()));
    if (n > 0) {
        const int c = std::memcmp(a.constData(), b.constData(), n);
        if (c != 0)
            return c;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

int CompareSortKeys(const ListSortKey &a, const ListSortKey &b, SortBy type, int direction)
{
    if (direction != 1 && direction != 2)
        return 0;
    int order = 0;
    if (type == stData || type == stBoth) {
        if (a.data != b.data)
            order = a.data > b.data ? 1 : -1;
        else if (type == stData)
            return 0;
    }
    if (order == 0)
        order = a.key == b.key ? CompareBytes(a.tie, b.tie) : CompareBytes(a.key, b.key);
    return (direction == 1 && order > 0) || (direction == 2 && order < 0) ? 1 : 0;
}

WatchListView::WatchListView(QWidget *parent)
    : DragDropListView(parent)
{
    connect(Header(), &QHeaderView::sectionClicked, this, &WatchListView::ColumnClick);
}

void WatchListView::ColumnClick(int column)
{
    if (!CanSort || !Model() || column < 0 || column >= Model()->columnCount())
        return;
    if (column != SortColumn) {
        SortColumn = column;
        SortDirection = 1;
    } else {
        SortDirection = SortDirection == 1 ? 2 : 1;
    }
    sortNow(column);
}

void WatchListView::Sort(int column, int direction)
{
    if ((direction != 1 && direction != 2) || !Model() || column < 0 || column >= Model()->columnCount())
        return;
    const bool canSort = CanSort;
    CanSort = true;
    SortColumn = column;
    SortDirection = direction;
    sortNow(column);
    CanSort = canSort;
}

int WatchListView::Compare(int row1, int row2, int column) const
{
    if (!Model() || !Model()->isValidRow(row1) || !Model()->isValidRow(row2))
        return 0;
    return CompareSortKeys(MakeSortKey(Model()->row(row1), column, CompMode),
                           MakeSortKey(Model()->row(row2), column, CompMode), SortType, SortDirection);
}

void WatchListView::sortNow(int column)
{
    WatchListModel *model = Model();
    if (!model || model->rowCount() < 2 || SortDirection == 0)
        return;
    const std::vector<WatchListModel::Row> &rows = model->rows();
    std::vector<ListSortKey> keys;
    keys.reserve(rows.size());
    for (const WatchListModel::Row &row : rows)
        keys.push_back(MakeSortKey(row, column, CompMode));
    // The model hands its own rows to the comparison, so a row's place in
    // the vector finds its keys; anything else is keyed on the spot.
    const WatchListModel::Row *base = rows.data();
    const size_t count = rows.size();
    const SortBy type = SortType;
    const int direction = SortDirection;
    const enComp mode = CompMode;
    auto keyOf = [&](const WatchListModel::Row &r, ListSortKey &scratch) -> const ListSortKey & {
        const WatchListModel::Row *p = &r;
        if (p >= base && p < base + count)
            return keys[size_t(p - base)];
        scratch = MakeSortKey(r, column, mode);
        return scratch;
    };
    model->sortRows([&](const WatchListModel::Row &a, const WatchListModel::Row &b) {
        ListSortKey sa, sb;
        // a goes before b exactly when b must go after a.
        return CompareSortKeys(keyOf(b, sb), keyOf(a, sa), type, direction) == 1;
    });
    // Icons that have a place keep it, as the operator left them; Arrange
    // lays them out in the new order on request.
}

bool WatchListView::Move(int from, int to)
{
    if (!Model() || !Model()->isValidRow(from) || !Model()->isValidRow(to))
        return false;
    return Model()->moveRow(from, to);
}

void WatchListView::SelDelete()
{
    if (!Model())
        return;
    const QList<int> rows = SelectedRows();
    for (auto it = rows.crbegin(); it != rows.crend(); ++it)
        Model()->removeRows(*it, 1);
}

void WatchListView::AssignMy(const WatchListModel &source)
{
    AssignMy(source.rows());
}

void WatchListView::AssignMy(const std::vector<WatchListModel::Row> &rows)
{
    if (Model())
        Model()->setRows(rows);
}

void WatchListView::InsertMy(int index, const WatchListModel::Row &item)
{
    if (!Model())
        return;
    WatchListModel::Row copy = item;
    copy.iconTop = -1;
    copy.iconLeft = -1;
    Model()->insertRow(std::clamp(index, 0, Model()->rowCount()), std::move(copy));
}

QRect WatchListView::GetScrollRect() const
{
    const QAbstractItemView *view = CurrentView();
    const int frame = view->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, view);
    const int header = GetHeaderHeight();
    const int neededWidth = view->horizontalScrollBar()->maximum() + view->viewport()->width();
    const int neededHeight = view->verticalScrollBar()->maximum() + view->viewport()->height();
    return QRect(0, 0, std::max(neededWidth, width() - 2 * frame),
                 std::max(header + neededHeight, height() - 2 * frame - header));
}

int WatchListView::GetHeaderHeight() const
{
    if (ViewStyle() != vsReport || ReportView()->isHeaderHidden())
        return 0;
    return Header()->height();
}

int WatchListView::GetHeaderScroll() const
{
    return ViewStyle() == vsReport ? Header()->offset() : 0;
}
