// Golden check of one back-propagation and one SFAM project: each is configured over a small
// generated table, trained, tested, saved and opened again through the calls the windows make,
// and the test writes down every engine call the object made and the project file as it
// stands (every table of the SQLite file with its DDL, every row and column). The text must
// match tests/network/golden/<kind>.txt byte for byte, so that a change of the code's layout
// that changes the file or the engine's conversation shows up at once.
//
// On a mismatch the actual text is written beside the test binary (the failure names the file
// and the first line that differs). When the change is intended, rewrite the expected files:
//   KORVAN_GOLDEN_WRITE=1 build/stage/bin/test_network --gtest_filter='Golden.*'
// and review the difference in git before committing it.
//
// Masked, as they differ from run to run: the test's folder (<DIR>), the engine's working file
// name (~KV#####.Tmp), date-times (<DATE>) and the source file's time in the SFAM class list's
// stamp (<MTIME>).
#include "tests/network/netscript.h"

#include "engine/trainpass.h"
#include "network/workflowflags.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>
#include <cstring>

#ifndef KORVAN_SOURCE_DIR
#error "KORVAN_SOURCE_DIR must name the source tree"
#endif

namespace {
using kdb::Value;

QString Hash(QByteArrayView bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

template <class T>
QString HashOf(const std::vector<T>& values)
{
    return Hash(QByteArrayView(reinterpret_cast<const char*>(values.data()), qsizetype(values.size() * sizeof(T))))
        .left(16);
}

QString Number(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return QString::fromLatin1(text);
}

// Everything of a text that changes between runs, replaced by a fixed token.
class Masks {
public:
    explicit Masks(const QString& folder) : m_folder(QDir::cleanPath(folder)) {}
    QString Apply(QString text) const
    {
        text.replace(m_folder, QStringLiteral("<DIR>"));
        static const QRegularExpression engineFile(QStringLiteral("~KV\\d{5}\\.(Tmp|Lck)"));
        text.replace(engineFile, QStringLiteral("~KV#####.\\1"));
        static const QRegularExpression dateTime(
            QStringLiteral("\\d{4}-\\d\\d-\\d\\d[ T]\\d\\d:\\d\\d:\\d\\d(\\.\\d+)?"));
        text.replace(dateTime, QStringLiteral("<DATE>"));
        // The source file's time in milliseconds in the class list's stamp.
        static const QRegularExpression fileTime(QStringLiteral("\\|\\d{12,}\\|"));
        text.replace(fileTime, QStringLiteral("|<MTIME>|"));
        return text;
    }

private:
    QString m_folder;
};

QString ValueText(const Value& v, const Masks& masks)
{
    switch (v.type()) {
    case Value::Type::Null:
        return QStringLiteral("NULL");
    case Value::Type::Integer:
        return QStringLiteral("i:") + QString::number(v.toInt());
    case Value::Type::Double:
        return QStringLiteral("d:") + Number(v.toDouble());
    case Value::Type::Text: {
        QString text = masks.Apply(v.toText());
        if (text.size() > 160)
            return QStringLiteral("text len=%1 sha256=%2").arg(text.size()).arg(Hash(text.toUtf8()));
        text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
        text.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
        text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        text.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
        return QStringLiteral("t:'") + text + QLatin1Char('\'');
    }
    case Value::Type::Bytes: {
        const QByteArray bytes = v.toBytes();
        return QStringLiteral("blob len=%1 sha256=%2").arg(bytes.size()).arg(Hash(bytes));
    }
    }
    return {};
}

// The whole project file: its header values, sqlite_master, then every table's rows in rowid
// order with every column.
QString DumpFile(const QString& path, const Masks& masks)
{
    QString out;
    QTextStream s(&out);
    kdb::Database db = kdb::Database::Open(path, false, true);
    for (const char* pragma : {"user_version", "application_id", "page_size", "encoding", "auto_vacuum"})
        s << "pragma " << pragma << " = " << ValueText(db.Scalar(QStringLiteral("PRAGMA main.") + pragma), masks)
          << "\n";
    QStringList tables;
    {
        kdb::Reader r = db.Query(QStringLiteral(
            "SELECT type, name, tbl_name, sql FROM main.sqlite_master ORDER BY name COLLATE BINARY, type"));
        while (r.Next()) {
            s << "schema " << r.Text(0) << " " << r.Text(1) << " on " << r.Text(2) << ": "
              << (r.IsNull(3) ? QStringLiteral("NULL") : masks.Apply(r.Text(3))) << "\n";
            if (r.Text(0) == QLatin1String("table"))
                tables << r.Text(1);
        }
    }
    for (const QString& table : tables) {
        kdb::Reader r = db.Query(QStringLiteral("SELECT * FROM main.") + kdb::QuoteIdent(table)
                                 + QStringLiteral(" ORDER BY rowid"));
        QStringList columns;
        for (int c = 0; c < r.ColumnCount(); ++c)
            columns << r.ColumnName(c);
        s << "table " << table << " (" << columns.join(QStringLiteral(", ")) << ")\n";
        int64_t count = 0;
        while (r.Next()) {
            QStringList values;
            for (int c = 0; c < r.ColumnCount(); ++c)
                values << ValueText(r.Get(c), masks);
            s << "  " << values.join(QStringLiteral(" | ")) << "\n";
            ++count;
        }
        s << "  (" << count << " rows)\n";
    }
    return out;
}

// The program as far as the project file sees it: a workflow step and the open project's flags.
class GoldenHost : public RecordingHost {
public:
    GoldenHost() { flags.SetOfOpenProject(true); }
    ~GoldenHost() override { flags = CProcess(); }
    CProcess& flags = gProcess();
};

// A network object that writes down each engine call with what went in and what came out.
template <class Base>
class Logged : public Base {
public:
    explicit Logged(QStringList& log) : m_log(log) {}

protected:
    int32_t CallEngine(EngineCommand command) override
    {
        const QString in = Before();
        const int32_t result = Base::CallEngine(command);
        m_log << QStringLiteral("  engine %1 [%2] -> %3 [%4]").arg(Name(command), in).arg(result).arg(After());
        return result;
    }
    int32_t BeginEnginePass(kvengine::TrainPass& pass) override
    {
        const QString in = Before();
        const int32_t result = Base::BeginEnginePass(pass);
        m_log << QStringLiteral("  begin pass [%1] -> %2 (pass rows %3)").arg(in).arg(result).arg(pass.Rows());
        return result;
    }
    int32_t RunTest() override
    {
        const int32_t result = Base::RunTest();
        m_log << QStringLiteral("  run test -> %1 [%2]").arg(result).arg(After());
        return result;
    }

private:
    static QString Name(EngineCommand command)
    {
        switch (command) {
        case EngineInit: return QStringLiteral("Init");
        case EngineTrain: return QStringLiteral("Train");
        case EngineRun: return QStringLiteral("Run");
        case EngineWrite: return QStringLiteral("Write");
        case EngineRead: return QStringLiteral("Read");
        case EngineJog: return QStringLiteral("Jog");
        }
        return QString::number(int(command));
    }
    QString Before() const
    {
        return QStringLiteral("rows %1 inputs %2 patterns %3 results %4 cycles %5")
            .arg(this->State().Rows())
            .arg(this->State().NumInputs())
            .arg(HashOf(this->State().Patterns()))
            .arg(HashOf(this->Results()))
            .arg(this->State().CyclesCompleted());
    }
    QString After() const
    {
        return QStringLiteral("results %1 cycles %2").arg(HashOf(this->Results())).arg(this->State().CyclesCompleted());
    }
    QStringList& m_log;
};

class Golden : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = TestEnv::NewFolder("golden");
        // Rows 1..80: two inputs, a number to predict and a class; a few Nulls among them.
        std::vector<QList<Value>> rows;
        for (int i = 1; i <= 80; ++i) {
            const double x1 = double((i * 37) % 101) / 10.0;
            const double x2 = double((i * 53) % 89) / 8.0;
            QList<Value> row{i};
            row << (i % 17 == 5 ? Value() : Value(x1)) << x2;
            row << (i == 23 ? Value() : Value(3.0 + 1.5 * x1 - 0.75 * x2 + double(i % 3) / 4.0));
            const char* cls = x1 + x2 < 8 ? "low" : (x1 + x2 < 14 ? "Mid" : "high");
            row << (i == 31 ? Value() : Value(cls));
            rows.push_back(row);
        }
        source = NetTest::MakeSource(folder, "Data", "X1 REAL, X2 DOUBLE, Y REAL, Class TEXT", rows);
        gWorkflowStep() = 4;
        host.flags.SetIsConfigured(true);
        host.flags.SetIsSplit(true);
    }

