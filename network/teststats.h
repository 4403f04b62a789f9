// The error statistics of a back-propagation run in the prediction field's units, computed from
// the normalised arrays: root-mean-square error and the unexplained share of the variance.
#pragma once

#include <cstdint>

namespace TestStats {
// Rows 1..rows of `patterns` (row-contiguous, `stride` values per row, the actual value in
// column 0) against `results` (the prediction per row, -1 for a row without one). Normalised
// values v stand for lo + (hi - lo) * v. Rows without prediction count nowhere; with no row
// left both answer 0. Sums are kept in double precision.
float RmsError(const float* patterns, int32_t stride, const float* results, int64_t rows, float lo, float hi);
// SSE / SST; 0 when the actual values do not vary.
float UnexplainedVariance(const float* patterns, int32_t stride, const float* results, int64_t rows, float lo,
                          float hi);
}
