#pragma once

// The watch-list editor's network tree: the network as the network browser
// presents it (providers, domains and workgroups, their computers), read one
// level at a time when a node is opened. A computer's node is marked once its
// terminal is in the edited list, and unmarked when the row goes. The tree
// also turns nodes and dropped computer names into terminals to add, and
// looks a node up for its properties.

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class NetBrowser;
class QStatusBar;
class QTreeWidget;
class QTreeWidgetItem;
struct PropertyRecord;

// Its texts are the editor window's.
class ListEditorTree {
    Q_DECLARE_TR_FUNCTIONS(ListEditor)

public:
    // Node images (indexes of the small list images).
    enum NodeImage { NodeComputer = 0, NodeDomain = 5, NodeNetwork = 7, NodeWatched = 18 };

    // A terminal to add: a computer node, or a dropped computer (no node).
    struct Candidate {
        QTreeWidgetItem *node = nullptr;
        QString resource;
        QString user; // the comment, or the name when there is none
        QString domain;
        QString provider;
    };

    // tree and status are the editor's; the tree gets its root node here.
    // commentFirst tells the node texts' form, isWatched whether a resource
    // name is in the edited list.
    ListEditorTree(QTreeWidget *tree, QStatusBar *status, NetBrowser &net, std::function<bool()> commentFirst,
                std::function<bool(const QString &)> isWatched);

    // Shows the main window's tray image while the network is searched (1)
    // and afterwards (0); empty when there is none.
    std::function<void(int)> SetTrayImage;

    // The root (the whole network).
    QTreeWidgetItem *RootNode() const;
    static int NodeImageOf(const QTreeWidgetItem *node);
    bool IsComputerNode(const QTreeWidgetItem *node) const;
    // A computer or a domain or workgroup: what "add" takes.
    bool IsAddable(const QTreeWidgetItem *node) const;
    // The computer node of a resource name anywhere in the tree, or null.
    QTreeWidgetItem *FindComputerNode(const QString &resourceName) const;

    // The node's children rebuilt from the network.
    void ExpandNode(QTreeWidgetItem *node);
    // Everything below the root is dropped, to be read again.
    void Reset();
    void MarkWatched(QTreeWidgetItem *node, bool watched);
    // No computer stays marked: the edited list has been emptied.
    void ClearWatchedMarks();

    // The terminals "add" takes from a node: the computer itself, or every
    // computer of a domain or workgroup (read first when it has not been).
    // False when the node is neither; group tells which it was.
    bool CandidatesOf(QTreeWidgetItem *node, QList<Candidate> &candidates, bool &group);
    // A computer dropped by name: its domain, comment and provider are
    // searched for among the provider's workgroups.
    Candidate DroppedComputer(const QString &name);
    // What the property dialog shows of a node; false when the network could
    // not be asked.
    bool ReadProperties(QTreeWidgetItem *node, PropertyRecord &record);

    void SetStatus(const QString &text);

private:
    QString ProviderName(const QTreeWidgetItem *node) const;
    int ProviderIndex(const QString &provider);
    Candidate NodeCandidate(QTreeWidgetItem *node) const;
    // The node's container name for a computer's domain: empty for the
    // root and for a provider.
    QString DomainOf(const QTreeWidgetItem *parent) const;

    QTreeWidget *tree_;
    QStatusBar *status_;
    NetBrowser &net_;
    std::function<bool()> commentFirst_;
    std::function<bool(const QString &)> isWatched_;
    // Provider names by first sight; each node holds its provider's index.
    QStringList providers_;
};
