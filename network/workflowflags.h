// The workflow flags of the open project (configured, split, trained, tested), kept as one
// byte in the project's Config row 'Process' so that a reopened project resumes where it was,
// and the workflow step kept in Config 'Navigate'. `gProcess` is the one instance of the flags;
// its members show their own errors and never raise.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

class ProjectState;

namespace kdb {
class Database;
}

// The stages of a project's road that the views take it up again at, nearest first.
enum class WorkflowStage : uint8_t { Unconfigured, Configured, Split, Tested };

class CProcess {
public:
    // Bit values of the stored byte.
    static constexpr uint8_t kConfigured = 1;
    static constexpr uint8_t kSplit = 2;
    static constexpr uint8_t kTrained = 4;
    static constexpr uint8_t kTested = 8;

    // Writes the flag byte into Config 'Process'; a missing file or Config table does nothing.
    void Save(const QString& saDBFileName);
    // The same on an open project database, inside the caller's transaction. Raises.
    void Write(kdb::Database& db) const;
    // Clears the four flags, then sets them from Config 'Process'; a missing file, table, row
    // or value leaves them clear.
    // False when the stored flags could not be read (its box said why): they are then not the
    // project's, and nothing is to write them back over what the file holds.
    bool Load(const QString& saDBFileName);

    bool IsConfigured() const { return m_configured; }
    void SetIsConfigured(bool value) { m_configured = value; }
    bool IsSplit() const { return m_split; }
    void SetIsSplit(bool value) { m_split = value; }
    bool IsTrained() const { return m_trained; }
    void SetIsTrained(bool value) { m_trained = value; }
    bool IsTested() const { return m_tested; }
    void SetIsTested(bool value) { m_tested = value; }

    // The flags are the open project's: read from its file, or made with it. Only then does the
    // project write them with its settings, never flags cleared or left by another project. The
    // opener says so; a default object's flags are no project's.
    bool OfOpenProject() const { return m_ofOpenProject; }
    void SetOfOpenProject(bool value) { m_ofOpenProject = value; }

    // The byte Save writes for the current flags.
    uint8_t Byte() const;

    // The furthest stage the flags reach: tested, else split, else configured. The flags are
    // independent, so a project may be trained without being marked split: it counts as split
    // only where `trainedCountsAsSplit` says so (opening a project resumes its training).
    WorkflowStage FurthestStage(bool trainedCountsAsSplit) const;

private:
    bool m_configured = false;
    bool m_split = false;
    bool m_trained = false;
    bool m_tested = false;
    bool m_ofOpenProject = false;
};

CProcess& gProcess();

// The workflow step the main bar was last put at (CNavigate keeps it here); none until one is
// set.
std::optional<int32_t>& gWorkflowStep();

namespace Workflow {
// Config 'Navigate' from gWorkflowStep, when there is one, and 'Process' from gProcess, when
// they are the open project's flags, on an open project database inside the caller's
// transaction; what is not there leaves its row as it is. Raises.
void Write(kdb::Database& db);
// The same on the project file, in a transaction of its own, when the file does not hold them
// already. Raises. The one save of the step and flags: callers hold a Change over it.
void Save(const QString& projectFile);

// A step of the project's road taken in memory before the file is told: the workflow step and
// flags, and the row ranges of `ranges` when given, as they stood when it was made come back
// when it ends uncommitted. Made before the change, committed once the save that stores it went
// through: a save that fails leaves memory as the file holds it, and nothing written later
// (the flags at the close) stores half of a step.
class Change {
public:
    explicit Change(ProjectState* ranges = nullptr);
    ~Change();
    Change(const Change&) = delete;
    Change& operator=(const Change&) = delete;

    // Workflow::Save, then Commit. Raises.
    void Save(const QString& projectFile);
    // The file holds the change (a save of the caller's own stored it).
    void Commit() { m_committed = true; }

private:
    CProcess m_flags;
    std::optional<int32_t> m_step;
    ProjectState* m_state;
    int32_t m_trainLow = 0, m_trainHigh = 0, m_testLow = 0, m_testHigh = 0;
    bool m_committed = false;
};
}
