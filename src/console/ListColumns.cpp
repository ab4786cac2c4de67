#include "console/ListColumns.h"

#include "config/Settings.h"
#include "console/WatchListView.h"
#include "engine/WatchEntry.h"
#include "service/StartupRules.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QStyle>
#include <QTreeView>

#include <algorithm>

ListColumns::ListColumns(WatchListView *list)
    : QObject(list), list_(list)
{
    // What the operator does to the columns is kept in the settings; a fit
    // keeps nothing.
    connect(list_->Header(), &QHeaderView::sectionResized, this, [this] {
        if (fitting_)
            return;
        fit_ = false;
        MarkSettingsChanged();
    });
    connect(list_->Header(), &QHeaderView::sectionMoved, this, [] { MarkSettingsChanged(); });
}

void ListColumns::Restore()
{
    QHeaderView *header = list_->Header();
    const QList<qint32> order = ReadColumnOrder(Settings.MainWnd.ColPosition, MainColumnCount);
    for (int position = 0; position < order.size(); ++position)
        header->moveSection(header->visualIndex(order[position]), position);

    const QList<qint32> widths = MainColumnWidths(Settings.MainWnd.ColWidth);
    fitting_ = true;
    for (int position = 0; position < widths.size() && position < header->count(); ++position) {
        const int column = header->logicalIndex(position);
        if (widths[position] == 0) {
            header->setSectionHidden(column, true);
        } else {
            header->setSectionHidden(column, false);
            header->resizeSection(column, widths[position]);
        }
    }
    fitting_ = false;
    fit_ = std::all_of(widths.begin(), widths.end(), [](qint32 w) { return w == 50 || w == 0; });
}

void ListColumns::FitDefaults()
{
    if (!fit_)
        return;
    QHeaderView *header = list_->Header();
    // A damaged list's texts can be thousands of pixels wide: a fitted
    // column never opens wider than half the screen.
    const QScreen *screen = list_->screen() ? list_->screen() : QGuiApplication::primaryScreen();
    const int widest = screen ? screen->availableGeometry().width() / 2 : 640;
    fitting_ = true;
    for (int column = 0; column < header->count(); ++column) {
        if (header->isSectionHidden(column))
            continue;
        list_->ReportView()->resizeColumnToContents(column);
        // A status changes with every pass: its column holds the widest
        // one, whatever the rows show now.
        if (column == WatchListModel::ColStatus)
            header->resizeSection(column, std::max(header->sectionSize(column), WidestStatus()));
        if (header->sectionSize(column) > widest)
            header->resizeSection(column, widest);
    }
    fitting_ = false;
}

int ListColumns::WidestStatus() const
{
    const QTreeView *view = list_->ReportView();
    const QFontMetrics metrics = view->fontMetrics();
    int width = 0;
    for (const QString &status : {StatusLoggedIn, StatusLoggedOut, StatusUnconfirmed, StatusResting, StatusWatchError})
        width = std::max(width, metrics.horizontalAdvance(
                                    QCoreApplication::translate("WatchList", status.toUtf8().constData())));
    // An item's text keeps the focus frame's margin and a pixel on each side.
    return width + 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
}

void ListColumns::RestoreOrder()
{
    QHeaderView *header = list_->Header();
    for (int column = 0; column < header->count(); ++column)
        header->moveSection(header->visualIndex(column), column);
}

QString ListColumns::WidthsText() const
{
    const QHeaderView *header = list_->Header();
    QList<qint32> widths;
    for (int position = 0; position < header->count(); ++position) {
        const int column = header->logicalIndex(position);
        widths << (header->isSectionHidden(column) ? 0 : header->sectionSize(column));
    }
    return JoinIntegerList(widths);
}

void ListColumns::Keep()
{
    const QHeaderView *header = list_->Header();
    QList<qint32> order;
    for (int position = 0; position < header->count(); ++position)
        order << header->logicalIndex(position);
    if (!fit_)
        Settings.MainWnd.ColWidth = WidthsText();
    Settings.MainWnd.ColPosition = JoinIntegerList(order);
}
