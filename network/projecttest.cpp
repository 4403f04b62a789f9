// The test run both kinds share: the testing rows through the engine, then the project file
// rewritten from memory in one transaction that ends with the new Test rows.
#include "network/networkproject.h"

#include "core/errorbox.h"
#include "core/pathutils.h"
#include "core/status.h"
#include "data/datadef.h"
#include "data/dbutilities.h"
#include "data/projectschema.h"
#include "network/networkhost.h"
#include "network/patternarrays.h"
#include "network/projectstore.h"
#include "network/workflowflags.h"

#include <QScopedValueRollback>

#include <chrono>

namespace {

// What saving the rows of a test usually takes, per row.
constexpr double kCommitSecondsPerRow = 0.15e-6;

// Column type of Test.MainPrimaryKey for the source's key: "Long" for whole numbers, the key's
// own kind of column otherwise (text compared exactly, number with fraction, date).
QString TestKeyType(const CDataDef* ddo)
{
    const int16_t key = ddo ? ddo->KeyField() : 0;
    if (key == 0)
        throw KvError(KvErr::ItemNotFound, {}, QStringLiteral("The source table has no key field."));
    switch (ddo->FieldType(key)) {
    case kdb::dbBoolean:
    case kdb::dbByte:
    case kdb::dbInteger:
    case kdb::dbLong:
    case kdb::dbBigInt:
    case AutoIncrType:
        return QStringLiteral("Long");
    case kdb::dbCurrency:
    case kdb::dbSingle:
    case kdb::dbDouble:
    case kdb::dbNumeric:
    case kdb::dbDecimal:
    case kdb::dbFloat:
        return QStringLiteral("Double");
    case kdb::dbDate:
    case kdb::dbTime:
    case kdb::dbTimeStamp:
        return QStringLiteral("DateTime");
    // Text keys compare exactly: the source keeps "a" and "A" apart when its own key does, and
    // the table's usual case-blind text would take them for one key.
    case kdb::dbMemo:
        return QStringLiteral("LongText COLLATE BINARY");
    case kdb::dbBinary:
    case kdb::dbVarBinary:
    case kdb::dbLongBinary:
        return QStringLiteral("LongBinary");
    default:
        return QStringLiteral("Text(255) COLLATE BINARY");
    }
}

} // namespace

TestOutcome CNetworkProject::Test()
{
    return RunTestAndSave(Marks::Cleared);
}

TestOutcome CNetworkProject::RetestIfNotBuilt()
{
    if (m_state.TestBuilt())
        return TestOutcome::Done;
    // Only a network that is there can be tested; a layout build must not pass for one.
    if (!m_state.NetReady() || !BuildArrays(0))
        return TestOutcome::NoNetwork;
    return RunTestAndSave(Marks::KeptByKey);
}

TestOutcome CNetworkProject::RunTestAndSave(Marks marks)
{
    if (m_testing)
        return TestOutcome::Aborted;
    const QScopedValueRollback<bool> testing(m_testing, true);
    TestOutcome outcome = TestOutcome::NoNetwork;
    float error = -1;
    if (m_state.NetReady()) {
        outcome = TestOutcome::Aborted;
        m_testProgress.Start(!m_state.TestBuilt(), TestRunWeight());
        // The handler hears of the end however the test ends.
        const struct EndProgress {
            TestProgress& progress;
            ~EndProgress() { progress.End(); }
        } endProgress{m_testProgress};
        // The test changes no view: what the status said before it says so again after it,
        // however the test ends.
        Status::CStatusText working(Status::CStatusText::OnEnd::Restore);
        Procedure(m_kind.Title("Test"), [&] {
            if (!m_state.TestBuilt()) {
                working.Show(QStringLiteral("Normalizing..."));
                const bool built = BuildArrays(2) && m_state.TestBuilt();
                working.End();
                if (!built)
                    return;
            }
            working.Show(TestingText());
            m_testProgress.Begin(TestProgress::Running, m_state.Arrays().rows);
            const TestOutcome run = TestError(RunTest(), error);
            if (run != TestOutcome::Done) {
                outcome = run;
                return;
            }
            if (RebuildProject(marks))
                outcome = TestOutcome::Done;
        });
        working.End();
    }
    // A failed test shows no error: the callers print 100 - CurrentError as the success rate.
    if (outcome == TestOutcome::Done) {
        m_state.SetCurrentError(error);
    } else {
        m_state.SetCurrentError(-1);
        if (outcome != TestOutcome::NoNetwork)
            m_state.SetTestBuilt(false);
    }
    return outcome;
}

