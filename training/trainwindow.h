// What the two training windows share: the run as a step machine on the user-interface thread
// (one engine call, or one verify-and-draw, per step, each re-armed by a zero-time single shot),
// the end of a run from a scope guard, actions that wait for the run to end, the busy pointer,
// the error chart with its history, and the public members the training bar calls by name.
#pragma once

#include "network/workflowflags.h"
#include "training/errorhistory.h"

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class CNetworkProject;
class CUpDown;
class LED;
class ProjectState;
class QLabel;
class QMdiSubWindow;
class VaredOdozPro;

// The wait cursor of a run, set and restored by its owner alone (Qt's override cursors stack).
class CRunPointer {
public:
    ~CRunPointer() { Restore(); }
    void SetBusy();
    void Restore();
    bool Busy() const { return m_busy; }

private:
    bool m_busy = false;
};

class CTrainWindow : public QWidget {
    Q_OBJECT
public:
    ~CTrainWindow() override;

    // --- Members the command layer calls by name ---------------------------------------------
    // The window's activation set-up (also run by every activation through the main window's
    // child area). Does nothing while a run is active.
    virtual void Activate() = 0;
    // Arms the one-shot start tick; the run begins after the current command has returned.
    void StartTrain();
    // Asks the run to end after the current engine call: the busy pointer and "Please wait...".
    // Without an active run it does nothing.
    void StopTrain();
    virtual void Revert() = 0;
    virtual void ResetNet() = 0;
    virtual void Jog() {}
    // Bar and line alternate; any other chart type returns to bar.
    void GraphType();
    // Zoomed and unzoomed scale rule in turn, applied to the history at once.
    void GraphZoom();
    // The SFAM window's prompt line (lblSFMessage); the back-propagation window has none.
    virtual void SetMessage(const QString&) {}
    // The wait cursor that the Stop tool asks for, owned by the window's run.
    void SetBusyPointer() { m_pointer.SetBusy(); }
    // The network and the flags are in the project file (a save of Finish's stored them).
    void TrainingSaved();

    // --- The run ---------------------------------------------------------------------------
    // From StartTrain until the end of the run.
    bool RunActive() const { return m_active; }
    // When a run is active: `then` runs once after it has ended (queued, outside any step) and
    // the answer is true. Otherwise false and nothing is kept.
    bool AfterRun(std::function<void()> then);
    // Tests: steps are not armed on timers; RunPendingStep runs the next one.
    void SetManualSteps(bool manual) { m_manual = manual; }
    // Runs the next step now (the start tick included); false when no run is active.
    bool RunPendingStep();
    // Steps run so far (the start tick counts as one).
    int StepCount() const { return m_steps; }
    bool StopRequested() const { return mStop; }

    VaredOdozPro* Graph() const { return m_graph; }
    const CErrorHistory& History() const { return mHistory; }
    bool Zoomed() const { return mZoomed; }
    QString CurrentErrorText() const;
    QString BestErrorText() const;
    // The counter's digits, index 0 the units digit.
    const std::vector<LED*>& CounterDigits() const { return m_counter; }
    QMdiSubWindow* SubWindow() const;

signals:
    // The run has ended and its end steps have run.
    void runEnded();
    // The user closed the window (its close box, Ctrl+F4) and it has saved: the view is over.
    void closedByUser();

protected:
    CTrainWindow(const CErrorHistory::Shape& shape, int startDelayMs, const QString& caption,
                 const QString& counterCaption, const QString& runTitle, QWidget* parent);

    // The first tick: set up the run; false ends it at once.
    virtual bool BeginRun() = 0;
    // One step; false when the run ends after it.
    virtual bool RunStep() = 0;
    // The window's end-of-run steps (tools, texts); the pointer and the guard are the base's.
    virtual void EndOfRun() = 0;
    // Derived destructors call this first: an active run ends with its end steps, and a window
    // destroyed without a close (a view change unloads it) still saves what its close saves.
    void Departing();

