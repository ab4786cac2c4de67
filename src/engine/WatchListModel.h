#pragma once

// The rows of the watch list (`lvRes1` and the editor's copy are views of
// it). Each row holds the eleven column texts, an image index, the 32-bit
// data word and an icon position, exactly what the list control held, so
// that ReadEntry and WriteEntry are the only places that know the mapping to
// a WatchEntry. Widget-free: the console draws the images from the image
// index and data word roles.

#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <functional>
#include <vector>

class WatchListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // Column 0 is the row caption; the others are the sub-items in order.
    enum Column {
        ColUserName = 0,
        ColResourceName,
        ColStatus,
        ColDomain,
        ColLoginAction,
        ColLogoutAction,
        ColProvider,
        ColAddress,
        ColIPCheck,
        ColResult,
        ColMAC,
        ColumnCount
    };

    // Row-wide values, the same for every column of a row.
    enum Role {
        ImageIndexRole = Qt::UserRole + 1,  // int
        DataWordRole,                       // uint: kind | state << 8 | file order << 16
        IconTopRole,                        // int, or an invalid QVariant when not placed
        IconLeftRole,                       // int, or an invalid QVariant when not placed
    };

    // A coordinate below 0 means "not placed": the view places such an icon
    // itself.
    struct Row {
        std::array<QString, ColumnCount> texts;
        qint32 imageIndex = 0;
        quint32 dataWord = 0;
        qint32 iconTop = -1;
        qint32 iconLeft = -1;
        // Passes in a row that found the present terminal absent; never
        // stored in the list file.
        quint8 misses = 0;
        // How the terminal was last seen present (SeenBy), and when this
        // run last saw its state change (ms since the epoch, 0 for never);
        // neither is stored in the list file.
        quint8 seenBy = 0;
        qint64 since = 0;
        // The row's identity in its model: given when the row goes in, kept
        // through sorts, moves and setRow, never given twice. The watch
        // worker finds its entry's row by it whatever the operator did to the
        // order meanwhile. Ignored in rows handed to the model.
        quint64 id = 0;
    };

    explicit WatchListModel(QObject *parent = nullptr);

    // QAbstractItemModel
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                       int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Inserted rows are empty (image 0, data word 0, not placed).
    bool insertRows(int row, int count, const QModelIndex &parent = {}) override;
    bool removeRows(int row, int count, const QModelIndex &parent = {}) override;
    bool moveRows(const QModelIndex &sourceParent, int sourceRow, int count,
                  const QModelIndex &destinationParent, int destinationChild) override;

    // Direct access by row number; an out-of-range row reads as empty and is
    // never written.
    bool isValidRow(int row) const { return row >= 0 && row < int(rows_.size()); }
    const Row &row(int row) const;
    QString text(int row, int column) const;
    qint32 imageIndex(int row) const;
    quint32 dataWord(int row) const;
    qint32 iconTop(int row) const;
    qint32 iconLeft(int row) const;
    // The identity of a row (0 for none), and the row that carries an
    // identity now (-1 when that row is gone); `hint` is looked at first.
    quint64 rowId(int row) const { return this->row(row).id; }
    int rowOfId(quint64 id, int hint = -1) const;

    void setText(int row, int column, const QString &text);
    void setImageIndex(int row, qint32 image);
    void setDataWord(int row, quint32 word);
    void setIconPosition(int row, qint32 top, qint32 left);
    quint8 misses(int row) const { return this->row(row).misses; }
    // No notification: nothing shows these three themselves.
    void setMisses(int row, quint8 misses);
    void setSeen(int row, quint8 seenBy, qint64 since);
    // Replaces a whole row with one change notification.
    void setRow(int row, Row value);

    // Structure.
    void appendRow(Row value);
    void insertRow(int row, Row value);   // row == rowCount() appends
    // Appends all rows with a single insertion notification.
    void appendRows(std::vector<Row> rows);
    // Replaces every row (the editor's OK, copying a list).
    void setRows(std::vector<Row> rows);
    const std::vector<Row> &rows() const { return rows_; }
    // Moves one row so that it ends up at index `to` (both existing rows).
    bool moveRow(int from, int to);
    void clear();
    // Stable reorder of all rows; `less(a, b)` is true when a must come
    // before b. Persistent indexes follow their rows.
    void sortRows(const std::function<bool(const Row &, const Row &)> &less);

private:
    void rowChanged(int row, int firstColumn, int lastColumn, const QList<int> &roles = {});
    // A row going in: its identity, and no coordinate below -1.
    void admit(Row &r);

    std::vector<Row> rows_;
    std::array<QString, ColumnCount> headers_;
    quint64 lastId_ = 0;
};
