// What the back-propagation and the SFAM project have in common: the project database with its
// settings, the project's opening, creation and link to the source table, the normalised
// arrays handed to the engine, and the saved network. The two kinds differ in data (texts,
// roles, their settings tables) and in a few hooks; CBackProp and CSFam supply those.
#pragma once

#include "core/cproject.h"
#include "kdb/kdb.h"
#include "network/blockpacer.h"
#include "network/enginefile.h"
#include "network/networkconstants.h"
#include "network/patternarrays.h"
#include "network/testprogress.h"

#include <QString>
#include <algorithm>
#include <QStringList>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CDataDef;
namespace kvengine {
class TrainPass;
}

class CNetworkProject {
public:
    virtual ~CNetworkProject();
    CNetworkProject(const CNetworkProject&) = delete;
    CNetworkProject& operator=(const CNetworkProject&) = delete;

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
    // Writes only the four row bounds into Config (one transaction), so that a new split
    // survives a close even when nothing else is saved. Raises.
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
    // Shows its own messages.
    TestOutcome Test();
    // Told how far each test has come: 0 at its start, whole percents rising to 100, then -1
    // when it has ended, however it ended. Called between rows and between engine calls, on
    // the caller's thread; none by default.
    void SetProgressHandler(TestProgress::Handler handler) { m_progressHandler = std::move(handler); }
    // Number of the first field with the kind's prediction role; -1 when there is none or no
    // data definition is set.
    int16_t PredictField() const;

    // --- Settings ------------------------------------------------------------------------
    // Writing a training limit forgets the network and both row sets; a testing limit only
    // the testing rows.
    int32_t TrainLow() const { return m_trainLow; }
    void SetTrainLow(int32_t value);
    int32_t TrainHigh() const { return m_trainHigh; }
    void SetTrainHigh(int32_t value);
    int32_t TestLow() const { return m_testLow; }
    void SetTestLow(int32_t value);
    int32_t TestHigh() const { return m_testHigh; }
    void SetTestHigh(int32_t value);
    int16_t ShuffleNum() const { return m_shuffleNum; }
    void SetShuffleNum(int16_t value) { m_shuffleNum = value; }
    QString WorkingDir() const { return m_workingDir; }
    void SetWorkingDir(const QString& value) { m_workingDir = value; }
    int32_t CyclesCompleted() const { return m_cyclesCompleted; }
    // Error in percent of the last verification or test; -1 while none is known.
    float CurrentError() const { return m_currentError; }
    // Outcome of the last network creation: 0, DLLErrConstantField, DLLErrTooFewRows or
    // (SFAM) the engine's code.
    int16_t DLLError() const { return m_dllError; }
    // After DLLErrConstantField: the input fields whose user range is empty or that hold one
    // value in every usable training row, in field order.
    const QStringList& ConstantFields() const { return m_constantFields; }

    // --- Training in blocks ----------------------------------------------------------------
    // A training pass that the window works off in blocks of rows is open: the next training
    // block continues it.
    bool PassOpen() const;
    // Ends an open pass with the network as at its beginning (a run ended half-way through).
    void AbandonPass();
    // Rows per block: 0 (the default) paces the blocks to about CBlockPacer::kTargetMs each; a
    // number fixes it. The network comes out the same either way.
    void SetTrainBlockRows(size_t rows) { m_blockRows = rows; }

    // The project file: the first file of Project. Writing an empty text is ignored.
    QString ProjectFileName() const;
    void SetProjectFileName(const QString& fileName);
    CProject& Project() { return m_project; }
    QString TableName() const;
    QString DatabaseFileName() const;
    std::shared_ptr<CDataDef> DDO() const { return m_ddo; }
    void SetDDO(std::shared_ptr<CDataDef> ddo) { m_ddo = std::move(ddo); }

