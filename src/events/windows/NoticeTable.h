#pragma once

// The table of open notices: one slot per notice kind. A later event of an
// open kind adds to that notice instead of opening a second one. Main thread
// only.

#include "engine/EventKinds.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QWidget;
class NoticeWindow;

class NoticeTable : public QObject {
    Q_OBJECT

public:
    NoticeWindow *Notice(NoticeKind kind) const;
    bool IsOpen(NoticeKind kind) const { return Notice(kind) != nullptr; }

    // The event code's step for a notice: for login and logout an open
    // notice gets the list added (with seconds); otherwise a notice of kind
    // is created unless one is open (an open access or all-event notice keeps
    // what it shows). A new notice remembers focus, the window that had the
    // focus before (null: the active window now). Returns the kind's notice,
    // still hidden if it is new.
    NoticeWindow *Raise(QWidget *owner, NoticeKind kind, int level, int seconds, const QString &text,
                     const QStringList *list, int messageSpeed, QWidget *focus = nullptr);

    // Shows the kind's notice, then keeps it from covering the others: a
    // logout notice standing exactly on the login notice moves right by half
    // its width and the login notice left by half its own; an all-login
    // (all-logout) notice goes below a login (logout) notice that stands
    // centred on the screen, which moves up by half the all-event notice's
    // height.
    void Show(NoticeKind kind);

    // Closes every open notice (the main window is closing).
    void CloseAll();


signals:
    // A kind's notice opened or closed: the notification menu shows the
    // kind's item exactly while it is open.
    void OpenChanged(NoticeKind kind, bool open);

private:
    void hold(NoticeWindow *notice);
    void release(NoticeKind kind, const QObject *notice);
    // Removes a notice's names from the notices of the opposite states.
    void reconcile(const NoticeWindow *notice);

    QPointer<NoticeWindow> slots_[NoticeKindCount];
    // Which notice each slot was given, for the notice's end alone.
    const QObject *held_[NoticeKindCount] = {};
};

extern NoticeTable NoticeWindows;

// Whether a window at (left, top) of size (width, height) stands exactly in
// the middle of a screen of size (screenWidth, screenHeight), halves rounded
// toward zero.
bool IsCentredOnScreen(int left, int top, int width, int height, int screenWidth, int screenHeight);
