// Rows per block of a training pass worked off in blocks, so that one block keeps the event
// loop of the training window busy for about kTargetMs: learned from the blocks before, since
// the time per row differs by network and grows with an SFAM network's categories. A pass that
// fits one block (every pass of a small table) stays one block.
#pragma once

#include <cstddef>

class CBlockPacer {
public:
    // A block and the repaint after it stay well under a twentieth of a second.
    static constexpr double kTargetMs = 25.0;
    // The first block, before any was timed, and the least block.
    static constexpr size_t kFirstRows = 8192;
    static constexpr size_t kLeastRows = 256;

    // The rows of the next block when `remaining` rows of a pass are left.
    size_t NextBlock(size_t remaining) const;
    // A block of `rows` took `ms`.
    void Measured(size_t rows, double ms);

private:
    double m_rowsPerMs = 0;  // 0 until a block was timed
};