    // --- State for readers ---------------------------------------------------------------
    bool NetReady() const { return m_netReady; }
    bool TrainBuilt() const { return m_trainBuilt; }
    bool TestBuilt() const { return m_testBuilt; }
    // The arrays (see PatternArrays): Rows is the upper bound of their row dimension.
    int32_t NumInputs() const { return m_arrays.m_numInputs; }
    int64_t Rows() const { return m_arrays.m_rows; }
    float Pattern(int32_t field, int64_t row) const { return m_arrays.Pattern(field, row); }
    const std::vector<float>& Patterns() const { return m_arrays.m_patterns; }
    int32_t PatternStride() const { return m_arrays.Stride(); }
    const std::vector<int16_t>& InputFields() const { return m_arrays.m_inputFields; }
    const std::vector<float>& FieldMinimums() const { return m_arrays.m_fieldMin; }
    const std::vector<float>& FieldMaximums() const { return m_arrays.m_fieldMax; }
    int16_t PredictFieldIndex() const { return m_arrays.m_predictField; }
    const QString& NetFileName() const { return m_engineFile.Name(); }
    // The network kind as Config 'Type' holds it: "2" back-propagation, "1" SFAM.
    QString TypeText() const { return QString::fromLatin1(m_kind.typeValue); }

    // Mode 0 the field layout, 1 the training rows, 2 the testing rows. False after a failure
    // (shown in the box "<class>::BuildArrays"): the arrays are then not to be used.
    bool BuildArrays(int mode);

protected:
    // The texts and choices in which the two kinds differ.
    struct Kind {
        const char* className;          // box titles: className + "::" + member
        const char* sourceName;         // error sources: sourceName + ":" + member + " Method"
        const char* makeTablesSource;
        const char* initializeSource;
        const char* missingSettingText; // the missing-setting box...
        bool missingSettingNamesKey;    // ...followed by the setting's name
        const char* missingSettingTitle;
        const char* typeValue;          // Config 'Type'
        const char* bestErrorKey;       // Config key of the saved network's error
        int16_t predictRole;            // FieldRole of the prediction field
        bool exclusiveSave;             // SaveConfig opens the database exclusively
        bool openStopsAtFirstError;     // else a failing step of the open is skipped
        bool loadConfigRaises;          // LoadConfig passes errors on
    };

    // One Config setting: its key, its text form, and how the text is read back (empty: the
    // setting is written only).
    struct Setting {
        QString key;
        std::function<QString()> write;
        std::function<void(const QString&)> read;
    };

    explicit CNetworkProject(const Kind& kind);

    // --- What each kind supplies ---------------------------------------------------------
    // The settings in writing order, and the keys in the order the open reads them.
    virtual std::vector<Setting> Settings() = 0;
    virtual QStringList ReadOrder() const = 0;
    // Runs the engine routine of the kind on the current arrays (an open pass is abandoned
    // first).
    virtual int32_t CallEngine(EngineCommand command) = 0;
    // Begins the kind's training pass on the current arrays; the engine's code.
    virtual int32_t BeginEnginePass(kvengine::TrainPass& pass) = 0;
    // The kind's rules for the arrays.
    virtual IPatternKind& PatternKind() = 0;
    // Whether the best network is kept in the engine file as training goes (so Revert reads
    // it from there), whether SaveSnapshot must have the engine write the file first, and
    // whether SaveConfig saves the network.
    virtual bool BestKeptInEngineFile() const = 0;
    virtual bool WritesEngineFileOnSave() const = 0;
    virtual bool SavesSnapshotWithConfig() const = 0;

    // --- The project database ------------------------------------------------------------
    // Creates FieldConfig, Snapshots and Config (one transaction). Raises with the kind's
    // MakeTables source.
    void MakeTables(kdb::Database& db);
    // One Config value, or the empty text after the missing-setting box.
    QString GetProperty(kdb::Database& db, const QString& name);
    // The settings into Config: those whose keys `only` names, or all when it is empty. Raises.
    void WriteSettings(kdb::Database& db, const QStringList& only);

    void OpenProject(const QString& path);
    // Builds the whole new project in a temporary file beside `path` and moves it into place,
    // so that a kill leaves either no project or a complete one.
    void NewProject(const QString& path);
    // What SaveConfig writes, on a database the caller holds a transaction on; `snapshot`:
    // whether the engine file goes into Snapshots. Raises.
    void WriteConfig(kdb::Database& db, bool snapshot);
    // Config 'Navigate' and 'Process' from the host's workflow step and flags, when it has them.
    // Raises.
    void WriteNavigation(kdb::Database& db);
    void HideSplash();

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
    // The critical box of a refused engine call: text + code, titled `title`.
    static void EngineBox(const QString& text, int32_t code, const QString& title);
    // What an engine result code means, in words ("" for a code without a meaning of its own).
    static QString EngineFailureWords(int32_t code);
    // The reset of both kinds in the box titled `title`: DropSavedNetwork, the kind's
    // `defaults`, then counters, errors and flags cleared. When the saved network cannot be
    // dropped, the parameters keep their values. False then.
    bool ForgetTraining(const QString& title, const std::function<void()>& defaults);
    // "Predicting <prediction field>..." (the field of the layout built last)
    QString PredictingText() const;
    // Replaces the arrays by one row of the inputs of `values` (indexed by field number),
    // clears both built flags and runs the engine over it; the engine's answer. Raises 9 when
    // `values` misses an input field.
    int32_t RunOneRow(const std::vector<double>& values);
    // Forgets the trained network: the engine file emptied, the saved rows of Snapshots gone.
    // Raises.
    void DropSavedNetwork();
    // A failing engine result as a negative 16-bit code.
    static int16_t FailureCode(int32_t result);

