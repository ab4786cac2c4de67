#include "engine/WatchList.h"

#include "engine/WatchListModel.h"
#include "platform/Cp932.h"
#include "platform/Journal.h"
#include "platform/SafeFile.h"

#include <QFile>
#include <QStringDecoder>

#include <cerrno>

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr int LinesPerEntry = 5;
constexpr int Line1Fields = 7;

WatchListModel::Row MakeRow(const WatchEntry &entry)
{
    WatchListModel::Row row;
    row.texts = {entry.UserName,    entry.ResourceName, entry.StatusText,
                 entry.Domain,      entry.LoginAction,  entry.LogoutAction,
                 entry.Provider,    entry.Address,      IPCheckText(entry.ResourceName, entry.IPCheck),
                 entry.Result,      entry.MAC};
    row.imageIndex = entry.ImageIndex;
    row.dataWord = PackDataWord(entry.Kind, entry.State, entry.FileOrder);
    row.iconTop = entry.IconTop;
    row.iconLeft = entry.IconLeft;
    return row;
}

QStringView ChopLineBreaks(QStringView text)
{
    while (!text.isEmpty() && (text.back() == u'\n' || text.back() == u'\r'))
        text.chop(1);
    return text;
}

// The first N TAB-separated fields of a line; missing ones stay empty.
template <size_t N>
std::array<QStringView, N> SplitFields(QStringView line)
{
    std::array<QStringView, N> fields;
    size_t n = 0;
    for (QStringView field : qTokenize(line, u'\t')) {
        if (n == N)
            break;
        fields[n++] = ChopLineBreaks(field);
    }
    return fields;
}

// A CR inside a line is no line end; it is kept as the blank a save writes
// for it, so that what a load shows is what the next save keeps (an address
// that only reads as one once the CR is a blank would otherwise change its
// form at the second save).
QString FieldText(QStringView field)
{
    QString text = field.toString();
    text.replace(u'\r', u' ');
    return text;
}

// Most entries share their domain, provider and actions: a row takes the
// row before's text when it is the same, so that a long list holds it once.
QString SharedFieldText(QStringView field, QString &previous)
{
    if (!field.isEmpty() && !field.contains(u'\r') && field == QStringView(previous))
        return previous;
    previous = FieldText(field);
    return previous;
}

int ToInt(QStringView text, int fallback)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? value : fallback;
}

// A line break inside a field would shift every later entry of the file by
// a line, and a TAB inside a TAB-separated field would shift the fields after
// it; both become spaces so the rest of the list survives the round trip.
void AppendField(QString &out, const QString &field, bool tabSeparated)
{
    auto breaks = [tabSeparated](QChar c) { return c == u'\r' || c == u'\n' || (tabSeparated && c == u'\t'); };
    if (std::none_of(field.begin(), field.end(), breaks)) {
        out += field;
        return;
    }
    for (QChar c : field)
        out += breaks(c) ? QChar(u' ') : c;
}

void PadGroup(QString &out, qsizetype groupStart, int groupLength)
{
    if (groupLength < 3)
        out.insert(groupStart, QString(3 - groupLength, u' '));
}

// Whether the page holds every character of the text. The mark of bytes a
// damaged file had already lost when it was read (the journal said so then)
// goes out as "?": there is nothing left of them to keep.
bool Storable(const QString &text)
{
    return Cp932::canEncode(text) || std::all_of(text.begin(), text.end(), [](QChar c) {
               return c == QChar::ReplacementCharacter || Cp932::canEncode(QStringView(&c, 1));
           });
}

} // namespace

QString IPCheckText(const QString &resourceName, bool ipCheck)
{
    if (resourceName == SeparatorText)
        return IPCheckNone;
    return ipCheck ? IPCheckOn : IPCheckOff;
}

