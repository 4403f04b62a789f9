// What a network project holds for its windows to read and set: its file list and data
// definition, the settings both kinds share, the outcome of the last network creation, and the
// normalised arrays with the flags that say what they hold. A CNetworkProject owns one and
// writes it through the members below.
#pragma once

#include "core/cproject.h"
#include "network/networkkind.h"
#include "network/patternarrays.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

class CDataDef;

class ProjectState {
public:
    ProjectState();
    ~ProjectState();
    ProjectState(const ProjectState&) = delete;
    ProjectState& operator=(const ProjectState&) = delete;

    // --- The project's files and data definition -------------------------------------------
    // The project file: the first file of Project. Writing an empty text is ignored.
    QString ProjectFileName() const;
    void SetProjectFileName(const QString& fileName);
    CProject& Project() { return m_project; }
    QString TableName() const;
    QString DatabaseFileName() const;
    std::shared_ptr<CDataDef> DDO() const { return m_ddo; }
    void SetDDO(std::shared_ptr<CDataDef> ddo) { m_ddo = std::move(ddo); }

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
    void SetCyclesCompleted(int32_t value) { m_cyclesCompleted = value; }
    // The count as the engine's calls advance it.
    int32_t* CyclesCounter() { return &m_cyclesCompleted; }
    // Error in percent of the last verification or test; -1 while none is known.
    float CurrentError() const { return m_currentError; }
    void SetCurrentError(float value) { m_currentError = value; }
    // BestError of a back-propagation project, BestTrainError of an SFAM project; -1 for none.
    float BestError() const { return m_bestError; }
    void SetBestError(float value) { m_bestError = value; }
    // Outcome of the last network creation: 0, DLLErrConstantField, DLLErrTooFewRows or
    // (SFAM) the engine's code.
    int16_t DLLError() const { return m_dllError; }
    void SetDLLError(int16_t value) { m_dllError = value; }
    // After DLLErrConstantField: the input fields whose user range is empty or that hold one
    // value in every usable training row, in field order.
    const QStringList& ConstantFields() const { return m_constantFields; }
    void SetConstantFields(QStringList fields) { m_constantFields = std::move(fields); }
    // The Config setting over one of the values above, under its key: TrainHigh, TrainLow,
    // TestHigh, TestLow, WorkingDir, CyclesCompleted, ShuffleNum, or the kind's key of the best
    // error (BestError, BestTrainError). Reading it back writes the value alone. Raises 5 for
    // another key.
    ConfigSetting Setting(const char* key);

    // --- The arrays and their flags ------------------------------------------------------
    bool NetReady() const { return m_netReady; }
    void SetNetReady(bool value) { m_netReady = value; }
    bool TrainBuilt() const { return m_trainBuilt; }
    void SetTrainBuilt(bool value) { m_trainBuilt = value; }
    bool TestBuilt() const { return m_testBuilt; }
    void SetTestBuilt(bool value) { m_testBuilt = value; }
    // The network and both row sets count as not built.
    void ForgetArrays() { m_netReady = m_trainBuilt = m_testBuilt = false; }
    PatternArrays& Arrays() { return m_arrays; }
    const PatternArrays& Arrays() const { return m_arrays; }
    // The arrays (see PatternArrays): Rows is the upper bound of their row dimension.
    int32_t NumInputs() const { return m_arrays.numInputs; }
    int64_t Rows() const { return m_arrays.rows; }
    float Pattern(int32_t field, int64_t row) const { return m_arrays.Pattern(field, row); }
    const std::vector<float>& Patterns() const { return m_arrays.patterns; }
    int32_t PatternStride() const { return m_arrays.Stride(); }
    const std::vector<int16_t>& InputFields() const { return m_arrays.inputFields; }
    const std::vector<float>& FieldMinimums() const { return m_arrays.fieldMin; }
    const std::vector<float>& FieldMaximums() const { return m_arrays.fieldMax; }
    int16_t PredictFieldIndex() const { return m_arrays.predictField; }

private:
    CProject m_project;
    std::shared_ptr<CDataDef> m_ddo;

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
};
