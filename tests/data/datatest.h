// Helpers of the data tests: a status recorder and small data files made through kdb.
#pragma once

#include "core/status.h"
#include "kdb/kdb.h"
#include "tests/support/testenv.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <vector>

// Records what goes to the status bar while it lives.
class StatusRecorder final : public IStatusSink {
public:
    StatusRecorder() { m_previous = Status::Install(this); }
    ~StatusRecorder() override { Status::Install(m_previous); }
    void message(const QString& text) override { messages.append(text); }
    void progress(int percent) override { progressValues.push_back(percent); }
    void setProjectPanel(const QString&) override {}
    void setNodesPanel(const QString&) override {}
    QString Last() const { return messages.isEmpty() ? QString() : messages.last(); }

    QStringList messages;
    std::vector<int> progressValues;

private:
    IStatusSink* m_previous = nullptr;
};

namespace DataTest {
// A new data file in a fresh folder, with the given statements run in it.
inline QString MakeDb(const QString& folderName, const QString& fileName, const QStringList& sql)
{
    const QString path = TestEnv::NewFolder(folderName) + QLatin1Char('/') + fileName;
    kdb::Database db = kdb::Database::Create(path);
    for (const QString& s : sql)
        db.Execute(s);
    db.Close();
    return path;
}

inline void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
}

inline QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}
} // namespace DataTest
