#include "network/workflowflags.h"

#include "core/errorbox.h"
#include "core/pathutils.h"
#include "data/dbutilities.h"
#include "data/projectschema.h"
#include "kdb/kdb.h"
#include "network/configtext.h"
#include "network/projectstate.h"
#include "network/projectstore.h"

namespace {
bool hasConfig(const QString& path)
{
    return Utilities::FileExists(path) && Utilities::TableExists(path, ProjectSchema::ConfigTable());
}
} // namespace

CProcess& gProcess()
{
    static CProcess process;
    return process;
}

std::optional<int32_t>& gWorkflowStep()
{
    static std::optional<int32_t> step;
    return step;
}

void Workflow::Write(kdb::Database& db)
{
    if (const std::optional<int32_t> step = gWorkflowStep())
        ProjectStore(db).WriteNavigation(*step);
    if (gProcess().OfOpenProject())
        gProcess().Write(db);
}

void Workflow::Save(const QString& projectFile)
{
    kdb::Database db = kdb::Database::Open(projectFile, false, false);
    ProjectStore store(db);
    // A file that holds them already is not written: it may be busy with another program's
    // write, and reading it needs no lock.
    const std::optional<int32_t> step = gWorkflowStep();
    const bool stepHeld = !step || store.Property(ProjectSchema::NavigateKey()) == QString::number(*step);
    const bool flagsHeld = !gProcess().OfOpenProject()
                           || store.Property(ProjectSchema::ProcessKey()) == ConfigText::FromLong(gProcess().Byte());
    if (stepHeld && flagsHeld)
        return;
    kdb::Transaction t(db);
    Write(db);
    t.Commit();
}

Workflow::Change::Change(ProjectState* ranges) : m_flags(gProcess()), m_step(gWorkflowStep()), m_state(ranges)
{
    if (m_state) {
        m_trainLow = m_state->TrainLow();
        m_trainHigh = m_state->TrainHigh();
        m_testLow = m_state->TestLow();
        m_testHigh = m_state->TestHigh();
    }
}

Workflow::Change::~Change()
{
    if (m_committed)
        return;
    gProcess() = m_flags;
    gWorkflowStep() = m_step;
    if (!m_state)
        return;
    // The setters forget the arrays built over other rows: only a range that moved is set.
    if (m_state->TrainLow() != m_trainLow || m_state->TrainHigh() != m_trainHigh) {
        m_state->SetTrainLow(m_trainLow);
        m_state->SetTrainHigh(m_trainHigh);
    }
    if (m_state->TestLow() != m_testLow || m_state->TestHigh() != m_testHigh) {
        m_state->SetTestLow(m_testLow);
        m_state->SetTestHigh(m_testHigh);
    }
}

void Workflow::Change::Save(const QString& projectFile)
{
    Workflow::Save(projectFile);
    Commit();
}

uint8_t CProcess::Byte() const
{
    uint8_t b = 0;
    if (m_configured)
        b += kConfigured;
    if (m_split)
        b += kSplit;
    if (m_trained)
        b += kTrained;
    if (m_tested)
        b += kTested;
    return b;
}

WorkflowStage CProcess::FurthestStage(bool trainedCountsAsSplit) const
{
    if (m_tested)
        return WorkflowStage::Tested;
    if (m_split || (trainedCountsAsSplit && m_trained))
        return WorkflowStage::Split;
    if (m_configured)
        return WorkflowStage::Configured;
    return WorkflowStage::Unconfigured;
}

void CProcess::Save(const QString& saDBFileName)
{
    if (!hasConfig(saDBFileName))
        return;
    Procedure(QStringLiteral("CProcess::Save"), [&] {
        kdb::Database db = kdb::Database::Open(saDBFileName, false, false);
        Write(db);
    });
}

void CProcess::Write(kdb::Database& db) const
{
    ProjectStore(db).WriteProperty(ProjectSchema::ProcessKey(), ConfigText::FromLong(Byte()));
}

bool CProcess::Load(const QString& saDBFileName)
{
    m_configured = m_split = m_trained = m_tested = false;
    if (!hasConfig(saDBFileName))
        return true;
    return Procedure(QStringLiteral("CProcess::Load"), [&] {
        kdb::Database db = kdb::Database::Open(saDBFileName, false, true);
        const std::optional<QString> v = ProjectStore(db).Property(ProjectSchema::ProcessKey());
        if (!v)
            return;
        uint8_t b = 0;
        try {
            b = ConfigText::ToByte(*v);
        } catch (const KvError& e) {
            throw ConfigText::BadSetting(e, QStringLiteral("workflow step (setting ") + ProjectSchema::ProcessKey() + QLatin1Char(')'),
                                         *v, QStringLiteral("a number from 0 to 255"));
        }
        m_configured = b & kConfigured;
        m_split = b & kSplit;
        m_trained = b & kTrained;
        m_tested = b & kTested;
    });
}
