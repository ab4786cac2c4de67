#include "events/windows/NoticeTable.h"

#include "events/windows/NoticeWindow.h"

#include <QApplication>
#include <QScreen>

NoticeTable NoticeWindows;

bool IsCentredOnScreen(int left, int top, int width, int height, int screenWidth, int screenHeight)
{
    return left == screenWidth / 2 - width / 2 && top == screenHeight / 2 - height / 2;
}

NoticeWindow *NoticeTable::Notice(NoticeKind kind) const
{
    return slots_[Index(kind)].data();
}

void NoticeTable::hold(NoticeWindow *notice)
{
    const NoticeKind kind = notice->Kind();
    slots_[Index(kind)] = notice;
    held_[Index(kind)] = notice;
    connect(notice, &NoticeWindow::LinesAdded, this, [this, notice] { reconcile(notice); });
    connect(notice, &NoticeWindow::Closing, this, [this, kind, notice] { release(kind, notice); });
    connect(notice, &QObject::destroyed, this, [this, kind, notice] { release(kind, notice); });
    emit OpenChanged(kind, true);
}

void NoticeTable::release(NoticeKind kind, const QObject *notice)
{
    if (held_[Index(kind)] != notice)
        return;
    held_[Index(kind)] = nullptr;
    slots_[Index(kind)] = nullptr;
    emit OpenChanged(kind, false);
}

void NoticeTable::reconcile(const NoticeWindow *notice)
{
    using enum NoticeKind;
    static const QList<NoticeKind> windowsOf[3] = {{Logout, Error}, {Login, Error}, {Login, Logout}};
    const NoticeKind kind = notice->Kind();
    if (kind != Login && kind != Logout && kind != Error)
        return;
    const QStringList names = notice->Members();
    for (NoticeKind other : windowsOf[Index(kind)])
        if (NoticeWindow *open = Notice(other); open && open != notice)
            open->RemoveNames(names);
}

NoticeWindow *NoticeTable::Raise(QWidget *owner, NoticeKind kind, int level, int seconds, const QString &text,
                                 const QStringList *list, int messageSpeed, QWidget *focus)
{
    if (NoticeWindow *open = Notice(kind)) {
        if ((kind == NoticeKind::Login || kind == NoticeKind::Logout) && list)
            open->AddLines(*list, seconds);
        return open;
    }
    if (!focus)
        focus = QApplication::activeWindow();
    auto *notice = new NoticeWindow(owner, kind, level, seconds, text, list, messageSpeed);
    notice->SetFocusWindow(focus);
    reconcile(notice);
    hold(notice);
    return notice;
}

void NoticeTable::Show(NoticeKind kind)
{
    NoticeWindow *notice = Notice(kind);
    if (!notice)
        return;
    notice->ShowNotice();
    if (notice->BarLayout())
        return;
    if (kind == NoticeKind::Logout) {
        NoticeWindow *login = Notice(NoticeKind::Login);
        if (login && !login->BarLayout() && login->pos() == notice->pos()) {
            const QPoint at = notice->pos();
            login->move(at.x() - login->width() / 2, at.y());
            notice->move(at.x() + notice->width() / 2, at.y());
        }
    } else if (IsAllEvent(kind)) {
        NoticeWindow *single = Notice(kind == NoticeKind::AllLogin ? NoticeKind::Login : NoticeKind::Logout);
        const QScreen *screen = notice->screen() ? notice->screen() : QGuiApplication::primaryScreen();
        if (single && !single->BarLayout() && screen
            && IsCentredOnScreen(single->x(), single->y(), single->width(), single->height(),
                                 screen->geometry().width(), screen->geometry().height())) {
            single->move(single->x(), single->y() - notice->height() / 2);
            notice->move(notice->x(), single->y() + single->height());
        }
    }
}

void NoticeTable::CloseAll()
{
    for (auto &slot : slots_)
        if (slot)
            slot->close();
}
