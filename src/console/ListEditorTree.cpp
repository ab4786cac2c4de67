#include "console/ListEditorTree.h"

#include "console/ConsoleImages.h"
#include "console/ListEditorRules.h"
#include "console/PropertiesDialog.h"
#include "engine/NetSearch.h"
#include "platform/Cp932.h"
#include "platform/NetBrowser.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include <algorithm>

#include <memory>

namespace {

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

void setNodeImage(QTreeWidgetItem *node, int image)
{
    node->setData(0, ImageRole, image);
    node->setIcon(0, QIcon(SharedImages().SmallImage(image)));
}

quint32 displayType(const QTreeWidgetItem *node)
{
    return node->data(0, DisplayTypeRole).toUInt();
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

// A computer's node text keeps its name and comment at fixed byte columns
// (what the list's entries are read back from). It is drawn as two columns
// in the desktop's own font: the second starts where the widest first part
// among the node's siblings ends, so comments line up without a typewriter
// font and none is cut.
class NodeTextDelegate : public QStyledItemDelegate {
public:
    NodeTextDelegate(QObject *parent, std::function<bool()> commentFirst)
        : QStyledItemDelegate(parent), commentFirst_(std::move(commentFirst))
    {
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QString first, second;
        if (!split(index, first, second)) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        opt.text.clear();
        const QWidget *widget = opt.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        text.adjust(margin, 0, -margin, 0);
        painter->save();
        painter->setFont(opt.font);
        painter->setPen(opt.palette.color(opt.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, first);
        text.setLeft(text.left() + tab(index, opt.fontMetrics));
        painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, second);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QString first, second;
        if (!split(index, first, second))
            return QStyledItemDelegate::sizeHint(option, index);
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        opt.text = first;
        const QWidget *widget = opt.widget;
        QSize size = (widget ? widget->style() : QApplication::style())
                         ->sizeFromContents(QStyle::CT_ItemViewItem, &opt, QSize(), widget);
        size.rwidth() += tab(index, opt.fontMetrics) - opt.fontMetrics.horizontalAdvance(first)
            + opt.fontMetrics.horizontalAdvance(second);
        return size;
    }

private:
    static bool isComputer(const QModelIndex &index)
    {
        const int image = index.data(ImageRole).toInt();
        return index.parent().isValid()
            && (image == ListEditorTree::NodeComputer || image == ListEditorTree::NodeWatched);
    }

    int firstColumns() const { return commentFirst_() ? 50 : 17; }

    bool split(const QModelIndex &index, QString &first, QString &second) const
    {
        if (!isComputer(index))
            return false;
        const QString text = index.data(Qt::DisplayRole).toString();
        first = ByteColumns(text, 1, firstColumns()).trimmed();
        second = ByteColumns(text, firstColumns() + 1, int(Cp932::byteLength(text)));
        return !second.isEmpty();
    }

    // Where the second part starts: after the widest first part among the
    // siblings, and a gap.
    int tab(const QModelIndex &index, const QFontMetrics &metrics) const
    {
        const QModelIndex parent = index.parent();
        const QAbstractItemModel *model = index.model();
        const Key key{parent.internalPointer(), parent.row(), model->rowCount(parent), firstColumns()};
        if (!(key == key_)) {
            int widest = 0;
            for (int row = 0; row < key.rows; ++row) {
                const QModelIndex sibling = model->index(row, 0, parent);
                if (isComputer(sibling))
                    widest = std::max(widest, metrics.horizontalAdvance(ByteColumns(
                                                  sibling.data().toString(), 1, key.columns).trimmed()));
            }
            key_ = key;
            tab_ = widest + metrics.horizontalAdvance(QStringLiteral("MM"));
        }
        return tab_;
    }

    struct Key {
        const void *parent = nullptr;
        int row = -1, rows = -1, columns = 0;
        bool operator==(const Key &) const = default;
    };
    std::function<bool()> commentFirst_;
    mutable Key key_;
    mutable int tab_ = 0;
};

} // namespace

ListEditorTree::ListEditorTree(QTreeWidget *tree, QStatusBar *status, NetBrowser &net, std::function<bool()> commentFirst,
                         std::function<bool(const QString &)> isWatched)
    : tree_(tree), status_(status), net_(net), commentFirst_(std::move(commentFirst)),
      isWatched_(std::move(isWatched))
{
    tree_->setHeaderHidden(true);
    // Long node texts scroll sideways rather than lose their end.
    tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree_->header()->setStretchLastSection(false);
    tree_->setExpandsOnDoubleClick(false);
    tree_->setItemDelegate(new NodeTextDelegate(tree_, commentFirst_));
    status_->setSizeGripEnabled(false);

    auto *root = new QTreeWidgetItem(tree_, QStringList{tr("ネットワーク全体")});
    root->setData(0, ProviderRole, -1);
    root->setData(0, DisplayTypeRole, NetDisplay::Network);
    setNodeImage(root, NodeNetwork);
    tree_->setCurrentItem(root);
}

QTreeWidgetItem *ListEditorTree::RootNode() const
{
    return tree_->topLevelItem(0);
}

int ListEditorTree::NodeImageOf(const QTreeWidgetItem *node)
{
    return node ? node->data(0, ImageRole).toInt() : -1;
}

bool ListEditorTree::IsComputerNode(const QTreeWidgetItem *node) const
{
    const int image = NodeImageOf(node);
    return node && node != RootNode() && (image == NodeComputer || image == NodeWatched);
}

bool ListEditorTree::IsAddable(const QTreeWidgetItem *node) const
{
    return node && (IsComputerNode(node) || displayType(node) == NetDisplay::Domain);
}

QString ListEditorTree::ProviderName(const QTreeWidgetItem *node) const
{
    return providers_.value(node->data(0, ProviderRole).toInt());
}

int ListEditorTree::ProviderIndex(const QString &provider)
{
    qsizetype i = providers_.indexOf(provider);
    if (i < 0) {
        providers_ << provider;
        i = providers_.size() - 1;
    }
    return int(i);
}

QString ListEditorTree::DomainOf(const QTreeWidgetItem *parent) const
{
    if (!parent || parent == RootNode() || displayType(parent) == NetDisplay::Network)
        return QString();
    return parent->text(0);
}

QTreeWidgetItem *ListEditorTree::FindComputerNode(const QString &resourceName) const
{
    QList<QTreeWidgetItem *> pending{RootNode()};
    while (!pending.isEmpty()) {
        QTreeWidgetItem *node = pending.takeFirst();
        if (!node)
            continue;
        if (IsComputerNode(node)) {
            QString resource, user;
            ParseComputerNodeText(node->text(0), commentFirst_(), resource, user);
            if (resource == resourceName)
                return node;
        }
        for (int i = 0; i < node->childCount(); ++i)
            pending << node->child(i);
    }
    return nullptr;
}

void ListEditorTree::SetStatus(const QString &text)
{
    status_->showMessage(text);
    status_->repaint();
}

void ListEditorTree::Reset()
{
    // Node texts change their form: everything below the root is read again.
    if (QTreeWidgetItem *root = RootNode()) {
        qDeleteAll(root->takeChildren());
        tree_->setCurrentItem(root);
    }
}

void ListEditorTree::MarkWatched(QTreeWidgetItem *node, bool watched)
{
    setNodeImage(node, watched ? NodeWatched : NodeComputer);
}

void ListEditorTree::ClearWatchedMarks()
{
    // A node left marked once its row has gone could never be added again.
    QList<QTreeWidgetItem *> pending{RootNode()};
    while (!pending.isEmpty()) {
        QTreeWidgetItem *node = pending.takeFirst();
        if (IsComputerNode(node) && NodeImageOf(node) == NodeWatched)
            MarkWatched(node, false);
        for (int i = 0; node && i < node->childCount(); ++i)
            pending << node->child(i);
    }
}

void ListEditorTree::ExpandNode(QTreeWidgetItem *node)
{
    if (!node || IsComputerNode(node))
        return;
    SetStatus(tr("%1 検索中...").arg(node->text(0)));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (SetTrayImage)
        SetTrayImage(1);

    qDeleteAll(node->takeChildren());
    NetResource container;
    container.Scope = NetScope::GlobalNet;
    container.Type = NetType::Any;
    if (node != RootNode()) {
        container.DisplayType = displayType(node);
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
        const bool commentFirst = commentFirst_();
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
                image = isWatched_(name) ? NodeWatched : NodeComputer;
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
}

ListEditorTree::Candidate ListEditorTree::NodeCandidate(QTreeWidgetItem *node) const
{
    Candidate c;
    c.node = node;
    ParseComputerNodeText(node->text(0), commentFirst_(), c.resource, c.user);
    c.provider = ProviderName(node);
    return c;
}

bool ListEditorTree::CandidatesOf(QTreeWidgetItem *node, QList<Candidate> &candidates, bool &group)
{
    candidates.clear();
    group = false;
    if (!node)
        return false;
    if (IsComputerNode(node)) {
        Candidate c = NodeCandidate(node);
        c.domain = DomainOf(node->parent());
        candidates << c;
        return true;
    }
    if (displayType(node) != NetDisplay::Domain)
        return false;
    group = true;
    if (node->childCount() == 0)
        ExpandNode(node);
    for (int i = 0; i < node->childCount(); ++i) {
        QTreeWidgetItem *child = node->child(i);
        if (!IsComputerNode(child))
            continue;
        Candidate c = NodeCandidate(child);
        c.domain = node->text(0);
        candidates << c;
    }
    return true;
}

ListEditorTree::Candidate ListEditorTree::DroppedComputer(const QString &name)
{
    Candidate c;
    c.resource = name;
    SetStatus(tr("%1 検索中...").arg(c.resource));
    QString comment;
    if (!locateComputer(net_, c.resource, c.domain, comment, c.provider))
        c.provider = SmbProviderName;
    c.user = comment.isEmpty() ? c.resource : comment;
    return c;
}

bool ListEditorTree::ReadProperties(QTreeWidgetItem *node, PropertyRecord &record)
{
    if (node == RootNode()) {
        record.ResourceName = node->text(0);
        record.ImageIndex = NodeNetwork;
        return true;
    }
    const quint32 display = displayType(node);
    NetNode found;
    QString container;
    QString name = node->text(0);
    if (IsComputerNode(node)) {
        ParseComputerNodeText(node->text(0), commentFirst_(), record.ResourceName, record.UserName);
        name = record.ResourceName;
        QTreeWidgetItem *parent = node->parent();
        container = parent->data(0, RemoteNameRole).toString();
        found.NodeType = displayType(parent) == NetDisplay::Domain ? NetNodeType::Domain : NetNodeType::Other;
        record.Domain = DomainOf(parent);
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
    SetStatus(tr("%1 調査中...").arg(node->text(0)));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int result = FindNetResource(net_, container, ProviderName(node), name, found);
    QApplication::restoreOverrideCursor();
    SetStatus(QString());
    if (result == NetError)
        return false;
    record.Comment = found.Comment;
    record.Provider = result == NetFound ? found.Provider : ProviderName(node);
    return true;
}
