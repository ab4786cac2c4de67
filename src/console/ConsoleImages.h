#pragma once

// The pictures of the console's image lists, loaded from the program's
// resources: the small (16 px) and large (32 px) list images indexed by a
// row's image index, the window and tray images, and the access list's
// images. The first two list images come in variants chosen by
// IconImageType and OffIconImageType.

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QString>

class ConsoleImages {
public:
    static constexpr int SmallCount = 19;
    static constexpr int LargeCount = 18;
    static constexpr int WindowCount = 3;
    static constexpr int AccessCount = 3;

    // Window and tray images.
    enum WindowImage { WindowNormal = 0, WindowBusy = 1, WindowAlert = 2 };
    // Access-list images.
    enum AccessImage { AccessTerminal = 0, AccessFolder = 1, AccessFile = 2 };

    // Loads every set. smallIcon fills the large set with the small images
    // (the large-icon view then shows the small pictures).
    void Load(int iconImageType, int offIconImageType, bool smallIcon);
    // Refills the large set alone, as the settings dialog's apply does.
    void LoadLarge(bool smallIcon);

    const QList<QPixmap> &Small() const { return small_; }
    const QList<QPixmap> &Large() const { return large_; }
    const QList<QPixmap> &Window() const { return window_; }
    const QList<QPixmap> &Access() const { return access_; }

    // An image of a set, or a null pixmap for an index outside it.
    QPixmap SmallImage(int index) const { return at(small_, index); }
    QPixmap LargeImage(int index) const { return at(large_, index); }
    QPixmap WindowImage(int index) const { return at(window_, index); }
    QPixmap AccessImageAt(int index) const { return at(access_, index); }
    // The tray's and the window's icon.
    QIcon WindowIcon(int index) const { return QIcon(WindowImage(index)); }

    bool IsLoaded() const { return !small_.isEmpty(); }

private:
    static QPixmap at(const QList<QPixmap> &set, int index)
    {
        return index >= 0 && index < set.size() ? set[index] : QPixmap();
    }

    int iconImageType_ = 0, offIconImageType_ = 0;
    QList<QPixmap> small_, large_, window_, access_;
};

// The process's pictures (kept here rather than with the shared services,
// which have no graphics). Empty until Load.
ConsoleImages &SharedImages();

// The resource name of a list image ("SMALL01", "LARGE02A", ...): index 0
// takes the variant A, B or C for IconImageType 1, 2, 3, index 1 the variant
// A for OffIconImageType 1. Empty for an index outside the set.
QString ListImageName(int index, bool large, int iconImageType, int offIconImageType);

// The resource path of a named picture.
QString ImageResourcePath(const QString &name);