bool ReadEntry(const WatchListModel &list, int row, WatchEntry &entry)
{
    if (!list.isValidRow(row))
        return false;
    const WatchListModel::Row &r = list.row(row);
    using M = WatchListModel;
    entry.ImageIndex = r.imageIndex;
    entry.FileOrder = DataWordFileOrder(r.dataWord);
    entry.UserName = r.texts[M::ColUserName];
    entry.ResourceName = r.texts[M::ColResourceName];
    entry.State = DataWordState(r.dataWord);
    entry.StatusText = r.texts[M::ColStatus];
    entry.Domain = r.texts[M::ColDomain];
    entry.LoginAction = r.texts[M::ColLoginAction];
    entry.LogoutAction = r.texts[M::ColLogoutAction];
    entry.Provider = r.texts[M::ColProvider];
    entry.Address = r.texts[M::ColAddress];
    entry.IPCheck = r.texts[M::ColIPCheck] == IPCheckOn;
    entry.MAC = r.texts[M::ColMAC];
    entry.Result = r.texts[M::ColResult];
    entry.Kind = DataWordKind(r.dataWord);
    entry.IconTop = r.iconTop;
    entry.IconLeft = r.iconLeft;
    return true;
}

void WriteEntry(const WatchEntry &entry, WatchListModel &list, int row)
{
    list.setRow(row, MakeRow(entry));
}

bool AddEntry(const WatchEntry &entry, WatchListModel &list)
{
    // The model takes a negative coordinate as "not placed".
    list.appendRow(MakeRow(entry));
    return true;
}

QString DecodeListText(const QByteArray &bytes, ListEncoding &encoding)
{
    static constexpr char Bom[] = "\xEF\xBB\xBF";
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    if (bytes.startsWith(Bom)) {
        const QString text = utf8.decode(QByteArrayView(bytes).sliced(3));
        encoding = utf8.hasError() ? ListEncoding::Damaged : ListEncoding::Utf8;
        return text;
    }
    // Half-width katakana are single code page 932 bytes A1-DF, so a pair of
    // them (ﾕｷ is D5 B7) is also a valid two-byte UTF-8 character. Every kana
    // and kanji takes three bytes in UTF-8, and a lead byte of three or more
    // (E0 and above) in a valid UTF-8 text is always such a sequence: only
    // then is a text without a mark taken for UTF-8.
    const bool longSequence = std::any_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) >= 0xE0; });
    if (longSequence) {
        const QString text = utf8.decode(bytes);
        if (!utf8.hasError()) {
            encoding = ListEncoding::Utf8;
            return text;
        }
    }
    const QString text = Cp932::decode(bytes);
    const bool clean = std::all_of(text.begin(), text.end(), [](QChar c) {
        return c != QChar::ReplacementCharacter && (c.unicode() >= 0x20 || c == u'\t' || c == u'\r' || c == u'\n');
    });
    encoding = clean ? ListEncoding::Cp932 : ListEncoding::Damaged;
    return text;
}

bool LoadList(WatchListModel &list, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;

    // Decode before looking at any character: a CP932 trail byte can be 0x5C,
    // which must not pass for a backslash.
    ListEncoding encoding = ListEncoding::Cp932;
    const QString text = DecodeListText(bytes, encoding);
    if (encoding == ListEncoding::Utf8)
        JournalMessage(JournalPriority::Notice,
                       path + QStringLiteral(" is UTF-8 text: read as such, written back in code page 932 at the next save"));
    else if (encoding == ListEncoding::Damaged)
        JournalMessage(JournalPriority::Warning,
                       path + QStringLiteral(" is damaged (neither code page 932 nor UTF-8 text): what could be read is loaded"));
    std::vector<QStringView> lines;
    for (QStringView line : qTokenize(text, u'\n'))
        lines.push_back(ChopLineBreaks(line));
    // A final line end does not start another line.
    if (!lines.empty() && !text.isEmpty() && text.back() == u'\n')
        lines.pop_back();
    if (text.isEmpty())
        lines.clear();

    const size_t entries = lines.size() / LinesPerEntry;
    std::vector<WatchListModel::Row> rows;
    rows.reserve(entries);
    QString domain, provider, loginAction, logoutAction;  // the row before's
    for (size_t group = 0; group < entries; ++group) {
        const QStringView *l = &lines[group * LinesPerEntry];
        const auto f = SplitFields<Line1Fields>(l[0]);
        const auto last = SplitFields<2>(l[4]);

        WatchEntry entry;
        QStringView resource = f[0];
        while (resource.startsWith(u'\\'))
            resource = resource.mid(1);
        entry.ResourceName = FieldText(resource);
        if (!HasFinderMark(f[1]))
            entry.Address = FieldText(f[1]);
        entry.IPCheck = f[2] == IPCheckOn;
        // Only the low byte of the data word holds the kind; a number that
        // does not fit is as malformed as one that is no number.
        int kind = ToInt(f[3], 0);
        if (kind < 0 || kind > 0xFF)
            kind = 0;
        entry.IconTop = ToInt(f[4], -1);
        entry.IconLeft = ToInt(f[5], -1);
        entry.MAC = FieldText(f[6]);
        entry.UserName = FieldText(l[1]);
        entry.LoginAction = SharedFieldText(l[2], loginAction);
        entry.LogoutAction = SharedFieldText(l[3], logoutAction);
        entry.Domain = SharedFieldText(last[0], domain);
        entry.Provider = SharedFieldText(last[1], provider);

        if (entry.ResourceName == SeparatorText) {
            entry.StatusText = SeparatorText;
            kind = KindSeparator;
        } else {
            entry.StatusText = StatusUnconfirmed;
        }
        if (!entry.Address.isEmpty())
            NormaliseAddress(entry.Address, entry.Address);
        entry.ImageIndex = UnconfirmedImage(kind);
        entry.State = EntryState(entry.ImageIndex);
        entry.FileOrder = int(group);
        entry.Kind = IconKind(kind);
        rows.push_back(MakeRow(entry));
    }
    list.appendRows(std::move(rows));
    return true;
}

