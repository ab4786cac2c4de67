#include "engine/WatchListModel.h"

#include <QCoreApplication>

#include <algorithm>
#include <numeric>

namespace {

const WatchListModel::Row EmptyRow;

} // namespace

WatchListModel::WatchListModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int WatchListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int WatchListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant WatchListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !isValidRow(index.row()) || index.column() < 0 || index.column() >= ColumnCount)
        return {};
    const Row &r = rows_[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        // The states are stored in Japanese and shown in the console's language.
        if (index.column() == ColStatus)
            return QCoreApplication::translate("WatchList", r.texts[ColStatus].toUtf8().constData());
        // So are the probe's own status texts in the Result column.
        if (index.column() == ColResult)
            return QCoreApplication::translate("Probe", r.texts[ColResult].toUtf8().constData());
        return r.texts[size_t(index.column())];
    case Qt::EditRole:
        return r.texts[size_t(index.column())];
    case ImageIndexRole:
        return r.imageIndex;
    case DataWordRole:
        return r.dataWord;
    case IconTopRole:
        return r.iconTop >= 0 ? QVariant(r.iconTop) : QVariant();
    case IconLeftRole:
        return r.iconLeft >= 0 ? QVariant(r.iconLeft) : QVariant();
    default:
        return {};
    }
}

bool WatchListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || !isValidRow(index.row()) || index.column() < 0 || index.column() >= ColumnCount)
        return false;
    const int row = index.row();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        setText(row, index.column(), value.toString());
        return true;
    case ImageIndexRole:
        setImageIndex(row, value.toInt());
        return true;
    case DataWordRole:
        setDataWord(row, value.toUInt());
        return true;
    case IconTopRole:
        setIconPosition(row, value.isValid() ? value.toInt() : -1, iconLeft(row));
        return true;
    case IconLeftRole:
        setIconPosition(row, iconTop(row), value.isValid() ? value.toInt() : -1);
        return true;
    default:
        return false;
    }
}

QVariant WatchListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount
        || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QAbstractTableModel::headerData(section, orientation, role);
    return headers_[size_t(section)];
}

bool WatchListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant &value, int role)
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount
        || (role != Qt::DisplayRole && role != Qt::EditRole))
        return false;
    headers_[size_t(section)] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

Qt::ItemFlags WatchListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

bool WatchListModel::insertRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || count <= 0 || row < 0 || row > rowCount())
        return false;
    beginInsertRows({}, row, row + count - 1);
    const auto first = rows_.insert(rows_.begin() + row, size_t(count), Row{});
    std::for_each(first, first + count, [this](Row &r) { admit(r); });
    endInsertRows();
    return true;
}

bool WatchListModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || count <= 0 || row < 0 || row + count > rowCount())
        return false;
    beginRemoveRows({}, row, row + count - 1);
    rows_.erase(rows_.begin() + row, rows_.begin() + row + count);
    endRemoveRows();
    return true;
}

bool WatchListModel::moveRows(const QModelIndex &sourceParent, int sourceRow, int count,
                              const QModelIndex &destinationParent, int destinationChild)
{
    if (sourceParent.isValid() || destinationParent.isValid() || count <= 0 || sourceRow < 0
        || sourceRow + count > rowCount() || destinationChild < 0 || destinationChild > rowCount())
        return false;
    // Moving a block onto itself is no move; the base class refuses it too.
    if (destinationChild >= sourceRow && destinationChild <= sourceRow + count)
        return destinationChild == sourceRow || destinationChild == sourceRow + count;
    if (!beginMoveRows({}, sourceRow, sourceRow + count - 1, {}, destinationChild))
        return false;
    const auto first = rows_.begin() + sourceRow;
    const auto last = first + count;
    if (destinationChild < sourceRow)
        std::rotate(rows_.begin() + destinationChild, first, last);
    else
        std::rotate(first, last, rows_.begin() + destinationChild);
    endMoveRows();
    return true;
}

const WatchListModel::Row &WatchListModel::row(int row) const
{
    return isValidRow(row) ? rows_[size_t(row)] : EmptyRow;
}

QString WatchListModel::text(int row, int column) const
{
    if (!isValidRow(row) || column < 0 || column >= ColumnCount)
        return {};
    return rows_[size_t(row)].texts[size_t(column)];
}

qint32 WatchListModel::imageIndex(int row) const { return this->row(row).imageIndex; }
quint32 WatchListModel::dataWord(int row) const { return this->row(row).dataWord; }
qint32 WatchListModel::iconTop(int row) const { return this->row(row).iconTop; }
qint32 WatchListModel::iconLeft(int row) const { return this->row(row).iconLeft; }

