#include "network/sfam.h"

#include "core/errorbox.h"
#include "data/datadef.h"
#include "data/projectschema.h"
#include "engine/korvan_engine.h"
#include "engine/trainpass.h"
#include "network/classvalue.h"
#include "network/projectstore.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace {
// Config key of the stamp of the source the Classes table was counted from.
const char* const kClassListSource = "ClassListSource";

QString folded(const QString& name)
{
    return name.toUpper().trimmed();
}
} // namespace

const CNetworkProject::Kind& CSFam::KindData()
{
    static const Kind kind{
        "CSFam",
        "SFam",
        "SFam::MakeTables Error",
        "SFam:Initialize Method",
        "Error: bad property.  CSFamProject::GetProperty",
        false,
        "Error",
        "1",
        "BestTrainError",
        roleSFamPredict,
        false,
        true,
        false,
    };
    return kind;
}

CSFam::CSFam() : CNetworkProject(KindData()) {}

CSFam::~CSFam() = default;

std::vector<CNetworkProject::Setting> CSFam::Settings()
{
    return {
        DataFileSetting(),
        TableSetting(),
        LongSetting("TrainHigh", mTrainHigh),
        LongSetting("TrainLow", mTrainLow),
        LongSetting("TestHigh", mTestHigh),
        LongSetting("TestLow", mTestLow),
        TextSetting("WorkingDir", mWorkingDir),
        SingleSetting("VigBase", mVigBase),
        SingleSetting("Alpha", mAlpha),
        SingleSetting("Beta", mBeta),
        SingleSetting("Epsilon", mEpsilon),
        LongSetting("CyclesCompleted", mCyclesCompleted),
        IntegerSetting("ShuffleNum", mShuffleNum),
        TypeSetting(),
        IntegerSetting("CurrentNodes", mCurrentNodes),
        SingleSetting("BestTrainError", mBestError),
    };
}

QStringList CSFam::ReadOrder() const
{
    return {QStringLiteral("TrainHigh"), QStringLiteral("TrainLow"), QStringLiteral("TestHigh"),
            QStringLiteral("TestLow"), QStringLiteral("WorkingDir"), QStringLiteral("VigBase"),
            QStringLiteral("Alpha"), QStringLiteral("Beta"), QStringLiteral("Epsilon"),
            QStringLiteral("CyclesCompleted"), QStringLiteral("ShuffleNum"), QStringLiteral("CurrentNodes"),
            ProjectSchema::DatabaseFileNameKey(), ProjectSchema::TableNameKey(), QStringLiteral("BestTrainError")};
}

int32_t CSFam::CallEngine(EngineCommand command)
{
    AbandonPass();
    CheckArrays(mResults.size());
    return EngineOverRows(command, 1, mRows);
}

int32_t CSFam::EngineOverRows(EngineCommand command, int64_t first, int64_t count)
{
    // Row first - 1 stands in for the engine's row 0, which it never reads nor writes.
    const size_t before = size_t(first - 1);
    return VTSFAM(mPatterns.data() + before * size_t(PatternStride()), PatternStride(), int32_t(count + 1),
                  mFieldMin.data(), mFieldMax.data(), mResults.data() + before, &mCyclesCompleted, mVigBase,
                  mAlpha, mBeta, mEpsilon, mEngineFile.NativeName(), command);
}

int32_t CSFam::RunTest()
{
    // The run is the longest step of a test over many rows. Its answer counts misclassified
    // rows and each row's class stands alone, so blocks of rows give the predictions and
    // (summed) the answer of one call, with the progress told and the window drawn between.
    // Blocks of whole 8,192-row parts, so that the engine's threads share each block evenly;
    // without anyone to tell, one call.
    constexpr int64_t kBlocks = 32;
    constexpr int64_t kPart = 8192;
    const int64_t block = std::max<int64_t>(1, (mRows + kBlocks * kPart - 1) / (kBlocks * kPart)) * kPart;
    if (mRows <= block || !mTestProgress.Listening())
        return CallEngine(EngineRun);
    AbandonPass();
    CheckArrays(mResults.size());
    int64_t wrong = 0;
    bool usable = false;
    for (int64_t first = 1; first <= mRows; first += block) {
        const int64_t count = std::min(block, mRows - first + 1);
        const int32_t result = EngineOverRows(EngineRun, first, count);
        // A block of skipped rows only; one call fails so when every row is skipped.
        if (result != DLLErrTooFewRows) {
            if (result < 0)
                return result;
            wrong += result;
            usable = true;
        }
        mTestProgress.Rows(first + count - 1);
    }
    return usable ? int32_t(std::min<int64_t>(wrong, std::numeric_limits<int32_t>::max())) : DLLErrTooFewRows;
}

int32_t CSFam::BeginEnginePass(kvengine::TrainPass& pass)
{
    CheckArrays(mResults.size());
    return pass.BeginSFam(mPatterns.data(), PatternStride(), int32_t(mRows + 1), mFieldMin.data(),
                          mFieldMax.data(), mResults.data(), mVigBase, mAlpha, mBeta, mEpsilon,
                          mEngineFile.NativeName());
}

void CSFam::LayoutStarting()
{
    mClassNames.assign(1, QString());
    IndexClassNames();
}

