#include "network/teststats.h"

#include <cmath>

namespace {
constexpr float kUnusable = -1.0f;

double units(float v, float lo, float hi)
{
    return double(lo) + (double(hi) - double(lo)) * double(v);
}
} // namespace

float TestStats::RmsError(const float* patterns, int32_t stride, const float* results, int64_t rows, float lo,
                          float hi)
{
    double sum = 0;
    int64_t count = 0;
    for (int64_t i = 1; i <= rows; ++i) {
        if (results[i] == kUnusable)
            continue;
        const double d = units(results[i], lo, hi) - units(patterns[i * stride], lo, hi);
        sum += d * d;
        ++count;
    }
    return count == 0 ? 0.0f : float(std::sqrt(sum / double(count)));
}

float TestStats::UnexplainedVariance(const float* patterns, int32_t stride, const float* results, int64_t rows,
                                     float lo, float hi)
{
    double total = 0;
    int64_t count = 0;
    for (int64_t i = 1; i <= rows; ++i) {
        if (results[i] == kUnusable)
            continue;
        total += units(patterns[i * stride], lo, hi);
        ++count;
    }
    const double mean = count == 0 ? 0.0 : total / double(count);
    double sst = 0;
    double sse = 0;
    for (int64_t i = 1; i <= rows; ++i) {
        if (!(results[i] >= 0.0f))
            continue;
        const double a = units(patterns[i * stride], lo, hi);
        const double p = units(results[i], lo, hi);
        sst += (a - mean) * (a - mean);
        sse += (p - a) * (p - a);
    }
    return sst == 0 ? 0.0f : float(sse / sst);
}
