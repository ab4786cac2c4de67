#include "console/ListEditor.h"

#include "config/SettingValues.h"
#include "config/Settings.h"
#include "console/ConsoleImages.h"
#include "console/FileChooser.h"
#include "console/HelpPages.h"
#include "console/ListEditorRows.h"
#include "console/ListEditorRules.h"
#include "console/ListEditorTree.h"
#include "console/PropertiesDialog.h"
#include "console/WatchListView.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "platform/NetBrowser.h"
#include "process/ProcessFlags.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>

namespace {

ListEditor *current = nullptr;

constexpr int DesignWidth = 780;
constexpr int DesignHeight = 500;
constexpr int MinSplit = 272;

} // namespace

ListEditor::ListEditor(const WatchListModel &mainList, NetBrowser &net, EventActions *actions, QWidget *owner)
    : QDialog(owner, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint),
      List(new WatchListModel(this))
{
    current = this;
    setObjectName(QStringLiteral("fmEdit"));
    setWindowTitle(tr("Corvane List"));
    setProperty("helpContext", int(HelpEdit));
    setAcceptDrops(true);

    // Left: the network and the two action boxes.
    auto *left = new QWidget;
    lblNetWk = new QLabel(tr("監視可能端末(&N)"), left);
    tvNetWk = new QTreeWidget(left);
    tvNetWk->setObjectName(QStringLiteral("tvNetWk"));
    tvNetWk->setContextMenuPolicy(Qt::CustomContextMenu);
    tvNetWk->installEventFilter(this);
    lblNetWk->setBuddy(tvNetWk);
    sbNetWk = new QStatusBar(left);
    cbCommentPrior = new QCheckBox(tr("ｺﾒﾝﾄを先に表示(&C)"), left);
    cbCommentPrior->setObjectName(QStringLiteral("cbCommentPrior"));

    const auto actionBox = [left](const QString &caption, QLineEdit *&box, QPushButton *&test, QPushButton *&browse,
                                  QPushButton *&apply, QGridLayout *grid, int row) {
        auto *label = new QLabel(caption, left);
        box = new QLineEdit(left);
        label->setBuddy(box);
        test = new QPushButton(tr("ﾃｽﾄ"), left);
        browse = new QPushButton(tr("参照..."), left);
        apply = new QPushButton(tr("適用"), left);
        for (QPushButton *b : {test, browse, apply})
            b->setAutoDefault(false);
        grid->addWidget(label, row, 0, 1, 3);
        grid->addWidget(box, row + 1, 0, 1, 3);
        grid->addWidget(test, row + 2, 0);
        grid->addWidget(browse, row + 2, 1);
        grid->addWidget(apply, row + 2, 2);
    };
    auto *actionsGrid = new QGridLayout;
    actionBox(tr("ﾛｸﾞｲﾝAction"), edLoginFile, pbLoginTest, pbLoginBrowse, pbLoginApply, actionsGrid, 0);
    actionBox(tr("ﾛｸﾞｱｳﾄAction"), edLogoutFile, pbLogoutTest, pbLogoutBrowse, pbLogoutApply, actionsGrid,
              3);
    edLoginFile->setObjectName(QStringLiteral("edLoginFile"));
    edLogoutFile->setObjectName(QStringLiteral("edLogoutFile"));

    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(lblNetWk);
    leftLayout->addWidget(tvNetWk, 1);
    leftLayout->addWidget(sbNetWk);
    leftLayout->addWidget(cbCommentPrior);
    leftLayout->addLayout(actionsGrid);
    left->setMinimumWidth(MinSplit);

    // Right: the buttons between the two lists, the edited list, OK.
    auto *right = new QWidget;
    pbAdd = new QPushButton(tr("&>>"), right);
    pbDel = new QPushButton(tr("&<<"), right);
    pbSeparator = new QPushButton(tr("ｾﾊﾟﾚｰﾀ"), right);
    pbIP = new QPushButton(tr("I&P"), right);
    lblRes2 = new QLabel(tr("監視端末(&T)"), right);
    lvRes2 = new WatchListView(right);
    lvRes2->setObjectName(QStringLiteral("lvRes2"));
    lvRes2->SetModel(List);
    lvRes2->CanDrag = true;
    // The tree and the row operations work on these controls.
    tree_ = std::make_unique<ListEditorTree>(
        tvNetWk, sbNetWk, net, [this] { return cbCommentPrior->isChecked(); },
        [this](const QString &resourceName) { return rows_->IsWatched(resourceName); });
    tree_->SetTrayImage = [this](int image) {
        if (SetTrayImage)
            SetTrayImage(image);
    };
    rows_ = std::make_unique<ListEditorRows>(*List, lvRes2, *tree_, this, edLoginFile, edLogoutFile);
    rows_->Actions = actions;
    lblRes2->setBuddy(lvRes2);
    pbUser = new QPushButton(tr("ﾕｰｻﾞｰ名(&U)..."), right);
    pbOK = new QPushButton(tr("&OK"), right);
    pbCancel = new QPushButton(tr("&Cancel"), right);
    for (QPushButton *b : {pbAdd, pbDel, pbSeparator, pbIP, pbUser, pbOK, pbCancel})
        b->setAutoDefault(false);
    // One width for the buttons between the lists: the designed 64 pixels,
    // or more when a caption needs it (with room for the button's frame).
    int middleWidth = 64;
    for (QPushButton *b : {pbAdd, pbDel, pbSeparator, pbIP})
        middleWidth = std::max(middleWidth, b->fontMetrics().horizontalAdvance(b->text().remove(QLatin1Char('&'))) + 16);
    for (QPushButton *b : {pbAdd, pbDel, pbSeparator, pbIP})
        b->setFixedWidth(middleWidth);

    auto *middle = new QVBoxLayout;
    middle->addStretch();
    middle->addWidget(pbAdd);
    middle->addWidget(pbDel);
    middle->addSpacing(16);
    middle->addWidget(pbSeparator);
    middle->addWidget(pbIP);
    middle->addStretch();
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(pbUser);
    bottom->addStretch();
    bottom->addWidget(pbOK);
    bottom->addWidget(pbCancel);
    auto *listColumn = new QVBoxLayout;
    listColumn->addWidget(lblRes2);
    listColumn->addWidget(lvRes2, 1);
    listColumn->addLayout(bottom);
    auto *rightLayout = new QHBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addLayout(middle);
    rightLayout->addLayout(listColumn, 1);

    spMain = new QSplitter(Qt::Horizontal, this);
    spMain->setObjectName(QStringLiteral("spMain"));
    spMain->addWidget(left);
    spMain->addWidget(right);
    spMain->setChildrenCollapsible(false);
    spMain->setStretchFactor(1, 1);

    auto *menuBar = new QMenuBar(this);
    BuildMenus(menuBar);
    auto *layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addWidget(spMain);

    connect(pbAdd, &QPushButton::clicked, this, &ListEditor::pbAddClick);
    connect(pbDel, &QPushButton::clicked, this, &ListEditor::pbDelClick);
    connect(pbSeparator, &QPushButton::clicked, this, &ListEditor::pbSeparatorClick);
    connect(pbIP, &QPushButton::clicked, this, &ListEditor::pbIPClick);
    connect(pbUser, &QPushButton::clicked, this, &ListEditor::pbUserClick);
    connect(pbOK, &QPushButton::clicked, this, &ListEditor::pbOKClick);
    connect(pbCancel, &QPushButton::clicked, this, &ListEditor::pbCancelClick);
    connect(pbLoginApply, &QPushButton::clicked, this, &ListEditor::pbLoginApplyClick);
    connect(pbLogoutApply, &QPushButton::clicked, this, &ListEditor::pbLogoutApplyClick);
    connect(pbLoginTest, &QPushButton::clicked, this, &ListEditor::pbLoginTestClick);
    connect(pbLogoutTest, &QPushButton::clicked, this, &ListEditor::pbLogoutTestClick);
    connect(pbLoginBrowse, &QPushButton::clicked, this, [this] { BrowseAction(edLoginFile); });
    connect(pbLogoutBrowse, &QPushButton::clicked, this, [this] { BrowseAction(edLogoutFile); });
    connect(tvNetWk, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *node) { NodeActivated(node); });
    connect(tvNetWk, &QTreeWidget::currentItemChanged, this, &ListEditor::UpdateCommands);
    connect(tvNetWk, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        if (QTreeWidgetItem *node = tvNetWk->itemAt(pos))
            tvNetWk->setCurrentItem(node);
        pmNetWk->popup(tvNetWk->viewport()->mapToGlobal(pos));
    });
    connect(cbCommentPrior, &QCheckBox::toggled, this, [this] { tree_->Reset(); });
    connect(lvRes2, &WatchListView::SelectionChanged, this, &ListEditor::UpdateCommands);
    connect(lvRes2, &WatchListView::DoubleClicked, this, [this](int) { pbUserClick(); });
    for (QWidget *view : {static_cast<QWidget *>(lvRes2->IconView()), static_cast<QWidget *>(lvRes2->ReportView())})
        if (view)
            view->installEventFilter(this);

    // Opening.
    PlaceWindow();
    cbCommentPrior->blockSignals(true);
    cbCommentPrior->setChecked(Settings.EditWnd.CommentPrior);
    cbCommentPrior->blockSignals(false);
    edLoginFile->setText(Settings.EditWnd.LoginFile);
    edLogoutFile->setText(Settings.EditWnd.LogoutFile);
    edLoginFile->setCursorPosition(0);
    edLogoutFile->setCursorPosition(0);
    lvRes2->SetSmallImages(SharedImages().Small());
    lvRes2->SetLargeImages(SharedImages().Large());
    CopyMainList(mainList);
    const QList<qint32> widths = ReadColumnWidths(Settings.EditWnd.ColWidth, WatchListModel::ColumnCount, 50);
    fittingColumns_ = true;
    for (int c = 0; c < WatchListModel::ColumnCount; ++c) {
        const bool hidden = c == WatchListModel::ColResult || c == WatchListModel::ColMAC;
        lvRes2->Header()->resizeSection(c, hidden ? 0 : widths.value(c, 50));
    }
    fittingColumns_ = false;
    fitColumns_ = std::all_of(widths.begin(), widths.end(), [](qint32 w) { return w == 50 || w == 0; });
    connect(lvRes2->Header(), &QHeaderView::sectionResized, this, [this] {
        if (!fittingColumns_)
            fitColumns_ = false;
    });
    connect(List, &QAbstractItemModel::rowsInserted, this, &ListEditor::FitDefaultColumns, Qt::QueuedConnection);
    FitDefaultColumns();
    SetListMode(Settings.Krovan.ListMode);
    spMain->setSizes({std::max(Settings.EditWnd.Split, MinSplit), width() - std::max(Settings.EditWnd.Split, MinSplit)});
    UpdateCommands();
}

