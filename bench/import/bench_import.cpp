// Prints the time to import a 1,000,000-row, 20-column comma-delimited file, the time of the
// sqlite3 shell's .import of the same file, their ratio, and the time of the statistics pass
// over the imported table. Files live in /tmp and are removed afterwards.
#include "core/prompts.h"
#include "core/status.h"
#include "data/datadef.h"
#include "data/textimport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kRows = 1000000;
constexpr int kColumns = 20;

// Answers every prompt the first way and remembers whether any came (none should).
class SilentPrompter final : public IPrompter {
public:
    MsgResult messageBox(const MessageRequest& r) override
    {
        std::fprintf(stderr, "unexpected box: %s\n", qPrintable(r.text));
        failed = true;
        return MsgResult::Ok;
    }
    FileDialogResult fileDialog(const FileDialogRequest&) override { return {}; }
    bool failed = false;
};

// Keeps the last message, and times the progress reports: how many, the longest wait between
// two of them, and when the writing began (the report of 17 %).
class StatusEcho final : public IStatusSink {
public:
    void message(const QString& text) override { last = text; }
    void progress(int percent) override
    {
        if (percent == 0) {
            reports = 0;
            longestGapMs = 0;
            m_start.start();
        } else if (m_gap.isValid() && double(m_gap.nsecsElapsed()) / 1e6 > longestGapMs) {
            longestGapMs = double(m_gap.nsecsElapsed()) / 1e6;
            gapEndedAt = percent;
        }
        if (percent == 17)
            writingFrom = double(m_start.nsecsElapsed()) / 1e9;
        ++reports;
        m_gap.start();
    }
    void setProjectPanel(const QString&) override {}
    void setNodesPanel(const QString&) override {}
    QString last;
    int reports = 0;
    double longestGapMs = 0;
    int gapEndedAt = 0;
    double writingFrom = 0;

private:
    QElapsedTimer m_start;
    QElapsedTimer m_gap;
};

// Eight whole-number columns, eight decimal ones, two small-text ones and two flags: what a
// data set for the networks looks like.
void WriteCsv(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    QByteArray header;
    for (int c = 0; c < kColumns; ++c)
        header += (c ? "," : "") + QByteArray("col") + QByteArray::number(c);
    f.write(header + "\n");
    uint64_t state = 88172645463325252ull;
    auto next = [&] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    static const char* const kWords[] = {"alpha", "beta", "gamma", "delta", "epsilon"};
    QByteArray line;
    char buf[64];
    for (int r = 0; r < kRows; ++r) {
        line.clear();
        for (int c = 0; c < kColumns; ++c) {
            if (c)
                line += ',';
            const uint64_t x = next();
            int n = 0;
            if (c < 8)
                n = std::snprintf(buf, sizeof buf, "%d", int(x % 100000));
            else if (c < 16)
                n = std::snprintf(buf, sizeof buf, "%d.%02d", int(x % 1000), int((x >> 20) % 100));
            else if (c < 18)
                n = std::snprintf(buf, sizeof buf, "%s", kWords[x % 5]);
            else
                n = std::snprintf(buf, sizeof buf, "%d", int(x & 1));
            line.append(buf, n);
        }
        line += '\n';
        f.write(line);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir(QStringLiteral("/tmp/bench_import-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    SilentPrompter prompter;
    Prompts::Install(&prompter);
    StatusEcho status;
    Status::Install(&status);

    const QString csv = dir.path() + QStringLiteral("/bench.csv");
    QElapsedTimer t;
    t.start();
    WriteCsv(csv);
    std::printf("bench_import: %d rows x %d columns, %.1f MB written in %.2f s\n", kRows, kColumns,
                double(QFileInfo(csv).size()) / 1e6, double(t.elapsed()) / 1000.0);

    t.restart();
    Utilities::LoadTextFile(csv);
    const double ours = double(t.elapsed()) / 1000.0;
    if (prompter.failed || !status.last.endsWith(QStringLiteral(" successful."))) {
        std::fprintf(stderr, "import failed: %s\n", qPrintable(status.last));
        return 1;
    }
    std::printf("  LoadTextFile (typed, key added):     %7.2f s\n", ours);
    std::printf("  progress: %d reports, longest wait between two %.0f ms (target <= 100 ms; ended by the report "
                "of %d %%), writing from %.2f s\n",
                status.reports, status.longestGapMs, status.gapEndedAt, status.writingFrom);

    const QString shellDb = dir.path() + QStringLiteral("/shell.db");
    t.restart();
    const int rc = QProcess::execute(QStringLiteral("sqlite3"),
                                     {shellDb, QStringLiteral(".import --csv ") + csv +
                                                   QStringLiteral(" bench")});
    const double shell = double(t.elapsed()) / 1000.0;
    if (rc != 0) {
        std::fprintf(stderr, "sqlite3 shell failed (%d)\n", rc);
        return 1;
    }
    std::printf("  sqlite3 shell .import (text only):   %7.2f s\n", shell);
    std::printf("  ratio ours / shell:                  %7.2f (target <= 1.2)\n", ours / shell);

    CDataDef ddo;
    ddo.Initialize(dir.path() + QStringLiteral("/bench.mdb"), QStringLiteral("bench"));
    t.restart();
    ddo.GatherStats(true);
    const double stats = double(t.elapsed()) / 1000.0;
    std::printf("  GatherStats over %d fields:          %7.2f s (InitDone %s)\n", ddo.NumFields(),
                stats, ddo.InitDone() ? "True" : "False");
    Prompts::Install(nullptr);
    Status::Install(nullptr);
    return prompter.failed ? 1 : 0;
}
