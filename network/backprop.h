// The network object of a back-propagation project: a numeric prediction field, the network
// parameters of the back-propagation engine, and the best network logged as training goes.
#pragma once

#include "network/testedpredictions.h"
#include "network/networkproject.h"
#include "network/teststats.h"

#include <cmath>
#include <optional>
#include <vector>

class CBackProp : public CNetworkProject, private IPatternKind {
public:
    CBackProp();
    ~CBackProp() override;

    // Hidden-layer node count; 0 takes the default at the next layout build. CurrentNodes is
    // the same value.
    int16_t LayerJCount() const { return m_layerJCount; }
    void SetLayerJCount(int16_t value) { m_layerJCount = value; }
    int16_t CurrentNodes() const override { return m_layerJCount; }
    void SetCurrentNodes(int16_t value) { m_layerJCount = value; }
    int16_t JogMax() const { return m_jogMax; }
    void SetJogMax(int16_t value) { m_jogMax = value; }
    float InitMax() const { return m_initMax; }
    void SetInitMax(float value) { m_initMax = value; }
    float LearnRate() const { return m_learnRate; }
    void SetLearnRate(float value) { m_learnRate = value; }
    float Momentum() const { return m_momentum; }
    void SetMomentum(float value) { m_momentum = value; }
    int16_t VerifyRate() const { return m_verifyRate; }
    void SetVerifyRate(int16_t value) { m_verifyRate = value; }
    bool BestLogging() const { return m_bestLogging; }
    void SetBestLogging(bool value) { m_bestLogging = value; }
    // The lowest verification error while logging; -1 for none. Writing it changes nothing:
    // only verification and the saved network set it.
    float BestError() const { return m_state.BestError(); }
    void SetBestError(float) {}

    // --- Training, as the training window calls it -----------------------------------------
    // One training pass. The first call, and the first after Reset or a new training range,
    // creates the network from the training rows; the first after a test or a prediction
    // reads the training rows again. A call that the engine refuses, or whose rows cannot be
    // read, leaves DLLError negative so that the training loop stops.
    void Train() override;
    // The same pass in blocks of rows, one block a call, for the training window's steps: the
    // first call of a pass does what Train does before the engine trains, the last one what it
    // does after. True when the pass has ended (DLLError negative when it failed). The network
    // comes out bit for bit as from Train.
    bool TrainBlock();
    // The error over the training rows into CurrentError; with BestLogging a strictly lower
    // error becomes BestError and the network is written to the engine file. Does nothing
    // before Train has built the training rows.
    void Verify() override;
    // Perturbs the weights within JogMax; only while the training rows are built.
    void JogWeights();
    // Forgets the training: engine file, saved network, parameters, counters and errors, the
    // project file told at once (see ForgetTraining). LayerJCount and BestLogging keep their
    // values. Shows its own error box; false after a failure, which leaves the saved network
    // and the parameters as they were.
    bool Reset() override;

    // --- Prediction and results ----------------------------------------------------------
    // The prediction in the prediction field's units for one row of values indexed by field
    // number (entries 1..NumFields; only the inputs are read). NoPrediction when no network
    // can be made or the engine cannot use the row. Replaces the arrays (both built flags
    // cleared).
    double Predict(const std::vector<long double>& values);
    // Root-mean-square error and unexplained share of the variance, in the prediction field's
    // units, over the rows the arrays hold (training rows after Verify, testing rows after
    // Test), measured against the rows' own actual values; rows without prediction count in
    // neither. -1 with a network but no rows built, 0 without either. ActualRMSError raises;
    // UnexplainedVar shows its error box and gives 0; it is NaN when the actual values do not
    // vary (no share of no variance). After a test CurrentError is measured
    // the same way (the mean absolute error in percent of the user range).
    float ActualRMSError();
    float UnexplainedVar();
    // Pearson's r of predicted against actual over the same rows; NaN when it is undefined
    // (no rows built, or predictions or actual values that do not vary).
    double Correlation();
    // All the figures of the rows the arrays hold in one pass; nothing when no rows are built.
    // Raises as ActualRMSError does.
    std::optional<TestStats::Figures> RowFigures() const;
    // The error, the RMS error and the unexplained variance of the network over the training
    // rows, whatever rows the arrays held before (they hold the training rows afterwards).
    // Changes neither the network, the best error nor CurrentError; `valid` is false without a
    // network or when the rows cannot be read or run (the reason was shown).
    struct RowStatistics {
        bool valid = false;
        float error = -1;
        float rmsError = -1;
        float unexplained = -1;
        double correlation = std::nan("");
    };
    RowStatistics TrainingStatistics();
    // The rows the arrays hold as the chart windows draw them (see testedpredictions.h): the
    // testing rows once they are built (RetestIfNotBuilt). Raises what the copies raise.
    TestedPredictions TestedResults() const;

    // Per row 0..Rows(): 0 for a usable row and -1 for an unusable one going into the engine,
    // the normalised prediction after a run.
    const std::vector<float>& Results() const { return m_state.Arrays().valueResults; }

protected:
    std::vector<ConfigSetting> Settings() override;
    QStringList ReadOrder() const override;
    int32_t BeginEnginePass(kvengine::TrainPass& pass) override;
    IPatternKind& PatternKind() override { return *this; }
    void LayoutFinished(PatternArrays& arrays) override;
    void SizeResults(PatternArrays& arrays, int64_t rows) override;
    void MarkUnusable(PatternArrays& arrays, int64_t row) override;
    bool RowUsable(const PatternArrays& arrays, int64_t row) const override
    {
        return arrays.valueResults[size_t(row)] != UnusableRow;
    }
    float Target(const PatternArrays& arrays, kdb::Reader& reader, int column, int64_t row, PartClasses& classes,
                 bool& unusable) const override;
    bool BestKeptInEngineFile() const override { return m_bestLogging; }
    bool WritesEngineFileOnSave() const override { return !m_bestLogging; }
    bool SavesSnapshotWithConfig() const override { return m_bestLogging; }
    QString TestingText() const override;
    TestOutcome TestError(int32_t result, float& error) override;
    QString TestTableStatement(const QString& keyType) const override;
    bool SavePrediction(kdb::Database& db) override;
    int32_t EngineOverRows(EngineCommand command, int64_t first, int64_t count) override;
    void CheckArrays() const override { m_state.Arrays().Check(m_state.Arrays().valueResults.size()); }
    int32_t JoinRunAnswers(const std::vector<BlockAnswer>& blocks) const override;
    int TestRunWeight() const override { return 1; }

    int16_t m_layerJCount = 0;
    int16_t m_jogMax = 25;
    float m_initMax = 1.0f;
    float m_learnRate = 0.5f;
    float m_momentum = 0.5f;
    int16_t m_verifyRate = 5;
    bool m_bestLogging = true;

private:
    static const NetworkKindTexts& KindData();
    bool TrainPart(bool whole);
    // The figures of the rows the arrays hold; raises when they do not fit together.
    TestStats::Figures MeasureRows() const;
};
