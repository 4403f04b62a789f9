// How far one long piece of work has come, told to the status bar in whole percents that only
// rise: the work's steps share the way by their usual share of its time, each step counts its
// own units (rows, bytes), and the bar hears 0 at the start, each new percent, and -1 at the
// end. Every kind of long work (import, statistics, a test) reports through this one road,
// core/status.h's Status::Progress, whose sink draws the bar and lets the window repaint.
#pragma once

#include <QElapsedTimer>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

class WorkProgress {
public:
    // An idle tracker: every call does nothing.
    WorkProgress() = default;
    ~WorkProgress();
    WorkProgress(const WorkProgress&) = delete;
    WorkProgress& operator=(const WorkProgress&) = delete;

    // Work of these steps, each of the given weight (0: over in a moment). Reports 0.
    void Start(std::vector<int> weights);
    // Reports -1 and becomes idle; safe to call twice (the destructor calls it).
    void End();
    bool Active() const { return m_running; }

    // The step now under way, over `units` units of it.
    void Begin(int step, int64_t units);
    // `done` units of the current step are done. Cheap between two whole percents.
    void Units(int64_t done)
    {
        if (done >= m_next)
            report(done);
    }
    // A step whose units cannot be counted as they go (one call into a library): `fraction`
    // (0..1) of it is thought done. Told again though it did not rise, once no report was
    // heard for a while, so that the window is drawn while the call lasts.
    void Fraction(double fraction);
    // Runs `call` (one call into a library that cannot report, usually `expectedSeconds`
    // long) on a thread of its own while this thread tells the progress of the current step
    // by the time gone, never quite reaching its end until the call is over; the call's error
    // is passed on. The call must leave alone whatever this thread may touch while it waits
    // (the windows drawn by the reports); a database connection used by nothing else serves.
    void During(const std::function<void()>& call, double expectedSeconds);

private:
    void report(int64_t done);
    void tell(int percent);

    bool m_running = false;
    std::vector<int> m_weights;
    int m_total = 0;
    int m_before = 0; // weight of the steps before the current one
    int m_weight = 0; // weight of the current step
    int64_t m_units = 0;
    int64_t m_next = std::numeric_limits<int64_t>::max();
    int m_last = -1;
    QElapsedTimer m_sinceTold;
};
