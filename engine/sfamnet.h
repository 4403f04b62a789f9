// A simplified fuzzy ARTMAP classifier: complement-coded category boxes with a class label
// each, trained by match tracking and read out by the category of highest choice; with the
// payload of its engine file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kvengine {

struct SfamParams {
    float vigBase;
    float alpha;
    float beta;
    float epsilon;
};

class SfamNet {
public:
    explicit SfamNet(int32_t nInputs);

    int32_t Inputs() const { return mInputs; }
    int32_t Categories() const { return mCount; }
    int32_t CategoryClass(int32_t j) const { return mClass[static_cast<size_t>(j)]; }
    // Component d of category j's weight: d < Inputs() the lower corner, d >= Inputs() the
    // complement of the upper corner.
    float Weight(int32_t j, int32_t d) const
    {
        return mW[static_cast<size_t>(d) * mCap + static_cast<size_t>(j)];
    }

    // One pass over the given rows in their order. 1, or the numeric code when the category
    // limit was reached (the network is then as before the pass).
    int32_t TrainPass(const float* patterns, int32_t nFields, const int32_t* rows, size_t count,
                      const SfamParams& p);

    // The class of one pattern row (its columns 1..Inputs()); needs a category.
    int32_t Predict(const float* row, float alpha) const;

    // Writes the class of every listed row into results[row] and returns the number of rows
    // whose class differs from the target in column 0. Needs a category.
    int64_t Run(const float* patterns, int32_t nFields, const int32_t* rows, size_t count,
                float alpha, int16_t* results) const;

    std::vector<uint8_t> Payload() const;
    // 1 and a network, or the bad-file code.
    static int32_t FromPayload(const std::vector<uint8_t>& payload, std::unique_ptr<SfamNet>& out);

private:
    void Commit(const float* input, int32_t cls);
    void Learn(int32_t j, const float* input, float beta);

    int32_t mInputs;
    int32_t mDims;  // 2 * mInputs, by complement coding
    int32_t mCount = 0;
    size_t mCap = 0;
    // Component-major: component d of every category side by side, so that the choice of all
    // categories for one input is a run of vector operations.
    std::vector<float> mW;
    std::vector<float> mWSum;  // |w_j|
    std::vector<int32_t> mClass;
};

}  // namespace kvengine
