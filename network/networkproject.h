// The network project as the windows use it, whichever its kind: opening, creating, linking
// and saving the project file, testing, the training calls and the saved network, with the
// boxes they show. What it holds is its ProjectState; CBackProp and CSFam supply the hooks of
// INetworkKind (networkkind.h); TrainingPasses keeps a pass worked off in blocks.
#pragma once

#include "kdb/kdb.h"
#include "network/enginefile.h"
#include "network/networkconstants.h"
#include "network/networkkind.h"
#include "network/projectstate.h"
#include "network/projectstore.h"
#include "network/testprogress.h"
#include "network/trainingpasses.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CNetworkProject : public INetworkKind {
public:
    virtual ~CNetworkProject();
    CNetworkProject(const CNetworkProject&) = delete;
    CNetworkProject& operator=(const CNetworkProject&) = delete;

    // The project's files, settings, outcomes and arrays.
    ProjectState& State() { return m_state; }
    const ProjectState& State() const { return m_state; }

    // --- Lifecycle -----------------------------------------------------------------------
    // Opens the project file, or creates it when it does not exist. An empty path does
    // nothing. Errors are re-raised with the kind's source text.
    void Initialize(const QString& saProjectFileName);
    // Opens the project of the first file of Project again.
    void LoadConfig();
    // Brings back the saved network (LoadSnapshot) / saves the current one (SaveSnapshot).
    void LoadCurrent();
    void SaveCurrent();
    void SplitData() {}
    void ConfigureData(bool ReConfigure) { (void)ReConfigure; }
    // Writes every setting into Config, then the field definitions, the saved network, the
    // workflow step and flags, all in one transaction on one connection: a failure or a kill
    // leaves the file as it was. Shows its own error box; false after a failure.
    bool SaveConfig();
    // Writes the four row bounds into Config, with the workflow step and flags (one
    // transaction), so that a new split survives a close even when nothing else is saved.
    // Raises.
    void SaveRowRanges();
    // Links the source table into the project database as its link table and initialises DDO
    // from it. A failure keeps the old link. Shows its own error box.
    void Attach(const QString& saLinkDataSource, const QString& saLinkTableName);
    // Makes the best network current: from the engine file when it holds one, else from the
    // project's Snapshots. A file the engine refuses leaves no network. Where the engine file
    // holds the best network, an engine file deleted from outside or refused by the engine is
    // told in one box, and so is every later revert that finds no network again (until a
    // network is trained or reset): the project's saved network stands in when there is one.
    void Revert();

    // --- Testing ---------------------------------------------------------------------------
    // Runs the network over the testing rows (building them when needed), records the error in
    // CurrentError and rewrites the project file from memory in one transaction: settings,
    // field definitions, the saved network, the kind's own tables and one Test row per
    // testing row. A failure rolls the file back; the testing arrays then count as not built.
    // Shows its own messages. The status bar's progress tells how far it has come: 0 at its
    // start, whole percents rising to 100 between rows and engine calls, then -1 however it
    // ended. The new Test rows are all unmarked: the test the user asks for starts them anew.
    TestOutcome Test();
    // For a view that needs the tested rows while they are not built (a reopened project, or
    // after a one-row prediction): the same network tested again over the same rows, as Test
    // does, except that each row keeps the mark the user set on its key. Tests nothing while
    // the rows are built or without a network (NoNetwork then).
    TestOutcome RetestIfNotBuilt();
    // Number of the first field with the kind's prediction role; -1 when there is none or no
    // data definition is set.
    int16_t PredictField() const;
    // The engine's working file of the network.
    const QString& NetFileName() const { return m_engineFile.Name(); }
    // The network kind as Config 'Type' holds it: "2" back-propagation, "1" SFAM.
    QString TypeText() const { return QString::fromLatin1(m_kind.typeValue); }

    // --- Training, whatever the kind (each kind's header says what its own calls do) --------
    // One training pass; a refused call leaves DLLError negative.
    virtual void Train() = 0;
    // The error over the training rows into CurrentError.
    virtual void Verify() = 0;
    // Forgets the training, the project file told at once; false after a failure (its box
    // shown).
    virtual bool Reset() = 0;
    // The network's nodes: hidden nodes of a back-propagation network, category nodes of an
    // SFAM network.
    virtual int16_t CurrentNodes() const = 0;

    // --- Training in blocks ----------------------------------------------------------------
    // A training pass that the window works off in blocks of rows is open: the next training
    // block continues it.
    bool PassOpen() const { return m_passes.Open(); }
    // Ends an open pass with the network as at its beginning (a run ended half-way through).
    void AbandonPass() { m_passes.Abandon(); }
    // The kind's engine routine over all the arrays' rows, an open pass abandoned first.
    int32_t CallEngine(EngineCommand command) override;
    // Rows per block: 0 (the default) paces them (see TrainingPasses); a number fixes it, for
    // the blocks of RunBlock too.
    void SetTrainBlockRows(size_t rows) { m_passes.SetBlockRows(rows); }

    // Mode 0 the field layout, 1 the training rows, 2 the testing rows. False after a failure
    // (shown in the box "<class>::BuildArrays"): the arrays are then not to be used.
    bool BuildArrays(int mode);

