// The day report over a record file of 10 MB (a day of a large office, or a
// file a template without %d keeps for months): text and XML records, read,
// reported and drawn as the page, beside reading the same file alone (read
// and decode the text; libxml2 parsing the XML).
//
//   bench_report [--benchmark_filter=...]

#include "config/Settings.h"
#include "events/DayReport.h"
#include "platform/Cp932.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include <libxml/parser.h>

#include <cstdlib>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

QTemporaryDir *scratch = nullptr;
const QDate Day(2026, 12, 6);
constexpr int Users = 300;
constexpr int NamesPerRecord = 3;

QString path(const char *extension) { return scratch->path() + QStringLiteral("/KR20261206.") + QLatin1String(extension); }

// Records over the whole day, each logging three users in or out in turn,
// until the file holds `bytes`.
void writeFiles(qint64 bytes)
{
    static const char16_t days[] = u"日月火水木金土";
    QByteArray text, xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n";
    std::vector<bool> in(Users, false);
    const int records = int(bytes / 110);
    for (int i = 0; text.size() < bytes; ++i) {
        const int second = int(qint64(i) * 86400 / (records + 1)) % 86400;
        const int first = (i * NamesPerRecord) % Users;
        const bool login = !in[first];
        const QString time = QString::asprintf("%02d:%02d:%02d", second / 3600, second / 60 % 60, second % 60);
        QString block = (login ? u"[Login]--------------[2026/12/06("_s : u"[Logout]-------------[2026/12/06("_s)
            + QChar(days[0]) + u") "_s + time + u"]-----------------\r\n"_s;
        xml += QStringLiteral("\t<%1 year=\"2026\" month=\"12\" day=\"06\" hour=\"%2\" min=\"%3\" sec=\"%4\">\n")
                   .arg(login ? u"login" : u"logout", time.left(2), time.mid(3, 2), time.right(2))
                   .toUtf8();
        for (int n = 0; n < NamesPerRecord; ++n) {
            const int u = (first + n) % Users;
            in[u] = login;
            const QString name = QStringLiteral("利用者%1").arg(u, 3, 10, QLatin1Char('0'));
            block += name + u"\r\n"_s;
            xml += "\t\t<user name=\"" + name.toUtf8() + "\"/>\n";
        }
        text += Cp932::encode(block + u".\r\n"_s);
        xml += login ? "\t</login>\n" : "\t</logout>\n";
    }
    xml += "</root>\n";
    for (const auto &[name, data] : {std::pair{"log", text}, std::pair{"xml", xml}}) {
        QFile f(path(name));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size())
            std::abort();
    }
}

ProgramSettings settings(const char *extension)
{
    ProgramSettings s;
    s.ProgramDir = scratch->path() + u'/';
    s.Login.RecordFile = s.Logout.RecordFile = s.Access.RecordFile = QStringLiteral("KR%y%m%d");
    s.Login.RecordFileExp = s.Logout.RecordFileExp = s.Access.RecordFileExp = QLatin1String(extension);
    return s;
}

void report(benchmark::State &state, const char *extension)
{
    const ProgramSettings s = settings(extension);
    const QDateTime later(Day.addDays(1), QTime(7, 0));
    qsizetype size = 0;
    for (auto _ : state) {
        const DayReport r = MakeDayReport(s, Day, later, {});
        if (r.Rows.size() != Users || !r.Notes.isEmpty())
            state.SkipWithError("the records were not all read");
        size = DayReportHtml(r).size();
        benchmark::DoNotOptimize(size);
    }
}

void BM_DayReportText(benchmark::State &state) { report(state, "log"); }
void BM_DayReportXml(benchmark::State &state) { report(state, "xml"); }

void BM_ReadAndDecodeText(benchmark::State &state)
{
    for (auto _ : state) {
        QFile f(path("log"));
        if (!f.open(QIODevice::ReadOnly))
            state.SkipWithError("no file");
        benchmark::DoNotOptimize(Cp932::decode(f.readAll()).size());
    }
}

void BM_Libxml2ParseAlone(benchmark::State &state)
{
    const QByteArray name = QFile::encodeName(path("xml"));
    for (auto _ : state) {
        xmlDocPtr doc = xmlReadFile(name.constData(), nullptr, XML_PARSE_NONET);
        if (!doc)
            state.SkipWithError("no document");
        xmlFreeDoc(doc);
    }
}

} // namespace

BENCHMARK(BM_DayReportText)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadAndDecodeText)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DayReportXml)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Libxml2ParseAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return 2;
    scratch = &dir;
    writeFiles(10 << 20);
    xmlInitParser();
    const int rc = bench::runBenchmarks(argc, argv);
    scratch = nullptr;
    return rc;
}
