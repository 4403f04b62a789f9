// The SFAM training window: one training cycle per Train press, or cycle after cycle while
// "Continuous" is ticked, with the category nodes on the counter, the error labels, the error of
// the last 21 cycles on the chart, the vigilance spinner and the prompt line.
#pragma once

#include "training/trainwindow.h"

#include <memory>

class CSFam;
class QCheckBox;

class frmTrainSF : public CTrainWindow {
    Q_OBJECT
public:
    explicit frmTrainSF(QWidget* parent = nullptr);
    ~frmTrainSF() override;

    void Activate() override;
    void Revert() override;
    void ResetNet() override;
    void SetMessage(const QString& text) override;

    QLabel* lblSFMessage() const { return m_message; }
    QCheckBox* chkContinuous() const { return m_continuous; }
    CUpDown* udtMomentum() const { return m_vigilance.updown; }
    const std::vector<LED*>& LEDMomentum() const { return m_vigilance.digits; }

protected:
    bool BeginRun() override;
    bool RunStep() override;
    void EndOfRun() override;
    bool SaveOnClose() override;
    bool ChartOnlyWhenRoom() const override { return true; }
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::shared_ptr<CSFam> Net() const;
    void ShowTrainingValues();
    void Prompt(const QString& text); // status bar and prompt line
    float DrawCycle(CSFam& net);
    void EngineFailure(CSFam& net);

    Spinner m_vigilance;
    QCheckBox* m_continuous = nullptr;
    QLabel* m_message = nullptr;
    // The error of the run's last cycle; -1 while none completed.
    float m_c = -1;
    bool m_stopShown = false;
    // A cycle trained in several blocks verifies in steps of its own.
    bool m_verifyNext = false;
    // The verification of the cycle has run its first block.
    bool m_verifyBegun = false;
};