bool SaveList(const WatchListModel &list, const QString &path, QString *unencodable)
{
    using M = WatchListModel;
    QString text;
    for (const M::Row &r : list.rows()) {
        // A "?" written for a name would replace it for good at the next load.
        for (int column : {M::ColResourceName, M::ColAddress, M::ColIPCheck, M::ColMAC, M::ColUserName,
                           M::ColLoginAction, M::ColLogoutAction, M::ColDomain, M::ColProvider}) {
            if (!Storable(r.texts[column])) {
                if (unencodable)
                    *unencodable = r.texts[column];
                errno = EILSEQ;
                return false;
            }
        }
        const QString &address = r.texts[M::ColAddress];
        AppendField(text, r.texts[M::ColResourceName], true);
        text += u'\t';
        // An address the pass resolved is looked up again next time.
        if (!HasFinderMark(address))
            AppendField(text, address, true);
        text += u'\t';
        AppendField(text, r.texts[M::ColIPCheck], true);
        text += u'\t';
        text += QString::number(DataWordKind(r.dataWord));
        text += u'\t';
        text += QString::number(r.iconTop);
        text += u'\t';
        text += QString::number(r.iconLeft);
        text += u'\t';
        AppendField(text, r.texts[M::ColMAC], true);
        text += u"\r\n";
        AppendField(text, r.texts[M::ColUserName], false);
        text += u"\r\n";
        AppendField(text, r.texts[M::ColLoginAction], false);
        text += u"\r\n";
        AppendField(text, r.texts[M::ColLogoutAction], false);
        text += u"\r\n";
        AppendField(text, r.texts[M::ColDomain], true);
        text += u'\t';
        AppendField(text, r.texts[M::ColProvider], true);
        text += u"\r\n";
    }
    const QByteArray bytes = Cp932::encode(text);

    // Written beside the old file and renamed over it only when complete.
    return SafeFile::replace(path, bytes);
}

bool NormaliseAddress(const QString &text, QString &out)
{
    if (text.isEmpty())
        return true;
    QString result;
    result.reserve(15);
    qsizetype groupStart = 0;
    int groupLength = 0;
    for (QChar c : text) {
        if (c == u'.') {
            PadGroup(result, groupStart, groupLength);
            result += c;
            groupStart = result.size();
            groupLength = 0;
        } else if ((c >= u'0' && c <= u'9') || c == u' ') {
            result += c;
            ++groupLength;
        } else {
            return false;
        }
    }
    PadGroup(result, groupStart, groupLength);
    if (result.size() != 15 || result[3] != u'.' || result[7] != u'.' || result[11] != u'.')
        return false;
    out = result;
    return true;
}
