#include "events/windows/NoticeWindow.h"

#include "events/windows/MessageBar.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr int WindowWidth = 300;
constexpr int ListLayoutHeight = 274;
constexpr int AllLayoutHeight = 162;
constexpr int HelpContext = 90;

QString cutAtTab(const QString &line)
{
    const qsizetype tab = line.indexOf(u'\t');
    return tab < 0 ? line : line.left(tab);
}

QFont sizedFont(const QFont &base, int pixels, bool bold)
{
    QFont f = base;
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

const QScreen *screenOf(const QWidget *w)
{
    return w->screen() ? w->screen() : QGuiApplication::primaryScreen();
}

// Keeps a window off the task bar and the pager of an X11 desktop, which Qt
// has no flag for. The window manager reads the hint when the window is
// mapped and drops it when the window is withdrawn, so it is set before every
// map.
void keepOffTaskBar(QWidget *w)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *c = x11 ? x11->connection() : nullptr;
    if (!c)
        return;
    const char *const names[] = {"_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"};
    xcb_intern_atom_cookie_t cookies[3];
    for (int i = 0; i < 3; ++i)
        cookies[i] = xcb_intern_atom(c, 0, uint16_t(std::strlen(names[i])), names[i]);
    xcb_atom_t atoms[3] = {};
    for (int i = 0; i < 3; ++i) {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(c, cookies[i], nullptr), &std::free);
        atoms[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    if (!atoms[0] || !atoms[1] || !atoms[2])
        return;
    const auto window = xcb_window_t(w->winId());
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> state(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, atoms[0], XCB_ATOM_ATOM, 0, 64), nullptr),
        &std::free);
    if (!state)
        return;
    const auto *held = static_cast<const xcb_atom_t *>(xcb_get_property_value(state.get()));
    const int count = state->format == 32 ? xcb_get_property_value_length(state.get()) / 4 : 0;
    if (std::find(held, held + count, atoms[1]) == held + count)
        xcb_change_property(c, XCB_PROP_MODE_APPEND, window, atoms[0], XCB_ATOM_ATOM, 32, 2, atoms + 1);
}

} // namespace

QString RemainingText(int seconds)
{
    return QCoreApplication::translate("NoticeWindow", "後%n秒", nullptr, seconds);
}

NoticeWindow::NoticeWindow(QWidget *owner, NoticeKind kind, int level, int seconds, const QString &text,
                     const QStringList *list, int messageSpeed)
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::MSWindowsFixedSizeDialogHint),
      kind_(kind), level_(level), secondsLeft_(qint16(seconds))
{
    // A window of the desktop, not of the owner: window managers hide the
    // windows that belong to a minimised window, and the main window usually
    // is minimised. The owner still frees it.
    if (owner)
        connect(owner, &QObject::destroyed, this, [this] { delete this; });
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Watch Report"));
    setProperty("helpContext", HelpContext);
    QFont form = font();
    form.setPointSize(9);
    setFont(form);
    buildControls();

    // The caption comes in Japanese, as the engine passes it on.
    const QString shown = QCoreApplication::translate("Notice", text.toUtf8().constData());
    if (IsAllEvent(kind_)) {
        lblMsg->setText(lblCaption1->text());
        lbMember->addItem(shown);
    } else {
        if (list)
            for (const QString &line : *list)
                lbMember->addItem(cutAtTab(line));
        lblMsg->setText(shown);
    }
    Reconcile();

    if (BarLayout())
        layOutBar(messageSpeed);
    else
        layOutWindow();
}

NoticeWindow::~NoticeWindow()
{
    // Freed with its owner, without a close: the bar must not draw on it.
    stopHostedBar();
}

