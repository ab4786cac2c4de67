#pragma once

// NetBIOS names on the local network (name service, UDP 137): the address of
// a name by a name query broadcast on each interface's own subnet, and the
// name of an address by a node status query sent to it alone. Where there is
// no DNS, this is how Windows networks resolve each other's names.
//
// Both wait a bounded time and answer nothing when nobody replies. Answers
// are read as untrusted input.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

namespace Netbios {

// The first IPv4 address (network byte order) registered for the
// workstation name `name`, or 0.
quint32 addressOf(const QString &name, int timeoutMs = 750);
// The computer name of the host at `address` (network byte order), or empty.
QString nameOf(quint32 address, int timeoutMs = 500);

// Whether `name` can be a NetBIOS computer name (1-15 bytes, no dot, no
// blank or separator).
bool isName(const QString &name);

// The packets and their answers.
QByteArray nameQuery(quint16 id, const QString &name);
QByteArray nodeStatusQuery(quint16 id);
// The first address in a positive answer to query `id` about `name`, or 0.
// Query numbers are random; an answer must also name what was asked.
quint32 parseNameAnswer(QByteArrayView packet, quint16 id, const QString &name);
// The first unique workstation or server name in a node status answer to
// query `id`, or empty.
QString parseNodeStatus(QByteArrayView packet, quint16 id);

} // namespace Netbios
