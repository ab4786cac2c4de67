#pragma once

// An indented tree shown inside a details view (the access list): a flat
// list of rows, each with a level (0 = top). A row's children are the rows
// that follow it one level deeper, up to the next row of its own level or
// above. The caption is drawn after an indent of one image width per level,
// with the row's picture in front of it.

#include <QList>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QTreeView>

class QStandardItem;
class QStandardItemModel;

class TreeListView : public QTreeView {
    Q_OBJECT

public:
    using Item = QStandardItem;

    explicit TreeListView(QWidget *parent = nullptr);

    // The column captions (the first is the tree's column).
    void SetColumns(const QStringList &captions);
    // The pictures rows show by image index.
    void SetImages(const QList<QPixmap> &images);
    const QList<QPixmap> &Images() const { return images_; }
    int ImageWidth() const;

    int Count() const;
    Item *ItemAt(int index) const;
    int IndexOf(const Item *item) const;

    // A new last row at that level.
    Item *Add(int level);
    // A new last row at the sibling's level (0 without a sibling).
    Item *Add(const Item *sibling, const QString &caption);
    // A new row one level below parent, after parent's last descendant.
    Item *AddChild(const Item *parent, const QString &caption);
    Item *Insert(int index, int level);
    void Delete(const Item *item);
    void Clear();

    void SetLevel(int index, int level);
    int GetLevel(int index) const;

    QString Caption(int index) const;
    void SetCaption(const Item *item, const QString &caption);
    // The further columns of a row, in order.
    void SetSubItems(const Item *item, const QStringList &texts);
    QString SubItem(int index, int subItem) const;
    void SetImageIndex(const Item *item, int image);
    int ImageIndex(int index) const;

    // The first row of that level with exactly that caption, or -1.
    int FindCaption(const QString &caption, int level) const;
    // Among the rows directly below parent (exactly one level deeper, up to
    // the first row of any other level), the first with that caption, or -1.
    int FindCaption(const QString &caption, const Item *parent) const;

    // The selected row, -1 when none.
    int SelectedIndex() const;
    void SetSelectedIndex(int index);

    // How far the columns are scrolled to the left.
    int GetHeaderScroll() const;

    static constexpr int LevelRole = Qt::UserRole + 1;
    static constexpr int ImageRole = Qt::UserRole + 2;

private:
    Item *newRow(int index, int level);

    QStandardItemModel *model_;
    QList<QPixmap> images_;
};