int WatchListModel::rowOfId(quint64 id, int hint) const
{
    if (id == 0)
        return -1;
    if (isValidRow(hint) && rows_[size_t(hint)].id == id)
        return hint;
    const auto it = std::find_if(rows_.begin(), rows_.end(), [id](const Row &r) { return r.id == id; });
    return it == rows_.end() ? -1 : int(it - rows_.begin());
}

void WatchListModel::setText(int row, int column, const QString &text)
{
    if (!isValidRow(row) || column < 0 || column >= ColumnCount)
        return;
    QString &cell = rows_[size_t(row)].texts[size_t(column)];
    if (cell == text)
        return;
    cell = text;
    rowChanged(row, column, column, {Qt::DisplayRole, Qt::EditRole});
}

void WatchListModel::setImageIndex(int row, qint32 image)
{
    if (!isValidRow(row) || rows_[size_t(row)].imageIndex == image)
        return;
    rows_[size_t(row)].imageIndex = image;
    rowChanged(row, 0, ColumnCount - 1, {ImageIndexRole});
}

void WatchListModel::setDataWord(int row, quint32 word)
{
    if (!isValidRow(row) || rows_[size_t(row)].dataWord == word)
        return;
    rows_[size_t(row)].dataWord = word;
    rowChanged(row, 0, ColumnCount - 1, {DataWordRole});
}

void WatchListModel::setMisses(int row, quint8 misses)
{
    if (isValidRow(row))
        rows_[size_t(row)].misses = misses;
}

void WatchListModel::setSeen(int row, quint8 seenBy, qint64 since)
{
    if (isValidRow(row)) {
        rows_[size_t(row)].seenBy = seenBy;
        rows_[size_t(row)].since = since;
    }
}

void WatchListModel::setIconPosition(int row, qint32 top, qint32 left)
{
    if (!isValidRow(row))
        return;
    Row &r = rows_[size_t(row)];
    top = std::max(top, -1);
    left = std::max(left, -1);
    if (r.iconTop == top && r.iconLeft == left)
        return;
    r.iconTop = top;
    r.iconLeft = left;
    rowChanged(row, 0, ColumnCount - 1, {IconTopRole, IconLeftRole});
}

void WatchListModel::setRow(int row, Row value)
{
    if (!isValidRow(row))
        return;
    value.iconTop = std::max(value.iconTop, -1);
    value.iconLeft = std::max(value.iconLeft, -1);
    value.id = rows_[size_t(row)].id;
    rows_[size_t(row)] = std::move(value);
    rowChanged(row, 0, ColumnCount - 1);
}

void WatchListModel::appendRow(Row value)
{
    insertRow(rowCount(), std::move(value));
}

void WatchListModel::insertRow(int row, Row value)
{
    if (row < 0 || row > rowCount())
        return;
    admit(value);
    beginInsertRows({}, row, row);
    rows_.insert(rows_.begin() + row, std::move(value));
    endInsertRows();
}

void WatchListModel::appendRows(std::vector<Row> rows)
{
    if (rows.empty())
        return;
    for (Row &r : rows)
        admit(r);
    const int first = rowCount();
    beginInsertRows({}, first, first + int(rows.size()) - 1);
    if (rows_.empty()) {
        rows_ = std::move(rows);
    } else {
        rows_.reserve(rows_.size() + rows.size());
        std::move(rows.begin(), rows.end(), std::back_inserter(rows_));
    }
    endInsertRows();
}

void WatchListModel::setRows(std::vector<Row> rows)
{
    for (Row &r : rows)
        admit(r);
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

bool WatchListModel::moveRow(int from, int to)
{
    if (!isValidRow(from) || !isValidRow(to))
        return false;
    if (from == to)
        return true;
    return moveRows({}, from, 1, {}, from < to ? to + 1 : to);
}

void WatchListModel::clear()
{
    if (rows_.empty())
        return;
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void WatchListModel::sortRows(const std::function<bool(const Row &, const Row &)> &less)
{
    if (rows_.size() < 2)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> order(rows_.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return less(rows_[size_t(a)], rows_[size_t(b)]); });

    std::vector<Row> sorted;
    sorted.reserve(rows_.size());
    std::vector<int> newRowOf(rows_.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sorted.push_back(std::move(rows_[size_t(order[i])]));
        newRowOf[size_t(order[i])] = int(i);
    }
    rows_ = std::move(sorted);

    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before)
        after.append(index.isValid() ? this->index(newRowOf[size_t(index.row())], index.column()) : index);
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void WatchListModel::admit(Row &r)
{
    r.iconTop = std::max(r.iconTop, -1);
    r.iconLeft = std::max(r.iconLeft, -1);
    r.id = ++lastId_;
}

void WatchListModel::rowChanged(int row, int firstColumn, int lastColumn, const QList<int> &roles)
{
    emit dataChanged(index(row, firstColumn), index(row, lastColumn), roles);
}
