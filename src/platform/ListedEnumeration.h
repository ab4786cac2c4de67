#pragma once

// An enumeration over entries already in memory. The back ends read a whole
// list when it is opened (one exchange with the network, and no network
// handle kept open while a caller pauses between batches) and hand it out
// through this.

#include "platform/NetBrowser.h"

class ListedEnumeration : public NetEnumeration {
public:
    // readError, when not 0, is what every read answers instead of entries;
    // closeError what Close answers.
    explicit ListedEnumeration(QList<NetResource> entries, quint32 readError = 0, quint32 closeError = 0);

    quint32 Read(quint32 &count, QList<NetResource> &entries, quint32 bufferBytes) override;
    quint32 Close() override;

    // Every entry, read or not.
    const QList<NetResource> &Entries() const { return entries_; }

private:
    QList<NetResource> entries_;
    qsizetype next_ = 0;
    quint32 readError_;
    quint32 closeError_;
    bool closed_ = false;
};
