#include "platform/ListedEnumeration.h"

#include "platform/Cp932.h"

namespace {
// The fixed part of one entry: four numbers and four text references.
constexpr quint32 kRecordBytes = 32;

quint32 textBytes(const QString &text)
{
    return text.isNull() ? 0 : quint32(Cp932::byteLength(text)) + 1;
}
} // namespace

quint32 NetResourceBytes(const NetResource &entry)
{
    return kRecordBytes + textBytes(entry.LocalName) + textBytes(entry.RemoteName) + textBytes(entry.Comment) +
           textBytes(entry.Provider);
}

ListedEnumeration::ListedEnumeration(QList<NetResource> entries, quint32 readError, quint32 closeError)
    : entries_(std::move(entries)), readError_(readError), closeError_(closeError)
{
}

quint32 ListedEnumeration::Read(quint32 &count, QList<NetResource> &entries, quint32 bufferBytes)
{
    if (closed_)
        return NetCode::InvalidHandle;
    if (readError_ != 0)
        return readError_;
    if (next_ >= entries_.size()) {
        count = 0;
        return NetCode::NoMoreItems;
    }
    quint32 taken = 0;
    quint32 used = 0;
    while (next_ < entries_.size() && taken < count) {
        const quint32 size = NetResourceBytes(entries_[next_]);
        if (used + size > bufferBytes)
            break;
        used += size;
        entries.append(entries_[next_++]);
        ++taken;
    }
    if (taken == 0)
        return NetCode::MoreData;
    count = taken;
    return NetCode::Success;
}

quint32 ListedEnumeration::Close()
{
    if (closed_)
        return NetCode::InvalidHandle;
    closed_ = true;
    return closeError_;
}
