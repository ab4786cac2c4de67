#pragma once

// F1 anywhere in the application opens the help page of the window that has
// the keyboard: the nearest "helpContext" from the widget that received the
// key upwards (see HelpPages.h).

#include <QObject>
#include <QUrl>

#include <functional>

class QWidget;

class HelpKeyFilter : public QObject {
    Q_OBJECT

public:
    using Opener = std::function<bool(const QUrl &)>;

    // Watches the application's keys while it lives; opener shows a page.
    explicit HelpKeyFilter(Opener opener, QObject *parent = nullptr);

    // Opens the page of a context in the first help folder found; false
    // when there is no help or the opener failed.
    bool Open(int context) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Opener opener_;
};