    void Mark(const QString& what) { log << what; }
    template <class Net>
    void MarkErrors(const Net& net, const QString& what)
    {
        log << QStringLiteral("%1: current %2 best %3 dll %4 net %5 train %6 test %7 rows %8")
                   .arg(what, Number(net.State().CurrentError()), Number(BestOf(net)))
                   .arg(net.State().DLLError())
                   .arg(net.State().NetReady())
                   .arg(net.State().TrainBuilt())
                   .arg(net.State().TestBuilt())
                   .arg(net.State().Rows());
    }
    static double BestOf(const CBackProp& net) { return net.BestError(); }
    static double BestOf(const CSFam& net) { return net.BestTrainError(); }

    void Dump(const QString& project, const QString& when)
    {
        log << QStringLiteral("== project file %1").arg(when);
        const Masks masks(folder);
        log << DumpFile(project, masks).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // Compares the log with the expected file, or rewrites it when asked.
    void Compare(const QString& name)
    {
        const QString text = log.join(QLatin1Char('\n')) + QLatin1Char('\n');
        const QString expectedPath = QStringLiteral(KORVAN_SOURCE_DIR "/tests/network/golden/") + name;
        if (qEnvironmentVariableIntValue("KORVAN_GOLDEN_WRITE") == 1) {
            QFile out(expectedPath);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate)) << expectedPath.toStdString();
            out.write(text.toUtf8());
            return;
        }
        QFile in(expectedPath);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly)) << "no expected file " << expectedPath.toStdString();
        const QString expected = QString::fromUtf8(in.readAll());
        const QString actualPath = QCoreApplication::applicationDirPath() + QStringLiteral("/golden-") + name;
        if (expected == text) {
            QFile::remove(actualPath);
            return;
        }
        QFile out(actualPath);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write(text.toUtf8());
        const QStringList want = expected.split(QLatin1Char('\n'));
        const QStringList got = text.split(QLatin1Char('\n'));
        qsizetype line = 0;
        while (line < want.size() && line < got.size() && want[line] == got[line])
            ++line;
        ADD_FAILURE() << "the golden dump differs from " << expectedPath.toStdString() << " at line " << line + 1
                      << "\n  expected: " << (line < want.size() ? want[line].toStdString() : "<end>")
                      << "\n  actual:   " << (line < got.size() ? got[line].toStdString() : "<end>")
                      << "\n  the actual dump is in " << actualPath.toStdString();
    }

    // Opened again as the program opens a project, then the training window's revert and test
    // once more, and saved.
    template <class Kind>
    void Reopen(const QString& project)
    {
        Logged<Kind> again(log);
        Mark("open again");
        again.Initialize(project);
        again.LoadConfig();
        MarkErrors(again, "opened");
        Mark("revert");
        again.Revert();
        Mark("test");
        ASSERT_EQ(again.Test(), TestOutcome::Done);
        MarkErrors(again, "tested");
        Mark("save configuration");
        ASSERT_TRUE(again.SaveConfig());
    }

    FakePrompter prompts;
    GoldenHost host;
    RecordingStatus status;
    QString folder, source;
    QStringList log;
};
} // namespace

