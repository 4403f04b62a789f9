// A training pass that the training window works off in blocks of rows: the engine's pass
// between the blocks, and the size of each block, paced by the time the calls before took.
#pragma once

#include "network/blockpacer.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace kvengine {
class TrainPass;
}

class TrainingPasses {
public:
    TrainingPasses();
    ~TrainingPasses();

    // A pass is open: the next training block continues it.
    bool Open() const;
    // Ends an open pass with the network as at its beginning (a run ended half-way through).
    void Abandon();
    // Rows per block: 0 (the default) paces the blocks to about CBlockPacer::kTargetMs each; a
    // number fixes it. The network comes out the same either way.
    void SetBlockRows(size_t rows) { m_blockRows = rows; }
    // The fixed rows per block; 0 when paced.
    size_t FixedBlockRows() const { return m_blockRows; }
    // Whether a pass over `rows` rows fits one block: it is then the Train command itself.
    bool FitsOneBlock(size_t rows) const { return rows <= BlockRows(rows); }

    // A training call over `rows` rows, timed for the pacing of the blocks; its answer.
    int32_t Timed(size_t rows, const std::function<int32_t()>& call);
    // Begins a pass through `begin` (the kind's beginning of a pass); the engine's code.
    int32_t Begin(const std::function<int32_t(kvengine::TrainPass&)>& begin);
    // The next block of the open pass, or all its remaining rows when `whole`, timed: 0 while
    // rows remain, else the pass's answer.
    int32_t Next(bool whole, int32_t* cyclesCompleted);

private:
    // Rows of the next training block when `remaining` are left.
    size_t BlockRows(size_t remaining) const;

    std::unique_ptr<kvengine::TrainPass> m_pass;
    CBlockPacer m_pacer;
    size_t m_blockRows = 0;
};
