#include "network/projectstate.h"

#include "core/apppaths.h"
#include "core/errorbox.h"
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
    m_netReady = m_trainBuilt = m_testBuilt = false;
}

void ProjectState::SetTrainHigh(int32_t value)
{
    m_trainHigh = value;
    m_netReady = m_trainBuilt = m_testBuilt = false;
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
