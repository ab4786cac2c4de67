#pragma once

// The "Microsoft Windows Network" of today: what SMB browsing lists (only
// where SMB1 and a master browser still exist) together with the computers
// that announce themselves by WS-Discovery, as current systems do with SMB1
// and the browse service off.
//
// For the workgroups and for the computers of a workgroup the two lists are
// joined: a name found by either is there, once, as the browse list writes
// it where both have it. A failure of one source is no failure while the
// other answers. Providers and share lists are the browse back end's alone;
// the shares of a computer found by WS-Discovery are asked of the address it
// answered from.

#include "platform/NetBrowser.h"

#include <QHash>

#include <memory>
#include <mutex>

class WsDiscovery;

class DiscoveringNetBrowser : public NetBrowser {
public:
    DiscoveringNetBrowser(std::unique_ptr<NetBrowser> browse, std::unique_ptr<WsDiscovery> discovery);
    ~DiscoveringNetBrowser() override;

    quint32 Open(quint32 scope, quint32 type, quint32 usage, const NetResource &container,
                 std::unique_ptr<NetEnumeration> &out) override;

private:
    std::unique_ptr<NetBrowser> browse_;
    std::unique_ptr<WsDiscovery> discovery_;
    // The address each computer found by WS-Discovery answered from, by
    // its upper-case name: its name may resolve nowhere (no NetBIOS, no DNS
    // entry). Written by the looks, read by share lists on other threads.
    std::mutex addressesMutex_;
    QHash<QString, quint32> addresses_;
};
