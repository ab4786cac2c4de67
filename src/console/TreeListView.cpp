#include "console/TreeListView.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyledItemDelegate>

namespace {

// The first column: the row's picture at its level's indent, then the
// caption; the further columns draw as usual.
class TreeCaptionDelegate : public QStyledItemDelegate {
public:
    explicit TreeCaptionDelegate(TreeListView *owner) : QStyledItemDelegate(owner), owner_(owner) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (index.column() != 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        opt.icon = QIcon();
        opt.features &= ~QStyleOptionViewItem::HasDecoration;
        const QWidget *widget = opt.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        const int imageWidth = owner_->ImageWidth();
        const int level = std::max(0, index.data(TreeListView::LevelRole).toInt());
        const int indent = level * imageWidth;
        const QRect cell = opt.rect;
        const int image = index.data(TreeListView::ImageRole).toInt();
        const QList<QPixmap> &images = owner_->Images();
        painter->save();
        painter->setClipRect(cell);
        if (image >= 0 && image < images.size()) {
            const QPixmap &pm = images[image];
            painter->drawPixmap(cell.left() + indent, cell.top() + (cell.height() - pm.height()) / 2, pm);
        }
        const QRect textRect(cell.left() + indent + imageWidth + 2, cell.top(),
                             std::max(0, cell.width() - indent - imageWidth - 2), cell.height());
        const bool selected = opt.state & QStyle::State_Selected;
        painter->setPen(opt.palette.color(QPalette::Normal, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->setFont(opt.font);
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          opt.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width()));
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.setHeight(std::max(s.height(), 18));
        return s;
    }

private:
    TreeListView *owner_;
};

}  // namespace

TreeListView::TreeListView(QWidget *parent)
    : QTreeView(parent), model_(new QStandardItemModel(this))
{
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    header()->setStretchLastSection(false);
    header()->setMinimumSectionSize(0);
    setItemDelegate(new TreeCaptionDelegate(this));
    // A resized column redraws the indented captions at once.
    connect(header(), &QHeaderView::sectionResized, viewport(), qOverload<>(&QWidget::update));
}

void TreeListView::SetColumns(const QStringList &captions)
{
    model_->setColumnCount(int(captions.size()));
    model_->setHorizontalHeaderLabels(captions);
}

void TreeListView::SetImages(const QList<QPixmap> &images)
{
    images_ = images;
    viewport()->update();
}

int TreeListView::ImageWidth() const
{
    return images_.isEmpty() || images_.first().isNull() ? 16 : images_.first().width();
}

int TreeListView::Count() const
{
    return model_->rowCount();
}

TreeListView::Item *TreeListView::ItemAt(int index) const
{
    return index >= 0 && index < Count() ? model_->item(index, 0) : nullptr;
}

int TreeListView::IndexOf(const Item *item) const
{
    return item && item->model() == model_ ? item->row() : -1;
}

TreeListView::Item *TreeListView::newRow(int index, int level)
{
    QList<QStandardItem *> cells;
    const int columns = std::max(1, model_->columnCount());
    for (int c = 0; c < columns; ++c) {
        auto *cell = new QStandardItem;
        cell->setEditable(false);
        cell->setData(level, LevelRole);
        cells.append(cell);
    }
    cells.first()->setData(-1, ImageRole);
    model_->insertRow(index, cells);
    return cells.first();
}

TreeListView::Item *TreeListView::Add(int level)
{
    return newRow(Count(), level);
}

TreeListView::Item *TreeListView::Add(const Item *sibling, const QString &caption)
{
    const int index = IndexOf(sibling);
    Item *item = newRow(Count(), index >= 0 ? GetLevel(index) : 0);
    item->setText(caption);
    return item;
}

TreeListView::Item *TreeListView::AddChild(const Item *parent, const QString &caption)
{
    const int p = IndexOf(parent);
    if (p < 0)
        return nullptr;
    const int level = GetLevel(p);
    int at = p + 1;
    while (at < Count() && GetLevel(at) > level)
        ++at;
    Item *item = newRow(at, level + 1);
    item->setText(caption);
    return item;
}

TreeListView::Item *TreeListView::Insert(int index, int level)
{
    return newRow(std::clamp(index, 0, Count()), level);
}

void TreeListView::Delete(const Item *item)
{
    const int index = IndexOf(item);
    if (index >= 0)
        model_->removeRow(index);
}

void TreeListView::Clear()
{
    model_->removeRows(0, model_->rowCount());
}

void TreeListView::SetLevel(int index, int level)
{
    if (index < 0 || index >= Count())
        return;
    for (int c = 0; c < model_->columnCount(); ++c) {
        if (QStandardItem *cell = model_->item(index, c))
            cell->setData(level, LevelRole);
    }
}

int TreeListView::GetLevel(int index) const
{
    const Item *item = ItemAt(index);
    return item ? item->data(LevelRole).toInt() : -1;
}

QString TreeListView::Caption(int index) const
{
    const Item *item = ItemAt(index);
    return item ? item->text() : QString();
}

void TreeListView::SetCaption(const Item *item, const QString &caption)
{
    if (Item *cell = ItemAt(IndexOf(item)))
        cell->setText(caption);
}

void TreeListView::SetSubItems(const Item *item, const QStringList &texts)
{
    const int index = IndexOf(item);
    if (index < 0)
        return;
    if (model_->columnCount() < texts.size() + 1)
        model_->setColumnCount(int(texts.size()) + 1);
    const int level = GetLevel(index);
    for (int i = 0; i < texts.size(); ++i) {
        QStandardItem *cell = model_->item(index, i + 1);
        if (!cell) {
            cell = new QStandardItem;
            cell->setEditable(false);
            cell->setData(level, LevelRole);
            model_->setItem(index, i + 1, cell);
        }
        cell->setText(texts[i]);
    }
}

QString TreeListView::SubItem(int index, int subItem) const
{
    if (index < 0 || index >= Count() || subItem < 0)
        return {};
    const QStandardItem *cell = model_->item(index, subItem + 1);
    return cell ? cell->text() : QString();
}

void TreeListView::SetImageIndex(const Item *item, int image)
{
    if (Item *cell = ItemAt(IndexOf(item)))
        cell->setData(image, ImageRole);
}

int TreeListView::ImageIndex(int index) const
{
    const Item *item = ItemAt(index);
    return item ? item->data(ImageRole).toInt() : -1;
}

int TreeListView::FindCaption(const QString &caption, int level) const
{
    for (int i = 0; i < Count(); ++i) {
        if (GetLevel(i) == level && Caption(i) == caption)
            return i;
    }
    return -1;
}

int TreeListView::FindCaption(const QString &caption, const Item *parent) const
{
    const int p = IndexOf(parent);
    if (p < 0)
        return -1;
    const int childLevel = GetLevel(p) + 1;
    for (int i = p + 1; i < Count() && GetLevel(i) == childLevel; ++i) {
        if (Caption(i) == caption)
            return i;
    }
    return -1;
}

int TreeListView::SelectedIndex() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TreeListView::SetSelectedIndex(int index)
{
    if (index < 0 || index >= Count()) {
        selectionModel()->clearSelection();
        return;
    }
    selectionModel()->setCurrentIndex(model_->index(index, 0),
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

int TreeListView::GetHeaderScroll() const
{
    return header()->offset();
}
