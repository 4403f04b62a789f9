// The network object of an SFAM (classifier) project: a prediction field of 2 to 256 classes
// listed in the project's Classes table, the SFAM engine's parameters, and the class numbers
// that the arrays and the engine's results carry.
#pragma once

#include "network/networkproject.h"

#include <QString>
#include <vector>

class CSFam : public CNetworkProject, private IPatternKind {
public:
    CSFam();
    ~CSFam() override;

    float VigBase() const { return m_vigBase; }
    void SetVigBase(float value) { m_vigBase = value; }
    float Alpha() const { return m_alpha; }
    void SetAlpha(float value) { m_alpha = value; }
    float Beta() const { return m_beta; }
    void SetBeta(float value) { m_beta = value; }
    float Epsilon() const { return m_epsilon; }
    void SetEpsilon(float value) { m_epsilon = value; }
    // Category nodes reported by the last training call.
    int16_t CurrentNodes() const override { return m_currentNodes; }
    // The lowest verification error; -1 for none.
    float BestTrainError() const { return m_state.BestError(); }

    // --- Training, as the training window calls it -----------------------------------------
    // One training pass; the first call (and the first after Reset or a new training range)
    // creates the network. CurrentNodes takes the engine's answer. A refused call leaves
    // DLLError negative so that the training loop stops.
    void Train() override;
    // The same pass in blocks of rows, one block a call, for the training window's steps: the
    // first call of a pass does what Train does before the engine trains, the last one what it
    // does after. True when the pass has ended (DLLError negative when it failed). The network
    // comes out bit for bit as from Train.
    bool TrainBlock();
    // The share of misclassified training rows (skipped rows left out) into CurrentError; a
    // strictly lower one becomes BestTrainError and the network is written to the engine file.
    // Raises 11 when every training row was skipped. Does nothing before Train built the rows.
    void Verify() override;
    // The same verification in blocks of rows, one block a call, for the training window's
    // steps (`begin` for the first of a cycle): true once it has ended, having done what
    // Verify does with the same answer.
    bool VerifyBlock(bool begin);
    // Forgets the training: engine file, saved network, parameters, counters (CurrentNodes
    // included) and errors, the project file told at once (see ForgetTraining). Shows its own
    // error box; false after a failure, which leaves the saved network and the parameters as
    // they were.
    bool Reset() override;
    // The predicted class value for one row of values indexed by field number (only the
    // inputs are read); NoPredictionText() when no network can be made or the engine cannot
    // use the row. Replaces the arrays (both built flags cleared).
    QString Predict(const std::vector<long double>& values);

    // Builds the project's Classes table from every row of the linked source table: one row
    // per distinct non-Null value of the prediction field (compared ignoring case), its row
    // count, and its class number 1, 2, ... One transaction: a failure keeps the old table.
    // Shows its own error box; false after a failure.
    bool BuildClassList();

    // Class value (ClassValueText) by class number; entry 0 stays empty.
    const std::vector<QString>& ClassNames() const { return m_state.Arrays().classes.Names(); }
    // Rows of the last row build marked unusable.
    int64_t NullRows() const { return m_state.Arrays().nullRows; }
    // Per row 0..Rows(): 0 usable, -1 unusable going in; the predicted class after a run.
    const std::vector<int16_t>& Results() const { return m_state.Arrays().classResults; }

protected:
    std::vector<ConfigSetting> Settings() override;
    QStringList ReadOrder() const override;
    int32_t BeginEnginePass(kvengine::TrainPass& pass) override;
    IPatternKind& PatternKind() override { return *this; }
    void LayoutStarting(PatternArrays& arrays) override;
    void LayoutFinished(PatternArrays& arrays) override;
    void SizeResults(PatternArrays& arrays, int64_t rows) override;
    void MarkUnusable(PatternArrays& arrays, int64_t row) override;
    bool RowUsable(const PatternArrays& arrays, int64_t row) const override
    {
        return arrays.classResults[size_t(row)] != UnusableRow;
    }
    float Target(const PatternArrays& arrays, kdb::Reader& reader, int column, int64_t row, PartClasses& classes,
                 bool& unusable) const override;
    void RowsFinished(PatternArrays& arrays) override;
    bool BestKeptInEngineFile() const override { return true; }
    bool WritesEngineFileOnSave() const override { return true; }
    bool SavesSnapshotWithConfig() const override { return true; }
    QStringList NetworkCountKeys() const override
    {
        return {QStringLiteral("CyclesCompleted"), QStringLiteral("CurrentNodes")};
    }
    QString TestingText() const override;
    TestOutcome TestError(int32_t result, float& error) override;
    QString TestTableStatement(const QString& keyType) const override;
    bool RebuildKindTables(kdb::Database& db) override;
    bool SavePrediction(kdb::Database& db) override;
    int32_t EngineOverRows(EngineCommand command, int64_t first, int64_t count) override;
    void CheckArrays() const override { m_state.Arrays().Check(m_state.Arrays().classResults.size()); }
    int32_t JoinRunAnswers(const std::vector<BlockAnswer>& blocks) const override;
    int TestRunWeight() const override { return 3; }
    // The body of BuildClassList on an open database, in one (nested) transaction, which
    // also records the source's stamp in Config 'ClassListSource'. Raises.
    void WriteClassList(kdb::Database& db);
    // True when the project's Classes table was counted from the source as it is now.
    bool ClassListCurrent(kdb::Database& db) const;

    float m_vigBase = 0.5f;
    float m_alpha = 0.001f;
    float m_beta = 1.0f;
    float m_epsilon = 0.0001f;
    int16_t m_currentNodes = 0;

private:
    static const NetworkKindTexts& KindData();
    // The setting of CurrentNodes: a count, save that a training call that failed once stored
    // its negative answer there; such a value is read as no nodes, with a box that says so.
    ConfigSetting NodesSetting();
    bool TrainPart(bool whole);
    // The end of a verification with the engine's answer over all training rows.
    void VerifyEnded(int32_t result);
    // What the class list depends on: the project file, the table its link reads and the
    // prediction field, and the source file's size, time and change counter. Empty when that
    // cannot be told (an ODBC source, a file that cannot be read): the list is then always
    // built anew.
    QString ClassSourceStamp(kdb::Database& db) const;
};
