#pragma once

// This machine's up IPv4 interfaces other than loopback: where the local
// network's name and discovery services are asked.

#include <QList>
#include <QtGlobal>

struct LocalInterface {
    quint32 address = 0;  // host order
    quint32 mask = 0;     // host order
    int index = 0;
    bool broadcast = false;
    bool multicast = false;
};

QList<LocalInterface> UpIPv4Interfaces();
