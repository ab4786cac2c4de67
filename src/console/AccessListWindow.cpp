#include "console/AccessListWindow.h"

#include "config/SettingValues.h"
#include "config/Settings.h"
#include "console/ConsoleImages.h"
#include "console/MainWindow.h"
#include "console/TreeListView.h"
#include "events/windows/MessageDialog.h"
#include "platform/Platform.h"
#include "service/StartupRules.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

AccessListWindow *accessListWindow = nullptr;

namespace {

// The bottom panel and its buttons as designed for a window of DesignWidth.
constexpr int PanelHeight = 33;
constexpr int ButtonTop = 4;
constexpr int ButtonHeight = 25;
constexpr int GoMainLeft = 4;
constexpr int GoMainWidth = 96;
constexpr int MsgWidth = 96;
constexpr int CloseWidth = 80;
constexpr int DesignCloseLeft = AccessListWindow::DesignWidth - 4 - CloseWidth;
constexpr int DesignMsgLeft = DesignCloseLeft - 6 - MsgWidth;

constexpr int FallbackColumnWidth = 60;

}  // namespace

AccessListWindow::AccessListWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("fmSession"));
    setProperty("helpContext", HelpContext);

    tlvSess = new TreeListView;
    tlvSess->setObjectName(QStringLiteral("tlvSess"));
    tlvSess->SetColumns({tr("端末"), tr("ﾕｰｻﾞｰ名"), tr("接続時間"),
                         tr("ｱｸｾｽ時間"), tr("ﾒｯｾｰｼﾞ")});
    tlvSess->header()->setSectionsMovable(false);
    tlvSess->setContextMenuPolicy(Qt::CustomContextMenu);
    // The window is made after the settings are read, so the pictures can
    // be those of the operator's icon choice.
    if (!SharedImages().IsLoaded())
        SharedImages().Load(Settings.Krovan.IconImageType, Settings.Krovan.OffIconImageType, Settings.Config.SmallIcon);
    tlvSess->SetImages(SharedImages().Access());

    pnlBottom = new QWidget;
    pnlBottom->setObjectName(QStringLiteral("pnlBottom"));
    pnlBottom->setFixedHeight(PanelHeight);
    pbGoMain = new QPushButton(tr("監視ﾘｽﾄ(&S)"), pnlBottom);
    pbGoMain->setObjectName(QStringLiteral("pbGoMain"));
    pbGoMain->setGeometry(GoMainLeft, ButtonTop, GoMainWidth, ButtonHeight);
    pbMsg = new QPushButton(tr("&Message..."), pnlBottom);
    pbMsg->setObjectName(QStringLiteral("pbMsg"));
    pbMsg->setGeometry(DesignMsgLeft, ButtonTop, MsgWidth, ButtonHeight);
    pbMsg->setEnabled(false);
    pbClose = new QPushButton(tr("閉じる(&C)"), pnlBottom);
    pbClose->setObjectName(QStringLiteral("pbClose"));
    pbClose->setGeometry(DesignCloseLeft, ButtonTop, CloseWidth, ButtonHeight);

    auto *client = new QWidget;
    auto *layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tlvSess);
    layout->addWidget(pnlBottom);
    setCentralWidget(client);

    pmAccess = new QMenu(this);
    pmAccess->setObjectName(QStringLiteral("pmAccess"));
    mnMsg = pmAccess->addAction(tr("メッセージ送信(&M)..."));
    mnMsg->setObjectName(QStringLiteral("mnMsg"));
    mnMsg->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    pmAccess->addSeparator();
    mnClose = pmAccess->addAction(tr("閉じる(&C)"));
    mnClose->setObjectName(QStringLiteral("mnClose"));
    mnClose->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    // The shortcuts work without opening the menu.
    addAction(mnMsg);
    addAction(mnClose);

    connect(pbGoMain, &QPushButton::clicked, this, &AccessListWindow::pbGoMainClick);
    connect(pbMsg, &QPushButton::clicked, this, &AccessListWindow::pbMsgClick);
    connect(pbClose, &QPushButton::clicked, this, &QWidget::close);
    connect(mnMsg, &QAction::triggered, this, &AccessListWindow::pbMsgClick);
    connect(mnClose, &QAction::triggered, this, &QWidget::close);
    connect(tlvSess, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { pmAccess->popup(tlvSess->viewport()->mapToGlobal(pos)); });
    // Any change of the selection (a click, the keys, a refill that selects
    // by index) may move it between a terminal and a share or file.
    connect(tlvSess->selectionModel(), &QItemSelectionModel::selectionChanged, this, &AccessListWindow::UpdateMsgButton);

    designMsgLeft_ = DesignMsgLeft;
    designCloseLeft_ = DesignCloseLeft;
    setMinimumSize(DesignWidth, DesignHeight);
    resize(DesignWidth, DesignHeight);
    move(DesignLeft, DesignTop);

    RestoreColumns();
    PlaceWindow();
    LayoutButtons();
    setWindowTitle(tr("Access List"));
}

