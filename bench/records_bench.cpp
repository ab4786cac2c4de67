// One record appended to a record file: an XML record to files of 10 KB,
// 1 MB and 10 MB, one after another as a running program writes them and as
// the first record to a file this process did not save last, beside libxml2
// alone doing the same (read the file, add one element, write a new file and
// rename it over the old); and one text record, beside a bare append of the
// same bytes.
//
//   bench_records [--benchmark_filter=...]

#include "config/Settings.h"
#include "events/RecordFile.h"
#include "platform/Cp932.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

QTemporaryDir *scratch = nullptr;

const QDateTime When(QDate(2026, 12, 6), QTime(9, 5, 0));
const QStringList Lines = {QStringLiteral("利用者1\tPC00001"), QStringLiteral("利用者2\tPC00002"),
                           QStringLiteral("利用者3\tPC00003")};

QString path(const QString &name) { return scratch->path() + u'/' + name; }

// A record file as the program writes it, grown to at least `bytes`.
QByteArray xmlFileOf(qint64 bytes)
{
    QByteArray text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n";
    const QByteArray record = "\t<login year=\"2026\" month=\"12\" day=\"06\" hour=\"09\" min=\"05\" sec=\"00\">\n"
                              "\t\t<user name=\"PC00001\"/>\n\t\t<user name=\"PC00002\"/>\n\t</login>\n";
    while (text.size() < bytes)
        text += record;
    text += "</root>\n";
    return text;
}

void writeFile(const QString &p, const QByteArray &bytes)
{
    QFile f(p);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        std::abort();
}

ProgramSettings recordSettings(const QString &name, const QString &extension)
{
    ProgramSettings s;
    s.ProgramDir = scratch->path() + u'/';
    s.Config.XMLEncoding = QStringLiteral("UTF-8");
    s.Login.RecordFile = s.Logout.RecordFile = name;
    s.Login.RecordFileExp = s.Logout.RecordFileExp = extension;
    return s;
}

// Records appended one after another to a file this process saved last, as
// a running program writes them. The file starts again from its first size
// once it has grown by a tenth, untimed, so a small file stays small.
void BM_XmlRecord(benchmark::State &state)
{
    const QByteArray original = xmlFileOf(state.range(0));
    const QString name = QStringLiteral("xml%1").arg(state.range(0));
    const ProgramSettings s = recordSettings(name, QStringLiteral("xml"));
    const QString file = path(name + QStringLiteral(".xml"));
    const auto start = [&] {
        writeFile(file, original);
        return WriteRecord(RecordKind::Login, Lines, s, When, {});
    };
    if (!start()) {
        state.SkipWithError("the record was not written");
        return;
    }
    for (auto _ : state) {
        if (QFileInfo(file).size() > original.size() + original.size() / 10) {
            state.PauseTiming();
            const bool started = start();
            state.ResumeTiming();
            if (!started) {
                state.SkipWithError("the record was not written");
                return;
            }
        }
        if (!WriteRecord(RecordKind::Login, Lines, s, When, {})) {
            state.SkipWithError("the record was not written");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// The first record to a file this process did not save last (after a start,
// or after another hand wrote it): the whole file is loaded and saved.
void BM_XmlRecordFirst(benchmark::State &state)
{
    const QByteArray original = xmlFileOf(state.range(0));
    const QString name = QStringLiteral("first%1").arg(state.range(0));
    const ProgramSettings s = recordSettings(name, QStringLiteral("xml"));
    const QString file = path(name + QStringLiteral(".xml"));
    for (auto _ : state) {
        state.PauseTiming();
        writeFile(file, original);
        state.ResumeTiming();
        if (!WriteRecord(RecordKind::Login, Lines, s, When, {})) {
            state.SkipWithError("the record was not written");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_XmlRecordLibxml2Alone(benchmark::State &state)
{
    const QByteArray original = xmlFileOf(state.range(0));
    const QByteArray file = path(QStringLiteral("bare%1.xml").arg(state.range(0))).toLocal8Bit();
    const QByteArray temporary = file + ".new";
    for (auto _ : state) {
        state.PauseTiming();
        writeFile(QString::fromLocal8Bit(file), original);
        state.ResumeTiming();
        xmlDocPtr doc = xmlReadFile(file.constData(), nullptr, XML_PARSE_NONET);
        if (!doc) {
            state.SkipWithError("libxml2 did not read the file");
            return;
        }
        xmlNodePtr record = xmlNewChild(xmlDocGetRootElement(doc), nullptr, BAD_CAST "login", nullptr);
        xmlNewProp(record, BAD_CAST "year", BAD_CAST "2026");
        for (const char *user : {"PC00001", "PC00002", "PC00003"})
            xmlNewProp(xmlNewChild(record, nullptr, BAD_CAST "user", nullptr), BAD_CAST "name", BAD_CAST user);
        const bool saved = xmlSaveFileEnc(temporary.constData(), doc, "UTF-8") > 0
            && std::rename(temporary.constData(), file.constData()) == 0;
        xmlFreeDoc(doc);
        if (!saved) {
            state.SkipWithError("libxml2 did not save the file");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_TextRecord(benchmark::State &state)
{
    const ProgramSettings s = recordSettings(QStringLiteral("text"), QStringLiteral("log"));
    QFile::remove(path(QStringLiteral("text.log")));
    for (auto _ : state) {
        if (!WriteRecord(RecordKind::Logout, Lines, s, When, {})) {
            state.SkipWithError("the record was not written");
            return;
        }
    }
}

void BM_TextRecordBareAppend(benchmark::State &state)
{
    const QByteArray block = Cp932::encode(TextRecordLines(RecordKind::Logout, Lines, When).join(QStringLiteral("\r\n"))
                                           + QStringLiteral("\r\n"));
    const QByteArray file = path(QStringLiteral("bare.log")).toLocal8Bit();
    ::unlink(file.constData());
    for (auto _ : state) {
        const int fd = ::open(file.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, block.constData(), size_t(block.size())) != block.size()) {
            state.SkipWithError("append failed");
            return;
        }
        ::close(fd);
    }
}

} // namespace

BENCHMARK(BM_XmlRecord)->Arg(10 << 10)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_XmlRecordFirst)->Arg(10 << 10)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_XmlRecordLibxml2Alone)->Arg(10 << 10)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TextRecord)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_TextRecordBareAppend)->Unit(benchmark::kMicrosecond)->UseRealTime();

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return 2;
    scratch = &dir;
    xmlInitParser();
    const int rc = bench::runBenchmarks(argc, argv);
    scratch = nullptr;
    return rc;
}
