#include "events/windows/MessageBar.h"

#include "config/SettingValues.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

MessageBar *MessageBar::running_ = nullptr;

int MsgBarStep(int screenWidth, int speed)
{
    int step = int(double(screenWidth) / 1024.0 * 2.0 + 0.5);
    if (speed == BarSpeed::Slow)
        step -= 1;
    else if (speed == BarSpeed::Fast)
        step += 2;
    return step < 1 ? 1 : step;
}

QString ComposeBarText(NoticeKind kind, const QString &text, const QStringList &names)
{
    const QString joined = names.join(QCoreApplication::translate("MessageBar", "、"));
    return (IsAllEvent(kind) ? QCoreApplication::translate("MessageBar", "%1「%2」しました。　")
                             : QCoreApplication::translate("MessageBar", "%1「%2」　"))
        .arg(text, joined);
}

namespace {

int screenWidthOf(const QWidget *w)
{
    const QScreen *screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 1024;
}

} // namespace

MessageBar::MessageBar(QWidget *host, NoticeKind hostKind, int speed, Draw draw)
    : host_(host), hostKind_(hostKind), draw_(std::move(draw)), step_(MsgBarStep(screenWidthOf(host), speed)),
      top_(host->font().pointSize() / 2)
{
}

MessageBar::~MessageBar()
{
    stop_ = true;
    wait();
    if (running_ == this)
        running_ = nullptr;
}

void MessageBar::Begin()
{
    running_ = this;
    start(QThread::LowPriority);
}

void MessageBar::AddKind(NoticeKind kind, const QString &text, int seconds, const QStringList &names)
{
    QMutexLocker locker(&lock_);
    slots_[Index(kind)] = {text, names, seconds};
}

void MessageBar::RemoveNames(NoticeKind kind, const QStringList &names)
{
    QMutexLocker locker(&lock_);
    Slot &slot = slots_[Index(kind)];
    if (IsAllEvent(kind)) {
        slot.names.clear();
        return;
    }
    for (const QString &name : names)
        slot.names.removeOne(name);
}

QString MessageBar::NextText(bool advance)
{
    QMutexLocker locker(&lock_);
    if (advance)
        current_ = (current_ + 1) % NoticeKindCount;
    for (int tried = 0; tried < NoticeKindCount; ++tried) {
        const Slot &slot = slots_[current_];
        if (!slot.names.isEmpty())
            return ComposeBarText(NoticeKinds[current_], slot.text, slot.names);
        current_ = (current_ + 1) % NoticeKindCount;
    }
    return {};
}

QStringList MessageBar::Names(NoticeKind kind) const
{
    QMutexLocker locker(&lock_);
    return slots_[Index(kind)].names;
}

void MessageBar::run()
{
    {
        QMutexLocker locker(&lock_);
        current_ = 0;
    }
    QString text = NextText(false);
    QElapsedTimer clock;
    clock.start();
    while (!text.isEmpty()) {
        int position = 0;
        int width = 0;
        QMetaObject::invokeMethod(host_, [&] {
            position = screenWidthOf(host_);
            width = QFontMetrics(host_->font()).horizontalAdvance(text);
        }, Qt::BlockingQueuedConnection);
        qint64 lastInterval = clock.elapsed() / interval_;
        while (position + width > 0 && !stop_) {
            const int interval = interval_;
            const qint64 elapsed = clock.elapsed();
            if (elapsed / interval == lastInterval) {
                QThread::msleep(ulong(interval - elapsed % interval));
                continue;
            }
            lastInterval = elapsed / interval;
            position -= step_;
            QMetaObject::invokeMethod(host_, [&, x = position] { draw_(x, top_, text); },
                                      Qt::BlockingQueuedConnection);
        }
        if (stop_)
            return;
        {
            // A kind given seconds is shown once; one with 0 seconds keeps
            // scrolling until the bar ends.
            QMutexLocker locker(&lock_);
            if (slots_[current_].seconds > 0)
                slots_[current_].names.clear();
        }
        text = NextText(true);
    }
}