void NoticeWindow::buildControls()
{
    lblCaption = new QLabel(tr("報告！"), this);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    lblCaption->setFont(sizedFont(font(), 27, true));
    lblCaption->setGeometry(12, 8, 180, 36);

    lblRem = new QLabel(this);
    lblRem->setObjectName(QStringLiteral("lblRem"));
    lblRem->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Right-aligned against the edge; grows leftwards when the longest
    // countdown needs more room than the designed 88 pixels.
    const int remWidth = std::max(88, lblRem->fontMetrics().horizontalAdvance(RemainingText(9999)) + 2);
    lblRem->setGeometry(WindowWidth - 12 - remWidth, 12, remWidth, 20);

    lbMember = new QListWidget(this);
    lbMember->setObjectName(QStringLiteral("lbMember"));
    lbMember->setGeometry(12, 50, WindowWidth - 24, 160);

    lblCaption1 = new QLabel(tr("すべての監視端末が"), this);
    lblCaption1->setObjectName(QStringLiteral("lblCaption1"));
    lblCaption1->setGeometry(12, 10, WindowWidth - 24, 20);

    lblCaption2 = new QLabel(this);
    lblCaption2->setObjectName(QStringLiteral("lblCaption2"));
    lblCaption2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    lblCaption2->setAlignment(Qt::AlignCenter);
    lblCaption2->setFont(sizedFont(font(), 24, true));
    lblCaption2->setGeometry(12, 34, WindowWidth - 24, 44);

    lblCaption3 = new QLabel(tr("しました。"), this);
    lblCaption3->setObjectName(QStringLiteral("lblCaption3"));
    lblCaption3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblCaption3->setGeometry(12, 84, WindowWidth - 24, 20);

    lblMsg = new QLabel(this);
    lblMsg->setObjectName(QStringLiteral("lblMsg"));
    lblMsg->setFont(sizedFont(font(), 16, false));

    pbOpenSess = new QPushButton(tr("アクセスしています(&A)"), this);
    pbOpenSess->setObjectName(QStringLiteral("pbOpenSess"));
    pbOpenSess->hide();
    connect(pbOpenSess, &QPushButton::clicked, this, [this] {
        if (openSession_)
            openSession_();
    });

    pbOk = new QPushButton(QStringLiteral("&OK"), this);
    pbOk->setObjectName(QStringLiteral("pbOk"));
    pbOk->setDefault(true);
    connect(pbOk, &QPushButton::clicked, this, &QWidget::close);

    pnOK = new QFrame(this);
    pnOK->setObjectName(QStringLiteral("pnOK"));
    pbOk2 = new QPushButton(QStringLiteral("OK"), pnOK);
    pbOk2->setObjectName(QStringLiteral("pbOk2"));
    connect(pbOk2, &QPushButton::clicked, this, &QWidget::close);

    tmReport = new QTimer(this);
    tmReport->setObjectName(QStringLiteral("tmReport"));
    tmReport->setInterval(1000);
    connect(tmReport, &QTimer::timeout, this, &NoticeWindow::tmReportTimer);
}

void NoticeWindow::layOutWindow()
{
    const bool all = IsAllEvent(kind_);
    const int height = all ? AllLayoutHeight : ListLayoutHeight;
    setFixedSize(WindowWidth, height);
    const int bottom = height - 40;
    lblMsg->setGeometry(12, bottom + 4, 180, 22);
    pbOpenSess->setGeometry(12, bottom, 180, 28);
    pbOk->setGeometry(WindowWidth - 92, bottom, 80, 28);
    pnOK->hide();
    lblCaption1->setVisible(all);
    lblCaption2->setVisible(all);
    lblCaption3->setVisible(all);
    lblCaption->setVisible(!all);
    lbMember->setVisible(!all);
    if (all) {
        lblCaption2->setText(lbMember->count() ? lbMember->item(0)->text() : QString());
        lblMsg->hide();
        pbOpenSess->hide();
    }
    pbOk->show();
    lblRem->show();
    if (secondsLeft_ < 1) {
        lblRem->clear();
    } else {
        lblRem->setText(RemainingText(secondsLeft_));
        tmReport->start();
    }
    if (const QScreen *screen = screenOf(this)) {
        const QRect s = screen->geometry();
        move(s.width() / 2 - width() / 2, s.height() / 2 - height / 2);
    }
}

void NoticeWindow::layOutBar(int messageSpeed)
{
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    const int height = 2 * font().pointSize();
    if (const QScreen *screen = screenOf(this)) {
        const QRect area = screen->availableGeometry();
        setGeometry(area.left(), area.bottom() + 1 - height, area.width(), height);
    }
    for (QWidget *w : {static_cast<QWidget *>(lblCaption), static_cast<QWidget *>(lbMember),
                       static_cast<QWidget *>(pbOpenSess), static_cast<QWidget *>(pbOk),
                       static_cast<QWidget *>(lblRem), static_cast<QWidget *>(lblMsg),
                       static_cast<QWidget *>(lblCaption1), static_cast<QWidget *>(lblCaption2),
                       static_cast<QWidget *>(lblCaption3)})
        w->hide();
    pnOK->setGeometry(width() - 40, 0, 40, height);
    pbOk2->setGeometry(0, 0, 40, height);
    pnOK->show();
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);

    if (MessageBar *bar = MessageBar::Running()) {
        bar->AddKind(kind_, lblMsg->text(), secondsLeft_, Members());
        // The names live on in the running bar; this notice has nothing left
        // to show.
        if (bar->HostKind() != kind_)
            postClose();
        return;
    }
    auto *bar = new MessageBar(this, kind_, messageSpeed,
                               [this](int x, int y, const QString &text) { DrawBarText(x, y, text); });
    bar->AddKind(kind_, lblMsg->text(), secondsLeft_, Members());
    connect(bar, &QThread::finished, this, [this, bar] { barEnded(bar); });
    bar->Begin();
}