void AccessListWindow::PlaceWindow()
{
    // Never opened here before (no number stored for its size or place): as
    // wide as its columns and tall enough for some rows, centred on the main
    // window, or on the screen when there is none.
    const auto stored = [](const QString &pair) {
        const QStringList items = pair.split(u',');
        return std::any_of(items.begin(), items.end(), [](const QString &item) {
            bool number = false;
            item.trimmed().toInt(&number);
            return number;
        });
    };
    if (!stored(Settings.AccWnd.Size) && !stored(Settings.AccWnd.Pos)) {
        int columns = 0;
        for (int column = 0; column < ColumnCount; ++column)
            columns += tlvSess->header()->sectionSize(column);
        const QSize size(qMax(int(DesignWidth), columns + 2 * tlvSess->frameWidth() + 24), qMax(int(DesignHeight), 300));
        const QScreen *screen = QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), size);
        const QPoint centre = mainWindow && mainWindow->isVisible() ? mainWindow->frameGeometry().center() : area.center();
        QRect placed(QPoint(0, 0), size.boundedTo(area.size()));
        placed.moveCenter(centre);
        placed.moveLeft(qBound(area.left(), placed.left(), qMax(area.left(), area.right() + 1 - placed.width())));
        placed.moveTop(qBound(area.top(), placed.top(), qMax(area.top(), area.bottom() + 1 - placed.height())));
        resize(placed.size());
        move(placed.topLeft());
        return;
    }
    const auto [width, height] = ReadIntegerPair(Settings.AccWnd.Size, DesignWidth, DesignHeight);
    auto [top, left] = ReadIntegerPair(Settings.AccWnd.Pos, DesignTop, DesignLeft);
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->geometry().size() : QSize(width, height);
    top = CorrectWindowOrigin(top, height, screenSize.height());
    left = CorrectWindowOrigin(left, width, screenSize.width());
    resize(width, height);
    move(left, top);
}

void AccessListWindow::RestoreColumns()
{
    const QList<qint32> widths = ReadColumnWidths(Settings.AccWnd.ColWidth, ColumnCount, FallbackColumnWidth);
    // A shown column opens at least as wide as its caption (the stored widths
    // were made for the shorter Japanese ones); a hidden one stays hidden.
    for (int column = 0; column < ColumnCount && column < widths.size(); ++column) {
        const int width = widths[column] > 0 ? qMax(widths[column], tlvSess->header()->sectionSizeHint(column)) : 0;
        tlvSess->header()->resizeSection(column, width);
    }
}

void AccessListWindow::KeepWindowSettings()
{
    Settings.AccWnd.Size = JoinIntegerList({width(), height()});
    Settings.AccWnd.Pos = JoinIntegerList({y(), x()});
    QList<qint32> widths;
    for (int column = 0; column < ColumnCount; ++column)
        widths << tlvSess->header()->sectionSize(column);
    Settings.AccWnd.ColWidth = JoinIntegerList(widths);
    MarkSettingsChanged();
}

void AccessListWindow::LayoutButtons()
{
    pbMsg->move(width() + (designMsgLeft_ - DesignWidth), ButtonTop);
    pbClose->move(width() + (designCloseLeft_ - DesignWidth), ButtonTop);
}

void AccessListWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    LayoutButtons();
}

void AccessListWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        UpdateMsgButton();
    } else if (event->type() == QEvent::WindowStateChange && isMinimized()
               && (Settings.Krovan.ScreenMode & StayMode::TaskbarBit) == 0) {
        // Without a taskbar button the minimised window goes out of sight;
        // ShowAccessList or the notice's button brings it back. Hidden from
        // the event loop, not inside the state change.
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                hide();
        });
    }
}

void AccessListWindow::closeEvent(QCloseEvent *event)
{
    KeepWindowSettings();
    // Closing only hides: the window lives for the whole run.
    event->accept();
}

void AccessListWindow::ShowAccessList(bool automatic)
{
    openedAutomatically_ = automatic;
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void AccessListWindow::UpdateMsgButton()
{
    const int index = SelectedIndex();
    pbMsg->setEnabled(index >= 0 && tlvSess->GetLevel(index) == 0);
}

void AccessListWindow::pbMsgClick()
{
    const int index = SelectedIndex();
    if (index < 0 || !Sender)
        return;
    // An empty caption is no terminal; the dialog leaves it alone.
    MessageDialog::SendToTerminal(*Sender, this, tlvSess->Caption(index));
}

void AccessListWindow::pbGoMainClick()
{
    if (ShowMain) {
        ShowMain();
    } else if (mainWindow) {
        mainWindow->setWindowState(mainWindow->windowState() & ~Qt::WindowMinimized);
        mainWindow->show();
        mainWindow->raise();
        mainWindow->activateWindow();
    }
}

void AccessListWindow::ShowScanFailure(const QString &why)
{
    if (why.isEmpty() && !findChild<QStatusBar *>(QString(), Qt::FindDirectChildrenOnly))
        return;
    statusBar()->showMessage(why);
    statusBar()->setVisible(!why.isEmpty());
}

int AccessListWindow::SelectedIndex() const
{
    return tlvSess->SelectedIndex();
}

void AccessListWindow::SelectRow(int index)
{
    tlvSess->SetSelectedIndex(index);
    UpdateMsgButton();
}

void AccessListWindow::SetRows(const AccessRowList &rows, int select)
{
    rows_ = rows;
    FillTree();
    SelectRow(select);
}

void AccessListWindow::AddSessionRows(const AccessSession &session)
{
    const int selected = SelectedIndex();
    ::AddSessionRows(rows_, session, PlatformFamily);
    FillTree();
    SelectRow(selected);
}

void AccessListWindow::FillTree()
{
    tlvSess->setUpdatesEnabled(false);
    tlvSess->Clear();
    // Pictures of the moment: the settings dialog may have changed them.
    tlvSess->SetImages(SharedImages().Access());
    for (const AccessRow &row : rows_) {
        TreeListView::Item *item = tlvSess->Add(row.Level);
        tlvSess->SetCaption(item, row.Caption);
        tlvSess->SetImageIndex(item, row.Image);
        tlvSess->SetSubItems(item, row.Columns.mid(0, ColumnCount - 1));
    }
    tlvSess->setUpdatesEnabled(true);
}
