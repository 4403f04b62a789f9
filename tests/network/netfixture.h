// Shared ground of the network tests: small generated source tables, projects over them,
// a recording host, and test faces of the two network classes that open their inner parts.
#pragma once

#include "data/datadef.h"
#include "data/projectschema.h"
#include "kdb/kdb.h"
#include "network/backprop.h"
#include "network/networkhost.h"
#include "network/sfam.h"
#include "network/workflowflags.h"
#include "tests/support/fakeprompter.h"
#include "tests/support/testenv.h"

#include <QFile>
#include <QString>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

// Counts what the network objects ask of the program; the workflow step the project writes is 3
// while it lives (gWorkflowStep), as the program's navigation would keep it.
class RecordingHost : public INetworkHost {
public:
    RecordingHost() : m_previous(NetworkHost::Install(this)), m_step(std::exchange(gWorkflowStep(), 3)) {}
    ~RecordingHost() override
    {
        gWorkflowStep() = m_step;
        NetworkHost::Install(m_previous);
    }
    void CloseProject() override { ++closed; }
    void CloseBrowsers() override { ++browsersClosed; }
    void HideSplash() override { ++splashHidden; }

    int closed = 0;
    int browsersClosed = 0;
    int splashHidden = 0;

private:
    INetworkHost* m_previous;
    std::optional<int32_t> m_step;
};

// What a test drives by hand on a project of either kind: the engine routine over the current
// arrays, and the state that training would otherwise leave.
template <class Kind>
class TestFace : public Kind {
public:
    int32_t CallEngine(EngineCommand command) override { return Kind::CallEngine(command); }
    void ForceBestError(float error) { this->m_state.SetBestError(error); }
    void ForceCurrentError(float error) { this->m_state.SetCurrentError(error); }
    void ForceNetReady(bool ready) { this->m_state.SetNetReady(ready); }
};

class TestBackProp : public TestFace<CBackProp> {
public:
    // The arrays the engine takes, for tests that set rows up by hand.
    PatternArrays& Arrays() { return this->m_state.Arrays(); }
};

class TestSFam : public TestFace<CSFam> {
public:
    // The arrays the engine takes, for tests that set rows up by hand.
    PatternArrays& Arrays() { return this->m_state.Arrays(); }
};

namespace NetTest {

// A data file with table `table`: ID INTEGER PRIMARY KEY plus the given columns, and rows of
// values (one list per row, the ID given first).
inline QString MakeSource(const QString& folder, const QString& table, const QString& columns,
                          const std::vector<QList<kdb::Value>>& rows, const QString& fileName = "source.mdb")
{
    const QString path = folder + "/" + fileName;
    QFile::remove(path);
    kdb::Database db = kdb::Database::Create(path);
    db.Execute("CREATE TABLE " + kdb::QuoteIdent(table) + " (ID INTEGER PRIMARY KEY, " + columns + ")");
    if (!rows.empty()) {
        QStringList marks;
        for (qsizetype i = 0; i < rows.front().size(); ++i)
            marks << "?";
        kdb::Transaction t(db);
        kdb::Statement ins = db.Prepare("INSERT INTO " + kdb::QuoteIdent(table) + " VALUES (" + marks.join(',') + ")");
        for (const auto& row : rows)
            ins.Run(row);
        t.Commit();
    }
    return path;
}

// Roles and user limits of the fields by name, then the definition counts as complete.
struct Role {
    QString field;
    int16_t role;
    double min = 0;
    double max = 0;
};

inline void Configure(CNetworkProject& net, const std::vector<Role>& roles)
{
    CDataDef& ddo = *net.State().DDO();
    ddo.GatherStats(false);
    for (int16_t i = 1; i <= ddo.NumFields(); ++i)
        ddo.SetUserMatchType(i, roleUnused);
    for (const Role& r : roles) {
        const int16_t i = ddo.FieldIndex(r.field);
        ASSERT_GT(i, 0) << r.field.toStdString();
        ddo.SetUserMatchType(i, r.role);
        ddo.SetUserMin(i, r.min);
        ddo.SetUserMax(i, r.max);
    }
}

// The arrays of training rows 1..rows of `table` of `source`, built by a project of each kind
// in `folder` with `inputs`: back-propagation predicting `number`, SFAM `classes`. `check`
// looks at each project and its arrays, then the engine must take them.
template <class Check>
void BuildOnBothKinds(const QString& folder, const QString& source, const QString& table,
                      const std::vector<Role>& inputs, const Role& number, const Role& classes, int32_t rows,
                      Check&& check)
{
    const auto build = [&](auto& net, const QString& name, const Role& target) {
        net.Initialize(folder + "/" + name);
        net.Attach(source, table);
        std::vector<Role> roles = inputs;
        roles.push_back(target);
        Configure(net, roles);
        net.State().SetTrainHigh(rows);
        if constexpr (requires { net.BuildClassList(); })
            net.BuildClassList();
        ASSERT_TRUE(net.BuildArrays(0));
        ASSERT_TRUE(net.BuildArrays(1));
        check(net, net.Arrays());
        EXPECT_EQ(net.CallEngine(EngineInit), 1);
    };
    TestBackProp bp;
    build(bp, QStringLiteral("both-bp.kvp"), number);
    TestSFam sf;
    build(sf, QStringLiteral("both-sf.kvp"), classes);
}

inline kdb::Value ConfigValue(const QString& project, const QString& key)
{
    kdb::Database db = kdb::Database::Open(project, false, true);
    return db.Scalar(ProjectSchema::ConfigValueSelect(), {key});
}

// A value of the tests' own in Config, to tell one version of a project from another.
inline QString Marker(const QString& project)
{
    return ConfigValue(project, "Marker").toText();
}

inline void SetMarker(const QString& project, const QString& value)
{
    kdb::Database db = kdb::Database::Open(project);
    db.Upsert("Config", {{"sValue", value}}, "Property", "Marker");
}

inline QString Integrity(const QString& path)
{
    return kdb::Database::Open(path, false, true).Scalar("PRAGMA integrity_check").toText();
}

inline void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

inline int64_t ConfigRows(const QString& project)
{
    kdb::Database db = kdb::Database::Open(project, false, true);
    return db.Scalar("SELECT COUNT(*) FROM " + ProjectSchema::ConfigTable()).toInt();
}

} // namespace NetTest
