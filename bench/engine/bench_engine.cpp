// Speed of the network engine: back-propagation training passes and runs, SFAM training and
// runs, each printed beside FANN 2.2 (incremental training, same net, data, initial weights,
// learning rate and momentum) when that library is present.
#include "engine/bpnet.h"
#include "engine/korvan_engine.h"
#include "engine/netfile.h"
#include "engine/rng.h"
#include "engine/sfamnet.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

#ifdef KORVAN_HAVE_FANN
#include KORVAN_FANN_HEADER
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// The calling thread's processor time: training is single-threaded on both sides, and on a
// shared machine the wall clock also counts the time others held the core.
double ThreadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Normalised rows in the engine's layout: row 0 empty, column 0 the target.
struct Table {
    int32_t fields = 0;
    int32_t rows = 0;  // including row 0
    std::vector<float> patterns, fmin, fmax;
    const float* Row(int32_t r) const { return patterns.data() + static_cast<size_t>(r) * fields; }
    float* Row(int32_t r) { return patterns.data() + static_cast<size_t>(r) * fields; }
};

Table NewTable(int32_t inputs, int32_t rows)
{
    Table t;
    t.fields = inputs + 1;
    t.rows = rows + 1;
    t.patterns.assign(static_cast<size_t>(t.fields) * t.rows, 0.0f);
    t.fmin.assign(static_cast<size_t>(t.fields), 0.0f);
    t.fmax.assign(static_cast<size_t>(t.fields), 1.0f);
    return t;
}

// A smooth function of all inputs with values inside 0.1..0.9.
Table SmoothTask(int32_t inputs, int32_t rows, uint64_t seed)
{
    Table t = NewTable(inputs, rows);
    kvengine::Pcg32 g(seed);
    const float scale = 2.0f / std::sqrt(static_cast<float>(inputs));
    for (int32_t r = 1; r < t.rows; ++r) {
        float* row = t.Row(r);
        float u = 0.0f, v = 0.0f;
        for (int32_t i = 1; i <= inputs; ++i) {
            row[i] = g.Unit();
            u += std::sin(1.3f * i + 0.7f) * (row[i] - 0.5f);
            v += std::cos(0.9f * i + 0.2f) * (row[i] - 0.5f);
        }
        u *= scale;
        v *= scale;
        row[0] = 0.5f + 0.25f * std::sin(1.5f * u) + 0.1f * std::cos(2.0f * v);
    }
    return t;
}

// Points of the unit square; class 1 inside the centred circle of half the square's area,
// class 2 outside.
Table CircleTask(int32_t rows, uint64_t seed)
{
    Table t = NewTable(2, rows);
    kvengine::Pcg32 g(seed);
    const float r2 = 0.5f / 3.14159265f;
    for (int32_t r = 1; r < t.rows; ++r) {
        float* row = t.Row(r);
        row[1] = g.Unit();
        row[2] = g.Unit();
        const float dx = row[1] - 0.5f, dy = row[2] - 0.5f;
        row[0] = dx * dx + dy * dy < r2 ? 1.0f : 2.0f;
    }
    return t;
}

struct BpCase {
    int32_t inputs, hidden, rows, passes;
};

constexpr float kLearnRate = 0.2f;
constexpr float kMomentum = 0.5f;
constexpr float kInitMax = 0.5f;

std::string TempName(const char* tag)
{
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/bench_engine_" + tag + "_"
           + std::to_string(::getpid()) + ".net";
}

int32_t Bp(Table& t, std::vector<float>& results, int32_t& cycles, int16_t hidden,
           const std::string& file, int16_t command)
{
    return VTBACKPROP(t.patterns.data(), t.fields, t.rows, t.fmin.data(), t.fmax.data(),
                      results.data(), &cycles, hidden, 25, kInitMax, kLearnRate, kMomentum,
                      file.c_str(), command);
}

// The engine network of that name as an object, through its file.
std::unique_ptr<kvengine::BpNet> Snapshot(Table& t, std::vector<float>& results, int32_t& cycles,
                                          const std::string& file)
{
    std::unique_ptr<kvengine::BpNet> net;
    std::vector<uint8_t> image, payload;
    if (Bp(t, results, cycles, 1, file, KV_ENGINE_WRITE) != 1
        || kvengine::ReadWholeFile(file, image) != 1
        || kvengine::UnwrapNetFile(image, kvengine::NetKind::BackProp, payload) != 1
        || kvengine::BpNet::FromPayload(payload, net) != 1)
        return nullptr;
    return net;
}

