#pragma once

// A combo box that shows a picture before each entry. An entry's text
// begins with the two-digit index of its picture ("00", "09", ...); the
// picture is drawn, then the rest of the text. The texts themselves stay
// as they are, so currentText() still gives the number.

#include <QComboBox>
#include <QList>
#include <QPixmap>

class IconComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit IconComboBox(QWidget *parent = nullptr);

    // The pictures; the entries take the pictures' height.
    void SetImageList(const QList<QPixmap> &images);
    const QList<QPixmap> &ImageList() const { return images_; }
    bool HasImageList() const { return hasImages_; }

    // The picture an entry shows (null when none) and the text drawn after
    // it.
    QPixmap EntryImage(int index) const;
    QString EntryText(int index) const;
    int ItemHeight() const { return itemHeight_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<QPixmap> images_;
    bool hasImages_ = false;
    int itemHeight_ = 16;
};

// The picture index at the start of an entry's text: the number in its first
// two characters, -1 when they are not a number.
int EntryImageIndex(const QString &text);