protected:
    explicit CNetworkProject(const NetworkKindTexts& kind);

    int32_t RunTest() override;
    // The engine's run over all rows of the arrays worked off in blocks of about
    // CBlockPacer::kTargetMs, one block a call, so that a window's steps answer in between
    // (`begin` starts it anew). True once the last block ran, with `answer` what one run over
    // all rows answers; a failed block ends it with that block's code.
    bool RunBlock(bool begin, int32_t& answer);

    // --- The project database ------------------------------------------------------------
    // Creates FieldConfig, Snapshots and Config (one transaction). Raises with the kind's
    // MakeTables source.
    void MakeTables(kdb::Database& db);
    // One Config value, or the empty text after the missing-setting box (or the error box of a
    // failed read); `told`, when given, says whether such a box was shown.
    QString GetProperty(kdb::Database& db, const QString& name, bool* told = nullptr);
    // The keys of the four row bounds.
    static QStringList RowRangeKeys();
    // The settings into Config: those whose keys `only` names, or all when it is empty. Raises.
    void WriteSettings(kdb::Database& db, const QStringList& only);

    void OpenProject(const QString& path);
    // Builds the whole new project in a temporary file beside `path` and moves it into place,
    // so that a kill leaves either no project or a complete one.
    void NewProject(const QString& path);
    // What SaveConfig writes, on a database the caller holds a transaction on; `snapshot`:
    // whether the engine file goes into Snapshots. Raises.
    void WriteConfig(kdb::Database& db, bool snapshot);

    // --- Training and prediction -------------------------------------------------------
    // Builds the layout (and the training rows when asked) and has the engine create a network
    // from them. False when that failed: the object then has no network, DLLError holds
    // DLLErrConstantField, DLLErrTooFewRows, DLLErrNoArrays or the engine's other code, and
    // for the other codes the box failureText + code titled failureTitle was shown.
    // Between the builds and the engine call the status reads PredictingText() + `suffix`.
    bool CreateNetwork(bool withTrainingRows, const QString& suffix, const QString& failureText,
                       const QString& failureTitle);
    // What a training call does before its pass: with a network, the training rows read when
    // they are not built; without one, CreateNetwork (and CurrentError = best error = -1).
    // False when no pass may follow; DLLError then says why.
    bool ReadyToTrain(const QString& suffix, const QString& failureText, const QString& failureTitle);
    // A training call of either kind: ReadyToTrain (with these texts) unless a pass is open;
    // then, when `whole` or when the pass fits one block, the Train command; else the pass in
    // blocks begun when none is open, and its next block. When the pass has ended, `answered`
    // gets the Train command's answer (or the refusal of the pass's beginning); a refusal also
    // clears the status text. True when the pass has ended or could not begin.
    bool TrainCall(bool whole, const QString& suffix, const QString& failureText, const QString& failureTitle,
                   const std::function<void(int32_t)>& answered);
    // The reset of both kinds in the box titled `title`: the kind's `defaults`, counters and
    // errors cleared, and the project file told in one transaction (its saved network gone,
    // the settings the reset changed, the network's counts and error, and the host's workflow
    // flags, which the caller has cleared, with the step and the row bounds: a new split is
    // stored with the reset it brings). The engine file is emptied after. When the file
    // cannot be written, nothing is forgotten and the parameters keep their values. False then.
    bool ForgetTraining(const QString& title, const std::function<void()>& defaults);
    // "Predicting <prediction field>..." (the field of the layout built last)
    QString PredictingText() const;
    // Replaces the arrays by one row of the inputs of `values` (indexed by field number),
    // clears both built flags and runs the engine over it; the engine's answer. Raises 9 when
    // `values` misses an input field.
    int32_t RunOneRow(const std::vector<long double>& values);

    // The testing range of the link in row order, positioned before its first row: column 0
    // the key, then `columns`. Raises 3021 when the table ends before the range starts.
    kdb::Reader TestingRows(kdb::Database& db, const QStringList& columns) const;

    // --- Saved network -------------------------------------------------------------------
    void SaveSnapshot();
    void LoadSnapshot();
    // Whether the engine file holds a network to save (having the engine write it first where
    // the kind wants that).
    bool SnapshotFileReady();
    // The engine file into Snapshots and the best error into Config, on an open database.
    // Raises.
    void WriteSnapshot(kdb::Database& db);
    // Reads the engine file into the engine over a fresh layout.
    enum class EngineFileRead { Read, NoLayout, Refused };
    EngineFileRead ReadEngineFile();

    // Settings over the project's own state.
    ConfigSetting DataFileSetting();
    ConfigSetting TableSetting();
    ConfigSetting TypeSetting();

    ProjectState m_state;
    const NetworkKindTexts& m_kind;
    CEngineFile m_engineFile;

    // The progress of the test under way; idle outside Test.
    TestProgress m_testProgress;
    // The marks of the Test rows being replaced, each written with its new row; none outside
    // a re-test that keeps them.
    KeptMarks m_keptMarks;
    // A test is under way: its progress display lets timers and posted events run, and none of
    // them may start a second test over the same arrays.
    bool m_testing = false;

private:
    void ReadSettingsOfOpen(kdb::Database& db, QString& dataFile, QString& tableName);
    void MissingSettingBox(const QString& name);
    // What a test does with the marks on the Test rows it replaces.
    enum class Marks { Cleared, KeptByKey };
    // The test of Test and RetestIfNotBuilt.
    TestOutcome RunTestAndSave(Marks marks);
    bool RebuildProject(Marks marks);
    // The engine's run over rows first .. first + count - 1 of the arrays, its answer appended
    // to `answers` (nothing for a block of skipped rows only); 0, or the code of a failure.
    int32_t RunRowsInto(int64_t first, int64_t count, std::vector<BlockAnswer>& answers);

    bool m_opening = false;
    TrainingPasses m_passes;
    // The run that RunBlock works off: the next row, the blocks' answers, the pace.
    int64_t m_runNext = 0;
    std::vector<BlockAnswer> m_runAnswers;
    CBlockPacer m_runPacer;
    // The box about a saved network the engine refuses comes once per object.
    bool m_damagedNetworkShown = false;
    // The trained network was lost with its engine file, and none has come back since.
    bool m_networkLost = false;
    QString m_readDataFile;
    QString m_readTableName;
};
