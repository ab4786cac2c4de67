#pragma once

// One UDP datagram sent from a throw-away socket.

#include <QByteArrayView>
#include <QtGlobal>

namespace Datagram {

// Sends bytes to address:port (address in network byte order) with
// broadcast permission, so that the limited broadcast address may be used.
// Nothing is sent when the permission cannot be set. True when sent.
bool sendBroadcast(quint32 address, quint16 port, QByteArrayView bytes);

} // namespace Datagram
