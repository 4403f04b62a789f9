// How far a test over the testing rows has come, in whole percents that only rise: the steps
// (reading the rows, the engine's run, writing the Test rows) share the way by their usual
// share of the time, and the handler hears of each new percent, then -1 when the test ends.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>

class TestProgress {
public:
    using Handler = std::function<void(int16_t percentDone)>;
    enum Step { Reading, Running, Writing };

    // An idle tracker: every call does nothing.
    TestProgress() = default;
    // A test that reads its rows first or not, and whose engine run takes `runWeight` beside
    // reading's 2 and writing's 3 (0: one call that is over in a moment). Reports 0.
    void Start(Handler handler, bool reading, int runWeight);
    // Reports -1 and becomes idle; safe to call twice.
    void End();

    // Whether a handler hears of this test.
    bool Listening() const { return bool(m_handler); }
    // The step now under way, over `rows` rows.
    void Begin(Step step, int64_t rows);
    // `done` rows of the current step are done. Cheap between two whole percents.
    void Rows(int64_t done)
    {
        if (done >= m_next)
            report(done);
    }

private:
    void report(int64_t done);

    Handler m_handler;
    int m_weights[3] = {0, 0, 0};
    int m_total = 0;
    int m_before = 0; // weight of the steps before the current one
    int m_weight = 0; // weight of the current step
    int64_t m_rows = 0;
    int64_t m_next = std::numeric_limits<int64_t>::max();
    int16_t m_last = -1;
};
