// The two engine routines: argument checks, the networks kept by engine file name, and the
// dispatch of the commands onto BpNet and SfamNet. Nothing leaves here as an exception.
#include "engine/korvan_engine.h"

#include "engine/bpnet.h"
#include "engine/netfile.h"
#include "engine/parallel.h"
#include "engine/sfamnet.h"
#include "engine/trainpass.h"

#include <algorithm>
#include <chrono>
#include <atomic>
#include <bit>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

namespace kvengine {
namespace {

// The seed of every new back-propagation network, so that the same data and parameters give
// the same network.
constexpr uint64_t kInitSeed = 0x4B6F7276616E3031ULL;

// One name's network; its lock serialises the commands on it. `changes` counts the commands
// that replaced or changed the network, so that a pass in blocks notices one in between.
struct Slot {
    std::mutex lock;
    std::unique_ptr<BpNet> bp;
    std::unique_ptr<SfamNet> sfam;
    uint64_t changes = 0;
};

std::mutex gRegistryLock;
std::map<std::string, std::shared_ptr<Slot>>& Registry()
{
    // Never destroyed: a network object that outlives main() (one still open when the process
    // ends) releases its file through here from its own destructor, whatever the order in which
    // the statics go.
    static auto* registry = new std::map<std::string, std::shared_ptr<Slot>>;
    return *registry;
}

std::shared_ptr<Slot> FindSlot(const std::string& name)
{
    std::lock_guard<std::mutex> g(gRegistryLock);
    auto it = Registry().find(name);
    return it == Registry().end() ? nullptr : it->second;
}

std::shared_ptr<Slot> SlotFor(const std::string& name)
{
    std::lock_guard<std::mutex> g(gRegistryLock);
    auto& slot = Registry()[name];
    if (!slot)
        slot = std::make_shared<Slot>();
    return slot;
}

// The arrays of one call.
struct Arrays {
    const float* patterns;
    int32_t nFields;
    int32_t nRows;
    const float* fieldMin;
    const float* fieldMax;

