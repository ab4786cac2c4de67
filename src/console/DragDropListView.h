#pragma once

// A list control over the watch-list model with the four views (large
// icons, small icons, list, details) and the operator's dragging: rows are
// dragged to a new place in the list and details views, icons to a new
// position in the two icon views. One selection is shared by every view.
//
// The icon views show each row at its stored position (IconTopRole,
// IconLeftRole); a row that is not placed flows after the others, and
// moving an icon writes its new position back into the model.

#include <QHeaderView>
#include <QList>
#include <QListView>
#include <QPixmap>
#include <QPoint>
#include <QSize>
#include <QTreeView>
#include <QWidget>

class QItemSelectionModel;
class QStackedLayout;
class DragDropIconView;
class DragOverlay;
class WatchListModel;

// The grid cells (top-left corners) of icons at the given positions, in
// their order: each icon takes the free cell nearest to it; one whose
// nearest cell an earlier icon took gets the next nearest free one, equal
// distances going to the upper, then the left cell. The grid starts at the
// origin and has no right or lower end.
QList<QPoint> SnapToFreeCells(const QList<QPoint> &positions, const QSize &cell);

class DragDropListView : public QWidget {
    Q_OBJECT

public:
    enum ViewKind { vsIcon = 0, vsSmallIcon = 1, vsList = 2, vsReport = 3 };

    explicit DragDropListView(QWidget *parent = nullptr);
    ~DragDropListView() override;

    // The rows shown; the model is not owned.
    void SetModel(WatchListModel *model);
    WatchListModel *Model() const { return model_; }
    QItemSelectionModel *SelectionModel() const;

    void SetViewStyle(ViewKind style);
    ViewKind ViewStyle() const { return style_; }
    bool IsIconStyle() const { return style_ == vsIcon || style_ == vsSmallIcon; }

    // The pictures by image index: small for the small-icon, list and
    // details views, large for the large-icon view.
    void SetSmallImages(const QList<QPixmap> &images);
    void SetLargeImages(const QList<QPixmap> &images);
    const QList<QPixmap> &SmallImages() const { return smallImages_; }
    const QList<QPixmap> &LargeImages() const { return largeImages_; }
    // The picture a row shows in the current view (null when none).
    QPixmap RowImage(int row) const;

    // Rows may be dragged (icons moved, rows reordered).
    bool CanDrag = false;

    // Selection, in list order.
    QList<int> SelectedRows() const;
    int SelCount() const { return int(SelectedRows().size()); }
    // The first selected row, -1 when none.
    int ItemIndex() const;
    void SetSelectedRows(const QList<int> &rows);
    void SelectAll();
    void ClearSelection();

    // The row under a point of the current view's viewport, -1 when none.
    int RowAt(const QPoint &viewportPos) const;
    // A row's rectangle in the current view's viewport.
    QRect RowRect(int row) const;

    // Icon positions (content coordinates of the icon views).
    QPoint ItemPosition(int row) const;
    // Places the icon and stores the position in the model.
    void SetItemPosition(int row, const QPoint &position);
    // Snaps every icon to its nearest free grid cell and stores the
    // positions (see SnapToFreeCells).
    void Arrange();

    // The drop of a drag that started at pressPos and ends at dropPos (both
    // viewport coordinates): icons move by the offset, rows move before the
    // row under dropPos. The mouse handling ends every drag here.
    void DropAt(const QPoint &pressPos, const QPoint &dropPos);
    // The rows' block lands before target, in its old order; a target
    // outside the rows moves nothing. Returns false when nothing moved.
    bool DropRows(const QList<int> &rows, int target);

    bool IsDragging() const { return dragging_; }
    // Ends a drag in progress without a drop: nothing moves, and the rest
    // of the mouse gesture up to the button's release is ignored.
    void CancelDrag();

    QAbstractItemView *CurrentView() const;
    QListView *IconView() const;
    QTreeView *ReportView() const { return report_; }
    QHeaderView *Header() const;

signals:
    // Header notifications: a column's drag to a new place and a column
    // divider's drag (resizing) begin and end.
    void HeaderStartDrag();
    void HeaderEndDrag();
    void HeaderStartTrack();
    void HeaderEndTrack();

    // A click, a double-click on a row, and a right-click (global point).
    void Clicked(int row);
    void DoubleClicked(int row);
    void ContextMenuRequested(const QPoint &globalPos);
    void SelectionChanged();
    // Rows or icons were moved by a drag.
    void ItemsDropped();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // After a change of rows in an icon view: places stored icons.
    void ApplyStoredPositions();
    virtual void ViewStyleChanged() {}

private:
    bool viewportEvent(QAbstractItemView *view, QEvent *event);
    bool headerEvent(QEvent *event);
    void schedulePositions();
    void storePosition(int row);
    QSize gridCell() const;

    friend class DragOverlay;
    friend class DragDropIconView;
    friend class DragDropItemDelegate;

    WatchListModel *model_ = nullptr;
    ViewKind style_ = vsIcon;
    QStackedLayout *stack_ = nullptr;
    DragDropIconView *icons_ = nullptr;
    QTreeView *report_ = nullptr;
    DragOverlay *iconOverlay_ = nullptr;
    DragOverlay *reportOverlay_ = nullptr;
    QList<QPixmap> smallImages_, largeImages_;

    // Mouse state of a drag.
    QPoint pressPos_;
    bool pressed_ = false;
    int pressRow_ = -1;
    bool deferredSelect_ = false;
    bool dragging_ = false;
    bool dragCancelled_ = false;
    QPoint dragPos_{-32768, -32768};
    QList<int> dragRows_;
    bool positionsPending_ = false;

    // Header state.
    bool headerPressed_ = false;
    bool headerTracking_ = false;
    bool headerDragging_ = false;
    QPoint headerPressPos_;
};
