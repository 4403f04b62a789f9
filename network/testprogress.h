// How far a test over the testing rows has come: reading the rows, the engine's run, clearing
// the old Test rows, writing the new ones and saving them share the way by their usual share
// of the time.
#pragma once

#include "core/status.h"
#include "core/workprogress.h"

class TestProgress : public WorkProgress {
public:
    enum Step { Reading, Running, Clearing, Writing, Saving };

    // A test that reads its rows first or not, and whose engine run takes `runWeight` beside
    // reading's 2, clearing's 1, writing's 3 and saving's 1. Reports 0.
    void Start(bool reading, int runWeight) { WorkProgress::Start({reading ? 2 : 0, runWeight, 1, 3, 1}); }
    // Whether anyone is shown the progress: work that could be done in one piece is cut into
    // parts only then.
    bool Listening() const { return Active() && Status::Current(); }
    void Rows(int64_t done) { Units(done); }
};
