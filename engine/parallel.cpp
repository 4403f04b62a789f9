#include "engine/parallel.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace kvengine {

namespace {

std::atomic<size_t> gThreadsStarted{0};

// One call's chunks, worked off by the caller and the pool's threads that join it.
struct Job {
    size_t count = 0;
    size_t chunk = 1;
    size_t chunks = 0;
    const std::function<void(size_t, size_t, size_t)>* work = nullptr;
    std::atomic<size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    // Under the pool's lock: helpers still wanted, and helpers at work on it.
    unsigned wanted = 0;
    unsigned active = 0;

    void Work()
    {
        try {
            for (size_t c = next++; c < chunks; c = next++)
                (*work)(c, c * chunk, std::min(count, (c + 1) * chunk));
        } catch (...) {
            std::lock_guard<std::mutex> g(failureLock);
            if (!failure)
                failure = std::current_exception();
            next = chunks;
        }
    }
};

// The program's one set of engine threads, started as the work first asks for them and kept
// for the program's life: a run cut into many small calls would otherwise spend more on
// starting threads than on its rows. A caller always works on its own job too, so a job ends
// even when every thread is busy elsewhere (another caller, or a job inside a job).
class Pool {
public:
    static Pool& Get()
    {
        // Never destroyed: a network let go after the statics at exit may still run, and the
        // threads wait on its lock until the process ends.
        static Pool* pool = [] {
            auto* p = new Pool;
            pthread_atfork([] { Get().m_lock.lock(); }, [] { Get().m_lock.unlock(); }, [] { Get().AfterFork(); });
            return p;
        }();
        return *pool;
    }

    void Run(Job& job, unsigned helpers)
    {
        {
            std::lock_guard<std::mutex> g(m_lock);
            const unsigned most = std::max(1u, std::thread::hardware_concurrency()) - 1;
            while (m_threads < std::min(helpers, most)) {
                try {
                    std::thread(&Pool::Help, this).detach();
                } catch (...) {
                    break;   // fewer threads than hoped: those there and the caller do the job
                }
                ++m_threads;
                ++gThreadsStarted;
            }
            job.wanted = helpers;
            m_open.push_back(&job);
        }
        for (unsigned h = 0; h < helpers; ++h)
            m_wake.notify_one();
        job.Work();
        std::unique_lock<std::mutex> lock(m_lock);
        m_open.erase(std::remove(m_open.begin(), m_open.end(), &job), m_open.end());
        m_left.wait(lock, [&] { return job.active == 0; });
    }

private:
    void Help()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        for (;;) {
            m_wake.wait(lock, [&] { return !m_open.empty(); });
            Job* job = m_open.front();
            if (--job->wanted == 0)
                m_open.erase(m_open.begin());
            ++job->active;
            lock.unlock();
            job->Work();
            lock.lock();
            if (--job->active == 0)
                m_left.notify_all();
        }
    }

    // The child of a fork has only the thread that forked: it starts threads of its own when
    // it needs them. The lock was taken before the fork, by the forking thread.
    void AfterFork()
    {
        new (&m_wake) std::condition_variable;
        new (&m_left) std::condition_variable;
        m_open.clear();
        m_threads = 0;
        m_lock.unlock();
    }

    std::mutex m_lock;
    std::condition_variable m_wake;   // a job is open
    std::condition_variable m_left;   // a helper left a job
    std::vector<Job*> m_open;         // jobs that want more helpers, oldest first
    unsigned m_threads = 0;
};

} // namespace

unsigned ThreadsFor(double work)
{
    // Handing work to a waiting thread costs some microseconds; below this a single thread wins.
    constexpr double kWorkPerThread = 1.0e6;
    if (work < 2 * kWorkPerThread)
        return 1;
    const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::min<double>(hw, work / kWorkPerThread));
}

size_t ThreadsStarted()
{
    return gThreadsStarted;
}

void ForEachChunk(size_t count, size_t chunk, unsigned threads,
                  const std::function<void(size_t, size_t, size_t)>& work)
{
    if (count == 0)
        return;
    Job job;
    job.count = count;
    job.chunk = std::max<size_t>(chunk, 1);
    job.chunks = (count + job.chunk - 1) / job.chunk;
    job.work = &work;
    threads = static_cast<unsigned>(std::min<size_t>(std::max(threads, 1u), job.chunks));
    if (threads == 1)
        job.Work();
    else
        Pool::Get().Run(job, threads - 1);
    if (job.failure)
        std::rethrow_exception(job.failure);
}

} // namespace kvengine
