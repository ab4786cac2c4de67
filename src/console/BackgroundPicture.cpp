#include "console/BackgroundPicture.h"

#include "config/SettingValues.h"
#include "config/Settings.h"
#include "console/WatchListView.h"
#include "process/ProcessFlags.h"

#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTreeView>

namespace {

const char *const BadPictureText = QT_TRANSLATE_NOOP("BackgroundPicture", "この画像は背景に設定できません");
const char *const EraseQuestionText = QT_TRANSLATE_NOOP("BackgroundPicture", "背景を消去します。\nよろしいですか？");

// Draws the labels of the list over the background picture with the list's
// own background colour behind them, unless they are to be transparent.
class LabelDelegate : public QStyledItemDelegate {
public:
    LabelDelegate(BackgroundPicture *owner, WatchListView *list, QAbstractItemDelegate *inner)
        : QStyledItemDelegate(owner), owner_(owner), list_(list), inner_(inner)
    {
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (index.column() == 0 && !owner_->Background.isNull() && !Settings.Background.File.isEmpty()
            && !Settings.Background.Transport) {
            QStyleOptionViewItem opt = option;
            initStyleOption(&opt, index);
            const QPixmap image = list_->RowImage(index.row());
            if (!image.isNull()) {
                opt.features |= QStyleOptionViewItem::HasDecoration;
                opt.icon = QIcon(image);
                opt.decorationSize = image.size();
            }
            if (list_->ViewStyle() == DragDropListView::vsSmallIcon) {
                opt.decorationPosition = QStyleOptionViewItem::Left;
                opt.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
                opt.features &= ~QStyleOptionViewItem::WrapText;
            }
            const QWidget *widget = option.widget;
            const QStyle *style = widget ? widget->style() : QApplication::style();
            QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
            const QRect used = opt.fontMetrics.boundingRect(text, int(opt.displayAlignment) | Qt::TextWordWrap,
                                                            opt.text);
            painter->fillRect(used.intersected(text).adjusted(-1, 0, 1, 0), owner_->DefaultLabelColor);
        }
        inner_->paint(painter, option, index);
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return inner_->sizeHint(option, index);
    }

private:
    BackgroundPicture *owner_;
    WatchListView *list_;
    QAbstractItemDelegate *inner_;
};

} // namespace

QRgb TextColorRgb(qint32 stored)
{
    const quint32 c = quint32(stored);
    return qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

qint32 StoredTextColor(QRgb rgb)
{
    return qint32(quint32(qRed(rgb)) | quint32(qGreen(rgb)) << 8 | quint32(qBlue(rgb)) << 16);
}

BackgroundPicture::BackgroundPicture(WatchListView *list, QWidget *window) : QObject(window), list_(list), window_(window)
{
    for (QAbstractItemView *view : {static_cast<QAbstractItemView *>(list_->IconView()),
                                    static_cast<QAbstractItemView *>(list_->ReportView())}) {
        view->setItemDelegate(new LabelDelegate(this, list_, view->itemDelegate()));
        view->viewport()->installEventFilter(this);
    }
}

void BackgroundPicture::Load()
{
    if (!Settings.Background.File.isEmpty() && !Background.load(Settings.Background.File, "BMP"))
        Settings.Background.File.clear();
    DefaultLabelColor = list_->IconView()->palette().color(QPalette::Base);
    Apply();
}

void BackgroundPicture::Select()
{
    const QString start = Settings.Background.File.isEmpty() ? ProgramDir
                                                             : QFileInfo(Settings.Background.File).absolutePath();
    const QString file = QFileDialog::getOpenFileName(window_, QString(), start,
                                                      tr("ビットマップ(*.bmp);;Jpegイメージ(*.jpg)"));
    if (!file.isEmpty())
        SetFile(file);
}

bool BackgroundPicture::SetFile(const QString &path)
{
    QPixmap picture;
    // Only bitmaps are shown, whatever the file dialog offers.
    if (!picture.load(path, "BMP")) {
        if (Warn)
            Warn(tr(BadPictureText));
        return false;
    }
    Background = picture;
    Settings.Background.File = path;
    Apply();
    return true;
}

void BackgroundPicture::ToggleTransparent()
{
    Settings.Background.Transport = !Settings.Background.Transport;
    Apply();
}

void BackgroundPicture::ChooseTextColor()
{
    const QColor color = QColorDialog::getColor(QColor(TextColorRgb(Settings.Background.TextColor)), window_);
    if (!color.isValid())
        return;
    Settings.Background.TextColor = StoredTextColor(color.rgb());
    Apply();
}

void BackgroundPicture::SetTileMode(int mode)
{
    Settings.Background.TileMode = mode;
    Apply();
}

void BackgroundPicture::Erase()
{
    if (Ask && !Ask(tr(EraseQuestionText)))
        return;
    Settings.Background.File.clear();
    Background = QPixmap();
    Apply();
}

void BackgroundPicture::Apply()
{
    // Every change of the picture's settings ends here.
    MarkSettingsChanged();
    if (Transparent)
        Transparent->setChecked(Settings.Background.Transport);
    const int tile = Settings.Background.TileMode;
    for (int i = 0; i < 4; ++i) {
        if (Tile[size_t(i)])
            Tile[size_t(i)]->setChecked(tile == TilePlacement::Centred + i);
    }
    const QColor text(TextColorRgb(Settings.Background.TextColor));
    for (QAbstractItemView *view : {static_cast<QAbstractItemView *>(list_->IconView()),
                                    static_cast<QAbstractItemView *>(list_->ReportView())}) {
        QPalette p = view->palette();
        p.setColor(QPalette::Text, text);
        view->setPalette(p);
        view->viewport()->update();
    }
}

bool BackgroundPicture::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint)
        Paint(static_cast<QWidget *>(watched));
    return QObject::eventFilter(watched, event);
}

void BackgroundPicture::Paint(QWidget *viewport)
{
    if (Background.isNull() || Settings.Background.File.isEmpty())
        return;
    const QAbstractItemView *view = list_->CurrentView();
    if (!view || view->viewport() != viewport)
        return;
    const QRect area = list_->GetScrollRect();
    QPoint origin(-view->horizontalScrollBar()->value(), -view->verticalScrollBar()->value());
    if (list_->ViewStyle() == DragDropListView::vsReport)
        origin.setX(-list_->GetHeaderScroll());
    const QSize picture = Background.size();
    QPainter p(viewport);
    switch (Settings.Background.TileMode) {
    case TilePlacement::TopLeft:
        p.drawPixmap(origin, Background);
        break;
    case TilePlacement::Tiled:
        for (int y = 0; y < area.height(); y += picture.height())
            for (int x = 0; x < area.width(); x += picture.width())
                p.drawPixmap(origin + QPoint(x, y), Background);
        break;
    case TilePlacement::Stretched:
        p.drawPixmap(QRect(origin, area.size()), Background);
        break;
    default:
        p.drawPixmap(origin + QPoint((area.width() - picture.width()) / 2, (area.height() - picture.height()) / 2),
                     Background);
        break;
    }
}
