// The workflow navigation: the one object (gNavigate) that switches the main bar's tools on
// and off for each step of a project's road, and remembers the last workflow stage.
#pragma once

#include <QLatin1StringView>
#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

class CCommandBar;
class CProcess;

enum NavigateStep : int32_t {
    navNoProject = 0,
    navOpened = 1,
    navConfigured = 2,
    navSplit = 3,
    navTrained = 4,
    navTested = 5,
    navBrowsing = 6,
    navBrowseInactive = 7,
    navBrowseAll = 8,
    navNoGrid = 9,
};

class CNavigate {
public:
    // Keeps the bar for the later steps.
    void Bind(CCommandBar* abrMainBar);
    CCommandBar* Bar() const { return mToolBar.data(); }

    // Remembers the step when it is a workflow stage (below 5, or above 9) and applies it.
    void Navigate(int32_t eNav);
    bool HasVisited(int32_t) const { return false; }
    // The remembered step (gWorkflowStep, network/workflowflags.h, where the project writes it
    // from); navNoProject before any.
    int32_t Step() const;

    // The remembered step, with the open project's workflow flags, into the project's Config
    // (Workflow::Save: one transaction), and the step back from its row 'Navigate'. Failures
    // show the boxes "CNavigate::Save" and "CNavigate::Load"; Save answers whether it went
    // through (the caller's Workflow::Change is then committed).
    bool Save(const QString& sDBFileName);
    void Load(const QString& sDBFileName);

    // One tool on or off; a name the bar does not know raises to the caller.
    void Enable(const QString& sToolName);
    void Disable(const QString& sToolName);

private:
    // Shows its failures in the box "CNavigate::ProcessNavigate" and leaves the step half done.
    void ProcessNavigate(int32_t eNav);
    void CheckForSnapshot();
    CCommandBar& bar() const;

    QPointer<CCommandBar> mToolBar;
};

CNavigate& gNavigate();

// The places that take a project's road up again at the furthest stage its workflow flags
// reach; each enters its own navigation steps and opens its own view (navigate.cpp holds them
// side by side).
enum class ResumeFrom {
    Opening,                // a project file opened
    ConfigurationUnchanged, // OK in the configuration window with nothing changed
    ConfigurationCancelled, // Cancel in the configuration window of a project that stays
    RowSplit,               // the row split cancelled, or kept on a trained project
    TrainingFinished,       // Finish that ran no test (after the tools came back)
};
// What one of them does at the stage it takes up: the steps it enters, in order, then the
// command of the view it opens (none when empty).
struct ResumeRung {
    std::array<std::optional<NavigateStep>, 2> steps;
    QLatin1StringView view;
};
const ResumeRung& ResumeRungOf(ResumeFrom from, const CProcess& flags);
// Enters the steps and opens the view of the rung the open project's flags give.
void ResumeAtFurthestStep(ResumeFrom from);

// The view a good test ends in: the confusion matrix of an SFAM project, the scatter chart of
// a back-propagation one.
void ShowTestResults(bool sfam);
// The status text that comes with it: "Test complete:  " and the success rate, 100 less the
// test's error in percent; a back-propagation rate in its shortest general form (87.5, 100,
// 7.6293945E-06) then "% success.", an SFAM rate as "0.00" then `sfamEnd` (the roads word it
// differently).
QString TestCompleteText(bool sfam, float currentError, QStringView sfamEnd);
