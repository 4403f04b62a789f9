// What a kind of network project (back-propagation, SFAM) supplies to the project it is: its
// texts and choices, its Config settings, and the hooks through which the shared project calls
// its engine, keeps its network and writes its test results.
#pragma once

#include "kdb/kdb.h"
#include "network/networkconstants.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

class IPatternKind;
namespace kvengine {
class TrainPass;
}

// The texts and choices in which the two kinds differ.
struct NetworkKindTexts {
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

    // The box title and the error source of one of the project's members.
    QString Title(const char* member) const;
    QString Source(const char* member) const;
};

// One Config setting: its key, its text form, and how the text is read back (empty: the
// setting is written only).
struct ConfigSetting {
    QString key;
    std::function<QString()> write;
    std::function<void(const QString&)> read;
};

// Settings over a variable, in the text form Config keeps for its type (see ConfigText); the
// variable must outlive the setting. A stored text that cannot be read raises an error that
// names the setting, what it reads and what it must be (ConfigText::BadSetting), and leaves
// the variable as it was. A count (rows, nodes, cycles) is a Long or an Integer that is never
// negative; CountViaSingleSetting reads it as a Single first, as older files wrote decimals.
ConfigSetting TextSetting(const char* key, QString& member);
ConfigSetting CountSetting(const char* key, int32_t& member);
ConfigSetting CountSetting(const char* key, int16_t& member);
ConfigSetting CountViaSingleSetting(const char* key, int16_t& member);
ConfigSetting IntegerSetting(const char* key, int16_t& member);
ConfigSetting SingleSetting(const char* key, float& member);
ConfigSetting BooleanSetting(const char* key, bool& member);

// The hooks each kind implements; the shared project calls them on itself.
class INetworkKind {
protected:
    ~INetworkKind() = default;

    // The settings in writing order, and the keys in the order the open reads them.
    virtual std::vector<ConfigSetting> Settings() = 0;
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
    // The Config keys of the counts that belong to a trained network (besides its error under
    // bestErrorKey): the cycles it took and, where the kind counts them, its nodes. A network
    // brought back from the project brings them back; a reset stores them cleared.
    virtual QStringList NetworkCountKeys() const { return {QStringLiteral("CyclesCompleted")}; }

    // --- Testing -------------------------------------------------------------------------
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
    // The engine's run over the testing rows. Each row's answer stands alone, so the shared
    // project runs them in blocks while the test's progress is shown, through these two: the
    // engine over rows first .. first + count - 1 of the arrays only, and the answer of one
    // call over all rows made from the answers of the blocks (each >= 0, with the block's
    // usable rows; none when every row was skipped). TestRunWeight is the run's share of a
    // test's time (reading the rows is 2, clearing the old Test rows 1, writing them 3, saving
    // them 1).
    struct BlockAnswer {
        int32_t answer;
        int64_t usableRows;
    };
    virtual int32_t RunTest() = 0;
    // Raises unless the arrays and the kind's results agree (see PatternArrays::Check).
    virtual void CheckArrays() const = 0;
    virtual int32_t EngineOverRows(EngineCommand command, int64_t first, int64_t count) = 0;
    virtual int32_t JoinRunAnswers(const std::vector<BlockAnswer>& blocks) const = 0;
    virtual int TestRunWeight() const = 0;
};
