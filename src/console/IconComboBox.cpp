#include "console/IconComboBox.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QStylePainter>

int EntryImageIndex(const QString &text)
{
    if (text.size() < 2)
        return -1;
    bool ok = false;
    const int n = text.left(2).trimmed().toInt(&ok);
    return ok ? n : -1;
}

namespace {

class ImageEntryDelegate : public QStyledItemDelegate {
public:
    explicit ImageEntryDelegate(IconComboBox *owner) : QStyledItemDelegate(owner), owner_(owner) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const bool selected = option.state & (QStyle::State_Selected | QStyle::State_HasFocus);
        painter->fillRect(option.rect, option.palette.color(selected ? QPalette::Highlight : QPalette::Base));
        painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        int x = option.rect.left() + 1;
        QString text = index.data().toString();
        if (owner_->HasImageList()) {
            const QPixmap image = owner_->EntryImage(index.row());
            if (!image.isNull())
                painter->drawPixmap(option.rect.left(), option.rect.top() + (option.rect.height() - image.height()) / 2,
                                    image);
            x = option.rect.left() + owner_->ItemHeight() + 2;
            text = owner_->EntryText(index.row());
        }
        painter->drawText(QRect(x, option.rect.top(), option.rect.right() - x, option.rect.height()),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.setHeight(std::max(owner_->ItemHeight(), option.fontMetrics.height()));
        return s;
    }

private:
    IconComboBox *owner_;
};

}  // namespace

IconComboBox::IconComboBox(QWidget *parent)
    : QComboBox(parent)
{
    setItemDelegate(new ImageEntryDelegate(this));
}

void IconComboBox::SetImageList(const QList<QPixmap> &images)
{
    images_ = images;
    hasImages_ = true;
    itemHeight_ = images.isEmpty() ? 16 : images.first().height();
    setIconSize(QSize(itemHeight_, itemHeight_));
    update();
}

QPixmap IconComboBox::EntryImage(int index) const
{
    const int image = EntryImageIndex(itemText(index));
    return hasImages_ && image >= 0 && image < images_.size() ? images_[image] : QPixmap();
}

QString IconComboBox::EntryText(int index) const
{
    return hasImages_ ? itemText(index).mid(2) : itemText(index);
}

void IconComboBox::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    if (hasImages_ && currentIndex() >= 0) {
        opt.currentText = EntryText(currentIndex());
        const QPixmap image = EntryImage(currentIndex());
        opt.currentIcon = image.isNull() ? QIcon() : QIcon(image);
        opt.iconSize = QSize(itemHeight_, itemHeight_);
    }
    painter.drawComplexControl(QStyle::CC_ComboBox, opt);
    painter.drawControl(QStyle::CE_ComboBoxLabel, opt);
}
