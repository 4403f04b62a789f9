// The two test dialogs and the test command that runs them: frmTestNetwork ("Data Test
// Successful") tests a back-propagation network and sets its training and testing figures side
// by side; frmSFTest ("SFAM Test Results") tests an SFAM classifier and shows both error rates.
// A dialog's buttons end it with an outcome; the command acts on it once the dialog is gone,
// so nothing closes a window from inside its own handler. Only "Reset Data Limits" works under
// the dialog: the row split, and the new test shown on the dialog itself.
#pragma once

#include "network/backprop.h"

#include <QDialog>
#include <QString>
#include <array>
#include <memory>

class CSFam;
class QGroupBox;
class QLabel;
class QPushButton;

namespace TestFigures {
// The four figures of one column: Format(error, "0.00") & "%", Format(rms, "0.00"),
// Format(u, "0.000") and the correlation coefficient r as "0.000" (each "N/A" when undefined).
std::array<QString, 4> Column(float error, float rmsError, float unexplained, double correlation);
// An SFAM error: "0.00%", or "N/A" when there is none (-1).
QString SFamError(float error);
}

class frmTestNetwork : public QDialog {
    Q_OBJECT
public:
    // What the user chose; the test command carries it out after the dialog has closed.
    // Untested: a new training range (or another project) took the project out of the test.
    enum class Outcome { None, Close, Browse, Scatter, Series, Untested };

    // Loads the dialog: the training column from the network over the training rows (empty
    // with grey captions when there are none).
    explicit frmTestNetwork(std::shared_ptr<CBackProp> net, QWidget* parent = nullptr);
    // Runs the test and fills the testing column; a test that did not end Done shows "N/A".
    // The dialog stays where it is, disabled, with its "Testing" caption red.
    TestOutcome Start();
    // The eight figure texts.
    std::array<QString, 8> Figures() const;
    Outcome Result() const { return m_outcome; }
    // "Reset Data Limits": the row split, then, on the dialog as it stands, a new test for a
    // new testing range; a new training range ends the dialog.
    void cmdSetLimits_Click();
    // The "Testing" frame's caption colour (0x00BBGGRR).
    uint32_t TestingCaptionColour() const { return m_testingColour; }

    std::array<QLabel*, 8> lblTrainStat{};
    std::array<QLabel*, 8> lblCaption{};
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QPushButton* cmdScatter = nullptr;
    QPushButton* cmdSeries = nullptr;
    QPushButton* cmdSetLimits = nullptr;
    QPushButton* cmdExit = nullptr;

protected:
    // The main bar's keys (F1: help) work here too.
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void end(Outcome outcome);
    void setFrameColour(QGroupBox* frame, uint32_t bgr);

    std::shared_ptr<CBackProp> m_net;
    Outcome m_outcome = Outcome::None;
    uint32_t m_testingColour = 0;
};

class frmSFTest : public QDialog {
    Q_OBJECT
public:
    explicit frmSFTest(std::shared_ptr<CSFam> net, QWidget* parent = nullptr);
    // The best training error, then the test.
    TestOutcome Start();
    QLabel* lblTrainErr = nullptr;
    QLabel* lblTestErr = nullptr;
    QPushButton* cmdClose = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    // The main bar's keys (F1: help) work here too.
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    std::shared_ptr<CSFam> m_net;
    TestOutcome m_outcome = TestOutcome::NoNetwork;
};

namespace TestDialogs {
// modMenu::TestShow: closes the browse windows, runs the test dialog of the project's kind and
// then does what it ended with (results browser, a chart, a new row split); enters the tested
// step unless a new training range sent the project back to training.
void TestShow();
}
