#include "console/HelpKeyFilter.h"

#include "console/HelpPages.h"
#include "process/ProcessFlags.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QWidget>

HelpKeyFilter::HelpKeyFilter(Opener opener, QObject *parent) : QObject(parent), opener_(std::move(opener))
{
    qApp->installEventFilter(this);
}

bool HelpKeyFilter::Open(int context) const
{
    const QString dir = FindHelpDir(HelpDirCandidates());
    return !dir.isEmpty() && opener_ && opener_(HelpUrl(dir, context));
}

bool HelpKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier || key->isAutoRepeat())
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    if (!Open(HelpContextOf(widget)))
        QMessageBox::warning(widget->window(), AppTitle, tr("起動できません！"));
    return true;
}