#ifdef KORVAN_HAVE_FANN
// A FANN network of the same shape, activation and training rule, with the given weights
// when its connections can be matched up (checked on a few rows), else its own random ones.
struct fann* FannLike(const kvengine::BpNet* net, const Table& t, bool& sameStart)
{
    const unsigned n = static_cast<unsigned>(net->Inputs());
    const unsigned h = static_cast<unsigned>(net->Hidden());
    struct fann* ann = fann_create_standard(3, n, h, 1u);
    fann_set_activation_function_hidden(ann, FANN_SIGMOID);
    fann_set_activation_function_output(ann, FANN_SIGMOID);
    fann_set_activation_steepness_hidden(ann, 0.5f);  // 1 / (1 + e^-x)
    fann_set_activation_steepness_output(ann, 0.5f);
    fann_set_training_algorithm(ann, FANN_TRAIN_INCREMENTAL);
    fann_set_train_error_function(ann, FANN_ERRORFUNC_LINEAR);
    fann_set_learning_rate(ann, kLearnRate);
    fann_set_learning_momentum(ann, kMomentum);
    fann_randomize_weights(ann, -kInitMax, kInitMax);

    // Neurons: inputs 0..n-1 and their bias n, hidden n+1..n+h and their bias n+h+1, output.
    const unsigned total = fann_get_total_connections(ann);
    std::vector<struct fann_connection> c(total);
    fann_get_connection_array(ann, c.data());
    for (auto& k : c) {
        if (k.to_neuron >= n + 1 && k.to_neuron <= n + h) {
            const int32_t unit = static_cast<int32_t>(k.to_neuron - (n + 1));
            const int32_t from = k.from_neuron == n ? 0 : static_cast<int32_t>(k.from_neuron) + 1;
            k.weight = net->HiddenWeight(unit, from);
        } else if (k.from_neuron == n + h + 1) {
            k.weight = net->OutputBias();
        } else {
            k.weight = net->OutputWeight(static_cast<int32_t>(k.from_neuron - (n + 1)));
        }
    }
    std::vector<struct fann_connection> saved(total);
    fann_get_connection_array(ann, saved.data());
    fann_set_weight_array(ann, c.data(), total);
    sameStart = true;
    for (int32_t r = 1; r < 6 && r < t.rows; ++r) {
        const float mine = net->Predict(t.Row(r));
        const float theirs = fann_run(ann, const_cast<float*>(t.Row(r) + 1))[0];
        sameStart &= std::fabs(mine - theirs) < 1e-4f;
    }
    if (!sameStart)
        fann_set_weight_array(ann, saved.data(), total);
    return ann;
}

double FannError(struct fann* ann, const Table& t)
{
    double sum = 0.0;
    for (int32_t r = 1; r < t.rows; ++r)
        sum += std::fabs(t.Row(r)[0] - fann_run(ann, const_cast<float*>(t.Row(r) + 1))[0]);
    return 100.0 * sum / (t.rows - 1);
}
#endif

void BenchBackProp(const BpCase& c)
{
    Table t = SmoothTask(c.inputs, c.rows, 1000u + static_cast<uint64_t>(c.inputs));
    std::vector<float> results(static_cast<size_t>(t.rows), 0.0f);
    int32_t cycles = 0;
    const std::string file = TempName("bp");
    if (Bp(t, results, cycles, static_cast<int16_t>(c.hidden), file, KV_ENGINE_INIT) != 1) {
        std::printf("  init failed\n");
        return;
    }
    const std::unique_ptr<kvengine::BpNet> start = Snapshot(t, results, cycles, file);

    const auto t0 = Clock::now();
    const double c0 = ThreadCpuMs();
    for (int32_t p = 0; p < c.passes; ++p)
        if (Bp(t, results, cycles, 0, file, KV_ENGINE_TRAIN) != 1) {
            std::printf("  train failed\n");
            return;
        }
    const double cpuMs = (ThreadCpuMs() - c0) / c.passes;
    const double ms = Ms(t0, Clock::now()) / c.passes;
    const double error = Bp(t, results, cycles, 0, file, KV_ENGINE_RUN) / 100.0;
    const double connections = static_cast<double>(start->Connections());
    const double mcups = connections * c.rows / (ms * 1e3);
    std::printf("BP %d-%d-1, %d rows, %d passes (%.0f connections)\n", c.inputs, c.hidden, c.rows,
                c.passes, connections);
    std::printf("  ours: %9.3f ms/pass %9.1f MCUPS   error after %d passes %.3f%%   (%.3f ms/pass "
                "processor time)\n",
                ms, mcups, c.passes, error, cpuMs);
#ifdef KORVAN_HAVE_FANN
    bool sameStart = false;
    struct fann* ann = FannLike(start.get(), t, sameStart);
    struct fann_train_data* data = fann_create_train(static_cast<unsigned>(c.rows),
                                                     static_cast<unsigned>(c.inputs), 1u);
    for (int32_t r = 1; r < t.rows; ++r) {
        for (int32_t i = 0; i < c.inputs; ++i)
            data->input[r - 1][i] = t.Row(r)[i + 1];
        data->output[r - 1][0] = t.Row(r)[0];
    }
    const auto f0 = Clock::now();
    const double fc0 = ThreadCpuMs();
    for (int32_t p = 0; p < c.passes; ++p)
        fann_train_epoch(ann, data);
    const double fCpuMs = (ThreadCpuMs() - fc0) / c.passes;
    const double fms = Ms(f0, Clock::now()) / c.passes;
    const double fmcups = connections * c.rows / (fms * 1e3);
    std::printf("  FANN: %9.3f ms/pass %9.1f MCUPS   error after %d passes %.3f%%   (%.3f ms/pass "
                "processor time)%s\n",
                fms, fmcups, c.passes, FannError(ann, t), fCpuMs,
                sameStart ? "" : "  (own initial weights)");
    std::printf("  ours/FANN throughput: %.2fx (by processor time %.2fx)\n",
                fmcups > 0 ? mcups / fmcups : 0.0, cpuMs > 0 ? fCpuMs / cpuMs : 0.0);
    fann_destroy_train(data);
    fann_destroy(ann);
#endif
    VTRELEASE(file.c_str());
    std::remove(file.c_str());
}

