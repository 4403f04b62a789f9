// One pass of the Train command worked off in blocks of rows, so that a caller on an interface
// thread can go back to its event loop between blocks. Online training is sequential: in
// blocks of any size the network comes out bit for bit as from one Train command, and so do
// the later runs and their errors. A failure in any block leaves the network as it was when
// the pass began; only a whole pass counts a cycle.
//
// The arrays given at the beginning must stay in place and unchanged until the pass has
// ended. Between blocks the network of the name is half-way through the pass: the caller runs
// no other command on that name meanwhile. A command that replaces or changes that network
// (Init, Read, Train, Jog, VTRELEASE) ends the pass: its next block answers
// KV_ENGINE_ERR_NO_NETWORK and changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kvengine {

class TrainPass {
public:
    TrainPass();
    // An open pass is abandoned.
    ~TrainPass();
    TrainPass(const TrainPass&) = delete;
    TrainPass& operator=(const TrainPass&) = delete;

    // Begins a pass with the arguments and the checks of the Train command of VTBACKPROP or
    // VTSFAM: KV_ENGINE_SUCCESS and an open pass, or that command's code and no pass (and no
    // change). An open pass is abandoned first.
    int32_t BeginBackProp(const float* patterns, int32_t nFields, int32_t nRows,
                          const float* fieldMin, const float* fieldMax, const float* results,
                          float learnRate, float momentum, const char* netFile);
    int32_t BeginSFam(const float* patterns, int32_t nFields, int32_t nRows,
                      const float* fieldMin, const float* fieldMax, const int16_t* results,
                      float vigBase, float alpha, float beta, float epsilon, const char* netFile);

    // Trains the next `rows` usable rows (at least one; fewer when fewer are left). 0 while
    // rows remain. At the end of the pass: *cyclesCompleted += 1 and the Train command's
    // answer (1 back-propagation, the number of categories SFAM). A negative code when a block
    // fails: the network is as at the beginning. The pass is closed unless the answer is 0.
    //
    // With `budgetMs` > 0 the block also ends once that much time has gone, after a whole
    // number of rows (fewer than asked, at least one): the time a row takes is not known
    // beforehand (an SFAM row's grows with the categories the block itself adds), and the
    // network comes out the same however the rows are split.
    int32_t Next(size_t rows, int32_t* cyclesCompleted, double budgetMs = 0.0);

    bool Open() const;
    // Usable rows of the pass, and those trained so far.
    size_t Rows() const;
    size_t RowsDone() const;

    // Brings the network back to where it was at the beginning and closes the pass.
    void Abandon();

private:
    std::unique_ptr<struct PassState> m;
};

}  // namespace kvengine
