// The testing side of an SFAM project: the share of misclassified testing rows, the class
// list and the Test rows of the rebuilt project file.
#include "network/sfam.h"

#include "core/errorbox.h"

QString CSFam::TestingText() const
{
    return QStringLiteral("Running testing cycle...");
}

TestOutcome CSFam::TestError(int32_t result, float& error)
{
    // Checked before the division: in floating point it would quietly give infinity.
    const int64_t usable = mRows - mNullRows;
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

QString CSFam::TestTableStatement() const
{
    return QStringLiteral(
        "CREATE TABLE Test ( MainPrimaryKey Long CONSTRAINT PrimaryKey PRIMARY KEY, Predicted Text(255), Mark Integer );");
}

bool CSFam::RebuildKindTables(kdb::Database& db)
{
    return Procedure(QStringLiteral("CSFam::BuildClassList"), [&] { WriteClassList(db); });
}

bool CSFam::SavePrediction(kdb::Database& db)
{
    return Procedure(QStringLiteral("CSFam::SavePrediction"), [&] {
        const int64_t n = int64_t(mTestHigh) - int64_t(mTestLow) + 1;
        if (n != mRows || mResults.size() != size_t(n + 1))
            throw KvError(KvErr::InvalidCall);
        kdb::Reader source = TestingRows(db, {});
        kdb::Statement insert =
            db.Prepare(QStringLiteral("INSERT INTO Test (MainPrimaryKey, Predicted, Mark) VALUES (?, ?, 0)"));
        const QString marker = NoPredictionText();
        for (int64_t i = 1; i <= n; ++i) {
            if (!source.Next())
                throw KvError(KvErr::NoCurrentRecord);
            insert.Bind(1, source.Get(0));
            const int16_t r = mResults[size_t(i)];
            insert.Bind(2, r < 0 || size_t(r) >= mClassNames.size() ? marker : mClassNames[size_t(r)]);
            while (insert.Step()) {
            }
            insert.Reset();
        }
    });
}
