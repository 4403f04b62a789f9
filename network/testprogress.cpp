#include "network/testprogress.h"

#include <algorithm>
#include <cmath>
#include <utility>

void TestProgress::Start(Handler handler, bool reading, int runWeight)
{
    *this = TestProgress();
    if (!handler)
        return;
    m_handler = std::move(handler);
    m_weights[Reading] = reading ? 2 : 0;
    m_weights[Running] = std::max(runWeight, 0);
    m_weights[Writing] = 3;
    m_total = m_weights[Reading] + m_weights[Running] + m_weights[Writing];
    m_last = 0;
    m_handler(0);
}

void TestProgress::End()
{
    if (!m_handler)
        return;
    const Handler handler = std::move(m_handler);
    *this = TestProgress();
    handler(-1);
}

void TestProgress::Begin(Step step, int64_t rows)
{
    if (!m_handler)
        return;
    m_before = 0;
    for (int s = Reading; s < step; ++s)
        m_before += m_weights[s];
    m_weight = m_weights[step];
    m_rows = std::max<int64_t>(rows, 1);
    m_next = 0;
    report(0);
}

void TestProgress::report(int64_t done)
{
    done = std::clamp<int64_t>(done, 0, m_rows);
    const double rows = double(m_rows);
    const double share = (double(m_before) * rows + double(m_weight) * double(done)) / (double(m_total) * rows);
    const auto percent = int16_t(std::min(100.0, std::floor(share * 100.0)));
    if (percent > m_last) {
        m_last = percent;
        m_handler(percent);
    }
    // The rows at which the next whole percent is reached; none within a step without weight.
    m_next = std::numeric_limits<int64_t>::max();
    if (m_weight > 0 && m_last < 100) {
        const double needed = (double(m_last + 1) / 100.0 * double(m_total) - double(m_before)) * rows / double(m_weight);
        const auto next = int64_t(std::ceil(needed));
        if (next <= m_rows)
            m_next = std::max(next, done + 1);
    }
}
