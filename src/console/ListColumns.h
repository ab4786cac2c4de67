#pragma once

// The watch list's columns as the settings keep them: their order
// ([MainWnd] ColPosition) and their widths (ColWidth, 0 for a hidden one).
// While the stored widths are the settings' defaults (made for another
// desktop's fonts), the columns fit their caption and contents, until the
// operator sizes one; the defaults are then saved as they were.

#include <QObject>
#include <QString>

class WatchListView;

class ListColumns : public QObject {
public:
    explicit ListColumns(WatchListView *list);

    // Order and widths from the settings.
    void Restore();
    // Fits the columns to their contents while the widths are the defaults.
    void FitDefaults();
    // Every column back at the position of its number.
    void RestoreOrder();
    // [MainWnd] ColWidth from the columns as they stand.
    QString WidthsText() const;
    // Order and (unless only fitted) widths into the settings.
    void Keep();

private:
    // The width that shows each status text in the console's language.
    int WidestStatus() const;

    WatchListView *list_;
    bool fit_ = false;
    bool fitting_ = false;
};
