#pragma once
// Answering the modal boxes and dialogs a command opens, for the window
// tests: each answer is given from the event loop the box runs.

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

// Answers every message box that opens while it lives, in turn with the
// given buttons (Ok, or Yes, once the list is used up) and keeps what each
// said.
class BoxAnswers {
public:
    explicit BoxAnswers(QList<QMessageBox::StandardButton> answers = {}) : answers_(std::move(answers))
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            Texts << box->text();
            Titles << box->windowTitle();
            Icons << box->icon();
            QMessageBox::StandardButton answer = QMessageBox::NoButton;
            if (!answers_.isEmpty())
                answer = answers_.takeFirst();
            QAbstractButton *button = answer != QMessageBox::NoButton ? box->button(answer) : nullptr;
            if (!button)
                button = box->button(QMessageBox::Ok);
            if (!button)
                button = box->button(QMessageBox::Yes);
            if (button)
                button->click();
        });
        timer_.start();
    }

    QStringList Texts, Titles;
    QList<QMessageBox::Icon> Icons;

private:
    QList<QMessageBox::StandardButton> answers_;
    QTimer timer_;
};

// Calls handle with each modal window of type T that opens while it lives
// (message boxes are left to BoxAnswers); handle closes it.
template <typename T>
class ModalAnswers {
public:
    explicit ModalAnswers(std::function<void(T *)> handle) : handle_(std::move(handle))
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto *w = qobject_cast<T *>(QApplication::activeModalWidget());
            if (!w || !w->isVisible() || busy_)
                return;
            busy_ = true;
            ++Count;
            handle_(w);
            busy_ = false;
        });
        timer_.start();
    }

    int Count = 0;

private:
    std::function<void(T *)> handle_;
    QTimer timer_;
    bool busy_ = false;
};