bool CNetworkProject::RebuildProject(Marks marks)
{
    const QString path = m_state.ProjectFileName();
    if (!Utilities::FileExists(path))
        throw KvError(KvErr::FileNotFound, {}, QStringLiteral("File Does Not Exist"));
    NetworkHost::Current().CloseBrowsers();
    if (!Utilities::TableExists(path, ProjectSchema::LinkTable())) {
        if (m_state.DDO())
            Attach(m_state.DDO()->DBFileName(), m_state.DDO()->TableName());
        if (!Utilities::TableExists(path, ProjectSchema::LinkTable()))
            throw KvError(KvErr::NoSuchTable);
    }
    // The engine writes its file before the project's transaction begins.
    const bool snapshot = SavesSnapshotWithConfig() && SnapshotFileReady();
    const QString keyType = TestKeyType(m_state.DDO().get());

    bool written = false;
    {
        kdb::Database db = kdb::Database::Open(path, false, false);
        {
            kdb::Transaction t(db);
            ProjectStore store(db);
            store.EnsureBaseTables();
            WriteSettings(db, {});
            if (m_state.DDO())
                store.WriteFieldConfig(*m_state.DDO());
            // Without a network to write, the saved one stays: a rebuilt file must not lose it.
            if (snapshot)
                WriteSnapshot(db);
            if (!RebuildKindTables(db))
                return false;
            // The kept marks are this rebuild's own: a later test starts without them, however
            // this one ends.
            struct Forget {
                KeptMarks& kept;
                ~Forget() { kept = KeptMarks(); }
            } forget{m_keptMarks};
            if (marks == Marks::KeptByKey)
                m_keptMarks = store.KeepMarks(&m_testProgress, TestProgress::Clearing);
            store.ReplaceTestTable(TestTableStatement(keyType), &m_testProgress, TestProgress::Clearing);
            written = SavePrediction(db);
            if (written) {
                Workflow::Write(db);
                // Saving a million new rows is one long call: the progress is told meanwhile.
                m_testProgress.Begin(TestProgress::Saving, m_state.Arrays().rows);
                m_testProgress.During([&] { t.Commit(); }, double(m_state.Arrays().rows) * kCommitSecondsPerRow);
            }
        }
        // The new rows reuse the pages the old ones freed; compaction, after a much smaller
        // test, is not required.
        if (written)
            IgnoreErrors([&] { ProjectStore(db).CompactWhenMostlyFree(); });
    }
    return written;
}

int32_t CNetworkProject::RunTest()
{
    // The run is a long step of a test over many rows. Each row's answer stands alone, so
    // blocks of rows give the answers of one call, with the progress told and the window drawn
    // between. Blocks of whole 8,192-row parts, so that the engine's threads share each block
    // evenly, and few of them: each block waits for the last of the threads to end its share,
    // which on a busy machine costs more the more often it happens. Without anyone to tell,
    // one call.
    constexpr int64_t kBlocks = 16;
    constexpr int64_t kPart = 8192;
    const int64_t rows = m_state.Arrays().rows;
    const int64_t block = std::max<int64_t>(1, (rows + kBlocks * kPart - 1) / (kBlocks * kPart)) * kPart;
    if (rows <= block || !m_testProgress.Listening())
        return CallEngine(EngineRun);
    AbandonPass();
    CheckArrays();
    std::vector<BlockAnswer> answers;
    for (int64_t first = 1; first <= rows; first += block) {
        const int64_t count = std::min(block, rows - first + 1);
        if (const int32_t failed = RunRowsInto(first, count, answers); failed < 0)
            return failed;
        m_testProgress.Rows(first + count - 1);
    }
    return JoinRunAnswers(answers);
}

int32_t CNetworkProject::RunRowsInto(int64_t first, int64_t count, std::vector<BlockAnswer>& answers)
{
    const IPatternKind& kind = PatternKind();
    int64_t usable = 0;
    for (int64_t r = first; r < first + count; ++r)
        usable += kind.RowUsable(m_state.Arrays(), r) ? 1 : 0;
    const int32_t result = EngineOverRows(EngineRun, first, count);
    // A block of skipped rows only; one call fails so only when every row is skipped.
    if (result == DLLErrTooFewRows && usable == 0)
        return 0;
    if (result < 0)
        return result;
    answers.push_back({result, usable});
    return 0;
}

bool CNetworkProject::RunBlock(bool begin, int32_t& answer)
{
    const int64_t rows = m_state.Arrays().rows;
    const size_t fixed = m_passes.FixedBlockRows();
    const auto blockRows = [&](size_t remaining) {
        return fixed > 0 ? std::min(remaining, fixed) : m_runPacer.NextBlock(remaining);
    };
    if (begin) {
        m_runNext = 1;
        m_runAnswers.clear();
        // A run that fits one block is the Run command itself.
        if (rows <= 0 || size_t(rows) <= blockRows(size_t(rows))) {
            using Clock = std::chrono::steady_clock;
            const auto start = Clock::now();
            answer = CallEngine(EngineRun);
            m_runPacer.Measured(size_t(std::max<int64_t>(rows, 0)),
                                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            m_runNext = 0;
            return true;
        }
        AbandonPass();
    }
    CheckArrays();
    if (m_runNext < 1 || m_runNext > rows)
        throw KvError(KvErr::NoCurrentRecord);
    const int64_t count = int64_t(blockRows(size_t(rows - m_runNext + 1)));
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const int32_t failed = RunRowsInto(m_runNext, count, m_runAnswers);
    m_runPacer.Measured(size_t(count), std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    m_runNext += count;
    if (failed >= 0 && m_runNext <= rows)
        return false;
    answer = failed < 0 ? failed : JoinRunAnswers(m_runAnswers);
    m_runNext = 0;
    m_runAnswers.clear();
    return true;
}

kdb::Reader CNetworkProject::TestingRows(kdb::Database& db, const QStringList& columns) const
{
    QStringList names{m_state.DDO()->KeyFieldName()};
    names << columns;
    const int64_t skip = int64_t(m_state.TestLow()) - 1;
    if (skip < 0)
        throw KvError(KvErr::NoCurrentRecord);
    // The training rows before are passed over by the source, not read.
    return db.ReadLinked(ProjectSchema::LinkTable(), names, skip);
}
