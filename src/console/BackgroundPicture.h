#pragma once

// The watch list's background: a bitmap behind the icons and rows, placed by
// [Background] TileMode, the labels' text colour and whether the labels are
// drawn transparent over it, with the menu commands that change them. It
// paints on the list's views and puts the list's own background colour
// behind each label's text so that it stays readable over the picture.

#include <QColor>
#include <QObject>
#include <QPixmap>

#include <array>
#include <functional>

class WatchListView;
class QAction;

// A stored [Background] TextColor (0x00BBGGRR) as red, green, blue and back.
QRgb TextColorRgb(qint32 stored);
qint32 StoredTextColor(QRgb rgb);

class BackgroundPicture : public QObject {
    Q_OBJECT

public:
    // Installs itself on both views of list; window is the dialogs' parent.
    BackgroundPicture(WatchListView *list, QWidget *window);

    // The picture shown; null when there is none.
    QPixmap Background;
    // The label background colour that transparency undoes.
    QColor DefaultLabelColor;

    // The menu items that show the state.
    QAction *Transparent = nullptr;
    std::array<QAction *, 4> Tile{};
    // The window's warning and its yes/no question.
    std::function<void(const QString &)> Warn;
    std::function<bool(const QString &)> Ask;

    // [Background] File at start: a file that cannot be shown is forgotten.
    void Load();
    // The menu commands.
    void Select();
    // Loads a picture file as the background; false (after the warning)
    // when it is not a bitmap the list can show.
    bool SetFile(const QString &path);
    void ToggleTransparent();
    void ChooseTextColor();
    void SetTileMode(int mode);
    void Erase();
    // Shows the settings: menu checks, text colour, a repaint.
    void Apply();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Paint(QWidget *viewport);

    WatchListView *list_;
    QWidget *window_;
};
