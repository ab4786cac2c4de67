#pragma once

// A network tree written in a text file (code page 932), browsed like the
// real network. For tests and demonstrations.
//
// One node a line; indentation gives the depth: providers, their domains and
// workgroups, the computers each lists, a computer's shares. After the name,
// ";key=value" items set a comment or make the node fail like a network
// would:
//
//     # lines beginning with # are comments
//     Microsoft Windows Network
//       WORKGROUP
//         PC01;comment=Front desk
//           public
//         PC02;open=67          (its share list cannot be had: bad net name)
//       SALES;open=1222         (the workgroup cannot be opened)
//
// open=N: opening this node as a container answers N; read=N: reading its
// list answers N; close=N: closing it answers N.
//
// The file is read again at every open, so a test or a demonstration can
// change the network between passes by rewriting it.

#include "platform/NetBrowser.h"

class FixtureNetBrowser : public NetBrowser {
public:
    explicit FixtureNetBrowser(QString path);

    quint32 Open(quint32 scope, quint32 type, quint32 usage, const NetResource &container,
                 std::unique_ptr<NetEnumeration> &out) override;

    const QString &Path() const { return path_; }

private:
    QString path_;
};
