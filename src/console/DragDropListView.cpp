#include "console/DragDropListView.h"

#include "engine/WatchListModel.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSet>
#include <QStackedLayout>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeView>

#include <algorithm>

// The icon views: a list view whose free item positions can be set and read.
class DragDropIconView : public QListView {
public:
    explicit DragDropIconView(DragDropListView *owner) : QListView(owner), owner_(owner) {}
    void place(const QModelIndex &index, const QPoint &position) { setPositionForIndex(position, index); }
    QPoint position(const QModelIndex &index) const { return rectForIndex(index).topLeft(); }
    QPoint contentOffset() const { return {horizontalOffset(), verticalOffset()}; }

    // A layout of the items (a refresh, a resize, a new grid) flows every
    // icon anew and forgets where the operator put it: the stored places
    // go back at once.
    void doItemsLayout() override
    {
        QListView::doItemsLayout();
        if (placing_)
            return;
        placing_ = true;
        owner_->ApplyStoredPositions();
        placing_ = false;
    }

private:
    DragDropListView *owner_;
    bool placing_ = false;
};

// The outlines of the dragged rows at the pointer's offset, drawn over the
// view's viewport.
class DragOverlay : public QWidget {
public:
    DragOverlay(DragDropListView *owner, QAbstractItemView *view)
        : QWidget(view->viewport()), owner_(owner), view_(view)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        hide();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!owner_->dragging_ || !owner_->model_)
            return;
        QPainter p(this);
        p.setPen(QPen(palette().color(QPalette::Text), 1, Qt::DotLine));
        const QPoint offset = owner_->dragPos_ - owner_->pressPos_;
        for (int row : std::as_const(owner_->dragRows_)) {
            QRect r = view_->visualRect(owner_->model_->index(row, 0));
            if (view_ == owner_->report_)
                r = QRect(0, r.top(), view_->viewport()->width(), r.height());
            p.drawRect(r.translated(offset).adjusted(0, 0, -1, -1));
        }
    }

private:
    DragDropListView *owner_;
    QAbstractItemView *view_;
};

// Draws each row's picture, taken by its image index from the list control's
// image sets, before the caption of the first column.
class DragDropItemDelegate : public QStyledItemDelegate {
public:
    explicit DragDropItemDelegate(DragDropListView *owner) : QStyledItemDelegate(owner), owner_(owner) {}

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() != 0)
            return;
        const QPixmap image = owner_->RowImage(index.row());
        if (!image.isNull()) {
            option->features |= QStyleOptionViewItem::HasDecoration;
            option->icon = QIcon(image);
            option->decorationSize = image.size();
        }
        if (owner_->style_ == DragDropListView::vsSmallIcon) {
            option->decorationPosition = QStyleOptionViewItem::Left;
            option->displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
            option->features &= ~QStyleOptionViewItem::WrapText;
        }
    }

private:
    DragDropListView *owner_;
};

DragDropListView::DragDropListView(QWidget *parent)
    : QWidget(parent)
{
    stack_ = new QStackedLayout(this);
    stack_->setContentsMargins(0, 0, 0, 0);

    icons_ = new DragDropIconView(this);
    icons_->setObjectName(QStringLiteral("IconView"));
    report_ = new QTreeView(this);
    report_->setObjectName(QStringLiteral("ReportView"));
    report_->setRootIsDecorated(false);
    report_->setItemsExpandable(false);
    report_->setUniformRowHeights(true);
    report_->setAllColumnsShowFocus(true);
    report_->setSelectionBehavior(QAbstractItemView::SelectRows);
    report_->header()->setSectionsMovable(true);
    report_->header()->setStretchLastSection(false);
    report_->header()->setSectionsClickable(true);
    // A column the operator narrowed to nothing stays hidden.
    report_->header()->setMinimumSectionSize(0);
    report_->header()->viewport()->installEventFilter(this);

    auto *delegate = new DragDropItemDelegate(this);
    for (QAbstractItemView *view : {static_cast<QAbstractItemView *>(icons_), static_cast<QAbstractItemView *>(report_)}) {
        view->setItemDelegate(delegate);
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setDragEnabled(false);
        view->setDragDropMode(QAbstractItemView::NoDragDrop);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        view->viewport()->installEventFilter(this);
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint &pos) { emit ContextMenuRequested(view->viewport()->mapToGlobal(pos)); });
        connect(view, &QAbstractItemView::clicked, this, [this](const QModelIndex &i) { emit Clicked(i.row()); });
        connect(view, &QAbstractItemView::doubleClicked, this,
                [this](const QModelIndex &i) { emit DoubleClicked(i.row()); });
        stack_->addWidget(view);
    }
    iconOverlay_ = new DragOverlay(this, icons_);
    reportOverlay_ = new DragOverlay(this, report_);

    connect(report_->header(), &QHeaderView::sectionResized, this, [this] {
        if (headerPressed_ && !headerTracking_) {
            headerTracking_ = true;
            emit HeaderStartTrack();
        }
    });
    SetViewStyle(vsIcon);
}