ListEditor::~ListEditor()
{
    if (current == this)
        current = nullptr;
}

ListEditor *ListEditor::Current()
{
    return current;
}

bool ListEditor::Execute(WatchListModel &mainList, const QString &listFile, NetBrowser &net, EventActions *actions,
                      QWidget *owner, std::function<void(int)> trayImage)
{
    if (ListEditor *open = Current()) {
        open->raise();
        open->activateWindow();
        return false;
    }
    const WatchBusyMark busy;
    bool ok = false;
    {
        ListEditor editor(mainList, net, actions, owner);
        editor.SetTrayImage = std::move(trayImage);
        editor.ListFile = listFile;
        if (editor.exec() == QDialog::Accepted) {
            // OK has written the file and numbered the rows.
            mainList.setRows(editor.List->rows());
            Settings.Krovan.ListMode = editor.ListMode;
            MarkSettingsChanged();
            ok = true;
        }
    }
    return ok;
}

// ---------------------------------------------------------------- set-up

void ListEditor::BuildMenus(QWidget *menuHost)
{
    auto *bar = static_cast<QMenuBar *>(menuHost);
    QMenu *window = bar->addMenu(tr("ｳｲﾝﾄﾞｳ(&F)"));
    window->addAction(tr("保存して閉じる(&O)"), this, &ListEditor::pbOKClick);
    window->addAction(tr("保存しないで閉じる(&C)"), this, &ListEditor::pbCancelClick);

    QMenu *state = bar->addMenu(tr("状態(&S)"));
    mnProperty = state->addAction(tr("ﾌﾟﾛﾊﾟﾃｨ(&P)"), this, &ListEditor::mnPropertyClick);

    QMenu *watch = bar->addMenu(tr("監視(&W)"));
    mnAdd = watch->addAction(tr("追加(&A)"), this, &ListEditor::pbAddClick);
    mnDel = watch->addAction(tr("削除(&D)"), this, &ListEditor::pbDelClick);
    mnDelAll = watch->addAction(tr("すべて削除(&C)"), this, &ListEditor::pbDelAllClick);
    mnSeparator = watch->addAction(tr("ｾﾊﾟﾚｰﾀを追加(&S)"), this, &ListEditor::pbSeparatorClick);
    watch->addSeparator();
    QMenu *view = watch->addMenu(tr("表示(&V)"));
    auto *views = new QActionGroup(this);
    const QStringList viewCaptions{tr("大きいｱｲｺﾝ(&G)"), tr("小さいｱｲｺﾝ(&M)"),
                                   tr("一覧(&L)"), tr("詳細(&D)")};
    for (int i = 0; i < viewCaptions.size(); ++i) {
        QAction *a = view->addAction(viewCaptions[i], this, [this, i] { SetListMode(ListStyle::LargeIcons + i); });
        a->setCheckable(true);
        views->addAction(a);
        mnView << a;
    }
    QMenu *sort = watch->addMenu(tr("ソート(&Z)"));
    const QStringList sortCaptions{tr("ﾕｰｻﾞｰ名(&1)"),        tr("ﾘｿｰｽ名(&2)"),
                                   tr("状態(&3)"),           tr("ﾄﾞﾒｲﾝ/ﾜｰｸｸﾞﾙｰﾌﾟ(&4)"),
                                   tr("ﾛｸﾞｲﾝAction(&5)"),    tr("ﾛｸﾞｱｳﾄAction(&6)"),
                                   tr("ﾈｯﾄﾜｰｸﾌﾟﾛﾊﾞｲﾀﾞ(&7)"), tr("IP(&8)"),
                                   tr("IP調査(&9)")};
    for (int i = 0; i < sortCaptions.size(); ++i)
        sort->addAction(sortCaptions[i], this, [this, i] { SortBy(i); });
    sort->addAction(tr("ソートを元に戻す(&0)"), this, &ListEditor::RestoreOrder);

    pmNetWk = new QMenu(this);
    mnTreeAdd = pmNetWk->addAction(tr("追加(&A)"), this, &ListEditor::pbAddClick);
    mnTreeProperty = pmNetWk->addAction(tr("ﾌﾟﾛﾊﾟﾃｨ(&P)"), this, &ListEditor::mnPropertyClick);
}