void CSFam::LayoutFinished()
{
    kdb::Database db = kdb::Database::Open(ProjectFileName(), false, true);
    const kdb::Snapshot classes =
        db.OpenSnapshot(QStringLiteral("SELECT * FROM ") + ProjectSchema::ClassesTable() + QLatin1Char(';'));
    const int classColumn = classes.ColumnIndex(ProjectSchema::ClassColumn());
    const int numberColumn = classes.ColumnIndex(ProjectSchema::ClassNumberColumn());
    if (classColumn < 0 || numberColumn < 0)
        throw KvError(KvErr::ItemNotFound);
    mClassNames.assign(size_t(classes.RecordCount()) + 1, QString());
    for (int i = 0; i < classes.RecordCount(); ++i) {
        const QList<kdb::Value>& row = classes.Row(i);
        const int64_t number = row.at(numberColumn).toInt(-1);
        if (number < 0 || number >= int64_t(mClassNames.size()))
            throw KvError(KvErr::SubscriptOutOfRange);
        mClassNames[size_t(number)] = ClassValueText(row.at(classColumn));
    }
    IndexClassNames();
}

void CSFam::SizeResults(int64_t rows)
{
    mResults.assign(size_t(rows + 1), 0);
    mNullRows = 0;
}

void CSFam::GrowResults(int64_t rows)
{
    mResults.resize(size_t(rows + 1), 0);
}

void CSFam::MarkUnusable(int64_t row)
{
    int16_t& entry = mResults[size_t(row)];
    if (entry != UnusableRow) {
        entry = UnusableRow;
        ++mNullRows;
    }
}

float CSFam::Target(kdb::Reader& reader, int column, int64_t row)
{
    if (reader.IsNull(column)) {
        MarkUnusable(row);
        return 0.0f;
    }
    return float(ClassIndex(ClassValueText(reader.Get(column))));
}

void CSFam::RowsFinished()
{
    mCurrentError = -1;
}

void CSFam::IndexClassNames()
{
    // QHash::insert replaces, so walking back to front leaves the first index of each value.
    mExactClass.clear();
    mFoldedClass.clear();
    for (size_t i = mClassNames.size(); i-- > 0;) {
        mExactClass.insert(mClassNames[i], int16_t(i));
        mFoldedClass.insert(folded(mClassNames[i]), int16_t(i));
    }
    mIndexedClasses = mClassNames.size();
}

int16_t CSFam::ClassIndex(const QString& name)
{
    if (mIndexedClasses != mClassNames.size())
        IndexClassNames();
    if (const auto it = mExactClass.constFind(name); it != mExactClass.constEnd())
        return it.value();
    const QString key = folded(name);
    if (const auto it = mFoldedClass.constFind(key); it != mFoldedClass.constEnd())
        return it.value();
    const size_t index = mClassNames.size();
    if (index >= size_t(MaxSFamClasses) + 1)
        return -5;
    mClassNames.push_back(name);
    mExactClass.insert(name, int16_t(index));
    mFoldedClass.insert(key, int16_t(index));
    mIndexedClasses = mClassNames.size();
    return int16_t(index);
}

void CSFam::WriteClassList(kdb::Database& db)
{
    // Taken before the pass: a change made while it reads shows at the next comparison.
    const QString stamp = ClassSourceStamp(db);
    if (!mDDO)
        throw KvError(KvErr::ObjectNotSet);
    const QList<int16_t> predict = mDDO->FieldsWithRole(roleSFamPredict);
    if (predict.isEmpty())
        throw KvError(KvErr::SubscriptOutOfRange);
    ProjectStore(db).WriteClassList(mDDO->FieldName(predict.first()), QString::fromLatin1(kClassListSource), stamp);
}

bool CSFam::BuildClassList()
{
    return Procedure(Title("BuildClassList"), [&] {
        kdb::Database db = kdb::Database::Open(ProjectFileName(), false, false);
        WriteClassList(db);
    });
}

bool CSFam::ClassListCurrent(kdb::Database& db) const
{
    return ProjectStore(db).ClassListCounted(QString::fromLatin1(kClassListSource), ClassSourceStamp(db));
}

QString CSFam::ClassSourceStamp(kdb::Database& db) const
{
    const std::optional<kdb::TableInfo> link = ProjectStore(db).LinkInfo();
    const QList<int16_t> predict = mDDO ? mDDO->FieldsWithRole(roleSFamPredict) : QList<int16_t>();
    if (!link || kdb::IsOdbcConnect(link->connect) || !link->connect.startsWith(QStringLiteral(";DATABASE="))
        || predict.isEmpty())
        return {};
    const QString source = link->connect.mid(10);
    const QFileInfo info(source);
    QFile file(source);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    // The database's change counter (bytes 24 to 27 of its header) moves with every commit;
    // a write-ahead log, which does not move it, changes its own size and time.
    const QByteArray header = file.read(28);
    if (header.size() < 28)
        return {};
    const QFileInfo wal(source + QStringLiteral("-wal"));
    return QStringList{ProjectFileName(), info.absoluteFilePath(), link->sourceTable, mDDO->FieldName(predict.first()),
                       QString::number(info.size()),
                       QString::number(info.lastModified().toMSecsSinceEpoch()),
                       QString::fromLatin1(header.mid(24, 4).toHex()),
                       wal.exists() ? QString::number(wal.size()) : QString(),
                       wal.exists() ? QString::number(wal.lastModified().toMSecsSinceEpoch()) : QString()}
        .join(QLatin1Char('|'));
}
