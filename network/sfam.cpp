#include "network/sfam.h"

#include "core/errorbox.h"
#include "core/prompts.h"
#include "data/datadef.h"
#include "data/projectschema.h"
#include "engine/korvan_engine.h"
#include "engine/trainpass.h"
#include "network/classvalue.h"
#include "network/configtext.h"
#include "network/networkhost.h"
#include "network/projectstore.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace {
// Config key of the stamp of the source the Classes table was counted from.
const char* const kClassListSource = "ClassListSource";
} // namespace

const NetworkKindTexts& CSFam::KindData()
{
    static const NetworkKindTexts kind{
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

std::vector<ConfigSetting> CSFam::Settings()
{
    return {
        DataFileSetting(),
        TableSetting(),
        m_state.Setting("TrainHigh"),
        m_state.Setting("TrainLow"),
        m_state.Setting("TestHigh"),
        m_state.Setting("TestLow"),
        m_state.Setting("WorkingDir"),
        SingleSetting("VigBase", m_vigBase),
        SingleSetting("Alpha", m_alpha),
        SingleSetting("Beta", m_beta),
        SingleSetting("Epsilon", m_epsilon),
        m_state.Setting("CyclesCompleted"),
        m_state.Setting("ShuffleNum"),
        TypeSetting(),
        NodesSetting(),
        m_state.Setting("BestTrainError"),
    };
}

ConfigSetting CSFam::NodesSetting()
{
    ConfigSetting setting = CountSetting("CurrentNodes", m_currentNodes);
    setting.read = [this, count = setting.read](const QString& text) {
        bool failedCall = false;
        try {
            failedCall = ConfigText::ToInteger(text) < 0;
        } catch (const KvError&) {
        }
        if (!failedCall) {
            count(text);
            return;
        }
        m_currentNodes = 0;
        IgnoreErrors([] { NetworkHost::Current().HideSplash(); });
        Prompts::MsgBox(QStringLiteral("The project's setting CurrentNodes reads \"") + text.left(40)
                            + QStringLiteral("\", the answer of a training call that failed: the network is taken to have no nodes."),
                        MsgButtons::Ok, MsgIcon::Exclamation, m_kind.Title("OpenProject"));
    };
    return setting;
}

QStringList CSFam::ReadOrder() const
{
    return {QStringLiteral("TrainHigh"), QStringLiteral("TrainLow"), QStringLiteral("TestHigh"),
            QStringLiteral("TestLow"), QStringLiteral("WorkingDir"), QStringLiteral("VigBase"),
            QStringLiteral("Alpha"), QStringLiteral("Beta"), QStringLiteral("Epsilon"),
            QStringLiteral("CyclesCompleted"), QStringLiteral("ShuffleNum"), QStringLiteral("CurrentNodes"),
            ProjectSchema::DatabaseFileNameKey(), ProjectSchema::TableNameKey(), QStringLiteral("BestTrainError")};
}

int32_t CSFam::EngineOverRows(EngineCommand command, int64_t first, int64_t count)
{
    // Row first - 1 stands in for the engine's row 0, which it never reads nor writes.
    const size_t before = size_t(first - 1);
    PatternArrays& a = m_state.Arrays();
    return VTSFAM(a.patterns.data() + before * size_t(a.Stride()), a.Stride(), int32_t(count + 1),
                  a.fieldMin.data(), a.fieldMax.data(), a.classResults.data() + before, m_state.CyclesCounter(),
                  m_vigBase, m_alpha, m_beta, m_epsilon, m_engineFile.NativeName(), command);
}

int32_t CSFam::JoinRunAnswers(const std::vector<BlockAnswer>& blocks) const
{
    // The answer counts the misclassified rows.
    if (blocks.empty())
        return DLLErrTooFewRows;
    int64_t wrong = 0;
    for (const BlockAnswer& b : blocks)
        wrong += b.answer;
    return int32_t(std::min<int64_t>(wrong, std::numeric_limits<int32_t>::max()));
}

int32_t CSFam::BeginEnginePass(kvengine::TrainPass& pass)
{
    PatternArrays& a = m_state.Arrays();
    a.Check(a.classResults.size());
    return pass.BeginSFam(a.patterns.data(), a.Stride(), int32_t(a.rows + 1), a.fieldMin.data(),
                          a.fieldMax.data(), a.classResults.data(), m_vigBase, m_alpha, m_beta, m_epsilon,
                          m_engineFile.NativeName());
}

void CSFam::LayoutStarting(PatternArrays& arrays)
{
    arrays.classes.Reset({QString()});
}

void CSFam::LayoutFinished(PatternArrays& arrays)
{
    kdb::Database db = kdb::Database::Open(m_state.ProjectFileName(), false, true);
    const kdb::Snapshot classes =
        db.OpenSnapshot(QStringLiteral("SELECT * FROM ") + ProjectSchema::ClassesTable() + QLatin1Char(';'));
    const int classColumn = classes.ColumnIndex(ProjectSchema::ClassColumn());
    const int numberColumn = classes.ColumnIndex(ProjectSchema::ClassNumberColumn());
    if (classColumn < 0 || numberColumn < 0)
        throw KvError(KvErr::ItemNotFound);
    std::vector<QString> names(size_t(classes.RecordCount()) + 1, QString());
    for (int i = 0; i < classes.RecordCount(); ++i) {
        const QList<kdb::Value>& row = classes.Row(i);
        const int64_t number = row.at(numberColumn).toInt(-1);
        if (number < 0 || number >= int64_t(names.size()))
            throw KvError(KvErr::SubscriptOutOfRange);
        names[size_t(number)] = ClassValueText(row.at(classColumn));
    }
    arrays.classes.Reset(std::move(names));
}

void CSFam::SizeResults(PatternArrays& arrays, int64_t rows)
{
    arrays.classResults.assign(size_t(rows + 1), 0);
    arrays.nullRows = 0;
}

void CSFam::MarkUnusable(PatternArrays& arrays, int64_t row)
{
    int16_t& entry = arrays.classResults[size_t(row)];
    if (entry != UnusableRow) {
        entry = UnusableRow;
        ++arrays.nullRows;
    }
}

float CSFam::Target(const PatternArrays&, kdb::Reader& reader, int column, int64_t row, PartClasses& classes,
                    bool& unusable) const
{
    if (reader.IsNull(column)) {
        unusable = true;
        return 0.0f;
    }
    return classes.Number(ClassValueText(reader.Get(column)), row);
}

void CSFam::RowsFinished(PatternArrays&)
{
    m_state.SetCurrentError(-1);
}

void CSFam::WriteClassList(kdb::Database& db)
{
    // Taken before the pass: a change made while it reads shows at the next comparison.
    const QString stamp = ClassSourceStamp(db);
    if (!m_state.DDO())
        throw KvError(KvErr::ObjectNotSet);
    const QList<int16_t> predict = m_state.DDO()->FieldsWithRole(roleSFamPredict);
    if (predict.isEmpty())
        throw KvError(KvErr::SubscriptOutOfRange);
    ProjectStore(db).WriteClassList(m_state.DDO()->FieldName(predict.first()), QString::fromLatin1(kClassListSource),
                                    stamp);
}

bool CSFam::BuildClassList()
{
    return Procedure(m_kind.Title("BuildClassList"), [&] {
        kdb::Database db = kdb::Database::Open(m_state.ProjectFileName(), false, false);
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
    const QList<int16_t> predict = m_state.DDO() ? m_state.DDO()->FieldsWithRole(roleSFamPredict) : QList<int16_t>();
    const QString source = link ? ProjectStore::LinkedFile(*link) : QString();
    if (source.isEmpty() || predict.isEmpty())
        return {};
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
    return QStringList{m_state.ProjectFileName(), info.absoluteFilePath(), link->sourceTable,
                       m_state.DDO()->FieldName(predict.first()),
                       QString::number(info.size()),
                       QString::number(info.lastModified().toMSecsSinceEpoch()),
                       QString::fromLatin1(header.mid(24, 4).toHex()),
                       wal.exists() ? QString::number(wal.size()) : QString(),
                       wal.exists() ? QString::number(wal.lastModified().toMSecsSinceEpoch()) : QString()}
        .join(QLatin1Char('|'));
}