void ListEditor::PlaceWindow()
{
    QRect screen(0, 0, 1280, 1024);
    if (const QScreen *s = QGuiApplication::primaryScreen())
        screen = s->availableGeometry();
    const auto [w, h] = ReadIntegerPair(Settings.EditWnd.Size, DesignWidth, DesignHeight);
    const int defaultTop = screen.top() + std::max(0, (screen.height() - h) / 2);
    const int defaultLeft = screen.left() + std::max(0, (screen.width() - w) / 2);
    auto [top, left] = ReadIntegerPair(Settings.EditWnd.Pos, defaultTop, defaultLeft);
    // A window lying wholly off the screen comes back to its edge.
    if (top + h <= 0 || top > screen.height())
        top = 0;
    if (left + w <= 0 || left > screen.width())
        left = 0;
    setMinimumSize(560, 320);
    resize(std::max(w, 560), std::max(h, 320));
    move(left, top);
}

void ListEditor::FitDefaultColumns()
{
    if (!fitColumns_)
        return;
    fittingColumns_ = true;
    for (int c = 0; c < WatchListModel::ColumnCount; ++c)
        if (lvRes2->Header()->sectionSize(c) > 0)
            lvRes2->ReportView()->resizeColumnToContents(c);
    fittingColumns_ = false;
}

