#include "network/blockpacer.h"

#include <algorithm>

size_t CBlockPacer::NextBlock(size_t remaining) const
{
    const double paced = m_rowsPerMs > 0 ? m_rowsPerMs * kTargetMs : double(kFirstRows);
    const size_t rows = std::max(kLeastRows, size_t(paced));
    // A short tail goes with the block before it rather than costing a step of its own.
    return remaining <= rows + rows / 8 ? remaining : rows;
}

void CBlockPacer::Measured(size_t rows, double ms)
{
    // A block too short to time gives a rate at least this high, not one without bound.
    const double rate = double(rows) / std::max(ms, 2.0);
    // A slower block counts at once (an SFAM network slows as it grows); a faster one moves the
    // estimate half-way, so that one lucky block does not make the next one too long.
    m_rowsPerMs = m_rowsPerMs > 0 ? std::min(rate, 0.5 * (m_rowsPerMs + rate)) : rate;
}
