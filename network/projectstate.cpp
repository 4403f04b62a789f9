#include "network/projectstate.h"

#include "core/apppaths.h"
#include "core/errorbox.h"
#include "core/kverror.h"
#include "data/datadef.h"

ProjectState::ProjectState() : m_ddo(std::make_shared<CDataDef>())
{
    IgnoreErrors([&] {
        m_project.SetExtAllowed(QStringLiteral("*.PRJ"));
        m_project.SetExtFilter(QStringLiteral("Korvan Project (*.PRJ)|*.PRJ"));
        m_project.SetPathDefault(AppPaths::ProgramFolder());
    });
}

ProjectState::~ProjectState() = default;

// --- Settings ----------------------------------------------------------------------------

void ProjectState::SetTrainLow(int32_t value)
{
    m_trainLow = value;
    ForgetArrays();
}

void ProjectState::SetTrainHigh(int32_t value)
{
    m_trainHigh = value;
    ForgetArrays();
}

void ProjectState::SetTestLow(int32_t value)
{
    m_testLow = value;
    m_testBuilt = false;
}

void ProjectState::SetTestHigh(int32_t value)
{
    m_testHigh = value;
    m_testBuilt = false;
}

ConfigSetting ProjectState::Setting(const char* key)
{
    const QLatin1StringView name(key);
    if (name == QLatin1StringView("TrainHigh"))
        return CountSetting(key, m_trainHigh);
    if (name == QLatin1StringView("TrainLow"))
        return CountSetting(key, m_trainLow);
    if (name == QLatin1StringView("TestHigh"))
        return CountSetting(key, m_testHigh);
    if (name == QLatin1StringView("TestLow"))
        return CountSetting(key, m_testLow);
    if (name == QLatin1StringView("WorkingDir"))
        return TextSetting(key, m_workingDir);
    if (name == QLatin1StringView("CyclesCompleted"))
        return CountSetting(key, m_cyclesCompleted);
    if (name == QLatin1StringView("ShuffleNum"))
        return IntegerSetting(key, m_shuffleNum);
    if (name == QLatin1StringView("BestError") || name == QLatin1StringView("BestTrainError"))
        return SingleSetting(key, m_bestError);
    throw KvError(KvErr::InvalidCall, QStringLiteral("ProjectState::Setting"), QString::fromLatin1(key));
}

QString ProjectState::ProjectFileName() const
{
    const CFile* first = m_project.Item(1);
    return first ? first->FileName() : QString();
}

void ProjectState::SetProjectFileName(const QString& fileName)
{
    if (fileName.isEmpty())
        return;
    IgnoreErrors([&] {
        if (m_project.Count() > 0)
            m_project.Remove(1);
        m_project.AddFile(fileName);
    });
}

QString ProjectState::TableName() const
{
    return m_ddo ? m_ddo->TableName() : QString();
}

QString ProjectState::DatabaseFileName() const
{
    return m_ddo ? m_ddo->DBFileName() : QString();
}