void ListEditor::KeepWindowSettings()
{
    ProgramSettings::EditorWindowSection &e = Settings.EditWnd;
    e.Size = QStringLiteral("%1,%2").arg(width()).arg(height());
    e.Pos = QStringLiteral("%1,%2").arg(y()).arg(x());
    QList<qint32> widths;
    for (int c = 0; c < WatchListModel::ColumnCount; ++c)
        widths << lvRes2->Header()->sectionSize(c);
    if (!fitColumns_)
        e.ColWidth = JoinIntegerList(widths);
    e.Split = std::max(spMain->sizes().value(0, MinSplit), MinSplit);
    e.LoginFile = edLoginFile->text();
    e.LogoutFile = edLogoutFile->text();
    e.CommentPrior = cbCommentPrior->isChecked();
    MarkSettingsChanged();
}

void ListEditor::CopyMainList(const WatchListModel &mainList)
{
    std::vector<WatchListModel::Row> rows = mainList.rows();
    for (WatchListModel::Row &row : rows) {
        // Values a pass found by itself are not the operator's.
        if (HasFinderMark(row.texts[WatchListModel::ColResourceName]))
            row.texts[WatchListModel::ColResourceName].clear();
        if (HasFinderMark(row.texts[WatchListModel::ColAddress]))
            row.texts[WatchListModel::ColAddress].clear();
        row.texts[WatchListModel::ColResult].clear();
        row.dataWord &= 0xFFFFu;
    }
    for (int c = 0; c < WatchListModel::ColumnCount; ++c) {
        const QString caption = mainList.headerData(c, Qt::Horizontal).toString();
        List->setHeaderData(c, Qt::Horizontal, ShownWatchListText(caption.isEmpty() ? WatchListCaptions.value(c) : caption));
    }
    lvRes2->AssignMy(rows);
}

