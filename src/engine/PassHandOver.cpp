#include "engine/PassHandOver.h"

#include "engine/WatchListModel.h"

#include <QDateTime>
#include <QMetaObject>

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
        handed_.append(std::move(changes));
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
    sweep_.append(std::move(handed_));
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
    while (next_ < sweep_.size()) {
        const Change c = sweep_[next_++];
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
    sweep_.clear();
    next_ = 0;
    if (errors_.isEmpty() && logins_.isEmpty() && logouts_.isEmpty())
        return;
    const QStringList errors = std::exchange(errors_, {});
    const QStringList logins = std::exchange(logins_, {});
    const QStringList loginWays = std::exchange(loginWays_, {});
    const QStringList logouts = std::exchange(logouts_, {});
    if (publishLines_)
        publishLines_(errors, logins, loginWays, logouts);
}
