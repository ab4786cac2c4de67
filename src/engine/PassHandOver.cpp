#include "engine/PassHandOver.h"

#include "engine/WatchListModel.h"

#include <QDateTime>
#include <QMetaObject>

#include <algorithm>
#include <iterator>

PassHandOver::PassHandOver(WatchListModel *model, StatusBarFn statusBar, LinesFn publishLines)
    : model_(model), statusBar_(std::move(statusBar)), publishLines_(std::move(publishLines))
{
}

void PassHandOver::Hand(QList<Change> &&changes, QStringList errors, QStringList logins, QStringList loginWays,
                        QStringList logouts)
{
    bool post = false;
    {
        const std::lock_guard lock(mutex_);
        // Moved one by one into blocks of their own: a console that is
        // behind never has the whole pass copied into a buffer grown twice.
        std::move(changes.begin(), changes.end(), std::back_inserter(handed_));
        changes.clear();
        handedErrors_ += errors;
        handedLogins_ += logins;
        handedLoginWays_ += loginWays;
        handedLogouts_ += logouts;
        post = !std::exchange(applyPosted_, true);
    }
    // The event holds this object, not the worker: it may arrive after the
    // worker has gone.
    if (post)
        QMetaObject::invokeMethod(model_, [self = shared_from_this()] { self->Apply(); }, Qt::QueuedConnection);
}

void PassHandOver::TakeHandedOver()
{
    const std::lock_guard lock(mutex_);
    if (sweep_.empty())
        sweep_.swap(handed_);
    else
        std::move(handed_.begin(), handed_.end(), std::back_inserter(sweep_));
    handed_.clear();
    errors_ += std::exchange(handedErrors_, {});
    logins_ += std::exchange(handedLogins_, {});
    loginWays_ += std::exchange(handedLoginWays_, {});
    logouts_ += std::exchange(handedLogouts_, {});
    applyPosted_ = false;
}

void PassHandOver::Apply()
{
    if (detached_)
        return;
    TakeHandedOver();
    WatchListModel &model = *model_;
    while (!sweep_.empty()) {
        const Change c = std::move(sweep_.front());
        sweep_.pop_front();
        switch (c.kind) {
        case Change::StatusBar:
            if (statusBar_)
                statusBar_(c.text);
            break;
        case Change::Text:
            // A row that is gone takes no change (model writes to row -1 do
            // nothing).
            model.setText(model.rowOfId(c.rowId, c.row), c.column, c.text);
            break;
        case Change::FillMAC: {
            const int row = model.rowOfId(c.rowId, c.row);
            if (model.text(row, WatchListModel::ColMAC).isEmpty())
                model.setText(row, WatchListModel::ColMAC, c.text);
            break;
        }
        case Change::Publish: {
            const int row = model.rowOfId(c.rowId, c.row);
            model.setImageIndex(row, c.image);
            model.setText(row, WatchListModel::ColStatus, c.text);
            const bool changed = DataWordState(model.dataWord(row)) != c.state;
            model.setDataWord(row, (model.dataWord(row) & ~0xFF00u) | quint32(c.state) << 8);
            model.setMisses(row, c.misses);
            if (model.isValidRow(row))
                model.setSeen(row, c.seenBy, changed ? QDateTime::currentMSecsSinceEpoch() : model.row(row).since);
            if (statusBar_)
                statusBar_(QString());
            break;
        }
        }
    }
    if (errors_.isEmpty() && logins_.isEmpty() && logouts_.isEmpty())
        return;
    const QStringList errors = std::exchange(errors_, {});
    const QStringList logins = std::exchange(logins_, {});
    const QStringList loginWays = std::exchange(loginWays_, {});
    const QStringList logouts = std::exchange(logouts_, {});
    if (publishLines_)
        publishLines_(errors, logins, loginWays, logouts);
}
