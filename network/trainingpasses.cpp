#include "network/trainingpasses.h"

#include "engine/trainpass.h"

#include <algorithm>
#include <chrono>

TrainingPasses::TrainingPasses() = default;
TrainingPasses::~TrainingPasses() = default;

bool TrainingPasses::Open() const { return m_pass && m_pass->Open(); }

void TrainingPasses::Abandon()
{
    if (m_pass)
        m_pass->Abandon();
}

size_t TrainingPasses::BlockRows(size_t remaining) const
{
    return m_blockRows > 0 ? m_blockRows : m_pacer.NextBlock(remaining);
}

int32_t TrainingPasses::Timed(size_t rows, const std::function<int32_t()>& call)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const int32_t answer = call();
    m_pacer.Measured(rows, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    return answer;
}

int32_t TrainingPasses::Begin(const std::function<int32_t(kvengine::TrainPass&)>& begin)
{
    if (!m_pass)
        m_pass = std::make_unique<kvengine::TrainPass>();
    return begin(*m_pass);
}

int32_t TrainingPasses::Next(bool whole, int32_t* cyclesCompleted)
{
    const size_t remaining = m_pass->Rows() - m_pass->RowsDone();
    const size_t rows = whole ? remaining : std::min(remaining, BlockRows(remaining));
    return Timed(rows, [&] { return m_pass->Next(rows, cyclesCompleted); });
}