    // --- Testing hooks -------------------------------------------------------------------
    // The status text while the engine runs, the test error of the engine's answer (showing
    // the kind's boxes for a failure), the Test table's statement with its key column of
    // type keyType, the kind's own tables of the rebuild, and the Test rows (false after its own error box).
    virtual QString TestingText() const = 0;
    virtual TestOutcome TestError(int32_t result, float& error) = 0;
    virtual QString TestTableStatement(const QString& keyType) const = 0;
    virtual bool RebuildKindTables(kdb::Database& db)
    {
        (void)db;
        return true;
    }
    virtual bool SavePrediction(kdb::Database& db) = 0;
    // The engine's run over the testing rows: one call. A kind whose answer adds up over parts
    // of the rows may run them in blocks, telling m_testProgress after each; TestRunWeight is
    // then its share of a test's time (reading the rows is 2, writing them 3).
    virtual int32_t RunTest() { return CallEngine(EngineRun); }
    virtual int TestRunWeight() const { return 0; }
    // Column type of Test.MainPrimaryKey for the source's key: "Long" for whole numbers, the
    // key's own kind of column otherwise (text compared exactly, number with fraction, date).
    QString TestKeyType() const;
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

    // Title and source texts of the kind.
    QString Title(const char* member) const;
    QString Source(const char* member) const;

    // Setting factories over members of the object.
    Setting TextSetting(const char* key, QString& member);
    Setting LongSetting(const char* key, int32_t& member);
    Setting IntegerSetting(const char* key, int16_t& member);
    Setting IntegerViaSingleSetting(const char* key, int16_t& member);
    Setting SingleSetting(const char* key, float& member);
    Setting BooleanSetting(const char* key, bool& member);
    Setting DataFileSetting();
    Setting TableSetting();
    Setting TypeSetting();

    const Kind& m_kind;
    CProject m_project;
    std::shared_ptr<CDataDef> m_ddo;
    CEngineFile m_engineFile;

    // Settings shared by both kinds.
    int32_t m_trainLow = 1;
    int32_t m_trainHigh = 1000;
    int32_t m_testLow = 1;
    int32_t m_testHigh = 1000;
    int16_t m_shuffleNum = 0;
    QString m_workingDir;
    int32_t m_cyclesCompleted = 0;
    float m_currentError = -1;
    // BestError of a back-propagation project, BestTrainError of an SFAM project.
    float m_bestError = -1;
    int16_t m_dllError = 0;
    QStringList m_constantFields;

    // The arrays and their flags.
    bool m_netReady = false;
    bool m_trainBuilt = false;
    bool m_testBuilt = false;
    PatternArrays m_arrays;
    // The progress of the test under way; idle outside Test.
    TestProgress m_testProgress;
    // A test is under way: its progress display lets timers and posted events run, and none of
    // them may start a second test over the same arrays.
    bool m_testing = false;

private:
    void ReadSettingsOfOpen(kdb::Database& db, QString& dataFile, QString& tableName);
    void MissingSettingBox(const QString& name);
    bool RebuildProject();

    // Rows of the next training block when `remaining` are left.
    size_t BlockRows(size_t remaining) const;

    bool m_opening = false;
    std::unique_ptr<kvengine::TrainPass> m_pass;
    CBlockPacer m_pacer;
    size_t m_blockRows = 0;
    TestProgress::Handler m_progressHandler;
    // The box about a saved network the engine refuses comes once per object.
    bool m_damagedNetworkShown = false;
    // The trained network was lost with its engine file, and none has come back since.
    bool m_networkLost = false;
    QString m_readDataFile;
    QString m_readTableName;
};