void BenchRun(int32_t rows)
{
    Table t = SmoothTask(20, rows, 77u);
    std::vector<float> results(static_cast<size_t>(t.rows), 0.0f);
    int32_t cycles = 0;
    const std::string file = TempName("run");
    if (Bp(t, results, cycles, 40, file, KV_ENGINE_INIT) != 1)
        return;
    const std::unique_ptr<kvengine::BpNet> net = Snapshot(t, results, cycles, file);
    Bp(t, results, cycles, 0, file, KV_ENGINE_RUN);  // warm the pages
    double best = 1e30;
    for (int k = 0; k < 3; ++k) {
        const auto t0 = Clock::now();
        Bp(t, results, cycles, 0, file, KV_ENGINE_RUN);
        best = std::min(best, Ms(t0, Clock::now()));
    }
    const double connections = static_cast<double>(net->Connections());
    const double mcps = connections * rows / (best * 1e3);
    std::printf("BP run 20-40-1 over %d rows (%u hardware threads)\n", rows,
                std::thread::hardware_concurrency());
    std::printf("  ours: %9.3f ms %9.1f M connections/s\n", best, mcps);
#ifdef KORVAN_HAVE_FANN
    bool sameStart = false;
    struct fann* ann = FannLike(net.get(), t, sameStart);
    const auto f0 = Clock::now();
    float sink = 0.0f;
    for (int32_t r = 1; r < t.rows; ++r)
        sink += fann_run(ann, const_cast<float*>(t.Row(r) + 1))[0];
    const double fms = Ms(f0, Clock::now());
    std::printf("  FANN: %9.3f ms %9.1f M connections/s (one thread; checksum %.1f)\n", fms,
                connections * rows / (fms * 1e3), static_cast<double>(sink));
    std::printf("  ours/FANN: %.2fx\n", fms / best);
    fann_destroy(ann);
#endif
    VTRELEASE(file.c_str());
    std::remove(file.c_str());
}

void BenchSfam(int32_t rows)
{
    Table t = CircleTask(rows, 5u);
    Table test = CircleTask(10000, 99u);
    std::vector<int16_t> results(static_cast<size_t>(t.rows), 0);
    std::vector<int16_t> testResults(static_cast<size_t>(test.rows), 0);
    int32_t cycles = 0;
    const std::string file = TempName("sfam");
    auto call = [&](Table& tab, std::vector<int16_t>& res, int16_t command) {
        return VTSFAM(tab.patterns.data(), tab.fields, tab.rows, tab.fmin.data(), tab.fmax.data(),
                      res.data(), &cycles, 0.5f, 0.001f, 1.0f, 0.0001f, file.c_str(), command);
    };
    if (call(t, results, KV_ENGINE_INIT) != 1)
        return;
    const auto t0 = Clock::now();
    const int32_t nodes = call(t, results, KV_ENGINE_TRAIN);
    const double trainMs = Ms(t0, Clock::now());
    const auto r0 = Clock::now();
    const int32_t trainWrong = call(t, results, KV_ENGINE_RUN);
    const double runMs = Ms(r0, Clock::now());
    const auto q0 = Clock::now();
    const int32_t testWrong = call(test, testResults, KV_ENGINE_RUN);
    const double testMs = Ms(q0, Clock::now());
    std::printf("SFAM circle in square, %d training rows (vigilance 0.5, beta 1)\n", rows);
    std::printf("  train pass %8.3f ms, %d category nodes; run over training rows %8.3f ms "
                "(accuracy %.2f%%)\n",
                trainMs, nodes, runMs, 100.0 * (rows - trainWrong) / rows);
    std::printf("  run over 10000 fresh points %8.3f ms, test accuracy %.2f%%\n", testMs,
                100.0 * (10000 - testWrong) / 10000.0);
    VTRELEASE(file.c_str());
}

double ProcessCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Ten inputs, three classes by the first with 5 % of the labels at random: a network of some
// thousands of categories, where the choice over all of them is the whole cost of a run.
Table NoisyBands(int32_t rows, uint64_t seed)
{
    Table t = NewTable(10, rows);
    kvengine::Pcg32 g(seed);
    for (int32_t r = 1; r < t.rows; ++r) {
        float* row = t.Row(r);
        for (int32_t i = 1; i <= 10; ++i)
            row[i] = g.Unit();
        row[0] = row[1] < 0.3f ? 1.0f : row[1] < 0.6f ? 2.0f : 3.0f;
        if (g.Unit() < 0.05f)
            row[0] = 1.0f + static_cast<float>(static_cast<int32_t>(g.Unit() * 3.0f));
    }
    return t;
}

void BenchSfamChoice()
{
    Table t = NoisyBands(18000, 11u);
    Table test = NoisyBands(200000, 12u);
    std::vector<int32_t> rows(static_cast<size_t>(t.rows - 1)), testRows(static_cast<size_t>(test.rows - 1));
    for (size_t r = 0; r < rows.size(); ++r)
        rows[r] = static_cast<int32_t>(r + 1);
    for (size_t r = 0; r < testRows.size(); ++r)
        testRows[r] = static_cast<int32_t>(r + 1);
    kvengine::SfamNet net(10);
    net.TrainPass(t.patterns.data(), t.fields, rows.data(), rows.size(), {0.5f, 0.001f, 1.0f, 0.0001f});
    std::vector<int16_t> results(static_cast<size_t>(test.rows), 0);
    const auto w0 = Clock::now();
    const double c0 = ProcessCpuMs();
    const int64_t wrong =
        net.Run(test.patterns.data(), test.fields, testRows.data(), testRows.size(), 0.001f, results.data());
    const double cpu = ProcessCpuMs() - c0;
    const double wall = Ms(w0, Clock::now());
    std::printf("SFAM choice, 10 inputs, %d category nodes, run over %zu rows\n", net.Categories(),
                testRows.size());
    std::printf("  %8.3f ms, %8.3f ms processor time in all threads (%.2f ns a row and node), %lld "
                "wrong\n",
                wall, cpu, 1e6 * cpu / (static_cast<double>(testRows.size()) * net.Categories()),
                static_cast<long long>(wrong));
}

}  // namespace

int main(int argc, char** argv)
{
    // An optional argument sets the passes of the back-propagation cases (default 100); a
    // second chooses the kernels (avx512, avx2 or generic; default the widest the machine has),
    // so that one machine also shows the figures of machines with fewer instruction sets.
    const int32_t passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    using Kernels = kvengine::BpNet::Kernels;
    const Kernels widest = kvengine::BpNet::Supported(Kernels::Avx512) ? Kernels::Avx512
                           : kvengine::BpNet::Supported(Kernels::Avx2) ? Kernels::Avx2
                                                                       : Kernels::Generic;
    const std::string asked = argc > 2 ? argv[2] : "";
    const Kernels wanted = asked == "avx512" ? Kernels::Avx512
                           : asked == "avx2" ? Kernels::Avx2
                           : asked == "generic" ? Kernels::Generic
                                                : widest;
    const Kernels used = kvengine::BpNet::Supported(wanted) ? wanted : widest;
    kvengine::BpNet::UseKernels(used);
    std::printf("bench_engine: learning rate %.2f, momentum %.2f, initial weights +-%.2f%s\n",
                kLearnRate, kMomentum, kInitMax,
#ifdef KORVAN_HAVE_FANN
                ", FANN 2.2 incremental beside"
#else
                ", FANN not built in"
#endif
    );
    std::printf("CPU: %s kernels for back-propagation\n", used == Kernels::Avx512 ? "AVX-512"
                                                            : used == Kernels::Avx2 ? "AVX2"
                                                                                    : "generic");
    const BpCase cases[] = {{8, 16, 10000, passes}, {20, 40, 10000, passes},
                            {100, 200, 10000, passes}};
    for (const BpCase& c : cases)
        BenchBackProp(c);
    BenchRun(1000000);
    BenchSfam(10000);
    BenchSfam(100000);
    BenchSfamChoice();
    return 0;
}