void ListEditor::RenumberFileOrder()
{
    for (int row = 0; row < List->rowCount(); ++row)
        List->setDataWord(row, (List->dataWord(row) & 0xFFFFu) | (quint32(row) & 0xFFFFu) << 16);
}

void ListEditor::SetListMode(int mode)
{
    ListMode = mode >= ListStyle::LargeIcons && mode <= ListStyle::Details ? mode : ListStyle::LargeIcons;
    static constexpr DragDropListView::ViewKind styles[] = {DragDropListView::vsIcon, DragDropListView::vsSmallIcon,
                                                         DragDropListView::vsList, DragDropListView::vsReport};
    const int index = ListMode - ListStyle::LargeIcons;
    lvRes2->SetViewStyle(styles[index]);
    if (index < mnView.size())
        mnView[index]->setChecked(true);
}

void ListEditor::UpdateCommands()
{
    const bool addable = tree_->IsAddable(tvNetWk->currentItem());
    pbAdd->setEnabled(addable);
    mnAdd->setEnabled(addable);
    mnTreeAdd->setEnabled(addable);
    const bool selected = lvRes2->SelCount() > 0;
    pbDel->setEnabled(selected);
    mnDel->setEnabled(selected);
}

// ---------------------------------------------------------------- the tree

QTreeWidgetItem *ListEditor::RootNode() const
{
    return tree_->RootNode();
}

int ListEditor::NodeImageOf(const QTreeWidgetItem *node)
{
    return ListEditorTree::NodeImageOf(node);
}

QTreeWidgetItem *ListEditor::FindComputerNode(const QString &resourceName) const
{
    return tree_->FindComputerNode(resourceName);
}

void ListEditor::ExpandNode(QTreeWidgetItem *node)
{
    tree_->ExpandNode(node);
    UpdateCommands();
}

void ListEditor::NodeActivated(QTreeWidgetItem *node)
{
    if (!node)
        return;
    tvNetWk->setCurrentItem(node);
    if (tree_->IsComputerNode(node))
        pbAddClick();
    else
        ExpandNode(node);
}

void ListEditor::mnPropertyClick()
{
    QTreeWidgetItem *node = tvNetWk->currentItem();
    if (!node)
        return;
    PropertyRecord record;
    if (!tree_->ReadProperties(node, record)) {
        Warn(tr("リソース状態取得エラーです。"));
        return;
    }
    PropertiesDialog::Execute(this, record, RemotePlatform);
}

// ---------------------------------------------------------------- rows

void ListEditor::pbAddClick()
{
    QTreeWidgetItem *node = tvNetWk->currentItem();
    QList<ListEditorTree::Candidate> candidates;
    bool group = false;
    if (!tree_->CandidatesOf(node, candidates, group))
        return;
    bool stopped = false;
    const int added = rows_->Add(candidates, group, group ? node->text(0) : QString(), stopped);
    // The operator's own Cancel needs no word.
    if (added == 0 && !stopped)
        Warn(tr("追加する端末はありません。"));
    UpdateCommands();
}