    int32_t Inputs() const { return nFields - 1; }
    const float* Row(int32_t r) const
    {
        return patterns + static_cast<size_t>(r) * static_cast<size_t>(nFields);
    }
};

bool Finite(float v) { return std::isfinite(v); }

bool ArgumentsUsable(const Arrays& a, const void* results, const int32_t* cycles,
                     const char* netFile, int16_t command)
{
    return a.patterns && a.fieldMin && a.fieldMax && results && cycles && netFile && *netFile
           && a.nFields >= 2 && a.nRows >= 1 && command >= KV_ENGINE_INIT
           && command <= KV_ENGINE_JOG;
}

// Rows 1.. whose results entry is not the unusable mark.
template <class R> std::vector<int32_t> UsableRows(const R* results, int32_t nRows)
{
    std::vector<int32_t> rows;
    rows.reserve(static_cast<size_t>(nRows));
    for (int32_t r = 1; r < nRows; ++r)
        if (results[r] != static_cast<R>(KV_ENGINE_UNUSABLE_ROW))
            rows.push_back(r);
    return rows;
}

// Whether none of n floats is infinite or NaN, from their bits: the exponent field all ones
// carries into the top bit. Eight running ORs, which compilers keep in vector registers.
bool SpanFinite(const float* p, size_t n)
{
    uint32_t any[8] = {};
    size_t i = 0;
    for (; i + 8 <= n; i += 8)
        for (int l = 0; l < 8; ++l)
            any[l] |= (std::bit_cast<uint32_t>(p[i + l]) & 0x7f800000u) + 0x00800000u;
    for (; i < n; ++i)
        any[0] |= (std::bit_cast<uint32_t>(p[i]) & 0x7f800000u) + 0x00800000u;
    uint32_t all = 0;
    for (uint32_t a : any)
        all |= a;
    return (all & 0x80000000u) == 0;
}

// Every value of the rows, columns from `first` on, is finite. A large table is read by
// several threads: on a big run this scan would otherwise cost a third of the time. Rows that
// follow each other in the array, the usual case, are scanned as one span.
bool RowsFinite(const Arrays& a, const std::vector<int32_t>& rows, int32_t first)
{
    std::atomic<bool> ok{true};
    const double work = 0.25 * static_cast<double>(rows.size()) * a.nFields;
    const size_t width = static_cast<size_t>(a.nFields);
    ForEachChunk(rows.size(), 16384, ThreadsFor(work), [&](size_t, size_t begin, size_t end) {
        bool good = true;
        for (size_t k = begin; k < end && good;) {
            size_t last = k;
            if (first == 0)
                while (last + 1 < end && rows[last + 1] == rows[last] + 1)
                    ++last;
            const size_t span = (last - k + 1) * width - static_cast<size_t>(first);
            good = SpanFinite(a.Row(rows[k]) + first, span);
            k = last + 1;
        }
        if (!good)
            ok = false;
    });
    return ok;
}

// -1 for a non-finite limit, -7 for an input field of zero range, else 1.
int32_t CheckRanges(const Arrays& a)
{
    for (int32_t j = 0; j < a.nFields; ++j)
        if (!Finite(a.fieldMin[j]) || !Finite(a.fieldMax[j]))
            return KV_ENGINE_ERR_ARGUMENT;
    for (int32_t j = 1; j < a.nFields; ++j)
        if (a.fieldMin[j] == a.fieldMax[j])
            return KV_ENGINE_ERR_ZERO_RANGE;
    return KV_ENGINE_SUCCESS;
}

// An input column that holds one value in every usable row teaches nothing.
bool SomeInputConstant(const Arrays& a, const std::vector<int32_t>& rows)
{
    const float* first = a.Row(rows.front());
    std::vector<char> varies(static_cast<size_t>(a.nFields), 0);
    for (int32_t r : rows) {
        const float* row = a.Row(r);
        for (int32_t j = 1; j < a.nFields; ++j)
            varies[static_cast<size_t>(j)] |= row[j] != first[j];
    }
    for (int32_t j = 1; j < a.nFields; ++j)
        if (!varies[static_cast<size_t>(j)])
            return true;
    return false;
}

bool IsClassNumber(float t)
{
    return t >= 0.0f && t <= static_cast<float>(KV_SFAM_MAX_CLASS) && t == std::floor(t);
}

bool TargetsAreClasses(const Arrays& a, const std::vector<int32_t>& rows)
{
    for (int32_t r : rows)
        if (!IsClassNumber(a.Row(r)[0]))
            return false;
    return true;
}

// What Init checks before it builds a network; the first failure answers: field limits (-1,
// -7), number of usable rows (-3), values (-1), SFAM classes (-6), constant inputs (-8).
int32_t CheckInitRows(const Arrays& a, const std::vector<int32_t>& rows, bool classTargets)
{
    const int32_t ranges = CheckRanges(a);
    if (ranges != KV_ENGINE_SUCCESS)
        return ranges;
    if (rows.size() < 2)
        return KV_ENGINE_ERR_TOO_FEW_ROWS;
    if (!RowsFinite(a, rows, classTargets ? 1 : 0))
        return KV_ENGINE_ERR_ARGUMENT;
    if (classTargets && !TargetsAreClasses(a, rows))
        return KV_ENGINE_ERR_BAD_CLASS;
    if (SomeInputConstant(a, rows))
        return KV_ENGINE_ERR_CONSTANT_INPUT;
    return KV_ENGINE_SUCCESS;
}

int32_t ClampToCode(double v)
{
    const double r = std::round(v);
    return r >= static_cast<double>(std::numeric_limits<int32_t>::max())
               ? std::numeric_limits<int32_t>::max()
               : static_cast<int32_t>(r);
}

// Loads and checks a file of the given kind: 1 with its payload, or the file code.
int32_t LoadPayload(const std::string& path, NetKind kind, std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> image;
    const int32_t read = ReadWholeFile(path, image);
    if (read != KV_ENGINE_SUCCESS)
        return read;
    return UnwrapNetFile(image, kind, payload);
}

bool NonNegative(float v) { return Finite(v) && v >= 0.0f; }

// Where a slot keeps a network of each kind, and the kind's file.
template <class Net> std::unique_ptr<Net>& Held(Slot& slot);
template <> std::unique_ptr<BpNet>& Held<BpNet>(Slot& slot) { return slot.bp; }
template <> std::unique_ptr<SfamNet>& Held<SfamNet>(Slot& slot) { return slot.sfam; }
template <class Net> constexpr NetKind kKindOf = NetKind::BackProp;
template <> constexpr NetKind kKindOf<SfamNet> = NetKind::SFam;

// Makes `net` the one network of the name.
template <class Net> int32_t Install(const std::string& name, std::unique_ptr<Net> net)
{
    const auto slot = SlotFor(name);
    std::lock_guard<std::mutex> g(slot->lock);
    slot->bp.reset();
    slot->sfam.reset();
    Held<Net>(*slot) = std::move(net);
    ++slot->changes;
    return KV_ENGINE_SUCCESS;
}

// EngineRead: the network of the file replaces the one of its name, only when the file is
// whole, of this kind and of the caller's inputs.
template <class Net> int32_t ReadNetwork(const Arrays& a, const std::string& name)
{
    std::vector<uint8_t> payload;
    std::unique_ptr<Net> net;
    int32_t code = LoadPayload(name, kKindOf<Net>, payload);
    if (code != KV_ENGINE_SUCCESS)
        return code;
    // Both payloads open with the number of inputs. Checking it before the network is built
    // keeps a damaged count from sizing the memory taken: a few bytes could ask for gigabytes.
    ByteReader head(payload.data(), payload.size());
    const int32_t inputs = head.I32();
    if (!head.Failed() && inputs >= 1 && inputs != a.Inputs())
        return KV_ENGINE_ERR_LAYOUT;
    code = Net::FromPayload(payload, net);
    if (code != KV_ENGINE_SUCCESS)
        return code;
    return Install(name, std::move(net));
}

// Runs `command(net)` under the slot's lock on the name's network of this kind. Every command
// counts as a change: a run or a write in the middle of a pass in blocks would see a network
// half-way through it.
template <class Net, class F> int32_t WithNetwork(const std::string& name, F command)
{
    const auto slot = FindSlot(name);
    if (!slot)
        return KV_ENGINE_ERR_NO_NETWORK;
    std::lock_guard<std::mutex> g(slot->lock);
    Net* net = Held<Net>(*slot).get();
    if (!net)
        return KV_ENGINE_ERR_NO_NETWORK;
    ++slot->changes;
    return command(*net);
}

bool BpParamsUsable(float learnRate, float momentum)
{
    return NonNegative(learnRate) && NonNegative(momentum);
}

// What a back-propagation Train command checks before it trains; the usable rows into `rows`.
int32_t CheckBackPropTrain(const BpNet& net, const Arrays& a, const float* results,
                           float learnRate, float momentum, std::vector<int32_t>& rows)
{
    if (net.Inputs() != a.Inputs())
        return KV_ENGINE_ERR_LAYOUT;
    if (!BpParamsUsable(learnRate, momentum))
        return KV_ENGINE_ERR_ARGUMENT;
    rows = UsableRows(results, a.nRows);
    if (rows.empty())
        return KV_ENGINE_ERR_TOO_FEW_ROWS;
    if (!RowsFinite(a, rows, 0))
        return KV_ENGINE_ERR_ARGUMENT;
    return KV_ENGINE_SUCCESS;
}

// The commands on an existing back-propagation network.
int32_t BackPropOn(BpNet& net, const Arrays& a, float* results, int32_t* cycles, int16_t jogMax,
                   float initMax, float learnRate, float momentum, const std::string& name,
                   int16_t command)
{
    switch (command) {
    case KV_ENGINE_TRAIN: {
        std::vector<int32_t> rows;
        const int32_t check = CheckBackPropTrain(net, a, results, learnRate, momentum, rows);
        if (check != KV_ENGINE_SUCCESS)
            return check;
        if (!net.TrainPass(a.patterns, a.nFields, rows.data(), rows.size(), learnRate, momentum))
            return KV_ENGINE_ERR_NUMERIC;
        ++*cycles;
        return KV_ENGINE_SUCCESS;
    }
    case KV_ENGINE_RUN: {
        if (net.Inputs() != a.Inputs())
            return KV_ENGINE_ERR_LAYOUT;
        const std::vector<int32_t> rows = UsableRows(results, a.nRows);
        if (rows.empty())
            return KV_ENGINE_ERR_TOO_FEW_ROWS;
        if (!RowsFinite(a, rows, 0))
            return KV_ENGINE_ERR_ARGUMENT;
        const double sum = net.Run(a.patterns, a.nFields, rows.data(), rows.size(), results);
        // Finite inputs can still overflow a net input to inf - inf; such outputs are no
        // prediction, and an error of NaN has no code.
        if (!std::isfinite(sum))
            return KV_ENGINE_ERR_NUMERIC;
        return ClampToCode(10000.0 * sum / static_cast<double>(rows.size()));
    }
    case KV_ENGINE_WRITE:
        return WriteFileAtomic(name, WrapNetFile(NetKind::BackProp, net.Payload()));
    case KV_ENGINE_JOG:
        if (jogMax < 0 || !NonNegative(initMax))
            return KV_ENGINE_ERR_ARGUMENT;
        return net.Jog(initMax * static_cast<float>(jogMax) / 100.0f) ? KV_ENGINE_SUCCESS
                                                                       : KV_ENGINE_ERR_NUMERIC;
    default:
        return KV_ENGINE_ERR_ARGUMENT;
    }
}

int32_t BackProp(const Arrays& a, float* results, int32_t* cycles, int16_t layerJCount,
                 int16_t jogMax, float initMax, float learnRate, float momentum,
                 const std::string& name, int16_t command)
{
    if (command == KV_ENGINE_INIT) {
        if (layerJCount < 1 || !NonNegative(initMax) || !BpParamsUsable(learnRate, momentum))
            return KV_ENGINE_ERR_ARGUMENT;
        const std::vector<int32_t> rows = UsableRows(results, a.nRows);
        const int32_t check = CheckInitRows(a, rows, false);
        if (check != KV_ENGINE_SUCCESS)
            return check;
        auto net = std::make_unique<BpNet>(a.Inputs(), layerJCount);
        net->Randomize(initMax, kInitSeed);
        return Install(name, std::move(net));
    }
    if (command == KV_ENGINE_READ)
        return ReadNetwork<BpNet>(a, name);
    return WithNetwork<BpNet>(name, [&](BpNet& net) {
        return BackPropOn(net, a, results, cycles, jogMax, initMax, learnRate, momentum, name,
                          command);
    });
}

bool SfamParamsUsable(const SfamParams& p)
{
    return Finite(p.vigBase) && p.vigBase >= 0.0f && p.vigBase <= 1.0f && Finite(p.alpha)
           && p.alpha > 0.0f && Finite(p.beta) && p.beta >= 0.0f && p.beta <= 1.0f
           && NonNegative(p.epsilon);
}

// What an SFAM Train or Run command checks before it works; the usable rows into `rows`.
int32_t CheckSFamRows(const SfamNet& net, const Arrays& a, const int16_t* results,
                      const SfamParams& p, bool train, std::vector<int32_t>& rows)
{
    if (net.Inputs() != a.Inputs())
        return KV_ENGINE_ERR_LAYOUT;
    if (train ? !SfamParamsUsable(p) : !(Finite(p.alpha) && p.alpha > 0.0f))
        return KV_ENGINE_ERR_ARGUMENT;
    rows = UsableRows(results, a.nRows);
    if (rows.empty())
        return KV_ENGINE_ERR_TOO_FEW_ROWS;
    if (!RowsFinite(a, rows, 1))
        return KV_ENGINE_ERR_ARGUMENT;
    if (!TargetsAreClasses(a, rows))
        return KV_ENGINE_ERR_BAD_CLASS;
    return KV_ENGINE_SUCCESS;
}

// The commands on an existing SFAM network.
int32_t SFamOn(SfamNet& net, const Arrays& a, int16_t* results, int32_t* cycles,
               const SfamParams& p, const std::string& name, int16_t command)
{
    switch (command) {
    case KV_ENGINE_TRAIN:
    case KV_ENGINE_RUN: {
        const bool train = command == KV_ENGINE_TRAIN;
        std::vector<int32_t> rows;
        const int32_t check = CheckSFamRows(net, a, results, p, train, rows);
        if (check != KV_ENGINE_SUCCESS)
            return check;
        if (train) {
            const int32_t code = net.TrainPass(a.patterns, a.nFields, rows.data(), rows.size(), p);
            if (code != KV_ENGINE_SUCCESS)
                return code;
            ++*cycles;
            return net.Categories();
        }
        if (net.Categories() == 0)
            return KV_ENGINE_ERR_NO_NETWORK;
        return ClampToCode(static_cast<double>(
            net.Run(a.patterns, a.nFields, rows.data(), rows.size(), p.alpha, results)));
    }
    case KV_ENGINE_WRITE:
        return WriteFileAtomic(name, WrapNetFile(NetKind::SFam, net.Payload()));
    default:
        return KV_ENGINE_ERR_ARGUMENT;
    }
}

int32_t SFam(const Arrays& a, int16_t* results, int32_t* cycles, const SfamParams& p,
             const std::string& name, int16_t command)
{
    if (command == KV_ENGINE_INIT) {
        if (!SfamParamsUsable(p))
            return KV_ENGINE_ERR_ARGUMENT;
        const std::vector<int32_t> rows = UsableRows(results, a.nRows);
        const int32_t check = CheckInitRows(a, rows, true);
        if (check != KV_ENGINE_SUCCESS)
            return check;
        return Install(name, std::make_unique<SfamNet>(a.Inputs()));
    }
    if (command == KV_ENGINE_READ)
        return ReadNetwork<SfamNet>(a, name);
    if (command == KV_ENGINE_JOG)
        return KV_ENGINE_ERR_ARGUMENT;
    return WithNetwork<SfamNet>(name, [&](SfamNet& net) {
        return SFamOn(net, a, results, cycles, p, name, command);
    });
}

}  // namespace
// --- Passes in blocks ------------------------------------------------------------------------

struct PassState {
    std::string name;
    std::shared_ptr<Slot> slot;
    uint64_t changes = 0;  // the slot's count after this pass's last block
    Arrays a{};
    std::vector<int32_t> rows;
    size_t done = 0;
    float learnRate = 0.0f;
    float momentum = 0.0f;
    SfamParams params{};
    // The network as it was at the beginning, of the pass's kind.
    std::unique_ptr<BpNet> bpBefore;
    std::unique_ptr<SfamNet> sfamBefore;
};

namespace {

// Begins a pass on the name's network of kind Net: `check` sees the network and fills the
// rows. The state of an open pass, or the code and none.
template <class Net, class Check>
int32_t BeginPass(const Arrays& a, const void* results, const char* netFile, Check check,
                  std::unique_ptr<PassState>& out)
{
    int32_t cycles = 0;
    if (!ArgumentsUsable(a, results, &cycles, netFile, KV_ENGINE_TRAIN))
        return KV_ENGINE_ERR_ARGUMENT;
    try {
        auto s = std::make_unique<PassState>();
        s->name = netFile;
        s->a = a;
        const auto slot = FindSlot(s->name);
        if (!slot)
            return KV_ENGINE_ERR_NO_NETWORK;
        std::lock_guard<std::mutex> g(slot->lock);
        Net* net = Held<Net>(*slot).get();
        if (!net)
            return KV_ENGINE_ERR_NO_NETWORK;
        const int32_t code = check(*net, *s);
        if (code != KV_ENGINE_SUCCESS)
            return code;
        if constexpr (std::is_same_v<Net, BpNet>)
            s->bpBefore = std::make_unique<BpNet>(*net);
        else
            s->sfamBefore = std::make_unique<SfamNet>(*net);
        s->slot = slot;
        s->changes = ++slot->changes;
        out = std::move(s);
        return KV_ENGINE_SUCCESS;
    } catch (...) {
        // Out of memory (or a thread that could not start): the network is as it was.
        return KV_ENGINE_ERR_NO_MEMORY;
    }
}

// The pass still owns the name's network: nothing replaced or changed it since its last block.
// Called under the slot's lock.
bool StillOwned(const PassState& s)
{
    return s.changes == s.slot->changes && (s.bpBefore ? s.slot->bp != nullptr : s.slot->sfam != nullptr);
}

// The network back to the beginning of the pass. Called under the slot's lock.
void RestoreBefore(PassState& s)
{
    if (s.bpBefore)
        *s.slot->bp = *s.bpBefore;
    else
        *s.slot->sfam = *s.sfamBefore;
}

}  // namespace

TrainPass::TrainPass() = default;

TrainPass::~TrainPass() { Abandon(); }

int32_t TrainPass::BeginBackProp(const float* patterns, int32_t nFields, int32_t nRows,
                                 const float* fieldMin, const float* fieldMax,
                                 const float* results, float learnRate, float momentum,
                                 const char* netFile)
{
    Abandon();
    const Arrays a{patterns, nFields, nRows, fieldMin, fieldMax};
    return BeginPass<BpNet>(
        a, results, netFile,
        [&](const BpNet& net, PassState& s) {
            s.learnRate = learnRate;
            s.momentum = momentum;
            return CheckBackPropTrain(net, a, results, learnRate, momentum, s.rows);
        },
        m);
}

int32_t TrainPass::BeginSFam(const float* patterns, int32_t nFields, int32_t nRows,
                             const float* fieldMin, const float* fieldMax, const int16_t* results,
                             float vigBase, float alpha, float beta, float epsilon,
                             const char* netFile)
{
    Abandon();
    const Arrays a{patterns, nFields, nRows, fieldMin, fieldMax};
    return BeginPass<SfamNet>(
        a, results, netFile,
        [&](const SfamNet& net, PassState& s) {
            s.params = {vigBase, alpha, beta, epsilon};
            return CheckSFamRows(net, a, results, s.params, true, s.rows);
        },
        m);
}

int32_t TrainPass::Next(size_t rows, int32_t* cyclesCompleted, double budgetMs)
{
    if (!m)
        return KV_ENGINE_ERR_NO_NETWORK;
    if (!cyclesCompleted) {
        Abandon();
        return KV_ENGINE_ERR_ARGUMENT;
    }
    const auto slot = m->slot;  // the lock must outlive the state
    std::lock_guard<std::mutex> g(slot->lock);
    if (!StillOwned(*m) || FindSlot(m->name) != slot) {
        m.reset();
        return KV_ENGINE_ERR_NO_NETWORK;
    }
    PassState& s = *m;
    const size_t count = std::min(std::max<size_t>(rows, 1), s.rows.size() - s.done);
    // Within a budget the rows go in steps this small, the clock read between them.
    constexpr size_t kBudgetStep = 256;
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto spent = [&] {
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    size_t trained = 0;
    int32_t code = KV_ENGINE_SUCCESS;
    try {
        while (code == KV_ENGINE_SUCCESS && trained < count && (trained == 0 || budgetMs <= 0.0 || spent() < budgetMs)) {
            const size_t step = budgetMs > 0.0 ? std::min(kBudgetStep, count - trained) : count;
            const int32_t* first = s.rows.data() + s.done + trained;
            if (s.bpBefore)
                code = slot->bp->TrainPass(s.a.patterns, s.a.nFields, first, step, s.learnRate,
                                           s.momentum)
                           ? KV_ENGINE_SUCCESS
                           : KV_ENGINE_ERR_NUMERIC;
            else
                code = slot->sfam->TrainPass(s.a.patterns, s.a.nFields, first, step, s.params);
            trained += step;
        }
    } catch (...) {
        code = KV_ENGINE_ERR_NO_MEMORY;
    }
    if (code != KV_ENGINE_SUCCESS) {
        RestoreBefore(s);
        m.reset();
        return code;
    }
    s.done += trained;
    s.changes = ++slot->changes;
    if (s.done < s.rows.size())
        return 0;
    ++*cyclesCompleted;
    const int32_t answer = s.bpBefore ? KV_ENGINE_SUCCESS : slot->sfam->Categories();
    m.reset();
    return answer;
}

bool TrainPass::Open() const { return m != nullptr; }
size_t TrainPass::Rows() const { return m ? m->rows.size() : 0; }
size_t TrainPass::RowsDone() const { return m ? m->done : 0; }

void TrainPass::Abandon()
{
    if (!m)
        return;
    const auto slot = m->slot;
    std::lock_guard<std::mutex> g(slot->lock);
    if (StillOwned(*m))
        RestoreBefore(*m);
    m.reset();
}

}  // namespace kvengine

extern "C" int32_t VTBACKPROP(const float* patterns, int32_t nFields, int32_t nRows,
                              const float* fieldMin, const float* fieldMax, float* results,
                              int32_t* cyclesCompleted, int16_t layerJCount, int16_t jogMax,
                              float initMax, float learnRate, float momentum,
                              const char* netFile, int16_t command)
{
    const kvengine::Arrays a{patterns, nFields, nRows, fieldMin, fieldMax};
    if (!kvengine::ArgumentsUsable(a, results, cyclesCompleted, netFile, command))
        return KV_ENGINE_ERR_ARGUMENT;
    try {
        return kvengine::BackProp(a, results, cyclesCompleted, layerJCount, jogMax, initMax,
                                  learnRate, momentum, netFile, command);
    } catch (...) {
        // Out of memory (or a thread that could not start): the network is as it was.
        return KV_ENGINE_ERR_NO_MEMORY;
    }
}

extern "C" int32_t VTSFAM(const float* patterns, int32_t nFields, int32_t nRows,
                          const float* fieldMin, const float* fieldMax, int16_t* results,
                          int32_t* cyclesCompleted, float vigBase, float alpha, float beta,
                          float epsilon, const char* netFile, int16_t command)
{
    const kvengine::Arrays a{patterns, nFields, nRows, fieldMin, fieldMax};
    if (!kvengine::ArgumentsUsable(a, results, cyclesCompleted, netFile, command))
        return KV_ENGINE_ERR_ARGUMENT;
    try {
        return kvengine::SFam(a, results, cyclesCompleted, {vigBase, alpha, beta, epsilon},
                              netFile, command);
    } catch (...) {
        // Out of memory (or a thread that could not start): the network is as it was.
        return KV_ENGINE_ERR_NO_MEMORY;
    }
}

extern "C" void VTRELEASE(const char* netFile)
{
    if (!netFile)
        return;
    try {
        const std::string name(netFile);
        std::shared_ptr<kvengine::Slot> gone;  // freed outside the registry lock
        {
            std::lock_guard<std::mutex> g(kvengine::gRegistryLock);
            auto it = kvengine::Registry().find(name);
            if (it == kvengine::Registry().end())
                return;
            gone = std::move(it->second);
            kvengine::Registry().erase(it);
        }
    } catch (...) {
    }
}
