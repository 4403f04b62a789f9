#include "core/workprogress.h"

#include "core/status.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <numeric>
#include <thread>
#include <utility>

namespace {
// A step that cannot count its units is told at least this often, the same percent again if
// need be: a window left undrawn longer than this looks hung.
constexpr qint64 kQuietMs = 50;
constexpr std::chrono::milliseconds kTellEvery{20};
} // namespace

WorkProgress::~WorkProgress()
{
    End();
}

void WorkProgress::Start(std::vector<int> weights)
{
    End();
    for (int& w : weights)
        w = std::max(w, 0);
    m_weights = std::move(weights);
    m_total = std::max(1, std::accumulate(m_weights.begin(), m_weights.end(), 0));
    m_before = 0;
    m_weight = 0;
    m_units = 1;
    m_next = std::numeric_limits<int64_t>::max();
    m_last = 0;
    m_running = true;
    tell(0);
}

void WorkProgress::End()
{
    if (!m_running)
        return;
    m_running = false;
    m_next = std::numeric_limits<int64_t>::max();
    tell(-1);
}

void WorkProgress::Begin(int step, int64_t units)
{
    if (!m_running || step < 0 || size_t(step) >= m_weights.size())
        return;
    m_before = std::accumulate(m_weights.begin(), m_weights.begin() + step, 0);
    m_weight = m_weights[size_t(step)];
    m_units = std::max<int64_t>(units, 1);
    m_next = 0;
    report(0);
}

void WorkProgress::Fraction(double fraction)
{
    if (!m_running)
        return;
    const int before = m_last;
    const double units = std::clamp(fraction, 0.0, 1.0) * double(m_units);
    report(int64_t(std::floor(units)));
    if (m_last == before && m_sinceTold.elapsed() >= kQuietMs)
        tell(m_last);
}

void WorkProgress::During(const std::function<void()>& call, double expectedSeconds)
{
    if (!m_running) {
        call();
        return;
    }
    std::exception_ptr error;
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
    std::jthread worker([&] {
        try {
            call();
        } catch (...) {
            error = std::current_exception();
        }
        const std::lock_guard guard(lock);
        done = true;
        ended.notify_one();
    });
    const double expected = std::max(expectedSeconds, 0.01);
    QElapsedTimer clock;
    clock.start();
    std::unique_lock wait(lock);
    while (!ended.wait_for(wait, kTellEvery, [&] { return done; })) {
        wait.unlock();
        Fraction(1.0 - std::exp(-double(clock.nsecsElapsed()) / 1e9 / expected));
        wait.lock();
    }
    wait.unlock();
    worker.join();
    if (error)
        std::rethrow_exception(error);
    Fraction(1.0);
}

void WorkProgress::report(int64_t done)
{
    done = std::clamp<int64_t>(done, 0, m_units);
    const double units = double(m_units);
    const double share = (double(m_before) * units + double(m_weight) * double(done)) / (double(m_total) * units);
    const int percent = int(std::min(100.0, std::floor(share * 100.0)));
    if (percent > m_last) {
        m_last = percent;
        tell(percent);
    }
    // The units at which the next whole percent is reached; none within a step without weight.
    m_next = std::numeric_limits<int64_t>::max();
    if (m_weight > 0 && m_last < 100) {
        const double needed = (double(m_last + 1) / 100.0 * double(m_total) - double(m_before)) * units / double(m_weight);
        const auto next = int64_t(std::ceil(needed));
        if (next <= m_units)
            m_next = std::max(next, done + 1);
    }
}

void WorkProgress::tell(int percent)
{
    m_sinceTold.start();
    Status::Progress(percent);
}