QStringList NoticeWindow::Members() const
{
    QStringList rows;
    for (int i = 0; i < lbMember->count(); ++i)
        rows << lbMember->item(i)->text();
    return rows;
}

void NoticeWindow::ShowNotice()
{
    show();
    if (!BarLayout())
        raise();
}

void NoticeWindow::showEvent(QShowEvent *event)
{
    // A notice has no task-bar button of its own.
    keepOffTaskBar(this);
    QWidget::showEvent(event);
    // The bar must never keep the keyboard; the window system may still be
    // activating it when this runs, so the hand-back is posted.
    if (BarLayout() && focusWindow_)
        QTimer::singleShot(0, focusWindow_.data(), [w = focusWindow_] {
            if (w)
                w->activateWindow();
        });
}

void NoticeWindow::AddLines(const QStringList &list, int seconds)
{
    lbMember->addItems(list);
    for (int i = 0; i < lbMember->count(); ++i)
        lbMember->item(i)->setText(cutAtTab(lbMember->item(i)->text()));
    MessageBar *bar = MessageBar::Running();
    if (BarLayout() && bar)
        bar->AddKind(kind_, lblMsg->text(), seconds, list);
    Reconcile();
    emit LinesAdded();
}

void NoticeWindow::RemoveNames(const QStringList &names)
{
    for (const QString &name : names) {
        const QList<QListWidgetItem *> found = lbMember->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (!found.isEmpty())
            delete found.first();
    }
    if (BarLayout() || lbMember->count() != 0)
        return;
    // Names of the same pass may still come in before this runs.
    QMetaObject::invokeMethod(this, [this] {
        if (lbMember->count() == 0)
            close();
    }, Qt::QueuedConnection);
}

void NoticeWindow::Reconcile()
{
    // Which bar slots show the states this kind's names have just left.
    using enum NoticeKind;
    static const QList<NoticeKind> barSlotsOf[3] = {
        {Logout, AllLogout, Error}, {Login, AllLogin, Error}, {Login, AllLogin, Logout, AllLogout}};
    MessageBar *bar = MessageBar::Running();
    if ((kind_ != Login && kind_ != Logout && kind_ != Error) || !BarLayout() || !bar)
        return;
    const QStringList names = Members();
    for (NoticeKind slot : barSlotsOf[Index(kind_)])
        bar->RemoveNames(slot, names);
}

void NoticeWindow::ShowOpenSessionButton()
{
    if (!BarLayout() && !IsAllEvent(kind_))
        pbOpenSess->show();
}

void NoticeWindow::tmReportTimer()
{
    --secondsLeft_;
    lblRem->setText(RemainingText(secondsLeft_));
    if (secondsLeft_ <= 0) {
        tmReport->stop();
        close();
    }
}

void NoticeWindow::DrawBarText(int x, int y, const QString &text)
{
    barX_ = x;
    barY_ = y;
    barText_ = text;
    update();
}

void NoticeWindow::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    if (!BarLayout() || barText_.isEmpty())
        return;
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    p.setPen(palette().color(QPalette::Text));
    p.drawText(barX_, barY_ + fontMetrics().ascent(), barText_);
}

void NoticeWindow::postClose()
{
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void NoticeWindow::stopHostedBar()
{
    MessageBar *bar = MessageBar::Running();
    if (!bar || bar->Host() != this)
        return;
    closingByItself_ = true;
    bar->Stop();
    // The bar may be waiting for this thread to draw: keep serving it. (Its
    // end handler may run in here and free it.)
    QPointer<MessageBar> running(bar);
    while (running && !running->wait(QDeadlineTimer(10)))
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    delete running.data();
}

void NoticeWindow::closeEvent(QCloseEvent *event)
{
    stopHostedBar();
    tmReport->stop();
    emit Closing();
    event->accept();
}

void NoticeWindow::barEnded(MessageBar *bar)
{
    if (MessageBar::Running() != bar)
        return;
    delete bar;
    if (!closingByItself_)
        close();
}
