// The back-propagation training window: trains the open back-propagation network pass by pass
// (a pass is the verify rate's number of engine calls, then a verification), shows the error of
// the last 61 passes with the best one marked, the error labels and the cycle counter, and holds
// the verify-rate, learning-rate and momentum spinners.
#pragma once

#include "training/trainwindow.h"

#include <memory>

class CBackProp;

class frmTrainBP : public CTrainWindow {
    Q_OBJECT
public:
    explicit frmTrainBP(QWidget* parent = nullptr);
    ~frmTrainBP() override;

    // When true each pass draws the chart; when false the chart is hidden and only the labels
    // change. The main bar's Show Graph tool sets it.
    bool mShowGraph = true;

    void Activate() override;
    void Revert() override;
    void ResetNet() override;
    void Jog() override;

    CUpDown* udVerify() const { return m_verify.updown; }
    CUpDown* udtLearnRate() const { return m_learn.updown; }
    CUpDown* udtMomentum() const { return m_momentum.updown; }
    const std::vector<LED*>& LEDVerify() const { return m_verify.digits; }
    const std::vector<LED*>& LEDLearnRate() const { return m_learn.digits; }
    const std::vector<LED*>& LEDMomentum() const { return m_momentum.digits; }

protected:
    bool BeginRun() override;
    bool RunStep() override;
    void EndOfRun() override;
    bool SaveOnClose() override;
    bool ChartOnlyWhenRoom() const override { return false; }

private:
    std::shared_ptr<CBackProp> Net() const;
    void ShowTrainingValues();
    void SpinnersFromNet(CBackProp& net);
    // One block of the current training call; false when the run ends.
    bool TrainBlock(CBackProp& net);
    // One pass drawn: the chart path or the label path. Answers the pass's error (-1: none).
    float ShowPass(CBackProp& net);
    void EngineFailure(CBackProp& net);

    Spinner m_verify, m_learn, m_momentum;
    // The run: engine calls done in this pass, the calls of this pass, the next step verifies.
    int m_calls = 0;
    int m_callsThisPass = 0;
    bool m_verifyNext = false;
    // The error of the last completed pass of the run; 0 while none completed.
    float m_passError = 0;
    // A jog asked for during a call in blocks, done after its last block.
    bool m_jogAfterCall = false;
};