TEST_F(Golden, BackPropagationProject)
{
    const QString project = folder + "/golden.kvp";
    {
        Logged<CBackProp> bp(log);
        Mark("initialize");
        bp.Initialize(project);
        bp.Attach(source, "Data");
        NetTest::Configure(bp, {{"X1", roleInput, 0, 10}, {"X2", roleInput, 0, 11}, {"Y", roleBPPredict, -6, 19}});
        bp.State().SetTrainLow(1);
        bp.State().SetTrainHigh(60);
        bp.State().SetTestLow(61);
        bp.State().SetTestHigh(80);
        bp.SetVerifyRate(3);
        Mark("save configuration");
        ASSERT_TRUE(bp.SaveConfig());
        Dump(project, "after the configuration");

        // The training window: passes of VerifyRate training calls and a verification, one
        // of them in blocks of rows, a jog half-way.
        for (int pass = 0; pass < 6; ++pass) {
            Mark(QStringLiteral("training pass %1").arg(pass));
            for (int k = 0; k < bp.VerifyRate(); ++k) {
                if (pass == 2) {
                    bp.SetTrainBlockRows(16);
                    int blocks = 1;
                    while (!bp.TrainBlock())
                        ++blocks;
                    log << QStringLiteral("trained in %1 blocks").arg(blocks);
                } else {
                    bp.Train();
                }
            }
            bp.Verify();
            MarkErrors(bp, "verified");
            if (pass == 3) {
                Mark("jog");
                bp.JogWeights();
            }
        }
        Mark("finish and test");
        bp.Revert();
        MarkErrors(bp, "reverted");
        ASSERT_EQ(bp.Test(), TestOutcome::Done);
        MarkErrors(bp, "tested");
        log << QStringLiteral("figures: rms %1 unexplained %2 correlation %3")
                   .arg(Number(bp.ActualRMSError()), Number(bp.UnexplainedVar()), Number(bp.Correlation()));
        host.flags.SetIsTrained(true);
        host.flags.SetIsTested(true);
        Mark("save configuration");
        ASSERT_TRUE(bp.SaveConfig());

        std::vector<long double> probe(size_t(bp.State().DDO()->NumFields()) + 1, 0.0);
        probe[size_t(bp.State().DDO()->FieldIndex("X1"))] = 4.0;
        probe[size_t(bp.State().DDO()->FieldIndex("X2"))] = 6.0;
        Mark("predict");
        log << QStringLiteral("prediction %1").arg(Number(bp.Predict(probe)));
    }
    ASSERT_NO_FATAL_FAILURE(Reopen<CBackProp>(project));
    Dump(project, "at the end");
    EXPECT_TRUE(prompts.Boxes().empty());
    Compare("backprop.txt");
}