void ListEditor::DropUrls(const QList<QUrl> &urls)
{
    QList<ListEditorTree::Candidate> candidates;
    for (const QUrl &url : urls) {
        // Only computers: smb://HOST with nothing after the host.
        if (url.scheme().compare(QLatin1String("smb"), Qt::CaseInsensitive) != 0 || url.host().isEmpty())
            continue;
        const QString path = url.path();
        if (!path.isEmpty() && path != u"/")
            continue;
        candidates << tree_->DroppedComputer(url.host().toUpper());
    }
    tree_->SetStatus(QString());
    if (candidates.isEmpty())
        return;
    bool stopped = false;
    const int added = rows_->Add(candidates, candidates.size() > 1, QString(), stopped);
    // The dropped computers have no nodes to mark: the tree is read again.
    if (added > 0)
        tree_->Reset();
    else if (!stopped)
        Warn(tr("追加する端末はありません。"));
    UpdateCommands();
}

void ListEditor::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls()) {
        for (const QUrl &url : event->mimeData()->urls()) {
            if (url.scheme().compare(QLatin1String("smb"), Qt::CaseInsensitive) == 0) {
                event->acceptProposedAction();
                return;
            }
        }
    }
    QDialog::dragEnterEvent(event);
}

void ListEditor::dropEvent(QDropEvent *event)
{
    if (!event->mimeData()->hasUrls())
        return;
    event->acceptProposedAction();
    const QList<QUrl> urls = event->mimeData()->urls();
    // The file manager waits for the drop to end: add after it has.
    QMetaObject::invokeMethod(this, [this, urls] { DropUrls(urls); }, Qt::QueuedConnection);
}

void ListEditor::pbIPClick()
{
    rows_->AddByAddress();
    UpdateCommands();
}

void ListEditor::pbSeparatorClick()
{
    rows_->AddSeparator();
    UpdateCommands();
}

void ListEditor::pbUserClick()
{
    rows_->EditSelected();
}

void ListEditor::pbDelClick()
{
    rows_->DeleteSelected();
    UpdateCommands();
}

void ListEditor::pbDelAllClick()
{
    rows_->DeleteAll();
    UpdateCommands();
}

void ListEditor::pbLoginApplyClick()
{
    rows_->ApplyAction(true);
}

void ListEditor::pbLogoutApplyClick()
{
    rows_->ApplyAction(false);
}

void ListEditor::pbLoginTestClick()
{
    rows_->TestAction(true);
}

void ListEditor::pbLogoutTestClick()
{
    rows_->TestAction(false);
}

void ListEditor::BrowseAction(QLineEdit *box)
{
    const QString filter = tr("Waveﾌｧｲﾙ(*.wav)|*.wav|実行形式のﾌｧｲﾙ(*.exe)|*.exe|ﾊﾞｯﾁﾌｧｲﾙ(*.bat)|*.bat|すべてのﾌｧｲﾙ(*.*)|*.*");
    const QString file =
        QFileDialog::getOpenFileName(this, QString(), box->text(), FileDialogFilters(filter).join(QStringLiteral(";;")));
    if (!file.isEmpty())
        box->setText(ActionFileText(file));
}

void ListEditor::SortBy(int column)
{
    lvRes2->SortColumn = -1;
    lvRes2->ColumnClick(column);
}

void ListEditor::RestoreOrder()
{
    lvRes2->SortType = stData;
    lvRes2->Sort(1, 1);
    lvRes2->SortType = stNone;
}

void ListEditor::Warn(const QString &text)
{
    QMessageBox::warning(this, AppTitle, text);
}

// ---------------------------------------------------------------- closing

void ListEditor::pbOKClick()
{
    RenumberFileOrder();
    // A list that cannot be written stays here with the operator's work,
    // to be saved again or given up with Cancel.
    errno = 0;
    QString unencodable;
    if (!ListFile.isEmpty() && !SaveList(*List, ListFile, &unencodable)) {
        QMessageBox::critical(this, AppTitle, SaveFailedMessage(ListFile, errno, unencodable));
        return;
    }
    accept();
}

void ListEditor::pbCancelClick()
{
    reject();
}

void ListEditor::done(int result)
{
    // Kept however the editor closes: OK, Cancel, Esc or the title bar.
    KeepWindowSettings();
    QDialog::done(result);
}

bool ListEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == tvNetWk) {
                NodeActivated(tvNetWk->currentItem());
                return true;
            }
            if (watched == lvRes2->IconView() || watched == lvRes2->ReportView()) {
                pbUserClick();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}
