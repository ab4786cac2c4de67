#include "platform/FixtureNetBrowser.h"

#include "platform/Cp932.h"
#include "platform/ListedEnumeration.h"

#include <QFile>

namespace {

struct Node {
    QString name;
    QString comment;
    quint32 openError = 0;
    quint32 readError = 0;
    quint32 closeError = 0;
    int depth = 0;
    QList<Node> children;
};

quint32 number(const QString &text)
{
    bool ok = false;
    const quint32 n = text.toUInt(&ok);
    return ok ? n : NetCode::ExtendedError;
}

// The providers of the file; false when it cannot be read.
bool readTree(const QString &path, QList<Node> &providers)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString text = Cp932::decode(file.readAll());
    // The chain of open nodes from a provider down to the last node read,
    // with the indentation each was written at.
    QList<std::pair<int, Node *>> chain;
    for (QString line : text.split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u'#'))
            continue;
        int indent = 0;
        while (indent < line.size() && (line[indent] == u' ' || line[indent] == u'\t'))
            ++indent;
        const QStringList items = trimmed.split(u';');
        Node node;
        node.name = items.first().trimmed();
        for (qsizetype i = 1; i < items.size(); ++i) {
            const QString key = items[i].section(u'=', 0, 0).trimmed();
            const QString value = items[i].section(u'=', 1);
            if (key == u"comment")
                node.comment = value;
            else if (key == u"open")
                node.openError = number(value.trimmed());
            else if (key == u"read")
                node.readError = number(value.trimmed());
            else if (key == u"close")
                node.closeError = number(value.trimmed());
        }
        while (!chain.isEmpty() && chain.last().first >= indent)
            chain.removeLast();
        // Shares are the deepest level; anything indented further is taken
        // as another share of the same computer.
        while (chain.size() > 3)
            chain.removeLast();
        node.depth = int(chain.size());
        QList<Node> &siblings = chain.isEmpty() ? providers : chain.last().second->children;
        siblings.append(node);
        chain.append({indent, &siblings.last()});
    }
    return true;
}

bool sameName(const QString &a, const QString &b)
{
    // Networks look names up without regard to letter case; the searches
    // over the lists they return are the ones that compare exactly.
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString withoutLeadingBackslashes(const QString &name)
{
    qsizetype i = 0;
    while (i < name.size() && name[i] == u'\\')
        ++i;
    return name.mid(i);
}

NetResource entryFor(const Node &node, const QString &provider, const QString &computer)
{
    NetResource r;
    r.Scope = NetScope::GlobalNet;
    r.Type = NetType::Any;
    r.Comment = node.comment;
    r.Provider = provider;
    switch (node.depth) {
    case 0:
        r.DisplayType = NetDisplay::Network;
        r.Usage = NetUsage::Container | NetUsage::Reserved;
        r.RemoteName = node.name;
        break;
    case 1:
        r.DisplayType = NetDisplay::Domain;
        r.Usage = NetUsage::Container;
        r.RemoteName = node.name;
        break;
    case 2:
        r.DisplayType = NetDisplay::Server;
        r.Usage = NetUsage::Container;
        r.RemoteName = QStringLiteral("\\\\") + node.name;
        break;
    default:
        r.DisplayType = NetDisplay::Share;
        r.Usage = NetUsage::Connectable;
        r.RemoteName = QStringLiteral("\\\\") + computer + u'\\' + node.name;
        break;
    }
    return r;
}

quint32 openNode(const Node &node, const QString &provider, std::unique_ptr<NetEnumeration> &out)
{
    if (node.openError != 0)
        return node.openError;
    QList<NetResource> entries;
    for (const Node &child : node.children)
        entries.append(entryFor(child, provider, node.name));
    out = std::make_unique<ListedEnumeration>(std::move(entries), node.readError, node.closeError);
    return NetCode::Success;
}

} // namespace

FixtureNetBrowser::FixtureNetBrowser(QString path) : path_(std::move(path)) {}

quint32 FixtureNetBrowser::Open(quint32, quint32, quint32, const NetResource &container,
                                std::unique_ptr<NetEnumeration> &out)
{
    out.reset();
    QList<Node> providers;
    if (!readTree(path_, providers))
        return NetCode::NoNetwork;

    const bool anyProvider = container.Provider.isEmpty();
    if (container.RemoteName.isEmpty()) {
        if (anyProvider || !(container.Usage & NetUsage::Reserved)) {
            QList<NetResource> entries;
            for (const Node &p : providers)
                entries.append(entryFor(p, p.name, {}));
            out = std::make_unique<ListedEnumeration>(std::move(entries));
            return NetCode::Success;
        }
        for (const Node &p : providers)
            if (p.name == container.Provider)
                return openNode(p, p.name, out);
        return NetCode::BadProvider;
    }

    const bool computer = container.RemoteName.startsWith(u"\\\\");
    const QString name = withoutLeadingBackslashes(container.RemoteName).section(u'\\', 0, 0);
    for (const Node &p : providers) {
        if (!anyProvider && p.name != container.Provider)
            continue;
        for (const Node &domain : p.children) {
            if (!computer) {
                if (sameName(domain.name, name))
                    return openNode(domain, p.name, out);
                continue;
            }
            for (const Node &host : domain.children)
                if (sameName(host.name, name))
                    return openNode(host, p.name, out);
        }
    }
    return NetCode::BadNetName;
}