DragDropListView::~DragDropListView() = default;

void DragDropListView::SetModel(WatchListModel *model)
{
    if (model_)
        disconnect(model_, nullptr, this, nullptr);
    model_ = model;
    icons_->setModel(model);
    report_->setModel(model);
    // One selection for every view.
    QItemSelectionModel *old = report_->selectionModel();
    report_->setSelectionModel(icons_->selectionModel());
    if (old && old != icons_->selectionModel())
        old->deleteLater();
    if (!model)
        return;
    connect(icons_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &DragDropListView::SelectionChanged);
    connect(model, &QAbstractItemModel::modelReset, this, &DragDropListView::schedulePositions);
    connect(model, &QAbstractItemModel::rowsInserted, this, &DragDropListView::schedulePositions);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &DragDropListView::schedulePositions);
    connect(model, &QAbstractItemModel::rowsMoved, this, &DragDropListView::schedulePositions);
    connect(model, &QAbstractItemModel::layoutChanged, this, &DragDropListView::schedulePositions);
    schedulePositions();
}

QItemSelectionModel *DragDropListView::SelectionModel() const
{
    return icons_->selectionModel();
}

void DragDropListView::SetViewStyle(ViewKind style)
{
    if (style < vsIcon || style > vsReport)
        style = vsIcon;
    style_ = style;
    const int line = fontMetrics().height();
    switch (style) {
    case vsIcon:
        icons_->setViewMode(QListView::IconMode);
        icons_->setMovement(QListView::Free);
        icons_->setFlow(QListView::LeftToRight);
        icons_->setWrapping(true);
        icons_->setWordWrap(true);
        icons_->setIconSize(QSize(32, 32));
        icons_->setGridSize(QSize(std::max(76, line * 6), 32 + 2 * line + 10));
        break;
    case vsSmallIcon:
        icons_->setViewMode(QListView::IconMode);
        icons_->setMovement(QListView::Free);
        icons_->setFlow(QListView::LeftToRight);
        icons_->setWrapping(true);
        icons_->setWordWrap(false);
        icons_->setIconSize(QSize(16, 16));
        icons_->setGridSize(QSize(std::max(120, line * 9), std::max(18, line + 4)));
        break;
    case vsList:
        icons_->setViewMode(QListView::ListMode);
        icons_->setMovement(QListView::Static);
        icons_->setFlow(QListView::TopToBottom);
        icons_->setWrapping(true);
        icons_->setWordWrap(false);
        icons_->setIconSize(QSize(16, 16));
        icons_->setGridSize(QSize());
        icons_->setResizeMode(QListView::Adjust);
        break;
    case vsReport:
        // Rows all have the height of one row, measured once: measured
        // while the pictures were the icon view's large ones, it would keep
        // their height until the next insertion.
        report_->doItemsLayout();
        break;
    }
    // The list view turns its own dragging on in the icon mode; ours runs
    // instead.
    icons_->setDragEnabled(false);
    icons_->setDragDropMode(QAbstractItemView::NoDragDrop);
    stack_->setCurrentWidget(style == vsReport ? static_cast<QWidget *>(report_) : icons_);

    // The details view shows whole rows selected.
    if (style == vsReport && model_) {
        const QList<int> rows = SelectedRows();
        SetSelectedRows(rows);
    }
    if (IsIconStyle())
        schedulePositions();
    ViewStyleChanged();
}

void DragDropListView::SetSmallImages(const QList<QPixmap> &images)
{
    smallImages_ = images;
    CurrentView()->viewport()->update();
}

void DragDropListView::SetLargeImages(const QList<QPixmap> &images)
{
    largeImages_ = images;
    CurrentView()->viewport()->update();
}

QPixmap DragDropListView::RowImage(int row) const
{
    if (!model_ || !model_->isValidRow(row))
        return {};
    const QList<QPixmap> &set = style_ == vsIcon ? largeImages_ : smallImages_;
    const int index = model_->imageIndex(row);
    return index >= 0 && index < set.size() ? set[index] : QPixmap();
}

