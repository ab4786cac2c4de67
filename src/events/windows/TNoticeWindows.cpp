#include "events/windows/TNoticeWindows.h"

#include "events/windows/TfmReport.h"

#include <QApplication>
#include <QScreen>

TNoticeWindows NoticeWindows;

bool IsCentredOnScreen(int left, int top, int width, int height, int screenWidth, int screenHeight)
{
    return left == screenWidth / 2 - width / 2 && top == screenHeight / 2 - height / 2;
}

TfmReport *TNoticeWindows::Notice(NoticeKind kind) const
{
    return slots_[Index(kind)].data();
}

void TNoticeWindows::Register(TfmReport *notice)
{
    const NoticeKind kind = notice->Kind();
    slots_[Index(kind)] = notice;
    emit OpenChanged(kind, true);
}

void TNoticeWindows::Unregister(TfmReport *notice)
{
    const NoticeKind kind = notice->Kind();
    if (slots_[Index(kind)] != notice)
        return;
    slots_[Index(kind)] = nullptr;
    emit OpenChanged(kind, false);
}

TfmReport *TNoticeWindows::Raise(QWidget *owner, NoticeKind kind, int level, int seconds, const QString &text,
                                 const QStringList *list, int messageSpeed, QWidget *focus)
{
    if (TfmReport *open = Notice(kind)) {
        if ((kind == NoticeKind::Login || kind == NoticeKind::Logout) && list)
            open->AddLines(*list, seconds);
        return open;
    }
    if (!focus)
        focus = QApplication::activeWindow();
    auto *notice = new TfmReport(owner, kind, level, seconds, text, list, messageSpeed);
    notice->SetFocusWindow(focus);
    return notice;
}

void TNoticeWindows::Show(NoticeKind kind)
{
    TfmReport *notice = Notice(kind);
    if (!notice)
        return;
    notice->ShowNotice();
    if (notice->BarLayout())
        return;
    if (kind == NoticeKind::Logout) {
        TfmReport *login = Notice(NoticeKind::Login);
        if (login && !login->BarLayout() && login->pos() == notice->pos()) {
            const QPoint at = notice->pos();
            login->move(at.x() - login->width() / 2, at.y());
            notice->move(at.x() + notice->width() / 2, at.y());
        }
    } else if (IsAllEvent(kind)) {
        TfmReport *single = Notice(kind == NoticeKind::AllLogin ? NoticeKind::Login : NoticeKind::Logout);
        const QScreen *screen = notice->screen() ? notice->screen() : QGuiApplication::primaryScreen();
        if (single && !single->BarLayout() && screen
            && IsCentredOnScreen(single->x(), single->y(), single->width(), single->height(),
                                 screen->geometry().width(), screen->geometry().height())) {
            single->move(single->x(), single->y() - notice->height() / 2);
            notice->move(notice->x(), single->y() + single->height());
        }
    }
}

void TNoticeWindows::CloseAll()
{
    for (auto &slot : slots_)
        if (slot)
            slot->close();
}
