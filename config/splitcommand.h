// The row-split command (modMenu::SetLimits): shows "Split The Data" with the open project's
// ranges and applies the user's choice to the project, moving the workflow on.
#pragma once

#include <QString>

#include <cstdint>

namespace SplitCommand {
// What the command does after the dialog, decided from its result and the project's ranges.
enum class Road {
    Cancelled,        // the dialog was cancelled: back to the view of the current state
    TrainingChanged,  // a new training range: reset and the training view
    TestingChanged,   // only the testing range is new: test again when trained
    Unchanged,        // both ranges as they were
};
struct Ranges {
    int32_t trainHigh = 0;
    int32_t trainLow = 0;
    int32_t testHigh = 0;
    int32_t testLow = 0;
};
Road Decide(bool cancelled, const Ranges& chosen, const Ranges& project);

// The whole command; errors are shown in the box "modMenu::SetLimits".
void SetLimits();
}

namespace SplitViews {
// Adds the row of the Split tool (SetLimits) to the command table.
void Install();
}
