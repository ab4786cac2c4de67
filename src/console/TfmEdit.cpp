#include "console/TfmEdit.h"

#include "config/ProcessFlags.h"
#include "config/Settings.h"
#include "console/HelpPages.h"
#include "console/MListView.h"
#include "console/TFileSelect.h"
#include "console/TImageLists.h"
#include "console/TfmAddSet.h"
#include "console/TfmEditRules.h"
#include "console/TfmProp.h"
#include "console/TfmUser.h"
#include "engine/ExpandTemplate.h"
#include "engine/NetSearch.h"
#include "engine/WatchList.h"
#include "engine/WatchListModel.h"
#include "events/EventActions.h"
#include "platform/NetBrowser.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
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

namespace {

TfmEdit *current = nullptr;

constexpr int DesignWidth = 780;
constexpr int DesignHeight = 500;
constexpr int MinSplit = 272;

// What a tree node holds besides its text.
enum NodeRole {
    ProviderRole = Qt::UserRole, // index into the provider names
    ImageRole,                   // image index (its kind)
    RemoteNameRole,              // the network's name of the container
    DisplayTypeRole,
    UsageRole,
};

// Display type the network gives some servers besides "server".
constexpr quint32 DisplayServerAlias = 10;

const QString RootText = QStringLiteral("ネットワーク全体");
const QString SeparatorUserName = QStringLiteral("---------------------");
const QString NothingToAddText = QStringLiteral("追加する端末はありません。");
const QString OneRowText = QStringLiteral("監視端末を１つだけ選択して下さい。");

void setNodeImage(QTreeWidgetItem *node, int image)
{
    node->setData(0, ImageRole, image);
    node->setIcon(0, QIcon(ImageLists().SmallImage(image)));
}

bool isSeparatorRow(const WatchListModel &list, int row)
{
    return list.text(row, WatchListModel::ColResourceName) == SeparatorText;
}

// Reads a whole enumeration; false when it could not be opened or read to
// its end.
bool readContainer(NetBrowser &net, const NetResource &container, QList<NetResource> &entries)
{
    std::unique_ptr<NetEnumeration> e;
    if (net.Open(NetScope::GlobalNet, NetType::Any, 0, container, e) != NetCode::Success || !e)
        return false;
    bool ok = true;
    for (;;) {
        quint32 count = 0xFFFFFFFFu;
        QList<NetResource> batch;
        const quint32 r = e->Read(count, batch, NetReadBufferBytes);
        if (r == NetCode::NoMoreItems)
            break;
        if (r != NetCode::Success || batch.isEmpty()) {
            ok = false;
            break;
        }
        entries += batch;
    }
    e->Close();
    return ok;
}

// The domain, comment and provider of a computer known only by its name:
// the provider's workgroups are searched for it, as the file manager's
// drop gives no parent.
bool locateComputer(NetBrowser &net, const QString &name, QString &domain, QString &comment, QString &provider)
{
    QList<NetResource> networks;
    readContainer(net, NetResource{}, networks);
    for (const NetResource &network : networks) {
        NetResource top;
        top.Scope = NetScope::GlobalNet;
        top.DisplayType = NetDisplay::Network;
        top.Usage = NetUsage::Container | NetUsage::Reserved;
        top.Provider = network.Provider.isEmpty() ? network.RemoteName : network.Provider;
        QList<NetResource> domains;
        readContainer(net, top, domains);
        for (const NetResource &d : domains) {
            if (d.DisplayType != NetDisplay::Domain)
                continue;
            NetResource where = d;
            where.Usage = NetUsage::Container;
            QList<NetResource> computers;
            readContainer(net, where, computers);
            for (const NetResource &c : computers) {
                if (StripBackslashes(c.RemoteName).compare(name, Qt::CaseInsensitive) == 0) {
                    domain = d.RemoteName;
                    comment = c.Comment;
                    provider = c.Provider;
                    return true;
                }
            }
        }
    }
    return false;
}

} // namespace

