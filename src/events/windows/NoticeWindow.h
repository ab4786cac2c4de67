#pragma once

// A notice: a small stay-on-top window with the names an event concerns and
// a countdown (presentation level 0, and level 2 once shown from the
// notification menu), or the host of the message bar along the bottom of the
// screen (level 1). Notices free themselves when they close; the notice
// table (NoticeTable) opens them and knows the open one of each kind, and a
// notice tells it what changed by its signals.

#include "config/SettingValues.h"
#include "engine/EventKinds.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class QLabel;
class QListWidget;
class QPushButton;
class QTimer;
class QFrame;
class MessageBar;

class NoticeWindow : public QWidget {
    Q_OBJECT

public:
    // list is null for the all-events. The notice is created
    // hidden; the event code shows it or lets the icon alert instead. It is
    // a top-level window of its own; owner only frees it with itself.
    NoticeWindow(QWidget *owner, NoticeKind kind, int level, int seconds, const QString &text,
              const QStringList *list, int messageSpeed = 1);
    ~NoticeWindow() override;

    NoticeKind Kind() const { return kind_; }
    int Level() const { return level_; }
    qint16 SecondsLeft() const { return secondsLeft_; }
    bool ClosingByItself() const { return closingByItself_; }
    bool BarLayout() const { return level_ == NoticeLevel::Bar; }
    // The rows of the name list.
    QStringList Members() const;

    // The window that had the focus before the notice was made; a notice in
    // bar layout hands the focus back to it when shown.
    void SetFocusWindow(QWidget *w) { focusWindow_ = w; }
    QWidget *FocusWindow() const { return focusWindow_; }

    // Shows the notice (the event code, or the notification menu).
    void ShowNotice();
    // Appends an event's lines (user name, TAB, resource name) to the names;
    // the countdown goes on from where it is.
    void AddLines(const QStringList &list, int seconds);
    // Removes the first row equal to each name; a window notice left with no
    // names closes.
    void RemoveNames(const QStringList &names);
    // Removes this notice's names from the running bar's slots of the
    // opposite states (the notice table does the same for their notices).
    void Reconcile();

    // The access notice's button that opens the access list.
    void ShowOpenSessionButton();
    void SetOpenSessionAction(std::function<void()> open) { openSession_ = std::move(open); }

    // Bar layout: the text the bar thread scrolls, drawn at (x, y).
    void DrawBarText(int x, int y, const QString &text);
    QString BarText() const { return barText_; }
    int BarX() const { return barX_; }

    // One second of the countdown (the timer's handler).
    void tmReportTimer();

signals:
    // Lines were added to the names.
    void LinesAdded();
    // The notice is closing (it frees itself afterwards).
    void Closing();

protected:
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void layOutWindow();
    void layOutBar(int messageSpeed);
    void postClose();
    void stopHostedBar();
    void barEnded(MessageBar *bar);

    const NoticeKind kind_;
    const int level_;
    qint16 secondsLeft_;
    bool closingByItself_ = false;
    QPointer<QWidget> focusWindow_;
    std::function<void()> openSession_;
    QString barText_;
    int barX_ = 0;
    int barY_ = 0;

public:
    // The controls, by the object names the tests and stored settings use.
    QLabel *lblCaption = nullptr;
    QLabel *lblCaption1 = nullptr;
    QLabel *lblCaption2 = nullptr;
    QLabel *lblCaption3 = nullptr;
    QListWidget *lbMember = nullptr;
    QLabel *lblMsg = nullptr;
    QPushButton *pbOpenSess = nullptr;
    QLabel *lblRem = nullptr;
    QPushButton *pbOk = nullptr;
    QFrame *pnOK = nullptr;
    QPushButton *pbOk2 = nullptr;
    QTimer *tmReport = nullptr;
};

// The countdown text: 後7秒.
QString RemainingText(int seconds);