TEST_F(Golden, SFamProject)
{
    const QString project = folder + "/golden-sfam.kvp";
    {
        Logged<CSFam> sf(log);
        Mark("initialize");
        sf.Initialize(project);
        sf.Attach(source, "Data");
        NetTest::Configure(sf, {{"X1", roleInput, 0, 10.1}, {"X2", roleInput, 0, 11}, {"Class", roleSFamPredict}});
        Mark("class list");
        ASSERT_TRUE(sf.BuildClassList());
        sf.State().SetTrainLow(1);
        sf.State().SetTrainHigh(64);
        sf.State().SetTestLow(65);
        sf.State().SetTestHigh(80);
        sf.SetVigBase(0.2f);
        Mark("save configuration");
        ASSERT_TRUE(sf.SaveConfig());
        Dump(project, "after the configuration");

        for (int pass = 0; pass < 5; ++pass) {
            Mark(QStringLiteral("training pass %1").arg(pass));
            if (pass == 2) {
                sf.SetTrainBlockRows(10);
                int blocks = 1;
                while (!sf.TrainBlock())
                    ++blocks;
                log << QStringLiteral("trained in %1 blocks").arg(blocks);
            } else {
                sf.Train();
            }
            log << QStringLiteral("nodes %1").arg(sf.CurrentNodes());
            sf.Verify();
            MarkErrors(sf, "verified");
        }
        Mark("finish and test");
        sf.Revert();
        MarkErrors(sf, "reverted");
        ASSERT_EQ(sf.Test(), TestOutcome::Done);
        MarkErrors(sf, "tested");
        host.flags.SetIsTrained(true);
        host.flags.SetIsTested(true);
        Mark("save configuration");
        ASSERT_TRUE(sf.SaveConfig());

        std::vector<long double> probe(size_t(sf.State().DDO()->NumFields()) + 1, 0.0);
        probe[size_t(sf.State().DDO()->FieldIndex("X1"))] = 1.0;
        probe[size_t(sf.State().DDO()->FieldIndex("X2"))] = 2.0;
        Mark("predict");
        log << QStringLiteral("prediction %1").arg(sf.Predict(probe));
    }
    ASSERT_NO_FATAL_FAILURE(Reopen<CSFam>(project));
    Dump(project, "at the end");
    EXPECT_TRUE(prompts.Boxes().empty());
    Compare("sfam.txt");
}