    // The empty chart of a new window: 0 to 100, tick 10, a label every fifth point, the error
    // curve red and the best point blue.
    void InitChart();
    // Activation: the chart back to 0 to 100 with its title.
    void ResetChart();
    // Unloads the window (a window without its network object).
    void CloseSelf();
    // The number of training rows in the status bar's second panel.
    void ShowTrainingRows(int32_t rows);
    // The opening of either kind's Activate: false while a run is active, or when no network of
    // the window's kind is open (the window closes then); otherwise the frames laid out, the
    // error labels blank, the chart back at its start and the training rows told.
    bool BeginActivate(const CNetworkProject* net);
    // The network has a best and a current error (trained, or brought back from its project).
    static bool ErrorsKnown(const ProjectState& state);
    // The error labels from the network's errors, blank while they are not known; answers
    // whether they are.
    bool ShowKnownErrors(const ProjectState& state);
    // An activation's chart from the network's errors: the history seeded with the current
    // error and drawn from 0 to it plus the kind's headroom; while they are not known the chart
    // has no best point. `onlyAfterACycle`: a network without a completed cycle draws nothing.
    void SeedChart(const ProjectState& state, bool onlyAfterACycle);
    // The reset of either kind: "Reset Warning" when cycles were completed; the project neither
    // trained nor tested any more, stored with the reset network (a reset that failed keeps the
    // flags as they were); `showSettings` puts the network's settings on the kind's spinners;
    // the history cleared and Train on again. False when nothing was reset.
    bool ResetTraining(CNetworkProject& net, const std::function<void()>& showSettings);
    // An engine call failed (its box shown): the run ends and the project counts as untrained.
    void EndOnEngineFailure();
    // A pass has trained the network: the project counts as trained from here, and until a
    // save stores that with the network, a close whose save fails puts the flags back as the
    // file holds them (a later save of the flags alone would store "trained" without it).
    void Trained();
    // The tools of either kind once a run has ended, after the pass it left half-way (only a
    // run ended by an error does) is undone: Exit, Reset and Revert on, Jog Weights and Stop off.
    void RestoreToolsAfterRun(CNetworkProject* net);
    // After a reset: counter 0, empty labels, every history cell nothing, no mark, 0 to 100.
    void ClearHistory();
    // The chart from the history: mark, scale, data, drawn.
    void ShowHistory(const HistoryScale& scale);
    void ShowHistory();
    // The history a revert has rebuilt: a zoomed chart takes the zoomed scale of it at once (the
    // old scale, widened to the best point, would crowd its axis with labels and flatten the
    // point); an unzoomed one keeps its scale.
    void ShowRevertedHistory();
    void SetErrorLabels(const QString& current, const QString& best);
    void ShowCounter(int64_t number);
    // Twips layout of the counter, the frames and the chart for the window's size.
    void Arrange(bool chartOnlyWhenRoom);
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // What the window saves when it goes: false when the save failed (its box shown).
    virtual bool SaveOnClose() = 0;
    virtual bool ChartOnlyWhenRoom() const = 0;

    // Builds a row of `count` digits in a sunken box: index 0 the units digit at the right, or
    // with `indexZeroLeft` the other way round.
    QWidget* DigitBox(std::vector<LED*>& digits, int count, int32_t on, int32_t off, QWidget* parent,
                      bool indexZeroLeft = false);
    // A spinner with its caption and two green digits, inside `frame`.
    struct Spinner {
        CUpDown* updown = nullptr;
        std::vector<LED*> digits;
    };
    Spinner AddSpinner(QWidget* frame, const QString& caption, int min, int max, int value, int column,
                       bool indexZeroLeft);

    bool mStop = false;
    bool mZoomed = false;
    CErrorHistory mHistory;

    VaredOdozPro* m_graph = nullptr;
    QWidget* m_counterBox = nullptr;      // Picture2
    QLabel* m_counterCaption = nullptr;   // Label13
    QWidget* m_personality = nullptr;     // fraPersonality
    QWidget* m_errorFrame = nullptr;      // fraError
    QLabel* m_curError = nullptr;         // lblCurError
    QLabel* m_bestError = nullptr;        // lblBestError
    std::vector<LED*> m_counter;          // LEDCycles
    QString m_runTitle;                   // the box of an unexpected error in a step

private:
    void Tick();
    // SaveOnClose, once; its flags kept when it went through, else put back.
    void SaveAndLeave();
    void Arm(int ms);
    void FinishRun();

    QTimer m_timer;
    int m_startDelay;
    bool m_active = false;
    bool m_started = false;
    bool m_manual = false;
    bool m_inStep = false;
    bool m_closeWhenEnded = false;
    bool m_saved = false;
    // The flags as the file held them before the first pass not yet saved.
    std::optional<Workflow::Change> m_unsaved;
    int m_steps = 0;
    CRunPointer m_pointer;
    std::vector<std::function<void()>> m_afterRun;
};
