#include "engine/parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace kvengine {

unsigned ThreadsFor(double work)
{
    // Starting a thread costs some tens of microseconds; below this a single thread wins.
    constexpr double kWorkPerThread = 4.0e6;
    if (work < 2 * kWorkPerThread)
        return 1;
    const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::min<double>(hw, work / kWorkPerThread));
}

void ForEachChunk(size_t count, size_t chunk, unsigned threads,
                  const std::function<void(size_t, size_t, size_t)>& work)
{
    if (count == 0)
        return;
    chunk = std::max<size_t>(chunk, 1);
    const size_t chunks = (count + chunk - 1) / chunk;
    threads = static_cast<unsigned>(std::min<size_t>(std::max(threads, 1u), chunks));

    std::atomic<size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    auto worker = [&] {
        try {
            for (size_t c = next++; c < chunks; c = next++)
                work(c, c * chunk, std::min(count, (c + 1) * chunk));
        } catch (...) {
            std::lock_guard<std::mutex> g(failureLock);
            if (!failure)
                failure = std::current_exception();
            next = chunks;
        }
    };
    if (threads == 1) {
        worker();
    } else {
        std::vector<std::thread> pool;
        pool.reserve(threads - 1);
        try {
            for (unsigned t = 1; t < threads; ++t)
                pool.emplace_back(worker);
        } catch (...) {
            // Fewer threads than hoped: the ones running and this one finish the job.
        }
        worker();
        for (auto& t : pool)
            t.join();
    }
    if (failure)
        std::rethrow_exception(failure);
}

}  // namespace kvengine
