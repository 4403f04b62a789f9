// The testing side of an SFAM project: the share of misclassified testing rows, the class
// list and the Test rows of the rebuilt project file.
#include "network/sfam.h"

#include "core/errorbox.h"
#include "data/projectschema.h"
#include "network/enginecodes.h"
#include "network/projectstore.h"

#include <sqlite3.h>

#include <optional>

QString CSFam::TestingText() const
{
    return QStringLiteral("Running testing cycle...");
}

TestOutcome CSFam::TestError(int32_t result, float& error)
{
    // Checked before the division: in floating point it would quietly give infinity.
    const int64_t usable = m_state.Arrays().rows - m_state.Arrays().nullRows;
    if (usable <= 0) {
        ErrorBox::ShowStandard(KvError(KvErr::DivisionByZero), QStringLiteral("CSFam::Test"));
        return TestOutcome::NotEnoughData;
    }
    if (result < 0) {
        EngineBox(QStringLiteral("DLL Test Error.  Error #"), result, QStringLiteral("CSFam::Test"));
        return TestOutcome::EngineFailure;
    }
    error = float(double(result) / double(usable) * 100.0);
    return TestOutcome::Done;
}

QString CSFam::TestTableStatement(const QString& keyType) const
{
    return ProjectSchema::SFamTestStatement(keyType);
}

bool CSFam::RebuildKindTables(kdb::Database& db)
{
    return Procedure(QStringLiteral("CSFam::BuildClassList"), [&] {
        // The list counts every row of the source. When nothing of that source changed since
        // the list was counted, the pass over the whole table would give the same rows.
        if (!ClassListCurrent(db))
            WriteClassList(db);
    });
}

bool CSFam::SavePrediction(kdb::Database& db)
{
    return Procedure(QStringLiteral("CSFam::SavePrediction"), [&] {
        const int64_t n = int64_t(m_state.TestHigh()) - int64_t(m_state.TestLow()) + 1;
        if (n != m_state.Arrays().rows || m_state.Arrays().classResults.size() != size_t(n + 1))
            throw KvError(KvErr::InvalidCall);
        // The keys came with the testing rows; the source is read again only without them.
        const bool keysKept = m_state.Arrays().testKeys.size() == size_t(n + 1);
        std::optional<kdb::Reader> source;
        if (!keysKept)
            source.emplace(TestingRows(db, {}));
        kdb::Statement insert = ProjectStore(db).SFamTestRows();
        // The class texts once, not once per row.
        std::vector<QByteArray> names;
        names.reserve(m_state.Arrays().classes.Names().size());
        for (const QString& name : m_state.Arrays().classes.Names())
            names.push_back(name.toUtf8());
        const QByteArray marker = NoPredictionText().toUtf8();
        m_testProgress.Begin(TestProgress::Writing, n);
        for (int64_t i = 1; i <= n; ++i) {
            m_testProgress.Rows(i - 1);
            if (!keysKept && !source->Next())
                throw KvError(KvErr::NoCurrentRecord);
            const kdb::Value key = keysKept ? m_state.Arrays().testKeys[size_t(i)] : source->Get(0);
            insert.Bind(1, key);
            insert.Bind(3, int64_t(m_keptMarks.Of(key)));
            const int16_t r = m_state.Arrays().classResults[size_t(i)];
            const QByteArray& text = r < 0 || size_t(r) >= names.size() ? marker : names[size_t(r)];
            if (sqlite3_bind_text(insert.handle(), 2, text.constData(), int(text.size()), SQLITE_STATIC) != SQLITE_OK)
                throw KvError(KvErr::OutOfMemory);
            while (insert.Step()) {
            }
            insert.Reset();
        }
        m_testProgress.Rows(n);
    });
}