QList<int> DragDropListView::SelectedRows() const
{
    QList<int> rows;
    if (!model_)
        return rows;
    QSet<int> seen;
    for (const QModelIndex &index : SelectionModel()->selectedIndexes()) {
        if (!seen.contains(index.row())) {
            seen.insert(index.row());
            rows.append(index.row());
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

int DragDropListView::ItemIndex() const
{
    const QList<int> rows = SelectedRows();
    return rows.isEmpty() ? -1 : rows.first();
}

void DragDropListView::SetSelectedRows(const QList<int> &rows)
{
    if (!model_)
        return;
    QItemSelection selection;
    for (int row : rows) {
        if (model_->isValidRow(row))
            selection.select(model_->index(row, 0), model_->index(row, model_->columnCount() - 1));
    }
    SelectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.isEmpty() && model_->isValidRow(rows.first()))
        SelectionModel()->setCurrentIndex(model_->index(rows.first(), 0), QItemSelectionModel::NoUpdate);
}

void DragDropListView::SelectAll()
{
    if (!model_)
        return;
    QList<int> rows;
    for (int i = 0; i < model_->rowCount(); ++i)
        rows.append(i);
    SetSelectedRows(rows);
}

void DragDropListView::ClearSelection()
{
    SelectionModel()->clearSelection();
}

QAbstractItemView *DragDropListView::CurrentView() const
{
    return style_ == vsReport ? static_cast<QAbstractItemView *>(report_) : icons_;
}

QListView *DragDropListView::IconView() const
{
    return icons_;
}

QHeaderView *DragDropListView::Header() const
{
    return report_->header();
}

int DragDropListView::RowAt(const QPoint &viewportPos) const
{
    const QModelIndex index = CurrentView()->indexAt(viewportPos);
    return index.isValid() ? index.row() : -1;
}

QRect DragDropListView::RowRect(int row) const
{
    if (!model_ || !model_->isValidRow(row))
        return {};
    return CurrentView()->visualRect(model_->index(row, 0));
}

QPoint DragDropListView::ItemPosition(int row) const
{
    if (!model_ || !model_->isValidRow(row))
        return {};
    return icons_->position(model_->index(row, 0));
}

void DragDropListView::SetItemPosition(int row, const QPoint &position)
{
    if (!model_ || !model_->isValidRow(row))
        return;
    const QPoint p(std::max(0, position.x()), std::max(0, position.y()));
    model_->setIconPosition(row, p.y(), p.x());
    if (IsIconStyle())
        icons_->place(model_->index(row, 0), p);
}

void DragDropListView::storePosition(int row)
{
    const QPoint p = ItemPosition(row);
    model_->setIconPosition(row, p.y(), p.x());
}

QSize DragDropListView::gridCell() const
{
    return icons_->gridSize().isValid() ? icons_->gridSize() : QSize(80, 60);
}

void DragDropListView::schedulePositions()
{
    if (positionsPending_)
        return;
    positionsPending_ = true;
    QTimer::singleShot(0, this, [this] {
        positionsPending_ = false;
        ApplyStoredPositions();
    });
}

void DragDropListView::ApplyStoredPositions()
{
    if (!model_ || !IsIconStyle())
        return;
    // Placed icons keep their place; the others fill the free grid cells in
    // row order, so a new row never lands on top of an icon.
    const QSize cell = gridCell();
    const int columns = std::max(1, icons_->viewport()->width() / std::max(1, cell.width()));
    QSet<qint64> taken;
    auto key = [](int cx, int cy) { return (qint64(cy) << 32) | quint32(cx); };
    for (int row = 0; row < model_->rowCount(); ++row) {
        const int top = model_->iconTop(row), left = model_->iconLeft(row);
        if (top >= 0 && left >= 0) {
            icons_->place(model_->index(row, 0), QPoint(left, top));
            taken.insert(key(left / cell.width(), top / cell.height()));
        }
    }
    int next = 0;
    for (int row = 0; row < model_->rowCount(); ++row) {
        if (model_->iconTop(row) >= 0 && model_->iconLeft(row) >= 0)
            continue;
        while (taken.contains(key(next % columns, next / columns)))
            ++next;
        const int cx = next % columns, cy = next / columns;
        taken.insert(key(cx, cy));
        icons_->place(model_->index(row, 0), QPoint(cx * cell.width(), cy * cell.height()));
    }
}

QList<QPoint> SnapToFreeCells(const QList<QPoint> &positions, const QSize &cell)
{
    const qint64 w = std::max(1, cell.width()), h = std::max(1, cell.height());
    QSet<qint64> taken;
    auto key = [](qint64 cx, qint64 cy) { return (cy << 32) | quint32(cx); };
    QList<QPoint> cells;
    for (const QPoint &position : positions) {
        const qint64 px = std::max(0, position.x()), py = std::max(0, position.y());
        const qint64 cx0 = (px + w / 2) / w, cy0 = (py + h / 2) / h;
        auto distance = [&](qint64 cx, qint64 cy) {
            const qint64 dx = cx * w - px, dy = cy * h - py;
            return dx * dx + dy * dy;
        };
        // Rings of cells around the nearest one; a cell of ring r lies at
        // least (r - 1/2) cells from the icon, so once a free cell is found
        // only the rings that could still hold a nearer one are searched.
        // Equal distances go to the upper, then the left cell.
        qint64 bestX = -1, bestY = -1, best = 0;
        const qint64 shorter = std::min(w, h);
        for (qint64 r = 0;; ++r) {
            if (bestX >= 0 && (2 * r - 1) * (2 * r - 1) * shorter * shorter > 4 * best)
                break;
            for (qint64 cy = std::max<qint64>(0, cy0 - r); cy <= cy0 + r; ++cy) {
                for (qint64 cx = std::max<qint64>(0, cx0 - r); cx <= cx0 + r; ++cx) {
                    if (std::max(std::abs(cx - cx0), std::abs(cy - cy0)) != r || taken.contains(key(cx, cy)))
                        continue;
                    const qint64 d = distance(cx, cy);
                    if (bestX < 0 || d < best || (d == best && (cy < bestY || (cy == bestY && cx < bestX)))) {
                        bestX = cx;
                        bestY = cy;
                        best = d;
                    }
                }
            }
        }
        taken.insert(key(bestX, bestY));
        cells.append(QPoint(int(bestX * w), int(bestY * h)));
    }
    return cells;
}

void DragDropListView::Arrange()
{
    if (!model_)
        return;
    QList<QPoint> positions;
    for (int row = 0; row < model_->rowCount(); ++row)
        positions.append(ItemPosition(row));
    const QList<QPoint> cells = SnapToFreeCells(positions, gridCell());
    for (int row = 0; row < int(cells.size()); ++row)
        SetItemPosition(row, cells[row]);
}

void DragDropListView::DropAt(const QPoint &pressPos, const QPoint &dropPos)
{
    if (!model_)
        return;
    if (IsIconStyle()) {
        const QPoint offset = dropPos - pressPos;
        const QList<int> rows = SelectedRows();
        if (rows.isEmpty() || offset.isNull())
            return;
        for (int row : rows)
            SetItemPosition(row, ItemPosition(row) + offset);
        emit ItemsDropped();
        return;
    }
    if (DropRows(SelectedRows(), RowAt(dropPos)))
        emit ItemsDropped();
}

bool DragDropListView::DropRows(const QList<int> &rows, int target)
{
    if (!model_ || !model_->isValidRow(target) || rows.isEmpty())
        return false;
    QList<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    for (int row : sorted) {
        if (!model_->isValidRow(row))
            return false;
    }
    // Copies go in before the target, then the originals leave.
    std::vector<WatchListModel::Row> copies;
    for (int row : sorted)
        copies.push_back(model_->row(row));
    for (size_t i = 0; i < copies.size(); ++i)
        model_->insertRow(target + int(i), copies[i]);
    const int n = int(copies.size());
    for (int i = int(sorted.size()) - 1; i >= 0; --i) {
        const int row = sorted[i] >= target ? sorted[i] + n : sorted[i];
        model_->removeRows(row, 1);
    }
    int first = target;
    for (int row : sorted) {
        if (row < target)
            --first;
    }
    QList<int> block;
    for (int i = 0; i < n; ++i)
        block.append(first + i);
    SetSelectedRows(block);
    return true;
}

bool DragDropListView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == icons_->viewport())
        return viewportEvent(icons_, event);
    if (watched == report_->viewport())
        return viewportEvent(report_, event);
    if (watched == report_->header()->viewport())
        return headerEvent(event);
    return QWidget::eventFilter(watched, event);
}

