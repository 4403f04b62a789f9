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
    // The paced size is a guess from the blocks before; the time bound holds the block to the
    // target when the rows grow slower within it (an SFAM network's categories).
    const size_t doneBefore = m_pass->RowsDone();
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const double budget = whole || m_blockRows > 0 ? 0.0 : CBlockPacer::kTargetMs;
    const int32_t answer = m_pass->Next(rows, cyclesCompleted, budget);
    const size_t trained = answer == 0 ? m_pass->RowsDone() - doneBefore : rows;
    m_pacer.Measured(trained, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    return answer;
}