TfmEdit::TfmEdit(const WatchListModel &mainList, NetBrowser &net, EventActions *actions, QWidget *owner)
    : QDialog(owner, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint),
      mainList_(mainList), net_(net), actions_(actions)
{
    current = this;
    setObjectName(QStringLiteral("fmEdit"));
    setWindowTitle(QStringLiteral("Corvane List"));
    setProperty("helpContext", int(HelpEdit));
    setAcceptDrops(true);

    List = new WatchListModel(this);

    // Left: the network and the two action boxes.
    auto *left = new QWidget;
    lblNetWk = new QLabel(QStringLiteral("監視可能端末(&N)"), left);
    tvNetWk = new QTreeWidget(left);
    tvNetWk->setObjectName(QStringLiteral("tvNetWk"));
    tvNetWk->setHeaderHidden(true);
    // Long node texts scroll sideways rather than lose their end.
    tvNetWk->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tvNetWk->header()->setStretchLastSection(false);
    tvNetWk->setExpandsOnDoubleClick(false);
    tvNetWk->setContextMenuPolicy(Qt::CustomContextMenu);
    tvNetWk->installEventFilter(this);
    // Node texts line names and comments up in columns.
    QFont fixed(QStringLiteral("monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    tvNetWk->setFont(fixed);
    lblNetWk->setBuddy(tvNetWk);
    sbNetWk = new QStatusBar(left);
    sbNetWk->setSizeGripEnabled(false);
    cbCommentPrior = new QCheckBox(QStringLiteral("ｺﾒﾝﾄを先に表示(&C)"), left);
    cbCommentPrior->setObjectName(QStringLiteral("cbCommentPrior"));

    const auto actionBox = [left](const QString &caption, QLineEdit *&box, QPushButton *&test, QPushButton *&browse,
                                  QPushButton *&apply, QGridLayout *grid, int row) {
        auto *label = new QLabel(caption, left);
        box = new QLineEdit(left);
        label->setBuddy(box);
        test = new QPushButton(QStringLiteral("ﾃｽﾄ"), left);
        browse = new QPushButton(QStringLiteral("参照..."), left);
        apply = new QPushButton(QStringLiteral("適用"), left);
        for (QPushButton *b : {test, browse, apply})
            b->setAutoDefault(false);
        grid->addWidget(label, row, 0, 1, 3);
        grid->addWidget(box, row + 1, 0, 1, 3);
        grid->addWidget(test, row + 2, 0);
        grid->addWidget(browse, row + 2, 1);
        grid->addWidget(apply, row + 2, 2);
    };
    auto *actionsGrid = new QGridLayout;
    actionBox(QStringLiteral("ﾛｸﾞｲﾝAction"), edLoginFile, pbLoginTest, pbLoginBrowse, pbLoginApply, actionsGrid, 0);
    actionBox(QStringLiteral("ﾛｸﾞｱｳﾄAction"), edLogoutFile, pbLogoutTest, pbLogoutBrowse, pbLogoutApply, actionsGrid,
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
    pbAdd = new QPushButton(QStringLiteral("&>>"), right);
    pbDel = new QPushButton(QStringLiteral("&<<"), right);
    pbSeparator = new QPushButton(QStringLiteral("ｾﾊﾟﾚｰﾀ"), right);
    pbIP = new QPushButton(QStringLiteral("I&P"), right);
    lblRes2 = new QLabel(QStringLiteral("監視端末(&T)"), right);
    lvRes2 = new MListView(right);
    lvRes2->setObjectName(QStringLiteral("lvRes2"));
    lvRes2->SetModel(List);
    lvRes2->CanDrag = true;
    lblRes2->setBuddy(lvRes2);
    pbUser = new QPushButton(QStringLiteral("ﾕｰｻﾞｰ名(&U)..."), right);
    pbOK = new QPushButton(QStringLiteral("&OK"), right);
    pbCancel = new QPushButton(QStringLiteral("&Cancel"), right);
    for (QPushButton *b : {pbAdd, pbDel, pbSeparator, pbIP, pbUser, pbOK, pbCancel})
        b->setAutoDefault(false);
    for (QPushButton *b : {pbAdd, pbDel, pbSeparator, pbIP})
        b->setFixedWidth(64);

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

    connect(pbAdd, &QPushButton::clicked, this, &TfmEdit::pbAddClick);
    connect(pbDel, &QPushButton::clicked, this, &TfmEdit::pbDelClick);
    connect(pbSeparator, &QPushButton::clicked, this, &TfmEdit::pbSeparatorClick);
    connect(pbIP, &QPushButton::clicked, this, &TfmEdit::pbIPClick);
    connect(pbUser, &QPushButton::clicked, this, &TfmEdit::pbUserClick);
    connect(pbOK, &QPushButton::clicked, this, &TfmEdit::pbOKClick);
    connect(pbCancel, &QPushButton::clicked, this, &TfmEdit::pbCancelClick);
    connect(pbLoginApply, &QPushButton::clicked, this, &TfmEdit::pbLoginApplyClick);
    connect(pbLogoutApply, &QPushButton::clicked, this, &TfmEdit::pbLogoutApplyClick);
    connect(pbLoginTest, &QPushButton::clicked, this, &TfmEdit::pbLoginTestClick);
    connect(pbLogoutTest, &QPushButton::clicked, this, &TfmEdit::pbLogoutTestClick);
    connect(pbLoginBrowse, &QPushButton::clicked, this, [this] { BrowseAction(edLoginFile); });
    connect(pbLogoutBrowse, &QPushButton::clicked, this, [this] { BrowseAction(edLogoutFile); });
    connect(tvNetWk, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *node) { NodeActivated(node); });
    connect(tvNetWk, &QTreeWidget::currentItemChanged, this, &TfmEdit::UpdateCommands);
    connect(tvNetWk, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        if (QTreeWidgetItem *node = tvNetWk->itemAt(pos))
            tvNetWk->setCurrentItem(node);
        pmNetWk->popup(tvNetWk->viewport()->mapToGlobal(pos));
    });
    connect(cbCommentPrior, &QCheckBox::toggled, this, &TfmEdit::ResetTree);
    connect(lvRes2, &MListView::SelectionChanged, this, &TfmEdit::UpdateCommands);
    connect(lvRes2, &MListView::DoubleClicked, this, [this](int) { pbUserClick(); });
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
    lvRes2->SetSmallImages(ImageLists().Small());
    lvRes2->SetLargeImages(ImageLists().Large());
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
    connect(List, &QAbstractItemModel::rowsInserted, this, &TfmEdit::FitDefaultColumns, Qt::QueuedConnection);
    FitDefaultColumns();
    SetListMode(Settings.Krovan.ListMode);
    spMain->setSizes({std::max(Settings.EditWnd.Split, MinSplit), width() - std::max(Settings.EditWnd.Split, MinSplit)});

    auto *root = new QTreeWidgetItem(tvNetWk, QStringList{RootText});
    root->setData(0, ProviderRole, -1);
    root->setData(0, DisplayTypeRole, NetDisplay::Network);
    setNodeImage(root, NodeNetwork);
    tvNetWk->setCurrentItem(root);
    UpdateCommands();
}

TfmEdit::~TfmEdit()
{
    if (current == this)
        current = nullptr;
}

TfmEdit *TfmEdit::Current()
{
    return current;
}

bool TfmEdit::Execute(WatchListModel &mainList, const QString &listFile, NetBrowser &net, EventActions *actions,
                      QWidget *owner, std::function<void(int)> trayImage)
{
    if (TfmEdit *open = Current()) {
        open->raise();
        open->activateWindow();
        return false;
    }
    const WatchBusyMark busy;
    bool ok = false;
    {
        TfmEdit editor(mainList, net, actions, owner);
        editor.SetTrayImage = std::move(trayImage);
        editor.ListFile = listFile;
        if (editor.exec() == QDialog::Accepted) {
            // OK has written the file and numbered the rows.
            mainList.setRows(editor.List->rows());
            Settings.Krovan.ListMode = editor.ListMode;
            ok = true;
        }
    }
    return ok;
}

// ---------------------------------------------------------------- set-up

void TfmEdit::BuildMenus(QWidget *menuHost)
{
    auto *bar = static_cast<QMenuBar *>(menuHost);
    QMenu *window = bar->addMenu(QStringLiteral("ｳｲﾝﾄﾞｳ(&F)"));
    window->addAction(QStringLiteral("保存して閉じる(&O)"), this, &TfmEdit::pbOKClick);
    window->addAction(QStringLiteral("保存しないで閉じる(&C)"), this, &TfmEdit::pbCancelClick);

    QMenu *state = bar->addMenu(QStringLiteral("状態(&S)"));
    mnProperty = state->addAction(QStringLiteral("ﾌﾟﾛﾊﾟﾃｨ(&P)"), this, &TfmEdit::mnPropertyClick);

    QMenu *watch = bar->addMenu(QStringLiteral("監視(&W)"));
    mnAdd = watch->addAction(QStringLiteral("追加(&A)"), this, &TfmEdit::pbAddClick);
    mnDel = watch->addAction(QStringLiteral("削除(&D)"), this, &TfmEdit::pbDelClick);
    mnDelAll = watch->addAction(QStringLiteral("すべて削除(&C)"), this, &TfmEdit::pbDelAllClick);
    mnSeparator = watch->addAction(QStringLiteral("ｾﾊﾟﾚｰﾀを追加(&S)"), this, &TfmEdit::pbSeparatorClick);
    watch->addSeparator();
    QMenu *view = watch->addMenu(QStringLiteral("表示(&V)"));
    auto *views = new QActionGroup(this);
    const QStringList viewCaptions{QStringLiteral("大きいｱｲｺﾝ(&G)"), QStringLiteral("小さいｱｲｺﾝ(&M)"),
                                   QStringLiteral("一覧(&L)"), QStringLiteral("詳細(&D)")};
    for (int i = 0; i < viewCaptions.size(); ++i) {
        QAction *a = view->addAction(viewCaptions[i], this, [this, i] { SetListMode(i + 1); });
        a->setCheckable(true);
        views->addAction(a);
        mnView << a;
    }
    QMenu *sort = watch->addMenu(QStringLiteral("ソート(&Z)"));
    const QStringList sortCaptions{QStringLiteral("ﾕｰｻﾞｰ名(&1)"),        QStringLiteral("ﾘｿｰｽ名(&2)"),
                                   QStringLiteral("状態(&3)"),           QStringLiteral("ﾄﾞﾒｲﾝ/ﾜｰｸｸﾞﾙｰﾌﾟ(&4)"),
                                   QStringLiteral("ﾛｸﾞｲﾝAction(&5)"),    QStringLiteral("ﾛｸﾞｱｳﾄAction(&6)"),
                                   QStringLiteral("ﾈｯﾄﾜｰｸﾌﾟﾛﾊﾞｲﾀﾞ(&7)"), QStringLiteral("IP(&8)"),
                                   QStringLiteral("IP調査(&9)")};
    for (int i = 0; i < sortCaptions.size(); ++i)
        sort->addAction(sortCaptions[i], this, [this, i] { SortBy(i); });
    sort->addAction(QStringLiteral("ソートを元に戻す(&0)"), this, &TfmEdit::RestoreOrder);

    pmNetWk = new QMenu(this);
    mnTreeAdd = pmNetWk->addAction(QStringLiteral("追加(&A)"), this, &TfmEdit::pbAddClick);
    mnTreeProperty = pmNetWk->addAction(QStringLiteral("ﾌﾟﾛﾊﾟﾃｨ(&P)"), this, &TfmEdit::mnPropertyClick);
}

void TfmEdit::PlaceWindow()
{
    designWidth_ = DesignWidth;
    designHeight_ = DesignHeight;
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

void TfmEdit::FitDefaultColumns()
{
    if (!fitColumns_)
        return;
    fittingColumns_ = true;
    for (int c = 0; c < WatchListModel::ColumnCount; ++c)
        if (lvRes2->Header()->sectionSize(c) > 0)
            lvRes2->ReportView()->resizeColumnToContents(c);
    fittingColumns_ = false;
}

void TfmEdit::KeepWindowSettings()
{
    TSettings::TEditWnd &e = Settings.EditWnd;
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
}

void TfmEdit::CopyMainList(const WatchListModel &mainList)
{
    std::vector<WatchListModel::Row> rows = mainList.rows();
    for (WatchListModel::Row &row : rows) {
        // Values a pass found by itself are not the operator's.
        if (row.texts[WatchListModel::ColResourceName].startsWith(u'*'))
            row.texts[WatchListModel::ColResourceName].clear();
        if (row.texts[WatchListModel::ColAddress].startsWith(u'*'))
            row.texts[WatchListModel::ColAddress].clear();
        row.texts[WatchListModel::ColResult].clear();
        row.dataWord &= 0xFFFFu;
    }
    for (int c = 0; c < WatchListModel::ColumnCount; ++c) {
        const QString caption = mainList.headerData(c, Qt::Horizontal).toString();
        List->setHeaderData(c, Qt::Horizontal, caption.isEmpty() ? WatchListCaptions.value(c) : caption);
    }
    lvRes2->AssignMy(rows);
}

void TfmEdit::RenumberFileOrder()
{
    for (int row = 0; row < List->rowCount(); ++row)
        List->setDataWord(row, (List->dataWord(row) & 0xFFFFu) | (quint32(row) & 0xFFFFu) << 16);
}

void TfmEdit::SetListMode(int mode)
{
    ListMode = mode >= 1 && mode <= 4 ? mode : 1;
    static constexpr TDDListView::TViewStyle styles[] = {TDDListView::vsIcon, TDDListView::vsSmallIcon,
                                                         TDDListView::vsList, TDDListView::vsReport};
    lvRes2->SetViewStyle(styles[ListMode - 1]);
    if (ListMode - 1 < mnView.size())
        mnView[ListMode - 1]->setChecked(true);
}

void TfmEdit::UpdateCommands()
{
    const QTreeWidgetItem *node = tvNetWk->currentItem();
    const bool addable = node && (IsComputerNode(node) || node->data(0, DisplayTypeRole).toUInt() == NetDisplay::Domain);
    pbAdd->setEnabled(addable);
    mnAdd->setEnabled(addable);
    mnTreeAdd->setEnabled(addable);
    const bool selected = lvRes2->SelCount() > 0;
    pbDel->setEnabled(selected);
    mnDel->setEnabled(selected);
}

// ---------------------------------------------------------------- the tree

QTreeWidgetItem *TfmEdit::RootNode() const
{
    return tvNetWk->topLevelItem(0);
}

int TfmEdit::NodeImageOf(const QTreeWidgetItem *node)
{
    return node ? node->data(0, ImageRole).toInt() : -1;
}

bool TfmEdit::IsComputerNode(const QTreeWidgetItem *node) const
{
    const int image = NodeImageOf(node);
    return node && node != RootNode() && (image == NodeComputer || image == NodeWatched);
}

bool TfmEdit::IsWatched(const QString &resourceName) const
{
    for (int row = 0; row < List->rowCount(); ++row)
        if (List->text(row, WatchListModel::ColResourceName) == resourceName)
            return true;
    return false;
}

QString TfmEdit::ProviderName(const QTreeWidgetItem *node) const
{
    return providers_.value(node->data(0, ProviderRole).toInt());
}

int TfmEdit::ProviderIndex(const QString &provider)
{
    qsizetype i = providers_.indexOf(provider);
    if (i < 0) {
        providers_ << provider;
        i = providers_.size() - 1;
    }
    return int(i);
}

QTreeWidgetItem *TfmEdit::FindComputerNode(const QString &resourceName) const
{
    QList<QTreeWidgetItem *> pending{RootNode()};
    while (!pending.isEmpty()) {
        QTreeWidgetItem *node = pending.takeFirst();
        if (!node)
            continue;
        if (IsComputerNode(node)) {
            QString resource, user;
            ParseComputerNodeText(node->text(0), cbCommentPrior->isChecked(), resource, user);
            if (resource == resourceName)
                return node;
        }
        for (int i = 0; i < node->childCount(); ++i)
            pending << node->child(i);
    }
    return nullptr;
}

void TfmEdit::SetStatus(const QString &text)
{
    sbNetWk->showMessage(text);
    sbNetWk->repaint();
}

void TfmEdit::ResetTree()
{
    // Node texts change their form: everything below the root is read again.
    if (QTreeWidgetItem *root = RootNode()) {
        qDeleteAll(root->takeChildren());
        tvNetWk->setCurrentItem(root);
    }
}

void TfmEdit::ExpandNode(QTreeWidgetItem *node)
{
    if (!node || IsComputerNode(node))
        return;
    SetStatus(node->text(0) + QStringLiteral(" 検索中..."));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (SetTrayImage)
        SetTrayImage(1);

    qDeleteAll(node->takeChildren());
    NetResource container;
    container.Scope = NetScope::GlobalNet;
    container.Type = NetType::Any;
    if (node != RootNode()) {
        container.DisplayType = node->data(0, DisplayTypeRole).toUInt();
        container.Usage = node->data(0, UsageRole).toUInt();
        container.Provider = ProviderName(node);
        container.RemoteName = node->data(0, RemoteNameRole).toString();
        // A provider's own list is asked for by its name alone.
        if (container.DisplayType == NetDisplay::Network) {
            container.RemoteName.clear();
            container.Usage |= NetUsage::Container | NetUsage::Reserved;
        }
    }
    QList<NetResource> entries;
    if (readContainer(net_, container, entries)) {
        const bool commentFirst = cbCommentPrior->isChecked();
        for (const NetResource &entry : entries) {
            int image = -1;
            QString text = entry.RemoteName;
            switch (entry.DisplayType) {
            case NetDisplay::Domain:
                image = NodeDomain;
                break;
            case NetDisplay::Server:
            case DisplayServerAlias: {
                const QString name = StripBackslashes(entry.RemoteName);
                text = ComputerNodeText(name, entry.Comment, commentFirst);
                image = IsWatched(name) ? NodeWatched : NodeComputer;
                break;
            }
            case NetDisplay::Network:
                image = NodeNetwork;
                if (text.isEmpty())
                    text = entry.Provider;
                break;
            case NetDisplay::Share:
                if (entry.Usage & NetUsage::Container)
                    image = NodeDomain;
                break;
            case NetDisplay::Generic:
                image = NodeNetwork;
                break;
            default:
                break;
            }
            if (image < 0)
                continue;
            auto *child = new QTreeWidgetItem(node, QStringList{text});
            child->setData(0, ProviderRole, ProviderIndex(entry.Provider));
            child->setData(0, RemoteNameRole, entry.RemoteName);
            child->setData(0, DisplayTypeRole, entry.DisplayType);
            child->setData(0, UsageRole, entry.Usage);
            setNodeImage(child, image);
        }
    }
    node->setExpanded(true);

    if (SetTrayImage)
        SetTrayImage(0);
    QApplication::restoreOverrideCursor();
    SetStatus(QString());
    UpdateCommands();
}

void TfmEdit::NodeActivated(QTreeWidgetItem *node)
{
    if (!node)
        return;
    tvNetWk->setCurrentItem(node);
    if (IsComputerNode(node))
        pbAddClick();
    else
        ExpandNode(node);
}

TfmEdit::Candidate TfmEdit::NodeCandidate(QTreeWidgetItem *node) const
{
    Candidate c;
    c.node = node;
    ParseComputerNodeText(node->text(0), cbCommentPrior->isChecked(), c.resource, c.user);
    c.provider = ProviderName(node);
    return c;
}

// ---------------------------------------------------------------- adding

bool TfmEdit::EditInDialog(int mode, WatchEntry &entry)
{
    TfmUser dialog(TfmUser::TUserMode(mode), this);
    dialog.SetEntry(entry);
    dialog.adjustSize();
    if (!userPlaced_) {
        const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                              : QRect(0, 0, 1280, 1024);
        userPos_ = screen.center() - QPoint(dialog.width() / 2, dialog.height() / 2);
    }
    dialog.move(userPos_);
    const bool ok = dialog.exec() == QDialog::Accepted;
    // The next entry dialog opens where the operator left this one.
    userPos_ = dialog.pos();
    userPlaced_ = true;
    if (ok)
        dialog.GetEntry(entry);
    return ok;
}

int TfmEdit::AddCandidates(const QList<Candidate> &candidates, bool group, const QString &workgroup, bool &stopped)
{
    stopped = false;
    bool manual = true;
    bool useTerminalName = false;
    bool ipCheck = true;
    if (group) {
        TfmAddSet addSet(workgroup, this);
        if (addSet.exec() != QDialog::Accepted) {
            stopped = true;
            return 0;
        }
        manual = addSet.Manual();
        useTerminalName = !manual && addSet.UseTerminalName();
        ipCheck = manual || addSet.IPCheck();
    }

    int added = 0;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        const Candidate &c = candidates[i];
        if (c.node && NodeImageOf(c.node) == NodeWatched)
            continue;
        if (!c.node && (c.resource.isEmpty() || IsWatched(c.resource)))
            continue;
        WatchEntry entry;
        entry.ResourceName = c.resource;
        entry.UserName = useTerminalName ? c.resource : c.user;
        entry.LoginAction = edLoginFile->text();
        entry.LogoutAction = edLogoutFile->text();
        entry.State = StateLoggedIn;
        entry.StatusText = StatusLoggedIn;
        entry.ImageIndex = KindStandard;
        entry.IPCheck = ipCheck;
        entry.Provider = c.provider;
        entry.Domain = c.domain;
        entry.Kind = KindStandard;
        if (manual) {
            if (!EditInDialog(TfmUser::umTerminal, entry)) {
                const bool more = group && i + 1 < candidates.size();
                if (more) {
                    QMessageBox box(QMessageBox::Question, AppTitle, QStringLiteral("追加処理を続行しますか？"),
                                    QMessageBox::Yes | QMessageBox::No, this);
                    if (box.exec() == QMessageBox::Yes)
                        continue;
                }
                stopped = true;
                break;
            }
            edLoginFile->setText(entry.LoginAction);
            edLogoutFile->setText(entry.LogoutAction);
            entry.ImageIndex = entry.Kind;
        }
        AddEntry(entry, *List);
        if (c.node)
            setNodeImage(c.node, NodeWatched);
        ++added;
    }
    return added;
}

void TfmEdit::pbAddClick()
{
    QTreeWidgetItem *node = tvNetWk->currentItem();
    if (!node)
        return;
    int added = 0;
    bool stopped = false;
    if (IsComputerNode(node)) {
        Candidate c = NodeCandidate(node);
        QTreeWidgetItem *parent = node->parent();
        if (parent && parent != RootNode() && parent->data(0, DisplayTypeRole).toUInt() != NetDisplay::Network)
            c.domain = parent->text(0);
        added = AddCandidates({c}, false, QString(), stopped);
    } else if (node->data(0, DisplayTypeRole).toUInt() == NetDisplay::Domain) {
        if (node->childCount() == 0)
            ExpandNode(node);
        QList<Candidate> candidates;
        for (int i = 0; i < node->childCount(); ++i) {
            QTreeWidgetItem *child = node->child(i);
            if (!IsComputerNode(child))
                continue;
            Candidate c = NodeCandidate(child);
            c.domain = node->text(0);
            candidates << c;
        }
        added = AddCandidates(candidates, true, node->text(0), stopped);
    } else {
        return;
    }
    // The operator's own Cancel needs no word.
    if (added == 0 && !stopped)
        Warn(NothingToAddText);
    UpdateCommands();
}

void TfmEdit::DropUrls(const QList<QUrl> &urls)
{
    QList<Candidate> candidates;
    for (const QUrl &url : urls) {
        // Only computers: smb://HOST with nothing after the host.
        if (url.scheme().compare(QLatin1String("smb"), Qt::CaseInsensitive) != 0 || url.host().isEmpty())
            continue;
        const QString path = url.path();
        if (!path.isEmpty() && path != u"/")
            continue;
        Candidate c;
        c.resource = url.host().toUpper();
        SetStatus(c.resource + QStringLiteral(" 検索中..."));
        QString comment;
        if (!locateComputer(net_, c.resource, c.domain, comment, c.provider))
            c.provider = SmbProviderName;
        c.user = comment.isEmpty() ? c.resource : comment;
        candidates << c;
    }
    SetStatus(QString());
    if (candidates.isEmpty())
        return;
    bool stopped = false;
    const int added = AddCandidates(candidates, candidates.size() > 1, QString(), stopped);
    // The dropped computers have no nodes to mark: the tree is read again.
    if (added > 0)
        ResetTree();
    else if (!stopped)
        Warn(NothingToAddText);
    UpdateCommands();
}

void TfmEdit::dragEnterEvent(QDragEnterEvent *event)
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

void TfmEdit::dropEvent(QDropEvent *event)
{
    if (!event->mimeData()->hasUrls())
        return;
    event->acceptProposedAction();
    const QList<QUrl> urls = event->mimeData()->urls();
    // The file manager waits for the drop to end: add after it has.
    QMetaObject::invokeMethod(this, [this, urls] { DropUrls(urls); }, Qt::QueuedConnection);
}

void TfmEdit::pbIPClick()
{
    WatchEntry entry;
    entry.State = StateUnconfirmed;
    entry.StatusText = StatusUnconfirmed;
    entry.IPCheck = true;
    entry.LoginAction = edLoginFile->text();
    entry.LogoutAction = edLogoutFile->text();
    entry.Kind = KindStandard;
    if (!EditInDialog(TfmUser::umIPEntry, entry))
        return;
    entry.ImageIndex = entry.Kind + 2;
    AddEntry(entry, *List);
    UpdateCommands();
}

void TfmEdit::pbSeparatorClick()
{
    WatchEntry entry;
    entry.UserName = SeparatorUserName;
    entry.ResourceName = SeparatorText;
    entry.StatusText = SeparatorText;
    entry.Domain = SeparatorText;
    entry.LoginAction = SeparatorText;
    entry.LogoutAction = SeparatorText;
    entry.Provider = SeparatorText;
    entry.Address = SeparatorText;
    entry.MAC = SeparatorText;
    entry.Result = SeparatorText;
    entry.State = EntryState(KindSeparator);
    entry.Kind = KindSeparator;
    entry.ImageIndex = ImageSeparator;
    entry.IPCheck = false;
    if (!EditInDialog(TfmUser::umSeparator, entry))
        return;
    AddEntry(entry, *List);
    UpdateCommands();
}

// ---------------------------------------------------------------- editing

void TfmEdit::pbUserClick()
{
    const QList<int> selected = lvRes2->SelectedRows();
    if (selected.size() != 1) {
        Warn(OneRowText);
        return;
    }
    const int row = selected.first();
    WatchEntry entry;
    if (!ReadEntry(*List, row, entry))
        return;
    TfmUser::TUserMode mode = TfmUser::umTerminal;
    if (isSeparatorRow(*List, row))
        mode = TfmUser::umSeparator;
    else if (entry.IPCheck && entry.Domain.isEmpty() && entry.Provider.isEmpty())
        mode = TfmUser::umIPEntry;
    const int oldKind = DataWordKind(List->dataWord(row));
    if (!EditInDialog(mode, entry))
        return;
    if (entry.Kind != oldKind) {
        entry.ImageIndex = entry.Kind + 2;
        entry.State = EntryState(0);
        entry.FileOrder = 0;
    }
    WriteEntry(entry, *List, row);
    if (mode != TfmUser::umSeparator) {
        edLoginFile->setText(entry.LoginAction);
        edLogoutFile->setText(entry.LogoutAction);
    }
}

void TfmEdit::pbDelClick()
{
    QList<int> selected = lvRes2->SelectedRows();
    std::sort(selected.begin(), selected.end());
    for (auto it = selected.crbegin(); it != selected.crend(); ++it) {
        if (QTreeWidgetItem *node = FindComputerNode(List->text(*it, WatchListModel::ColResourceName));
            node && NodeImageOf(node) == NodeWatched)
            setNodeImage(node, NodeComputer);
        List->removeRows(*it, 1);
    }
    UpdateCommands();
}

void TfmEdit::pbDelAllClick()
{
    QMessageBox box(QMessageBox::Question, AppTitle, QStringLiteral("監視端末をすべて削除します。\nよろしいですか？"),
                    QMessageBox::Yes | QMessageBox::No, this);
    if (box.exec() != QMessageBox::Yes)
        return;
    List->clear();
    // No node stays marked as watched once its row has gone, or it could
    // never be added again.
    QList<QTreeWidgetItem *> pending{RootNode()};
    while (!pending.isEmpty()) {
        QTreeWidgetItem *node = pending.takeFirst();
        if (IsComputerNode(node) && NodeImageOf(node) == NodeWatched)
            setNodeImage(node, NodeComputer);
        for (int i = 0; node && i < node->childCount(); ++i)
            pending << node->child(i);
    }
    UpdateCommands();
}

void TfmEdit::ApplyAction(bool login)
{
    const QList<int> selected = lvRes2->SelectedRows();
    if (selected.isEmpty()) {
        Warn(QStringLiteral("監視端末を選択して下さい。"));
        return;
    }
    const QString text = (login ? edLoginFile : edLogoutFile)->text();
    const int column = login ? WatchListModel::ColLoginAction : WatchListModel::ColLogoutAction;
    for (int row : selected) {
        // A separator is never checked, so it never runs an action.
        if (!isSeparatorRow(*List, row))
            List->setText(row, column, text);
    }
}

void TfmEdit::pbLoginApplyClick()
{
    ApplyAction(true);
}

void TfmEdit::pbLogoutApplyClick()
{
    ApplyAction(false);
}

void TfmEdit::TestAction(bool login)
{
    QLineEdit *box = login ? edLoginFile : edLogoutFile;
    QString text = box->text();
    if (text.contains(u'%')) {
        const QList<int> selected = lvRes2->SelectedRows();
        if (selected.size() != 1) {
            Warn(QStringLiteral("パラメータに置き換え文字「%」があります。\n") + OneRowText);
            return;
        }
        WatchEntry e;
        ReadEntry(*List, selected.first(), e);
        const auto unmarked = [](const QString &s) { return s.startsWith(u'*') ? s.mid(1) : s; };
        text = ExpandTemplate(text, EntryTemplateLetters,
                              {e.UserName, unmarked(e.ResourceName), e.StatusText, e.Domain, e.Provider,
                               unmarked(e.Address)});
    }
    if (!actions_ || text.isEmpty() || !actions_->RunAction(text, Settings.Config.WaitWave))
        box->setFocus();
}

void TfmEdit::pbLoginTestClick()
{
    TestAction(true);
}

void TfmEdit::pbLogoutTestClick()
{
    TestAction(false);
}

void TfmEdit::BrowseAction(QLineEdit *box)
{
    const QString file = QFileDialog::getOpenFileName(this, QString(), box->text(), FileDialogFilters(ActionFileFilter).join(QStringLiteral(";;")));
    if (!file.isEmpty())
        box->setText(ActionFileText(file));
}

void TfmEdit::mnPropertyClick()
{
    QTreeWidgetItem *node = tvNetWk->currentItem();
    if (!node)
        return;
    PropertyRecord record;
    if (node == RootNode()) {
        record.ResourceName = node->text(0);
        record.ImageIndex = NodeNetwork;
        TfmProp::Execute(this, record, RemotePlatform);
        return;
    }
    const bool computer = IsComputerNode(node);
    const quint32 display = node->data(0, DisplayTypeRole).toUInt();
    NetNode found;
    QString container;
    QString name = node->text(0);
    if (computer) {
        ParseComputerNodeText(node->text(0), cbCommentPrior->isChecked(), record.ResourceName, record.UserName);
        name = record.ResourceName;
        QTreeWidgetItem *parent = node->parent();
        container = parent->data(0, RemoteNameRole).toString();
        found.NodeType = parent->data(0, DisplayTypeRole).toUInt() == NetDisplay::Domain ? NetNodeType::Domain
                                                                                         : NetNodeType::Other;
        if (parent != RootNode() && parent->data(0, DisplayTypeRole).toUInt() != NetDisplay::Network)
            record.Domain = parent->text(0);
        record.ImageIndex = NodeComputer;
    } else if (display == NetDisplay::Network || display == NetDisplay::Generic) {
        record.ResourceName = name;
        record.ImageIndex = NodeNetwork;
    } else {
        // A workgroup is looked for among its provider's top level.
        record.ResourceName = name;
        found.NodeType = NetNodeType::Network;
        record.ImageIndex = NodeDomain;
    }
    SetStatus(node->text(0) + QStringLiteral(" 調査中..."));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int result = FindNetResource(net_, container, ProviderName(node), name, found);
    QApplication::restoreOverrideCursor();
    SetStatus(QString());
    if (result == NetError) {
        Warn(QStringLiteral("リソース状態取得エラーです。"));
        return;
    }
    record.Comment = found.Comment;
    record.Provider = result == NetFound ? found.Provider : ProviderName(node);
    TfmProp::Execute(this, record, RemotePlatform);
}

void TfmEdit::SortBy(int column)
{
    lvRes2->SortColumn = -1;
    lvRes2->ColumnClick(column);
}

void TfmEdit::RestoreOrder()
{
    lvRes2->SortType = stData;
    lvRes2->Sort(1, 1);
    lvRes2->SortType = stNone;
}

void TfmEdit::Warn(const QString &text)
{
    QMessageBox::warning(this, AppTitle, text);
}

// ---------------------------------------------------------------- closing

void TfmEdit::pbOKClick()
{
    RenumberFileOrder();
    // A list that cannot be written stays here with the operator's work,
    // to be saved again or given up with Cancel.
    if (!ListFile.isEmpty() && !SaveList(*List, ListFile)) {
        QMessageBox::critical(this, AppTitle, SaveFailedText);
        return;
    }
    accept();
}

void TfmEdit::pbCancelClick()
{
    reject();
}

void TfmEdit::done(int result)
{
    // Kept however the editor closes: OK, Cancel, Esc or the title bar.
    KeepWindowSettings();
    QDialog::done(result);
}

bool TfmEdit::eventFilter(QObject *watched, QEvent *event)
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