void DragDropListView::CancelDrag()
{
    if (!dragging_)
        return;
    dragging_ = false;
    // The button is still down: its moves and release belong to the
    // cancelled gesture, not to a new selection or drag.
    dragCancelled_ = pressed_;
    pressed_ = false;
    deferredSelect_ = false;
    dragRows_.clear();
    iconOverlay_->hide();
    reportOverlay_->hide();
}

bool DragDropListView::viewportEvent(QAbstractItemView *view, QEvent *event)
{
    auto *overlay = view == report_ ? reportOverlay_ : iconOverlay_;
    switch (event->type()) {
    case QEvent::Resize:
        overlay->resize(view->viewport()->size());
        return false;
    case QEvent::MouseButtonPress: {
        auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() != Qt::LeftButton)
            return false;
        pressPos_ = me->position().toPoint();
        pressed_ = true;
        dragging_ = false;
        dragCancelled_ = false;
        pressRow_ = CanDrag ? RowAt(pressPos_) : -1;
        deferredSelect_ = false;
        // Pressing a selected row keeps the selection, so that a drag takes
        // all of it; a click without a drag selects that row alone.
        if (pressRow_ >= 0 && me->modifiers() == Qt::NoModifier && SelectedRows().contains(pressRow_)) {
            deferredSelect_ = true;
            SelectionModel()->setCurrentIndex(model_->index(pressRow_, 0), QItemSelectionModel::NoUpdate);
            return true;
        }
        return false;
    }
    case QEvent::MouseMove: {
        auto *me = static_cast<QMouseEvent *>(event);
        if (dragCancelled_)
            return true;
        if (!pressed_ || pressRow_ < 0 || !(me->buttons() & Qt::LeftButton))
            return false;
        const QPoint pos = me->position().toPoint();
        if (!dragging_) {
            const int threshold = QApplication::startDragDistance();
            if (std::abs(pos.x() - pressPos_.x()) <= threshold && std::abs(pos.y() - pressPos_.y()) <= threshold)
                return true;
            dragging_ = true;
            deferredSelect_ = false;
            dragPos_ = QPoint(-32768, -32768);
            dragRows_ = SelectedRows();
            overlay->resize(view->viewport()->size());
            overlay->show();
            overlay->raise();
        }
        dragPos_ = pos;
        overlay->update();
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() != Qt::LeftButton)
            return false;
        pressed_ = false;
        if (dragCancelled_) {
            dragCancelled_ = false;
            return true;
        }
        if (dragging_) {
            dragging_ = false;
            overlay->hide();
            dragRows_.clear();
            DropAt(pressPos_, me->position().toPoint());
            return true;
        }
        if (deferredSelect_) {
            deferredSelect_ = false;
            SetSelectedRows({pressRow_});
            emit Clicked(pressRow_);
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

bool DragDropListView::headerEvent(QEvent *event)
{
    QHeaderView *header = report_->header();
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() != Qt::LeftButton)
            return false;
        headerPressed_ = true;
        headerTracking_ = false;
        headerDragging_ = false;
        headerPressPos_ = me->position().toPoint();
        // A press on a divider begins a resize at once.
        const int x = headerPressPos_.x();
        const int margin = header->style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, header);
        for (int visual = 0; visual < header->count(); ++visual) {
            const int logical = header->logicalIndex(visual);
            if (header->isSectionHidden(logical))
                continue;
            const int edge = header->sectionViewportPosition(logical) + header->sectionSize(logical);
            if (std::abs(x - edge) <= margin) {
                headerTracking_ = true;
                emit HeaderStartTrack();
                break;
            }
        }
        return false;
    }
    case QEvent::MouseMove: {
        auto *me = static_cast<QMouseEvent *>(event);
        if (headerPressed_ && !headerTracking_ && !headerDragging_ && header->sectionsMovable()
            && (me->position().toPoint() - headerPressPos_).manhattanLength() > QApplication::startDragDistance()) {
            headerDragging_ = true;
            emit HeaderStartDrag();
        }
        return false;
    }
    case QEvent::MouseButtonRelease: {
        if (!headerPressed_)
            return false;
        headerPressed_ = false;
        // The header finishes its own move or resize first.
        if (headerTracking_)
            QMetaObject::invokeMethod(this, &DragDropListView::HeaderEndTrack, Qt::QueuedConnection);
        if (headerDragging_)
            QMetaObject::invokeMethod(this, &DragDropListView::HeaderEndDrag, Qt::QueuedConnection);
        headerTracking_ = headerDragging_ = false;
        return false;
    }
    default:
        return false;
    }
}
