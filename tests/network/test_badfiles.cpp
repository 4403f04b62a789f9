// Damaged and odd files met by a project: each failure is told in one box that says what is
// wrong, and what cannot be read is not taken.
#include "tests/network/netfixture.h"

#include "core/errorbox.h"

#include <QFile>

namespace {

// Zeroes pages `first` to `last` (from 1) of a database file.
void ZeroPages(const QString& path, int first, int last)
{
    const int pageSize = int(kdb::Database::Open(path, false, true).Scalar("PRAGMA page_size").toDouble());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_GT(f.size(), qint64(last) * pageSize) << "the file is too small to damage";
    for (int p = first; p <= last; ++p) {
        f.seek(qint64(p - 1) * pageSize);
        f.write(QByteArray(pageSize, '\0'));
    }
}

QString SourceOfManyPages(const QString& folder)
{
    std::vector<QList<kdb::Value>> rows;
    for (int i = 1; i <= 400; ++i)
        rows.push_back({i, double(i), double(i % 7), QString(40, QLatin1Char('a' + i % 26))});
    return NetTest::MakeSource(folder, "Data", "X1 REAL, X2 REAL, Name TEXT", rows);
}

} // namespace

// A data file whose table pages are zeroed: one box, from the step that met it, and the project
// does not take the table (no fields, no rows). Once the table was taken and the file is damaged
// later, its statistics fail once, not once per field.
TEST(BadFiles, ADamagedSourceIsReportedOnceAndNotTaken)
{
    FakePrompter prompts;
    prompts.AllowAnyBox();
    RecordingHost host;
    const QString folder = TestEnv::NewFolder("damaged");
    const QString src = SourceOfManyPages(folder);
    ZeroPages(src, 2, 4);
    TestBackProp bp;
    bp.Initialize(folder + "/bp.kvp");
    prompts.Clear();
    bp.Attach(src, "Data");
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("CBackProp::Attach"));
    EXPECT_TRUE(prompts.LastBox().text.startsWith(QStringLiteral("Error: 3049."))) << prompts.LastBox().text.toStdString();
    EXPECT_EQ(bp.State().DDO()->NumFields(), 0);
    EXPECT_TRUE(bp.State().DDO()->TableName().isEmpty());

    const QString good = SourceOfManyPages(TestEnv::NewFolder("later"));
    CDataDef ddo;
    ddo.Initialize(good, "Data");
    ASSERT_EQ(ddo.NumFields(), 4);
    ZeroPages(good, 2, 4);
    prompts.Clear();
    Procedure(QStringLiteral("frmConfPrj::cmbTableList_Click"), [&] { ddo.GatherStats(true); });
    EXPECT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_FALSE(ddo.InitDone());
}
